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
class QCheckBox;
class QSpinBox;
class QCPAxisRect;
class QCPItemText;
class QCPTextElement;

namespace gompertz::ui {

class Form1;

// A data set of the analysis: the main window's table first, then files.
struct DataSet {
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

    // Beside the main window, as large as the screen leaves room for, up to
    // its designed size, moving the main window left when the pair needs
    // it; over the main window's right side only when the screen has no
    // room beside it.
    void placeBesideMain();

    void setMessageSink(std::unique_ptr<MessageSink> sink);
    void setFileChooser(std::unique_ptr<FileChooser> chooser);

    // Takes the main window's captured points again; new points clear the
    // results.
    void refresh();

    // The results table and the summary as tab-separated text with a header
    // row, 15 significant digits and the decimal comma.
    QString resultsText() const;

    // Adds the set in the file at path; the reason when it could not.
    std::optional<QString> addSet(const QString& path);

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
    void setChosen();
    void setEdited(QListWidgetItem* item);
    fit::Weighting weighting() const;
    // The set's points weighted as chosen; false, with a message, when the
    // set cannot be so weighted.
    bool weighSet(DataSet& data);
    void clearAllResults();
    void clearSetComparison();
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

    Form1& main_;
    std::unique_ptr<MessageSink> messages_;
    std::unique_ptr<FileChooser> files_;
    fit::LeastSquares solver_;
    std::vector<DataSet> sets_;
    int selected_ = 0;
    std::optional<fit::SetComparison> setComparison_;
    QString comparedNames_[2];

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
