// A python3-vobject script that reads a vCard file (its path the first
// argument) and prints what a phone would import, one property per line;
// exit status 77 when python3-vobject is not installed.
#pragma once

namespace qm::test {

inline constexpr const char* kVObjectReader = R"(import sys
try:
    import vobject
except ImportError:
    sys.exit(77)
card = vobject.readOne(open(sys.argv[1], encoding="utf-8").read())
print("VERSION", card.version.value)
print("FN", card.fn.value)
print("N", card.n.value.family, "/", card.n.value.given)
print("ORG", card.org.value)
adr = card.adr.value
print("ADR", adr.street, "/", adr.code, "/", adr.city, "/", card.adr.params.get("TYPE"))
print("TEL", sorted(t.value for t in card.tel_list))
print("EMAIL", sorted(e.value for e in card.email_list))
print("CATEGORIES", card.categories.value)
)";

// What kVObjectReader prints for the sample record's card in vCard 3.0.
inline constexpr const char* kVObjectSample30 =
    "VERSION 3.0\n"
    "FN Anna Berg\n"
    "N Berg / Anna\n"
    "ORG ['Gr\xC3\xBCnwald & S\xC3\xB6hne GmbH']\n"
    "ADR K\xC3\xB6nigsallee 12 / 40212 / D\xC3\xBCsseldorf / ['WORK']\n"
    "TEL ['01701234567', '02111234567']\n"
    "EMAIL ['anna.berg@gruenwald-soehne.de', 'info@gruenwald-soehne.de']\n"
    "CATEGORIES ['Kunden']\n";

}  // namespace qm::test
