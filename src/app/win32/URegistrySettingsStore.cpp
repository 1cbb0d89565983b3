#include "URegistrySettingsStore.h"

#include <windows.h>

#include <memory>
#include <optional>
#include <type_traits>

#include "UErrors.h"
#include "UWinText.h"

namespace qm {

namespace {

// The text of the REG_SZ value `name` below `root`\`subKey`; nullopt when the
// key or the value does not exist, "" when it exists but is no short text
// (another type, too long for a version, not readable by us).
std::optional<std::string> ReadText(HKEY root, const wchar_t* subKey, const std::wstring& name) {
    wchar_t buffer[64] = {};
    DWORD bytes = sizeof buffer;
    // RegGetValueW with RRF_RT_REG_SZ ends the text with a null and refuses
    // other types (ERROR_UNSUPPORTED_TYPE).
    const LSTATUS status = RegGetValueW(root, subKey, name.c_str(), RRF_RT_REG_SZ, nullptr, buffer, &bytes);
    if (status == ERROR_FILE_NOT_FOUND) return std::nullopt;
    if (status != ERROR_SUCCESS) return std::string();
    return FromWide(buffer);
}

}  // namespace

TStoredSetting TRegistrySettingsStore::Read(std::string_view key) const {
    const std::wstring name = ToWide(key);
    return {ReadText(HKEY_CURRENT_USER, kUserKey, name), ReadText(HKEY_LOCAL_MACHINE, kPolicyKey, name)};
}

void TRegistrySettingsStore::Write(std::string_view key, const std::string& value) {
    HKEY opened = nullptr;
    LSTATUS status = RegCreateKeyExW(HKEY_CURRENT_USER, kUserKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                                     nullptr, &opened, nullptr);
    if (status == ERROR_SUCCESS) {
        const std::unique_ptr<std::remove_pointer_t<HKEY>, decltype(&RegCloseKey)> hkey(opened, &RegCloseKey);
        const std::wstring text = ToWide(value);
        // REG_SZ: the size in bytes includes the terminating null.
        status = RegSetValueExW(hkey.get(), ToWide(key).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    }
    if (status != ERROR_SUCCESS)
        throw EQuillmarkError("Die Einstellung \"" + std::string(key) +
                              "\" kann nicht unter HKEY_CURRENT_USER\\Software\\Quillmark gespeichert werden: " +
                              SystemErrorText(static_cast<DWORD>(status)));
}

}  // namespace qm
