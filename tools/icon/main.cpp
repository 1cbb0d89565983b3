// quillmark-icon: writes the program's icon as a PNG file of a given size.
// Used by the build to make the icon theme's pictures.
#include <charconv>
#include <cstdio>
#include <string>

#include "UErrors.h"
#include "UFileUtil.h"
#include "UPNGWriter.h"
#include "UProgramIcon.h"
#include "UVersion.h"

int main(int argc, char* argv[]) {
    if (argc != 3) {
        std::fputs("Aufruf: quillmark-icon GRÖSSE DATEI.png\n", stderr);
        return 2;
    }
    const std::string sizeText = argv[1];
    int size = 0;
    const auto [end, ec] = std::from_chars(sizeText.data(), sizeText.data() + sizeText.size(), size);
    if (ec != std::errc() || end != sizeText.data() + sizeText.size()) {
        std::fprintf(stderr, "quillmark-icon: keine Zahl: %s\n", argv[1]);
        return 2;
    }
    try {
        qm::WriteFileAtomic(argv[2], qm::WritePNGRGB(qm::ProgramIconImage(qm::kProjectName, size)));
    } catch (const qm::EQuillmarkError& e) {
        std::fprintf(stderr, "quillmark-icon: %s\n", e.what());
        return 1;
    }
    return 0;
}
