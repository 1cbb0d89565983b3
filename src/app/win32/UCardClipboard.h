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

// Empties the clipboard and puts the card on it, owned by `owner` (a window
// of the calling thread; Windows refuses SetClipboardData on a clipboard
// opened without one): CF_HDROP with `vcfPath` and "Preferred DropEffect" copy (a paste in
// the file manager copies), CF_UNICODETEXT with `vcardText` in CR LF lines,
// "text/vcard" with `vcardText` as UTF-8, CF_DIB and "PNG" with the picture
// of the PNG file `pngPath`. Raises with a German message when the picture
// cannot be read, `owner` is no window, or the clipboard cannot be opened
// or written; the clipboard is closed again in every case.
void CopyCardToClipboard(HWND owner, const std::string& vcfPath, const std::string& vcardText,
                         const std::string& pngPath);

}  // namespace qm
