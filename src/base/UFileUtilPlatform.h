// What the shared file rules need from each platform's file system; private
// to this library. UFileUtilPosix.cpp and UFileUtilWin32.cpp implement it.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace qm {

// Files are copied in chunks of this size.
inline constexpr std::size_t kCopyChunkBytes = 61440;

// The owner a test's lookup (SetFolderOwnerLookup) gives `folder`; none
// without a lookup, when the platform's own answer counts.
std::optional<std::string> FolderOwnerFromHook(const std::string& folder);

// Runs the hook of SetPeerFileDeleteHook (UPeerFile.h), if any.
void RunPeerFileDeleteHook(const std::string& path);
// Runs the test's hook of SetFileAccessHook, if any, for `path`.
void RunFileAccessHook(std::string_view path);

// A source file held open for one or more whole copies.
class TCopySource {
public:
    // Raises EInOutError when `path` cannot be opened for reading.
    explicit TCopySource(const std::string& path);
    ~TCopySource();
    TCopySource(const TCopySource&) = delete;
    TCopySource& operator=(const TCopySource&) = delete;

    // Copies the whole file from its start to a temporary file beside `dest`
    // and renames it over `dest`. Raises EInOutError on any failure, leaving
    // no temporary file and any earlier `dest` untouched.
    void CopyTo(const std::string& dest);

private:
    struct TImpl;
    std::unique_ptr<TImpl> impl_;
};

}  // namespace qm
