#include <orlix/com_initializer.h>
#include <orlix/environment.h>
#include <orlix/exception.h>
#include <orlix/shared_library.h>
#include <orlix/uuid.h>

#include <gtest/gtest.h>

#include <objbase.h>
#include <windows.h>

#include <filesystem>
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

TEST(FoundationSharedLibrary, LoadsByNameFromSystem32OtherwiseByFullPathAndFrees) {
    // Copies of the planted DLL (loaded, it leaves "<its path>.loaded") in the working directory
    // and beside this executable, where the default search order looks first.
    wchar_t exe[MAX_PATH] = {};
    ASSERT_GT(GetModuleFileNameW(nullptr, exe, MAX_PATH), 0u);
    const std::filesystem::path here = std::filesystem::path(exe).parent_path();
    const std::filesystem::path source = here.parent_path() / "fixtures" / "planted_dll.dll";
    ASSERT_TRUE(std::filesystem::exists(source)) << source.string();
    const std::filesystem::path work = std::filesystem::temp_directory_path() /
                                       ("orlix-load-" + Orlix::Uuid::Create().ToString("", true));
    std::filesystem::create_directories(work / "sub");
    const std::string name = "orlix_planted_test.dll";
    for (const auto& dir : {here, work, work / "sub"}) {
        std::filesystem::copy_file(source, dir / name,
                                   std::filesystem::copy_options::overwrite_existing);
    }
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(work);

    wchar_t system[MAX_PATH] = {};
    ASSERT_GT(GetSystemDirectoryW(system, MAX_PATH), 0u);
    struct Row {
        std::string path;
        DWORD error;  // 0: loads
    };
    const Row rows[] = {
        {name, 126},  // only System32 is searched for a bare name
        {"C:\\no\\such\\directory\\missing.dll", 126},
        {".\\" + name, ERROR_BAD_PATHNAME},    // relative to the working directory
        {"sub\\" + name, ERROR_BAD_PATHNAME},  // relative, with a directory
        {"sub/" + name, ERROR_BAD_PATHNAME},   // the same, other separator
        {work.string().substr(0, 2) + name, ERROR_BAD_PATHNAME},  // "C:name": a drive's directory
        {"version.dll", 0},                                       // a system DLL by name
        {(work / "sub" / name).string(), 0},  // the control: a full path loads that file
    };
    for (const Row& row : rows) {
        Orlix::SharedLibrary library;
        const bool loaded = library.Load(row.path);
        EXPECT_EQ(loaded, row.error == 0) << row.path;
        EXPECT_EQ(library.IsNull(), !loaded) << row.path;
        if (row.error != 0) {
            EXPECT_EQ(library.LastError(),
                      std::to_string(row.error) + ":" + Orlix::FormatSystemError(row.error))
                << row.path;
        } else if (row.path == "version.dll") {
            wchar_t file[MAX_PATH] = {};
            GetModuleFileNameW(library.Module(), file, MAX_PATH);
            EXPECT_EQ(_wcsnicmp(file, system, wcslen(system)), 0) << row.path;
            EXPECT_NE(GetProcAddress(library.Module(), "GetFileVersionInfoW"), nullptr);
            EXPECT_TRUE(library.Free());
            EXPECT_TRUE(library.IsNull());
            EXPECT_FALSE(library.Free());
            EXPECT_TRUE(library.Load(row.path, LOAD_LIBRARY_SEARCH_SYSTEM32));  // caller's flags
        }
    }
    std::filesystem::current_path(previous);
    EXPECT_FALSE(std::filesystem::exists(here / (name + ".loaded")));
    EXPECT_FALSE(std::filesystem::exists(work / (name + ".loaded")));
    EXPECT_TRUE(std::filesystem::exists(work / "sub" / (name + ".loaded")));
    std::error_code ignored;
    std::filesystem::remove(here / name, ignored);
    std::filesystem::remove(here / (name + ".loaded"), ignored);
    std::filesystem::remove_all(work, ignored);
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
