// The card on the Windows clipboard: the .vcf as a dropped file, its text,
// and the QR picture, in one clipboard transaction.
#pragma once

#include "UWinApi.h"

#include <cstdint>
#include <string>
#include <vector>

#include "URGBImage.h"

namespace qm {

// Clipboard format names registered with RegisterClipboardFormatW: the vCard
// media type (RFC 6350 section 10.1) holding the UTF-8 text, and the PNG
// picture as image programs on Windows register it.
inline constexpr const wchar_t* kVCardClipboardFormat = L"text/vcard";
inline constexpr const wchar_t* kPngClipboardFormat = L"PNG";

// A packed device-independent bitmap of `image` (the CF_DIB layout): a
// BITMAPINFOHEADER, 24 bits per pixel in blue-green-red order, rows from the
// bottom up, each padded to a multiple of 4 bytes. Precondition: the image
// is not empty.
std::vector<std::uint8_t> PackedDIB(const TRGBImage& image);

// The file-drop structure of CF_HDROP for one path (Win32 DROPFILES): the
// header with wide-character names, the path, its terminating zero and the
// list's terminating zero.
std::vector<std::uint8_t> WideFileDrop(const std::wstring& path);

// The shell's virtual-file descriptor (CFSTR_FILEDESCRIPTORW) of one file
// `name` (no folder; at most MAX_PATH - 1 characters, longer names are cut)
// of `size` bytes: a FILEGROUPDESCRIPTORW with one entry.
std::vector<std::uint8_t> VirtualFileDescriptor(const std::wstring& name, std::uint32_t size);

// Empties the clipboard and puts the card on it, owned by `owner` (a window
// of the calling thread; Windows refuses SetClipboardData on a clipboard
// opened without one): CF_HDROP with `vcfPath` and "Preferred DropEffect" copy (a paste in
// the file manager copies), the same file as a virtual file
// (FileGroupDescriptorW with the .vcf's name, FileContents with its bytes,
// which outlive the file), CF_UNICODETEXT with `vcardText` in CR LF lines,
// "text/vcard" with `vcardText` as UTF-8, CF_DIB and "PNG" with the picture
// of the PNG file `pngPath`, and "CanUploadToCloudClipboard" 0: contact data
// stays on this machine. Raises with a German message when a file cannot be
// read, `owner` is no window, or the clipboard cannot be opened or written;
// the clipboard is closed again in every case.
void CopyCardToClipboard(HWND owner, const std::string& vcfPath, const std::string& vcardText,
                         const std::string& pngPath);

// The card's files are about to be deleted (the window closes, the session
// ends): when the clipboard still holds what `owner` put there, it keeps
// everything but the file-drop entries, which would name a deleted file; a
// paste then takes the virtual file. Anything another program copied since
// is left alone. Never raises; a clipboard that cannot be opened stays as it is.
void WithdrawCardFileFromClipboard(HWND owner) noexcept;

}  // namespace qm
