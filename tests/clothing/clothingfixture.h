#ifndef GARBWRIGHT_TESTS_CLOTHINGFIXTURE_H
#define GARBWRIGHT_TESTS_CLOTHINGFIXTURE_H

#include "dzskeleton.h"
#include "dzappcontrol.h"
#include "garbwright.h"
#include "hostfixture.h"
#include "loopbackpeer.h"
#include "recordinglogger.h"

#include "protocol.h"

#include <QElapsedTimer>
#include <QSettings>
#include <QThread>
#include <QStringList>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

// A host of our own for each test: application, scene and a settings store in a temporary
// folder, dialogs answered at once, and one BMPliantClothing built after the scene exists.
class ClothingTest : public HostFixture {
protected:
    void SetUp() override
    {
        HostFixture::SetUp();
        ASSERT_TRUE(m_settingsDir.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settingsDir.path());
        // On Windows the store is the registry, which no path moves: each test starts, and
        // leaves it, without the companion's settings.
        clearSettings();
        DzAppControl(app()).setDialogMode(DzAppControl::AcceptDialogs);
        m_clothing = std::make_unique<BMPliantClothing>();
        DzAppControl(app()).clearLog();
        DzAppControl(app()).clearDialogRecords();
        m_log = std::make_unique<RootRecording>();
    }

    void TearDown() override
    {
        clearSettings();
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
                result.append(QString::fromUtf8(entry.message.data(), static_cast<int>(entry.message.size())));
        }
        return result;
    }

    void clearSettings()
    {
        QSettings(QStringLiteral("Brackenmoor"), QStringLiteral("Tailorforge")).clear();
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
        if (!acceptsConnections(Protocol::serverPort, std::chrono::milliseconds(200)))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
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
                                         << "\"\nlog:\n" << lines.join(QStringLiteral("\n")).toStdString();
}

#endif
