#pragma once

#include <QString>
#include <QWidget>

namespace gompertz::ui {

// A text drawn in mathematical style: each piece sits higher and smaller than
// the one before, so "a·e", "−e", "−c(t−t₀)" reads as a·e^(−e^(−c(t−t₀))).
class MathPicture : public QWidget {
  public:
    MathPicture(QWidget* parent, QStringList levels, int basePointSize);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QStringList levels_;
    int basePointSize_;
};

} // namespace gompertz::ui
