#include "UCardBuilder.h"

#include "UBoundedCall.h"
#include "UFileUtil.h"
#include "UIXExtractor.h"
#include "UQRAsPNG.h"
#include "UStringUtil.h"
#include "UVCARDParser.h"

namespace qm {

namespace {

// The anchor that asks for the large image; the dialog's link handler does
// not look at its target.
constexpr std::string_view kLargerLink = "<A href=\"x\">Gr\xC3\xB6\xC3\x9F" "er</A>";

// The label reads its text as markup: "<" and ">" open tags, "&" starts an
// entity or, alone, marks the next character as underlined. Each is written
// as an entity. "&amp;" leaves "&&" (the escaped mark), and the label looks
// for entities again from its second "&", both while preparing the text and
// in each run (a company "A &lt; B" would show an underlined "<"); every
// entity name starts with a letter, so when a letter follows, an empty tag,
// which the label skips, keeps the two apart. A line break would end the
// one-line caption (or vanish): it shows as one space.
std::string EscapeCaptionText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        switch (c) {
            case '&': {
                out += "&amp;";
                const char next = i + 1 < text.size() ? text[i + 1] : '\0';
                if ((next >= 'A' && next <= 'Z') || (next >= 'a' && next <= 'z')) out += "<>";
                break;
            }
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '\r':
                if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
                out += ' ';
                break;
            case '\n': out += ' '; break;
            default: out += c;
        }
    }
    return out;
}

std::string Field(TJsonValue& address, std::string_view name) {
    return address.AsObject().ValueOf(name).AsString();
}

TCardFields ReadFields(TJsonValue& a) {
    TCardFields f;
    SplitCommunicationField(Field(a, "IX"), f.Emails, f.Phones);
    f.Group = Field(a, "Group");
    f.FirstName = Field(a, "FirstName");
    f.LastName = Field(a, "LastName");
    f.Company = Field(a, "Company");
    f.Street = Field(a, "Street");
    f.Town = Field(a, "Town");
    f.ZipCode = Field(a, "ZipCode");
    return f;
}

// The kinds of JSON values in German: as what a field holds, and after
// "statt" as what it should hold.
std::string_view KindHeld(TJsonKind kind) noexcept {
    switch (kind) {
    case TJsonKind::jvNone: return "nichts";
    case TJsonKind::jvNull: return "null";
    case TJsonKind::jvString: return "einen Text";
    case TJsonKind::jvNumber: return "eine Zahl";
    case TJsonKind::jvBoolean: return "einen Wahrheitswert";
    case TJsonKind::jvObject: return "ein Objekt";
    case TJsonKind::jvArray: return "eine Liste";
    }
    return "nichts";
}

std::string_view KindWanted(TJsonKind kind) noexcept {
    switch (kind) {
    case TJsonKind::jvString: return "eines Textes";
    case TJsonKind::jvNumber: return "einer Zahl";
    case TJsonKind::jvBoolean: return "eines Wahrheitswerts";
    case TJsonKind::jvObject: return "eines Objekts";
    case TJsonKind::jvArray: return "einer Liste";
    case TJsonKind::jvNone:
    case TJsonKind::jvNull: break;
    }
    return "eines Werts";
}

std::string RecordTypeMessage(const EJsonTypeError& cause) {
    const std::string field = cause.Name.empty() ? std::string("Ein Eintrag") : "Das Feld \"" + cause.Name + "\"";
    return "Der Datensatz von Corvanta ist fehlerhaft: " + field + " enth\xC3\xA4lt " +
           std::string(KindHeld(cause.Found)) + " statt " + std::string(KindWanted(cause.Wanted)) + ".\n" +
           cause.what();
}

}  // namespace

ERecordTypeError::ERecordTypeError(const EJsonTypeError& cause) : EQuillmarkError(RecordTypeMessage(cause)) {}

TCardFields ReadCardFields(TCVJSONObject& record) {
    if (record.Adress == nullptr) throw ENoConnection();
    try {
        return ReadFields(*record.Adress);
    } catch (const EJsonTypeError& e) {
        throw ERecordTypeError(e);
    }
}

TCardText ComposeCard(const TCardFields& fields, std::chrono::system_clock::time_point nowUtc,
                      TvCardVersion version) {
    TCardText card;
    // The dialog's contact in every version; only the rendering differs.
    TvCardDocument document;
    document.ProdID = kCardProdID;
    TvContact& filled = document.vContacts.Add();
    FillDialogContact(filled, fields, DateTimeFromSystemClock(nowUtc));
    filled.vCardVersion = version;
    card.VCardText = document.GetText();
    // The names as the host sent them: the company is cleaned only inside
    // the contact.
    card.NamesLine = fields.FirstName + " " + fields.LastName + " " + fields.Company;
    card.BaseName = MakeSafeFileName(card.NamesLine, false);
    return card;
}

std::vector<std::string> CaptionLines(std::string_view names, int sizeMM) {
    std::vector<std::string> lines{"</b>QRCode:<b> " + EscapeCaptionText(names)};
    if (sizeMM == 120) lines.push_back(" | " + std::string(kLargerLink));
    return lines;
}

std::vector<std::string> CaptionLines(const TCardFields& fields, int sizeMM) {
    return CaptionLines(fields.FirstName + " " + fields.LastName + " " + fields.Company, sizeMM);
}

void LoadHostDocument(TCVJSONObject& record, TFastJSON&& document) {
    // A file that is missing or does not parse (nor its ".~json" copy) means
    // the host gave us nothing usable: that is the no-connection case, not
    // an error of the record's layout.
    if (document.RootObject() == nullptr && document.RootArray() == nullptr) {
        record.Load({}, false, true);
        throw ENoConnection();
    }
    try {
        record.LoadDocument(std::move(document));
    } catch (const EJsonTypeError& e) {
        throw ERecordTypeError(e);
    }
    if (!record.IsValid()) throw ENoConnection();
}

void LoadHostRecord(TCVJSONObject& record, const std::string& path) {
    TFastJSON document;
    if (!path.empty()) document.LoadFromFile(path, true, false);
    LoadHostDocument(record, std::move(document));
}

namespace {

// `path` opened as a TPeerFile and parsed as an address record: a JSON
// object with an "Order" key. Null (document empty) for anything else.
std::unique_ptr<TPeerFile> ReadPeerRecord(const std::string& path, TFastJSON& document) {
    try {
        auto file = std::make_unique<TPeerFile>(path);
        document.Parse(JsonFileText(file->Read()));
        const TJsonObject* root = document.RootObject();
        if (root != nullptr && root->IndexOfName("Order") >= 0) return file;
    } catch (const EQuillmarkError&) {
    }
    document.Clear();
    return nullptr;
}

}  // namespace

bool THostAddressFile::Consume() noexcept {
    const bool deleted = Record && Record->DeleteIfUnchanged();
    Record.reset();
    return deleted;
}

THostAddressFile ReadHostAddressFile(const std::string& path, std::chrono::steady_clock::time_point deadline) {
    if (path.empty() || !IsLocalAbsolutePath(path)) return {};
    // A file system that never answers (a dead share, a FUSE mount of
    // another process) may hang in any of stat, open and read: all of them
    // run within the deadline, and no answer by then counts as no file. A
    // worker given up on closes what it opened when it ends; it deletes
    // nothing.
    std::optional<THostAddressFile> read = CallWithin(deadline, [path] {
        THostAddressFile file;
        if (!FileExistsEx(path)) return file;
        file.Record = ReadPeerRecord(path, file.Document);
        if (!file.Record) {
            const std::string backup = JsonBackupName(path);
            // The copy is only read, never consumed: it is closed at once.
            if (FileExistsEx(backup)) ReadPeerRecord(backup, file.Document);
        }
        return file;
    });
    return read ? std::move(*read) : THostAddressFile{};
}

TCardImage WriteCardPng(const std::string& vcardText, const std::string& pngPath, const TCardSettings& settings) {
    TCardImage image;
    image.SizeMM = WriteQRCodePNG(settings.SizeMM, vcardText, pngPath, settings.ECLevel, true, settings.MarginIndex,
                                  settings.PixelsPerInch);
    image.Pixels = QRPixelSize(image.SizeMM, settings.PixelsPerInch);
    return image;
}

int CardModules(std::string_view vcardText, const TCardSettings& settings) {
    TQRImage image;
    image.SetMarginIndex(settings.MarginIndex);
    image.EncodeText(vcardText, settings.ECLevel, true);
    return image.Width();
}

void WriteCardVcf(const std::string& vcardText, const std::string& vcfPath) {
    // The text is UTF-8 already: written as it is, without a byte order mark.
    WriteFileAtomic(vcfPath, vcardText);
}

TCardImage WriteCardFiles(const std::string& vcardText, const std::string& vcfPath, const std::string& pngPath,
                          const TCardSettings& settings) {
    const TCardImage image = WriteCardPng(vcardText, pngPath, settings);
    WriteCardVcf(vcardText, vcfPath);
    return image;
}

TRecordCard LoadRecordCard(const std::string& path, std::chrono::system_clock::time_point nowUtc,
                           TvCardVersion version, bool keepTestcase) {
    TRecordCard card;
    card.Record = std::make_unique<TCVJSONObject>();
    LoadHostRecord(*card.Record, path);
    // The dialog saves the record right after loading it, before the card's
    // look-ups add the keys the record lacks.
    if (keepTestcase) card.Testcase = card.Record->LoadedDocument->FileText();
    card.Text = ComposeCard(ReadCardFields(*card.Record), nowUtc, version);
    return card;
}

void SaveTestcase(const TRecordCard& card, const std::string& path) {
    SaveJsonFileText(path, card.Testcase, true);
}

}  // namespace qm
