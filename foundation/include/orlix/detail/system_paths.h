#pragma once

// Decisions of the registry and process utilities that need no Windows, kept apart so they
// are tested natively.

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace Orlix {
namespace detail {

// The predefined registry roots by name, in the order of their handle values' low bits
// (HKEY_CLASSES_ROOT 0x80000000 ... HKEY_CURRENT_CONFIG 0x80000005).
extern const char* const kRegistryRootNames[6];

// Splits a full key path at its first "\" into the root's index in kRegistryRootNames and the
// sub key. Throws InvalidArgumentException "Not a valid registry key" (no "\") or "Not a valid
// root key" (unknown root name, compared exactly).
std::pair<std::size_t, std::string> SplitRegistryKey(const std::string& key);

// Maps a device path ("\Device\HarddiskVolume1\dir\a.exe") to drive-letter form. `drives` is
// the list GetLogicalDriveStrings gives ("C:\", "D:\", ...); `deviceOf` asks for a drive's
// device name (given "C:") and returns false when it cannot. The floppy letters are skipped;
// the first drive whose device name is a case-insensitive prefix of the path wins. Any failed
// lookup, or no match, gives "".
std::wstring MapDevicePathToDrive(
    const std::wstring& devicePath, const std::vector<std::wstring>& drives,
    const std::function<bool(const std::wstring& drive, std::wstring& device)>& deviceOf);

// Splits a double-NUL-terminated list of strings.
std::vector<std::wstring> SplitMultiString(const wchar_t* list, std::size_t length);

// NTSTATUS values of a query whose buffer was too small.
constexpr std::uint32_t kStatusInfoLengthMismatch = 0xC0000004u;
constexpr std::uint32_t kStatusBufferTooSmall = 0xC0000023u;

// Runs `query(buffer, size, &needed)` (returning an NTSTATUS) until it succeeds, growing
// `buffer` to what the query asks for each time it reports a too-small buffer. Any other
// failure, or a query that keeps asking after a bounded number of attempts, gives false, so a
// misbehaving system cannot keep the caller looping.
template <typename Query>
bool QueryIntoGrowingBuffer(std::vector<unsigned char>& buffer, Query&& query) {
    constexpr int kAttempts = 8;
    constexpr std::size_t kLargest = std::size_t{1} << 28;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        std::uint32_t needed = 0;
        const std::uint32_t status =
            query(buffer.data(), static_cast<std::uint32_t>(buffer.size()), &needed);
        if (status == 0) {
            return true;
        }
        if ((status != kStatusInfoLengthMismatch && status != kStatusBufferTooSmall) ||
            attempt + 1 == kAttempts) {
            return false;
        }
        // Processes start between two calls: a size that did not grow is doubled instead.
        std::size_t size = needed > buffer.size() ? std::size_t{needed} : buffer.size() * 2;
        if (size == 0 || size > kLargest) {
            return false;
        }
        buffer.assign(size, 0);
    }
    return false;
}

}  // namespace detail
}  // namespace Orlix
