#include "project/project_text.h"

#include <gtest/gtest.h>

using namespace torvana;

TEST(ProjectText, Utf8Validity) {
    struct Row {
        const char* bytes;
        bool valid;
    };
    for (const Row& r : std::initializer_list<Row>{
             {"plain", true},
             {"Men\xC3\xBC \xCE\xA9 \xE6\x97\xA5 \xF0\x9F\x92\xBF", true},  // 2, 3 and 4 bytes
             {"\xC3", false},                                             // cut short
             {"\xC0\xAF", false},                                         // overlong "/"
             {"\xE0\x80\xAF", false},                                     // overlong, 3 bytes
             {"\xED\xA0\x80", false},                                     // a surrogate
             {"\xF4\x90\x80\x80", false},                                 // above U+10FFFF
             {"Caf\xE9", false},                                          // Windows-1252
             {"\x80", false},
         }) {
        EXPECT_EQ(isValidUtf8(r.bytes), r.valid) << r.bytes;
    }
}

TEST(ProjectText, Utf16RoundTripAndReplacement) {
    const std::string text = "Men\xC3\xBC \xE6\x97\xA5 \xF0\x9F\x92\xBF";
    const std::u16string wide = utf8ToUtf16(text);
    EXPECT_EQ(wide, u"Menü 日 \U0001F4BF");
    EXPECT_EQ(utf16ToUtf8(wide), text);
    // What cannot be converted becomes U+FFFD, the rest stays.
    EXPECT_EQ(utf8ToUtf16("a\xE2\x82" "b\xFF"), u"a\uFFFDb\uFFFD");
    EXPECT_EQ(utf16ToUtf8(std::u16string{u'a', char16_t(0xD800), u'b'}), "a\xEF\xBF\xBD" "b");
}

// A field is read as UTF-8 when all of its bytes are, otherwise every byte as Windows-1252.
TEST(ProjectText, AFieldIsUtf8OrElseWindows1252) {
    struct Row {
        const char* name;
        std::string bytes, text;
    };
    for (const Row& r : std::initializer_list<Row>{
             {"empty", "", ""},
             {"ASCII", "Summer Photos", "Summer Photos"},
             {"UTF-8 stays as it is", "Caf\xC3\xA9 \xE2\x82\xAC", "Caf\xC3\xA9 \xE2\x82\xAC"},
             {"Windows-1252", "Caf\xE9 Fotos", "Caf\xC3\xA9 Fotos"},
             {"its characters 0x80 to 0x9F", "\x80\x93\x9F", "\xE2\x82\xAC\xE2\x80\x9C\xC5\xB8"},
             {"a byte it leaves undefined", "a\x81", "a\xEF\xBF\xBD"},
             // One invalid byte makes the whole field Windows-1252, its UTF-8-looking pairs too.
             {"UTF-8 with a stray byte", "\xC3\xA9\xE9", "\xC3\x83\xC2\xA9\xC3\xA9"},
             {"a cut sequence", "Men\xC3", "Men\xC3\x83"},
             {"a NUL byte", std::string("a\0b", 3), std::string("a\0b", 3)},
         }) {
        EXPECT_EQ(projectText(r.bytes), r.text) << r.name;
    }
}
