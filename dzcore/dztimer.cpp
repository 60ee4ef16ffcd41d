#include "dztimer.h"

DzTimer::DzTimer(QObject* parent) : QObject(parent)
{
    connect(&m_timer, SIGNAL(timeout()), this, SIGNAL(timeout()));
}

DzTimer::~DzTimer() = default;

int DzTimer::getInterval() const
{
    return m_timer.interval();
}

void DzTimer::setInterval(int msec)
{
    m_timer.setInterval(qMax(0, msec));
}

bool DzTimer::isSingleShot() const
{
    return m_timer.isSingleShot();
}

void DzTimer::setSingleShot(bool onOff)
{
    m_timer.setSingleShot(onOff);
}

bool DzTimer::isActive() const
{
    return m_timer.isActive();
}

void DzTimer::start()
{
    m_timer.start();
}

void DzTimer::start(int msec)
{
    m_timer.start(qMax(0, msec));
}

void DzTimer::stop()
{
    m_timer.stop();
}
