#pragma once

#include <QString>

class QWidget;

namespace gompertz::ui {

// Where the window's messages go: a modal box for the user, a recorder in tests.
class MessageSink {
  public:
    virtual ~MessageSink() = default;
    virtual void show(const QString& text) = 0;
};

// A modal box with an OK button only, no icon, the application's title as
// caption and the text shown as plain text.
class MessageBoxSink : public MessageSink {
  public:
    explicit MessageBoxSink(QWidget* parent) : parent_(parent) {}
    void show(const QString& text) override;

  private:
    QWidget* parent_;
};

} // namespace gompertz::ui
