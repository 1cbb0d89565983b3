// vCard text writer: renders TvCardDocument contacts as vCard 2.1, 3.0
// (RFC 2426) or 4.0 (RFC 6350) text.
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "UVCARDParser.h"

namespace qm {

namespace {

// TEL service words, in the order they are written (not the enumeration's).
// | member | word |
constexpr std::array<std::pair<TvPhoneType, std::string_view>, kPhoneTypeCount> kServiceWords{{
    {TvPhoneType::ptText, "TEXT"},
    {TvPhoneType::ptVoice, "VOICE"},
    {TvPhoneType::ptFax, "FAX"},
    {TvPhoneType::ptCell, "CELL"},
    {TvPhoneType::ptiPhone, "IPHONE"},
    {TvPhoneType::ptMain, "MAIN"},
    {TvPhoneType::ptVideo, "VIDEO"},
    {TvPhoneType::ptPager, "PAGER"},
    {TvPhoneType::ptTextPhone, "TEXTPHONE"},
}};

void ReplaceAll(std::string& text, char from, std::string_view to) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == from) {
            out.append(to);
        } else {
            out.push_back(c);
        }
    }
    text = std::move(out);
}

// True for a value that the "blank" test of FN treats as empty: nothing but
// characters up to the space.
bool IsBlank(std::string_view s) noexcept {
    for (char c : s) {
        if (static_cast<unsigned char>(c) > ' ') return false;
    }
    return true;
}

// Writes the lines of one contact. `version` is the contact's version with
// vvNone already mapped to vv40.
class TvCardWriter {
public:
    TvCardWriter(const TvCardDocument& document, const TvContact& contact)
        : doc_(document), c_(contact), version_(EffectiveVersion(contact.vCardVersion)) {}

    std::string Write();

private:
    static TvCardVersion EffectiveVersion(TvCardVersion v) noexcept {
        return v == TvCardVersion::vv21 || v == TvCardVersion::vv30 ? v : TvCardVersion::vv40;
    }
    bool Is21() const noexcept { return version_ == TvCardVersion::vv21; }
    bool Is30() const noexcept { return version_ == TvCardVersion::vv30; }
    bool Is40() const noexcept { return version_ == TvCardVersion::vv40; }

    // A value of type text in 3.0 (RFC 2426 section 4) and 4.0 (RFC 6350
    // section 3.4): backslash and comma escaped. Version 2.1 defines no
    // escape outside compound values, so the value stays as it is there.
    std::string Text(std::string_view value) const {
        return Is21() ? std::string(value) : EscapeText(value, false, true);
    }
    // One component of N or ADR: backslash and semicolon escaped in every
    // version, the comma too in 3.0 and 4.0, where a component may list
    // several values (vCard 2.1 has no such lists).
    std::string Component(std::string_view value) const { return EscapeText(value, true, !Is21()); }

    // Appends one property line and its LF. A line break inside the composed
    // text can only come from a value (the writer's own forms never hold raw
    // CR or LF), so each one is replaced here: RFC 6350 3.4's "\n" in 3.0 and
    // 4.0, a space in 2.1, which has no such escape outside quoted-printable.
    void Line(std::string_view text, bool lineFeed = true);

    std::string PrefParam(bool preferred) const {
        if (!preferred) return {};
        return Is21() ? ";PREF" : ";TYPE=PREF";
    }
    // Type parameter of ADR and EMAIL lines.
    std::string TypeParam(TvFieldType type) const {
        std::string_view word;
        switch (type) {
            case TvFieldType::ftHome: word = "HOME"; break;
            case TvFieldType::ftWork: word = "WORK"; break;
            default: break;
        }
        return (Is21() ? std::string(";") : std::string(";TYPE=")).append(word);
    }
    static std::string_view TelTypeParam(TvFieldType type) noexcept {
        switch (type) {
            case TvFieldType::ftHome: return ";TYPE=HOME";
            case TvFieldType::ftWork: return ";TYPE=WORK";
            case TvFieldType::ftOther: return ";TYPE=OTHER";
            default: return "";
        }
    }
    std::string ServiceList(TvPhoneTypes types) const {
        std::string list;
        for (const auto& [member, word] : kServiceWords) {
            if (!types.Contains(member)) continue;
            if (!list.empty()) list.push_back(',');
            list.append(word);
        }
        if (list.empty()) return list;
        return (Is21() ? ";" : ";TYPE=") + list;
    }

    void WriteAddress(const TvAddress& a);

    const TvCardDocument& doc_;
    const TvContact& c_;
    TvCardVersion version_;
    std::string out_;
};

void TvCardWriter::Line(std::string_view text, bool lineFeed) {
    const std::string_view lineBreak = Is21() ? " " : "\\n";
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char ch = text[i];
        if (ch == '\r' || ch == '\n') {
            out_.append(lineBreak);
            if (ch == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            out_.push_back(ch);
        }
    }
    if (lineFeed) out_.push_back('\n');
}

void TvCardWriter::WriteAddress(const TvAddress& a) {
    std::string line = "ADR" + PrefParam(a.Preferred) + TypeParam(a.AddressType);
    if (Is40() && !a.MailingLabel.Empty()) {
        line.append(";LABEL=\"").append(a.MailingLabel.Text("\\n")).push_back('"');
    }
    line.push_back(':');
    for (const std::string* part : {&a.POBox, &a.Number, &a.Street, &a.City, &a.Region, &a.PostCode}) {
        line.append(Component(*part)).push_back(';');
    }
    line.append(Component(a.Country));
    Line(line);
    if (!Is40() && !a.MailingLabel.Empty()) {
        Line("LABEL;ENCODING=QUOTED-PRINTABLE:" + QuotedPrintable(a.MailingLabel.Text()));
    }
}

std::string TvCardWriter::Write() {
    Line("BEGIN:VCARD");
    Line(Is21() ? "VERSION:2.1" : Is40() ? "VERSION:4.0" : "VERSION:3.0");

    std::string n = "N";
    if (Is40() && !c_.SortString.empty()) n.append(";SORT-STRING=").append(c_.SortString);
    n.append(":").append(Component(c_.LastName)).append(";").append(Component(c_.FirstName)).append(";");
    n.append(Component(c_.MiddleName)).append(";").append(Component(c_.NamePrefix)).append(";");
    n.append(Component(c_.NameSuffix));
    Line(n);

    // FN, TITLE, ROLE and SOURCE have their commas escaped in every version,
    // 2.1 included, so their backslashes are escaped there too.
    const auto commaText = [](std::string_view v) { return EscapeText(v, false, true); };
    Line("FN:" + commaText(IsBlank(c_.FullName) ? c_.FirstName + " " + c_.LastName : c_.FullName));
    // UID is text in 3.0 and a URI in 4.0 (RFC 6350 6.7.6).
    if (!c_.ID.empty()) Line("UID:" + (Is30() ? Text(c_.ID) : c_.ID));
    if (!c_.NickName.empty()) Line("NICKNAME:" + Text(c_.NickName));
    // ORG is compound (organisation;unit;...): the company is its one
    // component, so a semicolon in it is escaped in every version.
    if (!c_.Company.empty()) Line("ORG:" + EscapeText(c_.Company, true, true));
    if (!c_.JobTitle.empty()) Line("TITLE:" + commaText(c_.JobTitle));
    if (!c_.Profession.empty()) Line("ROLE:" + commaText(c_.Profession));
    // A URI, written as it is; the parameter in each version's own form.
    if (!c_.WebsiteURL.empty()) Line((Is21() ? "URL;WORK:" : "URL;TYPE=work:") + c_.WebsiteURL);
    if (!c_.Source.empty()) Line("SOURCE:" + commaText(c_.Source));
    // TZ is text in 4.0 and a UTC offset in 3.0 (RFC 2426 3.4.1).
    if (!c_.TimeZone.empty()) Line("TZ:" + (Is40() ? Text(c_.TimeZone) : c_.TimeZone));
    if (c_.BirthDay != 0) Line("BDAY:" + FormatBirthday(c_.BirthDay));
    const TDateTime revision = c_.Updated != 0 ? c_.Updated : doc_.DefaultRevision;
    Line("REV:" + (Is40() ? FormatRevisionBasic(revision) : FormatRevision(revision)));
    if (!doc_.ProdID.empty()) Line("PRODID:" + Text(doc_.ProdID));
    if (!c_.Categories.Empty()) Line("CATEGORIES:" + CommaText(c_.Categories));
    if (Is21() && !c_.Note.Empty()) {
        Line("NOTE;ENCODING=QUOTED-PRINTABLE:" + QuotedPrintable(c_.Note.Text()));
    } else if (!c_.Note.Empty()) {
        std::string note = "NOTE:";
        for (const std::string& entry : c_.Note) note.append(Text(entry)).append("\\n");
        Line(note);
    }
    const TvGeoLocation& geo = c_.GeoLocation;
    if (geo.Latitude != 0 && geo.Longitude != 0) {
        Line(Is40() ? "GEO;TYPE=work:geo:" + FormatCoordinate(geo.Latitude) + "," +
                          FormatCoordinate(geo.Longitude)
                    : "GEO:" + FormatCoordinate(geo.Latitude) + ";" + FormatCoordinate(geo.Longitude));
    }
    if (!Is40()) {
        const std::string& sort = c_.SortString.empty() ? c_.FullName : c_.SortString;
        if (!sort.empty()) Line("SORT-STRING:" + Text(sort));
    }
    for (const TvAddress& a : c_.Addresses) WriteAddress(a);
    for (const TvPhone& p : c_.PhoneNumbers) {
        // Text in 4.0; a phone-number value in 3.0 (RFC 2426 3.3.1).
        Line("TEL" + std::string(TelTypeParam(p.FieldType)) + ServiceList(p.PhoneType) +
             PrefParam(p.Preferred) + ":" + (Is40() ? Text(p.PhoneNumber) : p.PhoneNumber));
    }
    for (const TvEmail& e : c_.Emails) {
        Line((Is21() ? "EMAIL;INTERNET" : "EMAIL;TYPE=INTERNET") + PrefParam(e.Preferred) +
             TypeParam(e.EmailType) + ":" + Text(e.EmailAddress));
    }
    for (const TvSocialItem& s : c_.SocialProfile) {
        Line("X-SOCIALPROFILE;type=" + s.Service + ";x-user=" + s.User + ":" + s.URI);
    }
    Line("END:VCARD", false);
    return std::move(out_);
}

}  // namespace

std::string EscapeText(std::string_view value, bool semicolon, bool comma) {
    std::string out;
    out.reserve(value.size());
    for (char ch : value) {
        if (ch == '\\' || (ch == ';' && semicolon) || (ch == ',' && comma)) out.push_back('\\');
        out.push_back(ch);
    }
    return out;
}

std::string QuotedPrintable(std::string_view value) {
    std::string out(value);
    ReplaceAll(out, '=', "=3D");
    ReplaceAll(out, '\r', "=0D");
    ReplaceAll(out, '\n', "=0A");
    return out;
}

std::string CommaText(const TStringList& list) {
    if (list.Count() == 1 && list[0].empty()) return "\"\"";
    std::string out;
    bool first = true;
    for (const std::string& entry : list) {
        if (!first) out.push_back(',');
        first = false;
        const std::string escaped = EscapeText(entry, false, true);
        bool quote = false;
        for (char ch : entry) {
            if (static_cast<unsigned char>(ch) <= ' ' || ch == '"') quote = true;
        }
        if (!quote) {
            out.append(escaped);
            continue;
        }
        out.push_back('"');
        for (char ch : escaped) {
            if (ch == '"') out.push_back('"');
            out.push_back(ch);
        }
        out.push_back('"');
    }
    return out;
}

std::string FormatRevision(TDateTime value) {
    const TDateTimeParts p = DecodeDateTime(value);
    std::array<char, 32> buf{};
    std::snprintf(buf.data(), buf.size(), "%d-%02d-%02dT%02d:%02d:%02dZ", p.Year, p.Month, p.Day,
                  p.Hour, p.Minute, p.Second);
    return buf.data();
}

std::string FormatRevisionBasic(TDateTime value) {
    const TDateTimeParts p = DecodeDateTime(value);
    std::array<char, 32> buf{};
    std::snprintf(buf.data(), buf.size(), "%04d%02d%02dT%02d%02d%02dZ", p.Year, p.Month, p.Day, p.Hour,
                  p.Minute, p.Second);
    return buf.data();
}

std::string FormatBirthday(TDateTime value) {
    const TDateTimeParts p = DecodeDateTime(value);
    std::array<char, 16> buf{};
    std::snprintf(buf.data(), buf.size(), "%04d%02d%02d", p.Year, p.Month, p.Day);
    return buf.data();
}

std::string FormatCoordinate(double value) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
    if (value == 0) return "0";
    constexpr int kPrecision = 15;
    // "d.dddddddddddddde±x": 15 significant digits, rounded, locale-free.
    std::array<char, 40> buf{};
    const auto res = std::to_chars(buf.data(), buf.data() + buf.size(), value,
                                   std::chars_format::scientific, kPrecision - 1);
    const std::string_view sci(buf.data(), static_cast<std::size_t>(res.ptr - buf.data()));
    const std::size_t ePos = sci.find('e');
    const bool negative = sci.front() == '-';
    std::string digits;
    for (char ch : sci.substr(0, ePos)) {
        if (ch >= '0' && ch <= '9') digits.push_back(ch);
    }
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
    const int exponent = std::atoi(std::string(sci.substr(ePos + 1)).c_str());

    std::string out = negative ? "-" : "";
    if (exponent >= kPrecision || exponent < -5) {
        out.push_back(digits[0]);
        if (digits.size() > 1) out.append(".").append(digits, 1);
        out.append("E").append(std::to_string(exponent));
    } else if (exponent < 0) {
        out.append("0.").append(static_cast<std::size_t>(-exponent - 1), '0').append(digits);
    } else {
        const auto intDigits = static_cast<std::size_t>(exponent) + 1;
        if (digits.size() <= intDigits) {
            out.append(digits).append(intDigits - digits.size(), '0');
        } else {
            out.append(digits, 0, intDigits).append(".").append(digits, intDigits);
        }
    }
    return out;
}

std::string TvCardDocument::ContactText(const TvContact& contact) const {
    return TvCardWriter(*this, contact).Write();
}

std::string TvCardDocument::GetText() const {
    std::string out;
    for (const TvContact& contact : vContacts) {
        out.append(ContactText(contact));
        out.push_back('\n');
    }
    return out;
}

}  // namespace qm
