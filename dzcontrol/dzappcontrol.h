#ifndef DZAPPCONTROL_H
#define DZAPPCONTROL_H

// The stand-in host's own controls over its application object: how dialogs are answered,
// where log lines and dialog records go, and what is kept for reading back. The host
// program and the tests use them; a plug-in module never sees this folder, since the real
// host's SDK has none of it.

#include "dzcoreexport.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class DzApp;
class DzBasicDialog;
struct DzAppState;

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

// A handle on an application object's controls; cheap to make where needed.
class DZCORE_EXPORT DzAppControl {
public:
    enum DialogMode {
        InteractiveDialogs, // shown to the user
        AcceptDialogs,      // answered at once with the accept button
        RejectDialogs       // answered at once with the cancel button
    };

    using LineWriter = std::function<void(const QString&)>;

    // Lines the log keeps for reading back: the most recent ones, at most this many lines
    // and this many characters (the latest line is always kept).
    static constexpr int maxKeptLogLines = 10000;
    static constexpr int maxKeptLogCharacters = 4 * 1024 * 1024;
    // The records of the most recent dialogs kept: at most this many, holding at most this
    // many characters together (the latest record is always kept), so that a long run of
    // dialogs with long texts cannot grow the host without end.
    static constexpr int maxKeptDialogRecords = 100;
    static constexpr int maxKeptDialogCharacters = 1024 * 1024;

    explicit DzAppControl(const DzApp& app);

    // Each log line is handed to the writer (none by default), and the most recent lines are
    // kept. Thread safe.
    void setLogWriter(LineWriter writer);
    QStringList logLines() const;
    void clearLog();

    DialogMode dialogMode() const;
    void setDialogMode(DialogMode mode);
    // Receives "[dialog] <title>: <text>" for each dialog answered without a user.
    void setDialogWriter(LineWriter writer);
    // Called whenever a dialog has run.
    void reportDialog(const DzDialogRecord& record);
    // The kept records, oldest first.
    QList<DzDialogRecord> dialogRecords() const;
    void clearDialogRecords();

    // Objects that scripts construct belong to no one while the application runs (scripts
    // may hand them around freely); those still alive when the application ends are
    // deleted with it.
    void keepUntilExit(QObject* object);
    // How often the list of kept objects has been cleared of those deleted meanwhile.
    int scriptObjectPrunings() const;

    // How the host answers dialogs now: as `dzApp` is set to, interactively without one.
    static DialogMode currentDialogMode();
    // What the dialog shows: title, content as text, and its buttons.
    static DzDialogRecord describe(const DzBasicDialog& dialog);

private:
    DzAppState& m_state;
};

#endif
