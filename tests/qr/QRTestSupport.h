// Shared helpers of the QR tests: an independent decoder (zxing-cpp), a PNG
// chunk inspector and a straightforward penalty count to check the fast one.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "UQRMask.h"
#include "URGBImage.h"

namespace qm::test {

#ifdef QM_TEST_HAS_DECODER
// The decoder exists only where zxing-cpp does: not in the Windows tree,
// whose images are decoded by a Linux test instead.
struct TDecoded {
    bool Valid = false;
    std::string Bytes;    // the symbol's content bytes, no character set applied
    std::string ECLevel;  // "L", "M", "Q" or "H"
};

// Decodes an RGB image with zxing-cpp; `pure` tells it the image holds
// only an axis-aligned symbol. A white frame of `border` pixels is added
// around the image first, as a screen or paper would show it.
TDecoded DecodeImage(const TRGBImage& image, bool pure, int border = 0);

// Renders a module matrix at `scale` pixels per module with a four-module
// light quiet zone, and decodes it.
TDecoded DecodeMatrix(const TQRMatrix& matrix, int scale);
#endif

struct TPNGChunk {
    std::string Type;
    std::string Data;
    bool CrcOk = false;
};
struct TPNGInfo {
    bool SignatureOk = false;
    std::vector<TPNGChunk> Chunks;
    // IHDR fields
    std::uint32_t Width = 0, Height = 0;
    int BitDepth = -1, ColorType = -1, Compression = -1, Filter = -1, Interlace = -1;
    // The inflated image data (filter byte + row bytes per row); empty when
    // the zlib stream is broken.
    std::string ImageData;
    int ZlibLevelFlag = -1;  // FLEVEL of the zlib header
};
TPNGInfo InspectPNG(std::string_view bytes);

// The penalty counted module by module, straight from the rules.
TMaskPenalty NaivePenalty(const TQRMatrix& m);

// Deterministic pseudo-random bytes from `alphabet`.
std::string RandomText(std::size_t length, std::string_view alphabet, std::uint32_t seed);

}  // namespace qm::test
