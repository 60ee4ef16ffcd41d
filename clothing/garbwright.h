#ifndef GARBWRIGHT_H
#define GARBWRIGHT_H

#include "dzskeleton.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>

// Pliant Clothing for host scripts: converts a garment for the selected figure through the
// conversion server, has the host load it, and checks that it follows the figure. Scripts
// construct it and call its slots by name.
class BMPliantClothing : public QObject {
    Q_OBJECT
public:
    BMPliantClothing();
    ~BMPliantClothing() override;

public slots:
    void processPliantClothing(QString vendor, QString clothing, QString scriptPath);
    void startServer();
    void stopServer();
    QString serverStatus();
    bool isServerRunning();
    QString tfInstallDir();
    DzSkeleton* getSelectedFigure();
    QString figureGeomPath();
    void clothingLoaded(DzSkeleton* clothing);
    void clothingConformTargetChanged(DzSkeleton* clothing);
    int displayError(QString msg, bool needsConfirmation = false);

private:
    // The figure the last conversion was made for, until the next loaded skeleton is
    // checked against it. Owned by the host; becomes null if the host deletes the figure.
    QPointer<DzSkeleton> m_currentFigure;
    // Every skeleton this object was told had been loaded, so that a notice that reaches it
    // more than once is handled once, whatever the host did in between. An entry whose
    // skeleton is gone counts no longer; such entries are dropped whenever the table has
    // doubled since it was last swept.
    QHash<const DzSkeleton*, QPointer<DzSkeleton>> m_loadedSkeletons;
    int m_sweepLoadedAt = 64;
};

#endif
