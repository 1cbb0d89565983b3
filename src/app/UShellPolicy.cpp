#include "UShellPolicy.h"

#include "UMarkupLabelBehaviour.h"

namespace qm {

std::string StripEnclosingQuotes(std::string_view text) {
    if (text.size() > 2 && text.front() == '"' && text.back() == '"') text = text.substr(1, text.size() - 2);
    return std::string(text);
}

std::string QuoteForShell(std::string_view text) {
    if (text.empty() || (text.size() >= 2 && text.front() == '"' && text.back() == '"')) return std::string(text);
    return "\"" + std::string(text) + "\"";
}

std::string ShellFailureText(std::string_view target, bool inFolder, std::string_view reason) {
    const std::string quoted = "\"" + std::string(target) + "\"";
    std::string text;
    if (inFolder) {
        text = "Die Datei " + quoted + " kann nicht im Ordner gezeigt werden";
    } else if (IsUrlTarget(target)) {
        text = "Der Link " + quoted + " kann nicht ge\xC3\xB6" "ffnet werden";
    } else {
        text = "Die Datei " + quoted + " kann nicht ge\xC3\xB6" "ffnet werden";
    }
    return text + ": " + std::string(reason);
}

}  // namespace qm
