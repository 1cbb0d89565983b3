// The user's settings in the registry, as Wine's registry of the test prefix
// holds them: the user's value, an administrator's policy value, a value of
// the wrong type, and a write. Whatever the test writes it removes again;
// it does not run where a value of its own is already there.
#include <gtest/gtest.h>

#include <windows.h>

#include <optional>
#include <string>

#include "URegistrySettingsStore.h"

namespace {

using Store = qm::TRegistrySettingsStore;

bool ValueExists(HKEY root, const wchar_t* key) {
    return RegGetValueW(root, key, L"vCardVersion", RRF_RT_ANY, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

// Sets (REG_SZ or REG_DWORD) or, with nullopt, deletes the value.
void Put(HKEY root, const wchar_t* key, std::optional<std::wstring> text, DWORD type = REG_SZ) {
    if (!text) {
        RegDeleteKeyValueW(root, key, L"vCardVersion");
        return;
    }
    const DWORD number = 3;
    const LSTATUS status =
        type == REG_SZ ? RegSetKeyValueW(root, key, L"vCardVersion", REG_SZ, text->c_str(),
                                         static_cast<DWORD>((text->size() + 1) * sizeof(wchar_t)))
                       : RegSetKeyValueW(root, key, L"vCardVersion", REG_DWORD, &number, sizeof number);
    ASSERT_EQ(status, ERROR_SUCCESS);
}

class RegistrySettingsStore : public ::testing::Test {
protected:
    void SetUp() override {
        if (ValueExists(HKEY_CURRENT_USER, Store::kUserKey) || ValueExists(HKEY_LOCAL_MACHINE, Store::kPolicyKey))
            GTEST_SKIP() << "a vCardVersion value is set already; the test leaves it alone";
        cleanUp_ = true;
    }
    void TearDown() override {
        if (!cleanUp_) return;
        Put(HKEY_CURRENT_USER, Store::kUserKey, std::nullopt);
        Put(HKEY_LOCAL_MACHINE, Store::kPolicyKey, std::nullopt);
        // Empty now; a key holding anything else stays.
        RegDeleteKeyW(HKEY_CURRENT_USER, Store::kUserKey);
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, Store::kPolicyKey);
    }
    bool cleanUp_ = false;
};

TEST_F(RegistrySettingsStore, ReadsTheUsersValueAndThePolicyValue) {
    struct TCase {
        std::optional<std::wstring> User, Policy;
        DWORD PolicyType;
        qm::TStoredSetting Read;
    };
    const TCase cases[] = {
        {std::nullopt, std::nullopt, REG_SZ, {std::nullopt, std::nullopt}},
        {L"3.0", std::nullopt, REG_SZ, {"3.0", std::nullopt}},
        {L"3.0", L"4.0", REG_SZ, {"3.0", "4.0"}},
        {std::nullopt, L"3.0", REG_SZ, {std::nullopt, "3.0"}},
        // A number is no text: unreadable, counted as 4.0 by the dialog.
        {L"3.0", L"", REG_DWORD, {"3.0", ""}},
        {std::wstring(100, L'3'), std::nullopt, REG_SZ, {"", std::nullopt}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(testing::Message() << (&c - cases));
        Put(HKEY_CURRENT_USER, Store::kUserKey, c.User);
        Put(HKEY_LOCAL_MACHINE, Store::kPolicyKey, c.Policy, c.PolicyType);
        EXPECT_EQ(Store().Read(qm::kVCardVersionSetting), c.Read);
    }
}

TEST_F(RegistrySettingsStore, WritesTheUsersValueAsText) {
    Store store;
    store.Write(qm::kVCardVersionSetting, "3.0");
    wchar_t text[16] = {};
    DWORD type = 0;
    DWORD bytes = sizeof text;
    ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, Store::kUserKey, L"vCardVersion", RRF_RT_ANY, &type, text, &bytes),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(std::wstring(text), L"3.0");
    store.Write(qm::kVCardVersionSetting, "4.0");
    EXPECT_EQ(store.Read(qm::kVCardVersionSetting).User, "4.0");
}

}  // namespace
