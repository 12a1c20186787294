#include <orlix/detail/system_paths.h>
#include <orlix/exception.h>
#include <orlix/uuid.h>

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

using Orlix::detail::MapDevicePathToDrive;
using Orlix::detail::QueryIntoGrowingBuffer;
using Orlix::detail::SplitRegistryKey;

TEST(FoundationRegistryPath, SplitsAtTheFirstBackslash) {
    struct Case {
        const char* key;
        std::size_t root;  // index in the root-name table
        const char* subKey;
    };
    const Case cases[] = {
        {"HKEY_LOCAL_MACHINE\\SOFTWARE", 2, "SOFTWARE"},
        {"HKEY_CLASSES_ROOT\\a\\b", 0, "a\\b"},
        {"HKEY_CURRENT_USER\\", 1, ""},
        {"HKEY_CURRENT_CONFIG\\x", 5, "x"},
    };
    for (const Case& c : cases) {
        const auto [root, subKey] = SplitRegistryKey(c.key);
        EXPECT_EQ(root, c.root) << c.key;
        EXPECT_STREQ(Orlix::detail::kRegistryRootNames[root],
                     std::string(c.key).substr(0, std::string(c.key).find('\\')).c_str());
        EXPECT_EQ(subKey, c.subKey);
    }
}

TEST(FoundationRegistryPath, RejectsMissingSeparatorAndUnknownRoots) {
    struct Case {
        const char* key;
        const char* message;
    };
    const Case cases[] = {
        {"HKEY_LOCAL_MACHINE", "Not a valid registry key: HKEY_LOCAL_MACHINE"},
        {"hkey_local_machine\\SOFTWARE", "Not a valid root key: hkey_local_machine"},
        {"HKLM\\SOFTWARE", "Not a valid root key: HKLM"},
        {"\\SOFTWARE", "Not a valid root key"},
    };
    for (const Case& c : cases) {
        try {
            SplitRegistryKey(c.key);
            ADD_FAILURE() << c.key << " was accepted";
        } catch (const Orlix::InvalidArgumentException& e) {
            EXPECT_EQ(e.Message(), c.message);
        }
    }
}

TEST(FoundationDevicePath, MapsTheFirstMatchingDrive) {
    const std::map<std::wstring, std::wstring> devices = {
        {L"A:", L"\\Device\\Floppy0"},
        {L"C:", L"\\Device\\HarddiskVolume1"},
        {L"D:", L"\\Device\\HarddiskVolume3"},
    };
    const auto lookup = [&](const std::wstring& drive, std::wstring& device) {
        const auto it = devices.find(drive);
        if (it == devices.end()) {
            return false;
        }
        device = it->second;
        return true;
    };
    struct Case {
        const wchar_t* path;
        std::vector<std::wstring> drives;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {L"\\Device\\HarddiskVolume3\\apps\\x.exe", {L"C:\\", L"D:\\"}, L"D:\\apps\\x.exe"},
        {L"\\DEVICE\\harddiskvolume1\\w.exe", {L"C:\\", L"D:\\"}, L"C:\\w.exe"},
        {L"\\Device\\HarddiskVolume9\\w.exe", {L"C:\\", L"D:\\"}, L""},
        // the floppy drive is never asked, so its device never matches
        {L"\\Device\\Floppy0\\f.exe", {L"A:\\", L"C:\\"}, L""},
        // a drive whose device cannot be read ends the search
        {L"\\Device\\HarddiskVolume1\\w.exe", {L"E:\\", L"C:\\"}, L""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MapDevicePathToDrive(c.path, c.drives, lookup), c.expected);
    }
}

TEST(FoundationDevicePath, SplitsDriveStrings) {
    const wchar_t list[] = L"C:\\\0D:\\\0\0";
    const auto items = Orlix::detail::SplitMultiString(list, 8);
    EXPECT_EQ(items, (std::vector<std::wstring>{L"C:\\", L"D:\\"}));
}

constexpr std::uint32_t kTooSmall = Orlix::detail::kStatusInfoLengthMismatch;

TEST(FoundationProcessQuery, GrowsTheBufferOnlyForTooSmallStatuses) {
    struct Case {
        const char* name;
        std::vector<std::uint32_t> statuses;  // returned call by call; the last one repeats
        std::uint32_t needed;                 // what each failing call asks for
        bool ok;
        std::size_t calls;
        std::size_t finalSize;
    };
    const Case cases[] = {
        {"fits at once", {0}, 0, true, 1, 16},
        {"grows to the asked size", {kTooSmall, 0}, 100, true, 2, 100},
        {"doubles when the asked size is not larger", {kTooSmall, kTooSmall, 0}, 8, true, 3, 64},
        {"other failure ends at once", {0xC0000022u}, 100, false, 1, 16},
        {"too small without end gives up", {kTooSmall}, 100, false, 8, 6400},
        {"buffer-too-small status also grows", {0xC0000023u, 0}, 40, true, 2, 40},
    };
    for (const Case& c : cases) {
        std::vector<unsigned char> buffer(16);
        std::size_t calls = 0;
        const bool ok =
            QueryIntoGrowingBuffer(buffer, [&](void*, std::uint32_t size, std::uint32_t* needed) {
                EXPECT_EQ(size, buffer.size());
                const std::uint32_t status = c.statuses[std::min(calls, c.statuses.size() - 1)];
                ++calls;
                // the same ask every time: once reached, only doubling grows the buffer
                *needed = status == 0 ? 0 : c.needed;
                return status;
            });
        EXPECT_EQ(ok, c.ok) << c.name;
        EXPECT_EQ(calls, c.calls) << c.name;
        EXPECT_EQ(buffer.size(), c.finalSize) << c.name;
    }
}

TEST(FoundationUuid, TextForm) {
    const Orlix::Uuid uuid({0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA, 0xBB,
                            0xCC, 0xDD, 0xEE, 0xFF});
    EXPECT_EQ(uuid.ToString("-", true), "00112233-4455-6677-8899-AABBCCDDEEFF");
    EXPECT_EQ(uuid.ToString("", false), "00112233445566778899aabbccddeeff");
    EXPECT_EQ(uuid.ToString("::", false), "00112233::4455::6677::8899::aabbccddeeff");
    EXPECT_EQ(Orlix::Uuid().ToString("-", true), "00000000-0000-0000-0000-000000000000");
}

}  // namespace
