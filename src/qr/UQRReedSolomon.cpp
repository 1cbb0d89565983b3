#include "UQRReedSolomon.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "UErrors.h"

namespace qm {

namespace {

struct TGaloisField {
    std::array<std::uint8_t, 256> Exp{};  // Exp[255] repeats Exp[0] for the modulo-free lookup below
    std::array<std::uint8_t, 256> Log{};
};

constexpr TGaloisField MakeGaloisField() {
    TGaloisField field;
    unsigned value = 1;
    for (int i = 0; i < 255; ++i) {
        field.Exp[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value);
        field.Log[value] = static_cast<std::uint8_t>(i);
        value <<= 1;
        if (value & 0x100) value ^= 0x11D;
    }
    field.Exp[255] = field.Exp[0];
    return field;
}
constexpr TGaloisField kField = MakeGaloisField();

constexpr std::uint8_t Mul(std::uint8_t a, std::uint8_t b) {
    if (a == 0 || b == 0) return 0;
    return kField.Exp[(kField.Log[a] + kField.Log[b]) % 255];
}

constexpr int kMaxDegree = 30;

// Generator polynomials of ISO/IEC 18004 annex A, built by multiplying out
// (x - 2^0)...(x - 2^(e-1)); stored as logarithms of the coefficients from
// x^e down to x^0.
// degree index (kQRECDegrees) x exponents, e + 1 used
using TGeneratorTable = std::array<std::array<std::uint8_t, kMaxDegree + 1>, kQRECDegrees.size()>;

constexpr TGeneratorTable MakeGenerators() {
    TGeneratorTable table{};
    for (std::size_t d = 0; d < kQRECDegrees.size(); ++d) {
        const int degree = kQRECDegrees[d];
        // Coefficients from x^degree down; start with the polynomial 1.
        std::array<std::uint8_t, kMaxDegree + 1> poly{};
        poly[0] = 1;
        for (int root = 0; root < degree; ++root) {
            // poly := poly * (x + 2^root); in GF(2^8) minus is plus.
            const std::uint8_t r = kField.Exp[static_cast<std::size_t>(root)];
            for (int k = root + 1; k >= 1; --k)
                poly[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(
                    poly[static_cast<std::size_t>(k)] ^ Mul(poly[static_cast<std::size_t>(k - 1)], r));
        }
        for (int k = 0; k <= degree; ++k)
            table[d][static_cast<std::size_t>(k)] = kField.Log[poly[static_cast<std::size_t>(k)]];
    }
    return table;
}
constexpr TGeneratorTable kGenerators = MakeGenerators();

int DegreeIndex(int degree) {
    const auto* it = std::find(kQRECDegrees.begin(), kQRECDegrees.end(), degree);
    if (it == kQRECDegrees.end()) throw EQuillmarkError("Ungültiges Stream-Format");
    return static_cast<int>(it - kQRECDegrees.begin());
}

// Per degree, the products of every byte value with the generator
// coefficients of x^(e-1) .. x^0, padded to 32 bytes, so that one step of
// the division is a table row XORed into the remainder.
// feedback byte x remainder position
using TProductTable = std::array<std::array<std::uint8_t, 32>, 256>;

const TProductTable& ProductTable(int degreeIndex) {
    static const auto tables = [] {
        auto all = std::make_unique<std::array<TProductTable, kQRECDegrees.size()>>();
        for (std::size_t d = 0; d < kQRECDegrees.size(); ++d) {
            const int degree = kQRECDegrees[d];
            for (int c = 1; c < 256; ++c)
                for (int k = 1; k <= degree; ++k)
                    (*all)[d][static_cast<std::size_t>(c)][static_cast<std::size_t>(k - 1)] =
                        kField.Exp[(kGenerators[d][static_cast<std::size_t>(k)] +
                                    kField.Log[static_cast<std::size_t>(c)]) %
                                   255];
        }
        return all;
    }();
    return (*tables)[static_cast<std::size_t>(degreeIndex)];
}

// Remainder of data(x) * x^e by the generator into `ec` (e bytes). The
// remainder register holds the next e positions of the long division of
// ISO/IEC 18004 annex A; each data byte shifts it by one and adds the row
// of the leading coefficient.
void Divide(std::span<const std::uint8_t> data, const TProductTable& products, int degree, std::uint8_t* ec) {
    std::uint8_t reg[33] = {};  // reg[32] stays 0: what shifts in from beyond the register
    for (const std::uint8_t d : data) {
        const std::uint8_t feedback = d ^ reg[0];
        std::uint8_t shifted[32];
        std::memcpy(shifted, reg + 1, 32);
        const std::uint8_t* row = products[feedback].data();
        for (int k = 0; k < 32; ++k) reg[k] = shifted[k] ^ row[k];
    }
    std::memcpy(ec, reg, static_cast<std::size_t>(degree));
}

}  // namespace

std::uint8_t GFExp(int exponent) noexcept { return kField.Exp[static_cast<std::size_t>(exponent % 255)]; }
std::uint8_t GFLog(std::uint8_t value) noexcept { return kField.Log[value]; }
std::uint8_t GFMultiply(std::uint8_t a, std::uint8_t b) noexcept { return Mul(a, b); }

std::span<const std::uint8_t> GeneratorExponents(int degree) {
    const int index = DegreeIndex(degree);
    return {kGenerators[static_cast<std::size_t>(index)].data(), static_cast<std::size_t>(degree + 1)};
}

std::vector<std::uint8_t> ReedSolomonCodewords(std::span<const std::uint8_t> data, int degree) {
    const TProductTable& products = ProductTable(DegreeIndex(degree));
    std::vector<std::uint8_t> ec(static_cast<std::size_t>(degree));
    Divide(data, products, degree, ec.data());
    return ec;
}

TQRBlockLayout BlockLayout(int level, int version) noexcept {
    const int total = TotalCodewords(version);
    const int data = DataCodewords(level, version);
    const int blocks = BlockCount(level, version);
    return {blocks, total % blocks, data / blocks, total / blocks - data / blocks};
}

TListByte InterleaveCodewords(std::span<const std::uint8_t> data, int level, int version) {
    const TQRBlockLayout layout = BlockLayout(level, version);
    const int e = layout.ECPerBlock;
    const int s = layout.ShortDataLength;
    const int shortBlocks = layout.Blocks - layout.LongBlocks;
    const TProductTable& products = ProductTable(DegreeIndex(e));

    // Block b starts at data offset b*s plus one for every long block before it.
    auto blockStart = [&](int b) { return b * s + std::max(0, b - shortBlocks); };
    std::vector<std::uint8_t> ec(static_cast<std::size_t>(layout.Blocks * e));
    for (int b = 0; b < layout.Blocks; ++b) {
        const int length = s + (b >= shortBlocks ? 1 : 0);
        Divide(data.subspan(static_cast<std::size_t>(blockStart(b)), static_cast<std::size_t>(length)), products, e,
               ec.data() + static_cast<std::ptrdiff_t>(b) * e);
    }

    TListByte out;
    out.SetCapacity(TotalCodewords(version));
    for (int j = 0; j < s; ++j)
        for (int b = 0; b < layout.Blocks; ++b) out.Add(data[static_cast<std::size_t>(blockStart(b) + j)]);
    for (int b = shortBlocks; b < layout.Blocks; ++b) out.Add(data[static_cast<std::size_t>(blockStart(b) + s)]);
    for (int j = 0; j < e; ++j)
        for (int b = 0; b < layout.Blocks; ++b) out.Add(ec[static_cast<std::size_t>(b * e + j)]);
    return out;
}

}  // namespace qm
