#include "commandline.h"
#include "conversionerror.h"
#include "latin1.h"
#include "logline.h"
#include "request.h"
#include "protocol.h"

#include <gtest/gtest.h>

#include <string>

using namespace ConversionServer;
using namespace std::string_literals;

TEST(RequestParser, ProbeAndStop_AreRecognisedByTheirExactBytes)
{
    EXPECT_EQ(parseRequest(Protocol::probeRequest).kind, RequestKind::Probe);
    EXPECT_EQ(parseRequest(Protocol::stopRequest).kind, RequestKind::Stop);
    for (const std::string& request : {"test"s, "TEST\n"s, "test\r\n"s, " stop\n"s, "stop\nstop\n"s, "\n"s})
        EXPECT_THROW(parseRequest(request), ConversionError) << request;
}

TEST(RequestParser, Conversion_YieldsItsFourFields)
{
    const Request request =
        parseRequest("Base Female#Brackenmoor#Sommerkleid für Anna#/c/Scripts/a b.dsa#\n");
    ASSERT_EQ(request.kind, RequestKind::Conversion);
    EXPECT_EQ(request.conversion.figure, "Base Female");
    EXPECT_EQ(request.conversion.vendor, "Brackenmoor");
    EXPECT_EQ(request.conversion.clothing, "Sommerkleid für Anna");
    EXPECT_EQ(request.conversion.scriptPath, "/c/Scripts/a b.dsa");
}

TEST(RequestParser, MalformedConversions_AreRefused)
{
    const std::string cases[] = {
        "Base Female#Brackenmoor#Summer Dress#\n",                 // three fields
        "Base Female#Brackenmoor#Summer Dress#/s.dsa#extra#\n",    // five fields
        "Base Female#Brackenmoor#Summer Dress#/s.dsa#tail\n",      // text after the last '#'
        "Base Female#Brackenmoor#Summer Dress#/s.dsa#",            // no line feed
        "#Brackenmoor#Summer Dress#/s.dsa#\n",                     // empty figure
        "Base Female##Summer Dress#/s.dsa#\n",                     // empty vendor
        "Base Female#Brackenmoor##/s.dsa#\n",                      // empty clothing
        "Base Female#Brackenmoor#Summer Dress##\n",                // empty script path
        "Base Female#Brackenmoor#Summer Dress#Scripts/s.dsa#\n",   // relative script path
        "Base\tFemale#Brackenmoor#Summer Dress#/s.dsa#\n",         // control character
        "Base}Female#Brackenmoor#Summer Dress#/s.dsa#\n",          // brace in the figure
        "Base Female#Brackenmoor#Summer\xff Dress#/s.dsa#\n",      // not UTF-8
        "Base Female#Brackenmoor#Summer Dress#/s\0.dsa#\n"s,       // NUL byte
        "Base Female#Brackenmoor#../Summer Dress#/s.dsa#\n",       // separator in a name
        "Base Female#Brackenmoor\n#Summer Dress#/s.dsa#\n",        // two lines
        "hello\n",                                                 // unknown verb
    };
    for (const std::string& request : cases)
        EXPECT_THROW(parseRequest(request), ConversionError) << sanitisedForLog(request);
}

TEST(NameCheck, OnlySinglePlainNames_Pass)
{
    for (const char* name :
         {"Brackenmoor", "Summer Dress", "Kleid (Sommer) #2", ".hidden", "Dress..v2", "Ärmel"})
        EXPECT_EQ(nameProblem(name), "") << name;
    const std::string refused[] = {"",      ".",     "..",          "a/b",    "/",
                                   "a\\b",  "C:",    "a\nb",        "a\0b"s,  "\x7f",
                                   "\xc0\xaf" /* overlong '/' */,   std::string(maxNameBytes + 1, 'a')};
    for (const std::string& name : refused)
        EXPECT_NE(nameProblem(name), "") << sanitisedForLog(name);
}

TEST(Utf8, Validation_RefusesMalformedSequences)
{
    EXPECT_TRUE(isValidUtf8("plain ascii, é, 漢, \xf0\x9f\x91\x97"));
    for (const char* text : {"\x80", "\xc3", "\xe2\x82", "\xed\xa0\x80" /* surrogate */,
                             "\xf4\x90\x80\x80" /* beyond U+10FFFF */, "\xe0\x80\xaf" /* overlong */})
        EXPECT_FALSE(isValidUtf8(text)) << sanitisedForLog(text);
}

TEST(WireText, Latin1_EveryByteIsOneCharacterAndOnlyThoseGoBack)
{
    std::string everyByte;
    for (int value = 0; value < 256; ++value)
        everyByte += static_cast<char>(value);
    const std::string utf8 = latin1ToUtf8(everyByte);
    EXPECT_TRUE(isValidUtf8(utf8));
    EXPECT_EQ(latin1ToUtf8("Caf\xe9"), "Caf\xc3\xa9");
    EXPECT_EQ(utf8ToLatin1(utf8), everyByte);
    for (const char* text : {"\xe6\x9d\xb1\xe4\xba\xac" /* a Japanese place name */, "\xc4\x80", "\xc3", "\xe9"})
        EXPECT_EQ(utf8ToLatin1(text), std::nullopt) << sanitisedForLog(text);
}

TEST(LogText, Sanitised_EscapesUnprintableBytesAndCutsLongText)
{
    EXPECT_EQ(sanitisedForLog("a\"b\\c\n\0\xff"s), "a\\\"b\\\\c\\x0a\\x00\\xff");
    EXPECT_EQ(sanitisedForLog(std::string(10, 'x'), 4), "xxxx...(10 bytes)");
}

TEST(CommandLine, Options_AreReadInBothForms)
{
    const CommandLine defaults = parseCommandLine({});
    EXPECT_EQ(defaults.port, Protocol::serverPort);
    EXPECT_FALSE(defaults.garments);
    EXPECT_EQ(defaults.idleTimeout, defaultIdleTimeout);

    const CommandLine given = parseCommandLine({"--port", "0", "--garments=/g", "--idle-timeout", "250"});
    EXPECT_EQ(given.port, 0);
    EXPECT_EQ(given.garments, std::filesystem::path("/g"));
    EXPECT_EQ(given.idleTimeout.count(), 250);
}

TEST(CommandLine, BadArguments_AreRefused)
{
    const std::vector<std::vector<std::string>> cases = {
        {"--port"}, {"--port", "65536"}, {"--port", "-1"}, {"--port", "12a"}, {"--port", ""},
        {"--idle-timeout", "0"}, {"--garments", ""}, {"--verbose"}, {"12345"}};
    for (const auto& arguments : cases)
        EXPECT_THROW(parseCommandLine(arguments), UsageError) << arguments.front();
}
