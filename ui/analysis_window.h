#pragma once

#include "file_chooser.h"
#include "fit/comparison.h"
#include "fit/least_squares.h"
#include "fit/report.h"
#include "messages.h"

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
class QTabWidget;
class QPushButton;
class QTableWidget;

namespace gompertz::ui {

class Form1;

// "Análisis del ajuste": the least-squares optimum of the main window's
// captured points in one click, for the growth model chosen, with its
// uncertainties, the quantities read off the curve, a plot with the
// confidence band and the residuals, the comparison of every model, and
// the means to apply, copy and export it. Touches the main window only
// through "Aplicar a la ventana principal", for a Gompertz fit.
class AnalysisWindow : public QWidget {
    Q_OBJECT
  public:
    explicit AnalysisWindow(Form1& main);

    void setMessageSink(std::unique_ptr<MessageSink> sink);
    void setFileChooser(std::unique_ptr<FileChooser> chooser);

    // Takes the main window's captured points again; new points clear the
    // results.
    void refresh();

    // The results table and the summary as tab-separated text with a header
    // row, 15 significant digits and the decimal comma.
    QString resultsText() const;

    enum class Export { Png, Pdf, CsvSemicolon, CsvComma };
    // Writes the file completely or not at all; the reason when it could not.
    std::optional<QString> exportTo(const QString& path, Export kind);

  private:
    void createWidgets();
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
    void updateApply();
    fit::Parameters shownParameters() const;
    QByteArray csvBytes(char separator, bool decimalComma) const;

    Form1& main_;
    std::unique_ptr<MessageSink> messages_;
    std::unique_ptr<FileChooser> files_;
    fit::LeastSquares solver_;
    std::vector<fit::Point> points_;
    std::optional<fit::Fit> fit_;
    // The fit's profile intervals and warnings, when it reached its optimum.
    std::vector<std::optional<fit::ProfileInterval>> intervals_;
    std::vector<std::string> warnings_;
    std::optional<fit::Parameters> start_;

    QCustomPlot* grafica = nullptr;
    QCPGraph* pointsGraph_ = nullptr;
    QCPGraph* curveGraph_ = nullptr;
    QCPGraph* bandLow_ = nullptr;
    QCPGraph* bandHigh_ = nullptr;
    QCPGraph* residualGraph_ = nullptr;
    QCPGraph* zeroGraph_ = nullptr;
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
};

} // namespace gompertz::ui
