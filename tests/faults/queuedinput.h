#ifndef GARBWRIGHT_TESTS_QUEUEDINPUT_H
#define GARBWRIGHT_TESTS_QUEUEDINPUT_H

// User input queued as the window system queues it. Qt 5 does this through its window-system
// interface (a private API); Qt 4 keeps that interface out of its installed headers, so there
// the key press is not made and the check that it waits for the call is Qt 5's alone.

#include "testqtcompat.h"

#include <QString>
#include <QWidget>

#if QT_VERSION >= 0x050000
#include <qpa/qwindowsysteminterface.h>

constexpr bool canQueueInput = true;

// Queues a key press for the widget (asynchronous delivery: a posted QKeyEvent would not be
// user input to the event loop); false when it cannot.
inline bool queueKeyPress(QWidget* widget, Qt::Key key, const QString& text)
{
    if (!widget->windowHandle())
        return false;
    QWindowSystemInterface::handleKeyEvent<QWindowSystemInterface::AsynchronousDelivery>(
        widget->windowHandle(), QEvent::KeyPress, key, Qt::NoModifier, text);
    return true;
}

// Delivers what the window system has queued.
inline void flushQueuedInput()
{
    QWindowSystemInterface::flushWindowSystemEvents();
}
#else
constexpr bool canQueueInput = false;

constexpr bool queueKeyPress(QWidget*, Qt::Key, const QString&)
{
    return false;
}

inline void flushQueuedInput()
{
}
#endif

#endif
