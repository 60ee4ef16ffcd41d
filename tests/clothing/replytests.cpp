#include "conversionreply.h"

#include <gtest/gtest.h>

namespace {

TEST(ConversionReply, ColonSeparatedPath_BackslashesWithoutSurroundingBlanks)
{
    EXPECT_EQ(cleanConversionReply("Runtime:Libraries:Shirt.cr2\n"), "Runtime\\Libraries\\Shirt.cr2");
    EXPECT_EQ(cleanConversionReply(" \t\nRuntime:a.cr2 \n\t"), "Runtime\\a.cr2");
    EXPECT_EQ(cleanConversionReply("a::b"), "a\\\\b");
    EXPECT_EQ(cleanConversionReply(""), "");
    EXPECT_EQ(cleanConversionReply(" \n\t "), "");
}

TEST(ConversionReply, CarriageReturn_IsNotABlankAndStays)
{
    EXPECT_EQ(cleanConversionReply("Runtime:a.cr2\r\n"), "Runtime\\a.cr2\r");
}

TEST(ConversionReply, ErrorReply_RecognisedWholeAndCaseSensitively)
{
    EXPECT_TRUE(isErrorReply(cleanConversionReply("  Error\n")));
    EXPECT_TRUE(isErrorReply(cleanConversionReply("\tError \n\n")));
    EXPECT_FALSE(isErrorReply(cleanConversionReply("error\n")));
    EXPECT_FALSE(isErrorReply(cleanConversionReply("ERROR\n")));
    EXPECT_FALSE(isErrorReply(cleanConversionReply("Error.\n")));
    EXPECT_FALSE(isErrorReply(cleanConversionReply("Error\r\n")));
}

TEST(ConversionReply, WellFormedCharacterFilePath_Accepted)
{
    EXPECT_EQ(refusalReason("Runtime\\Libraries\\Character\\Pliant Clothing\\Brackenmoor\\Summer Dress.cr2"), "");
    EXPECT_EQ(refusalReason("a.CR2"), "");
    EXPECT_EQ(refusalReason("Runtime\\..hidden\\a.cr2"), "") << "a name that merely starts with dots";
}

TEST(ConversionReply, UnsafeOrUselessPaths_Refused)
{
    const char* refused[] = {
        "",                        // names no file
        "\\Runtime\\a.cr2",        // absolute
        "/etc/passwd.cr2",         // absolute
        "..\\a.cr2",               // climbs out
        "Runtime\\..\\..\\a.cr2",  // climbs out
        "Runtime/../a.cr2",        // climbs out, other separator
        "Runtime\\a.cr2\\..",      // ends by climbing
        "Runtime\\a.cr2\r",        // a kept carriage return is no file name
        "Runtime\\a\0b.cr2",       // control character (string cut at the NUL below)
        "Runtime\\a.txt",          // not a character file
        "Runtime\\.cr2",           // no name before the extension
        "Runtime\\a.cr2x",
    };
    for (const char* path : refused)
        EXPECT_NE(refusalReason(path), "") << '"' << path << '"';
    EXPECT_NE(refusalReason(std::string("Runtime\\a\0b.cr2", 15)), "");
}

} // namespace
