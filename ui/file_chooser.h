#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

class QWidget;

namespace gompertz::ui {

// Where the windows ask for a file name: Qt's file dialog for the user, a
// stand-in in tests. Empty when the user cancels.
class FileChooser {
  public:
    virtual ~FileChooser() = default;
    // filters as for QFileDialog; *chosen receives the one the user picked.
    virtual QString saveFileName(QWidget* parent, const QString& caption, const QStringList& filters,
                                 QString* chosen) = 0;
    virtual QString openFileName(QWidget* parent, const QString& caption,
                                 const QStringList& filters) = 0;
};

// QFileDialog, starting in the working folder. The dialog keeps its
// history in Qt's own settings file; that is kept in a scratch folder that
// goes with the chooser, so that nothing is read from or left on disk.
class DialogFileChooser : public FileChooser {
  public:
    QString saveFileName(QWidget* parent, const QString& caption, const QStringList& filters,
                         QString* chosen) override;
    QString openFileName(QWidget* parent, const QString& caption,
                         const QStringList& filters) override;

  private:
    void keepSettingsInScratch();
    QTemporaryDir scratch_;
};

} // namespace gompertz::ui
