// The user's settings on Linux: Qt's settings file of organisation
// "Quillmark" and application "quillmark", $XDG_CONFIG_HOME/Quillmark/
// quillmark.conf (~/.config when unset), keys in its [General] section. A
// value missing there is looked up in the same file below each folder of
// $XDG_CONFIG_DIRS (/etc/xdg when unset): an administrator's preset, which
// the user's own value overrides. Linux has no fixed (policy) values.
#pragma once

#include <QString>
#include <QStringList>

#include "USettingsStore.h"

namespace qm {

class TQtSettingsStore final : public ISettingsStore {
public:
    TStoredSetting Read(std::string_view key) const override;
    // Creates the file and its folder when missing; other keys stay.
    void Write(std::string_view key, const std::string& value) override;

    // The files read, in order: the user's, then the system's presets. The
    // folders come from the environment at the time of the call.
    static QStringList Files();
};

}  // namespace qm
