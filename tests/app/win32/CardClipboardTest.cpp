// The card on the Windows clipboard, read back the way other programs read
// it: the dropped file, the text, the registered formats and the bitmap.
#include <gtest/gtest.h>

#include "UWinApi.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "TestFiles.h"
#include "UCardBuilder.h"
#include "UCardClipboard.h"
#include "UErrors.h"
#include "UFileUtil.h"
#include "UWinText.h"

namespace {

// The clipboard opened for reading for one scope.
class TReadClipboard {
public:
    TReadClipboard() : FOpen(OpenClipboard(nullptr) != FALSE) {}
    ~TReadClipboard() {
        if (FOpen) CloseClipboard();
    }
    bool Open() const { return FOpen; }
    // The bytes of `format`; empty when the clipboard lacks it.
    std::string Bytes(UINT format) const {
        const HANDLE data = GetClipboardData(format);
        if (data == nullptr) return {};
        const void* p = GlobalLock(data);
        std::string bytes(static_cast<const char*>(p), GlobalSize(data));
        GlobalUnlock(data);
        return bytes;
    }

private:
    bool FOpen;
};

// A message-only window as the clipboard's owner, as the dialog's window is.
class TOwnerWindow {
public:
    TOwnerWindow()
        : FWindow(CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr)) {}
    ~TOwnerWindow() {
        if (FWindow) DestroyWindow(FWindow);
    }
    HWND Get() const { return FWindow; }

private:
    HWND FWindow;
};

constexpr const char* kCard = "BEGIN:VCARD\nVERSION:4.0\nFN:J\xC3\xBCrgen M\xC3\xBCller\nEND:VCARD\n";

// The card's pair `<name>.vcf` and `<name>.png` (120 mm) written into `folder`.
std::pair<std::string, std::string> WriteCardPair(const qm::test::TTempFolder& folder, const std::string& name) {
    const std::string vcf = folder.Path(name + ".vcf");
    const std::string png = folder.Path(name + ".png");
    qm::WriteCardVcf(kCard, vcf);
    qm::WriteCardPng(kCard, png, qm::TCardSettings{});
    return {vcf, png};
}

TEST(CardClipboard, HoldsTheFileTheTextAndThePicture) {
    qm::test::TTempFolder folder;
    const std::string vcf = folder.Path("J\xC3\xBCrgen M\xC3\xBCller.vcf");
    const std::string png = folder.Path("J\xC3\xBCrgen M\xC3\xBCller.png");
    qm::WriteCardVcf(kCard, vcf);
    qm::TCardSettings settings;
    settings.SizeMM = 200;
    qm::WriteCardPng(kCard, png, settings);

    const TOwnerWindow owner;
    ASSERT_NE(owner.Get(), nullptr);
    qm::CopyCardToClipboard(owner.Get(), vcf, kCard, png);

    TReadClipboard clipboard;
    ASSERT_TRUE(clipboard.Open());
    const auto drop = static_cast<HDROP>(GetClipboardData(CF_HDROP));
    ASSERT_NE(drop, nullptr);
    ASSERT_EQ(DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0), 1u);
    wchar_t path[MAX_PATH]{};
    DragQueryFileW(drop, 0, path, MAX_PATH);
    EXPECT_EQ(qm::FromWide(path), vcf);

    const std::string unicode = clipboard.Bytes(CF_UNICODETEXT);
    const std::wstring text(reinterpret_cast<const wchar_t*>(unicode.data()), unicode.size() / sizeof(wchar_t));
    EXPECT_EQ(qm::FromWide(text.c_str()),
              "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:J\xC3\xBCrgen M\xC3\xBCller\r\nEND:VCARD\r\n");
    EXPECT_EQ(clipboard.Bytes(RegisterClipboardFormatW(qm::kVCardClipboardFormat)), kCard);
    EXPECT_EQ(clipboard.Bytes(RegisterClipboardFormatW(qm::kPngClipboardFormat)), qm::ReadFileToString(png));
    EXPECT_EQ(clipboard.Bytes(RegisterClipboardFormatW(CFSTR_PREFERREDDROPEFFECT)),
              std::string("\x01\x00\x00\x00", 4));

    // 200 mm at 96 pixels per inch: the 756-pixel picture as a bitmap.
    const std::string dib = clipboard.Bytes(CF_DIB);
    ASSERT_GE(dib.size(), sizeof(BITMAPINFOHEADER));
    BITMAPINFOHEADER header;
    std::memcpy(&header, dib.data(), sizeof header);
    EXPECT_EQ(header.biWidth, 756);
    EXPECT_EQ(header.biHeight, 756);
    EXPECT_EQ(header.biBitCount, 24);
    EXPECT_EQ(clipboard.Bytes(RegisterClipboardFormatW(L"CanUploadToCloudClipboard")), std::string(4, '\0'));
}

// What a paste after the dialog closed gets: the virtual file, through OLE as
// Explorer and mail programs read it, while the file itself is gone.
TEST(CardClipboard, TheCardOutlivesItsFileAndAnotherProgramsCopyIsLeftAlone) {
    qm::test::TTempFolder folder;
    const auto [vcf, png] = WriteCardPair(folder, "Anna B\xC3\xB6hm");
    const std::string bytes = qm::ReadFileToString(vcf);
    const TOwnerWindow owner;
    qm::CopyCardToClipboard(owner.Get(), vcf, kCard, png);
    qm::WithdrawCardFileFromClipboard(owner.Get());
    ASSERT_TRUE(qm::DeleteFileIfExists(vcf));

    EXPECT_FALSE(IsClipboardFormatAvailable(CF_HDROP));
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_UNICODETEXT));
    EXPECT_TRUE(IsClipboardFormatAvailable(RegisterClipboardFormatW(qm::kPngClipboardFormat)));
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    {
        IDataObject* data = nullptr;
        ASSERT_EQ(OleGetClipboard(&data), S_OK);
        const auto get = [&](const wchar_t* name, LONG index) {
            FORMATETC format{static_cast<CLIPFORMAT>(RegisterClipboardFormatW(name)), nullptr, DVASPECT_CONTENT, index,
                             TYMED_HGLOBAL};
            STGMEDIUM medium{};
            if (data->GetData(&format, &medium) != S_OK) return std::string();
            const void* p = GlobalLock(medium.hGlobal);
            std::string out(static_cast<const char*>(p), GlobalSize(medium.hGlobal));
            GlobalUnlock(medium.hGlobal);
            ReleaseStgMedium(&medium);
            return out;
        };
        const std::string group = get(CFSTR_FILEDESCRIPTORW, -1);
        ASSERT_GE(group.size(), sizeof(FILEGROUPDESCRIPTORW));
        FILEGROUPDESCRIPTORW descriptor;
        std::memcpy(&descriptor, group.data(), sizeof descriptor);
        EXPECT_EQ(descriptor.cItems, 1u);
        EXPECT_EQ(qm::FromWide(descriptor.fgd[0].cFileName), "Anna B\xC3\xB6hm.vcf");
        EXPECT_EQ(descriptor.fgd[0].nFileSizeLow, bytes.size());
        EXPECT_EQ(get(CFSTR_FILECONTENTS, -1).substr(0, bytes.size()), bytes);
        data->Release();
    }
    OleUninitialize();

    // A file the user copied in Explorer since is never taken away.
    const TOwnerWindow other;
    ASSERT_TRUE(OpenClipboard(other.Get()));
    EmptyClipboard();
    const std::vector<std::uint8_t> drop = qm::WideFileDrop(qm::ToWide(png));
    const HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, drop.size());
    std::memcpy(GlobalLock(memory), drop.data(), drop.size());
    GlobalUnlock(memory);
    SetClipboardData(CF_HDROP, memory);
    CloseClipboard();
    qm::WithdrawCardFileFromClipboard(owner.Get());
    EXPECT_TRUE(IsClipboardFormatAvailable(CF_HDROP));
}

TEST(CardClipboard, AnUnreadablePictureOrNoOwnerLeavesTheClipboardAlone) {
    qm::test::TTempFolder folder;
    const auto [vcf, png] = WriteCardPair(folder, "karte");
    const TOwnerWindow owner;
    ASSERT_TRUE(OpenClipboard(owner.Get()));
    EmptyClipboard();
    CloseClipboard();
    const std::string missing = folder.Path("fehlt.png");
    const struct {
        HWND Owner;
        std::string Png;
        std::string Message;
    } cases[] = {
        {owner.Get(), missing, "Das Bild \"" + missing + "\" kann nicht geladen werden"},
        {nullptr, png, "Die Visitenkarte kann nicht in die Zwischenablage kopiert werden: kein Fenster als Besitzer"},
    };
    for (const auto& c : cases) {
        try {
            qm::CopyCardToClipboard(c.Owner, vcf, kCard, c.Png);
            ADD_FAILURE() << "no exception for " << c.Png;
        } catch (const qm::EQuillmarkError& e) {
            EXPECT_EQ(std::string(e.what()), c.Message);
        }
        EXPECT_FALSE(IsClipboardFormatAvailable(CF_HDROP));
    }
}

TEST(CardClipboard, TheBitmapRunsBottomUpInBlueGreenRedWithPaddedRows) {
    // Two pixels wide (6 bytes, padded to 8), two rows: red green / blue white.
    qm::TRGBImage image(2, 2);
    image.Pixels = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255};
    const std::vector<std::uint8_t> dib = qm::PackedDIB(image);
    BITMAPINFOHEADER header;
    std::memcpy(&header, dib.data(), sizeof header);
    EXPECT_EQ(header.biSizeImage, 16u);
    ASSERT_EQ(dib.size(), sizeof header + 16);
    const std::vector<std::uint8_t> pixels(dib.begin() + sizeof header, dib.end());
    EXPECT_EQ(pixels, (std::vector<std::uint8_t>{255, 0, 0, 255, 255, 255, 0, 0,    // bottom row first
                                                 0, 0, 255, 0, 255, 0, 0, 0}));
}

}  // namespace
