// quillmark-icon: writes the program's icon (the QR code of its name).
//   quillmark-icon SIZE FILE.png   one picture for the desktop's icon theme
//                                  (the build makes these)
//   quillmark-icon FILE.svg        the scalable icon for the theme (the
//                                  build makes it)
//   quillmark-icon FILE.ico        the Windows icon file with every size of
//                                  kIconSizes; run when the icon changes, the
//                                  result is checked in as
//                                  src/app/win32/quillmark.ico
#include <charconv>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "UErrors.h"
#include "UFileUtil.h"
#include "UIconFile.h"
#include "UPNGWriter.h"
#include "UProgramIcon.h"
#include "UVersion.h"

int main(int argc, char* argv[]) {
    if (argc != 2 && argc != 3) {
        std::fputs("Aufruf: quillmark-icon GRÖSSE DATEI.png\n       quillmark-icon DATEI.svg\n"
                   "       quillmark-icon DATEI.ico\n",
                   stderr);
        return 2;
    }
    try {
        if (argc == 2 && std::string_view(argv[1]).ends_with(".svg")) {
            qm::WriteFileAtomic(argv[1], qm::ProgramIconSvg(qm::kProjectName));
            return 0;
        }
        if (argc == 2) {
            std::vector<qm::TRGBImage> images;
            for (const int size : qm::kIconSizes) images.push_back(qm::ProgramIconImage(qm::kProjectName, size));
            qm::WriteFileAtomic(argv[1], qm::IconFile(images));
            return 0;
        }
        const std::string sizeText = argv[1];
        int size = 0;
        const auto [end, ec] = std::from_chars(sizeText.data(), sizeText.data() + sizeText.size(), size);
        if (ec != std::errc() || end != sizeText.data() + sizeText.size()) {
            std::fprintf(stderr, "quillmark-icon: keine Zahl: %s\n", argv[1]);
            return 2;
        }
        qm::WriteFileAtomic(argv[2], qm::WritePNGRGB(qm::ProgramIconImage(qm::kProjectName, size)));
    } catch (const qm::EQuillmarkError& e) {
        std::fprintf(stderr, "quillmark-icon: %s\n", e.what());
        return 1;
    }
    return 0;
}
