#include "QRTestSupport.h"

#include <zlib.h>

#include <cmath>
#include <cstdlib>
#include <random>

namespace qm::test {

namespace {
std::uint32_t BigEndian32(std::string_view b, std::size_t at) {
    return static_cast<std::uint32_t>(static_cast<std::uint8_t>(b[at])) << 24 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(b[at + 1])) << 16 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(b[at + 2])) << 8 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(b[at + 3]));
}
}  // namespace

TPNGInfo InspectPNG(std::string_view bytes) {
    TPNGInfo info;
    static constexpr std::string_view kSignature = "\x89PNG\r\n\x1a\n";
    info.SignatureOk = bytes.substr(0, 8) == kSignature;
    std::string idat;
    for (std::size_t at = 8; at + 12 <= bytes.size();) {
        const std::uint32_t length = BigEndian32(bytes, at);
        if (at + 12 + length > bytes.size()) break;
        TPNGChunk chunk;
        chunk.Type = std::string(bytes.substr(at + 4, 4));
        chunk.Data = std::string(bytes.substr(at + 8, length));
        const auto crc = crc32(0, reinterpret_cast<const Bytef*>(bytes.data() + at + 4), length + 4);
        chunk.CrcOk = crc == BigEndian32(bytes, at + 8 + length);
        if (chunk.Type == "IDAT") idat += chunk.Data;
        if (chunk.Type == "IHDR" && length == 13) {
            info.Width = BigEndian32(chunk.Data, 0);
            info.Height = BigEndian32(chunk.Data, 4);
            info.BitDepth = static_cast<std::uint8_t>(chunk.Data[8]);
            info.ColorType = static_cast<std::uint8_t>(chunk.Data[9]);
            info.Compression = static_cast<std::uint8_t>(chunk.Data[10]);
            info.Filter = static_cast<std::uint8_t>(chunk.Data[11]);
            info.Interlace = static_cast<std::uint8_t>(chunk.Data[12]);
        }
        info.Chunks.push_back(std::move(chunk));
        at += 12 + length;
    }
    if (idat.size() >= 2) info.ZlibLevelFlag = static_cast<std::uint8_t>(idat[1]) >> 6;
    z_stream z{};
    if (inflateInit(&z) != Z_OK) return info;
    z.next_in = reinterpret_cast<Bytef*>(idat.data());
    z.avail_in = static_cast<uInt>(idat.size());
    std::string out;
    char buffer[65536];
    int rc = Z_OK;
    while (rc == Z_OK) {
        z.next_out = reinterpret_cast<Bytef*>(buffer);
        z.avail_out = sizeof buffer;
        rc = inflate(&z, Z_NO_FLUSH);
        out.append(buffer, sizeof buffer - z.avail_out);
    }
    inflateEnd(&z);
    if (rc == Z_STREAM_END) info.ImageData = std::move(out);
    return info;
}

TMaskPenalty NaivePenalty(const TQRMatrix& m) {
    const int n = m.Size();
    TMaskPenalty p;
    auto at = [&](bool byColumn, int line, int i) { return byColumn ? m.Dark(line, i) : m.Dark(i, line); };
    for (const bool byColumn : {false, true}) {
        for (int line = 0; line < n; ++line) {
            int run = 1;
            for (int i = 1; i <= n; ++i) {
                if (i < n && at(byColumn, line, i) == at(byColumn, line, i - 1)) {
                    ++run;
                    continue;
                }
                if (run >= 5) p.N1 += 3 + (run - 5);
                run = 1;
            }
            static constexpr bool kPattern1[11] = {1, 0, 1, 1, 1, 0, 1, 0, 0, 0, 0};
            static constexpr bool kPattern2[11] = {0, 0, 0, 0, 1, 0, 1, 1, 1, 0, 1};
            for (int start = 0; start + 11 <= n; ++start) {
                bool match1 = true;
                bool match2 = true;
                for (int k = 0; k < 11; ++k) {
                    match1 = match1 && at(byColumn, line, start + k) == kPattern1[k];
                    match2 = match2 && at(byColumn, line, start + k) == kPattern2[k];
                }
                p.N3 += (match1 ? 40 : 0) + (match2 ? 40 : 0);
            }
        }
    }
    for (int y = 0; y + 1 < n; ++y)
        for (int x = 0; x + 1 < n; ++x) {
            const bool c = m.Dark(x, y);
            if (m.Dark(x + 1, y) == c && m.Dark(x, y + 1) == c && m.Dark(x + 1, y + 1) == c) p.N2 += 3;
        }
    const double share = 20.0 * m.DarkCount() / (static_cast<double>(n) * n) - 10.0;
    p.N4 = 10 * static_cast<int>(std::trunc(std::abs(share)));
    return p;
}

std::string RandomText(std::size_t length, std::string_view alphabet, std::uint32_t seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    std::string text(length, '\0');
    for (char& c : text) c = alphabet[pick(random)];
    return text;
}

}  // namespace qm::test
