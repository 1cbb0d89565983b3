// Shared fixtures of the contact tests: the rich contact of the reference
// files and file access.
#pragma once

#include <string>

#include "UFileUtil.h"
#include "UVCARDParser.h"

namespace qm::test {

// The expected card of a reference file in tests/contact/data.
inline std::string ReferenceCard(const std::string& name) {
    return ReadFileToString(std::string(QM_SOURCE_DIR) + "/tests/contact/data/" + name);
}

// A contact that uses every property and every parameter kind: name parts,
// commas and a semicolon in escaped values, three categories needing quotes,
// a note with "=", coordinates, a sort string, three addresses (preferred
// with label, home, other with a CR LF inside the street), four telephones
// covering every service word and field type, four e-mails, one profile.
inline void FillRichContact(TvContact& c, TvCardVersion version) {
    c.vCardVersion = version;
    c.ID = "urn:uuid:4fbe8971-0bc3-424c-9c26-36c3e1eff6b1";
    c.FirstName = "Jürgen";
    c.LastName = "Müller-Lüdenscheidt";
    c.MiddleName = "Karl";
    c.NamePrefix = "Dr.";
    c.NameSuffix = "MdB";
    c.FullName = "Dr. Jürgen K. Müller-Lüdenscheidt, MdB";
    c.NickName = "Jupp";
    c.Company = "Müller, Söhne & Co; KG";
    c.JobTitle = "Leiter Vertrieb, Nord";
    c.Profession = "Kaufmann";
    c.WebsiteURL = "https://example.com/~jm?a=1&b=2";
    c.Source = "https://example.com/cards/jm.vcf";
    c.TimeZone = "Europe/Berlin";
    c.BirthDay = EncodeDateTime(1961, 2, 28);
    c.Updated = EncodeDateTime(2026, 12, 6, 14, 39, 5, 600);
    c.Categories.SetText("Kunden\r\nA Kunden\r\nLieferant \"Premium\"\r\n");
    c.Note.SetText("Erste Zeile = wichtig\r\nZweite, mit Komma");
    c.GeoLocation.Latitude = 52.520008;
    c.GeoLocation.Longitude = 13.404954;
    c.SortString = "Mueller";

    TvAddress& work = c.Addresses.Add();
    work.AddressType = TvFieldType::ftWork;
    work.Preferred = true;
    work.Number = "Haus B";
    work.Street = "Hauptstr. 1";
    work.City = "Berlin";
    work.Region = "BE";
    work.PostCode = "10115";
    work.Country = "Deutschland";
    work.MailingLabel.SetText("Hauptstr. 1\r\n10115 Berlin");
    TvAddress& home = c.Addresses.Add();
    home.POBox = "Postfach 12 34";
    home.City = "Potsdam";
    home.PostCode = "14467";
    TvAddress& other = c.Addresses.Add();
    other.AddressType = TvFieldType::ftOther;
    other.Street = "Hof 3\r\nAufgang C";

    TvPhone& p1 = c.PhoneNumbers.Add();
    p1.FieldType = TvFieldType::ftWork;
    p1.PhoneType = {TvPhoneType::ptCell, TvPhoneType::ptVoice};
    p1.Preferred = true;
    p1.PhoneNumber = "+49 30 1234567";
    c.PhoneNumbers.Add().PhoneNumber = "030 7654321";
    TvPhone& p3 = c.PhoneNumbers.Add();
    p3.FieldType = TvFieldType::ftOther;
    p3.PhoneType = {TvPhoneType::ptiPhone, TvPhoneType::ptFax, TvPhoneType::ptText, TvPhoneType::ptMain};
    p3.PhoneNumber = "+49 171 000";
    TvPhone& p4 = c.PhoneNumbers.Add();
    p4.FieldType = TvFieldType::ftNone;
    p4.PhoneType = {TvPhoneType::ptTextPhone, TvPhoneType::ptPager, TvPhoneType::ptVideo};
    p4.PhoneNumber = "110";

    TvEmail& e1 = c.Emails.Add();
    e1.EmailType = TvFieldType::ftWork;
    e1.Preferred = true;
    e1.EmailAddress = "j.mueller@example.com";
    c.Emails.Add().EmailAddress = "jupp@example.org";
    TvEmail& e3 = c.Emails.Add();
    e3.EmailType = TvFieldType::ftOther;
    e3.EmailAddress = "x@example.net";
    TvEmail& e4 = c.Emails.Add();
    e4.EmailType = TvFieldType::ftNone;
    e4.EmailAddress = "y@example.net";

    TvSocialItem& s = c.SocialProfile.Add();
    s.Service = "twitter";
    s.User = "jupp";
    s.URI = "https://twitter.com/jupp";

    c.ProdID = "carried only";
    c.ScoreItem = {"score", 7, 0.5};
}

}  // namespace qm::test
