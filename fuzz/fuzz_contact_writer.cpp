// Arbitrary field texts, flags and numbers through the contact model and the
// vCard writer: no value may add or break a line, the card must keep its
// frame, a deep copy must render identically, and coordinates must read back.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "UDialogContact.h"
#include "FuzzInput.h"
#include "UVCARDParser.h"

namespace {

using qm::fuzz::TReader;

// Lines a contact must give: the frame and every property the writer emits.
std::size_t ExpectedLines(const qm::TvCardDocument& doc, const qm::TvContact& c, bool v40) {
    std::size_t n = 6;  // BEGIN, VERSION, N, FN, REV, END
    for (const std::string* s : {&c.ID, &c.NickName, &c.Company, &c.JobTitle, &c.Profession,
                                 &c.WebsiteURL, &c.Source, &c.TimeZone, &doc.ProdID}) {
        n += !s->empty();
    }
    n += c.BirthDay != 0;
    n += !c.Categories.Empty();
    n += !c.Note.Empty();
    n += c.GeoLocation.Latitude != 0 && c.GeoLocation.Longitude != 0;
    n += !v40 && !(c.SortString.empty() ? c.FullName : c.SortString).empty();
    for (const qm::TvAddress& a : c.Addresses) n += 1 + (!v40 && !a.MailingLabel.Empty());
    return n + c.PhoneNumbers.Count() + c.Emails.Count() + c.SocialProfile.Count();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TReader in(data, size);
    qm::TvCardDocument doc;
    qm::TvContact& c = doc.vContacts.Add();
    const std::uint8_t flags = in.Byte();
    c.vCardVersion = static_cast<qm::TvCardVersion>(flags % 4);
    const bool v40 = c.vCardVersion == qm::TvCardVersion::vv40 || c.vCardVersion == qm::TvCardVersion::vvNone;
    for (std::string* s : {&doc.ProdID, &c.ID, &c.FirstName, &c.LastName, &c.MiddleName, &c.NamePrefix,
                           &c.NameSuffix, &c.FullName, &c.NickName, &c.Company, &c.JobTitle,
                           &c.Profession, &c.WebsiteURL, &c.Source, &c.SortString, &c.TimeZone}) {
        *s = in.Text();
    }
    c.Categories.SetText(in.Text());
    c.Note.Items.push_back(in.Text());
    c.BirthDay = in.Number();
    c.Updated = in.Number();
    c.GeoLocation.Latitude = in.Number();
    c.GeoLocation.Longitude = in.Number();
    for (int i = in.Byte() % 4; i > 0; --i) {
        const std::uint8_t f = in.Byte();
        qm::TvAddress& a = c.Addresses.Add();
        a.AddressType = static_cast<qm::TvFieldType>(f % 4);
        a.Preferred = f & 4;
        for (std::string* s : {&a.POBox, &a.Number, &a.Street, &a.City, &a.Region, &a.PostCode, &a.Country}) {
            *s = in.Text();
        }
        if (f & 8) a.MailingLabel.Items.push_back(in.Text());
    }
    for (int i = in.Byte() % 4; i > 0; --i) {
        const std::uint8_t f = in.Byte();
        qm::TvPhone& p = c.PhoneNumbers.Add();
        p.FieldType = static_cast<qm::TvFieldType>(f % 4);
        p.Preferred = f & 4;
        p.PhoneType = qm::TvPhoneTypes::FromBits(static_cast<std::uint16_t>(in.Byte() << 1 | (f >> 7)));
        p.PhoneNumber = in.Text();
    }
    for (int i = in.Byte() % 4; i > 0; --i) {
        const std::uint8_t f = in.Byte();
        qm::TvEmail& e = c.Emails.Add();
        e.EmailType = static_cast<qm::TvFieldType>(f % 4);
        e.Preferred = f & 4;
        e.EmailAddress = in.Text();
    }
    if (flags & 4) {
        qm::TvSocialItem& s = c.SocialProfile.Add();
        s.Service = in.Text();
        s.User = in.Text();
        s.URI = in.Text();
    }

    const std::string card = doc.ContactText(c);
    if (!card.starts_with("BEGIN:VCARD\n") || !card.ends_with("\nEND:VCARD")) std::abort();
    if (card.find('\r') != std::string::npos) std::abort();
    if (static_cast<std::size_t>(std::count(card.begin(), card.end(), '\n')) + 1 != ExpectedLines(doc, c, v40)) {
        std::abort();
    }

    qm::TvContact& copy = doc.vContacts.Add();
    copy.Assign(c);
    if (doc.GetText() != card + "\n" + card + "\n") std::abort();

    for (double v : {c.GeoLocation.Latitude, c.GeoLocation.Longitude}) {
        if (!std::isfinite(v)) continue;
        const double back = std::strtod(qm::FormatCoordinate(v).c_str(), nullptr);
        // Fifteen digits of a value this close to the largest double round
        // beyond it, so only there the text may read back as infinite.
        const bool overflowed = std::isinf(back) && std::fabs(v) > 1.797693134862315e308;
        if (!overflowed && std::fabs(back - v) > std::fabs(v) * 1e-14) std::abort();
    }

    qm::TCardFields fields;
    fields.Company = c.Company;
    fields.Group = c.FirstName;
    fields.Emails.Items.push_back(c.LastName);
    const std::string dialogCard = qm::BuildDialogCardText(fields, c.Updated);
    if (!dialogCard.ends_with("\nEND:VCARD\n")) std::abort();
    return 0;
}
