#ifndef DZAPP_H
#define DZAPP_H

#include "dzcoreexport.h"

#include <QObject>
#include <QString>

class DzContentMgr;
struct DzAppState;

// The application object: the host log and the content manager. How the stand-in host
// answers dialogs and what its log keeps are driven through DzAppControl.
class DZCORE_EXPORT DzApp : public QObject {
    Q_OBJECT
public:
    explicit DzApp(QObject* parent = nullptr);
    ~DzApp() override;

public slots:
    void log(const QString& text);
    DzContentMgr* getContentMgr() const;

private:
    friend class DzAppControl;

    DzAppState* m_state; // what the stand-in host keeps of its log and dialogs
    DzContentMgr* m_contentMgr;
};

DZCORE_EXPORT extern DzApp* dzApp;

#endif
