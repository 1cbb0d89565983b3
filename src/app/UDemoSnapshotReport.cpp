#include "UDemoSnapshotReport.h"

#include <cstdlib>
#include <memory>

#include "UErrorGuard.h"
#include "UFileUtil.h"
#include "UStringUtil.h"

namespace qm {

std::optional<std::string> SnapshotFolder() {
    const char* dir = std::getenv(kSnapshotVariable);
    if (dir == nullptr || *dir == '\0') return std::nullopt;
    return std::string(dir);
}

bool InstallHeadlessHandling() {
    if (!SnapshotFolder()) return false;
    ReplaceMessageBox(std::make_unique<TStderrMessageBox>());
    return true;
}

std::string WriteSnapshot(const std::string& dir, const TSnapshotFacts& facts,
                          const std::function<void(const std::string& windowPng)>& saveWindow) {
    ForceFolders(dir);
    const std::string folder = IncludeTrailingPathDelimiter(dir);
    std::string lines = "Fenstertitel: " + facts.Title + "\n";
    if (!facts.Built) return lines;
    saveWindow(folder + "window.png");
    const std::string vcf = folder + ExtractFileName(facts.VcfFile);
    const std::string png = folder + ExtractFileName(facts.PngFile);
    CopyFileWithRetry(facts.VcfFile, vcf);
    CopyFileWithRetry(facts.PngFile, png);
    return lines + "Beschriftung: " + facts.Caption + "\nFensterlage:  " + std::to_string(facts.Left) + "," +
           std::to_string(facts.Top) + "; Innenfl\xC3\xA4" "che " + std::to_string(facts.InnerWidth) + " x " +
           std::to_string(facts.InnerHeight) + "; " + std::to_string(facts.PixelsPerInch) +
           " dpi\nvCard:        " + vcf + "\nQR-Code:      " + png + "\nFenster:      " + folder + "window.png\n";
}

}  // namespace qm
