#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

class QWidget;

namespace gompertz::ui {

// Where the windows ask for a file name: Qt's file dialog for the user, a
// stand-in in tests. Empty when the user cancels.
class FileChooser {
  public:
    virtual ~FileChooser() = default;
    // filters as for QFileDialog; *chosen receives the one the user picked.
    virtual QString saveFileName(QWidget* parent, const QString& caption,
                                 const QStringList& filters, QString* chosen) = 0;
    virtual QString openFileName(QWidget* parent, const QString& caption,
                                 const QStringList& filters) = 0;
};

// The extension a filter names first ("png" for "Imagen PNG (*.png)"), or
// nothing for a filter of every file.
QString filterExtension(const QString& filter);
// path with the filter's extension added when its file name has none.
QString withFilterExtension(const QString& path, const QString& filter);

// QFileDialog. Every dialog of one run starts in the folder last chosen in
// any of them (the working folder at first): choosers that share `folder`
// share that memory. The chosen filter's extension is added to a name that
// has none before the dialog asks whether to replace a file. The dialog
// keeps its history in Qt's own settings file; that is kept in a scratch
// folder that goes with the chooser, so that nothing is read from or left
// on disk.
class DialogFileChooser : public FileChooser {
  public:
    explicit DialogFileChooser(std::shared_ptr<QString> folder = std::make_shared<QString>());

    QString saveFileName(QWidget* parent, const QString& caption, const QStringList& filters,
                         QString* chosen) override;
    QString openFileName(QWidget* parent, const QString& caption,
                         const QStringList& filters) override;

  private:
    QString startFolder() const;
    // Remembers the folder of a chosen path; returns the path.
    QString remembered(const QString& path);
    void keepSettingsInScratch();
    std::shared_ptr<QString> folder_;
    QTemporaryDir scratch_;
};

} // namespace gompertz::ui
