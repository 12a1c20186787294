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

TEST(FoundationUtf8, EachSequenceIsOneUnitAndEachUnitEncodesAlone) {
    struct Case {
        std::string utf8;
        std::wstring units;
        bool roundTrips;  // WideToUtf8(units) gives utf8 back
    };
    const Case cases[] = {
        {"", Units({}), true},
        {std::string("a\0b", 3), Units({'a', 0, 'b'}), true},  // NULs are ordinary characters
        {"\x7F", Units({0x7F}), true},
        {"\xC3\xA9", Units({0xE9}), true},                            // U+00E9
        {"\xDF\xBF", Units({0x7FF}), true},                           // largest two-byte form
        {"\xE0\xA0\x80", Units({0x800}), true},                       // smallest three-byte form
        {"\xEF\xBF\xBF", Units({0xFFFF}), true},                      // U+FFFF
        {"\xED\xA0\xBD\xED\xB8\x80", Units({0xD83D, 0xDE00}), true},  // surrogates one by one
        {"\xED\xB0\x80", Units({0xDC00}), true},                      // a lone surrogate is fine
        {"\xF0\x9F\x98\x80", Units({0xF600}), false},                 // U+1F600: low 16 bits only
        {"\xF4\x8F\xBF\xBF", Units({0xFFFF}), false},                 // U+10FFFF, the largest
        {"\xC0\x80", Units({0}), false},                              // overlong NUL
        {"\xF8\x80\x80\x81\x81", Units({'A'}), false},                // five-byte overlong 'A'
    };
    for (const Case& c : cases) {
        std::wstring out = L"old";
        EXPECT_TRUE(Utf8ToWide(c.utf8, out)) << testing::PrintToString(c.utf8);
        EXPECT_EQ(out, c.units) << testing::PrintToString(c.utf8);
        if (c.roundTrips) {
            std::string back = "old";
            EXPECT_TRUE(WideToUtf8(c.units, back));
            EXPECT_EQ(back, c.utf8);
        }
    }
    EXPECT_EQ(WideToUtf8(Units({0xE9, 'x'})), "\xC3\xA9x");
}

TEST(FoundationUtf8, MalformedInputFailsAndLeavesOutputAlone) {
    const std::string malformed[] = {
        "ab\xC3",                    // ends in the lead byte of a two-byte sequence
        "\xE2\x82",                  // truncated three-byte sequence
        "\x80",                      // continuation byte as lead
        "x\xBFy",                    // the last continuation value as lead
        "\xC3\x7F",                  // continuation byte below 0x80
        "\xC3\xC0",                  // 0xC0 is a lead byte, not a continuation
        "\xF4\x90\x80\x80",          // U+110000
        "\xFF\xBF\xBF\xBF\xBF\xBF",  // six-byte form far beyond U+10FFFF
    };
    for (const std::string& input : malformed) {
        std::wstring out = L"kept";
        EXPECT_FALSE(Utf8ToWide(input, out)) << testing::PrintToString(input);
        EXPECT_EQ(out, L"kept");
        EXPECT_EQ(Utf8ToWide(input), L"");
    }
}

TEST(FoundationAnsi, AsciiPassesThroughAndStopsAtNul) {
    // The process never calls setlocale here, so the runtime's "C" locale is in effect.
    EXPECT_EQ(Orlix::AnsiToWide(std::string("Notepad.exe\0b", 13)), L"Notepad.exe");
    EXPECT_EQ(Orlix::WideToAnsi(L"Notepad.exe"), "Notepad.exe");
    EXPECT_EQ(Orlix::AnsiToUtf8("plain"), "plain");
    EXPECT_EQ(Orlix::Utf8ToAnsi("plain"), "plain");
    std::string out = "kept";
    EXPECT_FALSE(Orlix::Utf8ToAnsi("bad\xC3", out));  // the first step fails
    EXPECT_EQ(out, "kept");
}

TEST(FoundationICompare, IgnoresCaseAndOrdersPrefixesFirst) {
    EXPECT_EQ(Orlix::ICompare("Notepad.EXE", "notepad.exe"), 0);
    EXPECT_EQ(Orlix::ICompare("", ""), 0);
    EXPECT_EQ(Orlix::ICompare("ab", "abc"), -1);
    EXPECT_EQ(Orlix::ICompare("abc", "ab"), 1);
    EXPECT_EQ(Orlix::ICompare("ABD", "abc"), 1);
    EXPECT_EQ(Orlix::ICompare("abc", "ABD"), -1);
}

}  // namespace
