// The user's settings of the dialog, kept where each desktop keeps them:
// Qt's settings file on Linux (UQtSettingsStore.h), the registry on Windows
// (URegistrySettingsStore.h). The controller sees only ISettingsStore. Each
// setting is described once here (TSetting: its name, the values it may
// take with their stored texts, its default); the rule that turns what a
// store holds into the value in effect is here too, free of any toolkit.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "UVCARDParser.h"

namespace qm {

// Where Windows keeps the settings: the user's values below
// HKEY_CURRENT_USER, an administrator's policy values below
// HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER (where Group Policy writes machine
// and user policies; the templates in data/policy name the same key).
inline constexpr std::string_view kRegistryUserKey = "Software\\Quillmark";
inline constexpr std::string_view kRegistryPolicyKey = "Software\\Policies\\Quillmark";

// What a store holds for one setting. A value that exists but cannot be read
// as text holds "".
struct TStoredSetting {
    // The user's own value (Linux: also a preset of the system's settings
    // files); nullopt when there is none.
    std::optional<std::string> User{};
    // An administrator's fixed value for the machine (Windows: a machine
    // policy); nullopt when there is none.
    std::optional<std::string> Policy{};
    // An administrator's fixed value for this user (Windows: a user policy),
    // weaker than Policy; nullopt when there is none.
    std::optional<std::string> UserPolicy{};
    friend bool operator==(const TStoredSetting&, const TStoredSetting&) = default;
};

class ISettingsStore {
public:
    virtual ~ISettingsStore() = default;
    // The values stored for `key` (a non-empty ASCII name). Never raises: a
    // store that cannot be reached holds nothing.
    virtual TStoredSetting Read(std::string_view key) const = 0;
    // Stores `value` (UTF-8) as the user's value of `key`. Raises
    // EQuillmarkError with a German message when it cannot be stored.
    virtual void Write(std::string_view key, const std::string& value) = 0;
};

// `text` without the blanks (spaces, tabs) around it: a value typed by hand
// into an editor or the registry may carry them.
constexpr std::string_view TrimBlanks(std::string_view text) noexcept {
    constexpr std::string_view kBlanks = " \t";
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// One value of a setting and the text a store holds for it.
template <class T>
struct TSettingValue {
    T Value;
    std::string_view Text;
};

// One setting. Preconditions: Key is a non-empty ASCII name, the values and
// their texts are distinct, the texts are not empty and carry no blanks
// around them, and Default is one of Values (Sound() checks all but ASCII,
// at compile time).
template <class T, std::size_t N>
struct TSetting {
    std::string_view Key;  // the key in Qt's settings file, the value's name in the registry
    std::array<TSettingValue<T>, N> Values;
    T Default;

    // The value a stored text names, blanks around it ignored; nullopt when
    // it names none (the text is not usable).
    constexpr std::optional<T> Parse(std::string_view text) const noexcept {
        text = TrimBlanks(text);
        for (const TSettingValue<T>& v : Values) {
            if (v.Text == text) return v.Value;
        }
        return std::nullopt;
    }
    // The text stored for `value`; the default's for a value not in Values.
    constexpr std::string_view Text(T value) const noexcept {
        for (const TSettingValue<T>& v : Values) {
            if (v.Value == value) return v.Text;
        }
        return Text(Default);
    }
    consteval bool Sound() const {
        if (Key.empty()) return false;
        bool hasDefault = false;
        for (std::size_t i = 0; i < N; ++i) {
            if (Values[i].Text.empty() || TrimBlanks(Values[i].Text) != Values[i].Text) return false;
            for (std::size_t j = 0; j < i; ++j) {
                if (Values[j].Value == Values[i].Value || Values[j].Text == Values[i].Text) return false;
            }
            hasDefault = hasDefault || Values[i].Value == Default;
        }
        return hasDefault;
    }
};

// The settings. A new one is one entry here; a value that an administrator
// may fix also gets a policy in the templates of data/policy.

// The vCard version of the dialog's cards (RFC 6350 is 4.0, RFC 2426 3.0).
inline constexpr TSetting<TvCardVersion, 2> kVCardVersion{
    "vCardVersion", {{{TvCardVersion::vv30, "3.0"}, {TvCardVersion::vv40, "4.0"}}}, TvCardVersion::vv40};
static_assert(kVCardVersion.Sound());

// A setting's value in effect and whether the user may change it.
template <class T>
struct TSettingChoice {
    T Value{};
    bool Locked = false;  // fixed by a policy
    friend bool operator==(const TSettingChoice&, const TSettingChoice&) = default;
};
using TVCardVersionChoice = TSettingChoice<TvCardVersion>;

// The value in effect from what a store holds: a usable policy value locks
// it (the machine's before the user's policy); else the user's usable value;
// else the default. A value that is not usable counts as absent, so a
// mistyped policy leaves the user's choice standing and a mistyped user's
// value gives the default.
template <class T, std::size_t N>
constexpr TSettingChoice<T> Choose(const TSetting<T, N>& setting, const TStoredSetting& stored) noexcept {
    const auto usable = [&](const std::optional<std::string>& text) {
        return text ? setting.Parse(*text) : std::nullopt;
    };
    if (const std::optional<T> v = usable(stored.Policy)) return {*v, true};
    if (const std::optional<T> v = usable(stored.UserPolicy)) return {*v, true};
    if (const std::optional<T> v = usable(stored.User)) return {*v, false};
    return {setting.Default, false};
}

// The value of `setting` in effect in `store`.
template <class T, std::size_t N>
TSettingChoice<T> ReadSetting(const ISettingsStore& store, const TSetting<T, N>& setting) {
    return Choose(setting, store.Read(setting.Key));
}
// Stores `value` as the user's value of `setting`; raises as Write does.
template <class T, std::size_t N>
void WriteSetting(ISettingsStore& store, const TSetting<T, N>& setting, T value) {
    store.Write(setting.Key, std::string(setting.Text(value)));
}

// A store that holds nothing and forgets what it is given: every setting at
// its default, no choice remembered.
class TNoSettingsStore final : public ISettingsStore {
public:
    TStoredSetting Read(std::string_view) const override { return {}; }
    void Write(std::string_view, const std::string&) override {}
};

}  // namespace qm
