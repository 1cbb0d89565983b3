// The user's settings of the dialog, kept where each desktop keeps them:
// Qt's settings file on Linux (UQtSettingsStore.h), the registry on Windows
// (URegistrySettingsStore.h). The controller sees only ISettingsStore; the
// rule that turns what a store holds into the vCard version is here, free of
// any toolkit.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "UVCARDParser.h"

namespace qm {

// The setting's name: the key in Qt's settings file, the value's name in the
// registry.
inline constexpr std::string_view kVCardVersionSetting = "vCardVersion";

// What a store holds for one setting.
struct TStoredSetting {
    // The user's own value (Linux: also a preset of the system's settings
    // files); nullopt when there is none.
    std::optional<std::string> User;
    // An administrator's fixed value (Windows: a policy value); nullopt when
    // there is none.
    std::optional<std::string> Policy;
    friend bool operator==(const TStoredSetting&, const TStoredSetting&) = default;
};

class ISettingsStore {
public:
    virtual ~ISettingsStore() = default;
    // The values stored for `key` (a non-empty ASCII name). A value that
    // exists but cannot be read as text reads as an empty string. Never
    // raises: a store that cannot be reached holds nothing.
    virtual TStoredSetting Read(std::string_view key) const = 0;
    // Stores `value` (UTF-8) as the user's value of `key`. Raises
    // EQuillmarkError with a German message when it cannot be stored.
    virtual void Write(std::string_view key, const std::string& value) = 0;
};

// The vCard version of the dialog's cards and whether the user may change it.
struct TVCardVersionChoice {
    TvCardVersion Version = TvCardVersion::vv40;  // vv40 or vv30
    bool Locked = false;                           // fixed by a policy
    friend bool operator==(const TVCardVersionChoice&, const TVCardVersionChoice&) = default;
};

// The version a stored text names: "3.0" is vv30, "4.0" and any other text
// (blanks around it ignored) vv40.
TvCardVersion VCardVersionOfText(std::string_view text) noexcept;
// The text stored for `version`: "3.0" for vv30, "4.0" for every other.
std::string VCardVersionText(TvCardVersion version);

// The choice from the stored `setting`: a policy value, when there is one,
// wins and locks the choice; else the user's value; else 4.0. Unknown texts
// count as 4.0.
TVCardVersionChoice VCardVersionChoice(const TStoredSetting& setting) noexcept;

// A store that holds nothing and forgets what it is given: cards in 4.0,
// no choice remembered.
class TNoSettingsStore final : public ISettingsStore {
public:
    TStoredSetting Read(std::string_view) const override { return {}; }
    void Write(std::string_view, const std::string&) override {}
};

}  // namespace qm
