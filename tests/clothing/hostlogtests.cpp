#include "dzapplogger.h"
#include "dzappcontrol.h"

#include <dzapp.h>
#include <orvlogging.h>

#include <gtest/gtest.h>

#include <memory>
#include <regex>
#include <string>

using namespace Orv::Logging;

namespace {

// Points the host's application global at a recording application for one test.
class HostApp
{
public:
    HostApp()
        : m_previous(dzApp)
    {
        dzApp = &m_app;
    }
    ~HostApp() { dzApp = m_previous; }
    HostApp(const HostApp&) = delete;
    HostApp& operator=(const HostApp&) = delete;

    QStringList lines() const { return DzAppControl(m_app).logLines(); }

private:
    DzApp m_app;
    DzApp* m_previous;
};

} // namespace

TEST(DzAppLogger, Line_ReachesHostWithPrefix)
{
    HostApp host;
    CompositeLogger composite(Debug);
    {
        auto sink = std::make_shared<DzAppLogger>(Debug);
        composite.add(sink);
    }
    composite.log("Getting server status", Debug);
    // Log text is UTF-8 all the way to the host, whatever codec the host's Qt sets.
    composite.log("Caf\xc3\xa9", Debug);

    const QStringList lines = host.lines();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral("\tCaf\u00e9"))) << lines[1].toStdString();
    const std::string line = lines[0].toStdString();
    const std::regex expected(
        R"(\[Pliant Clothing Plugin\] \[Debug\]\t\[[^\]]+\] \d\d:\d\d:\d\d \d+(\.\d{1,3})?\tGetting server status)");
    EXPECT_TRUE(std::regex_match(line, expected)) << line;
}

TEST(DzAppLogger, NoHostApplication_LineDropped)
{
    DzApp* const previous = dzApp;
    dzApp = nullptr;
    DzAppLogger sink(Debug);
    EXPECT_NO_THROW(sink.log("nowhere to go", Debug));
    dzApp = previous;
}

TEST(DzAppLogger, VeryLongLineThenShortOne_BothReachHostWhole)
{
    HostApp host;
    DzAppLogger sink(Debug);
    const std::string longMessage(200 * 1024, 'x');
    sink.log(longMessage, Debug);
    sink.log("short", Warning);

    const QStringList lines = host.lines();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].endsWith(QLatin1Char('\t') + QString::fromStdString(longMessage)));
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("[Pliant Clothing Plugin] [Warning]\t[")));
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral("\tshort")));
    // Nothing of the long line is left over in the short one.
    EXPECT_LT(lines[1].size(), 100);
}
