#include <orlix/any.h>
#include <orlix/format.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Orlix::any;

struct Case {
    const char* fmt;
    std::vector<any> args;
    const char* expected;
};

void Check(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        std::string out;
        Orlix::Format(out, c.fmt, c.args);
        EXPECT_EQ(out, c.expected) << "format \"" << c.fmt << "\"";
    }
}

TEST(FoundationFormat, LiteralTextAndUnknownConversions) {
    Check({
        {"%%", {}, "%"},
        {"%%%d", {1}, "%1"},    // with arguments left "%%" is a conversion that uses none
        {"50%", {}, "50"},      // a lone trailing "%" is dropped
        {"a%d b", {}, "ad b"},  // no argument left: the character after "%" is literal
        {"%q%d", {5}, "q5"},    // an unknown conversion writes itself and keeps the argument
        {"%5", {1}, ""},        // the string ends before the conversion character
    });
}

TEST(FoundationFormat, ConversionsByTypeAndModifier) {
    Check({
        {"%i", {-7}, "-7"},
        {"%d%u", {42u}, "42"},  // not an int: nothing written, argument kept
        {"%u", {-1}, ""},
        {"%x", {255u}, "ff"},
        {"%X", {255u}, "FF"},
        {"%o", {8u}, "10"},
        {"%02?X", {static_cast<unsigned char>(10)}, "0A"},
        {"%?d", {'A'}, "65"},  // characters are written as numbers
        {"%?d", {static_cast<signed char>(-2)}, "-2"},
        {"%?u", {18446744073709551615ull}, "18446744073709551615"},
        {"%?d%s", {std::string("s")}, "s"},  // not an integer: nothing written, kept
        {"%hd", {5LL}, "5"},                 // h falls back to any integer type
        {"%ld", {7}, "7"},
        {"%Ld", {static_cast<short>(9)}, "9"},
        {"%Lu", {-4LL}, "-4"},  // L tries long long first, even for the unsigned conversions
        {"%lu", {12u}, "12"},
        {"%e", {1234.5}, "1.234500e+03"},
        {"%.2E", {1234.5}, "1.23E+03"},
        {"%hf", {1.5f}, "1.500000"},
        {"%Lf", {static_cast<long double>(2.5)}, "2.500000"},
        {"%lf", {static_cast<long double>(0.25)}, "0.250000"},
        {"%f", {1}, "[ERRFMT]"},
        {"%hf", {1.5}, "[ERRFMT]"},
        {"%s %d", {5}, "[ERRFMT] d"},  // a failed typed read consumes the argument
        {"%c", {'x'}, "x"},
        {"%c", {120}, "[ERRFMT]"},
        {"%b%b", {true, false}, "10"},
        {"%b", {1}, "[ERRFMT]"},
        {"%z", {7u}, "7"},
        {"%z", {7}, "[ERRFMT]"},
    });
}

TEST(FoundationFormat, FlagsWidthAndPrecision) {
    Check({
        {"%5d", {42}, "   42"},
        {"%-5d|", {42}, "42   |"},
        {"%05d", {-42}, "-0042"},
        {"%+d", {5}, "+5"},
        {"%#x", {255u}, "0xff"},
        {"%#o", {8u}, "010"},
        {"%*d", {4, 7}, "   7"},
        {"%0*d", {0, 5}, "5"},  // a width of 0 is not set
        {"%.*f", {1, 3.14159}, "3.1"},
        {"%8.3f", {3.14159}, "   3.142"},
        {"%.f", {2.7}, "3"},                          // "." alone is precision 0
        {"%*d", {std::string("w"), 5}, "[ERRFMT]d"},  // scanning resumes after the "*"
    });
}

TEST(FoundationFormat, IndexedArguments) {
    Check({
        {"%[1]d %[0]d", {1, 2}, "2 1"},
        {"%[1]d%d", {1, 2}, "21"},  // the sequential cursor does not move
        {"%[]d", {9}, "9"},         // no digits means argument 0
        {"%[0]s", {std::string("x")}, "x"},
        {"%[0]*d", {3, 4}, "  4"},  // "*" reads from the indexed position on
    });
    const std::pair<const char*, std::vector<any>> outOfRange[] = {
        {"%[2]d", {1, 2}},
        {"%[0]d", {}},
        {"%[99999999999999999999999]d", {1}},
    };
    for (const auto& [fmt, args] : outOfRange) {
        std::string out;
        try {
            Orlix::Format(out, fmt, args);
            ADD_FAILURE() << fmt << " did not throw";
        } catch (const Orlix::InvalidArgumentException& e) {
            EXPECT_EQ(e.Message(), std::string("Format argument index out of range: ") + fmt);
        }
    }
}

TEST(FoundationFormat, ConvenienceFormsPackValuesAndAppend) {
    EXPECT_EQ(Orlix::Format("%s-%d", "ab", 3), "ab-3");
    std::string out = "x";
    Orlix::Format(out, "%02?X", static_cast<unsigned char>(171));
    EXPECT_EQ(out, "xAB");
}

TEST(FoundationAny, CastsOnlyToTheHeldType) {
    any text = std::string("a");
    const any copy = text;
    *Orlix::any_cast<std::string>(&text) = "changed";
    EXPECT_EQ(Orlix::any_cast<std::string>(copy), "a");  // the copy owns its own value
    EXPECT_EQ(Orlix::any_cast<std::string>(text), "changed");
    EXPECT_EQ(Orlix::any_cast<int>(&text), nullptr);
    EXPECT_THROW(Orlix::any_cast<long>(any(5)), Orlix::bad_any_cast);
    EXPECT_THROW(Orlix::any_cast<int>(any()), Orlix::bad_any_cast);
    EXPECT_STREQ(Orlix::bad_any_cast().what(), "bad any cast");
}

}  // namespace
