#include "UCardClipboard.h"

#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <utility>
#include <exception>
#include <span>

#include "UErrors.h"
#include "UFileUtil.h"
#include "UPNGReader.h"
#include "UStringUtil.h"
#include "UWinHandles.h"
#include "UWinText.h"

namespace qm {

namespace {

constexpr std::string_view kCopyFailed = "Die Visitenkarte kann nicht in die Zwischenablage kopiert werden";

[[noreturn]] void RaiseCopyFailed() {
    throw EQuillmarkError(std::string(kCopyFailed) + ": " + SystemErrorText(GetLastError()));
}

// Another program may hold the clipboard open for a moment (OpenClipboard
// fails then); a few short tries ride that out.
class TOpenClipboard {
public:
    explicit TOpenClipboard(HWND owner) {
        // SetClipboardData fails on a clipboard opened without an owner
        // after EmptyClipboard (its documentation).
        if (owner == nullptr || !IsWindow(owner))
            throw EQuillmarkError(std::string(kCopyFailed) + ": kein Fenster als Besitzer");
        constexpr int kAttempts = 10;
        constexpr DWORD kPauseMs = 20;
        for (int attempt = 0; attempt < kAttempts; ++attempt) {
            if (OpenClipboard(owner)) return;
            Sleep(kPauseMs);
        }
        RaiseCopyFailed();
    }
    TOpenClipboard(const TOpenClipboard&) = delete;
    TOpenClipboard& operator=(const TOpenClipboard&) = delete;
    ~TOpenClipboard() { CloseClipboard(); }
};

// Hands `bytes` to the clipboard as `format`; the system owns the memory
// once SetClipboardData succeeded.
void Put(UINT format, std::span<const std::uint8_t> bytes) {
    if (format == 0) RaiseCopyFailed();
    TGlobalMemory memory(bytes.size());
    {
        const TGlobalLock lock(memory.Get());
        if (lock.Data() == nullptr) RaiseCopyFailed();
        std::memcpy(lock.Data(), bytes.data(), bytes.size());
    }
    if (SetClipboardData(format, memory.Get()) == nullptr) RaiseCopyFailed();
    memory.Release();
}

// What the clipboard holds as `format`, copied; empty when it lacks it. The
// clipboard is open.
std::vector<std::uint8_t> Held(UINT format) {
    const HANDLE data = GetClipboardData(format);
    if (data == nullptr) return {};
    const TGlobalLock lock(data);
    if (lock.Data() == nullptr) return {};
    const auto* bytes = static_cast<const std::uint8_t*>(lock.Data());
    return {bytes, bytes + lock.Size()};
}

std::span<const std::uint8_t> BytesOf(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// Plain text on Windows ends its lines in CR LF, and CF_UNICODETEXT ends in
// a zero character.
std::vector<std::uint8_t> UnicodeText(const std::string& utf8) {
    std::string crlf;
    crlf.reserve(utf8.size() + utf8.size() / 16);
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        if (utf8[i] == '\n' && (i == 0 || utf8[i - 1] != '\r')) crlf += '\r';
        crlf += utf8[i];
    }
    const std::wstring wide = ToWide(crlf);
    std::vector<std::uint8_t> bytes((wide.size() + 1) * sizeof(wchar_t));
    std::memcpy(bytes.data(), wide.c_str(), bytes.size());
    return bytes;
}

}  // namespace

std::vector<std::uint8_t> PackedDIB(const TRGBImage& image) {
    const std::size_t stride = (static_cast<std::size_t>(image.Width) * 3 + 3) & ~std::size_t{3};
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = image.Width;
    header.biHeight = image.Height;  // positive: bottom-up rows
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    header.biSizeImage = static_cast<DWORD>(stride * static_cast<std::size_t>(image.Height));
    std::vector<std::uint8_t> dib(sizeof header + header.biSizeImage);
    std::memcpy(dib.data(), &header, sizeof header);
    for (int y = 0; y < image.Height; ++y) {
        const std::uint8_t* from = image.Pixels.data() + static_cast<std::size_t>(y) * image.Width * 3;
        std::uint8_t* to = dib.data() + sizeof header + static_cast<std::size_t>(image.Height - 1 - y) * stride;
        for (int x = 0; x < image.Width; ++x) {
            to[x * 3] = from[x * 3 + 2];
            to[x * 3 + 1] = from[x * 3 + 1];
            to[x * 3 + 2] = from[x * 3];
        }
    }
    return dib;
}

std::vector<std::uint8_t> WideFileDrop(const std::wstring& path) {
    DROPFILES header{};
    header.pFiles = sizeof header;
    header.fWide = TRUE;
    // Header, the path with its zero, and the zero that ends the list.
    std::vector<std::uint8_t> drop(sizeof header + (path.size() + 2) * sizeof(wchar_t), 0);
    std::memcpy(drop.data(), &header, sizeof header);
    std::memcpy(drop.data() + sizeof header, path.data(), path.size() * sizeof(wchar_t));
    return drop;
}

std::vector<std::uint8_t> VirtualFileDescriptor(const std::wstring& name, std::uint32_t size) {
    FILEGROUPDESCRIPTORW group{};
    group.cItems = 1;
    FILEDESCRIPTORW& file = group.fgd[0];
    // FD_UNICODE: cFileName is wide; FD_FILESIZE: the size fields count.
    file.dwFlags = FD_FILESIZE | FD_UNICODE;
    file.nFileSizeLow = size;
    const std::size_t length = std::min(name.size(), std::size(file.cFileName) - 1);
    std::memcpy(file.cFileName, name.data(), length * sizeof(wchar_t));
    std::vector<std::uint8_t> bytes(sizeof group);
    std::memcpy(bytes.data(), &group, sizeof group);
    return bytes;
}

void CopyCardToClipboard(HWND owner, const std::string& vcfPath, const std::string& vcardText,
                         const std::string& pngPath) {
    std::string vcf;
    try {
        vcf = ReadFileToString(vcfPath);
    } catch (const std::exception&) {
        throw EInOutError("Die Datei \"" + vcfPath + "\" kann nicht gelesen werden", 0);
    }
    std::string png;
    TRGBImage picture;
    try {
        png = ReadFileToString(pngPath);
        picture = ReadPNGRGB(png);
    } catch (const std::exception&) {
        throw EInOutError("Das Bild \"" + pngPath + "\" kann nicht geladen werden", 0);
    }
    if (picture.Width <= 0 || picture.Height <= 0)
        throw EInOutError("Das Bild \"" + pngPath + "\" kann nicht geladen werden", 0);

    const TOpenClipboard open(owner);
    if (!EmptyClipboard()) RaiseCopyFailed();
    Put(CF_HDROP, WideFileDrop(ToWide(vcfPath)));
    const DWORD copy = DROPEFFECT_COPY;
    Put(RegisterClipboardFormatW(CFSTR_PREFERREDDROPEFFECT),
        {reinterpret_cast<const std::uint8_t*>(&copy), sizeof copy});
    Put(RegisterClipboardFormatW(CFSTR_FILEDESCRIPTORW),
        VirtualFileDescriptor(ToWide(ExtractFileName(vcfPath)), static_cast<std::uint32_t>(vcf.size())));
    Put(RegisterClipboardFormatW(CFSTR_FILECONTENTS), BytesOf(vcf));
    // Windows 10 1809 and later: the clipboard history may keep the entry,
    // but it is never synchronised to the user's other devices.
    const DWORD noUpload = 0;
    Put(RegisterClipboardFormatW(L"CanUploadToCloudClipboard"),
        {reinterpret_cast<const std::uint8_t*>(&noUpload), sizeof noUpload});
    Put(CF_UNICODETEXT, UnicodeText(vcardText));
    Put(RegisterClipboardFormatW(kVCardClipboardFormat), BytesOf(vcardText));
    Put(CF_DIB, PackedDIB(picture));
    Put(RegisterClipboardFormatW(kPngClipboardFormat), BytesOf(png));
}

void WithdrawCardFileFromClipboard(HWND owner) noexcept {
    // The window that emptied the clipboard last owns it: another program's
    // copy since then made that program the owner.
    if (owner == nullptr || GetClipboardOwner() != owner) return;
    try {
        const TOpenClipboard open(owner);
        const UINT drop[] = {CF_HDROP, RegisterClipboardFormatW(CFSTR_PREFERREDDROPEFFECT)};
        std::vector<std::pair<UINT, std::vector<std::uint8_t>>> kept;
        // CF_DIB comes back as it went in; the system's synthesised formats
        // (CF_TEXT, CF_BITMAP, CF_LOCALE ...) are made anew from what is put.
        for (UINT format = EnumClipboardFormats(0); format != 0; format = EnumClipboardFormats(format)) {
            if (std::find(std::begin(drop), std::end(drop), format) != std::end(drop)) continue;
            if (format < 0xC000 && format != CF_UNICODETEXT && format != CF_DIB) continue;
            kept.emplace_back(format, Held(format));
        }
        if (!EmptyClipboard()) return;
        for (const auto& [format, bytes] : kept) {
            if (!bytes.empty()) Put(format, bytes);
        }
    } catch (...) {
        // Nothing to add to a closing window: the clipboard keeps what it has.
    }
}

}  // namespace qm
