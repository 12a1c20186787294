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

TEST(FoundationUtf8, WellFormedTextRoundTripsWithSurrogatePairs) {
    const struct {
        std::string utf8;
        std::wstring units;
    } cases[] = {
        {"", Units({})},
        {std::string("a\0b", 3), Units({'a', 0, 'b'})},  // NULs are ordinary characters
        {"\x7F", Units({0x7F})},
        {"\xC2\x80", Units({0x80})},                                // smallest two-byte form
        {"\xC3\xA9", Units({0xE9})},                                // U+00E9
        {"\xDF\xBF", Units({0x7FF})},                               // largest two-byte form
        {"\xE0\xA0\x80", Units({0x800})},                           // smallest three-byte form
        {"\xED\x9F\xBF", Units({0xD7FF})},                          // last before the surrogates
        {"\xEE\x80\x80", Units({0xE000})},                          // first after them
        {"\xEF\xBF\xBD", Units({0xFFFD})},                          // a real U+FFFD stays one
        {"\xEF\xBF\xBF", Units({0xFFFF})},                          // U+FFFF
        {"\xF0\x90\x80\x80", Units({0xD800, 0xDC00})},              // U+10000, the first pair
        {"a\xF0\x9F\x98\x80z", Units({'a', 0xD83D, 0xDE00, 'z'})},  // U+1F600
        {"\xF4\x8F\xBF\xBF", Units({0xDBFF, 0xDFFF})},              // U+10FFFF, the last pair
    };
    for (const auto& c : cases) {
        std::wstring units = L"old";
        EXPECT_TRUE(Utf8ToWide(c.utf8, units));
        EXPECT_EQ(units, c.units) << testing::PrintToString(c.utf8);
        std::string utf8 = "old";
        EXPECT_TRUE(WideToUtf8(c.units, utf8));
        EXPECT_EQ(utf8, c.utf8) << testing::PrintToString(c.utf8);
    }
}

TEST(FoundationUtf8, EachMaximalInvalidSubsequenceDecodesToOneReplacement) {
    constexpr unsigned R = 0xFFFD;
    const struct {
        std::string utf8;
        std::wstring units;
    } cases[] = {
        {"\x80", Units({R})},                       // continuation byte as lead
        {"x\xBFy", Units({'x', R, 'y'})},           // the last continuation value as lead
        {"ab\xC3", Units({'a', 'b', R})},           // truncated two-byte sequence
        {"\xE2\x82", Units({R})},                   // truncated three-byte: one replacement
        {"\xF0\x9F\x98", Units({R})},               // truncated four-byte: one replacement
        {"\xE2\x82x", Units({R, 'x'})},             // cut short by ASCII, which survives
        {"\xC3\x7F", Units({R, 0x7F})},             // continuation byte below 0x80
        {"\xC3\xC3\xA9", Units({R, 0xE9})},         // a lead cut short by the next lead
        {"\xC0\x80", Units({R, R})},                // overlong NUL
        {"\xC1\xBF", Units({R, R})},                // overlong U+007F
        {"\xE0\x9F\xBF", Units({R, R, R})},         // overlong U+07FF
        {"\xF0\x8F\xBF\xBF", Units({R, R, R, R})},  // overlong U+FFFF
        {"\xED\xA0\xBD\xED\xB8\x80", Units({R, R, R, R, R, R})},  // encoded surrogate pair
        {"\xF4\x90\x80\x80", Units({R, R, R, R})},                // U+110000
        {"\xF5\x80\x80\x80", Units({R, R, R, R})},                // lead beyond U+10FFFF
        {"\xF8\x88\x80\x80\x80", Units({R, R, R, R, R})},         // five-byte form
        {"\xFC\x84\x80\x80\x80\x80", Units({R, R, R, R, R, R})},  // six-byte form
        {"\xFE\xFF", Units({R, R})},
        // The example of the Unicode standard's section on U+FFFD substitution.
        {"a\xF1\x80\x80\xE1\x80\xC2"
         "b\x80"
         "c\x80\xBF"
         "d",
         Units({'a', R, R, R, 'b', R, 'c', R, R, 'd'})},
    };
    for (const auto& c : cases) {
        std::wstring units = L"old";
        EXPECT_TRUE(Utf8ToWide(c.utf8, units));
        EXPECT_EQ(units, c.units) << testing::PrintToString(c.utf8);
    }
}

TEST(FoundationUtf8, LoneSurrogatesEncodeAsReplacement) {
    const std::string R = "\xEF\xBF\xBD";
    const struct {
        std::wstring units;
        std::string utf8;
    } cases[] = {
        {Units({0xD800}), R},
        {Units({0xDFFF}), R},
        {Units({'a', 0xD83D}), "a" + R},                            // high surrogate at the end
        {Units({0xD83D, 'x'}), R + "x"},                            // high surrogate, no partner
        {Units({0xDE00, 0xD83D}), R + R},                           // pair in the wrong order
        {Units({0xD83D, 0xD83D, 0xDE00}), R + "\xF0\x9F\x98\x80"},  // the second high pairs
        {Units({0xD83D, 0xDE00, 0xDE00}), "\xF0\x9F\x98\x80" + R},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WideToUtf8(c.units), c.utf8) << testing::PrintToString(c.utf8);
    }
}

TEST(FoundationAnsi, AsciiPassesThroughAndStopsAtNul) {
    // The process never calls setlocale here, so the runtime's "C" locale is in effect.
    EXPECT_EQ(Orlix::AnsiToWide(std::string("Notepad.exe\0b", 13)), L"Notepad.exe");
    EXPECT_EQ(Orlix::WideToAnsi(L"Notepad.exe"), "Notepad.exe");
    EXPECT_EQ(Orlix::AnsiToUtf8("plain"), "plain");
    EXPECT_EQ(Orlix::Utf8ToAnsi("plain"), "plain");
    std::string out = "kept";
    EXPECT_FALSE(Orlix::Utf8ToAnsi("bad\xC3", out));  // its U+FFFD has no "C" form
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
