// From a host address record to the vCard text, the file names and the two
// card files. The dialog and the command-line card tool both build their
// cards through these functions, so the same record gives the same files.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "UCommonCVJSON.h"
#include "UVCARDParser.h"

namespace qm {

// The message shown when no usable record came from the host.
inline constexpr const char* kNoConnectionMessage =
    "Keine Verbindung zu Corvanta (Corvanta muss gestartet sein)";

// Raised when the host named no record file, the file is missing or does not
// parse, or the record is not valid.
class ENoConnection : public EQuillmarkError {
public:
    ENoConnection() : EQuillmarkError(kNoConnectionMessage) {}
};

// How the QR image is made.
struct TCardSettings {
    int SizeMM = 120;         // edge length; 10..200 (others become 49)
    int PixelsPerInch = 96;   // > 0; the screen's pixels per inch
    int MarginIndex = 0;      // 0..2: no quiet zone, 2 or 4 modules
    int ECLevel = 1;          // 0..3: L, M, Q, H
};

// The texts of the record's first address that the card is made of, read as
// strings (missing fields read as empty).
struct TCardFields {
    std::string FirstName, LastName, Company, Group, Street, Town, ZipCode, IX;
};

// The card composed from the fields.
struct TCardText {
    std::string VCardText;     // vCard (4.0 unless asked otherwise), LF line ends, UTF-8
    std::string BaseName;      // safe file base name from the raw names
    std::string NamesLine;     // first name, last name and company, raw
};

// Reads the fields afresh from the record's address. Precondition:
// record.IsValid().
TCardFields ReadCardFields(TCVJSONObject& record);

// Composes the contact (REV = `nowUtc`), its vCard text in `version` (vv21,
// vv30 or vv40; the dialog's cards are 4.0) and the base name.
TCardText ComposeCard(const TCardFields& fields, std::chrono::system_clock::time_point nowUtc,
                      TvCardVersion version = TvCardVersion::vv40);

// The caption label's lines: "</b>QRCode:<b> " + names, and with the small
// image (size 120) a second line " | " + the link to the larger image. The
// names are escaped ("&", "<", ">") so that the label shows them literally.
std::vector<std::string> CaptionLines(const TCardFields& fields, int sizeMM);

// Loads `path` into `record` with the backup rule. Raises ENoConnection when
// `path` is empty, names no file or a file that does not parse, or when the
// record is not valid; the record's own errors (an "Order" of the wrong
// kind, an empty list) propagate with their messages.
void LoadHostRecord(TCVJSONObject& record, const std::string& path);

// Writes the QR code of `vcardText` as the PNG `pngPath`, then the vCard
// text as `vcfPath` (UTF-8, no byte order mark). Neither file is left
// half-written. Returns the image's edge length in pixels and its final
// size in millimetres.
struct TCardImage {
    int Pixels = 0;
    int SizeMM = 0;
};
TCardImage WriteCardPng(const std::string& vcardText, const std::string& pngPath, const TCardSettings& settings);
void WriteCardVcf(const std::string& vcardText, const std::string& vcfPath);
TCardImage WriteCardFiles(const std::string& vcardText, const std::string& vcfPath, const std::string& pngPath,
                          const TCardSettings& settings);

// A record file loaded and composed, for batch work.
struct TRecordCard {
    std::unique_ptr<TCVJSONObject> Record;
    TCardText Text;
};
// Loads the record file `path` (LoadHostRecord) and composes its card in
// `version` (ComposeCard).
TRecordCard LoadRecordCard(const std::string& path, std::chrono::system_clock::time_point nowUtc,
                           TvCardVersion version = TvCardVersion::vv40);

// Saves the loaded record formatted, with its ".~json" copy beside it.
void SaveTestcase(const TRecordCard& card, const std::string& path);

}  // namespace qm
