#include "URegistrySettingsStore.h"

#include <windows.h>

#include <memory>
#include <optional>
#include <type_traits>

#include "UErrors.h"
#include "UWinText.h"

namespace qm {

namespace {

// The text of the value `name` below `root`\`subKey`; nullopt when the key
// or the value does not exist, "" when it exists but is no short text.
std::optional<std::string> ReadText(HKEY root, const std::wstring& subKey, const std::wstring& name) {
    wchar_t buffer[64] = {};
    DWORD bytes = sizeof buffer;
    // RegGetValueW ends the text with a null and refuses other types
    // (ERROR_UNSUPPORTED_TYPE); REG_EXPAND_SZ is accepted only together
    // with RRF_NOEXPAND.
    const LSTATUS status = RegGetValueW(root, subKey.c_str(), name.c_str(),
                                        RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr, buffer, &bytes);
    if (status == ERROR_FILE_NOT_FOUND) return std::nullopt;
    if (status != ERROR_SUCCESS) return std::string();
    return FromWide(buffer);
}

}  // namespace

TStoredSetting TRegistrySettingsStore::Read(std::string_view key) const {
    const std::wstring name = ToWide(key);
    const std::wstring user = ToWide(kRegistryUserKey);
    const std::wstring policy = ToWide(kRegistryPolicyKey);
    return {ReadText(HKEY_CURRENT_USER, user, name), ReadText(HKEY_LOCAL_MACHINE, policy, name),
            ReadText(HKEY_CURRENT_USER, policy, name)};
}

void TRegistrySettingsStore::Write(std::string_view key, const std::string& value) {
    HKEY opened = nullptr;
    LSTATUS status = RegCreateKeyExW(HKEY_CURRENT_USER, ToWide(kRegistryUserKey).c_str(), 0, nullptr,
                                     REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &opened, nullptr);
    if (status == ERROR_SUCCESS) {
        const std::unique_ptr<std::remove_pointer_t<HKEY>, decltype(&RegCloseKey)> hkey(opened, &RegCloseKey);
        const std::wstring text = ToWide(value);
        // REG_SZ: the size in bytes includes the terminating null.
        status = RegSetValueExW(hkey.get(), ToWide(key).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    }
    if (status != ERROR_SUCCESS)
        throw EQuillmarkError("Die Einstellung \"" + std::string(key) + "\" kann nicht unter HKEY_CURRENT_USER\\" +
                              std::string(kRegistryUserKey) +
                              " gespeichert werden: " + SystemErrorText(static_cast<DWORD>(status)));
}

}  // namespace qm
