// The one contact the dialog and the card tool build from a host address
// record, and its vCard 4.0 text.
#pragma once

#include <string>
#include <string_view>

#include "UStringList.h"
#include "UVCARDParser.h"

namespace qm {

// PRODID of every card this program writes.
inline constexpr std::string_view kCardProdID = "Corvanta";

// The address record's field texts that feed the card, unchanged as the host
// sent them (empty when the record lacks the field), and the two lists that
// the communication field splitter made from "IX". One structure from the
// record (ReadCardFields) to the contact, the caption and the file names.
struct TCardFields {
    std::string Group;      // "Group": one category per line, "" for none
    std::string FirstName;  // "FirstName"
    std::string LastName;   // "LastName"
    std::string Company;    // "Company", raw; CleanCompanyName runs on it
    std::string Street;     // "Street"
    std::string Town;       // "Town"
    std::string ZipCode;    // "ZipCode"
    TStringList Emails;     // empty entries are skipped
    TStringList Phones;     // empty entries are skipped
};

// Company text as the contact shows it: leading and trailing characters up to
// the space removed, every "¬" (U+00AC) made a space, then each pair of spaces
// made one space in a single left-to-right pass (four spaces become two).
std::string CleanCompanyName(std::string_view company);

// Fills `contact`, expected fresh from its collection, in this order: Updated
// := nowUtc; version 4.0; Categories from Group's lines; first and last name;
// the cleaned company; one work address (Street, City := Town, PostCode :=
// ZipCode); one work e-mail per non-empty entry of Emails and one work
// telephone (no service types, not preferred) per non-empty entry of Phones,
// in list order. `nowUtc` is the current time in UTC, because the REV line
// states UTC ("Z") and the writer converts nothing.
void FillDialogContact(TvContact& contact, const TCardFields& fields, TDateTime nowUtc);

// A document with ProdID kCardProdID holding the one filled contact, rendered:
// the card's complete text, ending with the LF after "END:VCARD".
std::string BuildDialogCardText(const TCardFields& fields, TDateTime nowUtc);

// The current time in UTC as a TDateTime, for FillDialogContact.
TDateTime NowUtc();

}  // namespace qm
