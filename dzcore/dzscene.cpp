#include "dzscene.h"

#include "dzskeleton.h"

DzScene* dzScene = nullptr;

DzScene::DzScene(QObject* parent) : QObject(parent) {}

DzScene::~DzScene()
{
    clear();
}

void DzScene::addNode(DzNode* node)
{
    if (!node || m_nodes.contains(node))
        return;
    node->setParent(this);
    m_nodes.append(node);
    connect(node, &QObject::destroyed, this, &DzScene::forget);
    connect(node, &DzNode::selectionStateChanged, this, &DzScene::nodeSelectionListChanged);
    emit nodeAdded(node);
    if (auto* skeleton = qobject_cast<DzSkeleton*>(node))
        emit skeletonAdded(skeleton);
}

void DzScene::clear()
{
    // Deleting runs forget() through destroyed(), which shrinks the list.
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

void DzScene::forget(QObject* node)
{
    // Called from QObject's destructor: the node is no longer a DzNode, so compare addresses.
    for (int i = 0; i < m_nodes.size(); ++i) {
        if (static_cast<QObject*>(m_nodes.at(i)) == node) {
            m_nodes.removeAt(i);
            emit nodeSelectionListChanged();
            return;
        }
    }
}
