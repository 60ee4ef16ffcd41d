#include "dzapp.h"

#include "dzcontentmgr.h"

#include <QMutexLocker>

#include <algorithm>

DzApp* dzApp = nullptr;

namespace {

qint64 characters(const DzDialogRecord& record)
{
    return record.title.size() + record.text.size() + record.richText.size() + record.acceptText.size();
}

} // namespace

DzApp::DzApp(QObject* parent) : QObject(parent), m_contentMgr(new DzContentMgr(this)) {}

DzApp::~DzApp()
{
    for (const QPointer<QObject>& object : qAsConst(m_scriptObjects))
        delete object.data();
}

void DzApp::keepUntilExit(QObject* object)
{
    if (!object)
        return;
    QMutexLocker lock(&m_mutex);
    // Those deleted meanwhile are dropped once the list has doubled since the last time, so
    // that keeping many objects costs time in proportion to their number, not its square.
    if (m_scriptObjects.size() >= 2 * m_scriptObjectsAfterPruning) {
        m_scriptObjects.removeAll(QPointer<QObject>());
        m_scriptObjectsAfterPruning = std::max(static_cast<int>(m_scriptObjects.size()), 16);
    }
    m_scriptObjects.append(object);
}

void DzApp::setLogWriter(LineWriter writer)
{
    QMutexLocker lock(&m_mutex);
    m_logWriter = std::move(writer);
}

void DzApp::log(const QString& text)
{
    // A slot, and the end of every plug-in's logging: nothing may escape it. A writer that
    // fails loses its copy of the line; the kept line stays.
    try {
        QMutexLocker lock(&m_mutex);
        m_lines.append(text);
        m_keptCharacters += text.size();
        while (m_lines.size() > 1
               && (m_lines.size() > maxKeptLogLines || m_keptCharacters > maxKeptLogCharacters))
            m_keptCharacters -= m_lines.takeFirst().size();
        if (m_logWriter)
            m_logWriter(text);
    } catch (...) {
    }
}

QStringList DzApp::logLines() const
{
    QMutexLocker lock(&m_mutex);
    return m_lines;
}

void DzApp::clearLog()
{
    QMutexLocker lock(&m_mutex);
    m_lines.clear();
    m_keptCharacters = 0;
}

DzApp::DialogMode DzApp::dialogMode() const
{
    QMutexLocker lock(&m_mutex);
    return m_dialogMode;
}

void DzApp::setDialogMode(DialogMode mode)
{
    QMutexLocker lock(&m_mutex);
    m_dialogMode = mode;
}

void DzApp::setDialogWriter(LineWriter writer)
{
    QMutexLocker lock(&m_mutex);
    m_dialogWriter = std::move(writer);
}

void DzApp::reportDialog(const DzDialogRecord& record)
{
    try {
        QMutexLocker lock(&m_mutex);
        m_dialogs.append(record);
        m_keptDialogCharacters += characters(record);
        while (m_dialogs.size() > 1
               && (m_dialogs.size() > maxKeptDialogRecords || m_keptDialogCharacters > maxKeptDialogCharacters))
            m_keptDialogCharacters -= characters(m_dialogs.takeFirst());
        if (m_dialogWriter && m_dialogMode != InteractiveDialogs)
            m_dialogWriter(QStringLiteral("[dialog] %1: %2").arg(record.title, record.text));
    } catch (...) {
    }
}

QList<DzDialogRecord> DzApp::dialogRecords() const
{
    QMutexLocker lock(&m_mutex);
    return m_dialogs;
}

void DzApp::clearDialogRecords()
{
    QMutexLocker lock(&m_mutex);
    m_dialogs.clear();
    m_keptDialogCharacters = 0;
}

DzContentMgr* DzApp::getContentMgr() const
{
    return m_contentMgr;
}
