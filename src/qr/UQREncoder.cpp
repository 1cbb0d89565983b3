#include "UQREncoder.h"

#include "UErrors.h"
#include "UQRBitStream.h"
#include "UQRReedSolomon.h"
#include "UTextEncoding.h"

namespace qm {

std::string QRPayloadBytes(std::string_view text, bool convertToUtf8) {
    return convertToUtf8 ? EncodeUtf8(Utf8ToUtf16(text)) : Utf8ToCp1252(text);
}

void CheckECLevel(int level) {
    if (level < 0 || level >= kQRLevelCount)
        throw EQuillmarkError("Ungültige Fehlerkorrekturstufe (" + std::to_string(level) + ")");
}

TQRSymbol EncodeQRBytes(std::string_view bytes, int level) {
    CheckECLevel(level);
    TQRSymbol symbol;
    symbol.Level = level;
    symbol.Mode = ChooseMode(bytes);
    symbol.Version = ChooseVersion(level, symbol.Mode, bytes.size());
    if (symbol.Version == 0)
        throw EQuillmarkError("Zu viele Einträge in der Liste (" + std::to_string(bytes.size()) + ")");

    const std::vector<std::uint8_t> data = BuildDataCodewords(bytes, symbol.Mode, level, symbol.Version);
    const TListByte codewords = InterleaveCodewords(data, level, symbol.Version);
    const TQRVersionLayout& layout = QRVersionLayout(symbol.Version);
    const TQRPlacedMatrix placed = PlaceCodewords(layout, codewords.View());
    TMaskChoice choice = ChooseMask(layout, placed, level);
    symbol.Mask = choice.Mask;
    symbol.Matrix = std::move(choice.Symbol);
    return symbol;
}

}  // namespace qm
