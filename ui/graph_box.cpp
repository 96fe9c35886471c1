#include "graph_box.h"

#include <QMouseEvent>
#include <QPainter>

namespace gompertz::ui {

QColor toQColor(plot::Rgb rgb) {
    return QColor(rgb.r, rgb.g, rgb.b);
}

GraphBox::GraphBox(QWidget* parent) : QWidget(parent) {
    picture_.dots.reserve(200);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void GraphBox::setBackground(plot::Rgb colour) {
    background_ = colour;
    update();
}

void GraphBox::clear() {
    picture_.clear();
    update();
}

void GraphBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), toQColor(background_));
    for (const plot::Dot& dot : picture_.dots) {
        if (const auto square = plot::pixelRect(dot, width(), height())) {
            painter.fillRect(square->left, square->top, square->size, square->size,
                             toQColor(dot.colour));
        }
    }
    const int axis = plot::twipsToPixels(plot::kAxisX);
    painter.setPen(Qt::black);
    painter.drawLine(axis, 0, axis, height());
}

void GraphBox::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
    QWidget::mousePressEvent(event);
}

void GraphBox::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = pressed_ && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    pressed_ = false;
    if (click) {
        emit clicked();
    }
}

} // namespace gompertz::ui
