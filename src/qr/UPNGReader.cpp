#include "UPNGReader.h"

#include <png.h>

#include <csetjmp>
#include <cstring>
#include <vector>

#include "UErrors.h"

namespace qm {

namespace {

constexpr unsigned long long kDeflateMaxExpansion = 1032;

struct TReadState {
    std::string_view Bytes;
    std::size_t Position = 0;
};

void OnRead(png_structp png, png_bytep data, png_size_t length) {
    auto* state = static_cast<TReadState*>(png_get_io_ptr(png));
    if (length > state->Bytes.size() - state->Position) png_error(png, "truncated");
    std::memcpy(data, state->Bytes.data() + state->Position, length);
    state->Position += length;
}

void OnError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void OnWarning(png_structp, png_const_charp) {}

class TPNGReadStruct {
public:
    TPNGReadStruct() : FPng(png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning)) {
        if (FPng == nullptr) throw EQuillmarkError("Ungültiges Stream-Format");
        FInfo = png_create_info_struct(FPng);
        if (FInfo == nullptr) {
            png_destroy_read_struct(&FPng, nullptr, nullptr);
            throw EQuillmarkError("Ungültiges Stream-Format");
        }
    }
    ~TPNGReadStruct() { png_destroy_read_struct(&FPng, &FInfo, nullptr); }
    TPNGReadStruct(const TPNGReadStruct&) = delete;
    TPNGReadStruct& operator=(const TPNGReadStruct&) = delete;
    png_structp Png() const noexcept { return FPng; }
    png_infop Info() const noexcept { return FInfo; }

private:
    png_structp FPng;
    png_infop FInfo = nullptr;
};

// Between setjmp and the longjmp of OnError only trivially destructible
// locals live here; the image and row pointers belong to the caller.
bool Decode(const TPNGReadStruct& reader, TReadState& state, TRGBImage& image, std::vector<png_bytep>& rows) {
    png_structp png = reader.Png();
    png_infop info = reader.Info();
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_read_fn(png, &state, OnRead);
    png_set_user_limits(png, 1000000, 1000000);
    png_set_chunk_malloc_max(png, 8 * 1024 * 1024);
    // libpng reports a chunk beyond that limit as a benign error, by default
    // only a warning, and then allocates the length the chunk claims (a few
    // bytes of file could ask for 2 GB): as an error it ends the read.
    png_set_benign_errors(png, 0);
    // Only the pixels are wanted: every ancillary chunk but tRNS is skipped
    // unread instead of parsed into buffers (sCAL, iCCP, zTXt, ...).
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
    png_read_info(png, info);
    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    if (static_cast<long long>(width) * height > kPNGMaxPixels) return false;
    // Deflate expands at most 1032-fold (a 258-byte match in two bits, RFC
    // 1951), so a file too short for the pixel data its header announces
    // cannot be complete: it is refused before the image is allocated, and a
    // few bytes can no longer demand the largest image.
    const unsigned long long pixelBits = static_cast<unsigned long long>(width) * height *
                                         png_get_channels(png, info) * png_get_bit_depth(png, info);
    if (pixelBits / 8 > kDeflateMaxExpansion * state.Bytes.size()) return false;
    const int colorType = png_get_color_type(png, info);
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_strip_alpha(png);
    if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != static_cast<png_size_t>(width) * 3) return false;
    image = TRGBImage(static_cast<int>(width), static_cast<int>(height));
    rows.resize(height);
    for (png_uint_32 y = 0; y < height; ++y) rows[y] = image.Row(static_cast<int>(y)).data();
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    return true;
}

}  // namespace

TRGBImage ReadPNGRGB(std::string_view bytes) {
    TReadState state{bytes};
    TPNGReadStruct reader;
    TRGBImage image;
    std::vector<png_bytep> rows;
    if (!Decode(reader, state, image, rows)) throw EQuillmarkError("Ungültiges Stream-Format");
    return image;
}

}  // namespace qm
