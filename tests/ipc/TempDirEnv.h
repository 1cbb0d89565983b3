// A private $TMPDIR per test, so that tests touching the working folder
// can run in parallel.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>

namespace qm::test {

// A fresh folder used as $TMPDIR for the life of the object.
class TTempDirEnv {
public:
    TTempDirEnv() {
        char tmpl[] = "/tmp/qm-ipc-test-XXXXXX";
        if (::mkdtemp(tmpl) == nullptr) throw std::runtime_error("mkdtemp failed");
        root_ = tmpl;
        if (const char* old = ::getenv("TMPDIR")) old_ = old;
        ::setenv("TMPDIR", root_.c_str(), 1);
    }
    TTempDirEnv(const TTempDirEnv&) = delete;
    TTempDirEnv& operator=(const TTempDirEnv&) = delete;
    ~TTempDirEnv() {
        if (old_) ::setenv("TMPDIR", old_->c_str(), 1); else ::unsetenv("TMPDIR");
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }
    const std::string& Root() const { return root_; }
    std::string Working() const { return root_ + "/CVTempDir/"; }

private:
    std::string root_;
    std::optional<std::string> old_;
};

}  // namespace qm::test
