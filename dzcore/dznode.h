#ifndef DZNODE_H
#define DZNODE_H

#include "dzbase.h"

// An object in the scene. Selection belongs to the node; the scene reports the selected ones.
class DZCORE_EXPORT DzNode : public DzBase {
    Q_OBJECT
public:
    explicit DzNode(const QString& name = QString(), QObject* parent = nullptr);
    ~DzNode() override;

public slots:
    bool isSelected() const;
    // A node in the scene has the scene announce the change of its selection.
    void select(bool onOff = true);

private:
    bool m_selected = false;
};

// A light and a camera are nodes that are not figures.
class DZCORE_EXPORT DzLight : public DzNode {
    Q_OBJECT
public:
    using DzNode::DzNode;
};

class DZCORE_EXPORT DzCamera : public DzNode {
    Q_OBJECT
public:
    using DzNode::DzNode;
};

#endif
