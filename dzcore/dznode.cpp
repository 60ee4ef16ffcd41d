#include "dznode.h"

#include "dzscene.h"

DzNode::DzNode(const QString& name, QObject* parent) : DzBase(parent)
{
    setName(name);
}

DzNode::~DzNode() = default;

bool DzNode::isSelected() const
{
    return m_selected;
}

void DzNode::select(bool onOff)
{
    if (m_selected == onOff)
        return;
    m_selected = onOff;
    auto* scene = qobject_cast<DzScene*>(parent());
    if (scene && scene->m_members.contains(this))
        emit scene->nodeSelectionListChanged();
}
