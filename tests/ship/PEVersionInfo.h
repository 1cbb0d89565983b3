// Reading a Windows program (PE32+ .exe) on Linux, for the tests of what the
// Windows tree ships: which resource types it carries, its VERSIONINFO and
// the loader's flags in its header.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <set>
#include <string>

namespace qm::test {

// The numeric resource types (RT_ICON = 3, RT_VERSION = 16, RT_MANIFEST =
// 24, ...) in the resource section of the PE image `image` (the file's
// bytes); raises std::runtime_error when it is no PE32+ image.
std::set<std::uint32_t> PEResourceTypes(const std::string& image);

struct TVersionInfo {
    // VS_FIXEDFILEINFO: major, minor, patch, build.
    std::array<std::uint16_t, 4> FileVersion{};
    std::array<std::uint16_t, 4> ProductVersion{};
    // The values of the first StringFileInfo table, UTF-8 ("ProductName" ...).
    std::map<std::string, std::string> Strings;
    // That table's key: language and code page in hex ("040704B0").
    std::string Table;
};

// The first VERSIONINFO resource of `image`; raises std::runtime_error when
// there is none or it is malformed.
TVersionInfo PEVersionInfo(const std::string& image);

// The DllCharacteristics field of the optional header (the loader's
// IMAGE_DLLCHARACTERISTICS_* flags); raises std::runtime_error when `image`
// is no PE32+ image.
std::uint16_t PEDllCharacteristics(const std::string& image);

}  // namespace qm::test
