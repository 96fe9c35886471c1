#include "file_chooser.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>

namespace gompertz::ui {

QString filterExtension(const QString& filter) {
    static const QRegularExpression pattern(QStringLiteral(R"(\*\.(\w+))"));
    return pattern.match(filter).captured(1);
}

QString withFilterExtension(const QString& path, const QString& filter) {
    const QString extension = filterExtension(filter);
    if (path.isEmpty() || extension.isEmpty() || !QFileInfo(path).suffix().isEmpty()) {
        return path;
    }
    return path + '.' + extension;
}

DialogFileChooser::DialogFileChooser(std::shared_ptr<QString> folder)
    : folder_(std::move(folder)) {}

void DialogFileChooser::keepSettingsInScratch() {
    for (const auto format : {QSettings::NativeFormat, QSettings::IniFormat}) {
        QSettings::setPath(format, QSettings::UserScope, scratch_.path());
    }
}

QString DialogFileChooser::startFolder() const {
    return folder_->isEmpty() ? QDir::currentPath() : *folder_;
}

QString DialogFileChooser::remembered(const QString& path) {
    if (!path.isEmpty()) {
        *folder_ = QFileInfo(path).absolutePath();
    }
    return path;
}

QString DialogFileChooser::saveFileName(QWidget* parent, const QString& caption,
                                        const QStringList& filters, QString* chosen) {
    keepSettingsInScratch();
    QFileDialog dialog(parent, caption, startFolder());
    dialog.setObjectName(QStringLiteral("dialogoGuardar"));
    dialog.setNameFilters(filters);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // Added before the dialog asks whether to replace a file of that name.
    dialog.setDefaultSuffix(filterExtension(filters.value(0)));
    QObject::connect(
        &dialog, &QFileDialog::filterSelected, &dialog,
        [&dialog](const QString& filter) { dialog.setDefaultSuffix(filterExtension(filter)); });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    if (chosen != nullptr) {
        *chosen = dialog.selectedNameFilter();
    }
    return remembered(dialog.selectedFiles().constFirst());
}

QString DialogFileChooser::openFileName(QWidget* parent, const QString& caption,
                                        const QStringList& filters) {
    keepSettingsInScratch();
    return remembered(
        QFileDialog::getOpenFileName(parent, caption, startFolder(), filters.join(";;")));
}

} // namespace gompertz::ui
