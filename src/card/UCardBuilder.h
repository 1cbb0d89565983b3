// From a host address record to the vCard text, the file names and the two
// card files. The dialog and the command-line card tool both build their
// cards through these functions, so the same record gives the same files.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "UCommonCVJSON.h"
#include "UDialogContact.h"
#include "UPeerFile.h"
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

// A value of the wrong kind in the host's record (a text where a list
// belongs, say): the message says so in German, with the node's English
// detail on a second line for the host's developers.
class ERecordTypeError : public EQuillmarkError {
public:
    explicit ERecordTypeError(const EJsonTypeError& cause);
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
// The card composed from the fields.
struct TCardText {
    std::string VCardText;     // vCard (4.0 unless asked otherwise), LF line ends, UTF-8
    std::string BaseName;      // safe file base name from the raw names
    std::string NamesLine;     // first name, last name and company, raw
};

// Reads the fields afresh from the record's address. Precondition:
// record.IsValid(). A field of the wrong kind raises ERecordTypeError.
TCardFields ReadCardFields(TCVJSONObject& record);

// Composes the contact (REV = `nowUtc`), its vCard text in `version` (vv21,
// vv30 or vv40; the dialog's cards are 4.0) and the base name.
TCardText ComposeCard(const TCardFields& fields, std::chrono::system_clock::time_point nowUtc,
                      TvCardVersion version = TvCardVersion::vv40);

// The caption label's lines: "</b>QRCode:<b> " + names, and with the small
// image (size 120) a second line " | " + the link to the larger image. The
// names are escaped so that the label shows them literally, whatever
// characters or entity-like text they hold; a line break in a name shows as
// a space.
std::vector<std::string> CaptionLines(const TCardFields& fields, int sizeMM);
// The same with `names` (raw text) for first name, last name and company.
std::vector<std::string> CaptionLines(std::string_view names, int sizeMM);

// Loads `path` into `record` with the backup rule. Raises ENoConnection when
// `path` is empty, names no file or a file that does not parse, or when the
// record is not valid; the record's own errors (an "Order" of the wrong
// kind, an empty list) propagate with their messages.
void LoadHostRecord(TCVJSONObject& record, const std::string& path);

// Makes `document` the record (moved in). Raises ENoConnection when the
// document is empty (nothing was read) or the record is not valid,
// ERecordTypeError when "Order" or "Adress" is of the wrong kind; the
// record's other errors (an empty list) propagate as with LoadHostRecord.
void LoadHostDocument(TCVJSONObject& record, TFastJSON&& document);

// The address file a host named over the pipe, read with the care due to a
// name from another process (TPeerFile: a local absolute path reached
// without links to a regular file of at most kMaxPeerFileBytes, refused
// before it is read when larger) and used only when it is an address
// record: a JSON object with an "Order" key. When the file is there but is
// no such record, its ".~json" copy is read instead under the same rules.
// Every access to the file system (whether either file is there, its
// opening and reading) runs within `deadline` (CallWithin); a file system
// that gives no answer by then counts as no file. Never raises.
struct THostAddressFile {
    // The record read; empty when neither file held one.
    TFastJSON Document;
    // The named file itself, still open, when it passed the checks and is
    // an address record, which the caller consumes (Consume) whether or not
    // the record is usable. Anything else the host named is left as it is
    // and not held.
    std::unique_ptr<TPeerFile> Record;
    bool IsAddressRecord() const noexcept { return Record != nullptr; }
    // Deletes the record file read, if its name still names it (see
    // TPeerFile::DeleteIfUnchanged), and closes it. True when deleted.
    bool Consume() noexcept;
};
THostAddressFile ReadHostAddressFile(const std::string& path, std::chrono::steady_clock::time_point deadline);

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
// Modules across the PNG WriteCardPng makes of `vcardText` with `settings`
// (the symbol and the quiet zone of its MarginIndex; the size and density
// do not count). Raises as WriteCardPng for a text too long.
int CardModules(std::string_view vcardText, const TCardSettings& settings);
TCardImage WriteCardFiles(const std::string& vcardText, const std::string& vcfPath, const std::string& pngPath,
                          const TCardSettings& settings);

// A record file loaded and composed, for batch work.
struct TRecordCard {
    std::unique_ptr<TCVJSONObject> Record;
    TCardText Text;
    // The loaded record formatted as the dialog saves it as testcase.json:
    // taken before the card is composed, whose field look-ups add the
    // missing keys to the record. Empty unless asked for.
    std::string Testcase;
};
// Loads `path` as LoadHostRecord does and composes its card in `version`
// (ComposeCard); with `keepTestcase` the formatted record is kept first.
TRecordCard LoadRecordCard(const std::string& path, std::chrono::system_clock::time_point nowUtc,
                           TvCardVersion version = TvCardVersion::vv40, bool keepTestcase = false);

// Saves the record as loaded (card.Testcase), with its ".~json" copy beside
// it: the same bytes as the dialog's testcase.json. Precondition: the card
// was loaded with `keepTestcase`.
void SaveTestcase(const TRecordCard& card, const std::string& path);

}  // namespace qm
