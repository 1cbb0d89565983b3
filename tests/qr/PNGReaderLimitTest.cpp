// What a hostile PNG can make the reader allocate. This program counts every
// operator new and, with glibc, every malloc, calloc and realloc (libpng
// allocates with malloc), and keeps the largest request, so it runs on its
// own.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <fstream>
#include <iterator>
#include <string>

#include "UErrors.h"
#include "UPNGReader.h"
#include "UPNGWriter.h"

namespace {
std::atomic<std::size_t> gLargestAllocation{0};

void NoteAllocation(std::size_t size) noexcept {
    std::size_t seen = gLargestAllocation.load();
    while (size > seen && !gLargestAllocation.compare_exchange_weak(seen, size)) {
    }
}
}  // namespace

#if defined(__SANITIZE_ADDRESS__)
// AddressSanitizer owns malloc: it reports each request to a hook (it takes
// the pair only with both hooks given).
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void*, std::size_t),
                                                         void (*)(const volatile void*));
namespace {
const int gHooked = __sanitizer_install_malloc_and_free_hooks(
    [](const volatile void*, std::size_t size) { NoteAllocation(size); }, [](const volatile void*) {});
}  // namespace
#elif defined(__GLIBC__)
// Every library of the program, libpng too, calls these instead of glibc's
// own, which they forward to; free stays glibc's.
extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void* malloc(std::size_t size) {
    NoteAllocation(size);
    return __libc_malloc(size);
}
void* calloc(std::size_t count, std::size_t size) {
    NoteAllocation(count * size);
    return __libc_calloc(count, size);
}
void* realloc(void* p, std::size_t size) {
    NoteAllocation(size);
    return __libc_realloc(p, size);
}
}
#endif

void* operator new(std::size_t size) {
    NoteAllocation(size);
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
// GCC takes the pointer for one from new, though this operator new got it
// from malloc.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void operator delete(void* p) noexcept { std::free(p); }
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
void operator delete(void* p, std::size_t) noexcept { ::operator delete(p); }

namespace {

using namespace qm;

void PutU32(std::string& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((v >> shift) & 0xFF);
}

// One chunk: length, type, data and the CRC of type and data (PNG 5.3).
std::string Chunk(const std::string& type, const std::string& data) {
    std::string out;
    PutU32(out, static_cast<std::uint32_t>(data.size()));
    const std::string typed = type + data;
    out += typed;
    PutU32(out, static_cast<std::uint32_t>(
                    crc32(0, reinterpret_cast<const Bytef*>(typed.data()), static_cast<uInt>(typed.size()))));
    return out;
}

// A PNG signature and header announcing `width` x `height`, then the start
// of a deflate stream and nothing more.
std::string ShortFileClaiming(std::uint32_t width, std::uint32_t height, char bitDepth, char colorType) {
    std::string header;
    PutU32(header, width);
    PutU32(header, height);
    header += {bitDepth, colorType, 0, 0, 0};
    return std::string("\x89PNG\r\n\x1A\n", 8) + Chunk("IHDR", header) + Chunk("IDAT", std::string("\x78\xDA\x63", 3));
}

std::string Seed(const std::string& name) {
    std::ifstream in(QM_SOURCE_DIR "/fuzz/seeds/fuzz_qr_png_read/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A complete 1-bit grey PNG of `width` x `height` black pixels.
std::string CompleteGreyFile(std::uint32_t width, std::uint32_t height) {
    std::string header;
    PutU32(header, width);
    PutU32(header, height);
    header += {1, 0, 0, 0, 0};
    const std::string raw(static_cast<std::size_t>(height) * (1 + (width + 7) / 8), '\0');
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::string packed(packedSize, '\0');
    compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize, reinterpret_cast<const Bytef*>(raw.data()),
              static_cast<uLong>(raw.size()), 9);
    packed.resize(packedSize);
    return std::string("\x89PNG\r\n\x1A\n", 8) + Chunk("IHDR", header) + Chunk("IDAT", packed) + Chunk("IEND", "");
}

// What libpng itself allocates counts too: a chunk whose length claims
// 1,900,566,899 bytes, a short file and a complete one over kPNGMaxPixels.
TEST(PNGReaderLimits, HostileFilesAreRefusedBeforeTheyAreAllocated) {
#if defined(__SANITIZE_ADDRESS__)
    ASSERT_EQ(gHooked, 1) << "AddressSanitizer took no allocation hook";
#endif
    const std::pair<std::string, std::string> files[] = {
        {"chunk claiming 1.9 GB", Seed("chunk-claiming-1900-mb.png")},
        {"too many pixels", Seed("too-many-pixels.png")},
        {"8193 x 8192, complete", CompleteGreyFile(8193, 8192)},
    };
    for (const auto& [name, file] : files) {
        ASSERT_GT(file.size(), 60u) << name;
        gLargestAllocation = 0;
        EXPECT_THROW(ReadPNGRGB(file), EQuillmarkError) << name;
        EXPECT_LT(gLargestAllocation.load(), std::size_t{1} << 20) << name;
    }
}

TEST(PNGReaderLimits, AShortFileClaimingALargeImageIsRefusedBeforeItIsAllocated) {
    struct TClaim {
        std::uint32_t Width, Height;
        char BitDepth, ColorType;
    };
    // Each within kPNGMaxPixels: the pixel limit alone lets them through.
    for (const TClaim claim : {TClaim{8000, 8000, 8, 2}, TClaim{65536, 1024, 1, 0}, TClaim{4096, 4096, 16, 6}}) {
        SCOPED_TRACE(std::to_string(claim.Width) + "x" + std::to_string(claim.Height));
        const std::string file = ShortFileClaiming(claim.Width, claim.Height, claim.BitDepth, claim.ColorType);
        gLargestAllocation = 0;
        EXPECT_THROW(ReadPNGRGB(file), EQuillmarkError);
        EXPECT_LT(gLargestAllocation.load(), std::size_t{1} << 20);
    }
    // A real file near deflate's limit (one colour: 48 MB of pixels in 56 KB,
    // 853-fold) still decodes whole.
    TRGBImage white(4000, 4000);
    for (int y = 0; y < white.Height; ++y) std::fill(white.Row(y).begin(), white.Row(y).end(), std::uint8_t{0xFF});
    const std::string png = WritePNGRGB(white);
    EXPECT_LT(png.size(), 200u * 1024);
    EXPECT_EQ(ReadPNGRGB(png), white);
}

}  // namespace
