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

TEST(FoundationRegistryPath, SplitsAtTheFirstBackslashOrNamesTheFault) {
    struct Case {
        const char* key;
        int root;  // index in the root-name table, -1 when rejected
        const char* subKeyOrMessage;
    } const cases[] = {
        {"HKEY_LOCAL_MACHINE\\SOFTWARE", 2, "SOFTWARE"},
        {"HKEY_CLASSES_ROOT\\a\\b", 0, "a\\b"},
        {"HKEY_CURRENT_USER\\", 1, ""},
        {"HKEY_CURRENT_CONFIG\\x", 5, "x"},
        {"HKEY_LOCAL_MACHINE", -1, "Not a valid registry key: HKEY_LOCAL_MACHINE"},
        {"hkey_local_machine\\SOFTWARE", -1, "Not a valid root key: hkey_local_machine"},
        {"HKLM\\SOFTWARE", -1, "Not a valid root key: HKLM"},
        {"\\SOFTWARE", -1, "Not a valid root key"},
    };
    for (const Case& c : cases) {
        try {
            const auto [root, subKey] = SplitRegistryKey(c.key);
            EXPECT_EQ(static_cast<int>(root), c.root) << c.key;
            EXPECT_EQ(subKey, c.subKeyOrMessage) << c.key;
        } catch (const Orlix::InvalidArgumentException& e) {
            EXPECT_EQ(c.root, -1) << c.key;
            EXPECT_EQ(e.Message(), c.subKeyOrMessage);
        }
    }
}

TEST(FoundationDevicePath, MapsTheFirstMatchingDrive) {
    const std::map<std::wstring, std::wstring> devices = {
        {L"A:", L"\\Device\\Floppy0"},
        {L"C:", L"\\Device\\HarddiskVolume1"},
        {L"D:", L"\\Device\\HarddiskVolume3"},
        {L"F:", L""},
    };
    const auto lookup = [&](const std::wstring& drive, std::wstring& device) {
        const auto it = devices.find(drive);
        device = it == devices.end() ? L"" : it->second;
        return it != devices.end();
    };
    const std::vector<std::wstring> cd = {L"C:\\", L"D:\\"};
    struct Case {
        const wchar_t* path;
        std::vector<std::wstring> drives;
        const wchar_t* expected;
    } const cases[] = {
        {L"\\Device\\HarddiskVolume3\\apps\\x.exe", cd, L"D:\\apps\\x.exe"},
        {L"\\DEVICE\\harddiskvolume1\\w.exe", cd, L"C:\\w.exe"},
        {L"\\Device\\HarddiskVolume9\\w.exe", cd, L""},
        {L"\\Device\\Floppy0\\f.exe", {L"A:\\", L"C:\\"}, L""},  // floppies are never asked
        // a drive whose device cannot be read ends the search
        {L"\\Device\\HarddiskVolume1\\w.exe", {L"E:\\", L"C:\\"}, L""},
        // an empty device name is a prefix of everything, so it matches nothing
        {L"\\Device\\HarddiskVolume1\\w.exe", {L"F:\\", L"C:\\"}, L"C:\\w.exe"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MapDevicePathToDrive(c.path, c.drives, lookup), c.expected) << c.path;
    }
    EXPECT_EQ(Orlix::detail::SplitMultiString(L"C:\\\0D:\\\0\0", 8), cd);
}

TEST(FoundationProcessQuery, GrowsTheBufferOnlyForTooSmallStatuses) {
    constexpr std::uint32_t kTooSmall = Orlix::detail::kStatusInfoLengthMismatch;
    struct Case {
        const char* name;
        std::vector<std::uint32_t> statuses;  // returned call by call; the last one repeats
        std::uint32_t needed;                 // what each failing call asks for
        bool ok;
        std::size_t calls, finalSize;
    } const cases[] = {
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
                const std::uint32_t status = c.statuses[std::min(calls++, c.statuses.size() - 1)];
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
    EXPECT_EQ(uuid.ToString("::", false), "00112233::4455::6677::8899::aabbccddeeff");
}

}  // namespace
