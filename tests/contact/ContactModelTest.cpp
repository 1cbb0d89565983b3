#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "ContactTestData.h"
#include "UVCARDParser.h"

using namespace qm;

TEST(ContactDefaults, UntouchedContactIsEmptyVersion30) {
    TvCardDocument doc;
    EXPECT_EQ(doc.ProdID, "");
    EXPECT_EQ(doc.DefaultRevision, 0.0);
    const TvContact& c = doc.vContacts.Add();
    EXPECT_EQ(c.vCardVersion, TvCardVersion::vv30);
    for (const std::string* s : {&c.ID, &c.FirstName, &c.LastName, &c.MiddleName, &c.NamePrefix,
                                 &c.NameSuffix, &c.FullName, &c.NickName, &c.Company, &c.JobTitle,
                                 &c.Profession, &c.WebsiteURL, &c.Source, &c.ProdID, &c.SortString,
                                 &c.TimeZone}) {
        EXPECT_EQ(*s, "");
    }
    EXPECT_EQ(c.BirthDay, 0.0);
    EXPECT_EQ(c.Updated, 0.0);
    EXPECT_EQ(c.Emails.Count(), 0u);
    EXPECT_EQ(c.PhoneNumbers.Count(), 0u);
    EXPECT_EQ(c.Addresses.Count(), 0u);
    EXPECT_EQ(c.SocialProfile.Count(), 0u);
    EXPECT_TRUE(c.Categories.Empty());
    EXPECT_TRUE(c.Note.Empty());
    EXPECT_EQ(c.GeoLocation.Latitude, 0.0);
    EXPECT_EQ(c.GeoLocation.Longitude, 0.0);
    EXPECT_EQ(c.ScoreItem, TScoreItem{});
}

TEST(ContactDefaults, NewEntriesAreHomeNotNone) {
    TvCardDocument doc;
    TvContact& c = doc.vContacts.Add();
    const TvPhone& p = c.PhoneNumbers.Add();
    EXPECT_EQ(p.FieldType, TvFieldType::ftHome);
    EXPECT_TRUE(p.PhoneType.Empty());
    EXPECT_FALSE(p.Preferred);
    EXPECT_EQ(p.PhoneNumber, "");
    const TvEmail& e = c.Emails.Add();
    EXPECT_EQ(e.EmailType, TvFieldType::ftHome);
    EXPECT_FALSE(e.Preferred);
    const TvAddress& a = c.Addresses.Add();
    EXPECT_EQ(a.AddressType, TvFieldType::ftHome);
    EXPECT_FALSE(a.Preferred);
    EXPECT_TRUE(a.MailingLabel.Empty());
    EXPECT_EQ(a.Street + a.City + a.PostCode + a.POBox + a.Number + a.Region + a.Country, "");
    const TvSocialItem& s = c.SocialProfile.Add();
    EXPECT_EQ(s.URI + s.Service + s.User, "");
}

TEST(PhoneTypes, BitNIsOrdinalN) {
    TvPhoneTypes t{TvPhoneType::ptText, TvPhoneType::ptMain};
    EXPECT_EQ(t.Bits(), (1u << 0) | (1u << 8));
    t.Include(TvPhoneType::ptiPhone);
    EXPECT_TRUE(t.Contains(TvPhoneType::ptiPhone));
    EXPECT_FALSE(t.Contains(TvPhoneType::ptVoice));
    t.Exclude(TvPhoneType::ptText);
    EXPECT_EQ(t.Bits(), (1u << 7) | (1u << 8));
    EXPECT_EQ(TvPhoneTypes::FromBits(0xFFFF).Bits(), 0x1FFu);
    EXPECT_EQ(TvPhoneTypes::FromBits(1u << 3), TvPhoneTypes{TvPhoneType::ptCell});
}

TEST(Collections, AddIndexCountOwner) {
    TvCardDocument doc;
    EXPECT_EQ(&doc.vContacts.Owner(), &doc);
    TvContact& c = doc.vContacts.Add();
    EXPECT_EQ(&c.Emails.Owner(), &c);
    EXPECT_EQ(&c.PhoneNumbers.Owner(), &c);
    EXPECT_EQ(&c.Addresses.Owner(), &c);
    EXPECT_EQ(&c.SocialProfile.Owner(), &c);
    TvEmail& first = c.Emails.Add();
    TvEmail& second = c.Emails.Add();
    first.EmailAddress = "a";
    second.EmailAddress = "b";
    ASSERT_EQ(c.Emails.Count(), 2u);
    EXPECT_EQ(&c.Emails.Items(0), &first);
    EXPECT_EQ(c.Emails[1].EmailAddress, "b");
    // Items keep their address while others are added.
    for (int i = 0; i < 100; ++i) c.Emails.Add();
    EXPECT_EQ(&c.Emails[0], &first);
    c.Emails.Delete(0);
    EXPECT_EQ(c.Emails[0].EmailAddress, "b");
    EXPECT_EQ(c.Emails.Count(), 101u);
}

TEST(Collections, IndexOutOfRangeRaises) {
    TvCardDocument doc;
    TvContact& c = doc.vContacts.Add();
    c.PhoneNumbers.Add();
    try {
        c.PhoneNumbers.Items(1);
        FAIL() << "no exception";
    } catch (const std::out_of_range& e) {
        EXPECT_STREQ(e.what(), "List index out of bounds (1)");
    }
    EXPECT_THROW(doc.vContacts[5], std::out_of_range);
    EXPECT_THROW(c.PhoneNumbers.Delete(3), std::out_of_range);
}

TEST(Assign, ContactCopyIsDeepAndIndependent) {
    TvCardDocument doc;
    TvContact& source = doc.vContacts.Add();
    test::FillRichContact(source, TvCardVersion::vv40);
    TvContact& copy = doc.vContacts.Add();
    copy.Emails.Add().EmailAddress = "stale@example.com";
    copy.Assign(source);
    const std::string before = doc.ContactText(source);
    EXPECT_EQ(doc.ContactText(copy), before);
    EXPECT_EQ(copy.ProdID, "carried only");
    EXPECT_EQ(copy.ScoreItem, source.ScoreItem);
    EXPECT_EQ(copy.Emails.Count(), 4u);
    EXPECT_EQ(&copy.Emails.Owner(), &copy);
    EXPECT_NE(&copy.Addresses[0], &source.Addresses[0]);

    // Change everything the copy might share with its source.
    source.Addresses[0].MailingLabel.Add("extra");
    source.Addresses[0].Street = "Neu";
    source.Addresses.Add();
    source.Emails[0].EmailAddress = "changed";
    source.PhoneNumbers[0].PhoneType.Include(TvPhoneType::ptFax);
    source.SocialProfile[0].User = "changed";
    source.Categories.Add("neu");
    source.Note.Clear();
    source.GeoLocation.Latitude = 1;
    source.ScoreItem.Caption = "changed";
    EXPECT_NE(doc.ContactText(source), before);
    EXPECT_EQ(doc.ContactText(copy), before);
    EXPECT_EQ(copy.ScoreItem.Caption, "score");
}

TEST(Assign, ItemsCopyEveryProperty) {
    TvCardDocument doc;
    TvContact& c = doc.vContacts.Add();
    TvAddress& a = c.Addresses.Add();
    a.POBox = "1"; a.Number = "2"; a.Street = "3"; a.City = "4"; a.Region = "5"; a.PostCode = "6";
    a.Country = "7"; a.AddressType = TvFieldType::ftNone; a.Preferred = true;
    a.MailingLabel.SetText("x\ny");
    TvAddress& a2 = c.Addresses.Add();
    a2.Assign(a);
    EXPECT_EQ(a2.POBox + a2.Number + a2.Street + a2.City + a2.Region + a2.PostCode + a2.Country, "1234567");
    EXPECT_EQ(a2.AddressType, TvFieldType::ftNone);
    EXPECT_TRUE(a2.Preferred);
    EXPECT_EQ(a2.MailingLabel, (TStringList{"x", "y"}));

    TvPhone& p = c.PhoneNumbers.Add();
    p.PhoneNumber = "1"; p.PhoneType = {TvPhoneType::ptPager}; p.FieldType = TvFieldType::ftOther;
    p.Preferred = true;
    TvPhone& p2 = c.PhoneNumbers.Add();
    p2.Assign(p);
    EXPECT_EQ(p2.PhoneNumber, "1");
    EXPECT_EQ(p2.PhoneType, TvPhoneTypes{TvPhoneType::ptPager});
    EXPECT_EQ(p2.FieldType, TvFieldType::ftOther);
    EXPECT_TRUE(p2.Preferred);

    TvEmail& e = c.Emails.Add();
    e.EmailAddress = "m"; e.EmailType = TvFieldType::ftWork; e.Preferred = true;
    TvEmail& e2 = c.Emails.Add();
    e2.Assign(e);
    EXPECT_EQ(e2.EmailAddress, "m");
    EXPECT_EQ(e2.EmailType, TvFieldType::ftWork);
    EXPECT_TRUE(e2.Preferred);

    TvSocialItem& s = c.SocialProfile.Add();
    s.URI = "u"; s.Service = "s"; s.User = "n";
    TvSocialItem& s2 = c.SocialProfile.Add();
    s2.Assign(s);
    EXPECT_EQ(s2.URI + s2.Service + s2.User, "usn");

    TvGeoLocation g;
    g.Latitude = 1.5; g.Longitude = -2.5;
    c.GeoLocation.Assign(g);
    EXPECT_EQ(c.GeoLocation.Latitude, 1.5);
    EXPECT_EQ(c.GeoLocation.Longitude, -2.5);
}

TEST(Assign, SourceOfAnotherClassIsIgnored) {
    TvCardDocument doc;
    TvContact& c = doc.vContacts.Add();
    test::FillRichContact(c, TvCardVersion::vv30);
    const std::string before = doc.ContactText(c);
    c.Assign(c.Addresses[0]);
    c.Assign(c.GeoLocation);
    c.Addresses[0].Assign(c.Emails[0]);
    c.Emails[0].Assign(c.PhoneNumbers[0]);
    c.PhoneNumbers[0].Assign(c.SocialProfile[0]);
    c.SocialProfile[0].Assign(c);
    c.GeoLocation.Assign(c.Emails[1]);
    EXPECT_EQ(doc.ContactText(c), before);
    // Assigning an object to itself changes nothing either.
    c.Assign(c);
    c.Addresses[0].Assign(c.Addresses[0]);
    c.Addresses.Assign(c.Addresses);
    EXPECT_EQ(doc.ContactText(c), before);
}

TEST(Assign, DocumentContactsAreCopiedNotAdopted) {
    TvCardDocument source;
    source.ProdID = "P";
    test::FillRichContact(source.vContacts.Add(), TvCardVersion::vv21);
    source.vContacts.Add().FirstName = "Zweiter";
    TvCardDocument target;
    target.ProdID = "P";
    target.vContacts.Add();
    target.vContacts.Assign(source.vContacts);
    EXPECT_EQ(&target.vContacts.Owner(), &target);
    EXPECT_EQ(target.vContacts.Count(), 2u);
    EXPECT_EQ(target.GetText(), source.GetText());
    source.vContacts.Clear();
    EXPECT_EQ(target.vContacts[1].FirstName, "Zweiter");
}

TEST(Categories, TextWithLineBreaksGivesSeveralEntries) {
    TvCardDocument doc;
    TvContact& c = doc.vContacts.Add();
    c.Categories.SetText("A\r\nB");
    EXPECT_EQ(c.Categories, (TStringList{"A", "B"}));
    c.Categories.SetText("A\nB\n");
    EXPECT_EQ(c.Categories.Count(), 2u);
    c.Categories.SetText("");
    EXPECT_EQ(c.Categories.Count(), 0u);
}

TEST(DateTime, EncodeAndDecodeAgree) {
    EXPECT_EQ(EncodeDateTime(1899, 12, 30), 0.0);
    EXPECT_EQ(EncodeDateTime(1970, 1, 1), 25569.0);
    EXPECT_EQ(EncodeDateTime(2000, 1, 1, 12), 36526.5);
    EXPECT_EQ(DecodeDateTime(0), (TDateTimeParts{1899, 12, 30, 0, 0, 0, 0}));
    EXPECT_EQ(DecodeDateTime(EncodeDateTime(2026, 12, 6, 14, 39, 5, 600)),
              (TDateTimeParts{2026, 12, 6, 14, 39, 5, 600}));
    EXPECT_EQ(DecodeDateTime(EncodeDateTime(2024, 2, 29, 23, 59, 59, 999)),
              (TDateTimeParts{2024, 2, 29, 23, 59, 59, 999}));
    EXPECT_EQ(DecodeDateTime(EncodeDateTime(1, 1, 1)), (TDateTimeParts{1, 1, 1, 0, 0, 0, 0}));
    EXPECT_EQ(DecodeDateTime(EncodeDateTime(9999, 12, 31, 23, 59, 59, 999)),
              (TDateTimeParts{9999, 12, 31, 23, 59, 59, 999}));
}

TEST(DateTime, NegativeValuesCountDaysBackAndTimeForward) {
    // -1.25: one day before 1899-12-30, at 06:00.
    EXPECT_EQ(DecodeDateTime(-1.25), (TDateTimeParts{1899, 12, 29, 6, 0, 0, 0}));
    EXPECT_EQ(EncodeDateTime(1899, 12, 29, 6), -1.25);
    EXPECT_EQ(DecodeDateTime(-0.5), (TDateTimeParts{1899, 12, 30, 12, 0, 0, 0}));
}

TEST(DateTime, RoundsToTheMillisecondAndClampsOutOfRange) {
    const double almostMidnight = EncodeDateTime(2020, 1, 1) + (86'400'000.0 - 0.4) / 86'400'000.0;
    EXPECT_EQ(DecodeDateTime(almostMidnight), (TDateTimeParts{2020, 1, 2, 0, 0, 0, 0}));
    EXPECT_EQ(DecodeDateTime(1e300), (TDateTimeParts{9999, 12, 31, 23, 59, 59, 999}));
    EXPECT_EQ(DecodeDateTime(std::numeric_limits<double>::infinity()),
              (TDateTimeParts{9999, 12, 31, 23, 59, 59, 999}));
    EXPECT_EQ(DecodeDateTime(-1e300), (TDateTimeParts{1, 1, 1, 23, 59, 59, 999}));
    EXPECT_EQ(DecodeDateTime(std::nan("")), (TDateTimeParts{1899, 12, 30, 0, 0, 0, 0}));
}

TEST(DateTime, SystemClockIsCountedFrom1970) {
    using namespace std::chrono;
    EXPECT_EQ(DateTimeFromSystemClock(system_clock::time_point{}), 25569.0);
    const system_clock::time_point t{milliseconds(1'796'567'945'250)};  // 2026-12-06 14:39:05.250
    EXPECT_EQ(DecodeDateTime(DateTimeFromSystemClock(t)), (TDateTimeParts{2026, 12, 6, 14, 39, 5, 250}));
    const system_clock::time_point before{milliseconds(-86'400'000 - 3'600'000)};  // 1969-12-30 23:00
    EXPECT_EQ(DecodeDateTime(DateTimeFromSystemClock(before)), (TDateTimeParts{1969, 12, 30, 23, 0, 0, 0}));
}
