#include "dznode.h"

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
    emit selectionStateChanged(this, onOff);
}
