// The analysis plot's options: its title and axes' names, the residual
// panel, a logarithmic value axis, the fitted parameters on the plot, and
// the plot as an image on the clipboard or in a PNG or SVG file.
#include "analysis_window.h"

#include "fit/report.h"
#include "form1.h"
#include "data/examples.h"
#include "fit/statistics.h"
#include "model/number_text.h"

#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QClipboard>
#include <QFontMetricsF>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QSvgGenerator>
#include <QVBoxLayout>

#include <qcustomplot.h>

#include <algorithm>
#include <array>
#include <cmath>

namespace gompertz::ui {
namespace {

// The least of 1, 2, 2,5 and 5 times a power of ten that is at least step.
double roundStepUp(double step) {
    if (!(step > 0.0) || !std::isfinite(step)) {
        return 1.0;
    }
    const double power = std::pow(10.0, std::floor(std::log10(step)));
    for (const double mantissa : {1.0, 2.0, 2.5, 5.0}) {
        if (mantissa * power >= step * (1.0 - 1e-9)) {
            return mantissa * power;
        }
    }
    return 10.0 * power;
}

// A value axis's ticks no closer than a label's height and a quarter, so
// that their labels never overlap however low the panel; as many as the
// usual ticker gives where there is room.
class FittingTicker : public QCPAxisTicker {
  public:
    explicit FittingTicker(QCPAxis* axis) : axis_(axis) {}

  protected:
    double getTickStep(const QCPRange& range) override {
        const double usual = QCPAxisTicker::getTickStep(range);
        const double pixels = axis_->axisRect()->rect().height();
        if (!(pixels > 0.0)) {
            return usual;
        }
        const double gap = 1.25 * QFontMetricsF(axis_->tickLabelFont()).height();
        return std::max(usual, roundStepUp(range.size() * gap / pixels));
    }

  private:
    QCPAxis* axis_;
};

// The pixels of the points and curve samples a graph draws.
void addPixels(const QCPGraph* graph, std::vector<QPointF>& pixels) {
    if (graph == nullptr || !graph->visible()) {
        return;
    }
    for (auto it = graph->data()->constBegin(); it != graph->data()->constEnd(); ++it) {
        if (std::isfinite(it->key) && std::isfinite(it->value)) {
            pixels.emplace_back(graph->keyAxis()->coordToPixel(it->key),
                                graph->valueAxis()->coordToPixel(it->value));
        }
    }
}

// The corners of the area for a rectangle of the size given, in the order
// in which growth curves usually leave them empty.
std::array<QRectF, 4> corners(const QRectF& area, const QSizeF& size) {
    return {QRectF(area.topLeft(), size),
            QRectF(QPointF(area.right() - size.width(), area.bottom() - size.height()), size),
            QRectF(QPointF(area.right() - size.width(), area.top()), size),
            QRectF(QPointF(area.left(), area.bottom() - size.height()), size)};
}

// How many of the pixels a rectangle covers, with room for a marker.
int covered(const QRectF& rect, const std::vector<QPointF>& pixels) {
    const QRectF reach = rect.adjusted(-4, -4, 4, 4);
    return static_cast<int>(std::count_if(pixels.begin(), pixels.end(),
                                          [&](const QPointF& p) { return reach.contains(p); }));
}

QPointF ratioIn(const QRectF& area, const QPointF& point) {
    return {(point.x() - area.left()) / area.width(), (point.y() - area.top()) / area.height()};
}

// A top-left corner that keeps a rectangle of the size given within the area.
QPointF keptWithin(const QRectF& area, const QSizeF& size, const QPointF& topLeft) {
    return {std::clamp(topLeft.x(), area.left(), std::max(area.left(), area.right() - size.width())),
            std::clamp(topLeft.y(), area.top(),
                       std::max(area.top(), area.bottom() - size.height()))};
}

} // namespace

QWidget* AnalysisWindow::createPlotOptions() {
    auto* page = new QWidget(this);
    auto* columns = new QHBoxLayout(page);
    auto* texts = new QFormLayout;
    const auto line = [&](QLineEdit*& target, const char* name, const QString& caption,
                          const QString& text, const QString& tip) {
        target = new QLineEdit(text, page);
        target->setObjectName(QString::fromLatin1(name));
        target->setToolTip(tip);
        connect(target, &QLineEdit::textChanged, this, [this] {
            applyPlotOptions();
            grafica->replot();
        });
        // What the user typed is theirs: no example's title replaces it.
        connect(target, &QLineEdit::textEdited, this,
                [this, target] { typedTitles_.push_back(target); });
        texts->addRow(caption, target);
    };
    line(tituloGrafica, "tituloGrafica", QStringLiteral("&Título:"), QString(),
         QStringLiteral("El título sobre la gráfica, en pantalla y al exportarla; vacío, sin título"));
    tituloGrafica->setPlaceholderText(QStringLiteral("sin título"));
    line(ejeX, "ejeX", QStringLiteral("Eje &X:"), QStringLiteral("t"),
         QStringLiteral("El nombre del eje del tiempo, con sus unidades: «Tiempo (h)»"));
    line(ejeY, "ejeY", QStringLiteral("Eje &Y:"), QStringLiteral("f(t)"),
         QStringLiteral("El nombre del eje de los valores, con sus unidades: «DO 600 nm»"));
    columns->addLayout(texts, 1);

    auto* boxes = new QVBoxLayout;
    const auto box = [&](QCheckBox*& target, const char* name, const QString& caption,
                         bool checked, const QString& tip) {
        target = new QCheckBox(caption, page);
        target->setObjectName(QString::fromLatin1(name));
        target->setChecked(checked);
        target->setToolTip(tip);
        boxes->addWidget(target);
    };
    box(mostrarParametros, "mostrarParametros", QStringLiteral("&Parámetros en la gráfica"), false,
        QStringLiteral("Escribe en la gráfica los parámetros ajustados con sus intervalos del 95 %"));
    box(ejeLog, "ejeLog", QStringLiteral("Eje de valores &logarítmico"), false,
        QStringLiteral("Escala logarítmica en el eje Y; solo con todos los valores mayores que 0"));
    box(mostrarResiduos, "mostrarResiduos", QStringLiteral("Panel de &residuos"), true,
        QStringLiteral("Muestra u oculta el panel de residuos, en pantalla y al exportar"));
    connect(mostrarParametros, &QCheckBox::toggled, this, [this] { replot(); });
    connect(mostrarResiduos, &QCheckBox::toggled, this, [this] { replot(); });
    connect(ejeLog, &QCheckBox::toggled, this, &AnalysisWindow::ejeLog_Toggled);
    boxes->addStretch(1);
    columns->addLayout(boxes);

    auto* image = new QFormLayout;
    const auto spin = [&](QSpinBox*& target, const char* name, const QString& caption, int low,
                          int high, int value, const QString& suffix, const QString& tip) {
        target = new QSpinBox(page);
        target->setObjectName(QString::fromLatin1(name));
        target->setRange(low, high);
        target->setValue(value);
        target->setSuffix(suffix);
        target->setToolTip(tip);
        image->addRow(caption, target);
    };
    spin(anchoImagen, "anchoImagen", QStringLiteral("&Ancho PNG:"), 200, 10000, 1800,
         QStringLiteral(" px"), QStringLiteral("El ancho de la imagen PNG exportada, en píxeles"));
    spin(altoImagen, "altoImagen", QStringLiteral("Al&to PNG:"), 150, 10000, 1200,
         QStringLiteral(" px"), QStringLiteral("El alto de la imagen PNG exportada, en píxeles"));
    spin(resolucionImagen, "resolucionImagen", QStringLiteral("Resol&ución:"), 72, 1200, 300,
         QStringLiteral(" ppp"),
         QStringLiteral("Puntos por pulgada de la imagen PNG: a más resolución, letra más grande "
                        "en la imagen, como impresa a ese tamaño"));
    copiarGrafica = new QPushButton(QStringLiteral("Copiar &gráfica"), page);
    copiarGrafica->setObjectName(QStringLiteral("copiarGrafica"));
    copiarGrafica->setToolTip(
        QStringLiteral("Copia la gráfica como imagen, para pegarla en un documento"));
    connect(copiarGrafica, &QPushButton::clicked, this, &AnalysisWindow::copiarGrafica_Click);
    image->addRow(copiarGrafica);
    columns->addLayout(image);
    return page;
}

void AnalysisWindow::followExampleTitles() {
    if (tituloGrafica == nullptr || conjuntos == nullptr) {
        return;
    }
    const DataSet& table = sets_.front();
    const bool alone = shown(0) && std::none_of(sets_.begin() + 1, sets_.end(), [&](const DataSet& d) {
        return shown(static_cast<int>(&d - sets_.data()));
    });
    // The example loaded last, while the table still holds its rows.
    const data::Example* example =
        main_.loadedExample() ? &data::examples().at(*main_.loadedExample()) : nullptr;
    const auto same = [](const fit::Point& point, const std::pair<double, double>& row) {
        return formatNumber(point.t) == formatNumber(row.first) &&
               formatNumber(point.y) == formatNumber(row.second);
    };
    if (example != nullptr && !(alone && std::equal(table.values.begin(), table.values.end(),
                                                    example->rows.begin(), example->rows.end(),
                                                    same))) {
        example = nullptr;
    }
    const std::pair<QLineEdit*, QString> fields[] = {
        {tituloGrafica, example ? QString::fromUtf8(example->title) : QString()},
        {ejeX, example ? QString::fromUtf8(example->xAxis) : QStringLiteral("t")},
        {ejeY, example ? QString::fromUtf8(example->yAxis) : QStringLiteral("f(t)")}};
    for (const auto& [field, text] : fields) {
        if (std::find(typedTitles_.begin(), typedTitles_.end(), field) == typedTitles_.end() &&
            field->text() != text) {
            const QSignalBlocker quiet(field);
            field->setText(text);
        }
    }
}

void AnalysisWindow::applyPlotOptions() {
    followExampleTitles();
    QCPLayoutGrid* layout = grafica->plotLayout();
    const QString title = tituloGrafica != nullptr ? tituloGrafica->text().trimmed() : QString();
    title_->setText(title);
    const bool titled = !title.isEmpty();
    if (titled && title_->layout() == nullptr) {
        layout->insertRow(0);
        layout->addElement(0, 0, title_);
    } else if (!titled && title_->layout() != nullptr) {
        layout->take(title_);
        layout->simplify();
    }
    const bool residuals = mostrarResiduos == nullptr || mostrarResiduos->isChecked();
    if (residuals && residualRect_->layout() == nullptr) {
        layout->addElement(layout->rowCount(), 0, residualRect_);
    } else if (!residuals && residualRect_->layout() != nullptr) {
        layout->take(residualRect_);
        layout->simplify();
    }
    residualRect_->setVisible(residuals);
    residualGraph_->setVisible(residuals);
    zeroGraph_->setVisible(residuals);
    QList<double> stretch;
    if (titled) {
        stretch << 0.01; // as high as its text
    }
    stretch << 3.0;
    if (residuals) {
        stretch << 1.0;
    }
    layout->setRowStretchFactors(stretch);
    const QString x = ejeX != nullptr ? ejeX->text() : QStringLiteral("t");
    grafica->xAxis->setLabel(x);
    residualRect_->axis(QCPAxis::atBottom)->setLabel(x);
    grafica->yAxis->setLabel(ejeY != nullptr ? ejeY->text() : QStringLiteral("f(t)"));

    const QString box = mostrarParametros != nullptr && mostrarParametros->isChecked()
                            ? parametersBoxText()
                            : QString();
    if (parametersBox_ == nullptr) {
        parametersBox_ = new QCPItemText(grafica);
        parametersBox_->setClipToAxisRect(true);
        parametersBox_->position->setType(QCPItemPosition::ptAxisRectRatio);
        parametersBox_->position->setAxisRect(grafica->axisRect());
        parametersBox_->setPositionAlignment(Qt::AlignLeft | Qt::AlignTop); // placed after layout
        parametersBox_->setTextAlignment(Qt::AlignLeft);
        parametersBox_->setPadding(QMargins(6, 4, 6, 4));
        parametersBox_->setPen(QPen(Qt::gray));
        parametersBox_->setBrush(QBrush(QColor(255, 255, 255, 230)));
        parametersBox_->setFont(font());
    }
    parametersBox_->setText(box);
    parametersBox_->setVisible(!box.isEmpty());
}

// The selected set's fitted parameters with their 95 % intervals, one a
// line, as the results table shows them.
QString AnalysisWindow::parametersBoxText() const {
    if (!converged()) {
        return {};
    }
    const fit::Fit& f = *set().fit;
    const auto rows = fit::estimates(f);
    QStringList lines{QString::fromUtf8(f.model->name())};
    for (int j = 0; j < f.model->parameterCount(); ++j) {
        const auto interval = static_cast<std::size_t>(j) < set().intervals.size()
                                  ? set().intervals[static_cast<std::size_t>(j)]
                                  : std::nullopt;
        const auto cells =
            fit::resultCells(rows[static_cast<std::size_t>(j)].estimate, true, 4, interval);
        QString text = QStringLiteral("%1 = %2").arg(QString::fromUtf8(f.model->parameter(j).name),
                                                     QString::fromStdString(cells[0]));
        if (!cells[2].empty() && !cells[3].empty()) {
            text += QStringLiteral("  [%1; %2]").arg(QString::fromStdString(cells[2]),
                                                     QString::fromStdString(cells[3]));
        } else if (cells[1] == "fijo") {
            text += QStringLiteral(" (fijo)");
        }
        lines << text;
    }
    return lines.join('\n');
}

std::optional<QString> AnalysisWindow::notPositive() const {
    for (std::size_t i = 0; i < sets_.size(); ++i) {
        if (!shown(static_cast<int>(i))) {
            continue;
        }
        for (const fit::Point& point : sets_[i].points) {
            if (!(point.y > 0.0)) {
                return QStringLiteral("El eje logarítmico necesita valores mayores que 0: «%1» "
                                      "tiene el valor %2 en t = %3.")
                    .arg(sets_[i].name, QString::fromStdString(formatNumber(point.y, 6)),
                         QString::fromStdString(formatNumber(point.t, 6)));
            }
        }
    }
    return std::nullopt;
}

void AnalysisWindow::ejeLog_Toggled(bool on) {
    if (on && refusedLogAxis()) {
        return;
    }
    setValueScale(on);
    replot();
}

bool AnalysisWindow::refusedLogAxis() {
    const auto problem = notPositive();
    if (problem) {
        {
            const QSignalBlocker quiet(ejeLog);
            ejeLog->setChecked(false);
        }
        setValueScale(false);
        messages_->show(*problem);
    }
    return problem.has_value();
}

void AnalysisWindow::setValueScale(bool logarithmic) {
    const bool on = logarithmic;
    grafica->yAxis->setScaleType(on ? QCPAxis::stLogarithmic : QCPAxis::stLinear);
    if (on) {
        grafica->yAxis->setTicker(QSharedPointer<QCPAxisTickerLog>::create());
    } else {
        grafica->yAxis->setTicker(QSharedPointer<FittingTicker>::create(grafica->yAxis));
    }
}

void AnalysisWindow::setUpPlotLayout() {
    grafica->yAxis->setTicker(QSharedPointer<FittingTicker>::create(grafica->yAxis));
    QCPAxis* residual = residualRect_->axis(QCPAxis::atLeft);
    residual->setTicker(QSharedPointer<FittingTicker>::create(residual));
    grafica->axisRect()->insetLayout()->setInsetPlacement(0, QCPLayoutInset::ipFree);
    connect(grafica, &QCustomPlot::afterLayout, this, [this] {
        // The ticks were chosen for the panels' former heights: again for these.
        QCPLayoutGrid* layout = grafica->plotLayout();
        layout->update(QCPLayoutElement::upPreparation);
        layout->update(QCPLayoutElement::upMargins);
        layout->update(QCPLayoutElement::upLayout);
        placeLegendAndBox();
    });
    connect(grafica, &QCustomPlot::mousePress, this, &AnalysisWindow::plotPressed);
    connect(grafica, &QCustomPlot::mouseMove, this, &AnalysisWindow::plotMoved);
    connect(grafica, &QCustomPlot::mouseRelease, this, [this] { plotReleased(); });
}

// Where the box stands, at its top-left corner, and its size as it draws it.
QRectF AnalysisWindow::parametersBoxRect() const {
    const QRect text = QFontMetrics(parametersBox_->font())
                           .boundingRect(0, 0, 0, 0,
                                         Qt::TextDontClip | parametersBox_->textAlignment(),
                                         parametersBox_->text());
    const QMargins padding = parametersBox_->padding();
    return {parametersBox_->position->pixelPosition(),
            QSizeF(text.width() + padding.left() + padding.right(),
                   text.height() + padding.top() + padding.bottom())};
}

void AnalysisWindow::placeLegendAndBox() {
    QCPAxisRect* axes = grafica->axisRect();
    QCPLayoutInset* inset = axes->insetLayout();
    // Dragged places are kept as fractions of the axis rect; the corners
    // chosen keep the inset layout's margins.
    const QRectF area = axes->rect();
    const QRectF room = inset->rect();
    if (!(room.width() > 0 && room.height() > 0)) {
        return;
    }
    std::vector<QPointF> pixels;
    for (const DataSet& data : sets_) {
        addPixels(data.pointsGraph, pixels);
        addPixels(data.curveGraph, pixels);
    }
    addPixels(bandLow_, pixels);
    addPixels(bandHigh_, pixels);
    const auto at = [&](const std::optional<QPointF>& ratio, const QSizeF& size,
                        const std::optional<QRectF>& taken) {
        if (ratio) {
            return keptWithin(area, size,
                              {area.left() + ratio->x() * area.width(),
                               area.top() + ratio->y() * area.height()});
        }
        const auto candidates = corners(room, size);
        const QRectF* best = nullptr;
        int fewest = 0;
        for (const QRectF& candidate : candidates) {
            // Over the other one only when every corner is.
            const int cost = covered(candidate, pixels) +
                             (taken && taken->intersects(candidate) ? 1000000 : 0);
            if (best == nullptr || cost < fewest) {
                best = &candidate;
                fewest = cost;
            }
        }
        return best->topLeft();
    };
    std::optional<QRectF> legend;
    if (grafica->legend->visible()) {
        const QSizeF size = grafica->legend->outerRect().size();
        legend = QRectF(at(placement_.legend, size, std::nullopt), size);
        // A plot too narrow for any corner to be free: room above the data,
        // where the legend then stands, rather than over them.
        if (!placement_.legend && covered(*legend, pixels) > 0 && makeRoomAbove(size, pixels)) {
            return;
        }
        inset->setInsetRect(0, QRectF(ratioIn(room, legend->topLeft()), QSizeF(0, 0)));
        inset->update(QCPLayoutElement::upLayout);
    }
    if (parametersBox_ != nullptr && parametersBox_->visible()) {
        const QSizeF size = parametersBoxRect().size();
        parametersBox_->position->setCoords(ratioIn(area, at(placement_.box, size, legend)));
    }
}

// Lifts the top of the linear value axis until the highest pixel drawn lies
// below a band as high as the legend, and draws again; false when it cannot
// (a logarithmic axis, a band higher than half the plot, nothing drawn).
bool AnalysisWindow::makeRoomAbove(const QSizeF& legend, const std::vector<QPointF>& pixels) {
    QCPAxis* axis = grafica->yAxis;
    const QRectF area = grafica->axisRect()->rect();
    const double band = legend.height() + 24; // with the inset's margins and a marker's reach
    // Only for the ranges the window chose: a view the user moved stays.
    if (!roomAbove_ || axis->scaleType() != QCPAxis::stLinear || pixels.empty() ||
        band > area.height() / 2) {
        return false;
    }
    roomAbove_ = false;
    double top = area.bottom();
    for (const QPointF& p : pixels) {
        top = std::min(top, p.y());
    }
    const double highest = axis->pixelToCoord(top);
    const QCPRange range = axis->range();
    const double share = band / area.height(); // of the axis above the highest value
    const double upper = (highest - share * range.lower) / (1 - share);
    if (!(upper > range.upper * (1 + 1e-12) + 1e-300)) {
        return false;
    }
    axis->setRangeUpper(upper);
    grafica->replot(QCustomPlot::rpQueuedReplot);
    return true;
}

// A press on the legend or the box drags it, not the view.
void AnalysisWindow::plotPressed(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const QPointF at = event->position();
    const QRectF legend = grafica->legend->outerRect();
    if (parametersBox_ != nullptr && parametersBox_->visible() &&
        parametersBoxRect().contains(at)) {
        placement_.dragged = Placement::Dragged::Box;
        placement_.grip = at - parametersBoxRect().topLeft();
    } else if (grafica->legend->visible() && legend.contains(at)) {
        placement_.dragged = Placement::Dragged::Legend;
        placement_.grip = at - legend.topLeft();
    } else {
        return;
    }
    grafica->setInteraction(QCP::iRangeDrag, false);
}

void AnalysisWindow::plotMoved(QMouseEvent* event) {
    if (placement_.dragged == Placement::Dragged::Nothing) {
        return;
    }
    const QRectF area = grafica->axisRect()->rect();
    const bool legend = placement_.dragged == Placement::Dragged::Legend;
    const QSizeF size =
        legend ? QSizeF(grafica->legend->outerRect().size()) : parametersBoxRect().size();
    const QPointF ratio = ratioIn(area, keptWithin(area, size, event->position() - placement_.grip));
    (legend ? placement_.legend : placement_.box) = ratio;
    grafica->replot();
}

void AnalysisWindow::plotReleased() {
    if (placement_.dragged != Placement::Dragged::Nothing) {
        placement_.dragged = Placement::Dragged::Nothing;
        grafica->setInteraction(QCP::iRangeDrag, true);
    }
}

void AnalysisWindow::copiarGrafica_Click() {
    QApplication::clipboard()->setImage(grafica->toPixmap().toImage());
    say(QStringLiteral("Gráfica copiada al portapapeles como imagen."));
}

std::optional<QString> AnalysisWindow::largeImageQuestion() const {
    // Past this, an image takes hundreds of megabytes and seconds to draw.
    constexpr double kLargePixels = 25e6;
    const double pixels = static_cast<double>(anchoImagen->value()) * altoImagen->value();
    if (pixels <= kLargePixels) {
        return std::nullopt;
    }
    const double megabytes = pixels * 4.0 / 1e6; // 4 bytes a pixel while it is drawn
    return QStringLiteral("La imagen de %1 × %2 píxeles es muy grande: ocupa unos %3 MB de "
                          "memoria mientras se crea y tarda varios segundos, en los que la "
                          "ventana no responde. Para imprimir suele bastar con 300 ppp al "
                          "tamaño de la página (unos 2500 × 3500 píxeles para un A4). "
                          "¿Crearla de todos modos?")
        .arg(anchoImagen->value())
        .arg(altoImagen->value())
        .arg(static_cast<int>(std::lround(megabytes)));
}

std::optional<QByteArray> AnalysisWindow::pngBytes() {
    const double scale = resolucionImagen->value() / 96.0;
    const int width = std::max(1, static_cast<int>(std::lround(anchoImagen->value() / scale)));
    const int height = std::max(1, static_cast<int>(std::lround(altoImagen->value() / scale)));
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QImage image = grafica->toPixmap(width, height, scale).toImage();
    QApplication::restoreOverrideCursor();
    // Rounding may leave a pixel more or less: exactly the size asked.
    if (image.width() != anchoImagen->value() || image.height() != altoImagen->value()) {
        image = image.scaled(anchoImagen->value(), altoImagen->value(), Qt::IgnoreAspectRatio,
                             Qt::SmoothTransformation);
    }
    const int dotsPerMeter = static_cast<int>(std::lround(resolucionImagen->value() / 0.0254));
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (image.isNull() || !image.save(&buffer, "PNG")) {
        return std::nullopt;
    }
    return bytes;
}

QByteArray AnalysisWindow::svgBytes() {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator generator;
    generator.setOutputDevice(&buffer);
    // At the screen's resolution, so that the text is laid out at the size a
    // renderer draws it in, level with the legend's symbols.
    generator.setResolution(grafica->logicalDpiY());
    generator.setSize(grafica->size());
    generator.setViewBox(QRect(QPoint(0, 0), grafica->size()));
    generator.setTitle(tituloGrafica->text().isEmpty() ? windowTitle() : tituloGrafica->text());
    generator.setDescription(QStringLiteral("Gompertz"));
    QCPPainter painter;
    painter.begin(&generator);
    grafica->toPainter(&painter, grafica->width(), grafica->height());
    painter.end();
    // A renderer without the font named falls back to a sans-serif one, as
    // the screen does, not to its serif default.
    static const QRegularExpression family(QStringLiteral("font-family=\"([^\"]*)\""));
    return QString::fromUtf8(bytes)
        .replace(family, QStringLiteral("font-family=\"\\1, sans-serif\""))
        .toUtf8();
}

} // namespace gompertz::ui
