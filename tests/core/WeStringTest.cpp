#include "WeString.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <clocale>
#include <cmath>
#include <string>
#include <utility>

namespace
{

WeString Repeat(char c, int32_t count)
{
    WeString s;
    s.Resize(count);
    for (int32_t i = 0; i < count; ++i)
        s.GetBuffer()[i] = c;
    return s;
}

WeString Float(double value, int32_t decimals)
{
    return WeString().AppendFloat(value, decimals);
}

WeString Int(int32_t value, int32_t minDigits, int32_t base, bool isSigned)
{
    return WeString().AppendInt(value, minDigits, base, isSigned);
}

// Switches to a comma-decimal locale for one test and back afterwards.
class CommaLocale
{
public:
    CommaLocale() : saved(std::setlocale(LC_ALL, nullptr))
    {
        active = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
    }
    ~CommaLocale() { std::setlocale(LC_ALL, saved.c_str()); }
    bool active = false;

private:
    std::string saved;
};

} // namespace

TEST(WeStringToInt, FollowsTheEngineGrammar)
{
    EXPECT_EQ(WeString("#1F").ToInt(10), 31);
    EXPECT_EQ(WeString("--5").ToInt(10), -5);
    EXPECT_EQ(WeString("-+5").ToInt(10), -5);
    EXPECT_EQ(WeString("- 5").ToInt(10), -5);
    EXPECT_EQ(WeString("").ToInt(10), 0);
    EXPECT_EQ(WeString(" 7").ToInt(10), 7);
    EXPECT_EQ(WeString("ff").ToInt(16), 255);
    EXPECT_EQ(WeString("42;").ToInt(10), 42);
}

TEST(WeStringToInt, SignsComeBeforeBlanks)
{
    EXPECT_EQ(WeString(" -5").ToInt(10), 0);
}

TEST(WeStringToInt, LettersAreDigitsWhateverTheBase)
{
    EXPECT_EQ(WeString("12abc").ToInt(10), 13122);
    EXPECT_EQ(WeString("abc").ToInt(10), 1122);
    EXPECT_EQ(WeString("0x10").ToInt(10), 3310);
}

TEST(WeStringToInt, WrapsIn32Bits)
{
    EXPECT_EQ(WeString("4294967295").ToInt(10), -1);
    EXPECT_EQ(WeString("2147483648").ToInt(10), INT32_MIN);
}

TEST(WeStringToFloat, ParsesDecimalText)
{
    EXPECT_FLOAT_EQ(WeString("1.5").ToFloat(9.0f), 1.5f);
    EXPECT_FLOAT_EQ(WeString(" 2").ToFloat(9.0f), 2.0f);
    EXPECT_FLOAT_EQ(WeString("1e3").ToFloat(9.0f), 1000.0f);
    EXPECT_FLOAT_EQ(WeString("-2.5E-1").ToFloat(9.0f), -0.25f);
    EXPECT_FLOAT_EQ(WeString("+.5").ToFloat(9.0f), 0.5f);
    EXPECT_FLOAT_EQ(WeString("3.").ToFloat(9.0f), 3.0f);
    EXPECT_FLOAT_EQ(WeString("\t4.25xyz").ToFloat(9.0f), 4.25f);
}

TEST(WeStringToFloat, KeepsTheDefaultWithoutDigits)
{
    EXPECT_FLOAT_EQ(WeString("").ToFloat(9.0f), 9.0f);
    EXPECT_FLOAT_EQ(WeString("x").ToFloat(9.0f), 9.0f);
    EXPECT_FLOAT_EQ(WeString(".").ToFloat(9.0f), 9.0f);
    EXPECT_FLOAT_EQ(WeString("-").ToFloat(9.0f), 9.0f);
    EXPECT_FLOAT_EQ(WeString("inf").ToFloat(9.0f), 9.0f);
    EXPECT_FLOAT_EQ(WeString("nan").ToFloat(9.0f), 9.0f);
}

TEST(WeStringToFloat, StopsWhereAScanfNumberStops)
{
    EXPECT_FLOAT_EQ(WeString("0x10").ToFloat(9.0f), 0.0f);
    EXPECT_FLOAT_EQ(WeString("2e").ToFloat(9.0f), 2.0f);
    EXPECT_FLOAT_EQ(WeString("2e+").ToFloat(9.0f), 2.0f);
    EXPECT_FLOAT_EQ(WeString("1,5").ToFloat(9.0f), 1.0f);
}

TEST(WeStringToFloat, SaturatesOutOfRangeValues)
{
    EXPECT_EQ(WeString("1e400").ToFloat(9.0f), FLT_MAX);
    EXPECT_EQ(WeString("-1e400").ToFloat(9.0f), -FLT_MAX);
    EXPECT_EQ(WeString("1e39").ToFloat(9.0f), FLT_MAX);
    EXPECT_EQ(WeString("1e-400").ToFloat(9.0f), 0.0f);
    EXPECT_EQ(WeString("0.00001e-99999999999999999999").ToFloat(9.0f), 0.0f);
    EXPECT_EQ(WeString("1e99999999999999999999").ToFloat(9.0f), FLT_MAX);
    EXPECT_EQ(WeString("1e9223372036854775807").ToFloat(9.0f), FLT_MAX);
    EXPECT_EQ(WeString("-9e9223372036854775808").ToFloat(9.0f), -FLT_MAX);
    EXPECT_EQ(WeString("1e-9223372036854775808").ToFloat(9.0f), 0.0f);
    EXPECT_EQ(WeString("0.001e9223372036854775807").ToFloat(9.0f), FLT_MAX);
}

TEST(WeStringAppendFloat, WritesTheShortestFraction)
{
    EXPECT_EQ(Float(1.5, 6), "1.5");
    EXPECT_EQ(Float(2.0, 6), "2.0");
    EXPECT_EQ(Float(0.25, 6), "0.25");
    EXPECT_EQ(Float(-0.5, 6), "-0.5");
    EXPECT_EQ(Float(0.0000004, 6), "0.0");
    EXPECT_EQ(Float(0.0, 6), "0.0");
    EXPECT_EQ(Float(123.456, 2), "123.46");
}

TEST(WeStringAppendFloat, CountsDecimalsBelowOneAsOne)
{
    EXPECT_EQ(Float(2.25, 0), "2.3");
    EXPECT_EQ(Float(2.25, -4), "2.3");
}

TEST(WeStringAppendFloat, FormatsNonFiniteValuesSafely)
{
    EXPECT_EQ(Float(NAN, 6), "nan");
    EXPECT_EQ(Float(INFINITY, 6), "inf");
    EXPECT_EQ(Float(-INFINITY, 6), "-inf");
}

TEST(WeStringAppendFloat, KeepsLargeValuesExact)
{
    // Beyond the 64-bit range of the scaled value the digits must still be right.
    EXPECT_EQ(Float(1e13, 6), "10000000000000.0");
    EXPECT_EQ(Float(-123456789012345.5, 6), "-123456789012345.5");
    const WeString huge = Float(1e300, 6);
    EXPECT_EQ(huge.GetLength(), 303);
    EXPECT_EQ(huge.GetToken('.', 1), "0");
    EXPECT_FLOAT_EQ(WeString(Float(3.0e38, 6)).ToFloat(0.0f), 3.0e38f);
}

TEST(WeStringAppendFloat, RoundTripsThroughToFloat)
{
    for (const double value : {0.1, -7.75, 1234.5678, 1e-3, 65535.0})
        EXPECT_FLOAT_EQ(Float(value, 6).ToFloat(0.0f), static_cast<float>(value)) << value;
}

TEST(WeStringAppendInt, WritesDigitsSignsAndPadding)
{
    EXPECT_EQ(Int(-1, 0, 10, true), "-1");
    EXPECT_EQ(Int(-1, 0, 10, false), "4294967295");
    EXPECT_EQ(Int(255, 8, 16, false), "000000FF");
    EXPECT_EQ(Int(7, 3, 10, true), "007");
    EXPECT_EQ(Int(-7, 3, 10, true), "-007");
    EXPECT_EQ(Int(INT32_MIN, 0, 10, true), "-2147483648");
    EXPECT_EQ(Int(35, 0, 36, true), "Z");
    EXPECT_EQ(Int(0, 0, 10, true), "0");
}

TEST(WeStringAppendInt, MarksDigitsOfLargeBases)
{
    EXPECT_EQ(Int(36, 0, 40, true), "?");
    EXPECT_EQ(Int(41, 0, 40, true), "11");
}

TEST(WeStringAppendInt, FallsBackToDecimalForBasesBelowTwo)
{
    EXPECT_EQ(Int(12, 0, 1, true), "12");
    EXPECT_EQ(Int(12, 0, 0, true), "12");
    EXPECT_EQ(Int(12, 0, -3, true), "12");
}

TEST(WeStringLocale, NumbersIgnoreACommaDecimalLocale)
{
    CommaLocale locale;
    if (!locale.active)
        GTEST_SKIP() << "de_DE.UTF-8 is not installed";
    EXPECT_FLOAT_EQ(WeString("1.5").ToFloat(0.0f), 1.5f);
    EXPECT_FLOAT_EQ(WeString("1,5").ToFloat(0.0f), 1.0f);
    EXPECT_EQ(Float(1.5, 6), "1.5");
    EXPECT_EQ(Float(1e13, 6), "10000000000000.0");
    EXPECT_EQ(Int(-1234567, 0, 10, true), "-1234567");
}

TEST(WeStringUtf8, AppendAndDecodeRoundTrip)
{
    for (const uint32_t code : {0x41u, 0x7Fu, 0x80u, 0x7FFu, 0x800u, 0xFFFFu, 0x10000u, 0x10FFFFu})
    {
        WeString s;
        s.AppendChar(code);
        const int32_t expectedLength = code < 0x80 ? 1 : code < 0x800 ? 2 : code < 0x10000 ? 3 : 4;
        EXPECT_EQ(s.GetLength(), expectedLength) << code;
        int32_t position = 0;
        EXPECT_EQ(s.DecodeChar(position), code);
        EXPECT_EQ(position, expectedLength);
        EXPECT_EQ(s.NextCharPos(0), expectedLength);
        EXPECT_EQ(s.PrevCharPos(expectedLength), 0);
    }
}

TEST(WeStringUtf8, DecodesInvalidBytesAsQuestionMarks)
{
    const WeString stray("\x80z");
    int32_t position = 0;
    EXPECT_EQ(stray.DecodeChar(position), uint32_t('?'));
    EXPECT_EQ(position, 1);

    const WeString cut("a\xE2\x82");
    position = 1;
    EXPECT_EQ(cut.DecodeChar(position), uint32_t('?'));
    EXPECT_EQ(position, 3);

    const WeString overlong("\xC1\xBF");
    position = 0;
    EXPECT_EQ(overlong.DecodeChar(position), uint32_t('?'));
    EXPECT_EQ(position, 1);
}

TEST(WeStringUtf8, DecodeOutsideTheStringGivesZero)
{
    const WeString s("ab");
    int32_t position = 2;
    EXPECT_EQ(s.DecodeChar(position), 0u);
    EXPECT_EQ(position, 2);
    position = -1;
    EXPECT_EQ(s.DecodeChar(position), 0u);
    EXPECT_EQ(position, -1);
}

TEST(WeStringUtf8, StepsOverMixedText)
{
    WeString s("a");
    s.AppendChar(0xE9).AppendChar(0x20AC).AppendChar(0x1F600) += "z"; // a é € 😀 z
    const int32_t starts[] = {0, 1, 3, 6, 10, 11};
    for (int32_t i = 0; i + 1 < 6; ++i)
    {
        EXPECT_EQ(s.NextCharPos(starts[i]), starts[i + 1]);
        EXPECT_EQ(s.PrevCharPos(starts[i + 1]), starts[i]);
    }
}

TEST(WeStringUtf8, StepsClampToTheString)
{
    const WeString s("ab\xE2\x82");
    EXPECT_EQ(s.NextCharPos(-3), 0);
    EXPECT_EQ(s.NextCharPos(2), 4);
    EXPECT_EQ(s.NextCharPos(99), 4);
    EXPECT_EQ(s.PrevCharPos(0), 0);
    EXPECT_EQ(s.PrevCharPos(-1), 0);
    EXPECT_EQ(s.PrevCharPos(99), 4);
}

TEST(WeStringUtf8, NextStepsWhereDecodingStops)
{
    for (const WeString& s : {WeString("a\x80\xBF\xC1"
                                       "b"),
                              WeString("\xC0\xC1\xE2\x82\xAC\x9F"), WeString("\xF0\x9F\x98\x80\xC2"),
                              WeString("\xC3\xA9\x85\xE2\x82")})
        for (int32_t at = 0; at < s.GetLength(); ++at)
        {
            int32_t decoded = at;
            s.DecodeChar(decoded);
            EXPECT_EQ(s.NextCharPos(at), decoded) << "at " << at;
        }
}

TEST(WeStringUtf8, PrevStepsBackOverContinuationBytesOnly)
{
    const WeString s("a\x80\xBF\xC1\xC0"
                     "b\xC3\xA9");
    const std::pair<int32_t, int32_t> steps[] = {{8, 6}, {6, 5}, {5, 4}, {4, 3}, {3, 0}, {2, 0}, {1, 0}};
    for (const auto& [from, to] : steps)
        EXPECT_EQ(s.PrevCharPos(from), to) << "from " << from;
}

TEST(WeStringTokens, SplitsDottedNames)
{
    const WeString key("Config.Main.UI");
    EXPECT_EQ(key.GetToken('.', 0), "Config");
    EXPECT_EQ(key.GetToken('.', 1), "Main");
    EXPECT_EQ(key.GetToken('.', 2), "UI");
    EXPECT_EQ(key.GetToken('.', 3), "");
    EXPECT_EQ(key.GetToken('.', -1), "");
    EXPECT_EQ(key.GetTokenFromEnd('.', 0), "UI");
    EXPECT_EQ(key.GetTokenFromEnd('.', 2), "Config");
    EXPECT_EQ(key.GetTokenFromEnd('.', 3), "");
    EXPECT_EQ(key.CountTokens('.'), 3);
}

TEST(WeStringTokens, CountsEmptyFields)
{
    EXPECT_EQ(WeString("").CountTokens('.'), 0);
    EXPECT_EQ(WeString("a..b").CountTokens('.'), 3);
    EXPECT_EQ(WeString("a..b").GetToken('.', 1), "");
    EXPECT_EQ(WeString("a..b").GetToken('.', 2), "b");
    EXPECT_EQ(WeString("a.").GetTokenFromEnd('.', 0), "");
    EXPECT_EQ(WeString("a b c").CountChar(' '), 2);
}

TEST(WeStringTokens, RemainderAfterTheNthSeparator)
{
    const WeString s("a.b.c");
    EXPECT_EQ(s.GetRemainder('.', 1), "b.c");
    EXPECT_EQ(s.GetRemainder('.', 2), "c");
    EXPECT_EQ(s.GetRemainder('.', 3), "");
    EXPECT_EQ(s.GetRemainder('.', 0), "a.b.c");
}

TEST(WeStringSearch, FindsBytes)
{
    const WeString s("UI.Components.Main");
    EXPECT_EQ(s.Find("Components"), 3);
    EXPECT_EQ(s.Find("Main"), 14);
    EXPECT_EQ(s.Find("main"), -1);
    EXPECT_EQ(s.Find(""), 0);
    EXPECT_EQ(WeString("").Find("a"), -1);
}

TEST(WeStringSearch, LowersOnlyAsciiLetters)
{
    EXPECT_EQ(WeString("Textures.UI.Cursor_01").ToLower(), "textures.ui.cursor_01");
    EXPECT_EQ(WeString("\xC3\x84"
                       "B")
                  .ToLower(),
              "\xC3\x84"
              "b");
}

TEST(WeStringEdit, SubstringClampsBothEnds)
{
    const WeString s("hello");
    EXPECT_EQ(s.Substring(1, 3), "el");
    EXPECT_EQ(s.Substring(-5, 2), "he");
    EXPECT_EQ(s.Substring(3, 99), "lo");
    EXPECT_EQ(s.Substring(10, 20), "");
    EXPECT_EQ(s.Substring(3, 1), "");
    EXPECT_EQ(s.Substring(2, -1), "");
    EXPECT_EQ(s.Substring(0, 5), "hello");
}

TEST(WeStringEdit, InsertClampsTheIndex)
{
    WeString s("ace");
    s.Insert("b", 1);
    EXPECT_EQ(s, "abce");
    s.Insert("<", -3);
    EXPECT_EQ(s, "<abce");
    s.Insert(">", 99);
    EXPECT_EQ(s, "<abce>");
    s.Insert("", 2);
    EXPECT_EQ(s, "<abce>");
}

TEST(WeStringEdit, EraseOutsideTheStringDoesNothing)
{
    WeString s("abc");
    s.Erase(-1);
    s.Erase(3);
    s.Erase(1000);
    EXPECT_EQ(s, "abc");
    s.Erase(1);
    EXPECT_EQ(s, "ac");
    s.Erase(0);
    s.Erase(0);
    EXPECT_TRUE(s.IsEmpty());
    EXPECT_EQ(s.GetData(), WeString().GetData());
}

TEST(WeStringEdit, ResizeKeepsContentAndZeroFills)
{
    WeString s("abcdef");
    s.Resize(3);
    EXPECT_EQ(s, "abc");
    s.Resize(20);
    EXPECT_EQ(s.GetLength(), 20);
    EXPECT_EQ(s.Substring(0, 3), "abc");
    for (int32_t i = 3; i < 20; ++i)
        EXPECT_EQ(s[i], '\0');
    EXPECT_EQ(s.GetData()[20], '\0');
    s.Resize(-1);
    EXPECT_EQ(s.GetLength(), 20);
    s.Resize(WeString::MaxLength + 1);
    EXPECT_EQ(s.GetLength(), 20);
    s.Resize(0);
    EXPECT_EQ(s.GetData(), WeString().GetData());
}

TEST(WeStringEdit, OperationsOnItsOwnBytes)
{
    WeString s("abc");
    s += s;
    EXPECT_EQ(s, "abcabc");
    s.Insert(s, 3);
    EXPECT_EQ(s, "abcabcabcabc");
    s = s.GetData() + 9;
    EXPECT_EQ(s, "abc");
    WeString grown = Repeat('x', 15);
    grown += grown; // crosses a size class while reading itself
    EXPECT_EQ(grown, Repeat('x', 30));
    s = s;
    EXPECT_EQ(s, "abc");
}

TEST(WeStringConcatenation, JoinsStringsAndTexts)
{
    const WeString group("Textures");
    EXPECT_EQ(group + "." + WeString("UI"), "Textures.UI");
    EXPECT_EQ("Config.Main." + group, "Config.Main.Textures");
    WeString withZero("a\0b", 3);
    EXPECT_EQ(withZero.GetLength(), 3);
    EXPECT_EQ((withZero + "c").GetLength(), 1);
}

TEST(WeStringConcatenation, LongResultsAreNotCut)
{
    const WeString half = Repeat('q', 70000);
    const WeString joined = half + half;
    EXPECT_EQ(joined.GetLength(), 140000);
    EXPECT_EQ(joined[139999], 'q');
}

TEST(WeStringGrowth, AppendsAcrossSizeClassesKeepContent)
{
    WeString s;
    std::string expected;
    for (int32_t i = 0; i < 5000; ++i)
    {
        const char c = static_cast<char>('a' + i % 26);
        s += c;
        expected += c;
        if (i == 14 || i == 15 || i == 18 || i == 19 || i == 62 || i == 63 || i == 4095)
        {
            EXPECT_EQ(std::string(s.GetData(), static_cast<size_t>(s.GetLength())), expected) << i;
        }
    }
    EXPECT_EQ(std::string(s.GetData()), expected);
}

TEST(WeStringGrowth, NoWrapAt65536Bytes)
{
    WeString s = Repeat('z', 65535);
    s += '!';
    EXPECT_EQ(s.GetLength(), 65536);
    EXPECT_EQ(s[0], 'z');
    EXPECT_EQ(s[65535], '!');
    for (int32_t i = 0; i < 100000; ++i)
        s += 'y';
    EXPECT_EQ(s.GetLength(), 165536);
    EXPECT_EQ(s[65535], '!');
    EXPECT_EQ(s[165535], 'y');
    EXPECT_EQ(s.GetData()[165536], '\0');
}

TEST(WeStringGrowth, ShrinkingAcrossClassesKeepsContent)
{
    WeString s = Repeat('k', 300000);
    s.Resize(70);
    EXPECT_EQ(s, Repeat('k', 70));
    s.Resize(5);
    EXPECT_EQ(s, "kkkkk");
}

TEST(WeStringValue, CopiesAreIndependentAndMovesEmpty)
{
    WeString a("first");
    WeString b(a);
    b += "!";
    EXPECT_EQ(a, "first");
    WeString c(std::move(b));
    EXPECT_EQ(c, "first!");
    EXPECT_TRUE(b.IsEmpty()); // NOLINT: the moved-from state is specified
    a = std::move(c);
    EXPECT_EQ(a, "first!");
    a = static_cast<const char*>(nullptr);
    EXPECT_TRUE(a.IsEmpty());
    EXPECT_TRUE(WeString(nullptr, 5).IsEmpty());
    EXPECT_TRUE(WeString("abc", -1).IsEmpty());
}

TEST(WeStringValue, ComparesBytes)
{
    EXPECT_TRUE(WeString("abc") == WeString("abc"));
    EXPECT_FALSE(WeString("abc") == WeString("abd"));
    EXPECT_FALSE(WeString("ab") == "abc");
    EXPECT_TRUE(WeString() == static_cast<const char*>(nullptr));
    EXPECT_TRUE(WeString("ab") < WeString("abc"));
    EXPECT_TRUE(WeString("abc") < WeString("abd"));
    EXPECT_TRUE(WeString("Z") < WeString("a"));
    EXPECT_TRUE(WeString("a") < WeString("\xC3\xA9"));
    EXPECT_FALSE(WeString("abc") < WeString("abc"));
    EXPECT_EQ(WeString("ab")[5], '\0');
    EXPECT_EQ(WeString("ab")[-1], '\0');
}

TEST(WeStringPool, EmptyStringsShareOneBuffer)
{
    const WeString a;
    const WeString b("");
    WeString c("x");
    c.Erase(0);
    EXPECT_EQ(a.GetData(), b.GetData());
    EXPECT_EQ(a.GetData(), c.GetData());
    EXPECT_EQ(WeStringPoolAllocate(0), a.GetData());
    EXPECT_EQ(*a.GetData(), '\0');
}

TEST(WeStringPool, SizeClassesHoldTheZeroByte)
{
    EXPECT_EQ(WeStringSizeClass(1), 0);
    EXPECT_EQ(WeStringSizeClass(15), 0);
    EXPECT_EQ(WeStringSizeClass(16), 1);
    EXPECT_EQ(WeStringSizeClass(63), 1);
    EXPECT_EQ(WeStringSizeClass(64), 2);
    EXPECT_EQ(WeStringSizeClass(65535), 6);
    EXPECT_EQ(WeStringSizeClass(65536), 7);
    EXPECT_EQ(WeStringSizeClass(131072), 8);
}

TEST(WeStringPool, ReleasedBuffersAreReused)
{
    const char* first = nullptr;
    {
        const WeString s("a text too long to live inline");
        first = s.GetData();
    }
    const int32_t spare = WeStringPoolFreeBlocks(1);
    EXPECT_GE(spare, 1);
    const WeString again("another text too long for inline");
    EXPECT_EQ(again.GetData(), first);
    EXPECT_EQ(WeStringPoolFreeBlocks(1), spare - 1);
}

TEST(WeStringPool, ReleasesAfterShutdownAreFreedDirectly)
{
    WeString survivor("still alive at the program's exit");
    WeStringPoolShutdown();
    EXPECT_EQ(WeStringPoolFreeBlocks(1), 0);
    survivor = "";
    EXPECT_EQ(WeStringPoolFreeBlocks(1), 0);
    {
        const WeString late("made after shutdown");
    }
    EXPECT_EQ(WeStringPoolFreeBlocks(1), 0);
    WeStringPoolStartup();
    {
        const WeString pooled("pooled again, being long enough");
    }
    EXPECT_EQ(WeStringPoolFreeBlocks(1), 1);
}
