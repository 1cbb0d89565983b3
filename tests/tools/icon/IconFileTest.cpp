// The program's icon: the checked-in quillmark.ico is what tools/icon writes
// today, its entries are well-formed 32-bit DIBs and, at 256 pixels, an RGBA
// PNG, and each image large enough scans as the QR code of the program's
// name.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "QRTestSupport.h"
#include "TestFiles.h"
#include "UIconFile.h"
#include "UProgramIcon.h"
#include "UVersion.h"

namespace qm {
namespace {

std::uint32_t Le32(const std::string& s, std::size_t at) {
    return static_cast<std::uint8_t>(s[at]) | static_cast<std::uint8_t>(s[at + 1]) << 8 |
           static_cast<std::uint8_t>(s[at + 2]) << 16 | static_cast<std::uint32_t>(static_cast<std::uint8_t>(s[at + 3])) << 24;
}

std::vector<TRGBImage> ProgramIconImages() {
    std::vector<TRGBImage> images;
    for (const int size : kIconSizes) images.push_back(ProgramIconImage(kProjectName, size));
    return images;
}

TEST(IconFile, TheCheckedInIconIsWhatTheToolWrites) {
    const std::string checkedIn = test::ReadBytes(QM_SOURCE_DIR "/src/app/win32/quillmark.ico");
    EXPECT_TRUE(checkedIn == IconFile(ProgramIconImages()))
        << "run quillmark-icon src/app/win32/quillmark.ico and check the result in";
}

TEST(IconFile, DirectoryEntriesPointAtDibsOrAPngOfTheirSize) {
    const std::string ico = IconFile(ProgramIconImages());
    ASSERT_GE(ico.size(), 6u);
    EXPECT_EQ(ico.substr(0, 4), std::string("\0\0\1\0", 4));
    ASSERT_EQ(static_cast<std::size_t>(static_cast<std::uint8_t>(ico[4])), kIconSizes.size());
    for (std::size_t i = 0; i < kIconSizes.size(); ++i) {
        const std::size_t entry = 6 + 16 * i;
        const int size = kIconSizes[i];
        EXPECT_EQ(static_cast<std::uint8_t>(ico[entry]), size % 256);  // 0 for 256
        const std::uint32_t bytes = Le32(ico, entry + 8);
        const std::uint32_t offset = Le32(ico, entry + 12);
        ASSERT_LE(std::size_t{offset} + bytes, ico.size());
        if (size >= kPNGIconSize) {
            // Signature, then IHDR: the edge twice, 8 bits, colour type 6 (RGBA).
            EXPECT_EQ(ico.substr(offset, 16), std::string("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR", 16));
            EXPECT_EQ(ico.substr(offset + 16, 10), std::string("\0\0\1\0\0\0\1\0\x08\x06", 10));
            continue;
        }
        EXPECT_EQ(Le32(ico, offset), 40u);                                  // BITMAPINFOHEADER
        EXPECT_EQ(Le32(ico, offset + 4), static_cast<std::uint32_t>(size));
        EXPECT_EQ(Le32(ico, offset + 8), static_cast<std::uint32_t>(2 * size));  // colour + mask
        EXPECT_EQ(bytes, 40u + size * size * 4u + (size + 31) / 32 * 4u * size);
    }
}

TEST(IconFile, EveryImageScansAsTheProgramsName) {
    for (const int size : kIconSizes) {
        if (size < MinimumIconSize(kProjectName)) continue;  // a picture of the code
        const TRGBImage image = ProgramIconImage(kProjectName, size);
        ASSERT_EQ(image.Width, size);
        const test::TDecoded decoded = test::DecodeImage(image, false, 8);
        ASSERT_TRUE(decoded.Valid) << size;
        EXPECT_EQ(decoded.Bytes, "Quillmark");
    }
}

}  // namespace
}  // namespace qm
