// quillmark-host's command line, split at zero bytes into arguments. An
// accepted command line names a server that can name a pipe and holds no
// control character (a line break would split the exchange file's line, a
// backspace the SERVERPROCESS reply), and keeps every number in its range.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "UErrors.h"
#include "UHost.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> args;
    while (args.size() < 64) {
        const std::size_t end = text.find('\0');
        args.emplace_back(text.substr(0, end));
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    qm::THostOptions o;
    try {
        o = qm::ParseHostOptions(args);
    } catch (const qm::EQuillmarkError&) {
        return 0;
    }
    for (const char c : o.Name) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) std::abort();
    }
    if (!o.Name.empty() && !qm::IsValidServerName(o.Name)) std::abort();
    if (o.Slow.count() < 0 || (o.ClaimPid && *o.ClaimPid < 0)) std::abort();
    return 0;
}
