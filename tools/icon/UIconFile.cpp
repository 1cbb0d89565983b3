#include "UIconFile.h"

#include <cstdint>
#include <string_view>

#include <zlib.h>

#include "UErrors.h"

namespace qm {

namespace {

void Put16(std::string& out, unsigned value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}

void Put32(std::string& out, std::uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

void PutBig32(std::string& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((value >> shift) & 0xFF);
}

// One PNG chunk: length, type, data, CRC of type and data.
void PutChunk(std::string& out, std::string_view type, std::string_view data) {
    PutBig32(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t start = out.size();
    out += type;
    out += data;
    const auto* bytes = reinterpret_cast<const Bytef*>(out.data() + start);
    PutBig32(out, static_cast<std::uint32_t>(crc32(0, bytes, static_cast<uInt>(out.size() - start))));
}

// `image` as an opaque 8-bit RGBA PNG: every row unfiltered, zlib's best
// compression.
std::string PngRgba(const TRGBImage& image) {
    std::string raw;
    raw.reserve(static_cast<std::size_t>(image.Height) * (1 + image.Width * 4));
    for (int y = 0; y < image.Height; ++y) {
        raw += '\0';  // filter type None
        for (int x = 0; x < image.Width; ++x) {
            const TColor c = image.Pixel(x, y);
            raw += static_cast<char>(RedOf(c));
            raw += static_cast<char>(GreenOf(c));
            raw += static_cast<char>(BlueOf(c));
            raw += static_cast<char>(0xFF);
        }
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::string packed(packedSize, '\0');
    if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize, reinterpret_cast<const Bytef*>(raw.data()),
                  static_cast<uLong>(raw.size()), Z_BEST_COMPRESSION) != Z_OK)
        throw EQuillmarkError("Das Symbolbild lässt sich nicht komprimieren");
    packed.resize(packedSize);
    std::string header;
    PutBig32(header, static_cast<std::uint32_t>(image.Width));
    PutBig32(header, static_cast<std::uint32_t>(image.Height));
    header += std::string_view("\x08\x06\0\0\0", 5);  // 8 bits, RGBA, deflate, no filter choice, no interlace
    std::string out("\x89PNG\r\n\x1A\n", 8);
    PutChunk(out, "IHDR", header);
    PutChunk(out, "IDAT", packed);
    PutChunk(out, "IEND", {});
    return out;
}

// One image's bytes in the file: the DIB's header, colour rows and mask
// rows (each mask row padded to 32 bits), or the PNG.
std::string ImageData(const TRGBImage& image) {
    if (image.Width >= kPNGIconSize) return PngRgba(image);
    std::string out;
    Put32(out, 40);
    Put32(out, static_cast<std::uint32_t>(image.Width));
    Put32(out, static_cast<std::uint32_t>(image.Height * 2));  // colour and mask
    Put16(out, 1);
    Put16(out, 32);
    for (int i = 0; i < 6; ++i) Put32(out, 0);  // BI_RGB, sizes, resolution, colours
    for (int y = image.Height - 1; y >= 0; --y) {
        for (int x = 0; x < image.Width; ++x) {
            const TColor c = image.Pixel(x, y);
            out += static_cast<char>(BlueOf(c));
            out += static_cast<char>(GreenOf(c));
            out += static_cast<char>(RedOf(c));
            out += static_cast<char>(0xFF);  // opaque
        }
    }
    out.append(static_cast<std::size_t>((image.Width + 31) / 32 * 4) * image.Height, '\0');
    return out;
}

}  // namespace

std::string IconFile(const std::vector<TRGBImage>& images) {
    std::vector<std::string> data;
    for (const TRGBImage& image : images) data.push_back(ImageData(image));
    std::string out;
    Put16(out, 0);  // reserved
    Put16(out, 1);  // type: icon
    Put16(out, static_cast<unsigned>(images.size()));
    std::uint32_t offset = static_cast<std::uint32_t>(6 + 16 * images.size());
    for (std::size_t i = 0; i < images.size(); ++i) {
        out += static_cast<char>(images[i].Width >= 256 ? 0 : images[i].Width);
        out += static_cast<char>(images[i].Height >= 256 ? 0 : images[i].Height);
        out += '\0';    // no palette
        out += '\0';    // reserved
        Put16(out, 1);  // planes
        Put16(out, 32);  // bits per pixel
        Put32(out, static_cast<std::uint32_t>(data[i].size()));
        Put32(out, offset);
        offset += static_cast<std::uint32_t>(data[i].size());
    }
    for (const std::string& bytes : data) out += bytes;
    return out;
}

}  // namespace qm
