#include <orlix/any.h>
#include <orlix/exception.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

using Orlix::FrameworkException;
using Orlix::InvalidArgumentException;
using Orlix::NotFoundException;
using Orlix::SystemException;

TEST(FoundationException, ComposesFileLineNameMessageAndCode) {
    struct Case {
        std::function<std::string()> make;
        const char* expected;
    };
    const Case cases[] = {
        {[] { return NotFoundException("f", 7, "m", 0).DisplayText(); }, "f:7:Not found: m"},
        {[] { return NotFoundException("f", 7, "", 0).DisplayText(); }, "f:7:Not found"},
        {[] { return NotFoundException("f", 7, "m", -5).DisplayText(); },
         "f:7:Not found: m code:-5"},
        {[] { return NotFoundException("f", 7, 3).DisplayText(); }, "f:7:Not found code:3"},
        {[] { return FrameworkException("a/b.cpp", 4294967295u, "m", 0).DisplayText(); },
         "a/b.cpp:4294967295:FrameworkException: m"},
        {[] { return SystemException("f", 1, "m", "arg", 0).DisplayText(); },
         "f:1:System exception: m: arg"},
        {[] { return InvalidArgumentException("f", 1, "m", "", 2).DisplayText(); },
         "f:1:Invalid argument exception: m code:2"},
        // The argument test ignores how the message ends: a trailing ": " gets a second one.
        {[] {
             return NotFoundException("f", 2, "Cannot open registry key: ", "HKEY_USERS\\x", 0)
                 .DisplayText();
         },
         "f:2:Not found: Cannot open registry key: : HKEY_USERS\\x"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.make(), c.expected);
    }
}

TEST(FoundationException, WhatMatchesDisplayTextAndCopiesKeepIt) {
    const NotFoundException original("f", 7, "m", 0);
    const NotFoundException copy(original);  // NOLINT(performance-unnecessary-copy-initialization)
    EXPECT_STREQ(original.what(), "f:7:Not found: m");
    EXPECT_STREQ(copy.what(), original.what());
    EXPECT_EQ(copy.Message(), "m");
    EXPECT_EQ(copy.File(), "f");
    EXPECT_EQ(copy.Line(), 7u);
    EXPECT_EQ(copy.Code(), 0);
}

TEST(FoundationException, MutatorsRecompose) {
    NotFoundException e("f", 7, "m", 0);
    e.SetMessage("x");
    EXPECT_STREQ(e.what(), "f:7:Not found: x");
    e.ExtendMessage("");
    EXPECT_EQ(e.Message(), "x");
    EXPECT_STREQ(e.what(), "f:7:Not found: x");
    e.ExtendMessage("y");
    EXPECT_EQ(e.Message(), "x: y");
    EXPECT_STREQ(e.what(), "f:7:Not found: x: y");

    SystemException empty("f", 3, 0);
    empty.ExtendMessage("y");
    EXPECT_EQ(empty.Message(), "y");
    EXPECT_STREQ(empty.what(), "f:3:System exception: y");
}

TEST(FoundationException, FamilyIsCaughtAsFrameworkExceptionButBadAnyCastIsNot) {
    const std::function<void()> throwers[] = {
        [] { throw FrameworkException("f", 1, 0); },
        [] { throw NotFoundException("f", 1, 0); },
        [] { throw SystemException("f", 1, 0); },
        [] { throw InvalidArgumentException("f", 1, 0); },
    };
    for (const auto& thrower : throwers) {
        EXPECT_THROW(thrower(), FrameworkException);
    }
    bool caughtAsFramework = false;
    try {
        try {
            throw Orlix::bad_any_cast();
        } catch (const FrameworkException&) {
            caughtAsFramework = true;
        }
    } catch (const std::bad_cast& e) {
        EXPECT_STREQ(e.what(), "bad any cast");
    }
    EXPECT_FALSE(caughtAsFramework);
}

TEST(FoundationException, RethrowThrowsAPlainCopyWithTheSameText) {
    const NotFoundException original("f", 9, "gone", 0);
    try {
        original.Rethrow();
        FAIL() << "Rethrow returned";
    } catch (const NotFoundException&) {
        FAIL() << "Rethrow kept the derived type";
    } catch (const FrameworkException& e) {
        EXPECT_STREQ(e.Name(), "FrameworkException");
        EXPECT_STREQ(e.what(), "f:9:Not found: gone");
    }
    EXPECT_NE(std::string(original.ClassName()).find("NotFoundException"), std::string::npos);
}

}  // namespace
