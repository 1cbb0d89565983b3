// The retry rules of the file operations, the same on every platform; the
// file system calls themselves are in UFileUtilPosix.cpp / UFileUtilWin32.cpp.
#include "UFileUtil.h"

#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#ifndef _WIN32
#include <cerrno>
#endif

#include "UBoundedCall.h"
#include "UErrors.h"
#include "UFileUtilPlatform.h"
#include "UPeerFile.h"
#include "UStringUtil.h"

namespace qm {

void DefaultSleep(std::chrono::milliseconds ms) { std::this_thread::sleep_for(ms); }

namespace {

TFolderOwnerLookup& FolderOwnerHook() {
    static TFolderOwnerLookup hook;
    return hook;
}

TPeerFileDeleteHook& PeerFileDeleteHook() {
    static TPeerFileDeleteHook hook;
    return hook;
}

}  // namespace

void SetFolderOwnerLookup(TFolderOwnerLookup lookup) { FolderOwnerHook() = std::move(lookup); }

std::optional<std::string> FolderOwnerFromHook(const std::string& folder) {
    if (!FolderOwnerHook()) return std::nullopt;
    return FolderOwnerHook()(folder);
}

void SetPeerFileDeleteHook(TPeerFileDeleteHook hook) { PeerFileDeleteHook() = std::move(hook); }

void RunPeerFileDeleteHook(const std::string& path) {
    if (PeerFileDeleteHook()) PeerFileDeleteHook()(path);
}

bool IsLocalAbsolutePath(std::string_view path, bool windowsRules) noexcept {
    if (path.find('\0') != std::string_view::npos) return false;
    if (!windowsRules) return !path.empty() && path.front() == '/';
    const auto isLetter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
    return path.size() >= 3 && isLetter(path[0]) && path[1] == ':' && path[2] == '\\' &&
           path.find(':', 2) == std::string_view::npos;
}

bool IsLocalAbsolutePath(std::string_view path) noexcept {
#ifdef _WIN32
    return IsLocalAbsolutePath(path, true);
#else
    return IsLocalAbsolutePath(path, false);
#endif
}

bool CopyFileWithRetry(const std::string& source, const std::string& dest, const TSleepFunction& sleep) {
    const std::string folder = ExtractFilePath(dest);
    if (!folder.empty()) ForceFolders(folder);
    TCopySource in(source);
    // Another process may hold the destination for a moment: up to 10
    // attempts, waiting 100 ms longer after each failed one.
    auto delay = std::chrono::milliseconds(0);
    for (int attempt = 0; attempt < 10; ++attempt) {
        if (attempt > 0) sleep(delay);
        try {
            in.CopyTo(dest);
            return true;
        } catch (const EInOutError&) {
            delay += std::chrono::milliseconds(100);
        }
    }
    return false;
}

namespace {

std::mutex& AccessHookLock() {
    static std::mutex lock;
    return lock;
}

// Shared, so that a call running the hook keeps it while a test replaces
// it; never destroyed, as a worker abandoned by RunWithin may still reach it
// while the process exits.
std::shared_ptr<const TFileAccessHook>& AccessHook() {
    static auto* hook = new std::shared_ptr<const TFileAccessHook>;
    return *hook;
}

// The lines of `path` (none when it is missing) within `deadline`; false
// when the file system gave no answer in time.
bool LoadLinesWithin(TStringList& list, const std::string& path, std::chrono::steady_clock::time_point deadline) {
    // The worker owns its copy of the path: it may outlive this call.
    const auto read = CallWithin(deadline, [path]() -> std::optional<TStringList> {
        if (!FileExistsEx(path)) return std::nullopt;
        TStringList lines;
        lines.LoadFromFile(path);
        return lines;
    });
    if (!read) return false;
    if (*read) list = std::move(**read);
    return true;
}

#ifdef _WIN32
constexpr int kNoAnswerCode = 1460;  // ERROR_TIMEOUT
#else
constexpr int kNoAnswerCode = ETIMEDOUT;
#endif

}  // namespace

void SetFileAccessHook(TFileAccessHook hook) {
    auto shared = hook ? std::make_shared<const TFileAccessHook>(std::move(hook)) : nullptr;
    std::lock_guard<std::mutex> hold(AccessHookLock());
    AccessHook() = std::move(shared);
}

void RunFileAccessHook(std::string_view path) {
    std::shared_ptr<const TFileAccessHook> hook;
    {
        std::lock_guard<std::mutex> hold(AccessHookLock());
        hook = AccessHook();
    }
    if (hook) (*hook)(std::string(path));
}

std::optional<bool> FileExistsWithin(std::string_view path, std::chrono::steady_clock::time_point deadline) {
    return CallWithin(deadline, [p = std::string(path)] { return FileExistsEx(p); });
}

void LoadLinesWithRetry(TStringList& list, const std::string& path, const TSleepFunction& sleep,
                        std::optional<std::chrono::steady_clock::time_point> deadline) {
    constexpr std::chrono::milliseconds kPause{100};
    for (int attempt = 1;; ++attempt) {
        bool answered = true;
        try {
            if (!deadline) {
                if (FileExistsEx(path)) list.LoadFromFile(path);
            } else {
                answered = LoadLinesWithin(list, path, *deadline);
            }
        } catch (const ENotRegularFileError&) {
            throw;  // stays what it is: no point in waiting
        } catch (const EInOutError&) {
            if (attempt >= 100) throw;
            if (deadline && std::chrono::steady_clock::now() + kPause >= *deadline) throw;
            sleep(kPause);
            continue;
        }
        // Asking again would only leave another worker behind.
        if (!answered) {
            throw EInOutError("Datei kann nicht gelesen werden \"" + path + "\": das Dateisystem antwortet nicht",
                              kNoAnswerCode);
        }
        return;
    }
}

}  // namespace qm
