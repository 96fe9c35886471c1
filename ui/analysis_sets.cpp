// The analysis window's data sets: the list, adding and removing files,
// the weighting, and the comparison of two sets.
#include "analysis_window.h"

#include "data/data_sets.h"
#include "form1.h"
#include "model/number_text.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include <qcustomplot.h>

#include <algorithm>

namespace gompertz::ui {
namespace {

// Each set's own colour, and a marker of its own for prints in grey.
const QColor kColours[] = {QColor(0, 0, 128),   QColor(0, 128, 0),   QColor(200, 100, 0),
                           QColor(128, 0, 128), QColor(0, 128, 128), QColor(90, 90, 90),
                           QColor(180, 0, 90),  QColor(60, 60, 220)};
const QCPScatterStyle::ScatterShape kShapes[] = {
    QCPScatterStyle::ssDisc,    QCPScatterStyle::ssSquare,   QCPScatterStyle::ssTriangle,
    QCPScatterStyle::ssDiamond, QCPScatterStyle::ssCross,    QCPScatterStyle::ssPlus,
    QCPScatterStyle::ssStar,    QCPScatterStyle::ssTriangleInverted};

QString number(double value, int digits) {
    return QString::fromStdString(formatNumber(value, digits));
}

QIcon swatch(const QColor& colour) {
    QPixmap pixmap(14, 14);
    pixmap.fill(colour);
    return QIcon(pixmap);
}

std::vector<fit::MeanRow> meanRowsOf(const std::vector<data::MeanRow>& rows) {
    std::vector<fit::MeanRow> out;
    out.reserve(rows.size());
    for (const data::MeanRow& row : rows) {
        out.push_back({row.t, row.mean, row.deviation, row.count});
    }
    return out;
}

} // namespace

QWidget* AnalysisWindow::createSets() {
    auto* panel = new QWidget(this);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* caption = new QLabel(QStringLiteral("&Conjuntos de datos:"), panel);
    conjuntos = new QListWidget(panel);
    conjuntos->setObjectName(QStringLiteral("conjuntos"));
    conjuntos->setSelectionMode(QAbstractItemView::ExtendedSelection);
    conjuntos->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    conjuntos->setToolTip(QStringLiteral(
        "La casilla muestra u oculta el conjunto en la gráfica; doble clic cambia su nombre. "
        "«Ajuste óptimo» ajusta el conjunto seleccionado; con dos seleccionados (Ctrl+clic), "
        "«Comparar conjuntos» los compara."));
    caption->setBuddy(conjuntos);
    auto* table = new QListWidgetItem(swatch(sets_.front().colour), sets_.front().name);
    table->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    table->setCheckState(Qt::Checked);
    conjuntos->addItem(table);
    conjuntos->setCurrentRow(0);
    connect(conjuntos, &QListWidget::currentRowChanged, this, &AnalysisWindow::setChosen);
    connect(conjuntos, &QListWidget::itemChanged, this, &AnalysisWindow::setEdited);
    layout->addWidget(caption);
    layout->addWidget(conjuntos, 1);
    const auto button = [&](QPushButton*& target, const char* name, const QString& text,
                            void (AnalysisWindow::*handler)()) {
        target = new QPushButton(text, panel);
        target->setObjectName(QString::fromLatin1(name));
        connect(target, &QPushButton::clicked, this, handler);
        layout->addWidget(target);
    };
    button(anadirDatos, "anadirDatos", QStringLiteral("Añadir datos…"),
           &AnalysisWindow::anadirDatos_Click);
    anadirDatos->setToolTip(QStringLiteral(
        "Lee un archivo de t y una o más columnas de valores (réplicas), o de t, media, DE y n, "
        "sin tocar la tabla de la ventana principal"));
    button(quitarConjunto, "quitarConjunto", QStringLiteral("Quitar"),
           &AnalysisWindow::quitarConjunto_Click);
    button(compararConjuntos, "compararConjuntos", QStringLiteral("Comparar conjuntos"),
           &AnalysisWindow::compararConjuntos_Click);
    compararConjuntos->setToolTip(QStringLiteral(
        "Con dos conjuntos seleccionados: ¿sigue una misma curva a los dos? Prueba F de la "
        "suma de cuadrados extra y diferencias de cada parámetro"));
    panel->setFixedWidth(220);
    return panel;
}

QWidget* AnalysisWindow::createSetComparison() {
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);
    QStringList columns;
    for (const std::string& column : fit::setComparisonColumns()) {
        columns << QString::fromStdString(column);
    }
    comparacionConjuntos = new QTableWidget(0, static_cast<int>(columns.size()), page);
    comparacionConjuntos->setObjectName(QStringLiteral("comparacionConjuntos"));
    comparacionConjuntos->setHorizontalHeaderLabels(columns);
    comparacionConjuntos->verticalHeader()->hide();
    comparacionConjuntos->setEditTriggers(QAbstractItemView::NoEditTriggers);
    comparacionConjuntos->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    comparacionConjuntos->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    // Room for the common curve's row and the largest model's parameters and
    // read-outs, rows as high as the results'.
    const int rowHeight = comparacionConjuntos->fontMetrics().lineSpacing() + 6;
    comparacionConjuntos->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    comparacionConjuntos->verticalHeader()->setDefaultSectionSize(rowHeight);
    comparacionConjuntos->setFixedHeight(comparacionConjuntos->horizontalHeader()->sizeHint().height() +
                                         8 * rowHeight + 2 * comparacionConjuntos->frameWidth() + 2);
    layout->addWidget(comparacionConjuntos);
    conclusionConjuntos = new QLabel(page);
    conclusionConjuntos->setObjectName(QStringLiteral("conclusionConjuntos"));
    conclusionConjuntos->setTextFormat(Qt::PlainText);
    conclusionConjuntos->setWordWrap(true);
    conclusionConjuntos->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(conclusionConjuntos);
    return page;
}

void AnalysisWindow::addGraphs(DataSet& data) {
    const std::size_t index = sets_.empty() ? 0 : sets_.size() - 1;
    data.curveGraph = grafica->addGraph();
    data.curveGraph->setPen(QPen(index == 0 ? kTableCurve() : data.colour, 2));
    data.curveGraph->removeFromLegend();
    data.pointsGraph = grafica->addGraph();
    data.pointsGraph->setLineStyle(QCPGraph::lsNone);
    const auto shape = kShapes[index % std::size(kShapes)];
    data.pointsGraph->setScatterStyle(QCPScatterStyle(shape, data.colour, data.colour, 7));
    data.pointsGraph->setName(data.name);
}

fit::Weighting AnalysisWindow::weighting() const {
    switch (ponderacion->currentIndex()) {
    case 1:
        return fit::Weighting::RelativeValue;
    case 2:
        return fit::Weighting::Deviation;
    default:
        return fit::Weighting::None;
    }
}

bool AnalysisWindow::weighSet(DataSet& data) {
    auto weighted = data.means.empty() ? fit::weightedValues(data.values, weighting())
                                       : fit::weightedMeans(data.means, weighting());
    if (const auto* problem = std::get_if<std::string>(&weighted)) {
        messages_->show(QStringLiteral("«%1»: %2").arg(data.name, QString::fromStdString(*problem)));
        return false;
    }
    data.points = std::get<std::vector<fit::Point>>(std::move(weighted));
    return true;
}

std::optional<QString> AnalysisWindow::addSet(const QString& path) {
    if (static_cast<int>(sets_.size()) >= kMaxSets) {
        return QStringLiteral("Ya hay %1 conjuntos, el máximo: quite alguno antes de añadir otro.")
            .arg(kMaxSets);
    }
    const auto read = data::readSet(path.toStdString());
    if (const auto* problem = std::get_if<std::string>(&read)) {
        return QString::fromStdString(*problem);
    }
    const data::SetFile& file = std::get<data::SetFile>(read);
    DataSet added;
    added.id = nextId_++;
    // The file's name without its extension: the sentences name the set.
    added.name = QFileInfo(path).completeBaseName();
    if (added.name.isEmpty()) {
        added.name = QFileInfo(path).fileName();
    }
    // The first colour no other set has.
    for (const QColor& colour : kColours) {
        if (std::none_of(sets_.begin(), sets_.end(),
                         [&](const DataSet& d) { return d.colour == colour; })) {
            added.colour = colour;
            break;
        }
    }
    for (const data::Measurement& m : file.values) {
        added.values.push_back({m.t, m.value, 1.0});
    }
    added.means = meanRowsOf(file.means);
    for (const fit::MeanRow& row : added.means) {
        added.points.push_back({row.t, row.mean, 1.0});
    }
    if (added.means.empty()) {
        added.points = added.values;
    }
    sets_.push_back(std::move(added));
    addGraphs(sets_.back());
    auto* item = new QListWidgetItem(swatch(sets_.back().colour), sets_.back().name);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable |
                   Qt::ItemIsEditable);
    item->setCheckState(Qt::Checked);
    {
        const QSignalBlocker quiet(conjuntos);
        conjuntos->addItem(item);
    }
    conjuntos->setCurrentRow(conjuntos->count() - 1, QItemSelectionModel::ClearAndSelect);
    return std::nullopt;
}

void AnalysisWindow::anadirDatos_Click() {
    if (static_cast<int>(sets_.size()) >= kMaxSets) {
        messages_->show(*addSet(QString()));
        return;
    }
    const QString path = files_->openFileName(
        this, QStringLiteral("Añadir datos"),
        {QStringLiteral("Datos (*.csv *.txt *.tsv *.dat)"), QStringLiteral("Todos los archivos (*)")});
    if (path.isEmpty()) {
        return;
    }
    if (const auto problem = addSet(path)) {
        messages_->show(*problem);
    }
}

void AnalysisWindow::quitarConjunto_Click() {
    const int row = conjuntos->currentRow();
    if (row <= 0) {
        messages_->show(QStringLiteral(
            "La tabla principal no se puede quitar: seleccione en la lista el conjunto que "
            "quiere quitar."));
        return;
    }
    DataSet& gone = sets_[static_cast<std::size_t>(row)];
    const int goneId = gone.id;
    grafica->removeGraph(gone.pointsGraph);
    grafica->removeGraph(gone.curveGraph);
    selected_ = 0; // while the list changes
    sets_.erase(sets_.begin() + row);
    {
        const QSignalBlocker quiet(conjuntos);
        delete conjuntos->takeItem(row);
    }
    clearSetComparisonOf(goneId);
    conjuntos->setCurrentRow(row - 1, QItemSelectionModel::ClearAndSelect);
    setChosen();
}

// Shows the chosen set's results, or none.
void AnalysisWindow::setChosen() {
    const int row = conjuntos->currentRow();
    selected_ = row >= 0 && row < static_cast<int>(sets_.size()) ? row : 0;
    predicciones->setRowCount(0);
    clearComparison();
    resultados->setRowCount(0);
    resumen->clear();
    if (set().fit) {
        showResults();
    } else if (set().start) {
        showStart();
    }
    updateApply();
    replot();
}

void AnalysisWindow::setEdited(QListWidgetItem* item) {
    const int row = conjuntos->row(item);
    if (row < 0 || row >= static_cast<int>(sets_.size())) {
        return;
    }
    DataSet& data = sets_[static_cast<std::size_t>(row)];
    const QString name = item->text().simplified();
    if (name.isEmpty()) {
        const QSignalBlocker quiet(conjuntos);
        item->setText(data.name); // a set keeps a name
    } else if (name != data.name) {
        data.name = name;
        data.pointsGraph->setName(name);
        clearSetComparisonOf(data.id); // it names the sets
    }
    replot();
}

void AnalysisWindow::clearSetComparison() {
    setComparison_.reset();
    comparacionConjuntos->setRowCount(0);
    conclusionConjuntos->clear();
    if (copiar != nullptr) {
        updateApply();
    }
}

void AnalysisWindow::clearSetComparisonOf(int id) {
    if (setComparison_ && (comparedIds_[0] == id || comparedIds_[1] == id)) {
        clearSetComparison();
    }
}

void AnalysisWindow::compararConjuntos_Click() {
    std::vector<int> rows;
    for (const QListWidgetItem* item : conjuntos->selectedItems()) {
        rows.push_back(conjuntos->row(item));
    }
    std::sort(rows.begin(), rows.end());
    if (rows.size() != 2) {
        messages_->show(QStringLiteral(
            "Seleccione dos conjuntos en la lista (Ctrl+clic en el segundo) para compararlos."));
        return;
    }
    DataSet& first = sets_[static_cast<std::size_t>(rows[0])];
    DataSet& second = sets_[static_cast<std::size_t>(rows[1])];
    if (busy_ || !weighSet(first) || !weighSet(second)) {
        return;
    }
    const fit::GrowthModel* chosen = &model();
    const std::vector<fit::Point> firstPoints = first.points;
    const std::vector<fit::Point> secondPoints = second.points;
    const fit::Fixed fixed = main_.fixedParameters();
    const fit::Parameters start = model().fromGompertz(main_.currentParameters());
    const QString names[2] = {first.name, second.name};
    const int ids[2] = {first.id, second.id};
    const fit::Weighting weighed = weighting();
    run(firstPoints.size() + secondPoints.size(),
        QStringLiteral("Comparando «%1» y «%2»…").arg(names[0], names[1]),
        [=, this](const std::atomic<bool>&, const Progress&) -> Finish {
            fit::LeastSquares solver;
            fit::SetComparison comparison =
                fit::compareSets(solver, *chosen, firstPoints, secondPoints, fixed, start,
                                 names[0].toStdString(), names[1].toStdString());
            comparison.first.weighting = comparison.second.weighting = weighed;
            return [this, comparison, names, ids] {
                if (indexOfSet(ids[0]) >= 0 && indexOfSet(ids[1]) >= 0) {
                    showSetComparison(comparison, names, ids);
                }
            };
        });
}

void AnalysisWindow::showSetComparison(const fit::SetComparison& comparison,
                                       const QString (&names)[2], const int (&ids)[2]) {
    if (comparison.status != fit::Status::Ok) {
        messages_->show(QString::fromStdString(comparison.failure));
        return;
    }
    comparedNames_[0] = names[0];
    comparedNames_[1] = names[1];
    comparedIds_[0] = ids[0];
    comparedIds_[1] = ids[1];
    setComparison_ = comparison;
    const fit::SetComparison& c = *setComparison_;
    std::vector<QStringList> lines;
    lines.push_back({QStringLiteral("Una curva para ambos conjuntos"), QString(), QString(),
                     QString(), QString(), c.common ? number(c.common->f, 5) : QString(),
                     c.common ? number(c.common->p, 4) : QString()});
    for (const fit::SetDifference& d : c.differences) {
        const auto optional = [](const std::optional<double>& v) {
            return v ? number(*v, 6) : QStringLiteral("—");
        };
        lines.push_back({QString::fromStdString(d.label), number(d.difference, 6),
                         optional(d.standardError), optional(d.lower), optional(d.upper),
                         d.test ? number(d.test->f, 5) : QString(),
                         d.test ? number(d.test->p, 4) : QString()});
    }
    comparacionConjuntos->setRowCount(static_cast<int>(lines.size()));
    for (int r = 0; r < static_cast<int>(lines.size()); ++r) {
        for (int col = 0; col < lines[static_cast<std::size_t>(r)].size(); ++col) {
            comparacionConjuntos->setItem(
                r, col, new QTableWidgetItem(lines[static_cast<std::size_t>(r)][col]));
        }
    }
    conclusionConjuntos->setText(
        QString::fromStdString(c.sentence) +
        QStringLiteral("\nDiferencia: «%1» menos «%2». Modelo: %3; varianza común de los dos "
                       "conjuntos (gl = %4); F de la suma de cuadrados extra frente a una curva "
                       "para cada conjunto; para las magnitudes derivadas, t de Wald (F = t²).")
            .arg(names[1], names[0], QString::fromUtf8(model().name()))
            .arg(c.dfSeparate));
    pestanas->setCurrentIndex(3);
    updateApply();
}

// Every set's block, then the comparison when there is one; the table's
// alone is written as it always was.
std::string AnalysisWindow::setsCsv(char separator, bool decimalComma, int digits) const {
    std::string out;
    for (std::size_t i = 0; i < sets_.size(); ++i) {
        const DataSet& data = sets_[i];
        out += fit::setLine(data.name.toStdString(), separator);
        if (data.fit || data.start || i == 0) {
            const fit::Parameters shown =
                data.fit     ? data.fit->parameters
                : data.start ? *data.start
                             : model().fromGompertz(main_.currentParameters());
            out += fit::csvText(model(),
                                data.fit ? std::optional(fit::Analysis{*data.fit, data.intervals,
                                                                       data.warnings})
                                         : std::nullopt,
                                shown, main_.fixedParameters(), data.points, separator,
                                decimalComma, digits);
        } else {
            out += fit::pointsCsv(data.points, separator, decimalComma, digits);
        }
        out += "\r\n";
    }
    if (setComparison_) {
        out += fit::setComparisonCsv(*setComparison_, model(), comparedNames_[0].toStdString(),
                                     comparedNames_[1].toStdString(), separator, decimalComma,
                                     digits);
    }
    return out;
}

} // namespace gompertz::ui
