#include "UCardBuilder.h"

#include "UDialogContact.h"
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

// The label reads its text as markup and draws a single "&" as the mark of
// an underlined character; names from the host are shown as they are.
std::string EscapeCaptionText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            default: out += c;
        }
    }
    return out;
}

std::string Field(TJsonValue& address, std::string_view name) {
    return address.AsObject().ValueOf(name).AsString();
}

}  // namespace

TCardFields ReadCardFields(TCVJSONObject& record) {
    if (record.Adress == nullptr) throw ENoConnection();
    TJsonValue& a = *record.Adress;
    TCardFields f;
    f.IX = Field(a, "IX");
    f.Group = Field(a, "Group");
    f.FirstName = Field(a, "FirstName");
    f.LastName = Field(a, "LastName");
    f.Company = Field(a, "Company");
    f.Street = Field(a, "Street");
    f.Town = Field(a, "Town");
    f.ZipCode = Field(a, "ZipCode");
    return f;
}

TCardText ComposeCard(const TCardFields& fields, std::chrono::system_clock::time_point nowUtc,
                      TvCardVersion version) {
    TDialogCardFields contact;
    SplitCommunicationField(fields.IX, contact.Emails, contact.Phones);
    contact.Group = fields.Group;
    contact.FirstName = fields.FirstName;
    contact.LastName = fields.LastName;
    contact.Company = fields.Company;
    contact.Street = fields.Street;
    contact.Town = fields.Town;
    contact.ZipCode = fields.ZipCode;

    TCardText card;
    // The dialog's contact in every version; only the rendering differs.
    TvCardDocument document;
    document.ProdID = kCardProdID;
    TvContact& filled = document.vContacts.Add();
    FillDialogContact(filled, contact, DateTimeFromSystemClock(nowUtc));
    filled.vCardVersion = version;
    card.VCardText = document.GetText();
    // The names as the host sent them: the company is cleaned only inside
    // the contact.
    card.NamesLine = fields.FirstName + " " + fields.LastName + " " + fields.Company;
    card.BaseName = MakeSafeFileName(card.NamesLine, false);
    return card;
}

std::vector<std::string> CaptionLines(const TCardFields& fields, int sizeMM) {
    std::vector<std::string> lines{"</b>QRCode:<b> " + EscapeCaptionText(fields.FirstName + " " + fields.LastName +
                                                                          " " + fields.Company)};
    if (sizeMM == 120) lines.push_back(" | " + std::string(kLargerLink));
    return lines;
}

void LoadHostRecord(TCVJSONObject& record, const std::string& path) {
    if (path.empty()) {
        record.Load(path, false, true);
        throw ENoConnection();
    }
    // A file that is missing or does not parse (nor its ".~json" copy) means
    // the host gave us nothing usable: that is the no-connection case, not
    // an error of the record's layout.
    TFastJSON document;
    document.LoadFromFile(path, true, false);
    if (document.RootObject() == nullptr && document.RootArray() == nullptr) throw ENoConnection();
    record.LoadDocument(std::move(document));
    if (!record.IsValid()) throw ENoConnection();
}

TCardImage WriteCardPng(const std::string& vcardText, const std::string& pngPath, const TCardSettings& settings) {
    TCardImage image;
    image.SizeMM = WriteQRCodePNG(settings.SizeMM, vcardText, pngPath, settings.ECLevel, true, settings.MarginIndex,
                                  settings.PixelsPerInch);
    image.Pixels = QRPixelSize(image.SizeMM, settings.PixelsPerInch);
    return image;
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
                           TvCardVersion version) {
    TRecordCard card;
    card.Record = std::make_unique<TCVJSONObject>();
    LoadHostRecord(*card.Record, path);
    card.Text = ComposeCard(ReadCardFields(*card.Record), nowUtc, version);
    return card;
}

void SaveTestcase(const TRecordCard& card, const std::string& path) {
    if (card.Record == nullptr || card.Record->LoadedDocument == nullptr) return;
    card.Record->LoadedDocument->SaveToFile(path, true);
}

}  // namespace qm
