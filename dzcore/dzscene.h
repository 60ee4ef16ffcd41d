#ifndef DZSCENE_H
#define DZSCENE_H

#include "dzcoreexport.h"

#include <QList>
#include <QObject>
#include <QObjectList>
#include <QPointer>
#include <QSet>
#include <QString>

class DzNode;
class DzSkeleton;

// The scene: the nodes in it, in the order they were added, and which of them are selected.
// The scene owns its nodes; deleting a node (by whoever) takes it out of the scene. Nodes
// that the scene removes while it announces a node (a receiver may clear the scene) leave
// the scene at once but are deleted only after the announcement has reached every
// receiver, so no receiver is handed a node that is already gone.
class DZCORE_EXPORT DzScene : public QObject {
    Q_OBJECT
public:
    explicit DzScene(QObject* parent = nullptr);
    ~DzScene() override;

    // Takes ownership. Emits nodeAdded, and skeletonAdded for a figure.
    void addNode(DzNode* node);
    // Deletes every node (after the announcement in progress, if any).
    void clear();

public slots:
    DzNode* findNode(const QString& name) const;
    int getNumNodes() const;
    DzNode* getNode(int index) const;
    int getNumSelectedNodes() const;
    QObjectList getSelectedNodeList() const;
    void selectAllNodes(bool onOff);

signals:
    void nodeAdded(DzNode* node);
    void skeletonAdded(DzSkeleton* skeleton);
    void nodeSelectionListChanged();

private:
    // A node tells its scene when its selection changes.
    friend class DzNode;

    QList<DzNode*> m_nodes;
    QSet<const QObject*> m_members; // m_nodes again, for membership tests in constant time
    int m_announcing = 0;                 // nested announcements in progress
    QList<QPointer<DzNode>> m_removedNodes; // out of the scene, deleted once announcing ends
};

DZCORE_EXPORT extern DzScene* dzScene;

#endif
