#include <gtest/gtest.h>

#include <ctime>

#include "ContactTestData.h"
#include "UDialogContact.h"

using namespace qm;

namespace {

TCardFields SampleFields() {
    TCardFields f;
    f.Group = "Kunden\r\nPartner A";
    f.FirstName = "Max";
    f.LastName = "Mustermann";
    f.Company = " \tMuster\xC2\xAC" "GmbH,  Berlin \r\n";
    f.Street = "Hauptstr. 1";
    f.Town = "Berlin";
    f.ZipCode = "10115";
    f.Emails = {"", "max@example.com", "info@muster.de", ""};
    f.Phones = {"030 123456", "", "0171 98765"};
    return f;
}

const TDateTime kNow = EncodeDateTime(2026, 12, 6, 14, 39, 5, 400);

}  // namespace

TEST(DialogContact, CardMatchesReferenceFile) {
    EXPECT_EQ(BuildDialogCardText(SampleFields(), kNow), test::ReferenceCard("dialog_contact.vcf"));
}

TEST(DialogContact, FillsModelInStatedShape) {
    TvCardDocument doc;
    TvContact& c = doc.vContacts.Add();
    FillDialogContact(c, SampleFields(), kNow);
    EXPECT_EQ(c.Updated, kNow);
    EXPECT_EQ(c.vCardVersion, TvCardVersion::vv40);
    EXPECT_EQ(c.Categories, (TStringList{"Kunden", "Partner A"}));
    EXPECT_EQ(c.Company, "Muster GmbH, Berlin");
    ASSERT_EQ(c.Addresses.Count(), 1u);
    const TvAddress& a = c.Addresses[0];
    EXPECT_EQ(a.AddressType, TvFieldType::ftWork);
    EXPECT_FALSE(a.Preferred);
    EXPECT_EQ(a.Street, "Hauptstr. 1");
    EXPECT_EQ(a.City, "Berlin");
    EXPECT_EQ(a.PostCode, "10115");
    EXPECT_EQ(a.POBox + a.Number + a.Region + a.Country, "");
    ASSERT_EQ(c.Emails.Count(), 2u);
    EXPECT_EQ(c.Emails[1].EmailAddress, "info@muster.de");
    EXPECT_EQ(c.Emails[1].EmailType, TvFieldType::ftWork);
    ASSERT_EQ(c.PhoneNumbers.Count(), 2u);
    EXPECT_EQ(c.PhoneNumbers[1].PhoneNumber, "0171 98765");
    EXPECT_EQ(c.PhoneNumbers[1].FieldType, TvFieldType::ftWork);
    EXPECT_TRUE(c.PhoneNumbers[1].PhoneType.Empty());
    EXPECT_FALSE(c.PhoneNumbers[1].Preferred);
    EXPECT_EQ(c.FullName + c.SortString + c.ID, "");
}

TEST(DialogContact, EmptyRecordStillGivesValidCard) {
    EXPECT_EQ(BuildDialogCardText(TCardFields{}, kNow),
              "BEGIN:VCARD\nVERSION:4.0\nN:;;;;\nFN: \nREV:20261206T143905Z\nPRODID:Corvanta\n"
              "ADR;TYPE=WORK:;;;;;;\nEND:VCARD\n");
}

TEST(DialogContact, GroupWithBlankOrQuoteIsQuoted) {
    TCardFields f;
    f.LastName = "L";
    f.Group = "Gold \"A\"";
    f.Company = "\xC2\xAC";
    EXPECT_EQ(BuildDialogCardText(f, kNow),
              "BEGIN:VCARD\nVERSION:4.0\nN:L;;;;\nFN: L\nORG: \nREV:20261206T143905Z\nPRODID:Corvanta\n"
              "CATEGORIES:\"Gold \"\"A\"\"\"\nADR;TYPE=WORK:;;;;;;\nEND:VCARD\n");
}

TEST(CleanCompanyName, TrimsThenReplacesNotSignThenHalvesSpaces) {
    EXPECT_EQ(CleanCompanyName("  M\xC3\xBCller\xC2\xAC" "AG \t\r\n"), "M\xC3\xBCller AG");
    EXPECT_EQ(CleanCompanyName("A    B"), "A  B");
    EXPECT_EQ(CleanCompanyName("A\xC2\xAC\xC2\xAC" "B"), "A B");
    EXPECT_EQ(CleanCompanyName("A\xC2\xAC \xC2\xAC" "B"), "A  B");
    // The trim runs first, so a not sign at an edge leaves a blank there.
    EXPECT_EQ(CleanCompanyName("\xC2\xAC" "A "), " A");
    EXPECT_EQ(CleanCompanyName("\x01\x1F"), "");
    EXPECT_EQ(CleanCompanyName("Line1\r\nLine2"), "Line1\r\nLine2");
}

TEST(DialogContact, NowIsUtc) {
    const std::time_t before = std::time(nullptr);
    const TDateTime now = NowUtc();
    const std::time_t after = std::time(nullptr);
    // time() counts UTC seconds since 1970-01-01.
    EXPECT_GE(now, 25569.0 + static_cast<double>(before) / 86400.0);
    EXPECT_LE(now, 25569.0 + static_cast<double>(after + 1) / 86400.0);
}
