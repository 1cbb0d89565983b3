// Arbitrary bytes through the string utilities: nothing may read out of
// bounds, and the results must keep their stated properties.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "UFileUtil.h"
#include "UStringUtil.h"
#include "UTextEncoding.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::string_view all(reinterpret_cast<const char*>(data), size);
    const std::size_t cut = data[0] % (size - 1) + 1;
    const std::string_view pattern = all.substr(1, cut > 8 ? 8 : cut);
    const std::string_view text = all.substr(1 + pattern.size() > size ? size : 1 + pattern.size());

    const auto pieces = qm::SplitString(pattern, text, data[1] % 6 - 1, data[0] % 5);
    std::size_t total = 0;
    for (const auto& p : pieces) total += p.size();
    if (total > text.size()) std::abort();

    std::string replaced(text);
    qm::ReplaceAllIgnoreCase(replaced, pattern, "#");
    std::string again(replaced);
    qm::ReplaceAllIgnoreCase(again, pattern, pattern);
    if (!pattern.empty() && again.size() < replaced.size()) std::abort();

    const std::string safe = qm::MakeSafeFileName(text);
    if (safe.size() > qm::kMaxSafeBaseNameBytes) std::abort();
    for (char c : safe) {
        const auto u = static_cast<unsigned char>(c);
        if ((u >= 1 && u < 32) || std::string_view("\\?|><:/*\"").find(c) != std::string_view::npos) std::abort();
    }

    // A safe name is never a device name, on any platform.
    if (qm::IsReservedDeviceName(safe)) std::abort();

    // A path a peer names: what is accepted is local and absolute.
    for (const bool windows : {true, false}) {
        if (!qm::IsLocalAbsolutePath(text, windows)) continue;
        if (text.find('\0') != std::string_view::npos) std::abort();
        if (windows && (text.size() < 3 || text[1] != ':' || text[2] != '\\' ||
                        text.find(':', 2) != std::string_view::npos)) {
            std::abort();
        }
        if (!windows && text.front() != '/') std::abort();
    }

    // A base name fitted to a path limit is a prefix that fits.
    const std::size_t limit = data[1];
    const std::string fitted = qm::FitBaseNameToPath(text, pattern, 4, limit);
    if (text.substr(0, fitted.size()) != fitted) std::abort();
    if (!fitted.empty() && qm::Utf8ToUtf16(pattern).size() + qm::Utf8ToUtf16(fitted).size() + 4 > limit) std::abort();

    const std::u16string units = qm::Utf8ToUtf16(text);
    const std::string utf8 = qm::EncodeUtf8(units);
    if (qm::EncodeUtf8(qm::Utf8ToUtf16(utf8)) != utf8) std::abort();
    qm::Utf8ToCp1252(text);
    return 0;
}
