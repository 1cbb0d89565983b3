#include "UWinText.h"

#include "UTextEncoding.h"

namespace qm {

std::wstring ToWide(std::string_view utf8) {
    const std::u16string u16 = Utf8ToUtf16(utf8);
    return std::wstring(u16.begin(), u16.end());
}

std::string FromWide(std::wstring_view wide) {
    const std::u16string u16(wide.begin(), wide.end());
    return EncodeUtf8(u16);
}

std::wstring WinPath(std::string_view path) {
    // CreateDirectoryW's limit (MAX_PATH less room for an 8.3 file name) is
    // the smallest of the classic limits.
    constexpr std::size_t kClassicLimit = MAX_PATH - 12;
    std::wstring w = ToWide(path);
    if (w.size() < kClassicLimit || w.starts_with(L"\\\\?\\") || w.starts_with(L"\\\\.\\")) return w;
    // The prefix turns off the system's own normalisation, so the path is
    // normalised first ("/" to "\", "." and ".." resolved, made absolute).
    const DWORD need = ::GetFullPathNameW(w.c_str(), 0, nullptr, nullptr);
    if (need == 0) return w;
    std::wstring full(need, L'\0');
    const DWORD got = ::GetFullPathNameW(w.c_str(), need, full.data(), nullptr);
    if (got == 0 || got >= need) return w;
    full.resize(got);
    if (full.starts_with(L"\\\\?\\") || full.starts_with(L"\\\\.\\")) return full;
    if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

std::string SystemErrorText(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD n = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text;
    if (n != 0 && buffer != nullptr) text.assign(buffer, n);
    if (buffer != nullptr) ::LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) text.pop_back();
    if (text.empty()) return "error " + std::to_string(code);
    return FromWide(text);
}

}  // namespace qm
