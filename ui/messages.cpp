#include "messages.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QSpacerItem>

namespace gompertz::ui {
namespace {

// The box sizes itself to its text; a window manager then cuts a caption
// wider than that. The title bar's font is the window manager's, so the
// caption is measured generously in the box's font, with room for the title
// bar's buttons.
void widenForCaption(QMessageBox& box) {
    const int captionWidth = QFontMetrics(box.font()).horizontalAdvance(box.windowTitle());
    const int needed = captionWidth * 3 / 2 + 140;
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (grid != nullptr) {
        grid->addItem(new QSpacerItem(needed, 0, QSizePolicy::Minimum, QSizePolicy::Minimum),
                      grid->rowCount(), 0, 1, grid->columnCount());
    }
}

} // namespace

void MessageBoxSink::show(const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QCoreApplication::applicationName(), text, QMessageBox::Ok,
                    parent_);
    box.setTextFormat(Qt::PlainText);
    widenForCaption(box);
    box.exec();
}

SaveAnswer MessageBoxSink::askToSave(const QString& text) {
    QMessageBox box(QMessageBox::Question, QCoreApplication::applicationName(), text,
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, parent_);
    box.setObjectName(QStringLiteral("preguntaGuardar"));
    box.setTextFormat(Qt::PlainText);
    box.button(QMessageBox::Save)->setText(QStringLiteral("&Guardar"));
    box.button(QMessageBox::Discard)->setText(QStringLiteral("&Descartar"));
    box.button(QMessageBox::Cancel)->setText(QStringLiteral("&Cancelar"));
    box.setDefaultButton(QMessageBox::Save);
    box.setEscapeButton(QMessageBox::Cancel);
    widenForCaption(box);
    switch (box.exec()) {
    case QMessageBox::Save:
        return SaveAnswer::Save;
    case QMessageBox::Discard:
        return SaveAnswer::Discard;
    default:
        return SaveAnswer::Cancel;
    }
}

bool MessageBoxSink::confirm(const QString& text) {
    QMessageBox box(QMessageBox::Question, QCoreApplication::applicationName(), text,
                    QMessageBox::Ok | QMessageBox::Cancel, parent_);
    box.setObjectName(QStringLiteral("preguntaContinuar"));
    box.setTextFormat(Qt::PlainText);
    box.button(QMessageBox::Ok)->setText(QStringLiteral("C&ontinuar"));
    box.button(QMessageBox::Cancel)->setText(QStringLiteral("&Cancelar"));
    box.setDefaultButton(QMessageBox::Cancel);
    box.setEscapeButton(QMessageBox::Cancel);
    widenForCaption(box);
    return box.exec() == QMessageBox::Ok;
}

} // namespace gompertz::ui
