// The analysis plot's options: its title and axes' names, the residual
// panel, a logarithmic value axis, the fitted parameters on the plot, and
// the plot as an image on the clipboard or in a PNG or SVG file.
#include "analysis_window.h"

#include "fit/report.h"
#include "fit/statistics.h"
#include "model/number_text.h"

#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QClipboard>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QSvgGenerator>
#include <QVBoxLayout>

#include <qcustomplot.h>

#include <cmath>

namespace gompertz::ui {

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

void AnalysisWindow::applyPlotOptions() {
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
        parametersBox_->setPositionAlignment(Qt::AlignRight | Qt::AlignBottom);
        parametersBox_->position->setCoords(0.98, 0.96);
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
        grafica->yAxis->setTicker(QSharedPointer<QCPAxisTicker>::create());
    }
}

void AnalysisWindow::copiarGrafica_Click() {
    QApplication::clipboard()->setImage(grafica->toPixmap().toImage());
    say(QStringLiteral("Gráfica copiada al portapapeles como imagen."));
}

std::optional<QByteArray> AnalysisWindow::pngBytes() {
    const double scale = resolucionImagen->value() / 96.0;
    const int width = std::max(1, static_cast<int>(std::lround(anchoImagen->value() / scale)));
    const int height = std::max(1, static_cast<int>(std::lround(altoImagen->value() / scale)));
    QImage image = grafica->toPixmap(width, height, scale).toImage();
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
    generator.setSize(grafica->size());
    generator.setViewBox(QRect(QPoint(0, 0), grafica->size()));
    generator.setTitle(tituloGrafica->text().isEmpty() ? windowTitle() : tituloGrafica->text());
    generator.setDescription(QStringLiteral("Gompertz"));
    QCPPainter painter;
    painter.begin(&generator);
    grafica->toPainter(&painter, grafica->width(), grafica->height());
    painter.end();
    return bytes;
}

} // namespace gompertz::ui
