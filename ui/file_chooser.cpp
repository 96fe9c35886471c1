#include "file_chooser.h"

#include <QDir>
#include <QFileDialog>
#include <QSettings>

namespace gompertz::ui {

void DialogFileChooser::keepSettingsInScratch() {
    for (const auto format : {QSettings::NativeFormat, QSettings::IniFormat}) {
        QSettings::setPath(format, QSettings::UserScope, scratch_.path());
    }
}

QString DialogFileChooser::saveFileName(QWidget* parent, const QString& caption,
                                        const QStringList& filters, QString* chosen) {
    keepSettingsInScratch();
    return QFileDialog::getSaveFileName(parent, caption, QDir::currentPath(), filters.join(";;"),
                                        chosen);
}

QString DialogFileChooser::openFileName(QWidget* parent, const QString& caption,
                                        const QStringList& filters) {
    keepSettingsInScratch();
    return QFileDialog::getOpenFileName(parent, caption, QDir::currentPath(), filters.join(";;"));
}

} // namespace gompertz::ui
