#include "primitives/Text.h"
#include "primitives/Gbk.h"
#include "shared/PathParts.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace primitives;

// "ぜ" in GBK is A4 5C: its second byte is a backslash.
const Text kGbkWithBackslashTrail = "\xA4\x5C";

TEST(FindText, GbkWalkNeverMatchesInsideADoubleByteCharacter) {
    const Text path = "C:\\music\\" + kGbkWithBackslashTrail + "x.mp3";
    EXPECT_EQ(find_text_from_end(path, "\\"), 9);
    EXPECT_EQ(find_text("\xA4\x5C\\", "\\"), 3);
    EXPECT_EQ(find_text(kGbkWithBackslashTrail, "\\"), -1);
}

TEST(FindText, FirstLastAndEmptySought) {
    EXPECT_EQ(find_text("abcabc", "bc"), 2);
    EXPECT_EQ(find_text_from_end("abcabc", "bc"), 5);
    EXPECT_EQ(find_text("abc", "abcd"), -1);
    EXPECT_EQ(find_text("abc", ""), 1);
    EXPECT_EQ(find_text("", ""), -1);
    EXPECT_EQ(find_text_from_end("abc", ""), 1);
    EXPECT_EQ(find_text_from_end("", ""), -1);
    EXPECT_EQ(find_text_from_end("", "x"), -1);
}

TEST(FindText, Utf8PathsSplitAtRealSeparators) {
    // "/音/x": the GBK walk pairs the third byte of 音 with the "/" after it.
    const Text odd = "/\xE9\x9F\xB3/x";
    EXPECT_EQ(find_text_from_end(odd, "/", CodePage::Gbk), 1);
    EXPECT_EQ(find_text_from_end(odd, "/", CodePage::Utf8), 5);
    EXPECT_EQ(shared::name_of("/音乐/月亮代表我的心.mp3"), "月亮代表我的心.mp3");
    EXPECT_EQ(shared::name_of("/音/x.mp3"), "x.mp3");
    EXPECT_EQ(shared::name_of("bare.mp3"), "bare.mp3");
    // Bytes that are no UTF-8 (a GBK name) cannot hide the separator after them.
    EXPECT_EQ(shared::name_of("/x/\xE0/b.mp3"), "b.mp3");
    EXPECT_EQ(shared::name_of("/x/\xF0/\xD4\xC2.mp3"), "\xD4\xC2.mp3");
}

TEST(ToText, IntegersRealsAndBlocks) {
    EXPECT_EQ(to_text(128000.0), "128000");
    EXPECT_EQ(to_text(2.0), "2");
    EXPECT_EQ(to_text(-1), "-1");
    EXPECT_EQ(to_text(std::int64_t{3221225472}), "3221225472");
    EXPECT_EQ(to_text(0.5), "0.5");
    EXPECT_EQ(to_text(Bytes{'a', 'b', 0, 'c'}), "ab");
    EXPECT_EQ(to_text(Bytes{}), "");
}

struct NumberCase {
    const char* name;
    Text text;
    double value;
};

void PrintTo(const NumberCase& c, std::ostream* os) {
    *os << c.name;
}

class ToNumber : public testing::TestWithParam<NumberCase> {};

TEST_P(ToNumber, Parses) {
    EXPECT_DOUBLE_EQ(to_number(GetParam().text), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ToNumber,
    testing::Values(NumberCase{"leading_blanks", "  5.3", 5.3}, NumberCase{"full_width_digits", "\xA3\xB4\xA3\xB2", 42},
                    NumberCase{"full_width_point", "\xA3\xB5\xA3\xAE\xA3\xB3", 5.3},
                    NumberCase{"ideographic_space",
                               "\xA1\xA1"
                               "7",
                               7},
                    NumberCase{"letter_first", "a12", 0}, NumberCase{"trailing_junk", "45.3%, Elapsed", 45.3},
                    NumberCase{"negative", "-2.5", -2.5}, NumberCase{"exponent", "1e3x", 1000},
                    NumberCase{"dangling_exponent", "7e", 7}, NumberCase{"empty", "", 0},
                    NumberCase{"only_point", ".", 0}, NumberCase{"hex_is_not_read", "0x10", 0},
                    NumberCase{"infinity_is_not_read", "inf", 0}, NumberCase{"leading_point", ".5", 0.5},
                    NumberCase{"too_large_is_infinite", "1e400", HUGE_VAL},
                    NumberCase{"too_large_negative", "-1e400", -HUGE_VAL},
                    NumberCase{"too_small_is_zero", "1e-400", 0}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(Cutting, MiddleTextClampsDifferentlyFromMiddleBytes) {
    EXPECT_EQ(middle_text("abcdef", 0, 3), "");
    EXPECT_EQ(middle_text("abcdef", 7, 1), "");
    EXPECT_EQ(middle_text("abcdef", 2, 0), "");
    EXPECT_EQ(middle_text("abcdef", 5, 10), "ef");
    const Bytes block{'a', 'b', 'c', 'd'};
    EXPECT_EQ(middle_bytes(block, 0, 2), (Bytes{'a', 'b'}));
    EXPECT_EQ(middle_bytes(block, -5, 1), (Bytes{'a'}));
    EXPECT_EQ(middle_bytes(block, 3, 10), (Bytes{'c', 'd'}));
    EXPECT_EQ(middle_bytes(block, 5, 3), Bytes{});
    EXPECT_EQ(middle_bytes(block, 9, 3), Bytes{});
    EXPECT_EQ(middle_bytes(block, 2, -1), Bytes{});
    EXPECT_EQ(right_text("abc", 5), "abc");
    EXPECT_EQ(right_text("abc", 0), "");
    EXPECT_EQ(blank_bytes(3), Bytes(3, 0));
    EXPECT_EQ(blank_bytes(-1), Bytes{});
}

TEST(ToUpper, LeavesDoubleByteCharactersAlone) {
    // B0 61 is one GBK character; its trail "a" must not become "A".
    EXPECT_EQ(to_upper("tag\xB0"
                       "a!"),
              "TAG\xB0"
              "a!");
}

TEST(Rounding, RoundToHalfAwayFromZeroWithBias) {
    EXPECT_EQ(round_to(2.5), 3);
    EXPECT_EQ(round_to(-2.5), -3);
    EXPECT_EQ(round_to(0.49999999999995), 1);
    EXPECT_EQ(round_to(0.4), 0);
    EXPECT_EQ(round_to(99.6), 100);
    EXPECT_DOUBLE_EQ(round_to(1.25, 1), 1.3);
    EXPECT_EQ(round_to(1250, -2), 1300);
    EXPECT_EQ(round_to(0.0), 0.0);
}

TEST(Rounding, IntegerPartFloorsButSnapsNearWholeNumbers) {
    EXPECT_EQ(integer_part(99.999), 99);
    EXPECT_EQ(integer_part(49.9999999999995), 50);
    EXPECT_EQ(integer_part(-1.5), -2);
    EXPECT_EQ(integer_part(30.864175), 30);
    EXPECT_EQ(integer_part(1e10), 10000000000);
    // Beyond the range: its ends, never undefined behaviour.
    constexpr auto kMax = std::numeric_limits<std::int64_t>::max(), kMin = std::numeric_limits<std::int64_t>::min();
    EXPECT_EQ(integer_part(1e300), kMax);
    EXPECT_EQ(integer_part(-1e300), kMin);
    EXPECT_EQ(integer_part(9223372036854775808.0), kMax);
    EXPECT_EQ(integer_part(-9223372036854775808.0), kMin);
    EXPECT_EQ(integer_part(std::numeric_limits<double>::infinity()), kMax);
    EXPECT_EQ(integer_part(-std::numeric_limits<double>::infinity()), kMin);
    EXPECT_EQ(integer_part(std::nan("")), 0);
}

TEST(Gbk, DecodesChineseAndReplacesInvalidBytes) {
    EXPECT_EQ(gbk_to_utf8("\xC4\xE3\xBA\xC3"), "你好");
    EXPECT_EQ(gbk_to_utf8("Bj\xF6rk"), "Bj鰎k");
    EXPECT_EQ(gbk_to_utf8("a\xFF"), "a\xEF\xBF\xBD");
    // Only a lead byte 81-FE before a byte from 40 up makes a pair; anything else is one bad byte.
    EXPECT_EQ(gbk_to_utf8("\xFF\x41\x42"), "\xEF\xBF\xBD"
                                           "AB");
    EXPECT_EQ(gbk_to_utf8("\xFF\x30z"), "\xEF\xBF\xBD"
                                        "0z");
    EXPECT_EQ(gbk_to_utf8("\x81\x30z"), "\xEF\xBF\xBD"
                                        "0z");
    EXPECT_EQ(gbk_to_utf8("plain"), "plain");
}

TEST(PathForDisplay, GbkNamesShowDecodedOthersAsTheyAre) {
    EXPECT_EQ(path_for_display("/music/\xD4\xC2\xC1\xC1.mp3"), "/music/月亮.mp3");
    EXPECT_EQ(path_for_display("/音乐/月亮.mp3"), "/音乐/月亮.mp3");
    EXPECT_EQ(path_for_display("/x/\xFF\xFE.mp3"), "/x/\xFF\xFE.mp3");
    // Name by name: an archive's GBK file in folders the system named in UTF-8, and the other way round.
    EXPECT_EQ(path_for_display("/home/用户/音乐/\xD4\xC2\xC1\xC1.mp3"), "/home/用户/音乐/月亮.mp3");
    EXPECT_EQ(path_for_display("/\xD2\xF4\xC0\xD6/月亮.mp3"), "/音乐/月亮.mp3");
    EXPECT_EQ(path_for_display("/\xD4\xC2/\xFF.mp3/"), "/月/\xFF.mp3/");
    // A long GBK name (a whole album's title): 250 bytes, 375 in UTF-8.
    std::string gbk, utf8;
    for (int i = 0; i < 125; ++i)
        gbk += "\xD4\xC2", utf8 += "月";
    EXPECT_EQ(path_for_display("/x/" + gbk), "/x/" + utf8);
    EXPECT_TRUE(is_utf8("plain/音"));
    EXPECT_FALSE(is_utf8("\xC0\x80"));     // overlong
    EXPECT_FALSE(is_utf8("\xED\xA0\x80")); // surrogate
    EXPECT_FALSE(is_utf8("\xE9\x9F"));     // cut short
}
