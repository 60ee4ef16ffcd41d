#include "recordinglogger.h"

#include <orvlogging.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <regex>
#include <vector>

using namespace Orv::Logging;

namespace {

using Recorders = std::vector<std::shared_ptr<RecordingLogger>>;

Recorders makeRecorders(int count, std::vector<const RecordingLogger*>* journal = nullptr)
{
    Recorders recorders;
    for (int i = 0; i < count; ++i)
        recorders.push_back(std::make_shared<RecordingLogger>(Debug, journal));
    return recorders;
}

void sortByAddress(Recorders& recorders)
{
    std::sort(recorders.begin(), recorders.end(), [](const auto& a, const auto& b) {
        return std::less<const RecordingLogger*>()(a.get(), b.get());
    });
}

} // namespace

TEST(CompositeLogger, FanOut_InAddressOrderNotAddingOrder)
{
    std::vector<const RecordingLogger*> journal;
    Recorders recorders = makeRecorders(5, &journal);
    sortByAddress(recorders);

    CompositeLogger composite(Debug);
    for (auto it = recorders.rbegin(); it != recorders.rend(); ++it)
        composite.add(*it);
    composite.log("m", Info);

    ASSERT_EQ(journal.size(), recorders.size());
    for (std::size_t i = 0; i < recorders.size(); ++i)
        EXPECT_EQ(journal[i], recorders[i].get()) << i;
}

TEST(CompositeLogger, SameChildTwice_OneChildOneDelivery)
{
    auto recorder = std::make_shared<RecordingLogger>();
    CompositeLogger composite(Debug);
    composite.add(recorder);
    composite.add(recorder);
    composite.add(nullptr);
    // The second reference handed in was released again.
    EXPECT_EQ(recorder.use_count(), 2);

    composite.log("once", Debug);
    ASSERT_EQ(recorder->m_entries.size(), 1u);
    EXPECT_EQ(recorder->m_entries[0].message, "once");

    // Removed, it gets nothing more and the composite no longer holds it.
    EXPECT_TRUE(composite.remove(recorder.get()));
    EXPECT_FALSE(composite.remove(recorder.get()));
    EXPECT_EQ(recorder.use_count(), 1);
    composite.log("after", Debug);
    EXPECT_EQ(recorder->m_entries.size(), 1u);
}

TEST(CompositeLogger, ChildThresholdsAndSwitches_AppliedPerChild)
{
    auto all = std::make_shared<RecordingLogger>(Debug);
    auto errorsOnly = std::make_shared<RecordingLogger>(Error);
    auto switchedOff = std::make_shared<RecordingLogger>(Debug);
    switchedOff->setEnabled(false);
    CompositeLogger composite(Debug);
    composite.add(all);
    composite.add(errorsOnly);
    composite.add(switchedOff);

    composite.log("warning", Warning);
    composite.log("error", Error);
    composite.log("beyond", static_cast<Level>(5));

    ASSERT_EQ(all->m_entries.size(), 3u);
    ASSERT_EQ(errorsOnly->m_entries.size(), 2u);
    EXPECT_EQ(errorsOnly->m_entries[0].message, "error");
    EXPECT_EQ(errorsOnly->m_entries[1].level, 5);
    EXPECT_TRUE(switchedOff->m_entries.empty());
}

TEST(CompositeLogger, ThrowingChild_LaterChildrenStillServed)
{
    Recorders recorders = makeRecorders(3);
    sortByAddress(recorders);
    recorders.front()->m_throws = true;
    CompositeLogger composite(Debug);
    for (const auto& recorder : recorders)
        composite.add(recorder);

    EXPECT_NO_THROW(composite.log("first", Debug));
    EXPECT_NO_THROW(composite.log("second", Debug));

    // The failing child is called again for each message, and the others get them all.
    for (const auto& recorder : recorders)
        EXPECT_EQ(recorder->m_entries.size(), 2u);
}

TEST(EntryPoint, RootThresholdAndFailingSink_CallerUnaffected)
{
    // Accepts everything itself, so what it misses was dropped at the root.
    auto recorder = std::make_shared<RecordingLogger>(static_cast<Level>(-1));
    auto thrower = std::make_shared<RecordingLogger>();
    thrower->m_throws = true;
    rootLogger.add(thrower);
    rootLogger.add(recorder);

    EXPECT_NO_THROW(log(static_cast<Level>(-1), "below every level"));
    EXPECT_NO_THROW(log(Debug, "debug"));
    EXPECT_NO_THROW(log(static_cast<Level>(5), "above every level"));

    ASSERT_EQ(recorder->m_entries.size(), 2u);
    EXPECT_EQ(recorder->m_entries[0].message, "debug");
    EXPECT_EQ(recorder->m_entries[1].level, 5);
    EXPECT_EQ(recorder->m_entries[1].line.rfind("[]\t[", 0), 0u) << recorder->m_entries[1].line;
    EXPECT_EQ(thrower->m_entries.size(), 2u);
    rootLogger.remove(thrower.get());
    rootLogger.remove(recorder.get());
}
