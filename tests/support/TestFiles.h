// Folders and files for tests: a fresh folder per test that is removed
// afterwards, the same used as $TMPDIR (so that tests touching the working
// folder can run in parallel), and whole-file read and write.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>

namespace qm::test {

// A new, empty folder below /tmp for the life of the object.
class TTempFolder {
public:
    TTempFolder() {
        char tmpl[] = "/tmp/qm-test-XXXXXX";
        if (::mkdtemp(tmpl) == nullptr) throw std::runtime_error("mkdtemp failed");
        root_ = tmpl;
    }
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;
    ~TTempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }
    // The folder, without a final "/".
    const std::string& Root() const { return root_; }
    std::string Path(const std::string& name) const { return root_ + "/" + name; }

private:
    std::string root_;
};

// A TTempFolder used as $TMPDIR; the previous value comes back afterwards.
class TTempDirEnv {
public:
    TTempDirEnv() {
        if (const char* old = ::getenv("TMPDIR")) old_ = old;
        ::setenv("TMPDIR", folder_.Root().c_str(), 1);
    }
    TTempDirEnv(const TTempDirEnv&) = delete;
    TTempDirEnv& operator=(const TTempDirEnv&) = delete;
    ~TTempDirEnv() {
        if (old_) ::setenv("TMPDIR", old_->c_str(), 1); else ::unsetenv("TMPDIR");
    }
    const std::string& Root() const { return folder_.Root(); }
    std::string Path(const std::string& name) const { return folder_.Path(name); }
    // The working folder the program derives from this $TMPDIR.
    std::string Working() const { return folder_.Root() + "/CVTempDir/"; }

private:
    TTempFolder folder_;
    std::optional<std::string> old_;
};

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Raises when the file cannot be written.
inline void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out) throw std::runtime_error("cannot write " + path);
}

}  // namespace qm::test
