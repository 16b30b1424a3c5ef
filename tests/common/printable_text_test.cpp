#include "common/printable_text.h"

#include <gtest/gtest.h>

TEST(PrintableText, EscapesControlCharactersAndInvalidUtf8Only)
{
    EXPECT_EQ(PrintableText("camera01 data\\logo.png"), "camera01 data\\logo.png");
    EXPECT_EQ(PrintableText("caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x8e\xac"), "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x8e\xac");
    EXPECT_EQ(PrintableText("\x1b[2J\x1b]0;owned\x07"), "\\x1b[2J\\x1b]0;owned\\x07");
    EXPECT_EQ(PrintableText(std::string("a\0b\n\t\x7f", 6)), "a\\x00b\\x0a\\x09\\x7f");
    // C1 controls (a CSI in UTF-8), stray continuation bytes, overlong forms, surrogates,
    // code points past U+10FFFF and a sequence cut short.
    EXPECT_EQ(PrintableText("\xc2\x9b" "31m"), "\\xc2\\x9b31m");
    EXPECT_EQ(PrintableText("\x80\xc0\xaf\xed\xa0\x80\xf4\x90\x80\x80\xe2\x82"),
        "\\x80\\xc0\\xaf\\xed\\xa0\\x80\\xf4\\x90\\x80\\x80\\xe2\\x82");
}
