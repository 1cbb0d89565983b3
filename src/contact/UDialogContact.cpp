#include "UDialogContact.h"

#include "UStringUtil.h"

namespace qm {

std::string CleanCompanyName(std::string_view company) {
    const auto isTrimmed = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    std::size_t first = 0;
    std::size_t last = company.size();
    while (first < last && isTrimmed(company[first])) ++first;
    while (last > first && isTrimmed(company[last - 1])) --last;
    std::string out(company.substr(first, last - first));
    ReplaceAllIgnoreCase(out, "\xC2\xAC", " ");
    ReplaceAllIgnoreCase(out, "  ", " ");
    return out;
}

void FillDialogContact(TvContact& contact, const TCardFields& fields, TDateTime nowUtc) {
    contact.Updated = nowUtc;
    contact.vCardVersion = TvCardVersion::vv40;
    contact.Categories.SetText(fields.Group);
    contact.FirstName = fields.FirstName;
    contact.LastName = fields.LastName;
    contact.Company = CleanCompanyName(fields.Company);

    TvAddress& address = contact.Addresses.Add();
    address.AddressType = TvFieldType::ftWork;
    address.Street = fields.Street;
    address.City = fields.Town;
    address.PostCode = fields.ZipCode;

    for (const std::string& email : fields.Emails) {
        if (email.empty()) continue;
        TvEmail& e = contact.Emails.Add();
        e.EmailAddress = email;
        e.EmailType = TvFieldType::ftWork;
    }
    for (const std::string& phone : fields.Phones) {
        if (phone.empty()) continue;
        TvPhone& p = contact.PhoneNumbers.Add();
        p.PhoneNumber = phone;
        p.FieldType = TvFieldType::ftWork;
        p.PhoneType = {};
        p.Preferred = false;
    }
}

std::string BuildDialogCardText(const TCardFields& fields, TDateTime nowUtc) {
    TvCardDocument card;
    card.ProdID = kCardProdID;
    FillDialogContact(card.vContacts.Add(), fields, nowUtc);
    return card.GetText();
}

TDateTime NowUtc() { return DateTimeFromSystemClock(std::chrono::system_clock::now()); }

}  // namespace qm
