// The one dialog window of the program: fetches the host's current address
// record, shows it as a vCard QR code under a caption and leaves the .vcf and
// .png files for the user to drag out or open.
#pragma once

#include <QPixmap>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "UCommonCVJSON.h"

class QLabel;

namespace qm {

class TFileDragSource;
class TMarkupLabel;
class TShell;

class TLiveImportFrm : public QWidget {
    Q_OBJECT
public:
    // Creates the dialog at its design position (233, 303), applies the
    // screen set-up, discovers the host that started the program and places
    // the window near the host's window. `shell` (may be null: double clicks
    // and links then open nothing) must outlive the dialog.
    explicit TLiveImportFrm(TShell* shell = nullptr, QWidget* parent = nullptr);
    // Deletes the current .vcf and .png (earlier pairs stay).
    ~TLiveImportFrm() override;

    // Places the dialog 50 pixels right of and below the host window's corner
    // given by the host's "CORVANTAMETRICS" reply (centred on the primary
    // work area when the reply is empty), then corrects its left edge against
    // the monitor at its top-left corner.
    void PlaceNearHost(std::string_view metrics);

    // The files of the last card built; empty before the first one.
    const std::string& VcfFileName() const noexcept { return FVcfFileName; }
    const std::string& PngFileName() const noexcept { return FPngFileName; }
    TMarkupLabel& Label() const noexcept { return *HL; }
    QLabel& Image() const noexcept { return *Image1; }
    TFileDragSource& DragSource() const noexcept { return *FileDragSource1; }

    // Pixels per inch of the screen the dialog is on (logical DPI times the
    // device pixel ratio), 96 without a screen. Tests may fix it.
    int PixelsPerInch() const;
    void SetPixelsPerInchOverride(int ppi) noexcept { FPixelsPerInchOverride = ppi; }

signals:
    // After every handled load request: whether a card was built.
    void LoadFinished(bool ok);

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void FormCreate();
    void FormShow();
    void FormDestroy() noexcept;
    // Handler of the posted load request; `large` asks for the 200 mm image.
    void WMLoadCard(bool large);
    void BuildCard(int sizeMM);
    void HLAnchorClick();
    void Image1DblClick();
    void Image1MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, QPoint pos);
    void LayoutAroundImage();
    std::string WindowCaption(std::string_view dbPath) const;

    TCVJSONObject FAddressRecord;
    std::string FPngFileName;
    std::string FVcfFileName;
    int FPixelsPerInchOverride = 0;
    TShell* FShell;

    QWidget* PC;
    TMarkupLabel* HL;
    QLabel* Image1;
    std::unique_ptr<TFileDragSource> FileDragSource1;
};

}  // namespace qm
