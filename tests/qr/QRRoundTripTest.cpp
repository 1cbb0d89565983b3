// Every symbol must decode, in an independent reader (zxing-cpp), to
// exactly the bytes that went in.
#include <gtest/gtest.h>

#include "QRTestSupport.h"
#include "UQRBitStream.h"
#include "UQREncoder.h"

namespace qm {
namespace {

constexpr const char* kLevelNames[4] = {"L", "M", "Q", "H"};

struct TModeCase {
    TQRMode Mode;
    std::string_view Alphabet;
};
// Byte mode includes every byte value that makes it byte mode (a lower-case
// letter is always present so the mode never falls back).
std::string ByteAlphabet() {
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    return all;
}

// The largest text of a version and mode at a level: it must land in that
// version exactly, filling it to the last character.
TEST(QRRoundTrip, EveryVersionLevelAndModeAtFullCapacity) {
    const std::string bytes = ByteAlphabet();
    const TModeCase cases[3] = {{TQRMode::qmNumeric, "0123456789"},
                                {TQRMode::qmAlphanumeric, "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ $%*+-./:"},
                                {TQRMode::qmByte, bytes}};
    for (int level = 0; level < 4; ++level) {
        for (int version = 1; version <= 40; ++version) {
            for (const TModeCase& c : cases) {
                const int capacity = QRCapacity(level, version, c.Mode);
                const auto seed = static_cast<std::uint32_t>(version * 16 + level * 4 + static_cast<int>(c.Mode));
                std::string text = test::RandomText(static_cast<std::size_t>(capacity), c.Alphabet, seed);
                if (c.Mode == TQRMode::qmByte) text[0] = 'q';
                const TQRSymbol symbol = EncodeQRBytes(text, level);
                ASSERT_EQ(symbol.Version, version);
                ASSERT_EQ(symbol.Mode, c.Mode);
                ASSERT_EQ(symbol.Matrix.Size(), 4 * version + 17);
                const test::TDecoded decoded = test::DecodeMatrix(symbol.Matrix, version < 20 ? 3 : 2);
                ASSERT_TRUE(decoded.Valid) << "version " << version << " level " << level << " mode "
                                           << static_cast<int>(c.Mode);
                EXPECT_EQ(decoded.Bytes, text) << version << "/" << level;
                EXPECT_EQ(decoded.ECLevel, kLevelNames[level]);
            }
        }
    }
}

TEST(QRRoundTrip, ShortAndEmptyTexts) {
    for (const std::string_view text : {"", "0", "A", "a", "01234567", "HELLO WORLD", "Hello, world!", "\xC3\xA4\xC3\xB6"}) {
        for (int level = 0; level < 4; ++level) {
            const TQRSymbol symbol = EncodeQRBytes(text, level);
            EXPECT_LE(symbol.Version, 2);
            const test::TDecoded decoded = test::DecodeMatrix(symbol.Matrix, 4);
            ASSERT_TRUE(decoded.Valid) << text;
            EXPECT_EQ(decoded.Bytes, text);
        }
    }
}

TEST(QRRoundTrip, OneCharacterPastEachVersion) {
    // The first text that needs the next version, at M, in byte mode.
    for (int version = 1; version < 40; version += 3) {
        const int length = QRCapacity(1, version, TQRMode::qmByte) + 1;
        const std::string text = test::RandomText(static_cast<std::size_t>(length), "abcdefghijklmnopqrstuvwxyz", 99);
        const TQRSymbol symbol = EncodeQRBytes(text, 1);
        EXPECT_EQ(symbol.Version, version + 1);
        const test::TDecoded decoded = test::DecodeMatrix(symbol.Matrix, 3);
        ASSERT_TRUE(decoded.Valid) << version;
        EXPECT_EQ(decoded.Bytes, text);
    }
}

}  // namespace
}  // namespace qm
