// Contact model: deep copies and date-time arithmetic.
#include "UVCARDParser.h"

#include <algorithm>
#include <cmath>

namespace qm {

namespace {

constexpr std::int64_t kMSecsPerDay = 86'400'000;
// Day number of 1970-01-01 in TDateTime counting.
constexpr std::int64_t kUnixEpochDay = 25'569;
// First and last calendar day a TDateTime may name: 0001-01-01, 9999-12-31.
constexpr std::int64_t kMinDay = -693'593;
constexpr std::int64_t kMaxDay = 2'958'465;

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's
// days_from_civil).
constexpr std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) noexcept {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

struct TCivilDate {
    std::int64_t Year;
    unsigned Month;
    unsigned Day;
};

// Inverse of DaysFromCivil.
constexpr TCivilDate CivilFromDays(std::int64_t z) noexcept {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    return {static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2), m, d};
}

// The source as a T when it is one (or derived from one), else nullptr.
template <class T>
const T* SameClass(const TvPersistent& source) noexcept {
    return dynamic_cast<const T*>(&source);
}

}  // namespace

TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second,
                         int millisecond) noexcept {
    const std::int64_t days =
        DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) + kUnixEpochDay;
    const double time =
        static_cast<double>(((hour * 60 + minute) * 60 + second) * 1000 + millisecond) / kMSecsPerDay;
    // Before 1899-12-30 the fraction is the time of day taken as positive.
    return days >= 0 ? static_cast<double>(days) + time : static_cast<double>(days) - time;
}

TDateTime DateTimeFromSystemClock(std::chrono::system_clock::time_point instant) noexcept {
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(instant.time_since_epoch()).count();
    const std::int64_t days = ms >= 0 ? ms / kMSecsPerDay : -((-ms + kMSecsPerDay - 1) / kMSecsPerDay);
    const std::int64_t rest = ms - days * kMSecsPerDay;
    return EncodeDateTime(1970, 1, 1) + static_cast<double>(days) +
           static_cast<double>(rest) / kMSecsPerDay;
}

TDateTimeParts DecodeDateTime(TDateTime value) noexcept {
    constexpr double kLowest = static_cast<double>(kMinDay) - (kMSecsPerDay - 1.0) / kMSecsPerDay;
    constexpr double kHighest = static_cast<double>(kMaxDay) + (kMSecsPerDay - 1.0) / kMSecsPerDay;
    if (std::isnan(value)) value = 0;
    value = std::clamp(value, kLowest, kHighest);
    const std::int64_t ms = std::llround(value * kMSecsPerDay);
    // Whole days count toward zero; the time of day is the absolute remainder.
    const std::int64_t days = ms / kMSecsPerDay;
    const std::int64_t time = (ms < 0 ? -ms : ms) % kMSecsPerDay;
    const TCivilDate date = CivilFromDays(days - kUnixEpochDay);
    return {static_cast<int>(date.Year), static_cast<int>(date.Month), static_cast<int>(date.Day),
            static_cast<int>(time / 3'600'000), static_cast<int>(time / 60'000 % 60),
            static_cast<int>(time / 1000 % 60), static_cast<int>(time % 1000)};
}

void TvGeoLocation::Assign(const TvPersistent& source) {
    if (const auto* s = SameClass<TvGeoLocation>(source)) {
        Latitude = s->Latitude;
        Longitude = s->Longitude;
    }
}

void TvAddress::Assign(const TvPersistent& source) {
    const auto* s = SameClass<TvAddress>(source);
    if (s == nullptr || s == this) return;
    POBox = s->POBox;
    Number = s->Number;
    Street = s->Street;
    City = s->City;
    Region = s->Region;
    PostCode = s->PostCode;
    Country = s->Country;
    AddressType = s->AddressType;
    MailingLabel = s->MailingLabel;
    Preferred = s->Preferred;
}

void TvPhone::Assign(const TvPersistent& source) {
    if (const auto* s = SameClass<TvPhone>(source)) {
        PhoneNumber = s->PhoneNumber;
        PhoneType = s->PhoneType;
        FieldType = s->FieldType;
        Preferred = s->Preferred;
    }
}

void TvEmail::Assign(const TvPersistent& source) {
    if (const auto* s = SameClass<TvEmail>(source)) {
        EmailAddress = s->EmailAddress;
        EmailType = s->EmailType;
        Preferred = s->Preferred;
    }
}

void TvSocialItem::Assign(const TvPersistent& source) {
    if (const auto* s = SameClass<TvSocialItem>(source)) {
        URI = s->URI;
        Service = s->Service;
        User = s->User;
    }
}

void TvContact::Assign(const TvPersistent& source) {
    const auto* s = SameClass<TvContact>(source);
    if (s == nullptr || s == this) return;
    ID = s->ID;
    FirstName = s->FirstName;
    LastName = s->LastName;
    MiddleName = s->MiddleName;
    NamePrefix = s->NamePrefix;
    NameSuffix = s->NameSuffix;
    FullName = s->FullName;
    NickName = s->NickName;
    Company = s->Company;
    JobTitle = s->JobTitle;
    BirthDay = s->BirthDay;
    Profession = s->Profession;
    WebsiteURL = s->WebsiteURL;
    Emails.Assign(s->Emails);
    PhoneNumbers.Assign(s->PhoneNumbers);
    Addresses.Assign(s->Addresses);
    vCardVersion = s->vCardVersion;
    Categories = s->Categories;
    GeoLocation.Assign(s->GeoLocation);
    Note = s->Note;
    Updated = s->Updated;
    Source = s->Source;
    ProdID = s->ProdID;
    SocialProfile.Assign(s->SocialProfile);
    SortString = s->SortString;
    TimeZone = s->TimeZone;
    ScoreItem = s->ScoreItem;
}

}  // namespace qm
