// Folders and files for tests: a fresh folder per test that is removed
// afterwards, the same used as $TMPDIR (so that tests touching the working
// folder can run in parallel), and whole-file read and write.
#pragma once

#include <stdlib.h>

#ifdef _WIN32
#include <process.h>

#include <atomic>
#endif

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>

namespace qm::test {

// A UTF-8 path as the standard library's file functions take it.
inline std::filesystem::path U8Path(const std::string& path) {
    return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

#ifdef _WIN32
inline constexpr char kSep = '\\';
#else
inline constexpr char kSep = '/';
#endif

// A new, empty folder below /tmp (Windows: below the system's temporary
// folder) for the life of the object.
class TTempFolder {
public:
    TTempFolder() {
#ifdef _WIN32
        static std::atomic<unsigned> counter{0};
        const std::u8string base = std::filesystem::temp_directory_path().u8string();
        for (;;) {
            const std::u8string name = u8"qm-test-" + ToU8(std::to_string(::_getpid())) + u8"-" +
                                       ToU8(std::to_string(++counter));
            const std::filesystem::path p = std::filesystem::path(base) / name;
            if (std::filesystem::create_directory(p)) {
                const std::u8string u8 = p.u8string();
                root_.assign(u8.begin(), u8.end());
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
        std::filesystem::remove_all(U8Path(root_), ec);
    }
    // The folder (UTF-8), without a final separator.
    const std::string& Root() const { return root_; }
    std::string Path(const std::string& name) const { return root_ + kSep + name; }

private:
#ifdef _WIN32
    static std::u8string ToU8(const std::string& ascii) { return std::u8string(ascii.begin(), ascii.end()); }
#endif
    std::string root_;
};

// Sets (or, with nullptr, removes) an environment variable of this process.
// Windows: the variable of the process environment block, which
// GetTempPathW reads (the C runtime's copy follows through _putenv_s).
inline void SetEnv(const char* name, const char* value) {
#ifdef _WIN32
    ::_putenv_s(name, value != nullptr ? value : "");
#else
    if (value != nullptr) ::setenv(name, value, 1); else ::unsetenv(name);
#endif
}

// An environment variable set (or, with nullptr, removed) for the object's
// lifetime; the previous value comes back afterwards.
class TScopedEnv {
public:
    TScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = ::getenv(name)) old_ = old;
        SetEnv(name, value);
    }
    TScopedEnv(const TScopedEnv&) = delete;
    TScopedEnv& operator=(const TScopedEnv&) = delete;
    ~TScopedEnv() { SetEnv(name_.c_str(), old_ ? old_->c_str() : nullptr); }

private:
    std::string name_;
    std::optional<std::string> old_;
};

// A TTempFolder used as the system's temporary folder ($TMPDIR; Windows:
// %TMP%, the first place GetTempPathW looks); the previous value comes back
// afterwards.
class TTempDirEnv {
public:
#ifdef _WIN32
    static constexpr const char* kVariable = "TMP";
#else
    static constexpr const char* kVariable = "TMPDIR";
#endif
    TTempDirEnv() {
        if (const char* old = ::getenv(kVariable)) old_ = old;
        SetEnv(kVariable, folder_.Root().c_str());
    }
    TTempDirEnv(const TTempDirEnv&) = delete;
    TTempDirEnv& operator=(const TTempDirEnv&) = delete;
    ~TTempDirEnv() { SetEnv(kVariable, old_ ? old_->c_str() : nullptr); }
    const std::string& Root() const { return folder_.Root(); }
    std::string Path(const std::string& name) const { return folder_.Path(name); }
    // The working folder the program derives from this temporary folder.
    std::string Working() const { return folder_.Root() + kSep + "CVTempDir" + kSep; }

private:
    TTempFolder folder_;
    std::optional<std::string> old_;
};

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(U8Path(path), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Raises when the file cannot be written.
inline void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(U8Path(path), std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out) throw std::runtime_error("cannot write " + path);
}

}  // namespace qm::test
