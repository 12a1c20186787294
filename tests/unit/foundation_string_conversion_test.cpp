#include <orlix/string_conversion.h>

#include <gtest/gtest.h>

#include <string>

namespace {

using Orlix::Utf8ToWide;
using Orlix::WideToUtf8;

std::wstring Units(std::initializer_list<unsigned> units) {
    std::wstring text;
    for (unsigned unit : units) {
        text.push_back(static_cast<wchar_t>(unit));
    }
    return text;
}

TEST(FoundationUtf8ToWide, ConvertsOneUnitPerSequence) {
    struct Case {
        std::string utf8;
        std::wstring units;
    };
    const Case cases[] = {
        {"", Units({})},
        {std::string("a\0b", 3), Units({'a', 0, 'b'})},  // NULs are ordinary characters
        {"\x7F", Units({0x7F})},
        {"\xC3\xA9", Units({0xE9})},                            // U+00E9
        {"\xE2\x82\xAC", Units({0x20AC})},                      // U+20AC
        {"\xEF\xBB\xBF", Units({0xFEFF})},                      // a BOM is kept
        {"\xF0\x9F\x98\x80", Units({0xF600})},                  // U+1F600: low 16 bits only
        {"\xF4\x8F\xBF\xBF", Units({0xFFFF})},                  // U+10FFFF, the largest
        {"\xED\xA0\xBD\xED\xB8\x80", Units({0xD83D, 0xDE00})},  // encoded surrogates
        {"\xC0\x80", Units({0})},                               // overlong NUL
        {"\xF8\x80\x80\x81\x81", Units({'A'})},                 // five-byte overlong 'A'
    };
    for (const Case& c : cases) {
        std::wstring out = L"old";
        EXPECT_TRUE(Utf8ToWide(c.utf8, out)) << testing::PrintToString(c.utf8);
        EXPECT_EQ(out, c.units) << testing::PrintToString(c.utf8);
        EXPECT_EQ(Utf8ToWide(c.utf8), c.units);
    }
}

TEST(FoundationUtf8ToWide, MalformedInputFailsAndLeavesOutputAlone) {
    const std::string malformed[] = {
        "ab\xC3",                // ends in the lead byte of a two-byte sequence
        "\xE2\x82",              // truncated three-byte sequence
        "\x80",                  // continuation byte as lead
        "x\xBFy",                // the last continuation value as lead
        "\xC3\x41",              // continuation byte below 0x80
        "\xC3\xC3\xA9",          // continuation byte at or above 0xC0
        "\xF4\x90\x80\x80",      // U+110000
        "\xF8\x88\x80\x80\x80",  // five-byte form of U+200000
        "\xFF\xBF\xBF\xBF\xBF\xBF",
    };
    for (const std::string& input : malformed) {
        std::wstring out = L"kept";
        EXPECT_FALSE(Utf8ToWide(input, out)) << testing::PrintToString(input);
        EXPECT_EQ(out, L"kept");
        EXPECT_EQ(Utf8ToWide(input), L"");
    }
}

TEST(FoundationWideToUtf8, EncodesEachUnitAlone) {
    struct Case {
        std::wstring units;
        std::string utf8;
    };
    const Case cases[] = {
        {Units({}), ""},
        {Units({'a', 0, 'b'}), std::string("a\0b", 3)},
        {Units({0xE9}), "\xC3\xA9"},
        {Units({0x7FF}), "\xDF\xBF"},
        {Units({0x800}), "\xE0\xA0\x80"},
        {Units({0xFFFF}), "\xEF\xBF\xBF"},
        {Units({0xD83D, 0xDE00}), "\xED\xA0\xBD\xED\xB8\x80"},  // a pair: two 3-byte sequences
        {Units({0xDC00}), "\xED\xB0\x80"},                      // a lone surrogate is fine
    };
    for (const Case& c : cases) {
        std::string out = "old";
        EXPECT_TRUE(WideToUtf8(c.units, out));
        EXPECT_EQ(out, c.utf8);
        EXPECT_EQ(WideToUtf8(c.units), c.utf8);
        // Every unit survives the way back.
        EXPECT_EQ(Utf8ToWide(c.utf8), c.units);
    }
}

TEST(FoundationAnsi, AsciiPassesThroughAndStopsAtNul) {
    // The process never calls setlocale here, so the runtime's "C" locale is in effect.
    EXPECT_EQ(Orlix::AnsiToWide("Notepad.exe"), L"Notepad.exe");
    EXPECT_EQ(Orlix::WideToAnsi(L"Notepad.exe"), "Notepad.exe");
    EXPECT_EQ(Orlix::AnsiToWide(std::string("a\0b", 3)), L"a");
    EXPECT_EQ(Orlix::AnsiToUtf8("plain"), "plain");
    EXPECT_EQ(Orlix::Utf8ToAnsi("plain"), "plain");

    std::string out = "kept";
    EXPECT_FALSE(Orlix::Utf8ToAnsi("bad\xC3", out));  // the first step fails
    EXPECT_EQ(out, "kept");
}

TEST(FoundationICompare, IgnoresCaseAndOrdersPrefixesFirst) {
    struct Case {
        const char* a;
        const char* b;
        int expected;
    };
    const Case cases[] = {
        {"Notepad.EXE", "notepad.exe", 0},
        {"", "", 0},
        {"ab", "abc", -1},
        {"abc", "ab", 1},
        {"", "a", -1},
        {"ABD", "abc", 1},
        {"abc", "ABD", -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Orlix::ICompare(c.a, c.b), c.expected) << c.a << " vs " << c.b;
    }
}

}  // namespace
