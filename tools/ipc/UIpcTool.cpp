#include "UIpcTool.h"

#include <charconv>
#include <cstdint>

#include "UErrors.h"

namespace qm {

namespace {

std::uint32_t Milliseconds(const std::string& option, const std::string& text, std::uint32_t least) {
    std::uint32_t ms = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), ms);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty() || ms < least)
        throw EQuillmarkError(option + " needs milliseconds" + (least > 0 ? " (> 0)" : ""));
    return ms;
}

}  // namespace

TIpcToolOptions ParseIpcToolOptions(const std::vector<std::string>& args) {
    TIpcToolOptions o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size()) throw EQuillmarkError(a + " needs a value");
            return args[++i];
        };
        if (a == "-h" || a == "--help") {
            o.Help = true;
            return o;
        }
        if (a == "--version") {
            o.Version = true;
            return o;
        }
        if (a == "-v" || a == "--verbose") {
            o.Verbose = true;
        } else if (a == "--raise") {
            o.Raise = true;
        } else if (a == "--no-discovery") {
            o.Discover = false;
        } else if (a == "--server") {
            o.Server = value();
            o.Discover = false;
        } else if (a == "--data") {
            o.Data = value();
        } else if (a == "--connect-timeout") {
            o.Request.ConnectTimeoutMs = Milliseconds(a, value(), 0);
        } else if (a == "--silence-limit") {
            o.Request.SilenceLimit = std::chrono::milliseconds(Milliseconds(a, value(), 0));
        } else if (a == "--deadline") {
            o.Request.Deadline = std::chrono::milliseconds(Milliseconds(a, value(), 1));
        } else if (!a.empty() && a[0] != '-' && o.Command.empty()) {
            o.Command = a;
        } else {
            throw EQuillmarkError("unexpected argument \"" + a + "\" (see --help)");
        }
    }
    if (o.Command.empty()) throw EQuillmarkError("no COMMAND given (see --help)");
    return o;
}

}  // namespace qm
