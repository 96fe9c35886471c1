#pragma once

#include "data/capture.h"
#include "data/data_file.h"
#include "file_chooser.h"
#include "fit/least_squares.h"
#include "messages.h"
#include "model/fit_state.h"
#include "plot/plot.h"

#include <QMainWindow>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;
class QUndoStack;

namespace gompertz::ui {

class AnalysisWindow;
class ManualWindow;
class GraphBox;
class MathPicture;

// One parameter's scroll bar and text box. The parameter is
// position / divisor + offset; the position is nearest(parameter * divisor
// - offset * divisor).
struct ParameterEditor {
    QScrollBar* bar = nullptr;
    QLineEdit* box = nullptr;
    double FitState::*parameter = nullptr;
    double divisor = 1.0;
    double offset = 0.0;
    // After a failed commit, the rate's editor goes on with its own sequence.
    bool resumesAfterRecovery = false;
};

// The main window: the data table, the graph, the fitting controls and the
// parameter editors, and the one fit state they all work on, below a menu
// bar that leads to the analysis window.
class Form1 : public QMainWindow, private data::CellTable {
    Q_OBJECT
  public:
    explicit Form1(QWidget* parent = nullptr);
    ~Form1() override;

    const FitState& fitState() const { return state_; }
    void setMessageSink(std::unique_ptr<MessageSink> sink);
    void setFileChooser(std::unique_ptr<FileChooser> chooser);
    AnalysisWindow* analysisWindow() const { return analysis_; }
    // The example last loaded from "Archivo → Ejemplos", if any: the
    // analysis window names the plot after it while the table holds it.
    std::optional<std::size_t> loadedExample() const { return loadedExample_; }
    ManualWindow* manualWindow() const { return manual_; }
    QUndoStack* undoStack() const { return undo_; }
    // The folder every file dialog of this run starts in, shared with the
    // analysis window's dialogs.
    std::shared_ptr<QString> dialogFolder() const { return dialogFolder_; }

    // The cells' texts, t then the value of each row.
    using TableTexts = std::array<std::string, 2 * data::kRows>;
    TableTexts tableTexts() const;
    // Writes the cells in which `from` and `to` differ as `to` has them,
    // leaving every other cell as it is.
    void writeTableChange(const TableTexts& from, const TableTexts& to);
    // Rows with text that the file last saved or loaded does not hold.
    bool hasUnsavedRows() const;

    // What the analysis window works on: the points the table holds now, as
    // a capture would read them (without touching a cell or the fit state),
    // the ticked fix boxes and the parameters in force.
    std::vector<fit::Point> capturedPoints() const;
    // Which rows of the table the first `captured` points are, and which
    // later rows hold numbers that the capture leaves out, and why, in a
    // sentence or two.
    QString capturedRowsNote(int captured) const;
    fit::Fixed fixedParameters() const;
    fit::Parameters currentParameters() const;
    // Why these parameters cannot be shown by the scroll bars (naming the
    // parameter and its range), or nothing when they can.
    std::optional<QString> outsideScrollRanges(const fit::Parameters& p) const;
    // Captures the table as switching to the graph does.
    void captureTable();
    // Writes the parameters as a committed edit does and shows the graph
    // view; an error leads to the overflow recovery.
    void applyParameters(const fit::Parameters& p);
    // The same for undo and redo, which record no step of their own; in a
    // table view that cannot become the graph view, only the editors.
    void restoreParameters(const fit::Parameters& p);

  signals:
    // The table was captured into the fit state.
    void dataCaptured();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Rows not saved are saved, discarded or kept open, as the user says.
    void closeEvent(QCloseEvent* event) override;

  private:
    friend class ParameterStep;

    // Menus and the actions behind them.
    void createMenus();
    void createFileMenu();
    void createEditMenu();
    void abrir();
    void guardarComo();
    void importar();
    // Archivo → Ejemplos: the example's rows into the table, asking first as
    // "Abrir…" does, as one undo step.
    void loadExampleRows(std::size_t index);
    std::optional<std::size_t> loadedExample_;
    bool pasteIntoCell(QLineEdit* cell);
    void showCellMenu(QLineEdit* cell, const QPoint& at);
    // One undo step, when the parameters differ from before.
    void recordStep(const fit::Parameters& before, const QString& text, int mergeId);
    // One undo step for rows written into the table by a menu or a paste.
    void recordTableChange(const TableTexts& before, const QString& text);
    // Text typed into cells since the history last saw them becomes one
    // step, so that every later step, undo or redo comes after it.
    void commitTyping();
    bool hasPendingTyping() const;
    void undoStep();
    void redoStep();
    void updateEditActions();
    // Fills the table from the file at path by fill(), once rows not saved
    // may go (the user is asked), as one undo step named by the action.
    void replaceTable(const QString& action, const QString& path,
                      const std::function<bool()>& fill);
    // Before rows not saved are replaced or closed: asks whether to save
    // them; false when the user cancels or the save fails.
    bool mayDropUnsavedRows(const QString& question);

    void openAnalysis();
    void openManual();
    void fitScreen();
    void showAbout();
    void createTable();
    void createGraphArea();
    void createParameterPanel();
    void createStepPanel();
    void createFileButtons();
    void setTabOrderAsDesigned();
    void connectHandlers();
    std::vector<QWidget*> graphControls() const;
    void setGraphViewVisible(bool graphView);

    // Start-up and views.
    void load();
    void Command5_Click();
    void graf_Click();

    // Table and file.
    std::string text(data::Column column, int row) const override;
    void setText(data::Column column, int row, const std::string& text) override;
    void setBackground(data::Column column, int row, data::CellColour colour) override;
    QLineEdit* cell(data::Column column, int row) const;
    void capturar();
    void Command1_Click();
    void Recuperar_Click();
    // Captures and writes the data file format, or reads it, at path;
    // what goes wrong is shown. True when done; the file is then the one
    // the table is saved in.
    bool saveTo(const std::string& path);
    bool loadFrom(const std::string& path);
    void markSaved(const std::string& path, int rows);

    // Fitting.
    void paso_Click();
    void runBatchClick(int maxSteps);
    double readStepSize();
    FixFlags fixFlags() const;
    void showReadouts();
    void colourErrorBox();
    void writeEditors();
    void drawGraph(plot::SampleTest sampleTest);
    void pintar();
    void pinter();

    // Parameter editors.
    void scrollChanged(ParameterEditor& editor);
    void commitEditor(ParameterEditor& editor);
    void writeEditorPosition(const ParameterEditor& editor);
    // The parameters into the fit state and the editors as a committed edit
    // writes them, then the redraw with read-outs when the graph is shown;
    // an error leads to the recovery.
    void commitParameters(const fit::Parameters& p);
    bool isTableCell(const QObject* object) const;
    ParameterEditor* editorOfBox(QObject* object);

    // Errors.
    void trapped(const std::function<void()>& action);
    void desbord();
    void restoreDefaults();
    void clearReadouts();
    void showMessage(const QString& text);

    FitState state_;
    std::shared_ptr<QString> dialogFolder_ = std::make_shared<QString>();
    std::unique_ptr<MessageSink> messages_;
    std::unique_ptr<FileChooser> files_;
    QWidget* central_ = nullptr;
    QUndoStack* undo_ = nullptr;
    int stepDepth_ = 0;      // nesting of user actions that may change the parameters
    bool recovered_ = false; // the recovery ran within the current action
    bool restoring_ = false; // an undo or redo is writing the parameters
    QAction* actionAnalisis = nullptr;
    QAction* actionDeshacer = nullptr;
    QAction* actionRehacer = nullptr;
    // The table as the undo history knows it: every cell's text after the
    // last step, undo, redo or write by the program. A cell that differs
    // holds typing not yet committed.
    TableTexts committedTexts_{};
    // What the file last saved or loaded holds, and where it is.
    TableTexts savedTexts_{};
    std::string currentFile_ = data::kDataFileName;
    AnalysisWindow* analysis_ = nullptr;
    ManualWindow* manual_ = nullptr;

    std::array<QLineEdit*, data::kRows> xv_{};
    std::array<QLineEdit*, data::kRows> yv_{};
    QLabel* Label11 = nullptr;
    QLabel* Label12 = nullptr;

    GraphBox* graf = nullptr;
    QLabel* Final = nullptr;
    QLabel* inicio = nullptr;
    QLabel* Minimo = nullptr;
    QLabel* maximo = nullptr;
    QLabel* Label14 = nullptr;

    MathPicture* funcion = nullptr;
    QLabel* Para = nullptr;
    MathPicture* Picture1 = nullptr;
    MathPicture* Picture2 = nullptr;
    MathPicture* Picture3 = nullptr;
    QCheckBox* Check1 = nullptr;
    QCheckBox* Check2 = nullptr;
    QCheckBox* Check3 = nullptr;
    QScrollBar* LSCR = nullptr;
    QLineEdit* Lval = nullptr;
    QScrollBar* CSCR = nullptr;
    QLineEdit* Cval = nullptr;
    QScrollBar* TSCR = nullptr;
    QLineEdit* Tval = nullptr;

    QLabel* Label1 = nullptr;
    QPushButton* paso = nullptr;
    QPushButton* paso3 = nullptr;
    QPushButton* paso4 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label8 = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* Text1 = nullptr;
    QLabel* Label4 = nullptr;
    QLineEdit* label9 = nullptr;
    QLabel* Label5 = nullptr;
    QLineEdit* label10 = nullptr;

    QPushButton* Command1 = nullptr;
    QPushButton* Recuperar = nullptr;
    QPushButton* Command5 = nullptr;

    std::array<ParameterEditor, 3> editors_{};
};

} // namespace gompertz::ui
