// A file whose name came from another process, which may be hostile: opened
// once, read through what was opened, and deleted only while its name still
// leads to that very file, whatever happens to the name meanwhile.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace qm {

// The largest file another process may hand us to read (a host's address
// record is a few kilobytes, a large order a few hundred).
inline constexpr std::uint64_t kMaxPeerFileBytes = std::uint64_t{8} << 20;

class TPeerFile {
public:
    // Opens `path` when IsLocalAbsolutePath(path) holds and every component
    // is reached without following a link: POSIX resolves it from "/" with
    // no symbolic link allowed anywhere (openat2 RESOLVE_NO_SYMLINKS, or a
    // walk of the components) and keeps the parent folder's descriptor;
    // Windows opens one handle for reading and deleting that shares reading
    // only (nobody may write, rename or delete the file while it is held),
    // opened anonymously so that a pipe server behind the name learns
    // nothing about the user, and whose final path must be the path named
    // (no junction or link on the way). The entry must be a regular file of
    // at most `maxBytes`; its size is checked before anything is read, and
    // opening never waits (a FIFO under that name cannot block us).
    // Raises ENotRegularFileError for a refused path or entry, EInOutError
    // for a larger file or one that cannot be opened.
    explicit TPeerFile(const std::string& path, std::uint64_t maxBytes = kMaxPeerFileBytes);
    ~TPeerFile();
    TPeerFile(const TPeerFile&) = delete;
    TPeerFile& operator=(const TPeerFile&) = delete;

    const std::string& Path() const noexcept;

    // The whole file from its start, read through the opened file; no more
    // than `maxBytes` (a file that grew beyond it raises EInOutError).
    std::string Read();

    // Deletes the opened file when its name in the folder it was opened in
    // still names it (POSIX: the same device and inode, unlinked through the
    // parent's descriptor; Windows: through the handle itself). True when it
    // was deleted. Never raises.
    bool DeleteIfUnchanged() noexcept;

private:
    struct TImpl;
    std::unique_ptr<TImpl> impl_;
};

// Test seam: called by DeleteIfUnchanged with the path just before the name
// is checked, so that a test can play another process that swaps the file
// or a folder on its path. An empty function removes it. Not thread-safe:
// set it while no other thread deletes peer files.
using TPeerFileDeleteHook = std::function<void(const std::string& path)>;
void SetPeerFileDeleteHook(TPeerFileDeleteHook hook);

}  // namespace qm
