// Arbitrary bytes as a received payload: reads may find values or not, but
// never read out of bounds; then the same bytes as names and values written
// into a payload must read back unchanged.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "UErrors.h"
#include "UStreamStorage.h"
#include "UTextEncoding.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    qm::TStreamStorage received;
    received.Append(bytes);
    const std::string own = bytes.size() > 12 ? qm::Utf16LEBytesToUtf8(bytes.substr(4, 8)) : std::string();
    for (const char* name : {"DATA", "COMMAND", "SYNC", "DATA", "A", ""}) {
        const std::string value = received.ReadString(name);
        if (value.size() > 3 * bytes.size()) std::abort();
        if (received.ScanMark() > received.Size()) std::abort();
    }
    received.ReadString(own);
    // A second read of the same name gives the same value (index or scan).
    if (received.ReadString("DATA") != received.ReadString("DATA")) std::abort();

    // Round trip: split the input into name/value pairs at 0 bytes.
    qm::TStreamStorage written;
    std::size_t start = 0;
    std::string pending;
    bool haveName = false;
    std::vector<std::pair<std::string, std::string>> pairs;
    for (std::size_t i = 0; i <= bytes.size(); ++i) {
        if (i < bytes.size() && bytes[i] != '\0') continue;
        // Text as it would be inside the program: valid UTF-8.
        std::string piece = qm::EncodeUtf8(qm::Utf8ToUtf16(bytes.substr(start, i - start)));
        start = i + 1;
        if (!haveName) {
            pending = std::move(piece);
            haveName = true;
            continue;
        }
        haveName = false;
        try {
            written.WriteString(pending, piece);
            if (!pending.empty() && !piece.empty()) pairs.emplace_back(pending, piece);
        } catch (const qm::EQuillmarkError&) {
            bool duplicate = false;
            for (const auto& p : pairs) duplicate |= p.first == pending;
            if (!duplicate) std::abort();
        }
    }
    qm::TStreamStorage reread;
    reread.Append(written.Bytes());
    for (auto it = pairs.rbegin(); it != pairs.rend(); ++it) {
        if (reread.ReadString(it->first) != it->second) std::abort();
        if (written.ReadString(it->first) != it->second) std::abort();
    }
    return 0;
}
