#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "TestFiles.h"
#include "UCardBuilder.h"
#include "UFileUtil.h"
#include "UFixedSurface.h"
#include "UHTMLText.h"

using namespace qm;
namespace fs = std::filesystem;

namespace {

class CardBuilder : public ::testing::Test {
protected:
    std::string Write(const std::string& name, const std::string& text) {
        test::WriteBytes(Folder.Path(name), text);
        return Folder.Path(name);
    }
    test::TTempFolder Folder;
    const std::string& Dir = Folder.Root();
};

const std::string kRecord =
    R"({"Order":[{"PrintName":"Rechnung","PrintUID":"R-1","Adress":[{"adresssmart":"A, Town",)"
    R"("FirstName":"Max","LastName":"M/ust:er","Company":"  A\u00ac\u00acB  C  ","Group":"G1\r\nG2",)"
    R"("IX":"Tel 0111111111 max@example.org"}],"Parts":[]}]})";

TEST_F(CardBuilder, MissingOrBrokenHostFilesMeanNoConnection) {
    TCVJSONObject record;
    EXPECT_THROW(LoadHostRecord(record, ""), ENoConnection);
    EXPECT_THROW(LoadHostRecord(record, Dir + "/missing.json"), ENoConnection);
    EXPECT_THROW(LoadHostRecord(record, Write("broken.json", "{\"Order\":[{")), ENoConnection);
    EXPECT_THROW(LoadHostRecord(record, Write("empty.json", "")), ENoConnection);
    try {
        LoadHostRecord(record, Write("no-order.json", "{\"Order\":[]}"));
        FAIL();
    } catch (const ENoConnection&) {
        FAIL() << "a record without orders reports its own error";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "Der Index der Liste \xC3\xBC" "berschreitet das Maximum (0)");
    }
    // A broken file with an intact ".~json" copy beside it loads the copy.
    Write("host.~json", kRecord);
    LoadHostRecord(record, Write("host.json", "{ broken"));
    EXPECT_TRUE(record.IsValid());
    EXPECT_EQ(record.DisplayText, "Rechnung R-1 A, Town");
}

// The host's file as a Windows program may write it, and values of the wrong
// kind, which the user is told about in German.
TEST_F(CardBuilder, AByteOrderMarkIsSkippedAndWrongKindsAreNamedInGerman) {
    THostAddressFile file = ReadHostAddressFile(Write("bom.json", "\xEF\xBB\xBF" + kRecord),
                                                std::chrono::steady_clock::now() + std::chrono::seconds(30));
    EXPECT_TRUE(file.IsAddressRecord());
    TCVJSONObject record;
    LoadHostDocument(record, std::move(file.Document));
    EXPECT_EQ(record.DisplayText, "Rechnung R-1 A, Town");

    struct TCase {
        std::string Text;
        std::string Message;
    };
    const TCase cases[] = {
        {R"({"Order":"Rechnung"})",
         "Der Datensatz von Corvanta ist fehlerhaft: Das Feld \"Order\" enth\xC3\xA4lt einen Text statt einer "
         "Liste.\n<TJsonValue>\"Order\" value type error: jvString to jvArray"},
        {R"({"Order":[{"Adress":[{"FirstName":{"x":1}}],"Parts":[]}]})",
         "Der Datensatz von Corvanta ist fehlerhaft: Das Feld \"FirstName\" enth\xC3\xA4lt ein Objekt statt eines "
         "Textes.\n<TJsonValue>\"FirstName\" value type error: jvObject to jvString"},
    };
    for (const TCase& c : cases) {
        try {
            LoadRecordCard(Write("kind.json", c.Text), {});
            ADD_FAILURE() << c.Text;
        } catch (const ERecordTypeError& e) {
            EXPECT_EQ(e.what(), c.Message);
        }
    }
}

TEST_F(CardBuilder, ComposesTheCardFromTheRawAndCleanedFields) {
    TCVJSONObject record;
    LoadHostRecord(record, Write("r.json", kRecord));
    const TCardFields fields = ReadCardFields(record);
    EXPECT_EQ(fields.Company, "  A\xC2\xAC\xC2\xAC" "B  C  ");
    const TCardText card = ComposeCard(fields, std::chrono::system_clock::time_point{});
    // The file name keeps the raw company, made safe; the ORG line is cleaned.
    EXPECT_EQ(card.BaseName, "Max Muster   A\xC2\xAC\xC2\xAC" "B  C");
    EXPECT_NE(card.VCardText.find("\nORG:A B C\n"), std::string::npos) << card.VCardText;
    EXPECT_NE(card.VCardText.find("\nN:M/ust:er;Max;;;\n"), std::string::npos);
    EXPECT_NE(card.VCardText.find("\nCATEGORIES:G1,G2\n"), std::string::npos);
    EXPECT_NE(card.VCardText.find("\nTEL;TYPE=WORK:0111111111\n"), std::string::npos);
    EXPECT_NE(card.VCardText.find("\nEMAIL;TYPE=INTERNET;TYPE=WORK:max@example.org\n"), std::string::npos);
    EXPECT_NE(card.VCardText.find("\nREV:19700101T000000Z\n"), std::string::npos);
}

TEST_F(CardBuilder, EmptyNamesGiveHiddenFileNames) {
    TCVJSONObject record;
    LoadHostRecord(record, Write("r.json", R"({"Order":[{"Adress":[{}],"Parts":[]}]})"));
    const TCardText card = ComposeCard(ReadCardFields(record), std::chrono::system_clock::now());
    EXPECT_EQ(card.BaseName, "");
}

TEST_F(CardBuilder, CaptionShowsNamesLiterallyAndTheLinkOnlyWithTheSmallImage) {
    TCardFields f;
    f.FirstName = "Anna";
    f.LastName = "<b>Berg";
    f.Company = "A & B";
    EXPECT_EQ(CaptionLines(f, 120), (std::vector<std::string>{"</b>QRCode:<b> Anna &lt;b&gt;Berg A &amp; B",
                                                              " | <A href=\"x\">Gr\xC3\xB6\xC3\x9F" "er</A>"}));
    EXPECT_EQ(CaptionLines(f, 200).size(), 1u);
}

// The caption as the label's text engine draws it: every run joined, and
// whether a prefix mark underlined any character.
std::string CaptionAsDrawn(const TCardFields& f, bool& prefixUnderlined) {
    std::string text;
    for (const std::string& line : CaptionLines(f, 120)) text += line;
    TFixedSurface surface;
    TFontSpec font;
    font.Bold = true;
    DrawHTMLText(surface, font, {0, 0, 100000, 1000}, text, false, true, std::nullopt, THTMLStyle{});
    std::string drawn;
    prefixUnderlined = false;
    for (const auto& call : surface.Texts) {
        drawn += call.Text;
        prefixUnderlined = prefixUnderlined || !call.Underlined.empty();
    }
    return drawn;
}

TEST_F(CardBuilder, CaptionLabelDrawsEveryNameLiterally) {
    for (const std::string company : {"A &lt; B", "&amp;lt;", "x&quot;y &COPY;&euro;&&", "a&nbsp;b&gt;c", "<#x>&",
                                      "&Tom & <b>Jerry</b>", "&lt&amp"}) {
        TCardFields f;
        f.FirstName = "Anna";
        f.LastName = "Berg";
        f.Company = company;
        bool underlined = true;
        EXPECT_EQ(CaptionAsDrawn(f, underlined), "QRCode: Anna Berg " + company + " | Gr\xC3\xB6\xC3\x9F" "er");
        EXPECT_FALSE(underlined) << company;
    }
    TCardFields broken;
    broken.LastName = "Berg\r\nX\rY\nZ";
    bool underlined = true;
    EXPECT_EQ(CaptionAsDrawn(broken, underlined), "QRCode:  Berg X Y Z  | Gr\xC3\xB6\xC3\x9F" "er");
}

TEST_F(CardBuilder, WritesThePngThenTheVcfWithoutByteOrderMark) {
    const std::string vcard = "BEGIN:VCARD\nVERSION:4.0\nFN:J\xC3\xBCrgen\nEND:VCARD\n";
    const TCardImage image = WriteCardFiles(vcard, Dir + "/c.vcf", Dir + "/c.png", TCardSettings{});
    EXPECT_EQ(image.Pixels, 454);
    EXPECT_EQ(image.SizeMM, 120);
    EXPECT_EQ(ReadFileToString(Dir + "/c.vcf"), vcard);
    TCardSettings large;
    large.SizeMM = 200;
    large.PixelsPerInch = 144;
    EXPECT_EQ(WriteCardPng(vcard, Dir + "/l.png", large).Pixels, 1134);
    // A text too long for the largest symbol writes nothing.
    EXPECT_THROW(WriteCardFiles(std::string(3000, 'x'), Dir + "/t.vcf", Dir + "/t.png", TCardSettings{}),
                 EQuillmarkError);
    EXPECT_FALSE(fs::exists(Dir + "/t.vcf"));
    EXPECT_FALSE(fs::exists(Dir + "/t.png"));
}

}  // namespace
