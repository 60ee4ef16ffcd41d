#ifndef DZHOST_TESTS_PROBEMODULE_H
#define DZHOST_TESTS_PROBEMODULE_H

#include <QObject>
#include <QString>

// The one class of the probe module: enough to see that a module named with --plugin was
// loaded and its class registered with the script engine.
class HostProbe : public QObject {
    Q_OBJECT
public:
    HostProbe() = default;

public slots:
    QString ping() const { return QString::fromLatin1("pong"); }
};

#endif
