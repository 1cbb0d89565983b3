// POSIX implementation of the file operations.
#include "UFileUtil.h"
#include "UFileUtilPlatform.h"

#include <fcntl.h>
#include <sys/syscall.h>
#if __has_include(<linux/openat2.h>)
#include <linux/openat2.h>
#endif
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <optional>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "UErrors.h"
#include "UFileHandle.h"
#include "UPeerFile.h"
#include "UStringUtil.h"

namespace qm {

namespace {

std::string ErrorText(int err) { return std::strerror(err); }

[[noreturn]] void RaiseIo(const std::string& what, const std::string& path, int err) {
    throw EInOutError(what + " \"" + path + "\": " + ErrorText(err), err);
}

bool IsNotFound(int err) noexcept {
    return err == ENOENT || err == ENOTDIR || err == ENAMETOOLONG || err == ELOOP || err == EINVAL;
}

void WriteAll(int fd, const char* data, std::size_t size, const std::string& path) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            RaiseIo("Datei kann nicht geschrieben werden", path, errno);
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
}

// Creates a temporary file beside `path` (same folder, so rename is atomic).
TFileHandle CreateSibling(const std::string& path, std::string& tmpName) {
    // The temporary name adds eight bytes to the final one; a final name near
    // the file system's 255-byte limit is shortened here (at a character
    // boundary) so that the temporary file can still be created.
    constexpr std::size_t kMaxNameBytes = 255;
    constexpr std::size_t kAddedBytes = 8;  // "." in front, ".XXXXXX" behind
    std::string name = ExtractFileName(path);
    name.resize(CutAtCharBoundary(name, kMaxNameBytes - kAddedBytes));
    tmpName = ExtractFilePath(path) + "." + name + ".XXXXXX";
    std::vector<char> buf(tmpName.begin(), tmpName.end());
    buf.push_back('\0');
    TFileHandle fd(::mkstemp(buf.data()));
    if (!fd) RaiseIo("Datei kann nicht erstellt werden", path, errno);
    tmpName.assign(buf.data());
    return fd;
}

// Makes a finished temporary file visible under `path`.
void Publish(TFileHandle& fd, const std::string& tmpName, const std::string& path) {
    // mkstemp made the file 0600: cards hold personal data, so it stays private.
    if (::fsync(fd.Get()) != 0 || fd.Close() != 0) {
        const int err = errno;
        ::unlink(tmpName.c_str());
        RaiseIo("Datei kann nicht geschrieben werden", path, err);
    }
    if (::rename(tmpName.c_str(), path.c_str()) != 0) {
        const int err = errno;
        ::unlink(tmpName.c_str());
        RaiseIo("Datei kann nicht geschrieben werden", path, err);
    }
}

// Checks that a folder we are about to use for private files, whose lstat
// result is `st`, is a real folder owned by us, and narrows its mode to 0700.
void CheckPrivateFolder(const std::string& dir, const std::string& bare, const struct stat& st) {
    if (S_ISLNK(st.st_mode) || !S_ISDIR(st.st_mode)) {
        throw EUnsafeFolderError("Der Arbeitsordner \"" + dir +
                                 "\" ist ein symbolischer Link oder kein Ordner und wird aus "
                                 "Sicherheitsgründen nicht verwendet.");
    }
    const std::optional<std::string> hooked = FolderOwnerFromHook(bare);
    if (hooked ? *hooked != std::to_string(::geteuid()) : st.st_uid != ::geteuid()) {
        throw EUnsafeFolderError("Der Arbeitsordner \"" + dir +
                                 "\" gehört einem anderen Benutzer und wird aus "
                                 "Sicherheitsgründen nicht verwendet.");
    }
    if ((st.st_mode & 0077) != 0) ::chmod(bare.c_str(), st.st_mode & 0700);
}

// Creates `dir` (mode 0700) when missing and checks it with
// CheckPrivateFolder. The working folder is asked for on every host request,
// so the usual case, a folder that is already there, costs one lstat.
void PreparePrivateFolder(const std::string& dir) {
    const std::string bare = ExcludeTrailingPathDelimiter(dir);
    struct stat st {};
    if (::lstat(bare.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return CheckPrivateFolder(dir, bare, st);
    ForceFolders(dir, 0700);
    if (::lstat(bare.c_str(), &st) != 0) return;  // could not be created: writing fails later
    CheckPrivateFolder(dir, bare, st);
}

}  // namespace

std::string GetTempFolder() {
    for (const char* name : {"TMPDIR", "XDG_RUNTIME_DIR"}) {
        const char* v = std::getenv(name);
        if (v != nullptr && *v != '\0') return IncludeTrailingPathDelimiter(v);
    }
    return "/tmp/";
}

std::string GetWorkingFolder(std::string_view sub) {
    std::string path = IncludeTrailingPathDelimiter(GetTempFolder());
    path += kWorkingFolderName;
    path += '/';
    PreparePrivateFolder(path);
    if (sub.empty()) return path;
    path += sub;
    path += '/';
    PreparePrivateFolder(path);
    return path;
}

bool ForceFolders(std::string_view dirIn, unsigned mode) {
    if (dirIn.empty()) throw EInOutError("Verzeichnis kann nicht erstellt werden", 3);
    const std::string dir = ExcludeTrailingPathDelimiter(dirIn);
    if (dir == "/" || FolderExists(dir)) return true;
    const auto slash = dir.rfind('/');
    if (slash != std::string::npos && slash > 0) {
        if (!ForceFolders(dir.substr(0, slash), mode)) return false;
    }
    if (::mkdir(dir.c_str(), static_cast<mode_t>(mode)) == 0) return true;
    return errno == EEXIST && FolderExists(dir);
}

bool FolderExists(std::string_view path) {
    const std::string p(path);
    struct stat st {};
    if (::stat(p.c_str(), &st) != 0) return !IsNotFound(errno);
    return S_ISDIR(st.st_mode);
}

bool FileExistsEx(std::string_view path) {
    if (path.empty()) return false;
    RunFileAccessHook(path);
    const std::string p(path);
    struct stat st {};
    if (::stat(p.c_str(), &st) == 0) return !S_ISDIR(st.st_mode);
    if (IsNotFound(errno)) return false;
    // The target could not be examined (for example a folder on the way that
    // we may not search): fall back to the entry itself.
    if (::lstat(p.c_str(), &st) != 0) return false;
    return !S_ISDIR(st.st_mode) && !S_ISLNK(st.st_mode);
}

bool DeleteFileIfExists(std::string_view path) noexcept {
    try {
        if (!FileExistsEx(path)) return true;
        return ::unlink(std::string(path).c_str()) == 0 || errno == ENOENT;
    } catch (...) {
        return false;
    }
}

struct TCopySource::TImpl {
    std::string Path;
    TFileHandle Fd;
    std::vector<char> Buffer;
};

TCopySource::TCopySource(const std::string& path) : impl_(std::make_unique<TImpl>()) {
    impl_->Path = path;
    impl_->Fd = TFileHandle(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!impl_->Fd) RaiseIo("Datei kann nicht geöffnet werden", path, errno);
    impl_->Buffer.resize(kCopyChunkBytes);
}

TCopySource::~TCopySource() = default;

void TCopySource::CopyTo(const std::string& dest) {
    const std::string& source = impl_->Path;
    const int in = impl_->Fd.Get();
    std::string tmpName;
    try {
        if (::lseek(in, 0, SEEK_SET) < 0) RaiseIo("Datei kann nicht gelesen werden", source, errno);
        TFileHandle out = CreateSibling(dest, tmpName);
        for (;;) {
            const ssize_t n = ::read(in, impl_->Buffer.data(), impl_->Buffer.size());
            if (n < 0) {
                if (errno == EINTR) continue;
                RaiseIo("Datei kann nicht gelesen werden", source, errno);
            }
            if (n == 0) break;
            WriteAll(out.Get(), impl_->Buffer.data(), static_cast<std::size_t>(n), dest);
        }
        Publish(out, tmpName, dest);
    } catch (const EInOutError&) {
        if (!tmpName.empty()) ::unlink(tmpName.c_str());
        throw;
    }
}

std::string ReadFileToString(const std::string& path) {
    TFileHandle fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) RaiseIo("Datei kann nicht geöffnet werden", path, errno);
    std::string out;
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd.Get(), buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            RaiseIo("Datei kann nicht gelesen werden", path, errno);
        }
        if (n == 0) break;
        out.append(buf, static_cast<std::size_t>(n));
    }
    return out;
}

namespace {

[[noreturn]] void RaiseNotRegular(const std::string& path, int err) {
    throw ENotRegularFileError("Datei kann nicht gelesen werden \"" + path + "\": " + ErrorText(err), err);
}

// Reads the open regular file `fd` (whose fstat result is `st`) from its
// current position, at most `maxBytes` of it; `path` names it in messages.
std::string ReadOpened(int fd, const struct stat& st, const std::string& path, std::uint64_t maxBytes) {
    if (static_cast<std::uint64_t>(st.st_size) > maxBytes) RaiseIo("Datei kann nicht gelesen werden", path, EFBIG);
    std::string text;
    text.resize(static_cast<std::size_t>(st.st_size));
    std::size_t have = 0;
    for (;;) {
        if (have == text.size()) {
            // The file grew meanwhile: read on, but never past the limit.
            if (have > maxBytes) RaiseIo("Datei kann nicht gelesen werden", path, EFBIG);
            text.resize(have + 65536);
        }
        const ssize_t n = ::read(fd, text.data() + have, text.size() - have);
        if (n < 0) {
            if (errno == EINTR) continue;
            RaiseIo("Datei kann nicht gelesen werden", path, errno);
        }
        if (n == 0) break;
        have += static_cast<std::size_t>(n);
    }
    if (have > maxBytes) RaiseIo("Datei kann nicht gelesen werden", path, EFBIG);
    text.resize(have);
    return text;
}

// O_NONBLOCK: opening a FIFO would otherwise wait for a writer.
constexpr int kReadFlags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;

// The folder `dir` (absolute), reached from "/" without following any
// symbolic link: openat2 with RESOLVE_NO_SYMLINKS where the kernel has it,
// else one component at a time with O_NOFOLLOW. An O_PATH descriptor: it
// serves as the folder for openat, fstatat and unlinkat, and needs no read
// permission on the folder. Raises ENotRegularFileError when a link is on
// the way.
TFileHandle OpenFolderWithoutLinks(const std::string& dir, const std::string& path) {
    constexpr int kFolderFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;
#if defined(SYS_openat2) && defined(RESOLVE_NO_SYMLINKS)
    open_how how{};
    how.flags = static_cast<std::uint64_t>(kFolderFlags);
    how.resolve = RESOLVE_NO_SYMLINKS;
    TFileHandle fd(static_cast<int>(::syscall(SYS_openat2, AT_FDCWD, dir.c_str(), &how, sizeof how)));
    if (fd) return fd;
    if (errno == ELOOP) RaiseNotRegular(path, ELOOP);
    if (errno != ENOSYS && errno != EPERM) RaiseIo("Datei kann nicht geöffnet werden", path, errno);
    // ENOSYS: a kernel before 5.6; EPERM: a seccomp filter that knows no openat2.
#endif
    TFileHandle folder(::open("/", kFolderFlags));
    if (!folder) RaiseIo("Datei kann nicht geöffnet werden", path, errno);
    for (std::size_t start = 1; start < dir.size();) {
        std::size_t stop = dir.find('/', start);
        if (stop == std::string::npos) stop = dir.size();
        const std::string name = dir.substr(start, stop - start);
        start = stop + 1;
        if (name.empty() || name == ".") continue;
        TFileHandle next(::openat(folder.Get(), name.c_str(), kFolderFlags | O_NOFOLLOW));
        if (!next) RaiseIo("Datei kann nicht geöffnet werden", path, errno);
        // O_PATH | O_NOFOLLOW opens a symbolic link itself rather than
        // failing: only a folder may be on the way.
        struct stat st {};
        if (::fstat(next.Get(), &st) != 0) RaiseIo("Datei kann nicht geöffnet werden", path, errno);
        if (!S_ISDIR(st.st_mode)) RaiseNotRegular(path, ELOOP);
        folder = std::move(next);
    }
    return folder;
}

}  // namespace

std::string ReadRegularFile(const std::string& path) {
    TFileHandle fd(::open(path.c_str(), kReadFlags));
    if (!fd) RaiseIo("Datei kann nicht geöffnet werden", path, errno);
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0) RaiseIo("Datei kann nicht gelesen werden", path, errno);
    if (!S_ISREG(st.st_mode)) RaiseNotRegular(path, EINVAL);
    return ReadOpened(fd.Get(), st, path, UINT64_MAX);
}

struct TPeerFile::TImpl {
    std::string Path;
    std::string Name;     // the last component
    TFileHandle Folder;   // where Name was found
    TFileHandle File;
    struct stat Stat {};  // of File when it was opened
    std::uint64_t MaxBytes = 0;
};

TPeerFile::TPeerFile(const std::string& path, std::uint64_t maxBytes) : impl_(std::make_unique<TImpl>()) {
    TImpl& f = *impl_;
    f.Path = path;
    f.MaxBytes = maxBytes;
    const std::size_t slash = path.rfind('/');
    if (!IsLocalAbsolutePath(path) || slash == std::string::npos) RaiseNotRegular(path, EINVAL);
    RunFileAccessHook(path);
    f.Name = path.substr(slash + 1);
    if (f.Name.empty() || f.Name == "." || f.Name == "..") RaiseNotRegular(path, EINVAL);
    f.Folder = OpenFolderWithoutLinks(path.substr(0, slash + 1), path);
    f.File = TFileHandle(::openat(f.Folder.Get(), f.Name.c_str(), kReadFlags | O_NOFOLLOW));
    if (!f.File) {
        // O_NOFOLLOW refuses a symbolic link with ELOOP: not a regular file.
        if (errno == ELOOP) RaiseNotRegular(path, ELOOP);
        RaiseIo("Datei kann nicht geöffnet werden", path, errno);
    }
    if (::fstat(f.File.Get(), &f.Stat) != 0) RaiseIo("Datei kann nicht gelesen werden", path, errno);
    if (!S_ISREG(f.Stat.st_mode)) RaiseNotRegular(path, EINVAL);
    if (static_cast<std::uint64_t>(f.Stat.st_size) > maxBytes) RaiseIo("Datei kann nicht gelesen werden", path, EFBIG);
}

TPeerFile::~TPeerFile() = default;

const std::string& TPeerFile::Path() const noexcept { return impl_->Path; }

std::string TPeerFile::Read() {
    TImpl& f = *impl_;
    if (::lseek(f.File.Get(), 0, SEEK_SET) < 0) RaiseIo("Datei kann nicht gelesen werden", f.Path, errno);
    return ReadOpened(f.File.Get(), f.Stat, f.Path, f.MaxBytes);
}

bool TPeerFile::DeleteIfUnchanged() noexcept {
    try {
        TImpl& f = *impl_;
        RunPeerFileDeleteHook(f.Path);
        // The name is looked up in the folder the file was opened in, not
        // along the path again: a folder on the path replaced by a link
        // meanwhile leads nowhere else. Only the same inode is unlinked.
        struct stat now {};
        if (::fstatat(f.Folder.Get(), f.Name.c_str(), &now, AT_SYMLINK_NOFOLLOW) != 0) return false;
        if (!S_ISREG(now.st_mode) || now.st_dev != f.Stat.st_dev || now.st_ino != f.Stat.st_ino) return false;
        return ::unlinkat(f.Folder.Get(), f.Name.c_str(), 0) == 0;
    } catch (...) {
        return false;
    }
}

void WriteFileAtomic(const std::string& path, std::string_view content, const TSleepFunction&) {
    std::string tmpName;
    TFileHandle fd = CreateSibling(path, tmpName);
    try {
        WriteAll(fd.Get(), content.data(), content.size(), path);
    } catch (...) {
        fd.Reset();
        ::unlink(tmpName.c_str());
        throw;
    }
    Publish(fd, tmpName, path);
}

}  // namespace qm
