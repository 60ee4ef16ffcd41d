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
    if (const DzSkeleton* previous = m_followTarget.data())
        disconnect(previous, SIGNAL(destroyed()), this, SLOT(onFollowTargetDestroyed()));
    m_followTarget = target;
    if (target)
        connect(target, SIGNAL(destroyed()), this, SLOT(onFollowTargetDestroyed()));
    emit followTargetChanged(target);
}

void DzSkeleton::onFollowTargetDestroyed()
{
    m_followTarget = nullptr;
    emit followTargetChanged(nullptr);
}
