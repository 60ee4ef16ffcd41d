#include "dzapp.h"
#include "dzappcontrol.h"

#include <gtest/gtest.h>

#include <QPointer>
#include <QSet>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

TEST(DzAppLog, KeepsEveryLineInOrderAndForwardsIt)
{
    DzApp app;
    QStringList forwarded;
    app.log(QStringLiteral("before a writer"));
    DzAppControl(app).setLogWriter([&forwarded](const QString& line) { forwarded.append(line); });
    app.log(QStringLiteral("[Pliant Clothing Plugin] [Debug]\t[1] one"));
    app.log(QString());
    EXPECT_EQ(DzAppControl(app).logLines(), (QStringList{"before a writer", "[Pliant Clothing Plugin] [Debug]\t[1] one", ""}));
    EXPECT_EQ(forwarded, (QStringList{"[Pliant Clothing Plugin] [Debug]\t[1] one", ""}));
    DzAppControl(app).clearLog();
    EXPECT_TRUE(DzAppControl(app).logLines().isEmpty());

    // Only a bounded tail is kept, by lines and by characters; the writer gets everything.
    forwarded.clear();
    for (int i = 0; i < DzAppControl::maxKeptLogLines + 3; ++i)
        app.log(QString::number(i));
    EXPECT_EQ(forwarded.size(), DzAppControl::maxKeptLogLines + 3);
    EXPECT_EQ(DzAppControl(app).logLines().size(), DzAppControl::maxKeptLogLines);
    EXPECT_EQ(DzAppControl(app).logLines().first(), QStringLiteral("3"));
    const QString huge(DzAppControl::maxKeptLogCharacters, QLatin1Char('x'));
    app.log(huge);
    app.log(huge);
    EXPECT_EQ(DzAppControl(app).logLines(), QStringList{huge});
}

TEST(DzAppLog, SeveralThreads_NoLineLostOrTorn)
{
    DzApp app;
    std::atomic<int> forwarded{0};
    DzAppControl(app).setLogWriter([&forwarded](const QString&) { ++forwarded; });
    constexpr int threadCount = 8;
    constexpr int linesEach = 500;
    std::vector<std::thread> threads;
    for (int t = 0; t < threadCount; ++t) {
        threads.emplace_back([&app, t] {
            for (int i = 0; i < linesEach; ++i)
                app.log(QStringLiteral("thread %1 line %2").arg(t).arg(i));
        });
    }
    for (std::thread& thread : threads)
        thread.join();

    const QStringList lines = DzAppControl(app).logLines();
    ASSERT_EQ(lines.size(), threadCount * linesEach);
    EXPECT_EQ(forwarded.load(), threadCount * linesEach);
    EXPECT_EQ(QSet<QString>(lines.begin(), lines.end()).size(), threadCount * linesEach);
    // Each thread's lines keep their order.
    std::vector<int> next(threadCount, 0);
    for (const QString& line : lines) {
        const QStringList parts = line.split(QLatin1Char(' '));
        ASSERT_EQ(parts.size(), 4) << line.toStdString();
        const int t = parts.at(1).toInt();
        EXPECT_EQ(parts.at(3).toInt(), next[static_cast<size_t>(t)]++);
    }
}

TEST(DzAppLog, FailingWriter_NothingEscapesAndTheLineIsKept)
{
    DzApp app;
    DzAppControl(app).setLogWriter([](const QString&) { throw std::runtime_error("disk full"); });
    EXPECT_NO_THROW(app.log(QStringLiteral("kept")));
    EXPECT_NO_THROW(app.log(QStringLiteral("kept too")));
    EXPECT_EQ(DzAppControl(app).logLines(), (QStringList{"kept", "kept too"}));
}

TEST(DzAppDialogs, FailingDialogWriter_NothingEscapesAndTheDialogIsRecorded)
{
    DzApp app;
    DzAppControl(app).setDialogMode(DzAppControl::AcceptDialogs);
    DzAppControl(app).setDialogWriter([](const QString&) { throw std::runtime_error("closed"); });
    DzDialogRecord record;
    record.title = QStringLiteral("T");
    EXPECT_NO_THROW(DzAppControl(app).reportDialog(record));
    EXPECT_EQ(DzAppControl(app).dialogRecords().size(), 1);
}

TEST(DzAppDialogs, KeepsABoundedTailOfRecords)
{
    DzApp app;
    DzDialogRecord record;
    for (int i = 0; i < DzAppControl::maxKeptDialogRecords + 3; ++i) {
        record.title = QString::number(i);
        DzAppControl(app).reportDialog(record);
    }
    ASSERT_EQ(DzAppControl(app).dialogRecords().size(), DzAppControl::maxKeptDialogRecords);
    EXPECT_EQ(DzAppControl(app).dialogRecords().first().title, QStringLiteral("3"));

    // Long texts count by their characters; the latest record stays, however long.
    record.text = QString(DzAppControl::maxKeptDialogCharacters / 2, QLatin1Char('x'));
    record.richText = record.text;
    record.title = QStringLiteral("first");
    DzAppControl(app).reportDialog(record);
    record.title = QStringLiteral("second");
    DzAppControl(app).reportDialog(record);
    ASSERT_EQ(DzAppControl(app).dialogRecords().size(), 1);
    EXPECT_EQ(DzAppControl(app).dialogRecords().first().title, QStringLiteral("second"));
    DzAppControl(app).clearDialogRecords();
    EXPECT_TRUE(DzAppControl(app).dialogRecords().isEmpty());
}

// Objects that scripts make are kept until the application ends, and the list of them is
// cleared of deleted ones only once it has doubled since: making many stays linear.
TEST(DzAppObjects, KeptUntilExit_ListPrunedOnlyWhenItHasDoubled)
{
    constexpr int count = 4096; // 2 to the 12th
    QList<QPointer<QObject>> kept;
    {
        DzApp app;
        for (int i = 0; i < count; ++i) {
            auto* object = new QObject;
            DzAppControl(app).keepUntilExit(object);
            kept.append(object);
        }
        delete kept.first().data(); // the end deletes only those still alive
        const int prunings = DzAppControl(app).scriptObjectPrunings();
        EXPECT_GE(prunings, 4);
        EXPECT_LE(prunings, 13);
    }
    for (const QPointer<QObject>& object : kept)
        ASSERT_TRUE(object.isNull());
}
