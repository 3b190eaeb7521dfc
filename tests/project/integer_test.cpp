#include <gtest/gtest.h>

#include "project/integer.h"

using torvana::strToInt;
using torvana::tryStrToInt;

TEST(IntegerConversion, DecimalAtAndJustOutsideThe32BitRange) {
    EXPECT_EQ(strToInt("0"), 0);
    EXPECT_EQ(strToInt("42"), 42);
    EXPECT_EQ(strToInt("+42"), 42);
    EXPECT_EQ(strToInt("-5"), -5);
    EXPECT_EQ(strToInt("007"), 7);
    EXPECT_EQ(strToInt("2147483647"), 2147483647);
    EXPECT_EQ(strToInt("-2147483648"), INT32_MIN);
    EXPECT_FALSE(tryStrToInt("2147483648"));
    EXPECT_FALSE(tryStrToInt("-2147483649"));
    EXPECT_FALSE(tryStrToInt("99999999999999999999"));
}

TEST(IntegerConversion, HexadecimalPrefixesTakeA32BitPattern) {
    EXPECT_EQ(strToInt("$10"), 16);
    EXPECT_EQ(strToInt("x1f"), 31);
    EXPECT_EQ(strToInt("X1F"), 31);
    EXPECT_EQ(strToInt("0x10"), 16);
    EXPECT_EQ(strToInt("0X10"), 16);
    EXPECT_EQ(strToInt("$FFFFFFFF"), -1);
    EXPECT_EQ(strToInt("0x80000000"), INT32_MIN);
    EXPECT_EQ(strToInt("$00000001"), 1);
    EXPECT_FALSE(tryStrToInt("$100000000"));  // nine digits
    EXPECT_FALSE(tryStrToInt("$"));
    EXPECT_FALSE(tryStrToInt("0x"));
    EXPECT_FALSE(tryStrToInt("$1G"));
}

TEST(IntegerConversion, LeadingBlanksSkippedEverythingElseMustBeUsed) {
    EXPECT_EQ(strToInt(" 7"), 7);
    EXPECT_EQ(strToInt("   -7"), -7);
    EXPECT_EQ(strToInt("  $A"), 10);
    for (const char* bad : {"7 ", "1.5", "   ", "", "12a", "-", "+", "--1", "\t7", "1e3", " 7 "})
        EXPECT_FALSE(tryStrToInt(bad)) << '"' << bad << '"';
}

TEST(IntegerConversion, FailureShowsFileBytesVisiblyAndCutsLongTexts) {
    const std::string picture = std::string("BM6\x1A\x00\x01", 6) + "\xFF\xFE";
    const std::pair<std::string, std::string> cases[] = {
        {picture, "'BM6\\x1A\\x00\\x01\\xFF\\xFE' is not a valid integer value"},
        {"Sommer \xC3\xA9t\xC3\xA9", "'Sommer \xC3\xA9t\xC3\xA9' is not a valid integer value"},  // valid UTF-8 stays
        {"\xC3", "'\\xC3' is not a valid integer value"},  // a sequence cut short
        {std::string(200, 'a'), "'" + std::string(80, 'a') + "...' is not a valid integer value"},
        {std::string(80, 'b'), "'" + std::string(80, 'b') + "' is not a valid integer value"},
    };
    for (const auto& [text, message] : cases) {
        try {
            strToInt(text);
            ADD_FAILURE() << "no failure";
        } catch (const torvana::Error& e) {
            EXPECT_EQ(std::string(e.what()), message);
        }
    }
}

TEST(IntegerConversion, FailureNamesTheTextExactly) {
    for (const std::string bad : {"7 ", "1.5", "   ", "", "12a"}) {
        try {
            strToInt(bad);
            ADD_FAILURE() << "no failure for \"" << bad << '"';
        } catch (const torvana::Error& e) {
            EXPECT_EQ(std::string(e.what()), "'" + bad + "' is not a valid integer value");
        }
    }
}
