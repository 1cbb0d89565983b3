// Folders and files for tests: a fresh folder per test that is removed
// afterwards, the same used as $TMPDIR (so that tests touching the working
// folder can run in parallel), and whole-file read and write.
#pragma once

#include <stdlib.h>
#ifdef _WIN32
#include <windows.h>
#endif

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace qm::test {

// A new, empty folder below /tmp for the life of the object.
class TTempFolder {
public:
    TTempFolder() {
#ifdef _WIN32
        // The system's temporary folder as it was when the program started, so
        // that a TTempDirEnv in force does not nest folders.
        static const std::filesystem::path base = std::filesystem::temp_directory_path();
        static std::atomic<unsigned> counter{0};
        for (;;) {
            const auto candidate = base / ("qm-test-" + std::to_string(::GetCurrentProcessId()) + "-" +
                                           std::to_string(++counter));
            if (std::filesystem::create_directory(candidate)) {
                root_ = candidate.string();
                break;
            }
        }
#else
        char tmpl[] = "/tmp/qm-test-XXXXXX";
        if (::mkdtemp(tmpl) == nullptr) throw std::runtime_error("mkdtemp failed");
        root_ = tmpl;
#endif
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

// A TTempFolder used as the temporary folder ($TMPDIR; on Windows TMP and
// TEMP, which GetTempPathW reads); the previous values come back afterwards.
class TTempDirEnv {
public:
    TTempDirEnv() {
        for (const char* name : kVariables) {
            const char* old = ::getenv(name);
            old_.push_back(old != nullptr ? std::optional<std::string>(old) : std::nullopt);
            Set(name, folder_.Root());
        }
    }
    TTempDirEnv(const TTempDirEnv&) = delete;
    TTempDirEnv& operator=(const TTempDirEnv&) = delete;
    ~TTempDirEnv() {
        for (std::size_t i = 0; i < std::size(kVariables); ++i) {
            if (old_[i]) Set(kVariables[i], *old_[i]); else Unset(kVariables[i]);
        }
    }
    const std::string& Root() const { return folder_.Root(); }
    std::string Path(const std::string& name) const { return folder_.Path(name); }
    // The working folder the program derives from this temporary folder.
#ifdef _WIN32
    std::string Working() const { return folder_.Root() + "\\CVTempDir\\"; }
#else
    std::string Working() const { return folder_.Root() + "/CVTempDir/"; }
#endif

private:
#ifdef _WIN32
    // _putenv_s changes the process environment too, which children inherit.
    static constexpr const char* kVariables[] = {"TMP", "TEMP"};
    static void Set(const char* name, const std::string& value) { ::_putenv_s(name, value.c_str()); }
    static void Unset(const char* name) { ::_putenv_s(name, ""); }
#else
    static constexpr const char* kVariables[] = {"TMPDIR"};
    static void Set(const char* name, const std::string& value) { ::setenv(name, value.c_str(), 1); }
    static void Unset(const char* name) { ::unsetenv(name); }
#endif
    TTempFolder folder_;
    std::vector<std::optional<std::string>> old_;
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
