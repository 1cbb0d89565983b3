#include "USettingsStore.h"

namespace qm {

TvCardVersion VCardVersionOfText(std::string_view text) noexcept {
    // A value typed by hand into an editor or the registry may carry blanks.
    constexpr std::string_view kBlanks = " \t";
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return TvCardVersion::vv40;
    text = text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
    return text == "3.0" ? TvCardVersion::vv30 : TvCardVersion::vv40;
}

std::string VCardVersionText(TvCardVersion version) { return version == TvCardVersion::vv30 ? "3.0" : "4.0"; }

TVCardVersionChoice VCardVersionChoice(const TStoredSetting& setting) noexcept {
    if (setting.Policy) return {VCardVersionOfText(*setting.Policy), true};
    if (setting.User) return {VCardVersionOfText(*setting.User), false};
    return {};
}

}  // namespace qm
