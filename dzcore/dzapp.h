#ifndef DZAPP_H
#define DZAPP_H

#include "dzcoreexport.h"

#include <QList>
#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>

class DzContentMgr;

// What the host saw of one modal dialog: enough to print it in a batch run and for tests
// to check what the user would have been shown.
struct DZCORE_EXPORT DzDialogRecord {
    QString title;
    QString text;      // the content as plain text, whitespace folded
    QString richText;  // the content as given (labels' texts, joined by line feeds)
    QString acceptText;
    bool acceptShown = false;
    bool cancelShown = false;
    bool helpShown = false;
    bool accepted = false;
};

// The application object: the host log, the content manager, and how modal dialogs are
// answered.
class DZCORE_EXPORT DzApp : public QObject {
    Q_OBJECT
public:
    enum DialogMode {
        InteractiveDialogs, // shown to the user
        AcceptDialogs,      // answered at once with the accept button
        RejectDialogs       // answered at once with the cancel button
    };

    using LineWriter = std::function<void(const QString&)>;

    explicit DzApp(QObject* parent = nullptr);
    ~DzApp() override;

    // Lines the log keeps for reading back: the most recent ones, at most this many lines
    // and this many characters (the latest line is always kept).
    static constexpr int maxKeptLogLines = 10000;
    static constexpr int maxKeptLogCharacters = 4 * 1024 * 1024;

    // Each log line is handed to the writer (none by default), and the most recent lines are
    // kept. Thread safe.
    void setLogWriter(LineWriter writer);
    QStringList logLines() const;
    void clearLog();

    DialogMode dialogMode() const;
    void setDialogMode(DialogMode mode);
    // Receives "[dialog] <title>: <text>" for each dialog answered without a user.
    void setDialogWriter(LineWriter writer);
    // Called by the dialog class whenever a dialog has run.
    void reportDialog(const DzDialogRecord& record);
    // The records of the most recent dialogs, oldest first: at most this many, holding at
    // most this many characters together (the latest record is always kept), so that a
    // long run of dialogs with long texts cannot grow the host without end.
    static constexpr int maxKeptDialogRecords = 100;
    static constexpr int maxKeptDialogCharacters = 1024 * 1024;
    QList<DzDialogRecord> dialogRecords() const;
    void clearDialogRecords();

    // Objects that scripts construct belong to no one while the application runs (scripts
    // may hand them around freely); those still alive when the application ends are
    // deleted with it.
    void keepUntilExit(QObject* object);

public slots:
    void log(const QString& text);
    DzContentMgr* getContentMgr() const;

private:
    mutable QMutex m_mutex;
    QStringList m_lines;
    qint64 m_keptCharacters = 0;
    LineWriter m_logWriter;
    LineWriter m_dialogWriter;
    QList<DzDialogRecord> m_dialogs;
    qint64 m_keptDialogCharacters = 0;
    QList<QPointer<QObject>> m_scriptObjects;
    int m_scriptObjectsAfterPruning = 0; // how many were left when deleted ones were last dropped
    DialogMode m_dialogMode = InteractiveDialogs;
    DzContentMgr* m_contentMgr;
};

DZCORE_EXPORT extern DzApp* dzApp;

#endif
