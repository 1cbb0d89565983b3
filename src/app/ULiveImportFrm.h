// The one dialog window of the program.
#pragma once

#include <QWidget>
#include <string_view>

namespace qm {

class TLiveImportFrm : public QWidget {
    Q_OBJECT
public:
    // Creates the dialog at its design position (233, 303) with its client
    // panel `PC` and applies the screen set-up.
    explicit TLiveImportFrm(QWidget* parent = nullptr);

    // Places the dialog 50 pixels right of and below the host window's corner
    // given by the host's "CORVANTAMETRICS" reply (centred on the primary
    // work area when the reply is empty), then corrects its left edge against
    // the monitor at its top-left corner.
    void PlaceNearHost(std::string_view metrics);

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void FormCreate();
    void FormShow();
    // Handler of the posted load request; `large` asks for the large image.
    void WMLoadCard(bool large);

    QWidget* PC;
};

}  // namespace qm
