// The user's settings on Windows: string values under
// HKEY_CURRENT_USER\Software\Quillmark, and an administrator's fixed values
// under HKEY_LOCAL_MACHINE\Software\Policies\Quillmark (the place Group
// Policy writes machine policies), which win over the user's.
#pragma once

#include <string>

#include "USettingsStore.h"

namespace qm {

class TRegistrySettingsStore final : public ISettingsStore {
public:
    // The keys, below HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE.
    static constexpr const wchar_t* kUserKey = L"Software\\Quillmark";
    static constexpr const wchar_t* kPolicyKey = L"Software\\Policies\\Quillmark";

    // A value of another type than REG_SZ, or one that cannot be read,
    // reads as an empty string.
    TStoredSetting Read(std::string_view key) const override;
    // Writes a REG_SZ value below kUserKey, creating the key when missing.
    void Write(std::string_view key, const std::string& value) override;
};

}  // namespace qm
