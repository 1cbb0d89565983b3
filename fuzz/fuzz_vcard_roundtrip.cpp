// Arbitrary field values written as a vCard 2.1, 3.0 or 4.0 and read back
// with a strict structural reader (tests/support/VCardReader.h): every field
// the writer escapes must come back exactly as it was written, each in its
// own place, with only its line breaks changed (a line feed in 3.0 and 4.0,
// a space in 2.1, which has no escape for them). Parameter values (the 4.0
// sort string and label, the social profiles) are not filled: they are
// written as they are.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzInput.h"
#include "UVCARDParser.h"
#include "VCardReader.h"

namespace {

using qm::fuzz::TReader;

using qm::test::ReplaceBreaks;
using qm::test::SingleValue;
using qm::test::SplitValue;

void Check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TReader in(data, size);
    qm::TvCardDocument doc;
    qm::TvContact& c = doc.vContacts.Add();
    const std::uint8_t flags = in.Byte();
    constexpr qm::TvCardVersion kVersions[] = {qm::TvCardVersion::vv21, qm::TvCardVersion::vv30,
                                               qm::TvCardVersion::vv40};
    c.vCardVersion = kVersions[flags % 3];
    const bool v21 = c.vCardVersion == qm::TvCardVersion::vv21;
    const bool v30 = c.vCardVersion == qm::TvCardVersion::vv30;
    const bool v40 = c.vCardVersion == qm::TvCardVersion::vv40;
    for (std::string* s : {&c.LastName, &c.FirstName, &c.MiddleName, &c.NamePrefix, &c.NameSuffix, &c.FullName,
                           &c.NickName, &c.Company, &c.JobTitle, &c.Profession, &c.Source, &c.ID, &c.TimeZone,
                           &doc.ProdID}) {
        *s = in.Text();
    }
    if (!v40) c.SortString = in.Text();
    // Entries of CATEGORIES and NOTE are cut at 0x1F, so that they may hold
    // line breaks.
    for (qm::TStringList* list : {&c.Categories, &c.Note}) {
        for (const std::string& entry : SplitValue(in.Text(), '\x1F')) list->Add(entry);
        if (flags & 0x80) list->Clear();
    }
    qm::TvAddress& a = c.Addresses.Add();
    const std::vector<std::string*> adr{&a.POBox, &a.Number, &a.Street, &a.City, &a.Region, &a.PostCode, &a.Country};
    for (std::string* s : adr) *s = in.Text();
    qm::TvPhone& tel = c.PhoneNumbers.Add();
    tel.PhoneNumber = in.Text();
    qm::TvEmail& email = c.Emails.Add();
    email.EmailAddress = in.Text();

    std::map<std::string, std::string> card;  // each property read is there once
    for (const qm::test::TVCardProperty& p : qm::test::ReadProperties(doc.ContactText(c))) {
        Check(card.emplace(p.Name, p.Value).second || p.Name == "BEGIN" || p.Name == "END");
    }
    // Line breaks read back as line feeds, or as the spaces 2.1 has for them.
    const std::string_view lf = v21 ? " " : "\n";
    // A compound value: its components, in 3.0 and 4.0 without an unescaped
    // comma.
    const auto compound = [&](const std::string& name, const std::vector<const std::string*>& parts) {
        const std::vector<std::string> read = SplitValue(card.at(name), ';');
        Check(read.size() == parts.size());
        for (std::size_t i = 0; i < parts.size(); ++i) {
            Check((v21 ? qm::test::Unescape(read[i]) : SingleValue(read[i])) == ReplaceBreaks(*parts[i], lf));
        }
    };
    // A value written escaped or, with its line breaks as "\n" (2.1: " "), as
    // it is.
    const auto single = [&](const std::string& name, const std::string& source, bool escaped) {
        if (source.empty()) return;
        const std::string& raw = card.at(name);
        Check(escaped ? SingleValue(raw) == ReplaceBreaks(source, lf) : raw == ReplaceBreaks(source, v21 ? " " : "\\n"));
    };

    compound("N", {&c.LastName, &c.FirstName, &c.MiddleName, &c.NamePrefix, &c.NameSuffix});
    if (!c.Company.empty()) compound("ORG", {&c.Company});
    compound("ADR", {adr.begin(), adr.end()});
    const bool blank = std::all_of(c.FullName.begin(), c.FullName.end(),
                                   [](char ch) { return static_cast<unsigned char>(ch) <= ' '; });
    single("FN", blank ? c.FirstName + " " + c.LastName : c.FullName, true);
    single("TITLE", c.JobTitle, true);
    single("ROLE", c.Profession, true);
    single("SOURCE", c.Source, true);
    single("NICKNAME", c.NickName, !v21);
    single("PRODID", doc.ProdID, !v21);
    single("EMAIL", email.EmailAddress, !v21);
    single("UID", c.ID, v30);
    single("TZ", c.TimeZone, v40);
    single("TEL", tel.PhoneNumber, v40);
    if (!v40) single("SORT-STRING", c.SortString.empty() ? c.FullName : c.SortString, !v21);
    if (!c.Categories.Empty()) {
        const std::vector<std::string> read = SplitValue(card.at("CATEGORIES"), ',');
        Check(read.size() == c.Categories.Count());
        for (std::size_t i = 0; i < read.size(); ++i) {
            Check(qm::test::CategoryEntry(read[i]) == ReplaceBreaks(c.Categories[i], lf));
        }
    }
    // The 2.1 note is quoted-printable, which this reader does not decode.
    if (!v21 && !c.Note.Empty()) {
        std::string note;
        for (const std::string& entry : c.Note) note.append(ReplaceBreaks(entry, lf)).push_back('\n');
        Check(SingleValue(card.at("NOTE")) == note);
    }
    return 0;
}
