// Signing the Windows programs with the organisation's certificate
// (cmake/authenticode-sign.sh, as the Windows tree calls it when
// QM_SIGN_PKCS12 is set): a copy of quillmark-card.exe signed with a
// throwaway self-signed certificate carries a SHA-256 Authenticode signature
// that verifies against that certificate, and still runs under Wine; a wrong
// password fails instead of leaving the file unsigned. Needs the Windows tree:
// $QM_WIN64_DIR (./check sets it), openssl, osslsigncode and wine.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "HostProcess.h"
#include "TestFiles.h"
#include "UVersion.h"

namespace fs = std::filesystem;

namespace qm {
namespace {

struct TRun {
    int Status;
    std::string Out, Err;
};

TRun Exec(std::vector<std::string> argv) {
    test::TProcess p(std::move(argv));
    const int status = p.Wait(std::chrono::seconds(100));
    return {status, p.Out(), p.Err()};
}

class Signing : public ::testing::Test {
protected:
    void SetUp() override {
        const char* dir = std::getenv("QM_WIN64_DIR");
        if (dir == nullptr || *dir == '\0') GTEST_SKIP() << "QM_WIN64_DIR is not set (./check sets it)";
        win64_ = dir;
        if (!fs::exists(Program())) GTEST_SKIP() << Program() << " is not built";
        if (std::system("command -v openssl >/dev/null && command -v osslsigncode >/dev/null && "
                        "command -v wine >/dev/null") != 0)
            GTEST_SKIP() << "openssl, osslsigncode or wine is not installed";
        const TRun cert = Exec({"/bin/sh", "-c",
                               "cd '" + folder_.Root() +
                                   "' && openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj '/CN=Quillmark Test' "
                                   "-keyout key.pem -out cert.pem && openssl pkcs12 -export -inkey key.pem "
                                   "-in cert.pem -out cert.p12 -passout pass:geheim"});
        ASSERT_EQ(cert.Status, 0) << cert.Err;
    }
    std::string Program() const { return win64_ + "/package-files/quillmark-card.exe"; }

    // Signs a copy of the program as the build does, with `password` in the
    // environment; returns the copy's path.
    std::string SignCopy(const std::string& password, int& status) const {
        const std::string copy = folder_.Path("quillmark-card.exe");
        fs::copy_file(Program(), copy, fs::copy_options::overwrite_existing);
        ::setenv("QM_SIGN_PASSWORD", password.c_str(), 1);
        const TRun r =
            Exec({QM_SOURCE_DIR "/cmake/authenticode-sign.sh", "/usr/bin/osslsigncode", folder_.Path("cert.p12"), copy});
        ::unsetenv("QM_SIGN_PASSWORD");
        status = r.Status;
        return copy;
    }

    test::TTempFolder folder_;
    std::string win64_;
};

TEST_F(Signing, SignedProgramCarriesAMatchingSignatureAndRuns) {
    // Trusting the throwaway certificate as the root, as an organisation's
    // machines trust its own.
    const std::string root = folder_.Path("cert.pem");
    const TRun unsigned_ = Exec({"/usr/bin/osslsigncode", "verify", "-CAfile", root, "-in", Program()});
    EXPECT_NE(unsigned_.Status, 0);
    EXPECT_NE(unsigned_.Err.find("No signature found"), std::string::npos) << unsigned_.Out << unsigned_.Err;

    int status = -1;
    const std::string copy = SignCopy("geheim", status);
    ASSERT_EQ(status, 0);
    const TRun verify = Exec({"/usr/bin/osslsigncode", "verify", "-CAfile", root, "-in", copy});
    EXPECT_EQ(verify.Status, 0) << verify.Out << verify.Err;
    EXPECT_NE(verify.Out.find("Message digest algorithm  : SHA256"), std::string::npos) << verify.Out;
    EXPECT_NE(verify.Out.find("Subject: /CN=Quillmark Test"), std::string::npos) << verify.Out;
    EXPECT_NE(verify.Out.find("Signature verification: ok"), std::string::npos) << verify.Out;

    const TRun run = Exec({QM_SOURCE_DIR "/cmake/wine-run.sh", win64_ + "/wine", copy, "--version"});
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Out, "quillmark-card " + std::string(kProjectVersion) + "\r\n");
}

TEST_F(Signing, WrongPasswordFails) {
    int status = 0;
    const std::string copy = SignCopy("falsch", status);
    EXPECT_NE(status, 0);
    EXPECT_EQ(test::ReadBytes(copy), test::ReadBytes(Program()));
}

}  // namespace
}  // namespace qm
