// The retry rules of the file operations, the same on every platform; the
// file system calls themselves are in UFileUtilPosix.cpp / UFileUtilWin32.cpp.
#include "UFileUtil.h"

#include <optional>
#include <thread>

#include "UErrors.h"
#include "UFileUtilPlatform.h"
#include "UStringUtil.h"

namespace qm {

void DefaultSleep(std::chrono::milliseconds ms) { std::this_thread::sleep_for(ms); }

namespace {

TFolderOwnerLookup& FolderOwnerHook() {
    static TFolderOwnerLookup hook;
    return hook;
}

}  // namespace

void SetFolderOwnerLookup(TFolderOwnerLookup lookup) { FolderOwnerHook() = std::move(lookup); }

std::optional<std::string> FolderOwnerFromHook(const std::string& folder) {
    if (!FolderOwnerHook()) return std::nullopt;
    return FolderOwnerHook()(folder);
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

void LoadLinesWithRetry(TStringList& list, const std::string& path, const TSleepFunction& sleep) {
    for (int attempt = 1;; ++attempt) {
        try {
            if (FileExistsEx(path)) list.LoadFromFile(path);
            return;
        } catch (const ENotRegularFileError&) {
            throw;  // stays what it is: no point in waiting
        } catch (const EInOutError&) {
            if (attempt >= 100) throw;
            sleep(std::chrono::milliseconds(100));
        }
    }
}

}  // namespace qm
