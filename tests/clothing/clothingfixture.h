#ifndef GARBWRIGHT_TESTS_CLOTHINGFIXTURE_H
#define GARBWRIGHT_TESTS_CLOTHINGFIXTURE_H

#include "dzskeleton.h"
#include "dzappcontrol.h"
#include "garbwright.h"
#include "hostfixture.h"
#include "recordinglogger.h"

#include "protocol.h"

#include <QElapsedTimer>
#include <QSettings>
#include <QTcpSocket>
#include <QThread>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

// A host of our own for each test: application, scene and a settings store in a temporary
// folder, dialogs answered at once, and one BMPliantClothing built after the scene exists.
class ClothingTest : public HostFixture {
protected:
    void SetUp() override
    {
        HostFixture::SetUp();
        ASSERT_TRUE(m_settingsDir.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settingsDir.path());
        DzAppControl(app()).setDialogMode(DzAppControl::AcceptDialogs);
        m_clothing = std::make_unique<BMPliantClothing>();
        DzAppControl(app()).clearLog();
        DzAppControl(app()).clearDialogRecords();
        m_log = std::make_unique<RootRecording>();
    }

    void TearDown() override
    {
        m_clothing.reset();
        m_log.reset();
        HostFixture::TearDown();
    }

    // Empties the host's log and the messages below.
    void clearLog()
    {
        DzAppControl(app()).clearLog();
        m_log->clear();
    }

    // The messages the module logged since SetUp or clearLog(), in order.
    QStringList messages() const { return messagesAt(QString()); }
    // Only those of one level ("Debug", "Error", ...).
    QStringList messagesAt(const QString& level) const
    {
        QStringList result;
        for (const RecordingLogger::Entry& entry : m_log->entries()) {
            if (level.isEmpty() || QString::fromStdString(Orv::Logging::levelName(entry.level)) == level)
                result.append(QString::fromStdString(entry.message));
        }
        return result;
    }

    // The companion application's settings, as it would store them.
    void setInstallDir(const QString& directory)
    {
        QSettings settings(QStringLiteral("Brackenmoor"), QStringLiteral("Tailorforge"));
        settings.setValue(QStringLiteral("installDir"), directory);
    }

    QStringList dialogTexts() const
    {
        QStringList texts;
        for (const DzDialogRecord& record : DzAppControl(app()).dialogRecords())
            texts.append(record.richText);
        return texts;
    }

    QTemporaryDir m_settingsDir;
    std::unique_ptr<BMPliantClothing> m_clothing;
    std::unique_ptr<RootRecording> m_log;
};

// Waits until nothing accepts connections on the server's port any more.
inline bool portFreed(int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        QTcpSocket probe;
        probe.connectToHost(QStringLiteral("127.0.0.1"), static_cast<quint16>(Protocol::serverPort));
        if (!probe.waitForConnected(200))
            return true;
        probe.abort();
        QThread::msleep(50);
    }
    return false;
}

// True when `expected` occurs in `lines` in this order, other lines allowed in between.
inline ::testing::AssertionResult inOrder(const QStringList& lines, const QStringList& expected)
{
    int next = 0;
    for (const QString& line : lines) {
        if (next < expected.size() && line == expected.at(next))
            ++next;
    }
    if (next == expected.size())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "missing in order: \"" << expected.at(next).toStdString()
                                         << "\"\nlog:\n" << lines.join(QLatin1Char('\n')).toStdString();
}

#endif
