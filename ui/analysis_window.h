#pragma once

#include "file_chooser.h"
#include "fit/comparison.h"
#include "fit/least_squares.h"
#include "fit/replicates.h"
#include "fit/report.h"
#include "fit/set_comparison.h"
#include "messages.h"

#include <QColor>
#include <QPointF>
#include <QRectF>
#include <QVector>
#include <QWidget>

#include <QPointer>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QCPGraph;
class QCPRange;
class QComboBox;
class QCustomPlot;
class QLabel;
class QLineEdit;
class QMouseEvent;
class QListWidget;
class QListWidgetItem;
class QTabWidget;
class QPushButton;
class QTableWidget;
class QTimer;
class QThread;
class QProgressBar;
class QCheckBox;
class QSpinBox;
class QCPAxisRect;
class QCPItemText;
class QCPTextElement;

namespace gompertz::ui {

class Form1;

// A data set of the analysis: the main window's table first, then files.
struct DataSet {
    int id = 0; // the set's own, kept while sets come and go
    QString name;
    QColor colour;
    std::vector<fit::Point> values;  // as measured (replicates share a t)
    std::vector<fit::MeanRow> means; // or the means of a summary file
    std::vector<fit::Point> points;  // what is fitted and drawn: values or means, weighted
    std::optional<fit::Fit> fit;
    // The fit's profile intervals and warnings, when it reached its optimum.
    std::vector<std::optional<fit::ProfileInterval>> intervals;
    std::vector<std::string> warnings;
    std::optional<fit::Parameters> start;
    QCPGraph* pointsGraph = nullptr;
    QCPGraph* curveGraph = nullptr;
};

// "Análisis del ajuste": the least-squares optimum of the main window's
// captured points, or of a data set read from a file, in one click, for the
// growth model and weighting chosen, with its uncertainties, the quantities
// read off the curve, a plot of every shown set with the confidence band and
// the residuals, the comparison of every model and of two sets, and the
// means to apply, copy and export it. Touches the main window only through
// "Aplicar a la ventana principal", for a Gompertz fit of its table.
class AnalysisWindow : public QWidget {
    Q_OBJECT
  public:
    explicit AnalysisWindow(Form1& main);
    // Waits for the work still running off the interface thread, whose
    // results nobody will see.
    ~AnalysisWindow() override;

    // Beside the main window, as large as the screen leaves room for, up to
    // its designed size, moving the main window left when the pair needs
    // it; over the main window's right side only when the screen has no
    // room beside it.
    void placeBesideMain();

    void setMessageSink(std::unique_ptr<MessageSink> sink);
    void setFileChooser(std::unique_ptr<FileChooser> chooser);

    // Takes the points the main window's table holds now; new points clear
    // the table's results, and the plot follows once the changes end.
    void refresh();

    // The results table and the summary as tab-separated text with a header
    // row, 15 significant digits and the decimal comma.
    QString resultsText() const;

    // Adds the set in the file at path; the reason when it could not.
    std::optional<QString> addSet(const QString& path);

    // How long the status line under the buttons keeps what it says.
    static constexpr int kStatusMilliseconds = 4000;
    // Sets with more points than this are fitted and compared off the
    // interface thread, with a progress bar and "Cancelar".
    static constexpr std::size_t kLongWork = 1000;
    // Whether such work is running now.
    bool busy() const { return busy_; }

    enum class Export { Png, Pdf, Svg, CsvSemicolon, CsvComma };
    // Writes the file completely or not at all; the reason when it could not.
    std::optional<QString> exportTo(const QString& path, Export kind);

  private:
    static constexpr int kMaxSets = 8;
    // The table's curve keeps the main window's maroon.
    static QColor kTableCurve() { return {128, 0, 0}; }
    DataSet& set() { return sets_[static_cast<std::size_t>(selected_)]; }
    const DataSet& set() const { return sets_[static_cast<std::size_t>(selected_)]; }
    QWidget* createSets();
    QWidget* createSetComparison();
    void addGraphs(DataSet& data);
    void anadirDatos_Click();
    void quitarConjunto_Click();
    void compararConjuntos_Click();
    void showSetComparison(const fit::SetComparison& comparison, const QString (&names)[2],
                           const int (&ids)[2]);
    void setChosen();
    void setEdited(QListWidgetItem* item);
    fit::Weighting weighting() const;
    // The set's points weighted as chosen; false, with a message, when the
    // set cannot be so weighted.
    bool weighSet(DataSet& data);
    void clearAllResults();
    // Runs work(cancelled, progress) at once for a short set, or on a
    // thread of its own for a long one; what it returns then runs on the
    // interface thread, unless cancelled or the choices changed meanwhile.
    using Finish = std::function<void()>;
    using Progress = std::function<void(int done, int total)>;
    using Work = std::function<Finish(const std::atomic<bool>& cancelled, const Progress& progress)>;
    void run(std::size_t points, const QString& what, Work work);
    void setBusy(bool on, const QString& what = {});
    void cancelar_Click();
    int indexOfSet(int id) const;
    // Applies a fit of the set with that id, with its intervals and
    // warnings: shown when it is the selected set.
    void applyFit(int id, const fit::Analysis& result);
    void clearSetComparison();
    // Only when the set with that id is one of the two compared.
    void clearSetComparisonOf(int id);
    void createWidgets();
    void addToolTips();
    void createPlot();
    QWidget* createComparison();
    QWidget* createPredictions();
    std::optional<double> predictionInput(const QLineEdit* box);
    void addPrediction(const QStringList& cells);
    void tiempo_Return();
    void valor_Return();
    const fit::GrowthModel& model() const;
    void modelChanged();
    void compararModelos_Click();
    void showComparison(const fit::Comparison& comparison);
    void clearComparison();
    void valoresIniciales_Click();
    void ajusteOptimo_Click();
    void aplicar_Click();
    void copiar_Click();
    void exportar_Click();
    QWidget* createPlotOptions();
    // The title, the axes' names, the residual panel, the value axis's scale
    // and the parameters' box, as the plot's options say.
    void applyPlotOptions();
    void ejeLog_Toggled(bool on);
    // Why a shown value rules out the logarithmic axis, or nothing.
    std::optional<QString> notPositive() const;
    // Back to the linear axis, saying why, when a shown value rules the
    // logarithmic one out; true then.
    bool refusedLogAxis();
    void setValueScale(bool logarithmic);
    void copiarGrafica_Click();
    QString parametersBoxText() const;
    // Ticks that fit each panel's height; the legend and the parameters'
    // box where they cover the fewest points and curve samples, or where
    // the user dragged them.
    void setUpPlotLayout();
    void placeLegendAndBox();
    bool makeRoomAbove(const QSizeF& legend, const std::vector<QPointF>& pixels);
    bool roomAbove_ = false; // set while the window draws ranges of its own choosing
    void plotPressed(QMouseEvent* event);
    void plotMoved(QMouseEvent* event);
    void plotReleased();
    QRectF parametersBoxRect() const;
    // The titles of the example the table holds while it is the only set
    // shown; the defaults otherwise; what the user typed stays.
    void followExampleTitles();
    // The plot as a PNG of the chosen width and height in pixels, its text
    // as large as on screen at the chosen resolution, which the file records;
    // and as SVG, at the size it has on screen.
    std::optional<QByteArray> pngBytes();
    // The question before a PNG so large that it takes seconds, or nothing.
    std::optional<QString> largeImageQuestion() const;
    QByteArray svgBytes();
    QByteArray pdfBytes();

    bool refusedBeforeFitting();
    // The chosen model's parameters that the fix boxes leave free.
    int freeParameters() const;
    void showRows(const fit::Fit& shown, bool withErrors);
    // A fit that reached its optimum: only then errors, band and "Aplicar".
    bool converged() const;
    // The fit with its intervals and warnings, as the reports show it.
    fit::Analysis analysis() const;
    void clearResults();
    void showResults();
    void showStart();
    void replot();
    QVector<double> sampleCurve(const QCPRange& range);
    // Whether the set's box in the list is ticked.
    bool shown(int index) const;
    void updateApply();
    fit::Parameters shownParameters() const;
    QByteArray csvBytes(char separator, bool decimalComma) const;
    // More than the table's set, or a comparison of two: every set's block.
    bool severalSets() const { return sets_.size() > 1 || setComparison_.has_value(); }
    std::string setsCsv(char separator, bool decimalComma, int digits = 15) const;
    void textoMetodos_Click();
    // A line in the status label that clears itself.
    void say(const QString& text);

    Form1& main_;
    std::unique_ptr<MessageSink> messages_;
    std::unique_ptr<FileChooser> files_;
    fit::LeastSquares solver_;
    std::vector<DataSet> sets_;
    int selected_ = 0;
    std::optional<fit::SetComparison> setComparison_;
    QString comparedNames_[2];
    int comparedIds_[2] = {0, 0};
    int nextId_ = 1; // the table's set is 0

    QCustomPlot* grafica = nullptr;
    QCPGraph* bandLow_ = nullptr;
    QCPGraph* bandHigh_ = nullptr;
    QCPGraph* residualGraph_ = nullptr;
    QCPGraph* zeroGraph_ = nullptr;
    QListWidget* conjuntos = nullptr;
    QPushButton* anadirDatos = nullptr;
    QPushButton* quitarConjunto = nullptr;
    QPushButton* compararConjuntos = nullptr;
    QComboBox* ponderacion = nullptr;
    QTableWidget* comparacionConjuntos = nullptr;
    QLabel* conclusionConjuntos = nullptr;
    QComboBox* modelo = nullptr;
    QComboBox* banda = nullptr;
    QLineEdit* tiempo = nullptr;
    QLineEdit* valor = nullptr;
    QTableWidget* predicciones = nullptr;
    QTabWidget* pestanas = nullptr;
    QTableWidget* comparacion = nullptr;
    QLabel* veredicto = nullptr;
    QPushButton* compararModelos = nullptr;
    QTableWidget* resultados = nullptr;
    QLabel* resumen = nullptr;
    QPushButton* valoresIniciales = nullptr;
    QPushButton* ajusteOptimo = nullptr;
    QPushButton* aplicar = nullptr;
    QPushButton* copiar = nullptr;
    QPushButton* exportar = nullptr;
    QPushButton* textoMetodos = nullptr;
    QCheckBox* cifrasCompletas = nullptr;
    QLineEdit* tituloGrafica = nullptr;
    QLineEdit* ejeX = nullptr;
    QLineEdit* ejeY = nullptr;
    QCheckBox* mostrarParametros = nullptr;
    QCheckBox* ejeLog = nullptr;
    QCheckBox* mostrarResiduos = nullptr;
    QSpinBox* anchoImagen = nullptr;
    QSpinBox* altoImagen = nullptr;
    QSpinBox* resolucionImagen = nullptr;
    QPushButton* copiarGrafica = nullptr;
    QLabel* estado = nullptr;
    QTimer* estadoTimer_ = nullptr;
    QTimer* replotTimer_ = nullptr;
    QProgressBar* progreso = nullptr;
    QPushButton* cancelar = nullptr;
    bool busy_ = false;
    // Bumped by whatever makes running work's result stale: a model or a
    // weighting chosen, a cancel.
    int generation_ = 0;
    std::shared_ptr<std::atomic<bool>> cancelled_;
    std::vector<QPointer<QThread>> workers_;
    QCPTextElement* title_ = nullptr;
    QCPAxisRect* residualRect_ = nullptr;
    QCPItemText* parametersBox_ = nullptr;
    // Where the user dragged the legend and the box (their top-left corners
    // as fractions of the axis rect), and the drag going on.
    struct Placement {
        std::optional<QPointF> legend;
        std::optional<QPointF> box;
        enum class Dragged { Nothing, Legend, Box } dragged = Dragged::Nothing;
        QPointF grip; // the pointer's offset from the dragged top-left
    };
    Placement placement_;
    std::vector<const QLineEdit*> typedTitles_;
};

} // namespace gompertz::ui
