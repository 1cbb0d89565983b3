// The QR encoder as one pure function: text bytes and an error correction
// level in, the chosen masked symbol out (ISO/IEC 18004, Model 2).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "UQRMask.h"
#include "UQRTables.h"

namespace qm {

// The bytes a text is encoded as. The program's text is UTF-8; with
// `convertToUtf8` it stays UTF-8 (invalid sequences become U+FFFD), without
// it becomes Windows-1252 bytes, characters outside that code page "?".
// No ECI header marks the choice; readers see plain byte-mode data.
std::string QRPayloadBytes(std::string_view text, bool convertToUtf8);

struct TQRSymbol {
    int Version = 0;  // 1..40
    int Level = 0;    // 0..3 for L, M, Q, H
    TQRMode Mode = TQRMode::qmNumeric;
    int Mask = 0;     // 0..7
    TQRMatrix Matrix;  // N x N, N = 4 x Version + 17, true = dark
};

// Encodes `bytes` as one segment in the smallest version that holds them at
// `level` (never raising the level) and picks the mask with the lowest
// penalty. Raises EQuillmarkError("Zu viele Einträge in der Liste (n)"), n
// the byte count, when not even version 40 holds the bytes, and
// EQuillmarkError("Ungültige Fehlerkorrekturstufe (n)") for a level above 3.
TQRSymbol EncodeQRBytes(std::string_view bytes, int level);

// Raises the level error above for `level` outside 0..3.
void CheckECLevel(int level);

}  // namespace qm
