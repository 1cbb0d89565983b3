#include "UIconFile.h"

#include <cstdint>


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

// Bytes of one image: header, colour rows, mask rows (each mask row padded
// to 32 bits).
std::size_t ImageBytes(const TRGBImage& image) {
    const std::size_t maskRow = static_cast<std::size_t>((image.Width + 31) / 32 * 4);
    return 40 + static_cast<std::size_t>(image.Width) * image.Height * 4 + maskRow * image.Height;
}

}  // namespace

std::string IconFile(const std::vector<TRGBImage>& images) {
    std::string out;
    Put16(out, 0);  // reserved
    Put16(out, 1);  // type: icon
    Put16(out, static_cast<unsigned>(images.size()));
    std::uint32_t offset = static_cast<std::uint32_t>(6 + 16 * images.size());
    for (const TRGBImage& image : images) {
        out += static_cast<char>(image.Width >= 256 ? 0 : image.Width);
        out += static_cast<char>(image.Height >= 256 ? 0 : image.Height);
        out += '\0';    // no palette
        out += '\0';    // reserved
        Put16(out, 1);  // planes
        Put16(out, 32);  // bits per pixel
        const auto bytes = static_cast<std::uint32_t>(ImageBytes(image));
        Put32(out, bytes);
        Put32(out, offset);
        offset += bytes;
    }
    for (const TRGBImage& image : images) {
        Put32(out, 40);
        Put32(out, static_cast<std::uint32_t>(image.Width));
        Put32(out, static_cast<std::uint32_t>(image.Height * 2));  // colour and mask
        Put16(out, 1);
        Put16(out, 32);
        for (int i = 0; i < 6; ++i) Put32(out, 0);  // BI_RGB, sizes, resolution, colours
        for (int y = image.Height - 1; y >= 0; --y) {
            for (int x = 0; x < image.Width; ++x) {
                const TColor c = image.Pixel(x, y);
                out += static_cast<char>((c >> 16) & 0xFF);  // blue
                out += static_cast<char>((c >> 8) & 0xFF);   // green
                out += static_cast<char>(c & 0xFF);          // red
                out += static_cast<char>(0xFF);              // opaque
            }
        }
        out.append(static_cast<std::size_t>((image.Width + 31) / 32 * 4) * image.Height, '\0');
    }
    return out;
}

}  // namespace qm
