#include "file_chooser.h"

#include <QDir>
#include <QFileDialog>

namespace gompertz::ui {

QString DialogFileChooser::saveFileName(QWidget* parent, const QString& caption,
                                        const QStringList& filters, QString* chosen) {
    return QFileDialog::getSaveFileName(parent, caption, QDir::currentPath(), filters.join(";;"),
                                        chosen);
}

QString DialogFileChooser::openFileName(QWidget* parent, const QString& caption,
                                        const QStringList& filters) {
    return QFileDialog::getOpenFileName(parent, caption, QDir::currentPath(), filters.join(";;"));
}

} // namespace gompertz::ui
