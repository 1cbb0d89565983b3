// The user's settings on Windows: text values under
// HKEY_CURRENT_USER\Software\Quillmark, and an administrator's fixed values
// under Software\Policies\Quillmark, the key Group Policy writes: below
// HKEY_LOCAL_MACHINE for the machine, below HKEY_CURRENT_USER for the user
// (kRegistryUserKey and kRegistryPolicyKey in USettingsStore.h).
#pragma once

#include <string>

#include "USettingsStore.h"

namespace qm {

class TRegistrySettingsStore final : public ISettingsStore {
public:
    // Reads REG_SZ and REG_EXPAND_SZ values as they are stored: an
    // environment reference in a REG_EXPAND_SZ value is not expanded, so that
    // a policy is what the administrator wrote and nothing of the user's
    // environment. A value of another type, or one too long for any
    // setting's text (more than 63 characters), reads as "".
    TStoredSetting Read(std::string_view key) const override;
    // Writes a REG_SZ value below kRegistryUserKey, creating the key when
    // missing.
    void Write(std::string_view key, const std::string& value) override;
};

}  // namespace qm
