#include "dzscene.h"

#include "dzskeleton.h"

DzScene* dzScene = nullptr;

namespace {

// Deletes the nodes that left the scene while it announced a node.
void releaseRemovedNodes(QList<QPointer<DzNode>>& removedNodes)
{
    const QList<QPointer<DzNode>> nodes = removedNodes;
    removedNodes.clear();
    for (const QPointer<DzNode>& node : nodes)
        delete node.data();
}

} // namespace

DzScene::DzScene(QObject* parent) : QObject(parent) {}

DzScene::~DzScene()
{
    clear();
    releaseRemovedNodes(m_removedNodes);
}

void DzScene::addNode(DzNode* node)
{
    if (!node || m_members.contains(node))
        return;
    m_removedNodes.removeAll(node);
    node->setParent(this);
    m_nodes.append(node);
    m_members.insert(node);
    connect(node, &QObject::destroyed, this, [this](QObject* gone) {
        // Called from QObject's destructor: the node is no longer a DzNode, so compare
        // addresses.
        if (!m_members.remove(gone))
            return;
        for (int i = m_nodes.size() - 1; i >= 0; --i) {
            if (static_cast<QObject*>(m_nodes.at(i)) == gone) {
                m_nodes.removeAt(i);
                emit nodeSelectionListChanged();
                return;
            }
        }
    });
    // The node stays alive until every receiver of both signals has seen it, whatever they do.
    ++m_announcing;
    const QPointer<DzNode> announced(node);
    emit nodeAdded(node);
    if (auto* skeleton = qobject_cast<DzSkeleton*>(announced.data()))
        emit skeletonAdded(skeleton);
    if (--m_announcing == 0)
        releaseRemovedNodes(m_removedNodes);
}

void DzScene::clear()
{
    if (m_announcing > 0) {
        // A receiver is clearing the scene: the nodes leave it now and are deleted later.
        const QList<DzNode*> nodes = m_nodes;
        m_nodes.clear();
        m_members.clear();
        for (DzNode* node : nodes) {
            disconnect(node, nullptr, this, nullptr);
            m_removedNodes.append(node);
        }
        if (!nodes.isEmpty())
            emit nodeSelectionListChanged();
        return;
    }
    // QObject looks a child up in its list of children from the front, so the nodes leave
    // that list front first; they are then deleted last first, and deleting runs forget()
    // through destroyed(), which finds the last node at once. Clearing stays linear.
    for (DzNode* node : qAsConst(m_nodes))
        node->setParent(nullptr);
    while (!m_nodes.isEmpty())
        delete m_nodes.last();
}

DzNode* DzScene::findNode(const QString& name) const
{
    for (DzNode* node : m_nodes) {
        if (node->getName() == name)
            return node;
    }
    return nullptr;
}

int DzScene::getNumNodes() const
{
    return m_nodes.size();
}

DzNode* DzScene::getNode(int index) const
{
    return index >= 0 && index < m_nodes.size() ? m_nodes.at(index) : nullptr;
}

int DzScene::getNumSelectedNodes() const
{
    return getSelectedNodeList().size();
}

QObjectList DzScene::getSelectedNodeList() const
{
    QObjectList selected;
    for (DzNode* node : m_nodes) {
        if (node->isSelected())
            selected.append(node);
    }
    return selected;
}

void DzScene::selectAllNodes(bool onOff)
{
    for (DzNode* node : m_nodes)
        node->select(onOff);
}
