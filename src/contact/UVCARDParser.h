// Contact model and vCard text writer.
//
// A TvCardDocument holds an ordered collection of TvContact items; each
// contact owns its addresses, e-mail addresses, telephone numbers and social
// profiles. The model stores every value unchanged and validates nothing. The
// writer renders contacts as vCard 2.1, 3.0 (RFC 2425/2426) or 4.0 (RFC 6350)
// text, one LF per line, never folded. All strings are UTF-8; the writer does
// no character-set conversion.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "UStringList.h"

namespace qm {

// A point in time as whole days since 1899-12-30 plus the time of day as the
// fraction; 0 means "not set". A negative value counts its whole days before
// 1899-12-30 and its fraction, taken as positive, is still the time of day.
using TDateTime = double;

// Builds a TDateTime. Preconditions: year 1..9999, month 1..12, day valid for
// the month, hour 0..23, minute 0..59, second 0..59, millisecond 0..999.
TDateTime EncodeDateTime(int year, int month, int day, int hour = 0, int minute = 0,
                         int second = 0, int millisecond = 0) noexcept;

// The TDateTime of a system clock instant (which counts UTC), to the millisecond.
TDateTime DateTimeFromSystemClock(std::chrono::system_clock::time_point instant) noexcept;

// Calendar fields of a TDateTime, rounded to the millisecond first (so 23:59:59.9996
// is the next day's midnight). Values outside 0001-01-01 .. 9999-12-31 23:59:59.999
// decode as the nearest end of that range; NaN decodes as 0 (1899-12-30 00:00).
struct TDateTimeParts {
    int Year;    // 1..9999
    int Month;   // 1..12
    int Day;     // 1..31
    int Hour;    // 0..23
    int Minute;  // 0..59
    int Second;  // 0..59
    int Millisecond;  // 0..999

    bool operator==(const TDateTimeParts&) const = default;
};
TDateTimeParts DecodeDateTime(TDateTime value) noexcept;

// vCard format version a contact is written in.
enum class TvCardVersion : std::uint8_t { vvNone, vv21, vv30, vv40 };

// Kind of an address, e-mail or telephone entry.
enum class TvFieldType : std::uint8_t { ftHome, ftWork, ftOther, ftNone };

// Kind of telephone service; ordinal n is bit n of TvPhoneTypes.
enum class TvPhoneType : std::uint8_t {
    ptText, ptVoice, ptFax, ptCell, ptVideo, ptPager, ptTextPhone, ptiPhone, ptMain
};
inline constexpr int kPhoneTypeCount = 9;

// Any combination of the nine telephone services, as a bit set.
class TvPhoneTypes {
public:
    constexpr TvPhoneTypes() noexcept = default;
    constexpr TvPhoneTypes(std::initializer_list<TvPhoneType> members) noexcept {
        for (TvPhoneType t : members) Include(t);
    }
    // Bits above kPhoneTypeCount are dropped.
    static constexpr TvPhoneTypes FromBits(std::uint16_t bits) noexcept {
        TvPhoneTypes s;
        s.bits_ = bits & kAllBits;
        return s;
    }

    constexpr bool Contains(TvPhoneType t) const noexcept { return (bits_ & Bit(t)) != 0; }
    constexpr void Include(TvPhoneType t) noexcept { bits_ = static_cast<std::uint16_t>(bits_ | Bit(t)); }
    constexpr void Exclude(TvPhoneType t) noexcept { bits_ = static_cast<std::uint16_t>(bits_ & ~Bit(t)); }
    constexpr bool Empty() const noexcept { return bits_ == 0; }
    constexpr std::uint16_t Bits() const noexcept { return bits_; }

    constexpr bool operator==(const TvPhoneTypes&) const noexcept = default;

private:
    static constexpr std::uint16_t kAllBits = (1u << kPhoneTypeCount) - 1;
    static constexpr std::uint16_t Bit(TvPhoneType t) noexcept {
        return static_cast<std::uint16_t>((1u << static_cast<unsigned>(t)) & kAllBits);
    }
    std::uint16_t bits_ = 0;
};

template <class TItem, class TOwner>
class TvOwnedCollection;

// Proof that an item is being created by its collection: only collections can
// make one, so items exist only inside the collection that owns them.
class TvCollectionKey {
    template <class TItem, class TOwner>
    friend class TvOwnedCollection;
    TvCollectionKey() = default;
};

// Base of every model class that can copy another object's contents.
class TvPersistent {
public:
    virtual ~TvPersistent() = default;
    // Copies every property of `source` when it is of this object's class (or
    // derived from it), collections and lists by contents; a source of another
    // class is ignored. Assigning an object to itself changes nothing.
    virtual void Assign(const TvPersistent& source) = 0;

protected:
    TvPersistent() = default;
    TvPersistent(const TvPersistent&) = default;
    TvPersistent& operator=(const TvPersistent&) = default;
};

// Base of the items that live in a collection: made only by their
// collection, never copied (Assign copies contents).
class TvCollectionItem : public TvPersistent {
public:
    explicit TvCollectionItem(TvCollectionKey) noexcept {}
    TvCollectionItem(const TvCollectionItem&) = delete;
    TvCollectionItem& operator=(const TvCollectionItem&) = delete;
};

// An ordered collection that creates, owns and frees its items and knows the
// object it was created for. Items are never shared between collections.
template <class TItem, class TOwner>
class TvOwnedCollection {
public:
    explicit TvOwnedCollection(TOwner& owner) noexcept : owner_(&owner) {}
    TvOwnedCollection(const TvOwnedCollection&) = delete;
    TvOwnedCollection& operator=(const TvOwnedCollection&) = delete;

    // Adds a new item with its defaults at the end and returns it. The
    // reference stays valid until the item is removed or the collection dies.
    TItem& Add() {
        items_.push_back(std::make_unique<TItem>(TvCollectionKey{}));
        return *items_.back();
    }
    // Item by zero-based index. Raises std::out_of_range when index >= Count().
    TItem& Items(std::size_t index) { return *items_.at(Checked(index)); }
    const TItem& Items(std::size_t index) const { return *items_.at(Checked(index)); }
    TItem& operator[](std::size_t index) { return Items(index); }
    const TItem& operator[](std::size_t index) const { return Items(index); }

    std::size_t Count() const noexcept { return items_.size(); }
    void Clear() noexcept { items_.clear(); }
    // Removes the item at `index`. Raises std::out_of_range when index >= Count().
    void Delete(std::size_t index) { items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(Checked(index))); }

    TOwner& Owner() const noexcept { return *owner_; }

    // Replaces the items by deep copies of the source's items, in order.
    void Assign(const TvOwnedCollection& source) {
        if (&source == this) return;
        std::vector<std::unique_ptr<TItem>> copies;
        copies.reserve(source.items_.size());
        for (const auto& item : source.items_) {
            copies.push_back(std::make_unique<TItem>(TvCollectionKey{}));
            copies.back()->Assign(*item);
        }
        items_ = std::move(copies);
    }

    // Iteration over the items themselves (not their owning pointers).
    template <class TPtrIt, class TRef>
    class TIterator {
    public:
        explicit TIterator(TPtrIt it) : it_(it) {}
        TRef operator*() const { return **it_; }
        TIterator& operator++() { ++it_; return *this; }
        bool operator==(const TIterator&) const = default;
    private:
        TPtrIt it_;
    };
    using iterator = TIterator<typename std::vector<std::unique_ptr<TItem>>::iterator, TItem&>;
    using const_iterator =
        TIterator<typename std::vector<std::unique_ptr<TItem>>::const_iterator, const TItem&>;
    iterator begin() { return iterator(items_.begin()); }
    iterator end() { return iterator(items_.end()); }
    const_iterator begin() const { return const_iterator(items_.begin()); }
    const_iterator end() const { return const_iterator(items_.end()); }

private:
    std::size_t Checked(std::size_t index) const {
        if (index >= items_.size()) {
            throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
        }
        return index;
    }

    TOwner* owner_;
    std::vector<std::unique_ptr<TItem>> items_;
};

// Geographic position in decimal degrees; 0 means "not set" for either value.
class TvGeoLocation : public TvPersistent {
public:
    TvGeoLocation() = default;
    TvGeoLocation(const TvGeoLocation&) = default;
    TvGeoLocation& operator=(const TvGeoLocation&) = default;
    void Assign(const TvPersistent& source) override;

    double Latitude = 0;
    double Longitude = 0;
};

// A postal address (RFC 6350 6.3.1). Created only by TvAddressCollection.
class TvAddress : public TvCollectionItem {
public:
    using TvCollectionItem::TvCollectionItem;
    void Assign(const TvPersistent& source) override;

    std::string POBox;     // 1st ADR component
    std::string Number;    // 2nd: extended address
    std::string Street;    // 3rd
    std::string City;      // 4th: locality
    std::string Region;    // 5th
    std::string PostCode;  // 6th
    std::string Country;   // 7th
    TvFieldType AddressType = TvFieldType::ftHome;
    TStringList MailingLabel;  // label text, one entry per line
    bool Preferred = false;
};

// A telephone number. Created only by TvPhoneCollection.
class TvPhone : public TvCollectionItem {
public:
    using TvCollectionItem::TvCollectionItem;
    void Assign(const TvPersistent& source) override;

    std::string PhoneNumber;
    TvPhoneTypes PhoneType;
    TvFieldType FieldType = TvFieldType::ftHome;
    bool Preferred = false;
};

// An e-mail address. Created only by TvEmailCollection.
class TvEmail : public TvCollectionItem {
public:
    using TvCollectionItem::TvCollectionItem;
    void Assign(const TvPersistent& source) override;

    std::string EmailAddress;
    TvFieldType EmailType = TvFieldType::ftHome;
    bool Preferred = false;
};

// A social-network profile. Created only by TvSocialProfile.
class TvSocialItem : public TvCollectionItem {
public:
    using TvCollectionItem::TvCollectionItem;
    void Assign(const TvPersistent& source) override;

    std::string URI;
    std::string Service;
    std::string User;
};

// A small record carried and copied with a contact; nothing here reads or
// writes its members.
struct TScoreItem {
    std::string Caption;
    int Score = 0;
    double Weight = 0;

    bool operator==(const TScoreItem&) const = default;
};

class TvContact;
class TvCardDocument;

class TvAddressCollection final : public TvOwnedCollection<TvAddress, TvContact> {
public:
    using TvOwnedCollection::TvOwnedCollection;
};
class TvEmailCollection final : public TvOwnedCollection<TvEmail, TvContact> {
public:
    using TvOwnedCollection::TvOwnedCollection;
};
class TvPhoneCollection final : public TvOwnedCollection<TvPhone, TvContact> {
public:
    using TvOwnedCollection::TvOwnedCollection;
};
class TvSocialProfile final : public TvOwnedCollection<TvSocialItem, TvContact> {
public:
    using TvOwnedCollection::TvOwnedCollection;
};

// One contact. Created only by TvContactsCollection. Strings are empty, dates
// 0 and collections empty by default; vCardVersion is vv30.
class TvContact : public TvCollectionItem {
public:
    using TvCollectionItem::TvCollectionItem;
    void Assign(const TvPersistent& source) override;

    std::string ID;          // UID
    std::string FirstName;   // N given name; FN when FullName is blank
    std::string LastName;    // N family name; FN when FullName is blank
    std::string MiddleName;  // N additional names
    std::string NamePrefix;  // N honorific prefixes
    std::string NameSuffix;  // N honorific suffixes
    std::string FullName;    // FN; also the fallback sort string
    std::string NickName;
    std::string Company;     // ORG
    std::string JobTitle;    // TITLE
    TDateTime BirthDay = 0;  // BDAY when non-zero
    std::string Profession;  // ROLE
    std::string WebsiteURL;  // URL
    TvEmailCollection Emails{*this};
    TvPhoneCollection PhoneNumbers{*this};
    TvAddressCollection Addresses{*this};
    TvCardVersion vCardVersion = TvCardVersion::vv30;
    TStringList Categories;  // SetText: one category per line, "" gives none
    TvGeoLocation GeoLocation;
    TStringList Note;        // one entry per note line
    TDateTime Updated = 0;   // REV
    std::string Source;
    std::string ProdID;      // carried only; PRODID comes from the document
    TvSocialProfile SocialProfile{*this};
    std::string SortString;
    std::string TimeZone;    // TZ
    TScoreItem ScoreItem;
};

class TvContactsCollection final : public TvOwnedCollection<TvContact, TvCardDocument> {
public:
    using TvOwnedCollection::TvOwnedCollection;
};

// A set of contacts and the writer that renders them as vCard text.
//
// Output rules (RFC 2426 / RFC 6350 where they apply): every line ends with
// one LF, no folding; optional properties with an empty or zero source are
// left out. A line break (CR LF, CR or LF) inside any value is written as the
// two characters "\n" in versions 3.0 and 4.0 (RFC 6350 3.4) and as a space in
// 2.1, so no value can split a property. A contact whose version is vvNone is
// written as version 4.0, VERSION line included, so that it still imports.
//
// Values are escaped (EscapeText) so that none can move into another field
// or component and a reader that undoes the escapes gets each escaped value
// back (line breaks as above); a value without "\", ";" and "," is written
// unchanged:
//   N and ADR components   "\\" and "\;" in every version, "\," in 3.0, 4.0
//   ORG (one component)    "\\", "\;" and "\," in every version
//   FN, TITLE, ROLE,       "\\" and "\," in every version
//   SOURCE, CATEGORIES
//   NICKNAME, NOTE, EMAIL, "\\" and "\," in 3.0 and 4.0 (text values); 2.1,
//   PRODID, SORT-STRING    which escapes only inside compound values, and
//                          the quoted-printable NOTE of 2.1 are unchanged
//   UID                    as text in 3.0 only (a URI in 4.0)
//   TEL, TZ                as text in 4.0 only (phone number and UTC offset
//                          in 3.0)
// URL and X-SOCIALPROFILE values (URIs) and parameter values are written as
// they are. URL's parameter is "URL;WORK:" in 2.1 and "URL;TYPE=work:" in 3.0
// and 4.0 (RFC 6350 5.6).
class TvCardDocument {
public:
    TvCardDocument() = default;
    TvCardDocument(const TvCardDocument&) = delete;
    TvCardDocument& operator=(const TvCardDocument&) = delete;

    TvContactsCollection vContacts{*this};
    std::string ProdID;             // PRODID line of every contact; none when empty
    TDateTime DefaultRevision = 0;  // REV of a contact whose Updated is 0

    // Every contact's text in collection order, each followed by one LF; ""
    // without contacts. Never fails.
    std::string GetText() const;
    // One contact from "BEGIN:VCARD" to "END:VCARD", without a final LF. Reads
    // the document only for ProdID and DefaultRevision. Never fails.
    std::string ContactText(const TvContact& contact) const;
};

// Value forms of the writer, exposed for the callers' tests and tools.

// "\" becomes "\\", ";" becomes "\;" when `semicolon`, "," becomes "\,"
// when `comma`; nothing else changes (line breaks are the writer's).
std::string EscapeText(std::string_view value, bool semicolon, bool comma);
// "=" becomes "=3D", CR "=0D", LF "=0A"; nothing else is encoded, no soft breaks.
std::string QuotedPrintable(std::string_view value);
// Entries joined with ",", each with its backslashes and commas escaped
// (EscapeText); an entry holding a space, a control character or a double
// quote is then quoted with its quotes doubled; a single empty entry gives ""
// (two double quotes).
std::string CommaText(const TStringList& list);
// "YYYY-MM-DDThh:mm:ssZ" (year without leading zeros), no time-zone conversion:
// the extended form, which vCard 2.1 and 3.0 (RFC 2426 section 3.6.4) take.
std::string FormatRevision(TDateTime value);
// "YYYYMMDDThhmmssZ" (four-digit year), no time-zone conversion: the basic
// form of RFC 6350 section 4.3.5 that a vCard 4.0 REV must have.
std::string FormatRevisionBasic(TDateTime value);
// "YYYYMMDD".
std::string FormatBirthday(TDateTime value);
// Shortest general form with at most 15 significant digits, "." as decimal
// separator whatever the locale; exponent form ("1E-6", "1.5E20") below
// 0.00001 or from 1E15 in magnitude; "NAN", "INF", "-INF" for those values.
std::string FormatCoordinate(double value);

}  // namespace qm
