#include "menu/menu_text.h"

#include <gtest/gtest.h>

using namespace torvana::menu;

TEST(MenuText, Utf8Validity) {
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

TEST(MenuText, Utf16RoundTripAndReplacement) {
    const std::string text = "Men\xC3\xBC \xE6\x97\xA5 \xF0\x9F\x92\xBF";
    const std::u16string wide = utf8ToUtf16(text);
    EXPECT_EQ(wide, u"Menü 日 \U0001F4BF");
    EXPECT_EQ(utf16ToUtf8(wide), text);
    // What cannot be converted becomes U+FFFD, the rest stays.
    EXPECT_EQ(utf8ToUtf16("a\xE2\x82" "b\xFF"), u"a\uFFFDb\uFFFD");
    EXPECT_EQ(utf16ToUtf8(std::u16string{u'a', char16_t(0xD800), u'b'}), "a\xEF\xBF\xBD" "b");
}

TEST(MenuText, ProjectTextIsUtf8OrTheAnsiCodePage) {
    const AnsiDecoder cp1252 = windows1252ToUtf16;
    EXPECT_EQ(projectTextAsUtf8("Men\xC3\xBC\r\n", cp1252), "Men\xC3\xBC\r\n");
    EXPECT_EQ(projectTextAsUtf8("\xEF\xBB\xBF" "1\r\n", cp1252), "1\r\n");  // the mark is dropped
    EXPECT_EQ(projectTextAsUtf8("Caf\xE9 \x80\r\n", cp1252), "Caf\xC3\xA9 \xE2\x82\xAC\r\n");
    // The decoder handed in decides, not a fixed code page.
    const AnsiDecoder cyrillic = [](std::string_view bytes) {
        std::u16string out;
        for (char c : bytes) out += static_cast<unsigned char>(c) >= 0xC0 ? char16_t(0x0410 + (static_cast<unsigned char>(c) - 0xC0)) : char16_t(c);
        return out;
    };
    EXPECT_EQ(projectTextAsUtf8("\xC0\xC1", cyrillic), "\xD0\x90\xD0\x91");
}
