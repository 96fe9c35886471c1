#pragma once

#include <QString>

class QWidget;

namespace gompertz::ui {

// What the user answers when table rows not saved are about to be replaced
// or closed.
enum class SaveAnswer { Save, Discard, Cancel };

// Where the window's messages go: a modal box for the user, a recorder in tests.
class MessageSink {
  public:
    virtual ~MessageSink() = default;
    virtual void show(const QString& text) = 0;
    // Asks whether to save first. A sink that cannot ask answers Discard:
    // the action goes on as it did before anything was asked.
    virtual SaveAnswer askToSave(const QString& text) {
        (void)text;
        return SaveAnswer::Discard;
    }
    // Asks whether to go on with something slow or large; a sink that
    // cannot ask goes on.
    virtual bool confirm(const QString& text) {
        (void)text;
        return true;
    }
};

// A modal box with an OK button only, no icon, the application's title as
// caption and the text shown as plain text.
class MessageBoxSink : public MessageSink {
  public:
    explicit MessageBoxSink(QWidget* parent) : parent_(parent) {}
    void show(const QString& text) override;
    // A box with "Guardar", "Descartar" and "Cancelar"; Escape cancels.
    SaveAnswer askToSave(const QString& text) override;
    // "Continuar" or "Cancelar"; Escape cancels.
    bool confirm(const QString& text) override;

  private:
    QWidget* parent_;
};

} // namespace gompertz::ui
