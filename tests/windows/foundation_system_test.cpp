#include <orlix/com_initializer.h>
#include <orlix/environment.h>
#include <orlix/exception.h>
#include <orlix/uuid.h>

#include <gtest/gtest.h>

#include <objbase.h>
#include <windows.h>

#include <regex>
#include <string>
#include <thread>

namespace {

TEST(FoundationUuid, CreateGivesTheTextFormOfARandomVersion4Uuid) {
    const std::string text = Orlix::Uuid::Create().ToString("-", true);
    // Data3 stored most significant byte first puts the version digit at 14.
    const std::regex v4("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}");
    EXPECT_TRUE(std::regex_match(text, v4)) << text;
    EXPECT_NE(Orlix::Uuid::Create(), Orlix::Uuid::Create());
}

TEST(FoundationSystemError, GivesTheSystemTextOrNothing) {
    const std::string text = Orlix::FormatSystemError(2);
    ASSERT_GT(text.size(), 2u);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    EXPECT_EQ(Orlix::FormatSystemError(0x2000FFFFu), "");  // customer bit set: nobody's code
}

TEST(FoundationEnvironment, SetsTheProcessVariable) {
    Orlix::Environment::Set("QUARNEL_FOUNDATION_TEST", "wert \xC3\xBC");  // u umlaut
    wchar_t value[64] = {};
    ASSERT_GT(GetEnvironmentVariableW(L"QUARNEL_FOUNDATION_TEST", value, 64), 0u);
    EXPECT_EQ(std::wstring(value), L"wert \u00FC");
    EXPECT_EQ(Orlix::Environment::Get("QUARNEL_FOUNDATION_TEST"), "wert \xC3\xBC");
    EXPECT_EQ(Orlix::Environment::Get("QUARNEL_FOUNDATION_UNSET", "none"), "none");
    try {
        Orlix::Environment::Set("", "x");
        ADD_FAILURE() << "an empty name was accepted";
    } catch (const Orlix::SystemException& e) {
        EXPECT_EQ(e.Message(), "cannot set environment variable: ");
    }
}

TEST(FoundationComInitializer, EntersTheSingleThreadedApartment) {
    HRESULT second = S_OK;
    std::thread([&second] {
        const Orlix::ComInitializer com;
        second = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        if (SUCCEEDED(second)) {
            CoUninitialize();
        }
    }).join();
    EXPECT_EQ(second, RPC_E_CHANGED_MODE);
}

}  // namespace
