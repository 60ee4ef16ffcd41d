#include "dzskeleton.h"

DzSkeleton::DzSkeleton(const QString& name, QObject* parent) : DzNode(name, parent) {}

DzSkeleton::~DzSkeleton() = default;

DzSkeleton* DzSkeleton::getFollowTarget() const
{
    return m_followTarget.data();
}

void DzSkeleton::setFollowTarget(DzSkeleton* target)
{
    if (target == this || target == m_followTarget.data())
        return;
    disconnect(m_targetWatch);
    m_followTarget = target;
    if (target)
        m_targetWatch = connect(target, &QObject::destroyed, this, &DzSkeleton::onFollowTargetDestroyed);
    emit followTargetChanged(target);
}

void DzSkeleton::onFollowTargetDestroyed()
{
    m_followTarget.clear();
    emit followTargetChanged(nullptr);
}
