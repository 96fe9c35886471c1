// What the main window offers the analysis window, and the about box.
#include "analysis_window.h"
#include "manual_window.h"
#include "form1.h"

#include "data/examples.h"
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
        analysis_->placeBesideMain();
    }
    analysis_->refresh();
    analysis_->show();
    analysis_->raise();
    analysis_->activateWindow();
}

void Form1::openManual() {
    if (manual_ == nullptr) {
        manual_ = new ManualWindow(this);
    }
    manual_->show();
    manual_->raise();
    manual_->activateWindow();
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

namespace {

// The cells' texts as they read now, for a capture that changes nothing:
// neither a text nor a colour.
class ReadOnlyCells final : public data::CellTable {
  public:
    explicit ReadOnlyCells(Form1::TableTexts texts) : texts_(std::move(texts)) {}
    std::string text(data::Column column, int row) const override {
        return texts_[static_cast<std::size_t>(2 * row + (column == data::Column::X ? 0 : 1))];
    }
    void setText(data::Column, int, const std::string&) override {}
    void setBackground(data::Column, int, data::CellColour) override {}

  private:
    Form1::TableTexts texts_;
};

} // namespace

std::vector<fit::Point> Form1::capturedPoints() const {
    FitState read = state_;
    ReadOnlyCells cells(tableTexts());
    data::capturar(read, cells);
    std::vector<fit::Point> points;
    for (int i = 0; i < read.pointCount && i < data::kRows; ++i) {
        points.push_back({read.dataX[i], read.dataY[i]});
    }
    return points;
}

QString Form1::capturedRowsNote(int captured) const {
    QString note = captured == 1 ? QStringLiteral("El ajuste usa la fila 1 de la tabla.")
                                 : QStringLiteral("El ajuste usa las filas 1 a %1 de la tabla.")
                                       .arg(captured);
    const std::vector<int> left = data::rowsLeftOut(*this, captured);
    if (left.empty()) {
        return note;
    }
    QStringList rows;
    for (const int row : left) {
        rows << QString::number(row + 1);
    }
    const QString listed =
        rows.size() == 1 ? rows[0] : rows.mid(0, rows.size() - 1).join(", ") + " y " + rows.last();
    note += rows.size() == 1 ? QStringLiteral(" La fila %1 tiene números pero queda fuera")
                                   .arg(listed)
                             : QStringLiteral(" Las filas %1 tienen números pero quedan fuera")
                                   .arg(listed);
    note += QStringLiteral(": la fila %1 está vacía o no tiene dos números, y la tabla se lee "
                           "solo hasta la primera fila así (las de debajo quedan en gris).")
                .arg(captured + 1);
    return note;
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
