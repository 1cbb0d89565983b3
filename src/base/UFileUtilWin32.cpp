// Windows implementation of the file operations, with the wide-character
// API throughout (every file name is converted from UTF-8 at the call).
#include "UFileUtil.h"
#include "UFileUtilPlatform.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <atomic>
#include <optional>
#include <vector>

#include "UErrors.h"
#include "UPeerFile.h"
#include "UProcess.h"
#include "UStringUtil.h"
#include "UWinHandle.h"
#include "UWinSecurity.h"
#include "UWinText.h"

namespace qm {

namespace {

[[noreturn]] void RaiseIo(const std::string& what, const std::string& path, DWORD err) {
    throw EInOutError(what + " \"" + path + "\": " + SystemErrorText(err), static_cast<int>(err));
}

// Errors of GetFileAttributesW that mean "there is nothing of that name".
bool IsNotFound(DWORD err) noexcept {
    return err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND || err == ERROR_INVALID_NAME;
}

void WriteAll(HANDLE h, const char* data, std::size_t size, const std::string& path) {
    while (size > 0) {
        const DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!::WriteFile(h, data, chunk, &written, nullptr)) {
            RaiseIo("Datei kann nicht geschrieben werden", path, ::GetLastError());
        }
        data += written;
        size -= written;
    }
}

// Opens `path` for reading, shared with readers and writers (the host may
// still be writing the file it named) and with a replace or delete, so that
// our reading never makes another program's (or our own) atomic replace fail.
TWinHandle OpenForReading(const std::string& path) {
    return TWinHandle(::CreateFileW(WinPath(path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
}

// Creates a new temporary file beside `path` (same folder, so the final
// MoveFileExW is a rename within one volume and atomic).
TWinHandle CreateSibling(const std::string& path, std::string& tmpName) {
    // The temporary name adds at most 10 bytes to the final one; a final name
    // near the 255-character limit is shortened here (at a character
    // boundary) so that the temporary file can still be created.
    constexpr std::size_t kMaxNameBytes = 255;
    constexpr std::size_t kAddedBytes = 10;  // "." in front, "." and 8 hex digits behind
    static std::atomic<unsigned> counter{0};
    std::string name = ExtractFileName(path);
    name.resize(CutAtCharBoundary(name, kMaxNameBytes - kAddedBytes));
    const std::string stem = ExtractFilePath(path) + "." + name + ".";
    for (int attempt = 0; attempt < 100; ++attempt) {
        // Process id and a counter: unique within the machine at any moment;
        // CREATE_NEW refuses a name that is left over from elsewhere.
        const unsigned long long mix =
            (static_cast<unsigned long long>(::GetCurrentProcessId()) << 16) ^ ++counter ^ ::GetTickCount64();
        char suffix[9];
        for (int i = 7; i >= 0; --i) suffix[7 - i] = "0123456789abcdef"[(mix >> (4 * i)) & 0xF];
        suffix[8] = '\0';
        tmpName = stem + suffix;
        TWinHandle h(::CreateFileW(WinPath(tmpName).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
        if (h) return h;
        const DWORD err = ::GetLastError();
        if (err != ERROR_FILE_EXISTS && err != ERROR_ALREADY_EXISTS) {
            tmpName.clear();
            RaiseIo("Datei kann nicht erstellt werden", path, err);
        }
    }
    tmpName.clear();
    RaiseIo("Datei kann nicht erstellt werden", path, ERROR_FILE_EXISTS);
}

// Makes a finished temporary file visible under `path`; the temporary file
// is gone afterwards in every case.
void Publish(TWinHandle& h, const std::string& tmpName, const std::string& path,
             const TSleepFunction& sleep = DefaultSleep) {
    const std::wstring tmp = WinPath(tmpName);
    if (!::FlushFileBuffers(h.Get()) || !h.Close()) {
        const DWORD err = ::GetLastError();
        h.Reset();
        ::DeleteFileW(tmp.c_str());
        RaiseIo("Datei kann nicht geschrieben werden", path, err);
    }
    // A reader that opened the file without FILE_SHARE_DELETE (a viewer, a
    // virus scanner) blocks the replace for a moment: about half a second of
    // retries before giving up.
    const std::wstring target = WinPath(path);
    constexpr int kReplaceAttempts = 10;
    for (int attempt = 1;; ++attempt) {
        if (::MoveFileExW(tmp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return;
        const DWORD err = ::GetLastError();
        if (attempt == kReplaceAttempts || (err != ERROR_SHARING_VIOLATION && err != ERROR_ACCESS_DENIED)) {
            ::DeleteFileW(tmp.c_str());
            RaiseIo("Datei kann nicht geschrieben werden", path, err);
        }
        sleep(std::chrono::milliseconds(50));
    }
}

// A working folder of our own: only the user, the system and the
// administrators may reach it (a protected DACL, so nothing is inherited
// from a shared temporary folder). Falls back to an ordinary folder when the
// user's SID cannot be read.
void CreatePrivateFolder(const std::string& dir) {
    const std::string user = CurrentUserId();
    const std::string parent = ExtractFilePath(RemoveTrailingBackslash(dir));
    if (!parent.empty()) ForceFolders(parent);
    if (!user.empty()) {
        const std::wstring sddl = ToWide("D:P(A;OICI;FA;;;" + user + ")(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)");
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        if (::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor,
                                                                   nullptr)) {
            SECURITY_ATTRIBUTES sa{sizeof sa, descriptor, FALSE};
            const BOOL made = ::CreateDirectoryW(WinPath(RemoveTrailingBackslash(dir)).c_str(), &sa);
            ::LocalFree(descriptor);
            if (made) return;
        }
    }
    ForceFolders(dir);
}

// The owner of `bare` as a SID text; "" when it cannot be read (a volume
// without access lists has none).
std::string FolderOwner(const std::string& bare) {
    if (std::optional<std::string> hooked = FolderOwnerFromHook(bare)) return *hooked;
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    std::wstring wide = WinPath(bare);
    if (::GetNamedSecurityInfoW(wide.data(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                                nullptr, &descriptor) != ERROR_SUCCESS) {
        return {};
    }
    std::string text = SidText(owner);
    ::LocalFree(descriptor);
    return text;
}

// A folder we are about to use for private files must be a real folder, not
// a reparse point (junction or symbolic link) that another user placed there
// to redirect our files, and it must be ours: a temporary folder shared by
// the users of a terminal server lets another user create CVTempDir first.
// Ours is owned by the user or by the owner the user's token gives new
// objects (the Administrators group for an elevated administrator).
void PreparePrivateFolder(const std::string& dir) {
    const std::string bareText = RemoveTrailingBackslash(dir);
    const std::wstring bare = WinPath(bareText);
    DWORD attrs = ::GetFileAttributesW(bare.c_str());
    if (attrs == INVALID_FILE_ATTRIBUTES) {
        CreatePrivateFolder(dir);
        attrs = ::GetFileAttributesW(bare.c_str());
        if (attrs == INVALID_FILE_ATTRIBUTES) return;  // could not be created: writing fails later
    }
    if ((attrs & FILE_ATTRIBUTE_REPARSE_POINT) != 0 || (attrs & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        throw EUnsafeFolderError("Der Arbeitsordner \"" + dir +
                                 "\" ist ein symbolischer Link oder kein Ordner und wird aus "
                                 "Sicherheitsgründen nicht verwendet.");
    }
    const std::string owner = FolderOwner(bareText);
    if (!owner.empty() && owner != CurrentUserId() && owner != CurrentDefaultOwnerId()) {
        throw EUnsafeFolderError("Der Arbeitsordner \"" + dir +
                                 "\" gehört einem anderen Benutzer und wird aus "
                                 "Sicherheitsgründen nicht verwendet.");
    }
}

}  // namespace

std::string GetTempFolder() {
    // GetTempPathW: first the length it needs (with the terminating zero),
    // then the text (without it).
    const DWORD need = ::GetTempPathW(0, nullptr);
    if (need == 0) return {};
    std::wstring buf(need, L'\0');
    const DWORD got = ::GetTempPathW(need, buf.data());
    if (got == 0 || got >= need) return {};
    buf.resize(got);
    return FromWide(buf);
}

std::string GetWorkingFolder(std::string_view sub) {
    std::string temp = GetTempFolder();
    if (!temp.empty() && temp.back() != '\\') temp += '\\';
    std::string path = temp;
    path += kWorkingFolderName;
    path += '\\';
    PreparePrivateFolder(path);
    if (sub.empty()) return path;
    path += sub;
    path += '\\';
    PreparePrivateFolder(path);
    return path;
}

bool ForceFolders(std::string_view dirIn, unsigned /*mode: Windows folders inherit their parent's access list*/) {
    if (dirIn.empty()) throw EInOutError("Verzeichnis kann nicht erstellt werden", ERROR_PATH_NOT_FOUND);
    std::string dir = RemoveTrailingBackslash(dirIn);
    if (!dir.empty() && dir.back() == '/') dir.pop_back();
    // A drive ("C:", "C:\\") or the root of the current drive exists or
    // cannot be made; a relative name ("out", "out\\cards") is made below
    // the current folder.
    const bool driveRoot = dir.size() == 2 && dir[1] == ':';
    if (dir.empty() || driveRoot || FolderExists(dir)) return true;
    const std::size_t cut = dir.find_last_of("\\/");
    if (cut != std::string::npos && cut > 0) {
        const std::string parent = dir.substr(0, cut);
        if (parent != dir && !ForceFolders(parent)) return false;
    }
    if (::CreateDirectoryW(WinPath(dir).c_str(), nullptr)) return true;
    // Another process may have made it meanwhile.
    return ::GetLastError() == ERROR_ALREADY_EXISTS && FolderExists(dir);
}

bool FolderExists(std::string_view path) {
    const std::wstring w = WinPath(path);
    const DWORD attrs = ::GetFileAttributesW(w.c_str());
    if (attrs == INVALID_FILE_ATTRIBUTES) {
        const DWORD err = ::GetLastError();
        return !(IsNotFound(err) || err == ERROR_BAD_NETPATH);
    }
    const bool isDir = (attrs & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if ((attrs & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return isDir;
    // A link or junction: it counts only when its target can be reached.
    const TWinHandle h(::CreateFileW(w.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return h && isDir;
}

bool FileExistsEx(std::string_view path) {
    if (path.empty()) return false;
    RunFileAccessHook(path);
    const std::wstring w = WinPath(path);
    const DWORD attrs = ::GetFileAttributesW(w.c_str());
    if (attrs == INVALID_FILE_ATTRIBUTES) {
        const DWORD err = ::GetLastError();
        if (IsNotFound(err)) return false;
        // The attributes could not be read (a file held open without sharing
        // may answer ERROR_SHARING_VIOLATION): the directory entry decides.
        WIN32_FIND_DATAW data{};
        const HANDLE find = ::FindFirstFileW(w.c_str(), &data);
        if (find == INVALID_HANDLE_VALUE) return false;
        ::FindClose(find);
        return (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    }
    if ((attrs & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return (attrs & FILE_ATTRIBUTE_DIRECTORY) == 0;
    if ((attrs & FILE_ATTRIBUTE_DIRECTORY) != 0) return false;
    // A link to a file: it counts when its target exists, even when another
    // process holds the target without sharing.
    const TWinHandle h(::CreateFileW(w.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    return h || ::GetLastError() == ERROR_SHARING_VIOLATION;
}

bool DeleteFileIfExists(std::string_view path) noexcept {
    try {
        if (!FileExistsEx(path)) return true;
        return ::DeleteFileW(WinPath(path).c_str()) || ::GetLastError() == ERROR_FILE_NOT_FOUND;
    } catch (...) {
        return false;
    }
}

struct TCopySource::TImpl {
    std::string Path;
    TWinHandle Handle;
    std::vector<char> Buffer;
};

TCopySource::TCopySource(const std::string& path) : impl_(std::make_unique<TImpl>()) {
    impl_->Path = path;
    impl_->Handle = OpenForReading(path);
    if (!impl_->Handle) RaiseIo("Datei kann nicht geöffnet werden", path, ::GetLastError());
    impl_->Buffer.resize(kCopyChunkBytes);
}

TCopySource::~TCopySource() = default;

void TCopySource::CopyTo(const std::string& dest) {
    const std::string& source = impl_->Path;
    const HANDLE in = impl_->Handle.Get();
    std::string tmpName;
    try {
        LARGE_INTEGER start{};
        if (!::SetFilePointerEx(in, start, nullptr, FILE_BEGIN)) {
            RaiseIo("Datei kann nicht gelesen werden", source, ::GetLastError());
        }
        TWinHandle out = CreateSibling(dest, tmpName);
        for (;;) {
            DWORD n = 0;
            if (!::ReadFile(in, impl_->Buffer.data(), static_cast<DWORD>(impl_->Buffer.size()), &n, nullptr)) {
                RaiseIo("Datei kann nicht gelesen werden", source, ::GetLastError());
            }
            if (n == 0) break;
            WriteAll(out.Get(), impl_->Buffer.data(), n, dest);
        }
        Publish(out, tmpName, dest);
    } catch (const EInOutError&) {
        if (!tmpName.empty()) ::DeleteFileW(WinPath(tmpName).c_str());
        throw;
    }
}

namespace {

// Reads from `h` to its end, appending to `out`; raises when more than
// `maxBytes` would be read.
void ReadToEnd(HANDLE h, std::string& out, const std::string& path, std::uint64_t maxBytes = UINT64_MAX) {
    std::size_t have = out.size();
    for (;;) {
        if (have > maxBytes) RaiseIo("Datei kann nicht gelesen werden", path, ERROR_FILE_TOO_LARGE);
        if (out.size() - have < 65536) out.resize(have + 65536);
        DWORD n = 0;
        if (!::ReadFile(h, out.data() + have, static_cast<DWORD>(out.size() - have), &n, nullptr)) {
            const DWORD err = ::GetLastError();
            if (err == ERROR_HANDLE_EOF) break;
            RaiseIo("Datei kann nicht gelesen werden", path, err);
        }
        if (n == 0) break;
        have += n;
    }
    if (have > maxBytes) RaiseIo("Datei kann nicht gelesen werden", path, ERROR_FILE_TOO_LARGE);
    out.resize(have);
}

}  // namespace

std::string ReadFileToString(const std::string& path) {
    const TWinHandle h = OpenForReading(path);
    if (!h) RaiseIo("Datei kann nicht geöffnet werden", path, ::GetLastError());
    std::string out;
    ReadToEnd(h.Get(), out, path);
    return out;
}

std::string ReadRegularFile(const std::string& path) {
    const TWinHandle h = OpenForReading(path);
    if (!h) RaiseIo("Datei kann nicht geöffnet werden", path, ::GetLastError());
    // Pipes and character devices (a name like "CON" or "\\.\pipe\x") would
    // make the read wait for a writer; only disk files are read.
    if (::GetFileType(h.Get()) != FILE_TYPE_DISK) {
        throw ENotRegularFileError("Datei kann nicht gelesen werden \"" + path + "\": " +
                                       SystemErrorText(ERROR_INVALID_PARAMETER),
                                   ERROR_INVALID_PARAMETER);
    }
    LARGE_INTEGER size{};
    std::string out;
    if (::GetFileSizeEx(h.Get(), &size) && size.QuadPart > 0) out.reserve(static_cast<std::size_t>(size.QuadPart));
    ReadToEnd(h.Get(), out, path);
    return out;
}

namespace {

[[noreturn]] void RaiseNotRegular(const std::string& path) {
    throw ENotRegularFileError("Datei kann nicht gelesen werden \"" + path + "\": " +
                                   SystemErrorText(ERROR_INVALID_PARAMETER),
                               ERROR_INVALID_PARAMETER);
}

// `path` made absolute and normalised by the system ("/" to "\", "." and
// ".." resolved) with its 8.3 short names written out (a temporary folder
// is often named so), without a "\\?\" prefix; empty when that fails.
std::wstring FullPathOf(const std::wstring& path) {
    const DWORD need = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (need == 0) return {};
    std::wstring full(need, L'\0');
    const DWORD got = ::GetFullPathNameW(path.c_str(), need, full.data(), nullptr);
    if (got == 0 || got >= need) return {};
    full.resize(got);
    // GetLongPathNameW expands the names one by one; it resolves no link.
    const DWORD longNeed = ::GetLongPathNameW(full.c_str(), nullptr, 0);
    if (longNeed != 0) {
        std::wstring longPath(longNeed, L'\0');
        const DWORD longGot = ::GetLongPathNameW(full.c_str(), longPath.data(), longNeed);
        if (longGot != 0 && longGot < longNeed) full.assign(longPath, 0, longGot);
    }
    if (full.starts_with(L"\\\\?\\")) full.erase(0, 4);
    return full;
}

// The path by which the file system reaches the open file `h`, with every
// junction and link on the way resolved, without a "\\?\" prefix.
std::wstring FinalPathOf(HANDLE h) {
    std::wstring final(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 2; ++attempt) {
        const DWORD got = ::GetFinalPathNameByHandleW(h, final.data(), static_cast<DWORD>(final.size()),
                                                      FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (got == 0) return {};
        if (got < final.size()) {
            final.resize(got);
            if (final.starts_with(L"\\\\?\\")) final.erase(0, 4);
            return final;
        }
        final.assign(got, L'\0');  // too small: `got` is the size it needs
    }
    return {};
}

bool SamePathIgnoringCase(const std::wstring& a, const std::wstring& b) {
    return !a.empty() && a.size() == b.size() &&
           ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                                  TRUE) == CSTR_EQUAL;
}

}  // namespace

struct TPeerFile::TImpl {
    std::string Path;
    TWinHandle File;
    std::uint64_t MaxBytes = 0;
};

TPeerFile::TPeerFile(const std::string& path, std::uint64_t maxBytes) : impl_(std::make_unique<TImpl>()) {
    TImpl& f = *impl_;
    f.Path = path;
    f.MaxBytes = maxBytes;
    if (!IsLocalAbsolutePath(path)) RaiseNotRegular(path);
    RunFileAccessHook(path);
    // One handle from the check to the delete. FILE_SHARE_READ only: while
    // it is open nobody else can write, rename or delete the file.
    // FILE_FLAG_OPEN_REPARSE_POINT: the entry itself, never what a link or
    // junction points to. SECURITY_ANONYMOUS: should the name still reach a
    // pipe, its server cannot even identify the user.
    const std::wstring wide = WinPath(path);
    f.File.Reset(::CreateFileW(wide.c_str(), GENERIC_READ | DELETE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT | SECURITY_SQOS_PRESENT |
                                   SECURITY_ANONYMOUS,
                               nullptr));
    if (!f.File) RaiseIo("Datei kann nicht geöffnet werden", path, ::GetLastError());
    BY_HANDLE_FILE_INFORMATION info{};
    constexpr DWORD kNotRegular = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE;
    if (::GetFileType(f.File.Get()) != FILE_TYPE_DISK || !::GetFileInformationByHandle(f.File.Get(), &info) ||
        (info.dwFileAttributes & kNotRegular) != 0) {
        RaiseNotRegular(path);
    }
    // A junction or link among the folders on the way leads elsewhere: the
    // file reached must be the file named.
    if (!SamePathIgnoringCase(FinalPathOf(f.File.Get()), FullPathOf(wide))) RaiseNotRegular(path);
    const std::uint64_t size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    if (size > maxBytes) RaiseIo("Datei kann nicht gelesen werden", path, ERROR_FILE_TOO_LARGE);
}

TPeerFile::~TPeerFile() = default;

const std::string& TPeerFile::Path() const noexcept { return impl_->Path; }

std::string TPeerFile::Read() {
    TImpl& f = *impl_;
    LARGE_INTEGER start{};
    if (!::SetFilePointerEx(f.File.Get(), start, nullptr, FILE_BEGIN)) {
        RaiseIo("Datei kann nicht gelesen werden", f.Path, ::GetLastError());
    }
    LARGE_INTEGER size{};
    std::string out;
    if (::GetFileSizeEx(f.File.Get(), &size) && size.QuadPart > 0 &&
        static_cast<std::uint64_t>(size.QuadPart) <= f.MaxBytes) {
        out.reserve(static_cast<std::size_t>(size.QuadPart));
    }
    ReadToEnd(f.File.Get(), out, f.Path, f.MaxBytes);
    return out;
}

bool TPeerFile::DeleteIfUnchanged() noexcept {
    try {
        RunPeerFileDeleteHook(impl_->Path);
        // Through the handle that was read: whatever the name leads to now,
        // only this file can be deleted (when the handle closes).
        FILE_DISPOSITION_INFO disposition{};
        disposition.DeleteFile = TRUE;
        return ::SetFileInformationByHandle(impl_->File.Get(), FileDispositionInfo, &disposition,
                                            sizeof disposition) != 0;
    } catch (...) {
        return false;
    }
}

void WriteFileAtomic(const std::string& path, std::string_view content, const TSleepFunction& sleep) {
    std::string tmpName;
    TWinHandle h = CreateSibling(path, tmpName);
    try {
        WriteAll(h.Get(), content.data(), content.size(), path);
    } catch (...) {
        h.Reset();
        ::DeleteFileW(WinPath(tmpName).c_str());
        throw;
    }
    Publish(h, tmpName, path, sleep);
}

}  // namespace qm
