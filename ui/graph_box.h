#pragma once

#include "plot/plot.h"

#include <QColor>
#include <QWidget>

namespace gompertz::ui {

QColor toQColor(plot::Rgb rgb);

// The graph's picture box: replays the dots of its picture on its background
// colour, with the vertical axis line on top, every time it paints.
class GraphBox : public QWidget {
    Q_OBJECT
  public:
    explicit GraphBox(QWidget* parent);

    plot::Picture& picture() { return picture_; }
    void setBackground(plot::Rgb colour);
    // Empties the picture; what is set afterwards shows at the next paint.
    void clear();

  signals:
    void clicked();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    plot::Picture picture_;
    plot::Rgb background_ = plot::kWhite;
    bool pressed_ = false;
};

} // namespace gompertz::ui
