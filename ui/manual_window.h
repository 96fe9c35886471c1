#pragma once

#include <QWidget>

class QTextBrowser;

namespace gompertz::ui {

// "Manual": the program's help in Spanish, pages of HTML shipped in its
// resources, read in a browser with an index, back and forward.
class ManualWindow : public QWidget {
    Q_OBJECT
  public:
    explicit ManualWindow(QWidget* parent);
    // Shows the page (a file name among the manual's, "index.html" first).
    void showPage(const QString& page);
    QTextBrowser* browser() const { return paginas_; }

  private:
    QTextBrowser* paginas_ = nullptr;
};

} // namespace gompertz::ui
