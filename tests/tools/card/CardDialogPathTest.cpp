// The tool and the dialog make the same card: the same record gives a
// byte-identical QR image and, apart from the REV line, the same vCard
// through quillmark-card and through the calls the dialog makes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <time.h>

#include <chrono>
#include <cstdio>

#include "CardTestSupport.h"
#include "HostProcess.h"
#include "QRTestSupport.h"
#include "UCardBuilder.h"
#include "UFileUtil.h"
#include "UPNGReader.h"

namespace qm {
namespace {

using test::TRecordFields;

// The dialog's image settings: 120 mm on a 96 ppi screen, no quiet zone,
// level M.
TCardSettings DialogSettings() {
    TCardSettings s;
    s.SizeMM = 120;
    s.PixelsPerInch = 96;
    s.MarginIndex = 0;
    s.ECLevel = 1;
    return s;
}

struct TDialogCard {
    std::string BaseName, VcfPath, PngPath;
    std::vector<std::string> Caption;
    TCardImage Image;
};

// What the dialog's load and build make of `recordPath` at `now`, in the
// order its handler makes the calls, written into `folder`.
TDialogCard BuildLikeTheDialog(const std::string& recordPath, const std::string& folder,
                               std::chrono::system_clock::time_point now) {
    TCVJSONObject record;
    LoadHostRecord(record, recordPath);
    const TCardFields fields = ReadCardFields(record);
    const TCardText card = ComposeCard(fields, now);
    TDialogCard out;
    out.BaseName = card.BaseName;
    out.VcfPath = folder + card.BaseName + ".vcf";
    out.PngPath = folder + card.BaseName + ".png";
    out.Caption = CaptionLines(fields, 120);
    out.Image = WriteCardPng(card.VCardText, out.PngPath, DialogSettings());
    WriteCardVcf(card.VCardText, out.VcfPath);
    return out;
}

// The instant of a vCard 4.0 "REV:YYYYMMDDTHHMMSSZ" line.
std::chrono::system_clock::time_point RevOf(const std::string& vcard) {
    const auto at = vcard.find("\nREV:");
    if (at == std::string::npos) throw std::runtime_error("no REV line");
    std::tm t{};
    if (std::sscanf(vcard.c_str() + at + 5, "%4d%2d%2dT%2d%2d%2dZ", &t.tm_year, &t.tm_mon, &t.tm_mday, &t.tm_hour,
                    &t.tm_min, &t.tm_sec) != 6) {
        throw std::runtime_error("bad REV line");
    }
    t.tm_year -= 1900;
    t.tm_mon -= 1;
    return std::chrono::system_clock::from_time_t(::timegm(&t));
}

class CardDialogPath : public test::CardFolder, public ::testing::WithParamInterface<TRecordFields> {
protected:
    // The record under test: the sample for the first case, generated ones
    // for the others.
    std::string RecordPath() const {
        const TRecordFields& f = GetParam();
        if (f.FirstName.empty()) return test::kSampleRecord;
        return Record("record.json", f);
    }
};

TEST_P(CardDialogPath, ToolMakesTheDialogsFiles) {
    ASSERT_EQ(DialogSettings().SizeMM, TCardSettings{}.SizeMM);
    const std::string record = RecordPath();
    test::TProcess tool({test::kCardBinary, "--out", P("tool"), record});
    ASSERT_EQ(tool.Wait(std::chrono::seconds(100)), 0) << tool.Err();
    ForceFolders(P("dialog"));

    const auto files = FilesIn(P("tool"));
    ASSERT_EQ(files.size(), 2u);
    const std::string toolVcf = test::ReadBytes(P("tool/" + files[1]));
    const std::string toolPng = test::ReadBytes(P("tool/" + files[0]));

    // Built at the tool's instant, the dialog's files are the tool's, byte
    // for byte.
    const TDialogCard same = BuildLikeTheDialog(record, P("dialog/"), RevOf(toolVcf));
    EXPECT_EQ(files[0], same.BaseName + ".png");
    EXPECT_EQ(files[1], same.BaseName + ".vcf");
    EXPECT_EQ(test::ReadBytes(same.PngPath), toolPng);
    EXPECT_EQ(test::ReadBytes(same.VcfPath), toolVcf);
    EXPECT_EQ(same.Image.Pixels, 454);
    EXPECT_THAT(same.Caption[0], ::testing::HasSubstr(GetParam().LastName.empty() ? "Berg" : GetParam().LastName));

    // Built now, only the REV line may differ.
    ForceFolders(P("now"));
    const TDialogCard now = BuildLikeTheDialog(record, P("now/"), std::chrono::system_clock::now());
    EXPECT_EQ(test::WithoutRev(test::ReadBytes(now.VcfPath)), test::WithoutRev(toolVcf));

    // The written image scans, and holds exactly the .vcf text.
    const TRGBImage image = ReadPNGRGB(toolPng);
    EXPECT_EQ(image.Width, 454);
    const test::TDecoded decoded = test::DecodeImage(image, false, image.Width / 10);
    ASSERT_TRUE(decoded.Valid);
    EXPECT_EQ(decoded.ECLevel, "M");
    EXPECT_EQ(decoded.Bytes, toolVcf);
    EXPECT_EQ(toolVcf.substr(0, 3), "BEG");  // UTF-8 without a byte order mark
}

INSTANTIATE_TEST_SUITE_P(
    Records, CardDialogPath,
    ::testing::Values(
        TRecordFields{},
        TRecordFields{"Jürgen", "Weiß", "Müller; Söhne, \\ Partner", "Tel. +49 (0)221 12345-6 j.weiss@example.de"},
        TRecordFields{"Zoë", "O'Neil", "Café \xF0\x9F\x98\x80 Ltd.", "", "", "", "", ""},
        TRecordFields{"A", "B", "Sehr lange Firma " + std::string(600, 'z'), "a@b.de b@c.de c@d.de 0123 4567 890"}),
    [](const auto& info) { return "Record" + std::to_string(info.index); });

}  // namespace
}  // namespace qm
