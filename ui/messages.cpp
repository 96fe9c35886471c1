#include "messages.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace gompertz::ui {

void MessageBoxSink::show(const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QCoreApplication::applicationName(), text, QMessageBox::Ok,
                    parent_);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

} // namespace gompertz::ui
