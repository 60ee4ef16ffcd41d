#ifndef DZTIMER_H
#define DZTIMER_H

#include "dzcoreexport.h"

#include <QObject>
#include <QTimer>

// A timer for scripts, as the host's scripts have: started, it emits timeout() every
// interval (once, when single-shot) whenever the host handles its events, which it also
// does in the middle of long work. Scripts make one with `new DzTimer()` and connect to
// its signal: `timer.timeout.connect(function () { ... })`.
class DZCORE_EXPORT DzTimer : public QObject {
    Q_OBJECT
    Q_PROPERTY(int interval READ getInterval WRITE setInterval)
    Q_PROPERTY(bool singleShot READ isSingleShot WRITE setSingleShot)
    Q_PROPERTY(bool active READ isActive)
public:
    explicit DzTimer(QObject* parent = nullptr);
    ~DzTimer() override;

    int getInterval() const;
    void setInterval(int msec);
    bool isSingleShot() const;
    void setSingleShot(bool onOff);
    bool isActive() const;

public slots:
    void start();
    void start(int msec);
    void stop();

signals:
    void timeout();

private:
    QTimer m_timer;
};

#endif
