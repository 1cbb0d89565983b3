// Reading a Windows program (PE32+ .exe) on Linux, for the tests of what the
// Windows tree ships: which resource types it carries, its VERSIONINFO, its
// icon's frames and the loader's flags in its header.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <vector>

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

// One image of an icon group: its edge in pixels (the group's byte, 0
// meaning 256) and whether its RT_ICON resource is a PNG (else a DIB).
struct TIconFrame {
    int Size = 0;
    bool Png = false;
    friend bool operator==(const TIconFrame&, const TIconFrame&) = default;
    friend std::ostream& operator<<(std::ostream& out, const TIconFrame& frame) {
        return out << frame.Size << (frame.Png ? " png" : " dib");
    }
};

// The frames of the first icon group (RT_GROUP_ICON) of `image`, in the
// group's order; raises std::runtime_error when there is none or an image it
// names is missing.
std::vector<TIconFrame> PEIconFrames(const std::string& image);

// The DllCharacteristics field of the optional header (the loader's
// IMAGE_DLLCHARACTERISTICS_* flags); raises std::runtime_error when `image`
// is no PE32+ image.
std::uint16_t PEDllCharacteristics(const std::string& image);

}  // namespace qm::test
