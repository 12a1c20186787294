#include <orlix/exception.h>

#include <gtest/gtest.h>

#include <string>

namespace {

using Orlix::FrameworkException;
using Orlix::InvalidArgumentException;
using Orlix::NotFoundException;
using Orlix::SystemException;

TEST(FoundationException, ComposesFileLineNameMessageAndCode) {
    const std::pair<std::string, const char*> cases[] = {
        {NotFoundException("f", 7, "m", 0).what(), "f:7:Not found: m"},
        {NotFoundException("f", 7, "", 0).what(), "f:7:Not found"},
        {NotFoundException("f", 7, "m", -5).what(), "f:7:Not found: m code:-5"},
        {NotFoundException("f", 7, 3).what(), "f:7:Not found code:3"},
        {FrameworkException("a/b", 4294967295u, "m", 0).what(),
         "a/b:4294967295:FrameworkException: m"},
        {SystemException("f", 1, "m", "arg", 0).what(), "f:1:System exception: m: arg"},
        {InvalidArgumentException("f", 1, "m", "", 2).what(),
         "f:1:Invalid argument exception: m code:2"},
        // The argument form ignores how the message ends: a trailing ": " gets a second one.
        {NotFoundException("f", 2, "Cannot open key: ", "HKEY_USERS\\x", 0).DisplayText(),
         "f:2:Not found: Cannot open key: : HKEY_USERS\\x"},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(text, expected);
    }
}

TEST(FoundationException, AccessorsAndMutatorsRecompose) {
    NotFoundException e("f", 7, "m", -3);
    EXPECT_EQ(e.File() + ":" + std::to_string(e.Line()) + ":" + e.Message(), "f:7:m");
    EXPECT_EQ(e.Code(), -3);
    e.SetMessage("x");
    EXPECT_STREQ(e.what(), "f:7:Not found: x code:-3");
    e.ExtendMessage("");
    EXPECT_EQ(e.Message(), "x");
    e.ExtendMessage("y");
    EXPECT_EQ(e.Message(), "x: y");
    EXPECT_STREQ(e.what(), "f:7:Not found: x: y code:-3");

    SystemException empty("f", 3, 0);
    empty.ExtendMessage("y");
    EXPECT_STREQ(empty.what(), "f:3:System exception: y");
}

TEST(FoundationException, RethrowThrowsAPlainCopyWithTheSameText) {
    const NotFoundException original("f", 9, "gone", 0);
    try {
        original.Rethrow();
    } catch (const NotFoundException&) {
        ADD_FAILURE() << "Rethrow kept the derived type";
    } catch (const FrameworkException& e) {
        EXPECT_STREQ(e.Name(), "FrameworkException");
        EXPECT_STREQ(e.what(), "f:9:Not found: gone");
    }
    EXPECT_NE(std::string(original.ClassName()).find("NotFoundException"), std::string::npos);
}

}  // namespace
