// Signing the Windows programs with the organisation's certificate
// (cmake/authenticode-sign.sh, as the Windows tree calls it when
// QM_SIGN_PKCS12 is set): a copy of quillmark-card.exe signed with a
// throwaway self-signed certificate carries a SHA-256 Authenticode signature
// that verifies against that certificate, and still runs under Wine, whether
// the key comes from a PKCS#12 file or from a token (SoftHSM through its
// PKCS#11 module); a wrong password or PIN fails instead of leaving the file
// unsigned; a release build refuses the placeholder publisher, no signing
// and no time stamp. Needs the Windows tree: $QM_WIN64_DIR (./check sets
// it), openssl, osslsigncode, softhsm2 and wine.
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
                        "command -v softhsm2-util >/dev/null && command -v wine >/dev/null") != 0)
            GTEST_SKIP() << "openssl, osslsigncode, softhsm2 or wine is not installed";
        const TRun cert = Exec({"/bin/sh", "-c",
                               "cd '" + folder_.Root() +
                                   "' && openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj '/CN=Quillmark Test' "
                                   "-keyout key.pem -out cert.pem && openssl pkcs12 -export -inkey key.pem "
                                   "-in cert.pem -out cert.p12 -passout pass:geheim && mkdir tokens && "
                                   "echo 'directories.tokendir = '$PWD/tokens > softhsm2.conf && "
                                   "export SOFTHSM2_CONF=$PWD/softhsm2.conf && "
                                   "softhsm2-util --init-token --free --label Code --pin 4711 --so-pin 0815 && "
                                   "softhsm2-util --import key.pem --token Code --label sign --id 01 --pin 4711"});
        ASSERT_EQ(cert.Status, 0) << cert.Out << cert.Err;
        ::setenv("SOFTHSM2_CONF", folder_.Path("softhsm2.conf").c_str(), 1);
    }
    void TearDown() override { ::unsetenv("SOFTHSM2_CONF"); }
    std::string Program() const { return win64_ + "/package-files/quillmark-card.exe"; }

    // Signs a copy of the program as the build does, with `password` in the
    // environment, by the PKCS#12 file or, with `token`, by the key on the
    // token; returns the copy's path.
    std::string SignCopy(const std::string& password, int& status, bool token = false) const {
        const std::string copy = folder_.Path("quillmark-card.exe");
        fs::copy_file(Program(), copy, fs::copy_options::overwrite_existing);
        ::setenv("QM_SIGN_PASSWORD", password.c_str(), 1);
        std::vector<std::string> args{QM_SOURCE_DIR "/cmake/authenticode-sign.sh"};
        if (token) {
            args.insert(args.end(), {"--pkcs11-module", "/usr/lib/softhsm/libsofthsm2.so", "--certs",
                                     folder_.Path("cert.pem"), "/usr/bin/osslsigncode", "pkcs11:token=Code;object=sign"});
        } else {
            args.insert(args.end(), {"/usr/bin/osslsigncode", folder_.Path("cert.p12")});
        }
        args.push_back(copy);
        const TRun r = Exec(args);
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

    for (const bool token : {false, true}) {
        int status = -1;
        const std::string copy = SignCopy(token ? "4711" : "geheim", status, token);
        ASSERT_EQ(status, 0) << (token ? "token" : "PKCS#12");
        const TRun verify = Exec({"/usr/bin/osslsigncode", "verify", "-CAfile", root, "-in", copy});
        EXPECT_EQ(verify.Status, 0) << verify.Out << verify.Err;
        EXPECT_NE(verify.Out.find("Message digest algorithm  : SHA256"), std::string::npos) << verify.Out;
        EXPECT_NE(verify.Out.find("Subject: /CN=Quillmark Test"), std::string::npos) << verify.Out;
        EXPECT_NE(verify.Out.find("Signature verification: ok"), std::string::npos) << verify.Out;
    }
    const std::string copy = folder_.Path("quillmark-card.exe");

    const TRun run = Exec({QM_SOURCE_DIR "/cmake/wine-run.sh", win64_ + "/wine", copy, "--version"});
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Out, "quillmark-card " + std::string(kProjectVersion) + "\r\n");
}

TEST_F(Signing, WrongPasswordOrPinFails) {
    for (const bool token : {false, true}) {
        int status = 0;
        const std::string copy = SignCopy("falsch", status, token);
        EXPECT_NE(status, 0);
        EXPECT_EQ(test::ReadBytes(copy), test::ReadBytes(Program()));
    }
}

TEST_F(Signing, AReleaseBuildNeedsPublisherSignatureAndTimeStamp) {
    const auto check = [](std::vector<std::string> settings) {
        std::vector<std::string> args{"/usr/bin/env", "cmake", "-DQM_RELEASE=ON"};
        args.insert(args.end(), settings.begin(), settings.end());
        args.insert(args.end(), {"-P", QM_SOURCE_DIR "/cmake/ReleaseCheck.cmake"});
        return Exec(args);
    };
    const std::vector<std::string> release{"-DQM_COMPANY_NAME=Muster GmbH", "-DQM_SIGN_PKCS11_KEY=pkcs11:object=sign",
                                           "-DQM_SIGN_TIMESTAMP_URL=http://timestamp.example.com"};
    EXPECT_EQ(check(release).Status, 0) << check(release).Err;
    for (std::size_t missing = 0; missing < release.size(); ++missing) {
        std::vector<std::string> settings = release;
        settings[missing] = settings[missing].substr(0, settings[missing].find('=') + 1);
        if (missing == 0) settings[0] += "Quillmark developers";
        const TRun r = check(settings);
        EXPECT_NE(r.Status, 0) << settings[missing];
        EXPECT_NE(r.Err.find("A release build (QM_RELEASE) needs:"), std::string::npos) << r.Err;
    }
}

}  // namespace
}  // namespace qm
