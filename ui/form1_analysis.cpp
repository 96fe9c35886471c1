// What the main window offers the analysis window, and the about box.
#include "analysis_window.h"
#include "form1.h"
#include "parameter_step.h"

#include "model/number_text.h"

#include <QAction>
#include <QMenuBar>
#include <QMessageBox>
#include <QScrollBar>

namespace gompertz::ui {

void Form1::openAnalysis() {
    if (state_.tableMode == kTrue) {
        captureTable();
    }
    if (analysis_ == nullptr) {
        analysis_ = new AnalysisWindow(*this);
    }
    analysis_->refresh();
    analysis_->show();
    analysis_->raise();
    analysis_->activateWindow();
}

void Form1::showAbout() {
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Acerca de Gompertz"),
                    QStringLiteral("<b>Gompertz %1</b><br>Ajuste de curvas de crecimiento de Gompertz."
                                   "<br><br>Licencia: GPL-3.0-or-later (GNU General Public "
                                   "License, versión 3 o posterior).<br><br>Bibliotecas: Qt %2, "
                                   "GNU Scientific Library (GSL) y QCustomPlot.")
                        .arg(QStringLiteral(GOMPERTZ_VERSION), QString::fromLatin1(qVersion())),
                    QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("acercaDe"));
    box.setTextFormat(Qt::RichText);
    box.exec();
}

std::vector<fit::Point> Form1::capturedPoints() const {
    std::vector<fit::Point> points;
    for (int i = 0; i < state_.pointCount && i < data::kRows; ++i) {
        points.push_back({state_.dataX[i], state_.dataY[i]});
    }
    return points;
}

fit::Fixed Form1::fixedParameters() const {
    const FixFlags flags = fixFlags();
    return {flags.checkA != 0, flags.checkC != 0, flags.checkT0 != 0};
}

fit::Parameters Form1::currentParameters() const {
    return {state_.a, state_.c, state_.t0};
}

std::optional<QString> Form1::outsideScrollRanges(const fit::Parameters& p) const {
    const char* names[] = {"a", "c", "t0"};
    for (std::size_t j = 0; j < editors_.size(); ++j) {
        const ParameterEditor& editor = editors_[j];
        const QScrollBar* bar = editor.bar;
        const double position = std::nearbyint(p[j] * editor.divisor - editor.offset * editor.divisor);
        if (!(position >= bar->minimum() && position <= bar->maximum())) {
            const double low = bar->minimum() / editor.divisor + editor.offset;
            const double high = bar->maximum() / editor.divisor + editor.offset;
            return QStringLiteral("%1 = %2 queda fuera del rango de su barra (%3 a %4)")
                .arg(QLatin1String(names[j]), QString::fromStdString(formatNumber(p[j], 6)),
                     QString::fromStdString(formatNumber(low)),
                     QString::fromStdString(formatNumber(high)));
        }
    }
    return std::nullopt;
}

void Form1::captureTable() {
    capturar();
}

void Form1::applyParameters(const fit::Parameters& p) {
    if (state_.busy == kTrue) {
        return;
    }
    ParameterStep step(*this, QStringLiteral("aplicación del ajuste"));
    if (state_.tableMode == kTrue) {
        Command5_Click(); // the graph view, with its capture and mean
        if (state_.tableMode == kTrue) {
            return;
        }
    }
    commitParameters(p);
}

} // namespace gompertz::ui
