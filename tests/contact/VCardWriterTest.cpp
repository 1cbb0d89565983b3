#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <locale>

#include "ContactTestData.h"
#include "UVCARDParser.h"

using namespace qm;

namespace {

// A document with ProdID "Corvanta" and one contact named A B, written at a
// fixed time, in `version`.
struct TOneContact {
    explicit TOneContact(TvCardVersion version) : c(doc.vContacts.Add()) {
        doc.ProdID = "Corvanta";
        c.vCardVersion = version;
        c.FirstName = "A";
        c.LastName = "B";
        c.Updated = EncodeDateTime(2026, 12, 6, 14, 39, 5);
    }
    std::string Text() const { return doc.ContactText(c); }

    TvCardDocument doc;
    TvContact& c;
};

// The REV value of TOneContact's time in `version` ("2.1", "3.0", "4.0").
std::string Revision(std::string_view version) {
    return version == "4.0" ? "20261206T143905Z" : "2026-12-06T14:39:05Z";
}

// The lines of a card around the given middle lines (each with its LF).
std::string Card(std::string_view version, std::string_view middle) {
    return "BEGIN:VCARD\nVERSION:" + std::string(version) + "\nN:B;A;;;\nFN:A B\nREV:" + Revision(version) +
           "\nPRODID:Corvanta\n" + std::string(middle) + "END:VCARD";
}

class ReferenceCards : public testing::TestWithParam<std::pair<TvCardVersion, const char*>> {};

}  // namespace

TEST_P(ReferenceCards, RichContactMatchesFile) {
    TvCardDocument doc;
    doc.ProdID = "Corvanta";
    test::FillRichContact(doc.vContacts.Add(), GetParam().first);
    EXPECT_EQ(doc.GetText(), test::ReferenceCard(GetParam().second));
}

INSTANTIATE_TEST_SUITE_P(AllVersions, ReferenceCards,
                         testing::Values(std::pair{TvCardVersion::vv21, "rich_21.vcf"},
                                         std::pair{TvCardVersion::vv30, "rich_30.vcf"},
                                         std::pair{TvCardVersion::vv40, "rich_40.vcf"}),
                         [](const auto& info) {
                             return std::string(info.param.second).substr(0, 7);
                         });

TEST(Writer, MinimalContactVersion30) {
    TvCardDocument doc;
    TvContact& c = doc.vContacts.Add();
    c.FirstName = "A";
    c.LastName = "B";
    EXPECT_EQ(doc.ContactText(c),
              "BEGIN:VCARD\nVERSION:3.0\nN:B;A;;;\nFN:A B\nREV:1899-12-30T00:00:00Z\nEND:VCARD");
    EXPECT_EQ(doc.GetText(), doc.ContactText(c) + "\n");
}

TEST(Writer, EmptyDocumentGivesEmptyText) {
    TvCardDocument doc;
    EXPECT_EQ(doc.GetText(), "");
}

TEST(Writer, TwoContactsGiveTwoBlocksEachWithLineFeed) {
    TvCardDocument doc;
    TvContact& first = doc.vContacts.Add();
    first.FirstName = "A";
    first.LastName = "B";
    TvContact& second = doc.vContacts.Add();
    second.vCardVersion = TvCardVersion::vv21;
    second.FullName = "C D";
    doc.ProdID = "X";
    EXPECT_EQ(doc.GetText(),
              "BEGIN:VCARD\nVERSION:3.0\nN:B;A;;;\nFN:A B\nREV:1899-12-30T00:00:00Z\nPRODID:X\nEND:VCARD\n"
              "BEGIN:VCARD\nVERSION:2.1\nN:;;;;\nFN:C D\nREV:1899-12-30T00:00:00Z\nPRODID:X\n"
              "SORT-STRING:C D\nEND:VCARD\n");
}

TEST(Writer, RevisionFallsBackToDocumentDefault) {
    TOneContact one(TvCardVersion::vv40);
    one.c.Updated = 0;
    one.doc.DefaultRevision = EncodeDateTime(2001, 2, 3, 4, 5, 6, 999);
    EXPECT_EQ(one.Text(), "BEGIN:VCARD\nVERSION:4.0\nN:B;A;;;\nFN:A B\nREV:20010203T040506Z\n"
                          "PRODID:Corvanta\nEND:VCARD");
}

TEST(Writer, FullNameBlankFallsBackUntrimmedOtherwise) {
    TOneContact one(TvCardVersion::vv40);
    one.c.FullName = "   ";
    EXPECT_EQ(one.Text(), Card("4.0", ""));
    one.c.FullName = " X ";
    EXPECT_EQ(one.Text(), "BEGIN:VCARD\nVERSION:4.0\nN:B;A;;;\nFN: X \nREV:20261206T143905Z\n"
                          "PRODID:Corvanta\nEND:VCARD");
    one.c.FullName = "";
    one.c.FirstName = "Alpha, Beta";
    EXPECT_NE(one.Text().find("\nFN:Alpha\\, Beta B\n"), std::string::npos);
}

// RFC 6350 3.4 and RFC 2426 4: a backslash always, a semicolon inside
// compound values (N, ADR, ORG), a comma in text values. vCard 2.1 escapes
// only inside compound values, and FN, ORG, TITLE, ROLE and SOURCE, whose
// commas every version escapes. URIs stay as they are.
TEST(Writer, EscapingPerVersion) {
    TOneContact one(TvCardVersion::vv30);
    one.c.LastName = "B\\";
    one.c.FirstName = "A;,";
    one.c.Company = "Alpha, Beta; Gamma\\";
    one.c.JobTitle = "T,";
    one.c.Profession = ",R\\";
    one.c.Source = "s,s";
    one.c.NickName = "n,n";
    one.c.ID = "i,d";
    one.c.WebsiteURL = "u,u\\";
    one.c.TimeZone = "t,z";
    one.c.Note = {"a,\\"};
    one.c.Addresses.Add().Street = "S;\\,";
    one.c.PhoneNumbers.Add().PhoneNumber = "1,2";
    one.c.Emails.Add().EmailAddress = "e,\\";
    EXPECT_EQ(one.Text(), "BEGIN:VCARD\nVERSION:3.0\nN:B\\\\;A\\;\\,;;;\nFN:A;\\, B\\\\\nUID:i\\,d\n"
                              "NICKNAME:n\\,n\nORG:Alpha\\, Beta\\; Gamma\\\\\nTITLE:T\\,\nROLE:\\,R\\\\\n"
                              "URL;TYPE=work:u,u\\\nSOURCE:s\\,s\nTZ:t,z\nREV:2026-12-06T14:39:05Z\n"
                              "PRODID:Corvanta\nNOTE:a\\,\\\\\\n\nADR;TYPE=HOME:;;S\\;\\\\\\,;;;;\n"
                              "TEL;TYPE=HOME:1,2\nEMAIL;TYPE=INTERNET;TYPE=HOME:e\\,\\\\\nEND:VCARD");
    one.c.vCardVersion = TvCardVersion::vv40;
    EXPECT_EQ(one.Text(), "BEGIN:VCARD\nVERSION:4.0\nN:B\\\\;A\\;\\,;;;\nFN:A;\\, B\\\\\nUID:i,d\n"
                              "NICKNAME:n\\,n\nORG:Alpha\\, Beta\\; Gamma\\\\\nTITLE:T\\,\nROLE:\\,R\\\\\n"
                              "URL;TYPE=work:u,u\\\nSOURCE:s\\,s\nTZ:t\\,z\nREV:20261206T143905Z\n"
                              "PRODID:Corvanta\nNOTE:a\\,\\\\\\n\nADR;TYPE=HOME:;;S\\;\\\\\\,;;;;\n"
                              "TEL;TYPE=HOME:1\\,2\nEMAIL;TYPE=INTERNET;TYPE=HOME:e\\,\\\\\nEND:VCARD");
    one.c.vCardVersion = TvCardVersion::vv21;
    one.c.Note.Clear();
    EXPECT_EQ(one.Text(), "BEGIN:VCARD\nVERSION:2.1\nN:B\\\\;A\\;,;;;\nFN:A;\\, B\\\\\nUID:i,d\n"
                              "NICKNAME:n,n\nORG:Alpha\\, Beta\\; Gamma\\\\\nTITLE:T\\,\nROLE:\\,R\\\\\n"
                              "URL;WORK:u,u\\\nSOURCE:s\\,s\nTZ:t,z\nREV:2026-12-06T14:39:05Z\n"
                              "PRODID:Corvanta\nADR;HOME:;;S\\;\\\\,;;;;\n"
                              "TEL;TYPE=HOME:1,2\nEMAIL;INTERNET;HOME:e,\\\nEND:VCARD");
}

TEST(Writer, NoteVersion21IsQuotedPrintable) {
    TOneContact one(TvCardVersion::vv21);
    one.c.Note = {"a=b", "c"};
    EXPECT_EQ(one.Text(), Card("2.1", "NOTE;ENCODING=QUOTED-PRINTABLE:a=3Db=0D=0Ac=0D=0A\n"));
}

TEST(Writer, NoteVersion40EndsEachEntryWithBackslashN) {
    TOneContact one(TvCardVersion::vv40);
    one.c.Note = {"a=b", "c"};
    EXPECT_EQ(one.Text(), Card("4.0", "NOTE:a=b\\nc\\n\n"));
}

TEST(Writer, TelephoneServiceWordsInFixedOrder) {
    TOneContact one(TvCardVersion::vv40);
    TvPhone& p = one.c.PhoneNumbers.Add();
    p.PhoneNumber = "1";
    p.FieldType = TvFieldType::ftWork;
    p.PhoneType = {TvPhoneType::ptCell, TvPhoneType::ptVoice};
    EXPECT_EQ(one.Text(), Card("4.0", "TEL;TYPE=WORK;TYPE=VOICE,CELL:1\n"));
    one.c.vCardVersion = TvCardVersion::vv21;
    EXPECT_EQ(one.Text(), Card("2.1", "TEL;TYPE=WORK;VOICE,CELL:1\n"));
    p.PhoneType = {TvPhoneType::ptMain, TvPhoneType::ptText};
    EXPECT_EQ(one.Text(), Card("2.1", "TEL;TYPE=WORK;TEXT,MAIN:1\n"));
    p.PhoneType = {TvPhoneType::ptiPhone, TvPhoneType::ptFax};
    p.FieldType = TvFieldType::ftNone;
    p.Preferred = true;
    EXPECT_EQ(one.Text(), Card("2.1", "TEL;FAX,IPHONE;PREF:1\n"));
    one.c.vCardVersion = TvCardVersion::vv30;
    p.FieldType = TvFieldType::ftOther;
    EXPECT_EQ(one.Text(), Card("3.0", "TEL;TYPE=OTHER;TYPE=FAX,IPHONE;TYPE=PREF:1\n"));
    p.PhoneType = TvPhoneTypes::FromBits(0x1FF);
    EXPECT_EQ(one.Text(),
              Card("3.0", "TEL;TYPE=OTHER;TYPE=TEXT,VOICE,FAX,CELL,IPHONE,MAIN,VIDEO,PAGER,TEXTPHONE;"
                          "TYPE=PREF:1\n"));
}

TEST(Writer, EmailTypeAndPreference) {
    TOneContact one(TvCardVersion::vv40);
    TvEmail& e = one.c.Emails.Add();
    e.EmailAddress = "x@y";
    e.EmailType = TvFieldType::ftOther;
    EXPECT_EQ(one.Text(), Card("4.0", "EMAIL;TYPE=INTERNET;TYPE=:x@y\n"));
    one.c.vCardVersion = TvCardVersion::vv21;
    e.EmailType = TvFieldType::ftHome;
    e.Preferred = true;
    EXPECT_EQ(one.Text(), Card("2.1", "EMAIL;INTERNET;PREF;HOME:x@y\n"));
    e.EmailType = TvFieldType::ftNone;
    EXPECT_EQ(one.Text(), Card("2.1", "EMAIL;INTERNET;PREF;:x@y\n"));
}

TEST(Writer, GeoUsesPointWhateverTheLocale) {
    // A C++ global locale and, where installed, a C locale with a decimal comma.
    struct TCommaPoint : std::numpunct<char> {
        char do_decimal_point() const override { return ','; }
    };
    const std::locale previous = std::locale::global(std::locale(std::locale::classic(), new TCommaPoint));
    const bool germanC = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
    TOneContact one(TvCardVersion::vv40);
    one.c.GeoLocation.Latitude = 52.5;
    one.c.GeoLocation.Longitude = 13.4;
    const std::string v40 = one.Text();
    one.c.vCardVersion = TvCardVersion::vv30;
    const std::string v30 = one.Text();
    std::locale::global(previous);
    if (germanC) std::setlocale(LC_NUMERIC, "C");
    EXPECT_EQ(v40, Card("4.0", "GEO;TYPE=work:geo:52.5,13.4\n"));
    EXPECT_EQ(v30, Card("3.0", "GEO:52.5;13.4\n"));
}

TEST(Writer, GeoNeedsBothCoordinates) {
    TOneContact one(TvCardVersion::vv40);
    one.c.GeoLocation.Longitude = 13.4;
    EXPECT_EQ(one.Text(), Card("4.0", ""));
    one.c.GeoLocation.Latitude = -33.865143;
    EXPECT_EQ(one.Text(), Card("4.0", "GEO;TYPE=work:geo:-33.865143,13.4\n"));
    one.c.GeoLocation.Longitude = 0;
    EXPECT_EQ(one.Text(), Card("4.0", ""));
}

TEST(Writer, SortStringPerVersion) {
    TOneContact one(TvCardVersion::vv40);
    one.c.SortString = "X";
    EXPECT_EQ(one.Text(), "BEGIN:VCARD\nVERSION:4.0\nN;SORT-STRING=X:B;A;;;\nFN:A B\n"
                          "REV:20261206T143905Z\nPRODID:Corvanta\nEND:VCARD");
    one.c.vCardVersion = TvCardVersion::vv30;
    EXPECT_EQ(one.Text(), Card("3.0", "SORT-STRING:X\n"));
    one.c.SortString = "";
    one.c.FullName = "Full";
    EXPECT_EQ(one.Text(), "BEGIN:VCARD\nVERSION:3.0\nN:B;A;;;\nFN:Full\nREV:2026-12-06T14:39:05Z\n"
                          "PRODID:Corvanta\nSORT-STRING:Full\nEND:VCARD");
}

TEST(Writer, MailingLabelPerVersion) {
    TOneContact one(TvCardVersion::vv40);
    TvAddress& a = one.c.Addresses.Add();
    a.AddressType = TvFieldType::ftWork;
    a.Street = "S";
    a.MailingLabel = {"L1", "L=2"};
    EXPECT_EQ(one.Text(), Card("4.0", "ADR;TYPE=WORK;LABEL=\"L1\\nL=2\\n\":;;S;;;;\n"));
    one.c.vCardVersion = TvCardVersion::vv30;
    EXPECT_EQ(one.Text(),
              Card("3.0", "ADR;TYPE=WORK:;;S;;;;\nLABEL;ENCODING=QUOTED-PRINTABLE:L1=0D=0AL=3D2=0D=0A\n"));
    one.c.vCardVersion = TvCardVersion::vv21;
    a.Preferred = true;
    a.AddressType = TvFieldType::ftNone;
    EXPECT_EQ(one.Text(),
              Card("2.1", "ADR;PREF;:;;S;;;;\nLABEL;ENCODING=QUOTED-PRINTABLE:L1=0D=0AL=3D2=0D=0A\n"));
}

TEST(Writer, CategoriesCommaList) {
    TOneContact one(TvCardVersion::vv40);
    one.c.Categories = {""};
    EXPECT_EQ(one.Text(), Card("4.0", "CATEGORIES:\"\"\n"));
    one.c.Categories = {"", "a"};
    EXPECT_EQ(one.Text(), Card("4.0", "CATEGORIES:,a\n"));
    one.c.Categories = {"a,b", "c\"d", "e\tf", "g\\", "h, i"};
    EXPECT_EQ(one.Text(), Card("4.0", "CATEGORIES:a\\,b,\"c\"\"d\",\"e\tf\",g\\\\,\"h\\, i\"\n"));
}

TEST(Writer, SocialProfileAndBirthday) {
    TOneContact one(TvCardVersion::vv30);
    one.c.BirthDay = EncodeDateTime(812, 3, 4, 23, 0);
    TvSocialItem& s = one.c.SocialProfile.Add();
    s.Service = "x";
    s.User = "u";
    s.URI = "https://x/u";
    EXPECT_EQ(one.Text(), "BEGIN:VCARD\nVERSION:3.0\nN:B;A;;;\nFN:A B\nBDAY:08120304\n"
                          "REV:2026-12-06T14:39:05Z\nPRODID:Corvanta\n"
                          "X-SOCIALPROFILE;type=x;x-user=u:https://x/u\nEND:VCARD");
}

TEST(Writer, VersionNoneIsWrittenAsVersion40) {
    TvCardDocument none;
    TvCardDocument v40;
    none.ProdID = v40.ProdID = "Corvanta";
    test::FillRichContact(none.vContacts.Add(), TvCardVersion::vvNone);
    test::FillRichContact(v40.vContacts.Add(), TvCardVersion::vv40);
    EXPECT_EQ(none.GetText(), v40.GetText());
    EXPECT_EQ(none.GetText(), test::ReferenceCard("rich_40.vcf"));
    EXPECT_EQ(none.vContacts[0].vCardVersion, TvCardVersion::vvNone);
}

TEST(LineBreaksInValues, EscapedInVersions30And40) {
    for (TvCardVersion version : {TvCardVersion::vv30, TvCardVersion::vv40}) {
        TOneContact one(version);
        one.c.Company = "Alpha\r\nBeta,\rGamma\nDelta";
        one.c.Categories = {"a\nb"};
        TvPhone& p = one.c.PhoneNumbers.Add();
        p.PhoneNumber = "030\r\n1";
        const std::string v = version == TvCardVersion::vv30 ? "3.0" : "4.0";
        EXPECT_EQ(one.Text(), "BEGIN:VCARD\nVERSION:" + v +
                                  "\nN:B;A;;;\nFN:A B\nORG:Alpha\\nBeta\\,\\nGamma\\nDelta\n"
                                  "REV:" + Revision(v) + "\nPRODID:Corvanta\nCATEGORIES:\"a\\nb\"\n"
                                  "TEL;TYPE=HOME:030\\n1\nEND:VCARD");
    }
}

TEST(LineBreaksInValues, SpacesInVersion21ButQuotedPrintableStays) {
    TOneContact one(TvCardVersion::vv21);
    one.c.FirstName = "A\r\n";
    one.c.Note = {"x\ny"};
    TvAddress& a = one.c.Addresses.Add();
    a.City = "\n\rX";
    a.MailingLabel = {"l\r\nm"};
    EXPECT_EQ(one.Text(), "BEGIN:VCARD\nVERSION:2.1\nN:B;A ;;;\nFN:A  B\nREV:2026-12-06T14:39:05Z\n"
                          "PRODID:Corvanta\nNOTE;ENCODING=QUOTED-PRINTABLE:x=0Ay=0D=0A\n"
                          "ADR;HOME:;;;  X;;;\nLABEL;ENCODING=QUOTED-PRINTABLE:l=0D=0Am=0D=0A\nEND:VCARD");
}

TEST(LineBreaksInValues, NoValueOfAnyPropertyAddsALine) {
    // Every string the writer emits carries a break; the card keeps exactly
    // the lines it has without them.
    for (TvCardVersion version : {TvCardVersion::vv21, TvCardVersion::vv30, TvCardVersion::vv40}) {
        TvCardDocument doc;
        doc.ProdID = "P\r\nQ";
        TvContact& c = doc.vContacts.Add();
        test::FillRichContact(c, version);
        TvContact& clean = doc.vContacts.Add();
        clean.Assign(c);
        for (std::string* s : {&c.ID, &c.FirstName, &c.LastName, &c.MiddleName, &c.NamePrefix,
                               &c.NameSuffix, &c.FullName, &c.NickName, &c.Company, &c.JobTitle,
                               &c.Profession, &c.WebsiteURL, &c.Source, &c.SortString, &c.TimeZone,
                               &c.Addresses[1].City, &c.PhoneNumbers[0].PhoneNumber,
                               &c.Emails[0].EmailAddress, &c.SocialProfile[0].Service,
                               &c.SocialProfile[0].User, &c.SocialProfile[0].URI}) {
            s->append("\r\nx\ry\n");
        }
        c.Categories.Add("c\nd");
        c.Note.Add("n\r\n");
        c.Addresses[0].MailingLabel.Add("m\rn");
        const std::string broken = doc.ContactText(c);
        const std::string reference = doc.ContactText(clean);
        EXPECT_EQ(std::count(broken.begin(), broken.end(), '\n'),
                  std::count(reference.begin(), reference.end(), '\n'));
        EXPECT_EQ(broken.find('\r'), std::string::npos);
    }
}

TEST(ValueForms, QuotedPrintableEncodesEqualsFirst) {
    EXPECT_EQ(QuotedPrintable("=\r\n"), "=3D=0D=0A");
    EXPECT_EQ(QuotedPrintable("\xC3\xA4;\\,"), "\xC3\xA4;\\,");
    EXPECT_EQ(EscapeText(",a;\\", false, true), "\\,a;\\\\");
    EXPECT_EQ(EscapeText(",a;\\", true, false), ",a\\;\\\\");
}

TEST(ValueForms, RevisionAndBirthday) {
    EXPECT_EQ(FormatRevision(0), "1899-12-30T00:00:00Z");
    // RFC 6350 section 4.3.5: a vCard 4.0 time stamp is in the basic format.
    EXPECT_EQ(FormatRevisionBasic(0), "18991230T000000Z");
    EXPECT_EQ(FormatRevisionBasic(EncodeDateTime(812, 3, 4, 5, 6, 7, 999)), "08120304T050607Z");
    EXPECT_EQ(FormatRevision(EncodeDateTime(812, 3, 4, 5, 6, 7, 999)), "812-03-04T05:06:07Z");
    EXPECT_EQ(FormatRevision(EncodeDateTime(2026, 12, 6, 23, 59, 59, 999)), "2026-12-06T23:59:59Z");
    EXPECT_EQ(FormatBirthday(EncodeDateTime(812, 3, 4)), "08120304");
    EXPECT_EQ(FormatBirthday(EncodeDateTime(1961, 2, 28, 18)), "19610228");
}

TEST(ValueForms, CoordinateShortestFormFifteenDigits) {
    EXPECT_EQ(FormatCoordinate(52.5), "52.5");
    EXPECT_EQ(FormatCoordinate(-13.0), "-13");
    EXPECT_EQ(FormatCoordinate(0.1 + 0.2), "0.3");
    EXPECT_EQ(FormatCoordinate(1.0 / 3.0), "0.333333333333333");
    EXPECT_EQ(FormatCoordinate(123456789012345.0), "123456789012345");
    EXPECT_EQ(FormatCoordinate(1e15), "1E15");
    EXPECT_EQ(FormatCoordinate(-1.5e20), "-1.5E20");
    EXPECT_EQ(FormatCoordinate(0.00001), "0.00001");
    EXPECT_EQ(FormatCoordinate(0.0000012345), "1.2345E-6");
    EXPECT_EQ(FormatCoordinate(5e-324), "4.94065645841247E-324");
    EXPECT_EQ(FormatCoordinate(std::nan("")), "NAN");
    EXPECT_EQ(FormatCoordinate(-INFINITY), "-INF");
}
