#include <orlix/exception.h>
#include <orlix/string_conversion.h>
#include <orlix/win_registry.h>

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <string>
#include <vector>

namespace {

using Orlix::WinRegistry;

// A private key below HKEY_CURRENT_USER\Software, removed before and after each test.
class FoundationRegistry : public testing::Test {
protected:
    void SetUp() override { RegDeleteTreeW(HKEY_CURRENT_USER, Orlix::Utf8ToWide(subKey_).c_str()); }
    void TearDown() override { SetUp(); }
    bool KeyExists(const std::string& subKey) const {
        HKEY key = nullptr;
        return RegOpenKeyExW(HKEY_CURRENT_USER, Orlix::Utf8ToWide(subKey).c_str(), 0, KEY_READ,
                             &key) == ERROR_SUCCESS &&
               RegCloseKey(key) == ERROR_SUCCESS;
    }

    const std::string subKey_ =
        "Software\\QuarnelFoundationTest-" + std::to_string(GetCurrentProcessId());
    const std::string fullName_ = "HKEY_CURRENT_USER\\" + subKey_;
};

// The message of the exception of type E that `action` throws.
template <typename E, typename Action>
std::string ThrownMessage(Action&& action) {
    try {
        action();
    } catch (const E& e) {
        return e.Message();
    }
    return "(nothing thrown)";
}

std::vector<std::string> Sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(FoundationRegistry, WritesEveryTypeReadsItBackEnumeratesAndDeletesDepthFirst) {
    WinRegistry key(HKEY_CURRENT_USER, subKey_, false);
    EXPECT_FALSE(key.Exists());
    key.SetString("s", "text \xC3\xA9");  // e acute
    key.SetString("empty", "");
    key.SetStringExpand("e", "%SystemRoot%\\x");
    key.SetInt("i", 0x12345678u);
    key.SetInt64("q", 0x1122334455667788ull);
    key.SetBinary("b", {1, 2, 0, 255});
    EXPECT_TRUE(key.Exists());

    // A second object, read-only, opened through the full path.
    WinRegistry reader(fullName_);
    EXPECT_EQ(reader.KeyName(), fullName_);
    EXPECT_EQ(reader.GetString("s"), "text \xC3\xA9");
    EXPECT_EQ(reader.GetString("empty"), "");
    EXPECT_EQ(reader.GetString("e"), "%SystemRoot%\\x");
    wchar_t systemRoot[MAX_PATH] = {};
    ASSERT_GT(GetEnvironmentVariableW(L"SystemRoot", systemRoot, MAX_PATH), 0u);
    EXPECT_EQ(reader.GetStringExpand("e"), Orlix::WideToUtf8(systemRoot) + "\\x");
    EXPECT_EQ(reader.GetInt("i"), 0x12345678u);
    EXPECT_EQ(reader.GetInt64("q"), 0x1122334455667788ull);
    EXPECT_EQ(reader.GetBinary("b"), (std::vector<unsigned char>{1, 2, 0, 255}));
    const std::pair<const char*, DWORD> types[] = {
        {"s", REG_SZ}, {"e", REG_EXPAND_SZ}, {"i", REG_DWORD}, {"q", REG_QWORD}, {"b", REG_BINARY},
    };
    for (const auto& [name, type] : types) {
        EXPECT_EQ(reader.Type(name), type) << name;
    }
    EXPECT_TRUE(reader.Exists("q"));
    EXPECT_FALSE(reader.Exists("missing"));
    // A missing value or one of another type: the plain reads throw, the others give defaults.
    EXPECT_EQ(reader.GetInt("missing", 7u), 7u);
    EXPECT_EQ(reader.GetInt64("s", 9u), 9u);
    EXPECT_EQ(reader.GetString("i", "fallback"), "fallback");
    EXPECT_EQ(ThrownMessage<Orlix::NotFoundException>([&] { reader.GetString("i"); }),
              fullName_ + "\\i");
    EXPECT_THROW(reader.GetInt("s"), Orlix::NotFoundException);
    EXPECT_THROW(reader.GetBinary("q"), Orlix::NotFoundException);

    WinRegistry(HKEY_CURRENT_USER, subKey_ + "\\c1\\g1\\deep", false).SetInt("v", 1);
    WinRegistry(HKEY_CURRENT_USER, subKey_ + "\\c2", false).SetInt("v", 2);
    std::vector<std::string> subKeys;
    reader.SubKeys(subKeys);
    EXPECT_EQ(Sorted(subKeys), (std::vector<std::string>{"c1", "c2"}));
    std::vector<std::string> values{"kept"};  // appended to
    reader.Values(values);
    EXPECT_EQ(Sorted(values), (std::vector<std::string>{"b", "e", "empty", "i", "kept", "q", "s"}));

    key.DeleteValue("s");
    EXPECT_FALSE(key.Exists("s"));
    EXPECT_THROW(key.DeleteValue("s"), Orlix::NotFoundException);
    key.DeleteKey();
    EXPECT_FALSE(KeyExists(subKey_));
    EXPECT_THROW(WinRegistry(HKEY_CURRENT_USER, subKey_ + "\\gone").DeleteKey(),
                 Orlix::NotFoundException);
}

TEST_F(FoundationRegistry, StoredStringsEndAtTheirSizeOrFirstNul) {
    WinRegistry(HKEY_CURRENT_USER, subKey_, false).SetInt("made", 1);
    const std::wstring path = Orlix::Utf8ToWide(subKey_);
    const wchar_t unterminated[] = {L'a', L'b', L'c'};
    const wchar_t embedded[] = L"ab\0cd";
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, path.c_str(), L"raw", REG_SZ, unterminated,
                              sizeof(unterminated)),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, path.c_str(), L"nul", REG_SZ, embedded,
                              sizeof(embedded)),
              ERROR_SUCCESS);
    WinRegistry reader(HKEY_CURRENT_USER, subKey_);
    EXPECT_EQ(reader.GetString("raw"), "abc");
    EXPECT_EQ(reader.GetString("nul"), "ab");
}

TEST_F(FoundationRegistry, ReadOnlyObjectsRefuseWritesAndMissingKeysGiveDefaults) {
    WinRegistry missing(HKEY_CURRENT_USER, subKey_);
    EXPECT_EQ(missing.GetStringExpand("name", "d"), "d");
    EXPECT_EQ(ThrownMessage<Orlix::NotFoundException>([&] { missing.SetString("name", "v"); }),
              "Cannot open registry key: : " + fullName_);
    EXPECT_FALSE(KeyExists(subKey_));

    WinRegistry(HKEY_CURRENT_USER, subKey_, false).SetString("name", "v");
    WinRegistry existing(HKEY_CURRENT_USER, subKey_);
    EXPECT_TRUE(existing.IsReadOnly());
    EXPECT_EQ(ThrownMessage<Orlix::SystemException>([&] { existing.SetString("name", "w"); }),
              "Failed to set registry value: " + fullName_ + "\\name");
    EXPECT_EQ(existing.GetString("name"), "v");  // still usable after the failure
}

TEST_F(FoundationRegistry, PathConstructorReadsTheMachineKeyAndRejectsBadPaths) {
    const std::string path = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
    WinRegistry version(path);
    EXPECT_FALSE(version.GetString("ProductName").empty());
    EXPECT_EQ(version.KeyName(), path);
    EXPECT_THROW(WinRegistry("HKLM\\SOFTWARE"), Orlix::InvalidArgumentException);
}

TEST_F(FoundationRegistry, CurrentUserModeUsesTheConsoleUsersHive) {
    WinRegistry writer(HKEY_CURRENT_USER, subKey_, false, true);
    writer.SetString("who", "console");
    // The hive handle is not a predefined root, so the name cannot say which one it is.
    EXPECT_EQ(writer.KeyName().rfind("(UNKNOWN)\\", 0), 0u) << writer.KeyName();
    EXPECT_EQ(WinRegistry(HKEY_CURRENT_USER, subKey_).GetString("who"), "console");
}

TEST_F(FoundationRegistry, ChangeNotificationFiresOnceAndCanBeArmedAgain) {
    WinRegistry watched(HKEY_CURRENT_USER, subKey_, false);
    watched.SetInt("start", 0);
    for (int round = 0; round < 2; ++round) {
        std::promise<std::string> fired;
        std::atomic<int> calls{0};
        watched.SetChangeNotify(
            [&](WinRegistry& owner) {
                if (calls++ == 0) {
                    fired.set_value(owner.KeyName());
                }
            },
            false);
        EXPECT_EQ(ThrownMessage<Orlix::SystemException>(
                      [&] { watched.SetChangeNotify([](WinRegistry&) {}, false); }),
                  "can't SetChangeNotify twice");
        WinRegistry(HKEY_CURRENT_USER, subKey_, false).SetInt("changed", round);
        auto result = fired.get_future();
        ASSERT_EQ(result.wait_for(std::chrono::seconds(10)), std::future_status::ready);
        EXPECT_EQ(result.get(), fullName_);
        // The watch thread forgets its event right after the wait, before calling back.
        EXPECT_EQ(calls.load(), 1);
    }
}

TEST_F(FoundationRegistry, DestroyingAnObjectEndsItsPendingNotificationWithoutCallingBack) {
    std::atomic<int> calls{0};
    {
        WinRegistry watched(HKEY_CURRENT_USER, subKey_ + "\\child", false);
        watched.SetChangeNotify([&](WinRegistry&) { ++calls; }, true);
    }  // returns only once the watch thread has ended
    WinRegistry other(HKEY_CURRENT_USER, subKey_ + "\\child", false);
    other.SetChangeNotify([&](WinRegistry&) { ++calls; }, true);
    other.DeleteKey();  // closes the key first, so the deletion itself is not reported
    EXPECT_EQ(calls.load(), 0);
    EXPECT_FALSE(KeyExists(subKey_ + "\\child"));
}

}  // namespace
