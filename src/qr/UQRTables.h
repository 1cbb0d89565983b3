// Constant tables of the QR Code symbology (ISO/IEC 18004:2015, Model 2,
// versions 1 to 40). Every table indexed by error correction level uses the
// order L, M, Q, H (0..3); every table indexed by version has version 1 at
// index 0.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace qm {

inline constexpr int kQRMinVersion = 1;
inline constexpr int kQRMaxVersion = 40;
inline constexpr int kQRLevelCount = 4;  // L, M, Q, H

// Width of a symbol in modules: 4 x version + 17 (21..177).
constexpr int QRSymbolSize(int version) noexcept { return 4 * version + 17; }

// Encoding modes used here (one segment per symbol) and their 4-bit mode
// indicators (ISO/IEC 18004 table 2).
enum class TQRMode : std::uint8_t { qmNumeric = 0b0001, qmAlphanumeric = 0b0010, qmByte = 0b0100 };

// Total codewords (data and error correction) per version 1..40
// (ISO/IEC 18004 table 1). Precondition: 1 <= version <= 40.
std::uint16_t TotalCodewords(int version) noexcept;

// Data codewords per level 0..3 and version 1..40 (ISO/IEC 18004 table 7).
// Preconditions of every accessor below: level 0..3, version 1..40 (7..40
// for VersionWord), mask 0..7; the tables are not range-checked.
std::uint16_t DataCodewords(int level, int version) noexcept;

// Number of error correction blocks, both block kinds together, per level
// 0..3 and version 1..40 (ISO/IEC 18004 table 9).
std::uint8_t BlockCount(int level, int version) noexcept;

// Row/column coordinates of the alignment pattern centres of version 1..40
// (ISO/IEC 18004 annex E, table E.1); empty for version 1.
std::span<const std::uint8_t> AlignmentCentres(int version) noexcept;

// 18-bit version information word of version 7..40 (ISO/IEC 18004 annex D,
// table D.1): six version bits followed by the BCH(18,6) check bits.
std::uint32_t VersionWord(int version) noexcept;

// 15-bit format information word for level 0..3 and mask reference 0..7
// (ISO/IEC 18004 annex C, table C.1), already XORed with 0x5412.
std::uint16_t FormatWord(int level, int mask) noexcept;

// Length of the character count indicator in bits for a mode and version
// 1..40 (ISO/IEC 18004 table 3).
int CharCountBits(TQRMode mode, int version) noexcept;

// Value of a byte in the alphanumeric character set (ISO/IEC 18004 table 5),
// or -1 for every byte outside the 45 characters (lower case included).
int AlphanumericValue(std::uint8_t byte) noexcept;

// Quiet-zone width in modules per margin index 0..2.
inline constexpr std::array<int, 3> QuietZoneModules{0, 2, 4};

}  // namespace qm
