// Decodes arbitrary bytes as PNG. What decodes must survive a round trip
// through the writer unchanged; what does not must fail with the stream
// format error and nothing else.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "UErrors.h"
#include "UPNGReader.h"
#include "UPNGWriter.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    qm::TRGBImage image;
    try {
        image = qm::ReadPNGRGB(bytes);
    } catch (const qm::EQuillmarkError& e) {
        if (std::string_view(e.what()) != "Ungültiges Stream-Format") std::abort();
        return 0;
    }
    if (image.Pixels.size() != static_cast<std::size_t>(image.Width) * static_cast<std::size_t>(image.Height) * 3)
        std::abort();
    // Large images are valid input but too slow to write back on every run.
    if (static_cast<long long>(image.Width) * image.Height > 1 << 20) return 0;
    if (qm::ReadPNGRGB(qm::WritePNGRGB(image)) != image) std::abort();
    return 0;
}
