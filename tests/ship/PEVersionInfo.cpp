#include "PEVersionInfo.h"

#include <optional>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace qm::test {

namespace {

constexpr std::uint32_t kRtIcon = 3, kRtGroupIcon = 14, kRtVersion = 16;

[[noreturn]] void Fail(const std::string& what) { throw std::runtime_error("PE image: " + what); }

// Little-endian fields at checked offsets.
class TBytes {
public:
    explicit TBytes(std::string_view bytes) : bytes_(bytes) {}
    std::uint32_t U16(std::size_t at) const { return Field(at, 2); }
    std::uint32_t U32(std::size_t at) const { return Field(at, 4); }
    std::string_view Span(std::size_t at, std::size_t size) const {
        if (at > bytes_.size() || size > bytes_.size() - at) Fail("field beyond the end");
        return bytes_.substr(at, size);
    }
    std::size_t Size() const { return bytes_.size(); }

private:
    std::uint32_t Field(std::size_t at, std::size_t size) const {
        const std::string_view s = Span(at, size);
        std::uint32_t v = 0;
        for (std::size_t i = size; i-- > 0;) v = (v << 8) | static_cast<unsigned char>(s[i]);
        return v;
    }
    std::string_view bytes_;
};

struct TSection {
    std::uint32_t VirtualAddress, VirtualSize, RawOffset, RawSize;
};

// The resource section's bytes and its address in memory.
struct TResources {
    std::string_view Bytes;
    std::uint32_t Rva = 0;
};

// Offset of the COFF file header, after checking the MZ and PE signatures
// and that the optional header behind it is PE32+ (magic 0x20B).
std::size_t CoffHeader(const TBytes& pe) {
    if (pe.Span(0, 2) != "MZ") Fail("no MZ header");
    const std::size_t header = pe.U32(0x3C);
    if (pe.Span(header, 4) != std::string_view("PE\0\0", 4)) Fail("no PE signature");
    if (pe.U16(header + 4 + 20) != 0x20B) Fail("not PE32+");
    return header + 4;
}

TResources FindResources(const std::string& image) {
    const TBytes pe(image);
    const std::size_t coff = CoffHeader(pe);
    const std::uint32_t sectionCount = pe.U16(coff + 2);
    const std::size_t optional = coff + 20;
    // Data directory 2 (resources) of the PE32+ optional header.
    const std::uint32_t rva = pe.U32(optional + 112 + 2 * 8);
    const std::uint32_t size = pe.U32(optional + 112 + 2 * 8 + 4);
    if (rva == 0 || size == 0) return {};
    const std::size_t sections = optional + pe.U16(coff + 16);
    for (std::uint32_t i = 0; i < sectionCount; ++i) {
        const std::size_t s = sections + i * 40;
        const TSection section{pe.U32(s + 12), pe.U32(s + 8), pe.U32(s + 20), pe.U32(s + 16)};
        if (rva >= section.VirtualAddress && rva - section.VirtualAddress < section.RawSize) {
            const std::uint32_t inSection = rva - section.VirtualAddress;
            return {pe.Span(section.RawOffset + inSection, std::min(size, section.RawSize - inSection)), rva};
        }
    }
    Fail("resource directory outside every section");
}

struct TEntry {
    std::uint32_t Id;  // names (high bit set) are not needed here
    std::uint32_t Offset;
    bool Directory;
};

std::vector<TEntry> DirectoryEntries(const TBytes& rsrc, std::size_t at) {
    const std::uint32_t count = rsrc.U16(at + 12) + rsrc.U16(at + 14);
    std::vector<TEntry> entries;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t e = at + 16 + i * 8;
        const std::uint32_t target = rsrc.U32(e + 4);
        entries.push_back({rsrc.U32(e), target & 0x7FFFFFFFu, (target & 0x80000000u) != 0});
    }
    return entries;
}

// The bytes of the resource of `type` and `id` (the first one of the type
// for no id), first language; empty when there is none.
std::string_view ResourceData(const TResources& resources, std::uint32_t type, std::optional<std::uint32_t> id) {
    const TBytes rsrc(resources.Bytes);
    if (resources.Bytes.empty()) return {};
    std::optional<std::size_t> at;
    for (const TEntry& e : DirectoryEntries(rsrc, 0)) {
        if (e.Id == type && e.Directory) at = e.Offset;
    }
    if (!at) return {};
    // Name, then language.
    for (int level = 0; level < 2; ++level) {
        std::optional<std::size_t> next;
        for (const TEntry& e : DirectoryEntries(rsrc, *at)) {
            if (e.Directory == (level == 0) && (level == 1 || !id || e.Id == *id)) {
                next = e.Offset;
                break;
            }
        }
        if (!next) return {};
        at = next;
    }
    // The data entry names the bytes by their address in memory.
    const std::uint32_t dataRva = rsrc.U32(*at);
    const std::uint32_t dataSize = rsrc.U32(*at + 4);
    if (dataRva < resources.Rva) Fail("resource data outside the resource section");
    return rsrc.Span(dataRva - resources.Rva, dataSize);
}

std::string Utf8(std::u16string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size()) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// One node of a VERSIONINFO tree: wLength, wValueLength, wType, a
// NUL-terminated UTF-16 key, the value and the children, each 32-bit aligned.
struct TNode {
    std::string Key;
    std::string_view Value;  // raw bytes; text values are UTF-16
    bool Text = false;
    std::vector<TNode> Children;
};

std::size_t Align4(std::size_t n) { return (n + 3) & ~std::size_t{3}; }

TNode ReadNode(const TBytes& data, std::size_t at, std::size_t& end) {
    const std::size_t length = data.U16(at);
    const std::size_t valueLength = data.U16(at + 2);
    TNode node;
    node.Text = data.U16(at + 4) == 1;
    if (length < 6) Fail("version node too short");
    end = at + length;
    if (end > data.Size()) Fail("version node beyond the end");
    std::u16string key;
    std::size_t p = at + 6;
    for (std::uint32_t c; (c = data.U16(p)) != 0; p += 2) key += static_cast<char16_t>(c);
    node.Key = Utf8(key);
    p = Align4(p + 2);
    // Text values count UTF-16 units, binary ones bytes.
    const std::size_t valueBytes = node.Text ? valueLength * 2 : valueLength;
    node.Value = data.Span(p, std::min(valueBytes, end > p ? end - p : 0));
    p = Align4(p + valueBytes);
    while (p + 6 <= end) {
        std::size_t childEnd = 0;
        node.Children.push_back(ReadNode(data, p, childEnd));
        p = Align4(childEnd);
    }
    return node;
}

std::string TextValue(std::string_view bytes) {
    std::u16string text;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const char16_t c = static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                                 (static_cast<unsigned char>(bytes[i + 1]) << 8));
        if (c == 0) break;
        text += c;
    }
    return Utf8(text);
}

}  // namespace

std::set<std::uint32_t> PEResourceTypes(const std::string& image) {
    const TResources resources = FindResources(image);
    std::set<std::uint32_t> types;
    if (resources.Bytes.empty()) return types;
    for (const TEntry& e : DirectoryEntries(TBytes(resources.Bytes), 0)) {
        if ((e.Id & 0x80000000u) == 0) types.insert(e.Id);
    }
    return types;
}

TVersionInfo PEVersionInfo(const std::string& image) {
    const std::string_view bytes = ResourceData(FindResources(image), kRtVersion, std::nullopt);
    if (bytes.empty()) Fail("no VERSIONINFO");
    const TBytes data(bytes);

    std::size_t end = 0;
    const TNode root = ReadNode(data, 0, end);
    if (root.Key != "VS_VERSION_INFO" || root.Value.size() != 52) Fail("no VS_VERSION_INFO");
    const TBytes fixed(root.Value);
    if (fixed.U32(0) != 0xFEEF04BDu) Fail("bad VS_FIXEDFILEINFO signature");
    TVersionInfo info;
    const auto version = [&](std::size_t ms) {
        return std::array<std::uint16_t, 4>{
            static_cast<std::uint16_t>(fixed.U32(ms) >> 16), static_cast<std::uint16_t>(fixed.U32(ms) & 0xFFFF),
            static_cast<std::uint16_t>(fixed.U32(ms + 4) >> 16), static_cast<std::uint16_t>(fixed.U32(ms + 4) & 0xFFFF)};
    };
    info.FileVersion = version(8);
    info.ProductVersion = version(16);
    for (const TNode& child : root.Children) {
        if (child.Key != "StringFileInfo" || child.Children.empty()) continue;
        const TNode& table = child.Children.front();
        info.Table = table.Key;
        for (const TNode& s : table.Children) info.Strings[s.Key] = TextValue(s.Value);
        return info;
    }
    Fail("no StringFileInfo");
}

std::vector<TIconFrame> PEIconFrames(const std::string& image) {
    const TResources resources = FindResources(image);
    // GRPICONDIR (reserved, type, count), then 14-byte GRPICONDIRENTRYs:
    // width, height, colours, reserved, planes, bits, bytes, RT_ICON id.
    const TBytes group(ResourceData(resources, kRtGroupIcon, std::nullopt));
    if (group.Size() == 0) Fail("no icon group");
    std::vector<TIconFrame> frames;
    for (std::uint32_t i = 0, count = group.U16(4); i < count; ++i) {
        const std::size_t entry = 6 + i * 14;
        const std::uint32_t width = group.U16(entry) & 0xFF;
        const std::string_view icon = ResourceData(resources, kRtIcon, group.U16(entry + 12));
        if (icon.empty()) Fail("icon group names a missing image");
        frames.push_back({width == 0 ? 256 : static_cast<int>(width), icon.starts_with("\x89PNG")});
    }
    return frames;
}

std::uint16_t PEDllCharacteristics(const std::string& image) {
    const TBytes pe(image);
    // Offset 70 of the PE32+ optional header.
    return static_cast<std::uint16_t>(pe.U16(CoffHeader(pe) + 20 + 70));
}

}  // namespace qm::test
