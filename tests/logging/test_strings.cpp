#include <orvstrings.h>

#ifdef GARBWRIGHT_COMPARE_BOOST_THREAD
#include <boost/thread/thread.hpp>
#endif

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <sstream>

using Orv::replaceAll;
using Orv::toText;
using Orv::trimChars;

namespace {

template <typename T>
std::string streamed(T value)
{
    std::ostringstream stream;
    stream << value;
    return stream.str();
}

} // namespace

TEST(ReplaceAll, EveryOccurrence_ReplacedLeftToRight)
{
    EXPECT_EQ(replaceAll("a:b:c:", ":", "\\"), "a\\b\\c\\");
    EXPECT_EQ(replaceAll("a:b", ":", ""), "ab");
    EXPECT_EQ(replaceAll("aaa", "aa", "b"), "ba");
    EXPECT_EQ(replaceAll("nothing here", "{X}", "y"), "nothing here");
    EXPECT_EQ(replaceAll("", "{X}", "y"), "");
}

TEST(ReplaceAll, ValueHoldingPlaceholder_NotRescanned)
{
    EXPECT_EQ(replaceAll("aXa", "a", "aa"), "aaXaa");
    EXPECT_EQ(replaceAll("{M}-{M}", "{M}", "<{M}>"), "<{M}>-<{M}>");
    // The text after the insertion is still scanned.
    EXPECT_EQ(replaceAll("x{M}{M}", "{M}", "{M"), "x{M{M");
}

TEST(ReplaceAll, EmptyPlaceholder_TextUnchanged)
{
    EXPECT_EQ(replaceAll("abc", "", "x"), "abc");
}

TEST(TrimChars, CharactersFromSet_StrippedAtBothEndsOnly)
{
    EXPECT_EQ(trimChars(" \t\nCharacter\\Shirt.cr2\n", " \t\n"), "Character\\Shirt.cr2");
    EXPECT_EQ(trimChars("a b\tc", " \t\n"), "a b\tc");
    // A carriage return is not in the set and stays.
    EXPECT_EQ(trimChars("path\r\n", " \t\n"), "path\r");
    EXPECT_EQ(trimChars("", " \n"), "");
    EXPECT_EQ(trimChars(" \n \n", " \n"), "");
    EXPECT_EQ(trimChars(" x ", ""), " x ");
}

TEST(LoggableText, ControlsEscapedLongTextCutAtACharacter_OtherTextUnchanged)
{
    using Orv::loggableText;
    EXPECT_EQ(loggableText("Runtime\\Caf\xc3\xa9\\a \"b\".cr2"), "Runtime\\Caf\xc3\xa9\\a \"b\".cr2");
    EXPECT_EQ(loggableText(std::string("a\nb\r\t\x1b[0m\0\x7f", 11)), "a\\x0Ab\\x0D\\x09\\x1B[0m\\x00\\x7F");
    EXPECT_EQ(loggableText("\xc2\x85\xc2\x9b\xc2\xa0"), "\\x85\\x9B\xc2\xa0") << "C1 controls, then a no-break space";
    EXPECT_EQ(loggableText("abcdef", 6), "abcdef");
    EXPECT_EQ(loggableText("abcdefg", 6), "abcdef ... (7 characters)");
    EXPECT_EQ(loggableText("abcde\xc3\xa9", 6), "abcde ... (6 characters)");
    EXPECT_EQ(loggableText(std::string(1u << 20, '\n')).size(), 4 * 4096 + 25);
    // Line and paragraph separators and bidirectional controls, each range's ends, then the
    // characters beside them, which stay.
    EXPECT_EQ(loggableText("a\xe2\x80\xa8" "b\xe2\x80\xae\xe2\x81\xa6\xe2\x81\xa9|\xe2\x80\xa7\xe2\x80\xaf\xe2\x81\xa5\xe2\x81\xaa"),
              "a\\u2028b\\u202E\\u2066\\u2069|\xe2\x80\xa7\xe2\x80\xaf\xe2\x81\xa5\xe2\x81\xaa");
}

TEST(LoggableText, Utf16_LoneSurrogatesReplacedPairsKeptWholeAndEveryCutMarked)
{
    using Orv::loggableText;
    EXPECT_EQ(loggableText(std::u16string_view(u"A\xd800" u"B\xdc00" u"C\xd83d\xdc57\x2028")),
              "A\xef\xbf\xbd" "B\xef\xbf\xbd" "C\xf0\x9f\x91\x97\\u2028");
    EXPECT_EQ(Orv::utf8Text(u"\xdbff\xdfff\xdc00\xd800"), "\xf4\x8f\xbf\xbf\xef\xbf\xbd\xef\xbf\xbd");
    // The first maxBytes + 1 units end inside a pair.
    EXPECT_EQ(loggableText(std::u16string_view(u"abcdef\xd83d\xdc57"), 6), "abcdef ... (7 characters)");
    EXPECT_EQ(loggableText(std::u16string_view(u"abcde\xd83d\xdc57" u"f"), 6), "abcde ... (7 characters)");
}

TEST(ToText, Numbers_AsDefaultStreamWrites)
{
    EXPECT_EQ(toText(12345u), "12345");
    EXPECT_EQ(toText(-7), "-7");
    EXPECT_EQ(toText(12.345), "12.345");
    EXPECT_EQ(toText(3723.4567), "3723.46");
    EXPECT_EQ(toText(2.0), "2");
    EXPECT_EQ(toText(0.015), "0.015");
    EXPECT_EQ(toText(1000000.0), "1e+06");

    // The stream-free path must give the stream's text for any value.
    for (std::int32_t value : {0, 1, -1, 9, 10, std::numeric_limits<std::int32_t>::min(),
                               std::numeric_limits<std::int32_t>::max()})
        EXPECT_EQ(toText(value), streamed(value));
    for (std::uint64_t value : {std::uint64_t{0}, std::numeric_limits<std::uint64_t>::max()})
        EXPECT_EQ(toText(value), streamed(value));
    for (double value : {0.0, -0.0, 0.1, 1e-5, 0.0001, 123456.5, 999999.5, 1234567.0, -2.5, 1e-300, 1.7e308,
                         std::numeric_limits<double>::denorm_min(), -std::numeric_limits<double>::max(),
                         std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                         std::numeric_limits<double>::quiet_NaN()})
        EXPECT_EQ(toText(value), streamed(value)) << value;
    for (std::int64_t milliseconds = 0; milliseconds < 200000; milliseconds += 7)
        ASSERT_EQ(toText(milliseconds * 0.001), streamed(milliseconds * 0.001)) << milliseconds;
}

#ifdef GARBWRIGHT_COMPARE_BOOST_THREAD
TEST(ToText, ThreadIdentifier_BoostStreamOutput)
{
    EXPECT_EQ(toText(boost::this_thread::get_id()), streamed(boost::this_thread::get_id()));
    EXPECT_EQ(toText(boost::thread::id()), "{Not-any-thread}");
}
#endif
