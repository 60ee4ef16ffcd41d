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
        disconnect(previous, &QObject::destroyed, this, nullptr);
    m_followTarget = target;
    if (target) {
        connect(target, &QObject::destroyed, this, [this] {
            m_followTarget.clear();
            emit followTargetChanged(nullptr);
        });
    }
    emit followTargetChanged(target);
}
