#include "UPNGWriter.h"

#include <png.h>
#include <zlib.h>

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

// Runs libpng between setjmp and its longjmp target: only trivially
// destructible locals live here, everything owned sits in the caller.
bool Encode(const TPNGWriteStruct& writer, TWriteState& state, int width, int height, const TPNGRowSource& rows,
            std::vector<std::uint8_t>& row) {
    png_structp png = writer.Png();
    png_infop info = writer.Info();
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_write_fn(png, &state, OnWrite, OnFlush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
    png_set_compression_level(png, kPNGCompressionLevel);
    png_set_compression_strategy(png, Z_DEFAULT_STRATEGY);
    // libpng emits one IDAT chunk per filled compression buffer.
    png_set_compression_buffer_size(png, kPNGMaxIDATLength);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
        rows(y, row);
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    return true;
}

}  // namespace

std::string WritePNGRGB(int width, int height, const TPNGRowSource& rows) {
    std::string out;
    TWriteState state{&out, {}};
    TPNGWriteStruct writer(state);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(width) * 3);
    if (!Encode(writer, state, width, height, rows, row)) throw EQuillmarkError("PNG: " + state.Error);
    return out;
}

std::string WritePNGRGB(const TRGBImage& image) {
    return WritePNGRGB(image.Width, image.Height, [&image](int y, std::span<std::uint8_t> row) {
        const auto source = image.Row(y);
        std::copy(source.begin(), source.end(), row.begin());
    });
}

}  // namespace qm
