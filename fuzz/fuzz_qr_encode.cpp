// Encodes arbitrary bytes at a level chosen by the input and checks that an
// independent reader (zxing-cpp) decodes the symbol back to the same bytes,
// or that the length error is the one a too long text must raise.
//
// Input: byte 0 picks the level (bits 0-1) and how the rest is shaped
// (bits 2-3: 0 raw bytes, 1 digits, 2 alphanumeric characters), so that
// all three modes get exercised.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "QRTestSupport.h"
#include "UErrors.h"
#include "UQRBitStream.h"
#include "UQREncoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const int level = data[0] & 3;
    const int shape = (data[0] >> 2) & 3;
    static constexpr std::string_view kDigits = "0123456789";
    static constexpr std::string_view kAlphanumeric = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ $%*+-./:";
    std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    if (shape == 1)
        for (char& c : text) c = kDigits[static_cast<std::uint8_t>(c) % kDigits.size()];
    else if (shape == 2)
        for (char& c : text) c = kAlphanumeric[static_cast<std::uint8_t>(c) % kAlphanumeric.size()];

    qm::TQRSymbol symbol;
    try {
        symbol = qm::EncodeQRBytes(text, level);
    } catch (const qm::EQuillmarkError& e) {
        const std::string expected = "Zu viele Einträge in der Liste (" + std::to_string(text.size()) + ")";
        if (e.what() != expected || qm::ChooseVersion(level, qm::ChooseMode(text), text.size()) != 0) {
            std::fprintf(stderr, "unexpected error: %s\n", e.what());
            std::abort();
        }
        return 0;
    }
    if (symbol.Matrix.Size() != 4 * symbol.Version + 17) std::abort();
    const qm::test::TDecoded decoded = qm::test::DecodeMatrix(symbol.Matrix, 2);
    if (!decoded.Valid || decoded.Bytes != text) {
        std::fprintf(stderr, "round trip failed: version %d level %d, %zu bytes in\n", symbol.Version, level,
                     text.size());
        std::abort();
    }
    return 0;
}
