// quillmark-card --vcard: the chosen version reaches both the .vcf file and
// the QR code, and a 3.0 card reads in an independent vCard parser.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "CardTestSupport.h"
#include "HostProcess.h"
#include "QRTestSupport.h"
#include "UPNGReader.h"
#include "VObjectReader.h"

namespace qm {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

class CardVersion : public test::CardFolder {};

TEST_F(CardVersion, Version30CardParsesAndItsCodeHoldsIt) {
    test::TProcess tool({test::kCardBinary, "--vcard", "3.0", "--out", P("out"), test::kSampleRecord});
    ASSERT_EQ(tool.Wait(std::chrono::seconds(100)), 0) << tool.Err();
    const std::string base = P("out/Anna Berg Grünwald & Söhne GmbH");
    const std::string vcf = test::ReadBytes(base + ".vcf");
    EXPECT_THAT(vcf, StartsWith("BEGIN:VCARD\nVERSION:3.0\nN:Berg;Anna;;;\n"));

    const TRGBImage image = ReadPNGRGB(test::ReadBytes(base + ".png"));
    const test::TDecoded decoded = test::DecodeImage(image, false, image.Width / 10);
    ASSERT_TRUE(decoded.Valid);
    EXPECT_EQ(decoded.Bytes, vcf);

    test::TProcess reader({"/usr/bin/python3", "-c", test::kVObjectReader, base + ".vcf"});
    const int status = reader.Wait(std::chrono::seconds(60));
    if (status == 77) GTEST_SKIP() << "python3-vobject is not installed (scripts/common.sh installs it)";
    ASSERT_EQ(status, 0) << reader.Err();
    EXPECT_EQ(reader.Out(), test::kVObjectSample30);
}

TEST_F(CardVersion, Version21ReachesTheTextOnStandardOutput) {
    test::TProcess tool({test::kCardBinary, "--stdout", "--vcard", "2.1", test::kSampleRecord});
    ASSERT_EQ(tool.Wait(std::chrono::seconds(100)), 0) << tool.Err();
    EXPECT_THAT(tool.Out(), StartsWith("BEGIN:VCARD\nVERSION:2.1\n"));
    EXPECT_THAT(tool.Out(), HasSubstr("\nEMAIL;INTERNET;WORK:anna.berg@gruenwald-soehne.de\n"));
}

}  // namespace
}  // namespace qm
