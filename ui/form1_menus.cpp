// The menu bar: files anywhere, import, paste of spreadsheet rows, undo and
// redo of the parameters, the analysis window and the about box.
#include "form1.h"

#include "data/examples.h"
#include "parameter_step.h"

#include "data/columns.h"
#include "data/data_file.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QUndoCommand>
#include <QUndoStack>

#include <algorithm>

namespace gompertz::ui {
namespace {

const QString kRecovery = QStringLiteral("recuperación del desbordamiento");

// A change of the parameters; pushing it changes nothing, since the action
// it records has already run.
class ParameterCommand : public QUndoCommand {
  public:
    ParameterCommand(Form1& form, const fit::Parameters& before, const fit::Parameters& after,
                     const QString& text, int mergeId)
        : QUndoCommand(text), form_(form), before_(before), after_(after), mergeId_(mergeId) {}

    void undo() override { form_.restoreParameters(before_); }
    void redo() override {
        if (!pushed_) {
            pushed_ = true;
            return;
        }
        form_.restoreParameters(after_);
    }
    int id() const override { return mergeId_; }
    bool mergeWith(const QUndoCommand* other) override {
        after_ = static_cast<const ParameterCommand*>(other)->after_;
        setObsolete(after_ == before_); // moved back where it began
        return true;
    }

  private:
    Form1& form_;
    fit::Parameters before_;
    fit::Parameters after_;
    int mergeId_;
    bool pushed_ = false;
};

// Rows written into the table by typing, "Abrir…", "Importar…", "Recuperar"
// or a paste; pushed once they are written, like a change of the
// parameters. Undo and redo write only the cells the step changed.
class TableCommand : public QUndoCommand {
  public:
    TableCommand(Form1& form, const Form1::TableTexts& before, const QString& text)
        : QUndoCommand(text), form_(form), before_(before), after_(form.tableTexts()) {}

    void undo() override { form_.writeTableChange(after_, before_); }
    void redo() override {
        if (!pushed_) {
            pushed_ = true;
            return;
        }
        form_.writeTableChange(before_, after_);
    }

  private:
    Form1& form_;
    Form1::TableTexts before_;
    Form1::TableTexts after_;
    bool pushed_ = false;
};

QAction* namedAction(QMenu* menu, const char* name, const QString& text,
                     const QKeySequence& keys = {}) {
    QAction* action = menu->addAction(text);
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcut(keys);
    return action;
}

} // namespace

ParameterStep::ParameterStep(Form1& form, QString text, int mergeId)
    : form_(form), before_(form.currentParameters()), text_(std::move(text)), mergeId_(mergeId) {
    if (form_.stepDepth_++ == 0) {
        form_.recovered_ = false;
    }
}

ParameterStep::~ParameterStep() {
    if (--form_.stepDepth_ == 0) {
        form_.recordStep(before_, form_.recovered_ ? kRecovery : text_,
                         form_.recovered_ ? -1 : mergeId_);
    }
}

void Form1::recordStep(const fit::Parameters& before, const QString& text, int mergeId) {
    if (restoring_ || currentParameters() == before) {
        return;
    }
    undo_->push(new ParameterCommand(*this, before, currentParameters(), text, mergeId));
}

void Form1::recordTableChange(const TableTexts& before, const QString& text) {
    if (tableTexts() != before) {
        undo_->push(new TableCommand(*this, before, text));
    }
    committedTexts_ = tableTexts();
}

bool Form1::hasPendingTyping() const {
    return tableTexts() != committedTexts_;
}

void Form1::commitTyping() {
    const TableTexts now = tableTexts();
    if (restoring_ || now == committedTexts_) { // nothing is pushed while a step is undone
        return;
    }
    int row = 0;
    while (now[2 * row] == committedTexts_[2 * row] &&
           now[2 * row + 1] == committedTexts_[2 * row + 1]) {
        ++row;
    }
    recordTableChange(committedTexts_, QStringLiteral("escribir en la fila %1").arg(row + 1));
}

void Form1::undoStep() {
    commitTyping(); // what was typed last is undone first
    undo_->undo();
}

void Form1::redoStep() {
    if (!hasPendingTyping()) { // typing after an undo ends what can be redone
        undo_->redo();
    }
}

void Form1::updateEditActions() {
    const bool typing = hasPendingTyping();
    actionDeshacer->setEnabled(typing || undo_->canUndo());
    actionDeshacer->setText(
        typing ? QStringLiteral("Deshacer escribir en la tabla")
               : undo_->canUndo() ? QStringLiteral("Deshacer ") + undo_->undoText()
                                  : QStringLiteral("Deshacer"));
    actionRehacer->setEnabled(!typing && undo_->canRedo());
    actionRehacer->setText(!typing && undo_->canRedo()
                               ? QStringLiteral("Rehacer ") + undo_->redoText()
                               : QStringLiteral("Rehacer"));
}

void Form1::restoreParameters(const fit::Parameters& p) {
    restoring_ = true;
    if (state_.tableMode == kTrue && state_.busy != kTrue && state_.pointCount > 0) {
        Command5_Click(); // the graph view, with its capture and mean
    }
    commitParameters(p);
    restoring_ = false;
}

void Form1::createMenus() {
    createFileMenu();
    createEditMenu();
    QMenu* fitting = menuBar()->addMenu(QStringLiteral("&Ajuste"));
    actionAnalisis = namedAction(fitting, "actionAnalisis", QStringLiteral("Análisis del ajuste…"),
                                 QKeySequence(Qt::CTRL | Qt::Key_L));
    connect(actionAnalisis, &QAction::triggered, this, &Form1::openAnalysis);
    QMenu* help = menuBar()->addMenu(QStringLiteral("A&yuda"));
    QAction* manual =
        namedAction(help, "actionManual", QStringLiteral("Manual"), QKeySequence(Qt::Key_F1));
    // F1 opens the manual from every window of the program, not only this one.
    manual->setShortcutContext(Qt::ApplicationShortcut);
    connect(manual, &QAction::triggered, this, &Form1::openManual);
    connect(namedAction(help, "actionAcercaDe", QStringLiteral("Acerca de Gompertz")),
            &QAction::triggered, this, &Form1::showAbout);
}

void Form1::createFileMenu() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("A&rchivo"));
    connect(namedAction(file, "actionAbrir", QStringLiteral("Abrir…"),
                        QKeySequence(Qt::CTRL | Qt::Key_O)),
            &QAction::triggered, this, &Form1::abrir);
    connect(namedAction(file, "actionGuardarComo", QStringLiteral("Guardar como…"),
                        QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)),
            &QAction::triggered, this, &Form1::guardarComo);
    connect(namedAction(file, "actionImportar", QStringLiteral("Importar…")), &QAction::triggered,
            this, &Form1::importar);
    QMenu* ejemplos = file->addMenu(QStringLiteral("E&jemplos"));
    ejemplos->setObjectName(QStringLiteral("menuEjemplos"));
    ejemplos->setToolTipsVisible(true);
    for (std::size_t i = 0; i < data::examples().size(); ++i) {
        const data::Example& example = data::examples()[i];
        QAction* action = ejemplos->addAction(QString::fromUtf8(example.name));
        action->setObjectName(QStringLiteral("actionEjemplo%1").arg(i + 1));
        action->setToolTip(QStringLiteral("Fuente: %1").arg(QString::fromUtf8(example.source)));
        action->setStatusTip(action->toolTip());
        connect(action, &QAction::triggered, this, [this, i] { loadExampleRows(i); });
    }
    file->addSeparator();
    connect(namedAction(file, "actionSalir", QStringLiteral("Salir"),
                        QKeySequence(Qt::CTRL | Qt::Key_Q)),
            &QAction::triggered, this, &QWidget::close);
}

// The stack's own actions would undo past text typed but not yet committed,
// which the next step would then bury: these commit it first.
void Form1::createEditMenu() {
    undo_ = new QUndoStack(this);
    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edición"));
    actionDeshacer = namedAction(edit, "actionDeshacer", QStringLiteral("Deshacer"),
                                 QKeySequence(Qt::CTRL | Qt::Key_Z));
    actionRehacer = namedAction(edit, "actionRehacer", QStringLiteral("Rehacer"),
                                QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    connect(actionDeshacer, &QAction::triggered, this, &Form1::undoStep);
    connect(actionRehacer, &QAction::triggered, this, &Form1::redoStep);
    connect(undo_, &QUndoStack::indexChanged, this, &Form1::updateEditActions);
    connect(undo_, &QUndoStack::canUndoChanged, this, &Form1::updateEditActions);
    connect(undo_, &QUndoStack::canRedoChanged, this, &Form1::updateEditActions);
    connect(undo_, &QUndoStack::undoTextChanged, this, &Form1::updateEditActions);
    connect(undo_, &QUndoStack::redoTextChanged, this, &Form1::updateEditActions);
    // Opening the menu commits what the focused cell holds (it loses the
    // focus), so the entries read right by the time they are shown.
    connect(edit, &QMenu::aboutToShow, this, &Form1::updateEditActions);
    actionDeshacer->setEnabled(false); // until there is a step or typing
    actionRehacer->setEnabled(false);
}

void Form1::setFileChooser(std::unique_ptr<FileChooser> chooser) {
    files_ = std::move(chooser);
}

const QStringList kDataFilters = {QStringLiteral("Datos de Gompertz (*.txt)"),
                                  QStringLiteral("Todos los archivos (*)")};

void Form1::replaceTable(const QString& action, const QString& path,
                         const std::function<bool()>& fill) {
    const QString question =
        QStringLiteral("Hay filas de la tabla sin guardar que «%1» va a "
                       "reemplazar. ¿Quiere guardarlas antes en %2?")
            .arg(action, QString::fromStdString(data::fileNameOf(currentFile_)));
    commitTyping();
    if (path.isEmpty() || !mayDropUnsavedRows(question)) {
        return;
    }
    const TableTexts before = tableTexts();
    if (fill()) {
        recordTableChange(before, action.toLower() + ' ' + QFileInfo(path).fileName());
    }
}

// A file that will be refused is refused before anything is asked about the
// table; the fill reads it again, after a save the question may have made.
void Form1::abrir() {
    const QString path = files_->openFileName(this, QStringLiteral("Abrir datos"), kDataFilters);
    if (const auto problem =
            path.isEmpty() ? std::nullopt : data::checkDataFile(path.toStdString())) {
        showMessage(QString::fromStdString(*problem));
        return;
    }
    replaceTable(QStringLiteral("Abrir"), path, [&] { return loadFrom(path.toStdString()); });
}

void Form1::loadExampleRows(std::size_t index) {
    const data::Example& example = data::examples().at(index);
    const QString name = QString::fromUtf8(example.name).section(QLatin1Char(':'), 0, 0);
    replaceTable(QStringLiteral("Ejemplo"), name, [&] {
        loadedExample_ = index; // known while its cells are written: the analysis follows them
        data::loadExample(*this, example);
        return true;
    });
}

void Form1::guardarComo() {
    QString chosen;
    const QString path =
        files_->saveFileName(this, QStringLiteral("Guardar datos como"), kDataFilters, &chosen);
    if (path.isEmpty()) {
        return;
    }
    saveTo(withFilterExtension(path, chosen).toStdString());
}

void Form1::importar() {
    const QString path =
        files_->openFileName(this, QStringLiteral("Importar columnas"),
                             {QStringLiteral("Columnas de datos (*.csv *.tsv *.txt *.dat)"),
                              QStringLiteral("Todos los archivos (*)")});
    if (const auto problem =
            path.isEmpty() ? std::nullopt : data::checkImport(path.toStdString())) {
        showMessage(QString::fromStdString(*problem));
        return;
    }
    replaceTable(QStringLiteral("Importar"), path, [&] {
        const auto problem = data::importColumns(*this, path.toStdString());
        if (problem) {
            showMessage(QString::fromStdString(*problem));
        }
        return !problem;
    });
}

// Rows copied from a spreadsheet fill the table from this cell down; a
// single value is left to the cell's own paste.
bool Form1::pasteIntoCell(QLineEdit* cell) {
    const QString copied = QApplication::clipboard()->text();
    if (copied.size() > static_cast<qsizetype>(data::kMaxFileBytes)) {
        // Refused before it is converted or read: no cell takes it anyway.
        showMessage(QStringLiteral("No se puede pegar: el texto copiado es demasiado grande (más "
                                   "de 1 MiB). La tabla no se ha modificado."));
        return true;
    }
    const std::string text = copied.toStdString();
    if (!data::spansSeveralCells(text)) {
        return false;
    }
    const bool x = std::ranges::find(xv_, cell) != xv_.end();
    const auto& column = x ? xv_ : yv_;
    const int row = static_cast<int>(std::ranges::find(column, cell) - column.begin());
    commitTyping();
    const TableTexts before = tableTexts();
    if (const auto problem =
            data::pasteColumns(*this, row, x ? data::Column::X : data::Column::Y, text)) {
        showMessage(QString::fromStdString(*problem));
        return true;
    }
    recordTableChange(before, QStringLiteral("pegar filas"));
    return true;
}

void Form1::showCellMenu(QLineEdit* cell, const QPoint& at) {
    QMenu* menu = cell->createStandardContextMenu();
    // The standard menu names its entries only by their text, which ends in
    // the entry's shortcut.
    const QString pasteKeys =
        '\t' + QKeySequence(QKeySequence::Paste).toString(QKeySequence::NativeText);
    const auto actions = menu->actions();
    const auto found = std::ranges::find_if(
        actions, [&pasteKeys](const QAction* a) { return a->text().endsWith(pasteKeys); });
    if (found != actions.end()) {
        QAction* paste = *found;
        paste->setObjectName(QStringLiteral("edit-paste"));
        disconnect(paste, &QAction::triggered, nullptr, nullptr);
        connect(paste, &QAction::triggered, cell, [this, cell] {
            if (!pasteIntoCell(cell)) {
                cell->paste();
            }
        });
    }
    menu->exec(cell->mapToGlobal(at));
    delete menu;
}

} // namespace gompertz::ui
