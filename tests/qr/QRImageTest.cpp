// The QR images: drawing with a quiet zone, the scaled PNG file with its
// pixel size, format and content, and the class-level write operation.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "QRTestSupport.h"
#include "TestFiles.h"
#include "UErrors.h"
#include "UFileUtil.h"
#include "UPNGReader.h"
#include "UPNGWriter.h"
#include "UQRAsPNG.h"
#include "UQRBitStream.h"
#include "UQREncoder.h"

namespace qm {
namespace {

namespace fs = std::filesystem;

const std::string kVCard =
    "BEGIN:VCARD\nVERSION:4.0\nN:Müller;Jürgen;;;\nFN:Jürgen Müller\nORG:Bäckerei Größe & Söhne GmbH\n"
    "ADR;TYPE=work:;;Hauptstraße 12;Köln;;50667;Deutschland\nTEL;TYPE=work,voice:+49 221 123456\n"
    "EMAIL;TYPE=work:juergen.mueller@example.de\nNOTE:Öffnungszeiten: Mo–Fr 7–18 Uhr\nEND:VCARD\n";

class QRFiles : public ::testing::Test {
protected:
    std::string File(const std::string& name) const { return FDir.Path(name); }
    test::TTempFolder FDir;
};

// Checks the PNG format every file of this program has.
void ExpectProgramPNG(const std::string& bytes, int size) {
    const test::TPNGInfo png = test::InspectPNG(bytes);
    ASSERT_TRUE(png.SignatureOk);
    ASSERT_GE(png.Chunks.size(), 3u);
    EXPECT_EQ(png.Chunks.front().Type, "IHDR");
    EXPECT_EQ(png.Chunks.back().Type, "IEND");
    for (std::size_t i = 1; i + 1 < png.Chunks.size(); ++i) {
        EXPECT_EQ(png.Chunks[i].Type, "IDAT");
        EXPECT_LE(png.Chunks[i].Data.size(), 65535u);
    }
    for (const auto& chunk : png.Chunks) EXPECT_TRUE(chunk.CrcOk) << chunk.Type;
    EXPECT_EQ(png.Width, static_cast<std::uint32_t>(size));
    EXPECT_EQ(png.Height, static_cast<std::uint32_t>(size));
    EXPECT_EQ(png.BitDepth, 8);
    EXPECT_EQ(png.ColorType, 2);
    EXPECT_EQ(png.Compression, 0);
    EXPECT_EQ(png.Filter, 0);
    EXPECT_EQ(png.Interlace, 0);
    const std::size_t stride = static_cast<std::size_t>(size) * 3 + 1;
    ASSERT_EQ(png.ImageData.size(), stride * static_cast<std::size_t>(size));
    for (std::size_t y = 0; y < static_cast<std::size_t>(size); ++y) ASSERT_EQ(png.ImageData[y * stride], 1) << "row " << y;
}

void ExpectBlackAndWhite(const TRGBImage& image) {
    for (int y = 0; y < image.Height; ++y)
        for (int x = 0; x < image.Width; ++x) {
            const TColor c = image.Pixel(x, y);
            ASSERT_TRUE(c == clBlack || c == clWhite) << x << "," << y;
        }
}

TEST(QRImage, DrawMatrixWithoutAndWithQuietZone) {
    const TQRSymbol symbol = EncodeQRBytes("01234567", 1);
    for (int margin = 0; margin <= 2; ++margin) {
        TQRImage image;
        image.SetMarginIndex(margin);
        image.EncodeText("01234567", 1, true);
        const int q = QuietZoneModules[static_cast<std::size_t>(margin)];
        ASSERT_EQ(image.Width(), 21 + 2 * q);
        ASSERT_EQ(image.Height(), 21 + 2 * q);
        ExpectBlackAndWhite(image.Image());
        EXPECT_EQ(image.Pixel(q, q), clBlack);  // the finder's dark corner
        for (int y = 0; y < 21; ++y)
            for (int x = 0; x < 21; ++x)
                ASSERT_EQ(image.Pixel(x + q, y + q), symbol.Matrix.Dark(x, y) ? clBlack : clWhite);
        for (int i = 0; i < image.Width(); ++i)
            for (int k = 0; k < q; ++k) {
                EXPECT_EQ(image.Pixel(i, k), clWhite);
                EXPECT_EQ(image.Pixel(k, i), clWhite);
                EXPECT_EQ(image.Pixel(i, image.Height() - 1 - k), clWhite);
                EXPECT_EQ(image.Pixel(image.Width() - 1 - k, i), clWhite);
            }
    }
}

TEST(QRImage, ColoursAndErrors) {
    TQRImage image;
    image.LightColor = 0x00FFEEDD;
    image.DarkColor = 0x00112233;
    image.SetMarginIndex(1);
    image.EncodeText("A", 0, false);
    EXPECT_EQ(image.Pixel(0, 0), 0x00FFEEDDu);
    EXPECT_EQ(image.Pixel(2, 2), 0x00112233u);
    EXPECT_EQ(image.Image().Row(2)[6], 0x33);  // red byte first
    EXPECT_THROW(image.SetMarginIndex(3), EQuillmarkError);
    EXPECT_EQ(image.MarginIndex(), 1);
    const TRGBImage before = image.Image();
    try {
        image.EncodeText("A", 4, true);
        ADD_FAILURE();
    } catch (const EQuillmarkError& e) {
        EXPECT_STREQ(e.what(), "Ungültige Fehlerkorrekturstufe (4)");
    }
    EXPECT_THROW(image.EncodeText(std::string(3000, 'x'), 1, true), EQuillmarkError);
    EXPECT_EQ(image.Image(), before);
    EXPECT_THROW(image.MakeBlank(3, 8, 2, 2), EQuillmarkError);
    image.SetPixel(-1, 0, clBlack);  // ignored
    image.SetPixel(0, 1000, clBlack);
}

TEST(QRImage, PNGBytesRoundTripLosslessly) {
    TQRImage image;
    image.SetMarginIndex(2);
    image.EncodeText(kVCard, 1, true);
    const std::string bytes = image.SaveToPNGBytes();
    ExpectProgramPNG(bytes, image.Width());
    TQRImage reloaded;
    reloaded.LoadFromPNGBytes(bytes);
    EXPECT_EQ(reloaded.Image(), image.Image());
    std::ostringstream stream;
    image.SaveToPNGStream(stream);
    EXPECT_EQ(stream.str(), bytes);
    EXPECT_THROW(reloaded.LoadFromPNGBytes(bytes.substr(0, bytes.size() / 2)), EQuillmarkError);
    EXPECT_THROW(reloaded.LoadFromPNGBytes("not a png"), EQuillmarkError);
}

TEST(QRPNGWriter, LargeImagesSplitIntoFullIDATChunks) {
    // Noise does not compress: several IDAT chunks, all but the last full.
    TRGBImage image(600, 600);
    std::uint32_t state = 12345;
    for (auto& b : image.Pixels) {
        state = state * 1103515245 + 12345;
        b = static_cast<std::uint8_t>(state >> 24);
    }
    const std::string bytes = WritePNGRGB(image);
    ExpectProgramPNG(bytes, 600);
    const test::TPNGInfo png = test::InspectPNG(bytes);
    ASSERT_GT(png.Chunks.size(), 4u);
    for (std::size_t i = 1; i + 2 < png.Chunks.size(); ++i) EXPECT_EQ(png.Chunks[i].Data.size(), 65535u);
    EXPECT_EQ(ReadPNGRGB(bytes), image);
    EXPECT_THROW(WritePNGRGB(TRGBImage(0, 0)), EQuillmarkError);
}

TEST(QRScaled, PixelSizes) {
    EXPECT_EQ(QRPixelSize(120, 96), 454);
    EXPECT_EQ(QRPixelSize(200, 96), 756);
    EXPECT_EQ(QRPixelSize(49, 96), 185);
    EXPECT_EQ(QRPixelSize(10, 96), 38);
    EXPECT_EQ(QRPixelSize(120, 120), 567);
    EXPECT_EQ(QRPixelSize(200, 120), 945);
    EXPECT_EQ(QRPixelSize(49, 120), 231);
    EXPECT_EQ(QRPixelSize(10, 120), 47);
    EXPECT_EQ(QRPixelSize(120, 144), 680);
    EXPECT_EQ(QRPixelSize(200, 144), 1134);
    EXPECT_EQ(QRPixelSize(49, 144), 278);
    EXPECT_EQ(QRPixelSize(10, 144), 57);
    EXPECT_EQ(QRPixelSize(128, 96), 484);
    EXPECT_EQ(QRPixelSize(137, 96), 518);
}

TEST(QRScaled, SizeRuleAndRounding) {
    TQRImageScaled image;
    EXPECT_EQ(image.SizeMM(), 0);
    for (const int size : {9, 201, 0, -5}) {
        image.SetSizeMM(size);
        EXPECT_EQ(image.SizeMM(), 49) << size;
    }
    image.SetSizeMM(10);
    EXPECT_EQ(image.SizeMM(), 10);
    image.SetSizeMM(200);
    EXPECT_EQ(image.SizeMM(), 200);
    EXPECT_EQ(image.PixelSize(), 756);
    EXPECT_EQ(MulDivRound(61, 120, 57), 128);
    EXPECT_EQ(MulDivRound(5, 3, 2), 8);    // 7.5 rounds away from zero
    EXPECT_EQ(MulDivRound(-5, 3, 2), -8);
    EXPECT_EQ(MulDivRound(7, 1, 2), 4);
    EXPECT_THROW(image.SetPixelsPerInch(0), EQuillmarkError);
    EXPECT_THROW(image.SetPixelsPerInch(5000), EQuillmarkError);
}

TEST(QRScaled, QuietZoneEnlargesTheSize) {
    const std::string v10 = test::RandomText(static_cast<std::size_t>(QRCapacity(1, 10, TQRMode::qmByte)), "abc", 5);
    ASSERT_EQ(EncodeQRBytes(v10, 1).Version, 10);
    const std::string v2 = "abcdefghijklmnopqrst";
    ASSERT_EQ(EncodeQRBytes(v2, 1).Version, 2);
    struct TCase {
        const std::string* Text;
        int Size, Margin, SizeMM, Pixels;
    };
    const TCase cases[] = {{&v10, 120, 0, 120, 454}, {&v10, 120, 1, 128, 484}, {&v10, 120, 2, 137, 518},
                           {&v2, 200, 1, 232, 877},  {&v2, 200, 2, 264, 998},  {&v2, 9, 0, 49, 185}};
    for (const TCase& c : cases) {
        TQRImageScaled image;
        image.SetSizeMM(c.Size);
        image.SetMarginIndex(c.Margin);
        image.EncodeText(*c.Text, 1, true);
        EXPECT_EQ(image.SizeMM(), c.SizeMM) << c.Size << "/" << c.Margin;
        EXPECT_EQ(image.PixelSize(), c.Pixels) << c.Size << "/" << c.Margin;
        EXPECT_EQ(image.PixelSize(), QRPixelSize(c.SizeMM, 96));
    }
}

TEST(QRScaled, NearestNeighbourStretch) {
    TQRImageScaled image;
    image.SetSizeMM(10);  // 38 pixels for 21 modules: some modules 2, some 1 wide
    image.EncodeText("01234567", 1, true);
    const TRGBImage scaled = image.ScaledBitmap();
    ASSERT_EQ(scaled.Width, 38);
    ExpectBlackAndWhite(scaled);
    for (int y = 0; y < 38; ++y)
        for (int x = 0; x < 38; ++x)
            ASSERT_EQ(scaled.Pixel(x, y), image.Pixel((2 * x + 1) * 21 / 76, (2 * y + 1) * 21 / 76));
    // The outermost pixels belong to the finder patterns (no quiet zone).
    EXPECT_EQ(scaled.Pixel(0, 0), clBlack);
    EXPECT_EQ(scaled.Pixel(37, 0), clBlack);
    EXPECT_EQ(scaled.Pixel(0, 37), clBlack);
}

TEST_F(QRFiles, WriteQRCodePNGWritesTheStatedFile) {
    struct TCase {
        int Size, PixelsPerInch, Pixels;
    };
    for (const TCase c : {TCase{120, 96, 454}, {200, 96, 756}, {49, 96, 185}, {10, 96, 38}, {120, 120, 567},
                          {200, 120, 945}, {120, 144, 680}, {200, 144, 1134}, {201, 96, 185}, {-5, 96, 185}}) {
        const std::string file = File("card.png");
        const int sizeMM = WriteQRCodePNG(c.Size, kVCard, file, 1, true, 0, c.PixelsPerInch);
        EXPECT_EQ(sizeMM, c.Size >= 10 && c.Size <= 200 ? c.Size : 49);
        const std::string bytes = ReadFileToString(file);
        ExpectProgramPNG(bytes, c.Pixels);
        const TRGBImage image = ReadPNGRGB(bytes);
        ExpectBlackAndWhite(image);
        EXPECT_EQ(image.Pixel(0, 0), clBlack);
        // A reader needs at least two pixels per module; 10 mm at 96 ppi is
        // too small for a card, as it would be on screen.
        if (c.Pixels < 2 * QRSymbolSize(EncodeQRBytes(kVCard, 1).Version)) continue;
#ifdef QM_TEST_HAS_DECODER
        const test::TDecoded decoded = test::DecodeImage(image, false, c.Pixels / 10);
        ASSERT_TRUE(decoded.Valid) << c.Size << "@" << c.PixelsPerInch;
        EXPECT_EQ(decoded.Bytes, kVCard);
        EXPECT_EQ(decoded.ECLevel, "M");
#endif
    }
}

#ifdef QM_TEST_HAS_DECODER
TEST_F(QRFiles, QuietZoneFilesDecodeWithoutHelp) {
    const std::string file = File("zone.png");
    const int n = QRSymbolSize(EncodeQRBytes(kVCard, 2).Version);
    EXPECT_EQ(WriteQRCodePNG(120, kVCard, file, 2, true, 2), MulDivRound(n + 8, 120, n));
    const TRGBImage image = ReadPNGRGB(ReadFileToString(file));
    EXPECT_EQ(image.Pixel(0, 0), clWhite);
    const test::TDecoded decoded = test::DecodeImage(image, false);
    ASSERT_TRUE(decoded.Valid);
    EXPECT_EQ(decoded.Bytes, kVCard);
    EXPECT_EQ(decoded.ECLevel, "Q");
}

TEST_F(QRFiles, Windows1252Payload) {
    const std::string file = File("latin.png");
    WriteQRCodePNG(49, "Grüße aus Köln", file, 3, false, 2);
    const test::TDecoded decoded = test::DecodeImage(ReadPNGRGB(ReadFileToString(file)), false);
    ASSERT_TRUE(decoded.Valid);
    EXPECT_EQ(decoded.Bytes, "Gr\xFC\xDF" "e aus K\xF6ln");
    EXPECT_EQ(decoded.ECLevel, "H");
}
#endif

TEST_F(QRFiles, FailuresLeaveFilesAlone) {
    const std::string file = File("keep.png");
    WriteFileAtomic(file, "old");
    try {
        WriteQRCodePNG(120, std::string(2332, 'x'), file, 1, true, 0);
        ADD_FAILURE();
    } catch (const EQuillmarkError& e) {
        EXPECT_STREQ(e.what(), "Zu viele Einträge in der Liste (2332)");
    }
    // UTF-8 counts: 1166 umlauts are 2332 bytes.
    std::string umlauts;
    for (int i = 0; i < 1166; ++i) umlauts += "ä";
    EXPECT_THROW(WriteQRCodePNG(120, umlauts, file, 1, true, 0), EQuillmarkError);
    try {
        WriteQRCodePNG(120, "x", file, 1, true, 3);
        ADD_FAILURE();
    } catch (const EQuillmarkError& e) {
        EXPECT_STREQ(e.what(), "Ungültiger Randindex (3)");
    }
    EXPECT_THROW(WriteQRCodePNG(120, "x", file, 7, true, 0), EQuillmarkError);
    EXPECT_EQ(ReadFileToString(file), "old");
    EXPECT_THROW(WriteQRCodePNG(120, "x", File("missing/dir/x.png"), 1, true, 0), EInOutError);
    EXPECT_FALSE(fs::exists(File("fresh.png")));
    EXPECT_THROW(WriteQRCodePNG(120, std::string(3000, 'x'), File("fresh.png"), 1, true, 0), EQuillmarkError);
    EXPECT_FALSE(fs::exists(File("fresh.png")));
}

// A descendant class sees every step: the class operation uses the factory
// and the virtual overrides.
class TRecordingImage : public TQRImageScaled {
public:
    explicit TRecordingImage(std::vector<std::string>& log) : FLog(log) {
        OnBitmap = [this](TRGBImage& bitmap) {
            FLog.push_back("bitmap " + std::to_string(bitmap.Width));
            bitmap.SetPixel(0, 0, clWhite);
        };
    }
    ~TRecordingImage() override { FLog.push_back("freed"); }
    void DrawMatrix(const TQRMatrix& matrix) override {
        FLog.push_back("draw " + std::to_string(matrix.Size()));
        TQRImageScaled::DrawMatrix(matrix);
    }

private:
    std::vector<std::string>& FLog;
};

TEST_F(QRFiles, WriteOfClassUsesTheClassAndFreesIt) {
    std::vector<std::string> log;
    const auto factory = [&log] { return std::make_unique<TRecordingImage>(log); };
    const std::string file = File("class.png");
    // 21 modules and a two-module quiet zone: 25 x 200 / 21 = 238.1 mm, 900 pixels.
    EXPECT_EQ(WriteQRCodePNGOfClass(factory, 200, "HELLO WORLD", file, 2, true, 1), 238);
    EXPECT_EQ(log, (std::vector<std::string>{"draw 21", "bitmap 900", "freed"}));
    EXPECT_EQ(ReadPNGRGB(ReadFileToString(file)).Pixel(0, 0), clWhite);
    log.clear();
    EXPECT_THROW(WriteQRCodePNGOfClass(factory, 200, std::string(5000, 'x'), file, 2, true, 1), EQuillmarkError);
    EXPECT_EQ(log, (std::vector<std::string>{"freed"}));
}

}  // namespace
}  // namespace qm
