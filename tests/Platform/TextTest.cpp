#include "Platform/Text.h"

#include <gtest/gtest.h>

using namespace Platform::Text;

namespace {

// Fills a field with a marker so that a missing terminator or an overrun shows.
template <std::size_t N>
void Poison(char16_t (&field)[N])
{
    for (auto& unit : field)
        unit = 0x7777;
}

} // namespace

TEST(FixedFieldCopy, CutsWholeCharactersAtCapacityAndAlwaysTerminates)
{
    char16_t field[6];
    Poison(field);
    EXPECT_FALSE(Copy(field, u"metronome"));
    EXPECT_EQ(std::u16string(field), u"metro");
    EXPECT_TRUE(Copy(field, u"bpm"));
    EXPECT_EQ(std::u16string(field), u"bpm");
    // "abcd" + U+1D11E (a surrogate pair): only "abcd" fits whole.
    EXPECT_FALSE(Copy(field, u"abcd\U0001D11E"));
    EXPECT_EQ(std::u16string(field), u"abcd");
    char16_t single[1];
    Poison(single);
    EXPECT_FALSE(Copy(single, u"x"));
    EXPECT_EQ(single[0], 0);
    // An unterminated (damaged) source field is read no further than its capacity.
    char16_t source[3] = {u'a', u'b', u'c'};
    Copy(field, source);
    EXPECT_EQ(std::u16string(field), u"abc");
}

TEST(Utf8Decoding, MalformedInputBecomesReplacementCharacters)
{
    // Overlong slash, lone continuation byte, truncated sequence, encoded surrogate.
    EXPECT_EQ(Utf8ToUtf16(std::string_view("\xC0\xAF" "a\x80" "b\xE2\x99", 7)), u"\uFFFD\uFFFDa\uFFFDb\uFFFD\uFFFD");
    EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(Utf8ToUtf16("\xF4\x90\x80\x80"), u"\uFFFD\uFFFD\uFFFD\uFFFD"); // above U+10FFFF
    // (That cut text stays terminated and never ends in half a pair, the UTF-8 fuzz target checks.)
}

TEST(Utf8Encoding, RoundTripsReplacesUnpairedSurrogatesAndNeverSplitsACharacter)
{
    const std::u16string text = u"Fünf ♩ \U0001D11E";
    EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(text)), text);

    const char16_t lone[] = {u'a', 0xD834, u'b', 0xDD1E, 0};
    EXPECT_EQ(Utf16ToUtf8(lone), "a\xEF\xBF\xBD" "b\xEF\xBF\xBD");

    // A bounded buffer never splits a character.
    char buffer[4];
    EXPECT_FALSE(Utf16ToUtf8(u"a\u00FC\u00FC", buffer, sizeof buffer)); // 1 + 2 + 2 bytes
    EXPECT_STREQ(buffer, "a\xC3\xBC");
    EXPECT_TRUE(Utf16ToUtf8(u"abc", buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "abc");
}

TEST(SingleByteTexts, NarrowFailsOnWideCharactersWidenTakesBytesAsUnsignedBothCut)
{
    char buffer[8];
    EXPECT_TRUE(NarrowCodeUnits(u"3+3+2", buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "3+3+2");

    EXPECT_TRUE(NarrowCodeUnits(u"caf\u00E9", buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "caf\xE9"); // one unit to one byte, not UTF-8

    EXPECT_FALSE(NarrowCodeUnits(u"2+\u0662", buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "");

    EXPECT_TRUE(NarrowCodeUnits(u"123456789", buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "1234567");

    // Widening takes bytes as unsigned.
    char16_t field[4];
    EXPECT_TRUE(WidenBytes("\xE9" "a", field, 4));
    EXPECT_EQ(std::u16string(field), u"\u00E9a");
    EXPECT_FALSE(WidenBytes("abcdef", field, 4));
    EXPECT_EQ(std::u16string(field), u"abc");
}

TEST(WideFormatting, FormatsTheReportsConversionsNeverInterpretsArgumentsAndCuts)
{
    EXPECT_EQ(FormatWide(256, u"%s at %d: code %u", u"Timer", 36, 13u), u"Timer at 36: code 13");
    EXPECT_EQ(FormatWide(256, u"[%02d/%04d] %hs %c", 7, 2026, "narrow", u'\u00E9'), u"[07/2026] narrow \u00E9");
    EXPECT_EQ(FormatWide(256, u"%-5s|%5s|%.2s", u"ab", u"cd", u"xyz"), u"ab   |   cd|xy");
    EXPECT_EQ(FormatWide(256, u"%ld %lld %zu %x", -5L, 1LL << 40, static_cast<std::size_t>(9), 255u),
              u"-5 1099511627776 9 ff");

    // Arguments are never interpreted, and the result is cut at capacity.
    EXPECT_EQ(FormatWide(256, u"100%% %s", u"50% %s %d"), u"100% 50% %s %d");
    EXPECT_EQ(FormatWide(6, u"%s", u"metronome"), u"metro");
    EXPECT_EQ(FormatWide(4, u"%d", 123456), u"123");
}
