#include "dzskeleton.h"

#include "dzqtcompat.h"

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
        dzDisconnectCalls(previous, this);
    m_followTarget = target;
    if (target) {
        dzConnectCall(target, SIGNAL(destroyed()), this, [this] {
            m_followTarget = nullptr;
            emit followTargetChanged(nullptr);
        });
    }
    emit followTargetChanged(target);
}
