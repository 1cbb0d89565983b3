#include "UPNGWriter.h"

#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <csetjmp>
#include <vector>

#include "UErrors.h"

namespace qm {

namespace {

struct TWriteState {
    std::string* Out;
    std::string Error;
};

void OnWrite(png_structp png, png_bytep data, png_size_t length) {
    auto* state = static_cast<TWriteState*>(png_get_io_ptr(png));
    try {
        state->Out->append(reinterpret_cast<const char*>(data), length);
    } catch (const std::bad_alloc&) {
        png_error(png, "out of memory");
    }
}

void OnFlush(png_structp) {}

void OnError(png_structp png, png_const_charp message) {
    auto* state = static_cast<TWriteState*>(png_get_error_ptr(png));
    state->Error = message;
    png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

// Owns the libpng write structures.
class TPNGWriteStruct {
public:
    explicit TPNGWriteStruct(TWriteState& state)
        : FPng(png_create_write_struct(PNG_LIBPNG_VER_STRING, &state, OnError, OnWarning)) {
        if (FPng == nullptr) throw EQuillmarkError("PNG: out of memory");
        FInfo = png_create_info_struct(FPng);
        if (FInfo == nullptr) {
            png_destroy_write_struct(&FPng, nullptr);
            throw EQuillmarkError("PNG: out of memory");
        }
    }
    ~TPNGWriteStruct() { png_destroy_write_struct(&FPng, &FInfo); }
    TPNGWriteStruct(const TPNGWriteStruct&) = delete;
    TPNGWriteStruct& operator=(const TPNGWriteStruct&) = delete;
    png_structp Png() const noexcept { return FPng; }
    png_infop Info() const noexcept { return FInfo; }

private:
    png_structp FPng;
    png_infop FInfo = nullptr;
};

// Owns a zlib deflate stream with the settings of the image data: level 7,
// 32 KiB window, default memory level and strategy.
class TDeflater {
public:
    TDeflater() {
        if (deflateInit2(&Stream, kPNGCompressionLevel, Z_DEFLATED, 15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
            throw EQuillmarkError("PNG: out of memory");
    }
    ~TDeflater() { deflateEnd(&Stream); }
    TDeflater(const TDeflater&) = delete;
    TDeflater& operator=(const TDeflater&) = delete;
    z_stream Stream{};
};

// Buffers owned by WritePNGRGB for Encode.
struct TEncodeBuffers {
    std::vector<std::uint8_t> Row;       // the raw RGB row
    std::vector<std::uint8_t> Filtered;  // filter type byte + Sub-filtered row
    std::vector<std::uint8_t> Staged;    // filtered rows waiting for deflate
    std::vector<std::uint8_t> Chunk;     // pending IDAT data, at most kPNGMaxIDATLength
};

// zlib compresses these images measurably faster (some 3 %) when it gets
// the whole filtered image in one call than when it gets it in pieces;
// up to this size it does.
constexpr std::size_t kMaxStagedBytes = 8 * 1024 * 1024;
constexpr png_byte kIDAT[5] = "IDAT";
constexpr png_byte kIEND[5] = "IEND";

// Feeds `z.next_in` to deflate, writing an IDAT chunk each time the chunk
// buffer fills (and, with Z_FINISH, the last partial one).
void Compress(png_structp png, z_stream& z, TEncodeBuffers& buffers, int flush) {
    for (;;) {
        const int rc = deflate(&z, flush);
        if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) png_error(png, "zlib failure");
        if (z.avail_out == 0 || (rc == Z_STREAM_END && z.avail_out < buffers.Chunk.size())) {
            png_write_chunk(png, kIDAT, buffers.Chunk.data(), buffers.Chunk.size() - z.avail_out);
            z.next_out = buffers.Chunk.data();
            z.avail_out = static_cast<uInt>(buffers.Chunk.size());
        }
        if (rc == Z_STREAM_END || (flush == Z_NO_FLUSH && z.avail_in == 0)) return;
    }
}

// Runs libpng between setjmp and its longjmp target: only trivially
// destructible locals live here, everything owned sits in the caller.
// libpng writes the signature, IHDR and the chunk framing with CRCs; the
// rows are filtered and deflated here so that a row repeating the one
// before costs no filtering, which matters for stretched symbols.
bool Encode(const TPNGWriteStruct& writer, TWriteState& state, z_stream& z, int width, int height,
            const TPNGRowSource& rows, TEncodeBuffers& buffers) {
    png_structp png = writer.Png();
    png_infop info = writer.Info();
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_write_fn(png, &state, OnWrite, OnFlush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);

    const std::size_t stride = static_cast<std::size_t>(width) * 3;
    std::uint8_t* raw = buffers.Row.data();
    std::uint8_t* filtered = buffers.Filtered.data();
    z.next_out = buffers.Chunk.data();
    z.avail_out = static_cast<uInt>(buffers.Chunk.size());
    std::size_t staged = 0;
    auto flushStaged = [&] {
        z.next_in = buffers.Staged.data();
        z.avail_in = static_cast<uInt>(staged);
        Compress(png, z, buffers, Z_NO_FLUSH);
        staged = 0;
    };
    for (int y = 0; y < height; ++y) {
        if (rows(y, buffers.Row) || y == 0) {
            // Filter type 1 (Sub): each byte less the same sample of the pixel to its left.
            filtered[0] = 1;
            std::copy(raw, raw + std::min<std::size_t>(3, stride), filtered + 1);
            for (std::size_t i = 3; i < stride; ++i) filtered[1 + i] = static_cast<std::uint8_t>(raw[i] - raw[i - 3]);
        }
        if (staged + stride + 1 > buffers.Staged.size()) flushStaged();
        if (stride + 1 > buffers.Staged.size()) {
            z.next_in = filtered;
            z.avail_in = static_cast<uInt>(stride + 1);
            Compress(png, z, buffers, Z_NO_FLUSH);
        } else {
            std::copy(filtered, filtered + stride + 1, buffers.Staged.data() + staged);
            staged += stride + 1;
        }
    }
    flushStaged();
    Compress(png, z, buffers, Z_FINISH);
    png_write_chunk(png, kIEND, nullptr, 0);
    return true;
}

}  // namespace

std::string WritePNGRGB(int width, int height, const TPNGRowSource& rows) {
    if (width < 1 || height < 1 || width > 1000000 || height > 1000000)
        throw EQuillmarkError("PNG: invalid image size");
    std::string out;
    out.reserve(kPNGMaxIDATLength);
    TWriteState state{&out, {}};
    TPNGWriteStruct writer(state);
    TDeflater deflater;
    const std::size_t stride = static_cast<std::size_t>(width) * 3;
    TEncodeBuffers buffers{std::vector<std::uint8_t>(stride), std::vector<std::uint8_t>(stride + 1),
                           std::vector<std::uint8_t>(
                               std::min(kMaxStagedBytes, (stride + 1) * static_cast<std::size_t>(height))), std::vector<std::uint8_t>(kPNGMaxIDATLength)};
    if (!Encode(writer, state, deflater.Stream, width, height, rows, buffers))
        throw EQuillmarkError("PNG: " + state.Error);
    return out;
}

std::string WritePNGRGB(const TRGBImage& image) {
    return WritePNGRGB(image.Width, image.Height, [&image](int y, std::span<std::uint8_t> row) {
        const auto source = image.Row(y);
        std::copy(source.begin(), source.end(), row.begin());
        return true;
    });
}

}  // namespace qm
