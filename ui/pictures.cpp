#include "pictures.h"

#include <QPainter>

namespace gompertz::ui {

MathPicture::MathPicture(QWidget* parent, QStringList levels, int basePointSize)
    : QWidget(parent), levels_(std::move(levels)), basePointSize_(basePointSize) {}

void MathPicture::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.fillRect(rect(), Qt::white);
    painter.setPen(Qt::black);
    QFont font(QStringLiteral("DejaVu Serif"));
    font.setItalic(true);
    double size = basePointSize_;
    double x = 4.0;
    double baseline = height() * 0.72;
    for (const QString& piece : levels_) {
        font.setPointSizeF(size);
        painter.setFont(font);
        const QFontMetricsF metrics(font);
        painter.drawText(QPointF(x, baseline), piece);
        x += metrics.horizontalAdvance(piece);
        baseline -= metrics.ascent() * 0.55;
        size *= 0.72;
    }
}

} // namespace gompertz::ui
