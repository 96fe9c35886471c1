// What the main window offers the analysis window, and the about box.
#include "analysis_window.h"
#include "form1.h"
#include "parameter_step.h"

#include <QAction>
#include <QMenuBar>
#include <QMessageBox>

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
                                   "MINPACK, GNU Scientific Library (GSL) y QCustomPlot.")
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
