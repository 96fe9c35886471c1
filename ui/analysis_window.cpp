#include "analysis_window.h"

#include "data/data_file.h"
#include "fit/statistics.h"
#include "form1.h"
#include "model/number_text.h"

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSaveFile>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QVBoxLayout>

#include <qcustomplot.h>

#include <algorithm>
#include <cmath>

namespace gompertz::ui {
namespace {

const QStringList kRowNames = {
    QStringLiteral("a"),
    QStringLiteral("c"),
    QStringLiteral("t0 (punto de inflexión)"),
    QStringLiteral("Valor en la inflexión (a/e)"),
    QStringLiteral("Tasa máxima de crecimiento (a·c/e)"),
    QStringLiteral("Fase de latencia (t0 − 1/c)"),
};
const QStringList kColumnNames = {QStringLiteral("Valor"), QStringLiteral("Error típico"),
                                  QStringLiteral("IC 95 % inferior"),
                                  QStringLiteral("IC 95 % superior")};
const QString kFixed = QStringLiteral("fijo");
const QString kUndetermined = QStringLiteral("—");
constexpr int kCurveSamples = 200;

// Spreadsheets read a CSV file's accents as UTF-8 only when it starts with
// the mark.
const QByteArray kUtf8Mark = QByteArrayLiteral("\xEF\xBB\xBF");

const QString kPngFilter = QStringLiteral("Imagen PNG (*.png)");
const QString kPdfFilter = QStringLiteral("Documento PDF (*.pdf)");
const QString kCsvSemicolonFilter = QStringLiteral("CSV con «;» y coma decimal (*.csv)");
const QString kCsvCommaFilter = QStringLiteral("CSV con «,» y punto decimal (*.csv)");

QString number(double value, int digits) {
    return QString::fromStdString(formatNumber(value, digits));
}

// A number for a CSV file: the decimal comma, or the point.
QString csvNumber(double value, bool decimalComma) {
    QString text = number(value, 15);
    return decimalComma ? text : text.replace(',', '.');
}

QString optionalNumber(const std::optional<double>& value, int digits) {
    return value ? number(*value, digits) : QString();
}

// The cells of one results row: value, error, interval.
QStringList rowCells(const fit::Estimate& e, bool withErrors, int digits) {
    QStringList cells = {number(e.value, digits)};
    if (!withErrors) {
        return cells << QString() << QString() << QString();
    }
    if (e.fixed) {
        return cells << kFixed << QString() << QString();
    }
    if (!e.standardError) {
        return cells << kUndetermined << QString() << QString();
    }
    return cells << number(*e.standardError, digits) << optionalNumber(e.lower, digits)
                 << optionalNumber(e.upper, digits);
}

// A range around the values with a margin, so that nothing sits on an edge.
QCPRange paddedRange(double low, double high, double margin) {
    if (!(high > low)) {
        const double half = std::max(1.0, std::fabs(low) * 0.1);
        return {low - half, high + half};
    }
    const double pad = (high - low) * margin;
    return {low - pad, high + pad};
}

QString statusMessage(const fit::Fit& fit) {
    switch (fit.status) {
    case fit::Status::NoData:
        return QStringLiteral(
            "No hay datos: escriba los puntos en la tabla de la ventana principal.");
    case fit::Status::TooFewPoints:
        return QStringLiteral(
                   "Se necesitan al menos %1 puntos para ajustar %2 parámetros libres; hay %3.")
            .arg(fit.freeParameters + 1)
            .arg(fit.freeParameters)
            .arg(fit.points);
    case fit::Status::NotConverged:
        return QStringLiteral("El ajuste no ha convergido tras %1 iteraciones. Se muestran los "
                              "mejores parámetros encontrados, sin errores ni intervalos: no son "
                              "el óptimo.")
            .arg(fit.iterations);
    case fit::Status::NoPlateau:
        return QStringLiteral("Los datos no alcanzan una meseta: la asíntota a crece sin límite "
                              "(a → ∞, c → 0), así que no hay un ajuste finito. Hacen falta "
                              "puntos donde la curva empiece a aplanarse.");
    case fit::Status::NoGrowth:
        return QStringLiteral("Los datos no muestran una curva de crecimiento que el modelo pueda "
                              "seguir: la mejor curva se ajusta peor que una recta horizontal en "
                              "la media (R² < 0).");
    case fit::Status::NoFiniteOptimum:
        return QStringLiteral(
            "No se ha encontrado un ajuste de mínimos cuadrados finito para estos datos.");
    case fit::Status::OutOfRange:
        return QStringLiteral(
            "Los valores son demasiado grandes o demasiado pequeños para los números del "
            "ordenador: algunos resultados saldrían infinitos o se perderían. Exprese t o los "
            "valores en otras unidades, por ejemplo divididos o multiplicados por una potencia "
            "de diez.");
    default:
        return {};
    }
}

QString notConvergedNote(const fit::Fit& fit) {
    return QStringLiteral("No convergido tras %1 iteraciones: no es el óptimo").arg(fit.iterations);
}

std::optional<QString> commitBytes(const QString& path, const QByteArray& bytes) {
    const auto problem = data::writeWhole(path.toStdString(), bytes.toStdString(), "exportar");
    return problem ? std::optional(QString::fromStdString(*problem)) : std::nullopt;
}

} // namespace

AnalysisWindow::AnalysisWindow(Form1& main)
    : QWidget(&main, Qt::Window), main_(main), messages_(std::make_unique<MessageBoxSink>(this)),
      files_(std::make_unique<DialogFileChooser>(main.dialogFolder())) {
    setObjectName(QStringLiteral("Analisis"));
    setWindowTitle(QStringLiteral("Análisis del ajuste"));
    createWidgets();
    connect(&main_, &Form1::dataCaptured, this, &AnalysisWindow::refresh);
    resize(780, 760);
    refresh();
}

void AnalysisWindow::setMessageSink(std::unique_ptr<MessageSink> sink) {
    messages_ = std::move(sink);
}

void AnalysisWindow::setFileChooser(std::unique_ptr<FileChooser> chooser) {
    files_ = std::move(chooser);
}

void AnalysisWindow::createWidgets() {
    auto* layout = new QVBoxLayout(this);
    createPlot();
    layout->addWidget(grafica, 3);

    auto* buttons = new QHBoxLayout;
    const auto button = [&](QPushButton*& target, const char* name, const QString& caption,
                            void (AnalysisWindow::*handler)()) {
        target = new QPushButton(caption, this);
        target->setObjectName(QString::fromLatin1(name));
        connect(target, &QPushButton::clicked, this, handler);
        buttons->addWidget(target);
    };
    button(valoresIniciales, "valoresIniciales", QStringLiteral("Valores iniciales"),
           &AnalysisWindow::valoresIniciales_Click);
    button(ajusteOptimo, "ajusteOptimo", QStringLiteral("Ajuste óptimo"),
           &AnalysisWindow::ajusteOptimo_Click);
    button(aplicar, "aplicar", QStringLiteral("Aplicar a la ventana principal"),
           &AnalysisWindow::aplicar_Click);
    button(copiar, "copiar", QStringLiteral("Copiar resultados"), &AnalysisWindow::copiar_Click);
    button(exportar, "exportar", QStringLiteral("Exportar…"), &AnalysisWindow::exportar_Click);
    layout->addLayout(buttons);

    resultados = new QTableWidget(static_cast<int>(kRowNames.size()),
                                  static_cast<int>(kColumnNames.size()), this);
    resultados->setObjectName(QStringLiteral("resultados"));
    resultados->setVerticalHeaderLabels(kRowNames);
    resultados->setHorizontalHeaderLabels(kColumnNames);
    resultados->setEditTriggers(QAbstractItemView::NoEditTriggers);
    resultados->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    resultados->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    resultados->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
    layout->addWidget(resultados, 0);

    resumen = new QLabel(this);
    resumen->setObjectName(QStringLiteral("resumen"));
    resumen->setTextFormat(Qt::PlainText);
    resumen->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(resumen);
}

void AnalysisWindow::createPlot() {
    grafica = new QCustomPlot(this);
    grafica->setObjectName(QStringLiteral("grafica"));
    grafica->setLocale(QLocale(QLocale::Spanish, QLocale::Spain));
    grafica->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    grafica->setMinimumHeight(320);

    QCPAxisRect* top = grafica->axisRect();
    auto* bottom = new QCPAxisRect(grafica);
    grafica->plotLayout()->addElement(1, 0, bottom);
    grafica->plotLayout()->setRowStretchFactors({3.0, 1.0});
    auto* margins = new QCPMarginGroup(grafica);
    top->setMarginGroup(QCP::msLeft | QCP::msRight, margins);
    bottom->setMarginGroup(QCP::msLeft | QCP::msRight, margins);
    bottom->setRangeDrag(Qt::Vertical);
    bottom->setRangeZoom(Qt::Vertical);
    grafica->xAxis->setLabel(QStringLiteral("t"));
    grafica->yAxis->setLabel(QStringLiteral("f(t)"));
    bottom->axis(QCPAxis::atBottom)->setLabel(QStringLiteral("t"));
    bottom->axis(QCPAxis::atLeft)->setLabel(QStringLiteral("residuo"));
    connect(grafica->xAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged),
            bottom->axis(QCPAxis::atBottom), qOverload<const QCPRange&>(&QCPAxis::setRange));

    bandLow_ = grafica->addGraph();
    bandHigh_ = grafica->addGraph();
    const QColor bandColour(128, 0, 0, 50);
    bandLow_->setPen(Qt::NoPen);
    bandHigh_->setPen(Qt::NoPen);
    bandHigh_->setBrush(bandColour);
    bandHigh_->setChannelFillGraph(bandLow_);
    bandHigh_->setName(QStringLiteral("Banda de confianza del 95 %"));
    curveGraph_ = grafica->addGraph();
    curveGraph_->setPen(QPen(QColor(128, 0, 0), 2));
    pointsGraph_ = grafica->addGraph();
    pointsGraph_->setLineStyle(QCPGraph::lsNone);
    pointsGraph_->setScatterStyle(
        QCPScatterStyle(QCPScatterStyle::ssDisc, QColor(0, 0, 128), QColor(0, 0, 128), 7));

    QCPAxis* residualX = bottom->axis(QCPAxis::atBottom);
    QCPAxis* residualY = bottom->axis(QCPAxis::atLeft);
    zeroGraph_ = grafica->addGraph(residualX, residualY);
    zeroGraph_->setPen(QPen(Qt::gray, 1, Qt::DashLine));
    residualGraph_ = grafica->addGraph(residualX, residualY);
    residualGraph_->setLineStyle(QCPGraph::lsImpulse);
    residualGraph_->setPen(QPen(QColor(0, 0, 128)));
    residualGraph_->setScatterStyle(
        QCPScatterStyle(QCPScatterStyle::ssDisc, QColor(0, 0, 128), QColor(0, 0, 128), 5));
    connect(grafica->xAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this,
            [this](const QCPRange& range) { sampleCurve(range); });
    connect(grafica, &QCustomPlot::mouseDoubleClick, this, [this] { replot(); });
}

void AnalysisWindow::refresh() {
    std::vector<fit::Point> points = main_.capturedPoints();
    const auto same = [](const fit::Point& l, const fit::Point& r) {
        return l.t == r.t && l.y == r.y;
    };
    if (!std::equal(points.begin(), points.end(), points_.begin(), points_.end(), same)) {
        points_ = std::move(points);
        clearResults();
    }
    replot();
}

void AnalysisWindow::clearResults() {
    fit_.reset();
    start_.reset();
    resultados->clearContents();
    resumen->clear();
    updateApply();
}

fit::Parameters AnalysisWindow::shownParameters() const {
    if (fit_) {
        return fit_->parameters;
    }
    return start_ ? *start_ : main_.currentParameters();
}

// Refuses, with a message, what no fit can use; true when refused.
bool AnalysisWindow::refusedBeforeFitting() {
    fit::Fit probe;
    const fit::Fixed fixed = main_.fixedParameters();
    probe.points = static_cast<int>(points_.size());
    probe.freeParameters = static_cast<int>(std::count(fixed.begin(), fixed.end(), false));
    probe.status = points_.empty()                        ? fit::Status::NoData
                   : probe.points <= probe.freeParameters ? fit::Status::TooFewPoints
                                                          : fit::Status::Ok;
    if (probe.status == fit::Status::Ok) {
        return false;
    }
    messages_->show(statusMessage(probe));
    return true;
}

void AnalysisWindow::valoresIniciales_Click() {
    if (refusedBeforeFitting()) {
        return;
    }
    const fit::Fixed fixed = main_.fixedParameters();
    fit::Fit start;
    start.parameters = fit::automaticStart(points_, fixed, main_.currentParameters());
    start.fixed = fixed;
    start.sse = fit::sumOfSquares(points_, start.parameters);
    start.degreesOfFreedom = static_cast<int>(points_.size()) -
                             static_cast<int>(std::count(fixed.begin(), fixed.end(), false));
    if (!fit::representable(start, points_)) { // values beyond what doubles hold
        start.status = fit::Status::OutOfRange;
        messages_->show(statusMessage(start));
        return;
    }
    fit_.reset();
    start_ = start.parameters;
    showStart();
    replot();
    updateApply();
}

void AnalysisWindow::ajusteOptimo_Click() {
    if (refusedBeforeFitting()) {
        return;
    }
    const fit::Fit fit =
        solver_.bestFit(points_, main_.fixedParameters(), main_.currentParameters());
    if (fit.status != fit::Status::Ok && fit.status != fit::Status::NotConverged) {
        messages_->show(statusMessage(fit));
        return;
    }
    fit_ = fit;
    start_.reset();
    showResults();
    replot();
    updateApply();
    if (!converged()) {
        messages_->show(statusMessage(fit));
    }
}

bool AnalysisWindow::converged() const {
    return fit_ && fit_->status == fit::Status::Ok;
}

void AnalysisWindow::showStart() {
    fit::Fit shown;
    shown.parameters = *start_;
    shown.fixed = main_.fixedParameters();
    const auto rows = fit::estimates(shown);
    resultados->clearContents();
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        resultados->setItem(r, 0, new QTableWidgetItem(number(rows[r].value, 6)));
    }
    resumen->setText(QStringLiteral("Valores iniciales: SSE = %1")
                         .arg(number(fit::sumOfSquares(points_, *start_), 6)));
}

void AnalysisWindow::showResults() {
    const auto rows = fit::estimates(*fit_);
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        const QStringList cells = rowCells(rows[r], converged(), 6);
        for (int c = 0; c < cells.size(); ++c) {
            resultados->setItem(r, c, new QTableWidgetItem(cells[c]));
        }
    }
    const auto r2 = fit::rSquared(*fit_, points_);
    QString summary = QStringLiteral("n = %1, gl = %2, SSE = %3, s = %4, R² = %5, iteraciones = %6")
                          .arg(fit_->points)
                          .arg(fit_->degreesOfFreedom)
                          .arg(number(fit_->sse, 6), number(fit::residualDeviation(*fit_), 6),
                               r2 ? number(*r2, 6) : kUndetermined)
                          .arg(fit_->iterations);
    if (!converged()) {
        summary += '\n' + notConvergedNote(*fit_);
    } else if (fit_->illDetermined) {
        summary += QStringLiteral("\nLos datos no determinan bien los parámetros");
    }
    resumen->setText(summary);
}

void AnalysisWindow::updateApply() {
    const auto outside = fit_ ? main_.outsideScrollRanges(fit_->parameters) : std::nullopt;
    aplicar->setEnabled(converged() && !outside);
    copiar->setEnabled(fit_.has_value()); // nothing to copy before a fit
    aplicar->setToolTip(outside ? *outside : QString());
}

// The curve, and the band of a fit, over the t range shown: sampled anew
// when the view is dragged or zoomed. Returns the values drawn.
QVector<double> AnalysisWindow::sampleCurve(const QCPRange& range) {
    QVector<double> ct, cf, lower, upper;
    fit::Fit shown = fit_ ? *fit_ : fit::Fit{};
    shown.parameters = shownParameters();
    for (const fit::BandSample& s : fit::band(shown, range.lower, range.upper, kCurveSamples)) {
        if (std::isfinite(s.fitted) && std::isfinite(s.lower) && std::isfinite(s.upper)) {
            ct << s.t;
            cf << s.fitted;
            lower << s.lower;
            upper << s.upper;
        }
    }
    curveGraph_->setData(ct, cf);
    const QVector<double> none;
    bandLow_->setData(converged() ? ct : none, converged() ? lower : none);
    bandHigh_->setData(converged() ? ct : none, converged() ? upper : none);
    zeroGraph_->setData({range.lower, range.upper}, {0.0, 0.0});
    return converged() ? cf + lower + upper : cf;
}

void AnalysisWindow::replot() {
    const fit::Parameters p = shownParameters();
    QVector<double> t;
    QVector<double> y;
    QVector<double> residual;
    for (const fit::Point& point : points_) {
        t << point.t;
        y << point.y;
        residual << point.y - fit::model(p, point.t);
    }
    const auto [tLow, tHigh] = std::minmax_element(t.begin(), t.end());
    const QCPRange tRange = t.isEmpty() ? QCPRange(-5, 15) : paddedRange(*tLow, *tHigh, 0.08);
    pointsGraph_->setData(t, y);
    residualGraph_->setData(t, residual);
    {
        // Sampled once below: the range's own signal would sample it too.
        const QSignalBlocker quiet(grafica->xAxis);
        grafica->xAxis->setRange(tRange);
    }
    grafica->axisRect(1)->axis(QCPAxis::atBottom)->setRange(tRange);

    // The values the upper panel shows: points, curve and band.
    const QVector<double> values = y + sampleCurve(tRange);
    const auto [vLow, vHigh] = std::minmax_element(values.begin(), values.end());
    grafica->yAxis->setRange(values.isEmpty() ? QCPRange(0, 10) : paddedRange(*vLow, *vHigh, 0.1));
    const auto [rLow, rHigh] = std::minmax_element(residual.begin(), residual.end());
    const double reach = residual.isEmpty() ? 1.0 : std::max(std::fabs(*rLow), std::fabs(*rHigh));
    grafica->axisRect(1)->axis(QCPAxis::atLeft)->setRange(paddedRange(-reach, reach, 0.15));
    grafica->replot();
}

void AnalysisWindow::aplicar_Click() {
    if (converged() && !main_.outsideScrollRanges(fit_->parameters)) {
        main_.applyParameters(fit_->parameters);
    }
}

QString AnalysisWindow::resultsText() const {
    QStringList lines = {QString('\t') + kColumnNames.join('\t')};
    if (fit_) {
        const auto rows = fit::estimates(*fit_);
        for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
            lines << kRowNames[r] + '\t' + rowCells(rows[r], converged(), 15).join('\t');
        }
        lines << QString() << summaryLines('\t', true);
    }
    return lines.join('\n') + '\n';
}

QStringList AnalysisWindow::summaryLines(QChar separator, bool decimalComma) const {
    const auto num = [decimalComma](double v) { return csvNumber(v, decimalComma); };
    const auto r2 = fit::rSquared(*fit_, points_);
    QStringList lines = {QStringLiteral("n") + separator + QString::number(fit_->points),
                         QStringLiteral("gl") + separator + QString::number(fit_->degreesOfFreedom),
                         QStringLiteral("SSE") + separator + num(fit_->sse),
                         QStringLiteral("s") + separator + num(fit::residualDeviation(*fit_)),
                         QStringLiteral("R²") + separator + (r2 ? num(*r2) : kUndetermined),
                         QStringLiteral("iteraciones") + separator +
                             QString::number(fit_->iterations)};
    if (!converged()) {
        lines << notConvergedNote(*fit_);
    } else if (fit_->illDetermined) {
        lines << QStringLiteral("Los datos no determinan bien los parámetros");
    }
    return lines;
}

void AnalysisWindow::copiar_Click() {
    QApplication::clipboard()->setText(resultsText());
}

QString AnalysisWindow::csvText(QChar separator, bool decimalComma) const {
    const auto num = [decimalComma](double v) { return csvNumber(v, decimalComma); };
    const fit::Parameters p = shownParameters();
    QStringList lines = {QStringList{"t", "y", "ajustado", "residuo"}.join(separator)};
    for (const fit::Point& point : points_) {
        const double fitted = fit::model(p, point.t);
        lines << QStringList{num(point.t), num(point.y), num(fitted), num(point.y - fitted)}.join(
            separator);
    }
    lines << QString() << QString(separator) + kColumnNames.join(separator);
    fit::Fit shown = fit_ ? *fit_ : fit::Fit{};
    shown.parameters = p;
    shown.fixed = fit_ ? fit_->fixed : main_.fixedParameters();
    const auto rows = fit::estimates(shown);
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        QStringList cells = rowCells(rows[r], converged(), 15);
        if (!decimalComma) {
            cells.replaceInStrings(QStringLiteral(","), QStringLiteral("."));
        }
        lines << kRowNames[r] + separator + cells.join(separator);
    }
    if (fit_) {
        lines << QString() << summaryLines(separator, decimalComma);
    }
    return lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

std::optional<QString> AnalysisWindow::exportTo(const QString& path, Export kind) {
    switch (kind) {
    case Export::CsvSemicolon:
        return commitBytes(path, kUtf8Mark + csvText(';', true).toUtf8());
    case Export::CsvComma:
        return commitBytes(path, kUtf8Mark + csvText(',', false).toUtf8());
    case Export::Png: {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        if (!grafica->toPixmap(grafica->width(), grafica->height(), 2.0).save(&buffer, "PNG")) {
            return QStringLiteral("No se pudo crear la imagen PNG.");
        }
        return commitBytes(path, bytes);
    }
    case Export::Pdf: {
        // The plot writes PDF only to a named file: one of its own first.
        QTemporaryDir scratch;
        const QString draft = scratch.filePath(QStringLiteral("grafica.pdf"));
        QFile file(draft);
        if (!scratch.isValid() || !grafica->savePdf(draft) || !file.open(QIODevice::ReadOnly)) {
            return QStringLiteral("No se pudo crear el documento PDF.");
        }
        return commitBytes(path, file.readAll());
    }
    }
    return std::nullopt;
}

void AnalysisWindow::exportar_Click() {
    QString chosen;
    const QStringList filters = {kPngFilter, kPdfFilter, kCsvSemicolonFilter, kCsvCommaFilter};
    QString path =
        files_->saveFileName(this, QStringLiteral("Exportar el análisis"), filters, &chosen);
    if (path.isEmpty()) {
        return;
    }
    path = withFilterExtension(path, chosen.isEmpty() ? kCsvSemicolonFilter : chosen);
    // The extension names the format; for CSV the filter names the variant.
    const QString extension = QFileInfo(path).suffix().toLower();
    Export kind = chosen == kCsvCommaFilter ? Export::CsvComma : Export::CsvSemicolon;
    if (extension == QLatin1String("png")) {
        kind = Export::Png;
    } else if (extension == QLatin1String("pdf")) {
        kind = Export::Pdf;
    } else if (extension != QLatin1String("csv")) {
        kind = chosen == kPngFilter ? Export::Png : chosen == kPdfFilter ? Export::Pdf : kind;
    }
    if (const auto problem = exportTo(path, kind)) {
        messages_->show(*problem);
    }
}

} // namespace gompertz::ui
