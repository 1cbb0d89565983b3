#include "UCardClipboard.h"

#include <shlobj.h>

#include <cstring>
#include <exception>
#include <span>

#include "UErrors.h"
#include "UFileUtil.h"
#include "UPNGReader.h"
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

void CopyCardToClipboard(HWND owner, const std::string& vcfPath, const std::string& vcardText,
                         const std::string& pngPath) {
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
    Put(CF_UNICODETEXT, UnicodeText(vcardText));
    Put(RegisterClipboardFormatW(kVCardClipboardFormat), BytesOf(vcardText));
    Put(CF_DIB, PackedDIB(picture));
    Put(RegisterClipboardFormatW(kPngClipboardFormat), BytesOf(png));
}

}  // namespace qm
