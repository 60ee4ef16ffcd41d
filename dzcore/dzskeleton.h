#ifndef DZSKELETON_H
#define DZSKELETON_H

#include "dznode.h"

#include <QPointer>

// A figure. A skeleton may follow (be conformed to) another figure, as clothing does.
class DZCORE_EXPORT DzSkeleton : public DzNode {
    Q_OBJECT
public:
    explicit DzSkeleton(const QString& name = QString(), QObject* parent = nullptr);
    ~DzSkeleton() override;

public slots:
    // The figure this one follows, or null. Null again once that figure is deleted.
    DzSkeleton* getFollowTarget() const;
    // Null detaches. A skeleton cannot follow itself.
    void setFollowTarget(DzSkeleton* target);

signals:
    // Emitted with the new target (null when detached or when the target was deleted).
    void followTargetChanged(DzSkeleton* target);

private:
    QPointer<DzSkeleton> m_followTarget;
};

#endif
