// The user's settings in the registry, as Wine's registry of the test prefix
// holds them: the user's value, an administrator's machine and user policy
// values of each type, and a write. The prefix is the tests' own: a value
// left there by an earlier run that ended early is removed before each test,
// and whatever the test writes is removed after it.
#include <gtest/gtest.h>

#include <windows.h>

#include <optional>
#include <string>

#include "URegistrySettingsStore.h"
#include "UWinText.h"

namespace {

using Store = qm::TRegistrySettingsStore;
using qm::TvCardVersion;

const std::wstring kUserKey = qm::ToWide(qm::kRegistryUserKey);
const std::wstring kPolicyKey = qm::ToWide(qm::kRegistryPolicyKey);
const std::wstring kName = qm::ToWide(qm::kVCardVersion.Key);

// A registry value: REG_SZ or REG_EXPAND_SZ with its text, or REG_DWORD 3.
struct TValue {
    DWORD Type = REG_SZ;
    std::wstring Text{};
};

// Sets or, with nullopt, deletes the value.
void Put(HKEY root, const std::wstring& key, const std::optional<TValue>& value) {
    if (!value) {
        RegDeleteKeyValueW(root, key.c_str(), kName.c_str());
        return;
    }
    const DWORD number = 3;
    const LSTATUS status =
        value->Type == REG_DWORD
            ? RegSetKeyValueW(root, key.c_str(), kName.c_str(), REG_DWORD, &number, sizeof number)
            : RegSetKeyValueW(root, key.c_str(), kName.c_str(), value->Type, value->Text.c_str(),
                              static_cast<DWORD>((value->Text.size() + 1) * sizeof(wchar_t)));
    ASSERT_EQ(status, ERROR_SUCCESS);
}

class RegistrySettingsStore : public ::testing::Test {
protected:
    void SetUp() override {
        TearDown();
        // What a REG_EXPAND_SZ policy would name if it were expanded.
        SetEnvironmentVariableW(L"QM_TEST_VCARD", L"3.0");
    }
    void TearDown() override {
        Put(HKEY_CURRENT_USER, kUserKey, std::nullopt);
        Put(HKEY_LOCAL_MACHINE, kPolicyKey, std::nullopt);
        Put(HKEY_CURRENT_USER, kPolicyKey, std::nullopt);
        // Empty now; a key holding anything else stays.
        RegDeleteKeyW(HKEY_CURRENT_USER, kUserKey.c_str());
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, kPolicyKey.c_str());
        RegDeleteKeyW(HKEY_CURRENT_USER, kPolicyKey.c_str());
        SetEnvironmentVariableW(L"QM_TEST_VCARD", nullptr);
    }
};

// The version in effect by the user's value, the machine's policy and the
// user's policy: a usable policy locks it, the machine's before the user's;
// a policy that is not usable is passed over, leaving the user's choice.
TEST_F(RegistrySettingsStore, ReadsTheUsersValueBelowTheUsersPolicyBelowTheMachinesPolicy) {
    struct TCase {
        std::optional<TValue> User, Machine, UserPolicy;
        qm::TVCardVersionChoice Choice;
    };
    const TCase cases[] = {
        {std::nullopt, std::nullopt, std::nullopt, {TvCardVersion::vv40, false}},
        {TValue{REG_SZ, L"3.0"}, std::nullopt, std::nullopt, {TvCardVersion::vv30, false}},
        {TValue{REG_SZ, L"3.0"}, TValue{REG_SZ, L"4.0"}, std::nullopt, {TvCardVersion::vv40, true}},
        {std::nullopt, TValue{REG_SZ, L"3.0"}, std::nullopt, {TvCardVersion::vv30, true}},
        {TValue{REG_SZ, L"4.0"}, std::nullopt, TValue{REG_SZ, L"3.0"}, {TvCardVersion::vv30, true}},
        {std::nullopt, TValue{REG_SZ, L"4.0"}, TValue{REG_SZ, L"3.0"}, {TvCardVersion::vv40, true}},
        // REG_EXPAND_SZ is text as well, taken as stored.
        {std::nullopt, TValue{REG_EXPAND_SZ, L" 3.0 "}, std::nullopt, {TvCardVersion::vv30, true}},
        {TValue{REG_SZ, L"4.0"}, TValue{REG_EXPAND_SZ, L"%QM_TEST_VCARD%"}, std::nullopt, {TvCardVersion::vv40, false}},
        // Policies that name no version, or are no text, lock nothing.
        {TValue{REG_SZ, L"3.0"}, TValue{REG_SZ, L"vCard 3"}, std::nullopt, {TvCardVersion::vv30, false}},
        {TValue{REG_SZ, L"3.0"}, TValue{REG_SZ, L""}, TValue{REG_DWORD}, {TvCardVersion::vv30, false}},
        {TValue{REG_SZ, L"4.0"}, TValue{REG_DWORD}, TValue{REG_SZ, L"3.0"}, {TvCardVersion::vv30, true}},
        // Too long for any setting: unreadable, the default.
        {TValue{REG_SZ, std::wstring(100, L'3')}, std::nullopt, std::nullopt, {TvCardVersion::vv40, false}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << (&c - cases));
        Put(HKEY_CURRENT_USER, kUserKey, c.User);
        Put(HKEY_LOCAL_MACHINE, kPolicyKey, c.Machine);
        Put(HKEY_CURRENT_USER, kPolicyKey, c.UserPolicy);
        EXPECT_EQ(qm::ReadSetting(Store(), qm::kVCardVersion), c.Choice);
    }
}

TEST_F(RegistrySettingsStore, WritesTheUsersValueAsText) {
    Store store;
    qm::WriteSetting(store, qm::kVCardVersion, TvCardVersion::vv30);
    wchar_t text[16] = {};
    DWORD type = 0;
    DWORD bytes = sizeof text;
    ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, kUserKey.c_str(), kName.c_str(), RRF_RT_ANY, &type, text, &bytes),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(std::wstring(text), L"3.0");
    store.Write(qm::kVCardVersion.Key, "4.0");
    EXPECT_EQ(store.Read(qm::kVCardVersion.Key).User, "4.0");
}

}  // namespace
