/*
 * text_buffers_test.cpp - the length-checked copies and the code page 932
 * comparisons every step builds its paths and matches its names with.
 */
#include <cstring>

#include "harness.h"
#include "../common/text_buffers.h"

TEST(TextBuffers, CopyRefusesWhatDoesNotFitAndLeavesTheBufferEmpty)
{
    char buffer[8];
    memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(copy_text(buffer, sizeof buffer, "1234567"), 1); /* 7 + NUL fits */
    EXPECT_STREQ(buffer, "1234567");
    EXPECT_EQ(copy_text(buffer, sizeof buffer, "12345678"), 0);
    EXPECT_STREQ(buffer, "");
}

/* A text cut to fit (a log line, a failure's object) never splits a double-byte character. */
TEST(TextBuffers, CuttingToFitKeepsWholeCharacters)
{
    const std::string cp = cp932("abソソ"); /* two ASCII bytes, then two double-byte characters */
    const struct {
        int size;
        const char *expected;
    } cases[] = {{1, ""}, {3, "ab"}, {4, "ab"}, {5, "ab\x83\x5c"}, {6, "ab\x83\x5c"}, {7, "ab\x83\x5c\x83\x5c"}};
    for (auto &c : cases) {
        char buffer[8];
        memset(buffer, 'x', sizeof buffer);
        EXPECT_EQ(copy_whole_characters(buffer, c.size, cp.c_str()), (int)strlen(c.expected)) << c.size;
        EXPECT_STREQ(buffer, c.expected) << c.size;
    }
}

TEST(TextBuffers, AppendAndJoinNeverTruncate)
{
    char buffer[10] = "C:\\W";
    EXPECT_EQ(append_text(buffer, sizeof buffer, "\\inf"), 1);
    EXPECT_STREQ(buffer, "C:\\W\\inf");
    EXPECT_EQ(append_text(buffer, sizeof buffer, "\\x"), 0); /* would need 11 bytes */
    EXPECT_STREQ(buffer, "C:\\W\\inf") << "a refused append leaves the text as it was";

    char path[13];
    EXPECT_EQ(join_text(path, sizeof path, "C:\\", "inf\\", "a.inf"), 1);
    EXPECT_STREQ(path, "C:\\inf\\a.inf");
    EXPECT_EQ(join_text(path, sizeof path, "C:\\", "inf\\", "ab.inf"), 0);
    EXPECT_STREQ(path, "") << "a path that does not fit is not built at all";

    char full[4];
    memcpy(full, "abcd", 4); /* no NUL in the buffer */
    EXPECT_EQ(append_text(full, sizeof full, ""), 0) << "an unterminated buffer is not appended to";
}

TEST(TextBuffers, LowerCasingLeavesDoubleByteCharactersIntact)
{
    std::string text = cp932("ＡBＣ表Dソ");
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    lower_case_letters(buffer.data());
    EXPECT_EQ(utf8(buffer.data()), "ＡbＣ表dソ");

    char stray[] = "AB\x83"; /* a lead byte just before the NUL */
    lower_case_letters(stray);
    EXPECT_STREQ(stray, "ab\x83");
}

TEST(TextBuffers, ComparisonsTreatDoubleByteCharactersAsUnits)
{
    EXPECT_EQ(texts_equal("QZUSBCOM", "QZUSBCOM"), 1);
    EXPECT_EQ(texts_equal("QZUSBCOM", "qzusbcom"), 0);
    EXPECT_EQ(texts_equal("QZ", "QZUSBCOM"), 0);
    EXPECT_EQ(texts_equal_nocase("MatchingDeviceId", "MATCHINGDEVICEID"), 1);
    EXPECT_EQ(texts_equal_nocase("USB\\Vid_1F7C&Pid_0084", "usb\\vid_1f7c&pid_0084"), 1);
    EXPECT_EQ(texts_equal_nocase("USB\\Vid_1F7C&Pid_0084", "usb\\vid_1f7c&pid_0012"), 0);
    /* 0x83 0x61 and 0x83 0x41 are two different characters, not one letter in two cases */
    EXPECT_EQ(texts_equal_nocase("\x83\x61", "\x83\x41"), 0);
}

TEST(TextBuffers, PrefixComparisonCountsCharactersAndEndsWhereBothEnd)
{
    EXPECT_EQ(prefix_equal("QZUSBCOMX", "QZUSBCOM", 8), 1);
    EXPECT_EQ(prefix_equal("QZUSBCOM", "QZUSBCOM", 8), 1);
    EXPECT_EQ(prefix_equal("QZUSB", "QZUSBCOM", 8), 0);
    EXPECT_EQ(prefix_equal("qzusbcom", "QZUSBCOM", 8), 0);
    EXPECT_EQ(prefix_equal("Pelto QZ USB", "Pelto QZ", 8), 1);
    EXPECT_EQ(prefix_equal("Pelto", "Pelto QZ", 8), 0);
    /* a double-byte character counts as one of the eight */
    std::string a = cp932("表QZUSBCO") + "M";
    std::string b = cp932("表QZUSBCO") + "X";
    EXPECT_EQ(prefix_equal(a.c_str(), b.c_str(), 8), 1);
    EXPECT_EQ(prefix_equal(a.c_str(), b.c_str(), 9), 0);
}

TEST(TextBuffers, DecimalNumbersArePaddedAndBounded)
{
    char number[4];
    EXPECT_EQ(format_decimal(number, sizeof number, 1, 3), 1);
    EXPECT_STREQ(number, "001");
    EXPECT_EQ(format_decimal(number, sizeof number, 999, 3), 1);
    EXPECT_STREQ(number, "999");
    EXPECT_EQ(format_decimal(number, sizeof number, 1000, 3), 0) << "four digits do not fit in four bytes";
    EXPECT_STREQ(number, "");
    EXPECT_EQ(format_decimal(number, sizeof number, 42, 1), 1);
    EXPECT_STREQ(number, "42");
    EXPECT_EQ(format_decimal(number, sizeof number, 0, 1), 1);
    EXPECT_STREQ(number, "0");
}
