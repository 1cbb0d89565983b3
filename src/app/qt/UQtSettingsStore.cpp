#include "UQtSettingsStore.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include "UErrors.h"

namespace qm {

namespace {

// Where QSettings(IniFormat, scope, "Quillmark", "quillmark") keeps its file
// below a configuration folder.
constexpr const char* kFileBelowConfig = "/Quillmark/quillmark.conf";

QString KeyOf(std::string_view key) { return QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size())); }

}  // namespace

QStringList TQtSettingsStore::Files() {
    // The folders are looked up on every call, not once per process as
    // QSettings' own defaults are.
    QStringList files;
    for (const QString& folder : QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation))
        files << folder + QLatin1String(kFileBelowConfig);
    return files;
}

TStoredSetting TQtSettingsStore::Read(std::string_view key) const {
    TStoredSetting stored;
    for (const QString& file : Files()) {
        if (!QFileInfo::exists(file)) continue;
        const QSettings settings(file, QSettings::IniFormat);
        if (settings.status() != QSettings::NoError || !settings.contains(KeyOf(key))) continue;
        const QVariant value = settings.value(KeyOf(key));
        // A list ("3.0, 4.0") or any other non-text value is unreadable.
        stored.User = value.typeId() == QMetaType::QString ? value.toString().toStdString() : std::string();
        break;
    }
    return stored;
}

void TQtSettingsStore::Write(std::string_view key, const std::string& value) {
    const QString file = Files().value(0);
    const bool folder = !file.isEmpty() && QDir().mkpath(QFileInfo(file).absolutePath());
    QSettings settings(file, QSettings::IniFormat);
    if (folder) {
        settings.setValue(KeyOf(key), QString::fromStdString(value));
        settings.sync();
    }
    if (!folder || settings.status() != QSettings::NoError)
        throw EQuillmarkError("Die Einstellung \"" + std::string(key) + "\" kann nicht in \"" + file.toStdString() +
                              "\" gespeichert werden");
}

}  // namespace qm
