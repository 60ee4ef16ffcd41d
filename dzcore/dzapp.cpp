#include "dzapp.h"

#include "dzappcontrol.h"
#include "dzcontentmgr.h"
#include "dzqtcompat.h"

#include <QMutex>
#include <QMutexLocker>
#include <QPointer>

#include <algorithm>

DzApp* dzApp = nullptr;

struct DzAppState {
    mutable QMutex mutex;
    QStringList lines;
    qint64 keptCharacters = 0;
    DzAppControl::LineWriter logWriter;
    DzAppControl::LineWriter dialogWriter;
    QList<DzDialogRecord> dialogs;
    qint64 keptDialogCharacters = 0;
    QList<QPointer<QObject>> scriptObjects;
    int scriptObjectsAfterPruning = 0; // how many were left when deleted ones were last dropped
    int scriptObjectPrunings = 0;
    DzAppControl::DialogMode dialogMode = DzAppControl::InteractiveDialogs;
};

namespace {

qint64 characters(const DzDialogRecord& record)
{
    return record.title.size() + record.text.size() + record.richText.size() + record.acceptText.size();
}

} // namespace

DzApp::DzApp(QObject* parent)
    : QObject(parent), m_state(new DzAppState), m_contentMgr(new DzContentMgr(this))
{
}

DzApp::~DzApp()
{
    for (const QPointer<QObject>& object : qAsConst(m_state->scriptObjects))
        delete object.data();
    delete m_state;
}

void DzApp::log(const QString& text)
{
    // A slot, and the end of every plug-in's logging: nothing may escape it. A writer that
    // fails loses its copy of the line; the kept line stays.
    try {
        QMutexLocker lock(&m_state->mutex);
        QStringList& lines = m_state->lines;
        lines.append(text);
        m_state->keptCharacters += text.size();
        while (lines.size() > 1
               && (lines.size() > DzAppControl::maxKeptLogLines
                   || m_state->keptCharacters > DzAppControl::maxKeptLogCharacters))
            m_state->keptCharacters -= lines.takeFirst().size();
        if (m_state->logWriter)
            m_state->logWriter(text);
    } catch (...) {
    }
}

DzContentMgr* DzApp::getContentMgr() const
{
    return m_contentMgr;
}

DzAppControl::DzAppControl(const DzApp& app) : m_state(*app.m_state) {}

DzAppControl::DialogMode DzAppControl::currentDialogMode()
{
    return dzApp ? DzAppControl(*dzApp).dialogMode() : InteractiveDialogs;
}

void DzAppControl::keepUntilExit(QObject* object)
{
    if (!object)
        return;
    QMutexLocker lock(&m_state.mutex);
    // Those deleted meanwhile are dropped once the list has doubled since the last time, so
    // that keeping many objects costs time in proportion to their number, not its square.
    if (m_state.scriptObjects.size() >= 2 * m_state.scriptObjectsAfterPruning) {
        m_state.scriptObjects.removeAll(QPointer<QObject>());
        m_state.scriptObjectsAfterPruning = std::max(static_cast<int>(m_state.scriptObjects.size()), 16);
        ++m_state.scriptObjectPrunings;
    }
    m_state.scriptObjects.append(object);
}

int DzAppControl::scriptObjectPrunings() const
{
    QMutexLocker lock(&m_state.mutex);
    return m_state.scriptObjectPrunings;
}

void DzAppControl::setLogWriter(LineWriter writer)
{
    QMutexLocker lock(&m_state.mutex);
    m_state.logWriter = std::move(writer);
}

QStringList DzAppControl::logLines() const
{
    QMutexLocker lock(&m_state.mutex);
    return m_state.lines;
}

void DzAppControl::clearLog()
{
    QMutexLocker lock(&m_state.mutex);
    m_state.lines.clear();
    m_state.keptCharacters = 0;
}

DzAppControl::DialogMode DzAppControl::dialogMode() const
{
    QMutexLocker lock(&m_state.mutex);
    return m_state.dialogMode;
}

void DzAppControl::setDialogMode(DialogMode mode)
{
    QMutexLocker lock(&m_state.mutex);
    m_state.dialogMode = mode;
}

void DzAppControl::setDialogWriter(LineWriter writer)
{
    QMutexLocker lock(&m_state.mutex);
    m_state.dialogWriter = std::move(writer);
}

void DzAppControl::reportDialog(const DzDialogRecord& record)
{
    try {
        QMutexLocker lock(&m_state.mutex);
        QList<DzDialogRecord>& dialogs = m_state.dialogs;
        dialogs.append(record);
        m_state.keptDialogCharacters += characters(record);
        while (dialogs.size() > 1
               && (dialogs.size() > maxKeptDialogRecords
                   || m_state.keptDialogCharacters > maxKeptDialogCharacters))
            m_state.keptDialogCharacters -= characters(dialogs.takeFirst());
        if (m_state.dialogWriter && m_state.dialogMode != InteractiveDialogs)
            m_state.dialogWriter(QStringLiteral("[dialog] %1: %2").arg(record.title, record.text));
    } catch (...) {
    }
}

QList<DzDialogRecord> DzAppControl::dialogRecords() const
{
    QMutexLocker lock(&m_state.mutex);
    return m_state.dialogs;
}

void DzAppControl::clearDialogRecords()
{
    QMutexLocker lock(&m_state.mutex);
    m_state.dialogs.clear();
    m_state.keptDialogCharacters = 0;
}
