// The one dialog window of the program.
#pragma once

#include <QWidget>

namespace qm {

class TLiveImportFrm : public QWidget {
    Q_OBJECT
public:
    explicit TLiveImportFrm(QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace qm
