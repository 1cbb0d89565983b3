// Cards whose values hold what vCard gives a meaning to, read back field by
// field: versions 3.0 and 4.0 by an independent parser (python3-vobject),
// 2.1, which it does not read, by the tests' structural reader. Both the
// contact model's writer and the card builder of the dialog and the card
// tool are covered.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "TestFiles.h"
#include "UCardBuilder.h"
#include "VCardReader.h"

namespace qm {
namespace {

// The fields of a card as "NAME hex hex ...\n" lines, one hex string per
// component or entry (UTF-8 bytes), in the order N, FN, NICKNAME, ORG, TITLE,
// ROLE, SOURCE, NOTE, CATEGORIES, ADR, EMAIL; absent properties have no line.
using TFields = std::vector<std::pair<std::string, std::vector<std::string>>>;

std::string Hex(const std::string& value) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char ch : value) {
        out.push_back(kDigits[ch >> 4]);
        out.push_back(kDigits[ch & 15]);
    }
    return out;
}

std::string Lines(const TFields& fields) {
    std::string out;
    for (const auto& [name, parts] : fields) {
        out += name;
        for (const std::string& part : parts) out += " " + Hex(part);
        out += "\n";
    }
    return out + "END\n";
}

// Prints each card of the file in argv[1] as Lines does. CATEGORIES entries
// holding a blank, a control character or a double quote are written in
// double quotes (the writer's long-standing form), which vobject keeps:
// they are taken off here as the writer put them on.
constexpr const char* kVObjectFields = R"(import sys
import vobject
def h(v):
    return v.encode("utf-8").hex() if isinstance(v, str) else "list:" + "|".join(v)
def unquote(v):
    return v[1:-1].replace('""', '"') if len(v) >= 2 and v[0] == v[-1] == '"' else v
for card in vobject.readComponents(open(sys.argv[1], encoding="utf-8").read()):
    c = card.contents
    if "n" in c:
        n = card.n.value
        print("N", *(h(getattr(n, f)) for f in ("family", "given", "additional", "prefix", "suffix")))
    for name in ("fn", "nickname", "org", "title", "role", "source", "note", "categories", "adr", "email"):
        if name not in c:
            continue
        v = c[name][0].value
        if name == "org":
            print("ORG", *(h(x) for x in v))
        elif name == "categories":
            print("CATEGORIES", *(h(unquote(x)) for x in v))
        elif name == "adr":
            print("ADR", *(h(getattr(v, f)) for f in ("box", "extended", "street", "city", "region", "code", "country")))
        else:
            print(name.upper(), h(v))
    print("END")
)";

// What the structural reader reads from a 2.1 card, as Lines prints it. Its
// NOTE is quoted-printable, which the reader does not decode.
std::string ReadVersion21(const std::string& card) {
    TFields fields;
    const char* order[] = {"N", "FN", "NICKNAME", "ORG", "TITLE", "ROLE", "SOURCE", "CATEGORIES", "ADR", "EMAIL"};
    const std::vector<test::TVCardProperty> properties = test::ReadProperties(card);
    for (const std::string name : order) {
        for (const test::TVCardProperty& p : properties) {
            if (p.Name != name) continue;
            std::vector<std::string> parts;
            if (name == "N" || name == "ORG" || name == "ADR") {
                for (const std::string& part : test::SplitValue(p.Value, ';')) parts.push_back(test::Unescape(part));
            } else if (name == "CATEGORIES") {
                for (const std::string& part : test::SplitValue(p.Value, ',')) parts.push_back(test::CategoryEntry(part));
            } else if (name == "NICKNAME" || name == "EMAIL") {
                parts.push_back(p.Value);  // 2.1 has no escapes outside compound values
            } else {
                parts.push_back(test::SingleValue(p.Value));
            }
            fields.emplace_back(name, parts);
        }
    }
    return Lines(fields);
}

// Each line break of `value` as a reader gives it back: a line feed, or in
// 2.1, which has no escape for it, a space.
std::string Breaks(const std::string& value, TvCardVersion version) {
    return test::ReplaceBreaks(value, version == TvCardVersion::vv21 ? " " : "\n");
}

struct TCard {
    std::string Text;
    TFields Expected;
};

// A contact whose every read-back field holds `value` with a letter of its
// own, put before it in one field and after it in the next, so that a field
// that slides into its neighbour shows and the value's ends are tried.
TCard TableCard(const std::string& value, TvCardVersion version) {
    char tag = 'A';
    std::vector<std::string> made;
    const auto next = [&] {
        made.push_back(made.size() % 2 == 0 ? value + tag : tag + value);
        ++tag;
        return made.back();
    };
    const auto expected = [&](std::size_t first, std::size_t count) {
        std::vector<std::string> parts;
        for (std::size_t i = first; i < first + count; ++i) parts.push_back(Breaks(made[i], version));
        return parts;
    };
    TvCardDocument doc;
    TvContact& c = doc.vContacts.Add();
    c.vCardVersion = version;
    for (std::string* s : {&c.LastName, &c.FirstName, &c.MiddleName, &c.NamePrefix, &c.NameSuffix, &c.FullName,
                           &c.NickName, &c.Company, &c.JobTitle, &c.Profession, &c.Source}) {
        *s = next();
    }
    c.Note = {next()};
    c.Categories = {next(), next()};
    TvAddress& a = c.Addresses.Add();
    for (std::string* s : {&a.POBox, &a.Number, &a.Street, &a.City, &a.Region, &a.PostCode, &a.Country}) *s = next();
    c.Emails.Add().EmailAddress = next();

    TCard card{doc.ContactText(c) + "\n", {}};
    card.Expected = {{"N", expected(0, 5)},          {"FN", expected(5, 1)},     {"NICKNAME", expected(6, 1)},
                     {"ORG", expected(7, 1)},        {"TITLE", expected(8, 1)},  {"ROLE", expected(9, 1)},
                     {"SOURCE", expected(10, 1)},    {"NOTE", expected(11, 1)},  {"CATEGORIES", expected(12, 2)},
                     {"ADR", expected(14, 7)},       {"EMAIL", expected(21, 1)}};
    card.Expected[7].second[0] += "\n";  // every NOTE entry ends with a line break
    if (version == TvCardVersion::vv21) card.Expected.erase(card.Expected.begin() + 7);
    return card;
}

// Three records whose fields once slid into each other, through the card
// builder: a last name ending in a backslash, a street with a semicolon and
// a backslash, a company with a semicolon.
TCard BuilderCard(TvCardVersion version) {
    TCardFields fields;
    fields.FirstName = "Anna";
    fields.LastName = "Berg\\";
    fields.Company = "M\xC3\xBCller; S\xC3\xB6hne";
    fields.Street = "Hauptstr. 1;\\ Hinterhaus";
    fields.Town = "D\xC3\xBCsseldorf";
    fields.ZipCode = "40212";
    fields.Group = "Kunden";
    TCard card{ComposeCard(fields, {}, version).VCardText, {}};
    card.Expected = {{"N", {"Berg\\", "Anna", "", "", ""}},
                     {"FN", {"Anna Berg\\"}},
                     {"ORG", {"M\xC3\xBCller; S\xC3\xB6hne"}},
                     {"CATEGORIES", {"Kunden"}},
                     {"ADR", {"", "", "Hauptstr. 1;\\ Hinterhaus", "D\xC3\xBCsseldorf", "", "40212", ""}}};
    return card;
}

TEST(CardRoundTrip, EveryFieldReadsBackAsWritten) {
    const std::string values[] = {
        "a;b",
        "\\",
        "a\\;b\\,c\\n",
        "a,b",
        "a\r\nb\nc\rd",
        "a\tb",
        "  a b  ",
        "e\xCC\x81",                             // e and a combining acute accent
        "\xF0\x9F\x98\x80\xE2\x9D\xA4\xEF\xB8\x8F",  // an emoji, and one with a variation selector
        "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D, \xD8\xB3\xD9\x84\xD8\xA7\xD9\x85",  // Hebrew and Arabic
    };
    std::string cards;
    std::string expected;
    for (TvCardVersion version : {TvCardVersion::vv21, TvCardVersion::vv30, TvCardVersion::vv40}) {
        std::vector<TCard> table;
        for (const std::string& value : values) table.push_back(TableCard(value, version));
        table.push_back(BuilderCard(version));
        for (const TCard& card : table) {
            if (version == TvCardVersion::vv21) {
                try {
                    EXPECT_EQ(ReadVersion21(card.Text), Lines(card.Expected)) << card.Text;
                } catch (const std::runtime_error& e) {
                    ADD_FAILURE() << e.what() << "\n" << card.Text;
                }
            } else {
                cards += card.Text;
                expected += Lines(card.Expected);
            }
        }
    }

    test::TTempFolder folder;
    test::WriteBytes(folder.Path("fields.py"), kVObjectFields);
    test::WriteBytes(folder.Path("cards.vcf"), cards);
    const std::string command = "/usr/bin/python3 '" + folder.Path("fields.py") + "' '" + folder.Path("cards.vcf") + "'";
    FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string read;
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;) read.append(buf, n);
    const int status = ::pclose(pipe);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "python3-vobject could not read the cards (scripts/common.sh installs it)";
    EXPECT_EQ(read, expected) << cards;
}

}  // namespace
}  // namespace qm
