#include "analysis_window.h"

#include "analysis/set_analysis.h"

#include "data/data_file.h"
#include "fit/report.h"
#include "fit/prediction.h"
#include "fit/statistics.h"
#include "fit/warnings.h"
#include "form1.h"
#include "model/errors.h"
#include "model/number_text.h"

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QCheckBox>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollArea>
#include <QScreen>
#include <QSplitter>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QTableWidget>
#include <QThread>
#include <QTimer>
#include <QPageSize>
#include <QPdfWriter>
#include <QVBoxLayout>

#include <qcustomplot.h>

#include <algorithm>
#include <cmath>

namespace gompertz::ui {
namespace {

const QStringList kPredictionColumns = {
    QStringLiteral("Consulta"),         QStringLiteral("Resultado"),
    QStringLiteral("Error típico"),     QStringLiteral("IC 95 % inferior"),
    QStringLiteral("IC 95 % superior"), QStringLiteral("IP 95 % inferior"),
    QStringLiteral("IP 95 % superior"), QStringLiteral("Nota")};
const QString kExtrapolation = QStringLiteral("extrapolación");
const QString kBeyondRange =
    QStringLiteral("fuera del alcance de los números del ordenador: pruebe otras unidades");

const QStringList kComparisonColumns = {
    QStringLiteral("Modelo"), QStringLiteral("Parámetros"), QStringLiteral("SSE"),
    QStringLiteral("AICc"),   QStringLiteral("ΔAICc"),     QStringLiteral("Peso de Akaike"),
    QStringLiteral("F"),      QStringLiteral("p")};
constexpr int kCurveSamples = 200;

// Spreadsheets read a CSV file's accents as UTF-8 only when it starts with
// the mark.
const QByteArray kUtf8Mark = QByteArrayLiteral("\xEF\xBB\xBF");

const QString kPngFilter = QStringLiteral("Imagen PNG (*.png)");
const QString kPdfFilter = QStringLiteral("Documento PDF (*.pdf)");
const QString kSvgFilter = QStringLiteral("Imagen SVG (*.svg)");
const QString kCsvSemicolonFilter = QStringLiteral("CSV con «;» y coma decimal (*.csv)");
const QString kCsvCommaFilter = QStringLiteral("CSV con «,» y punto decimal (*.csv)");

QString number(double value, int digits) {
    return QString::fromStdString(formatNumber(value, digits));
}

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

QStringList qs(const std::vector<std::string>& texts) {
    QStringList out;
    for (const std::string& text : texts) {
        out << qs(text);
    }
    return out;
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
    DataSet table;
    table.name = QStringLiteral("Tabla principal");
    table.colour = QColor(0, 0, 128); // the main window's navy
    sets_.push_back(std::move(table));
    createWidgets(); // draws the table's set
    replotTimer_ = new QTimer(this);
    replotTimer_->setSingleShot(true);
    connect(replotTimer_, &QTimer::timeout, this, [this] { replot(); });
    connect(&main_, &Form1::dataCaptured, this, &AnalysisWindow::refresh);
    // The table's set is the table as it is now: every change of a cell,
    // typed, pasted, opened or undone, reaches it.
    for (int row = 0; row < data::kRows; ++row) {
        for (const char* column : {"xv_%1", "yv_%1"}) {
            if (auto* cell = main_.findChild<QLineEdit*>(QString::fromLatin1(column).arg(row))) {
                connect(cell, &QLineEdit::textChanged, this, &AnalysisWindow::refresh);
            }
        }
    }
    resize(980, 860);
    refresh();
    updateApply();
}

void AnalysisWindow::placeBesideMain() {
    const QScreen* screen = main_.screen();
    if (screen == nullptr) {
        return;
    }
    const QRect available = screen->availableGeometry();
    // Room for the frame a window manager adds around the client area.
    constexpr int kFrame = 40;
    constexpr int kBorders = 8;
    // Narrower than this, the window would scroll more than it shows.
    constexpr int kNarrowest = 520;
    const QSize wanted(980, 860);
    const int height = std::min(wanted.height(), available.height() - kFrame);
    QRect beside = main_.frameGeometry();
    const int room = available.width() - beside.width() - kBorders;
    if (room >= kNarrowest) {
        // Side by side: the main window moves left as far as the pair needs.
        const int width = std::min(wanted.width(), room);
        const int pair = beside.width() + width + kBorders;
        const int left = std::clamp(beside.left(), available.left(), available.right() + 1 - pair);
        if (left != beside.left()) {
            main_.move(left, beside.top());
            beside.moveLeft(left);
        }
        resize(width, height);
        move(beside.right() + 1, std::clamp(beside.top(), available.top(),
                                            std::max(available.top(),
                                                     available.bottom() - height - kFrame)));
        return;
    }
    // No room beside it: over the main window's right side, within the screen.
    const QSize size(std::min(wanted.width(), available.width() - kBorders), height);
    resize(size);
    int x = beside.right() + 1;
    if (x + size.width() + kBorders > available.right()) { // as far right as it goes
        x = std::max(available.left(), available.right() - size.width() - kBorders);
    }
    const int y = std::clamp(beside.top(), available.top(),
                             std::max(available.top(), available.bottom() - size.height() - kFrame));
    move(x, y);
}

void AnalysisWindow::setMessageSink(std::unique_ptr<MessageSink> sink) {
    messages_ = std::move(sink);
}

void AnalysisWindow::setFileChooser(std::unique_ptr<FileChooser> chooser) {
    files_ = std::move(chooser);
}

// What each control does, in a sentence, where the pointer rests on it.
void AnalysisWindow::addToolTips() {
    const std::pair<QWidget*, const char*> tips[] = {
        {modelo, "La curva que se ajusta: Gompertz, Gompertz con línea base, logística o Richards"},
        {banda, "La banda alrededor de la curva: dónde está la curva (confianza) o dónde caerá una "
                "medida nueva (predicción), al 95 %"},
        {ponderacion, "Cómo pesa cada valor en la suma de cuadrados: igual, 1/y² (error relativo "
                      "constante) o 1/DE² (la dispersión de las réplicas)"},
        {grafica, "Los puntos, la curva, la banda y los residuos. Arrastre para mover, la rueda "
                  "acerca o aleja, doble clic vuelve a la vista entera"},
        {valoresIniciales, "Muestra la curva de la que parte el ajuste, sin ajustar"},
        {ajusteOptimo, "El óptimo de mínimos cuadrados del conjunto seleccionado, con errores "
                       "típicos e intervalos del 95 %"},
        {copiar, "Copia los resultados como texto y como tabla para un procesador de textos"},
        {exportar, "Guarda la gráfica (PNG, PDF, SVG) o los datos y resultados (CSV)"},
        {compararModelos, "Ajusta los cuatro modelos y dice cuál prefieren los datos (AICc)"},
        {textoMetodos, "Copia un párrafo en español que describe el análisis para un informe"},
        {cifrasCompletas, "Copia los valores con 15 cifras significativas en lugar de como se ven"},
        {resultados, "Parámetros y magnitudes leídas en la curva, con error típico e intervalo "
                     "del 95 % por verosimilitud perfilada"},
        {resumen, "n, grados de libertad, suma de cuadrados, s, R², el modelo y los avisos"},
        {comparacion, "Cada modelo con su suma de cuadrados, AICc, ΔAICc, peso de Akaike y la "
                      "prueba F frente a Gompertz"},
        {veredicto, "El modelo que prefieren los datos, y con qué fuerza"},
        {tiempo, "Escriba un t y pulse Intro: el valor de la curva allí con sus intervalos"},
        {valor, "Escriba un valor y pulse Intro: el t en que la curva lo alcanza"},
        {predicciones, "Las predicciones pedidas, con intervalos de confianza (IC) y de "
                       "predicción (IP) del 95 %"},
        {quitarConjunto, "Quita de la lista el conjunto seleccionado (no la tabla principal)"},
        {comparacionConjuntos, "Diferencias entre los dos conjuntos (segundo menos primero) con "
                               "su intervalo del 95 % y la prueba de cada una"},
        {conclusionConjuntos, "La comparación de los dos conjuntos en palabras"},
        {estado, "Confirma por unos segundos lo que se acaba de copiar"},
        {progreso, "Cuánto lleva el cálculo de un conjunto largo; la ventana sigue respondiendo"},
        {cancelar, "Detiene el cálculo en curso; los resultados que había se quedan como estaban"},
        {pestanas, "Resultados, comparación de modelos, predicciones, comparación de conjuntos y "
                   "opciones de la gráfica"},
    };
    for (const auto& [widget, tip] : tips) {
        widget->setToolTip(QString::fromUtf8(tip));
    }
}

// Everything scrolls within the window, so that each control can be reached
// on a small screen; a splitter shares the height between the plot and the
// results.
void AnalysisWindow::createWidgets() {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* scroller = new QScrollArea(this);
    scroller->setObjectName(QStringLiteral("desplazamiento"));
    scroller->setWidgetResizable(true);
    scroller->setFrameShape(QFrame::NoFrame);
    scroller->setFocusPolicy(Qt::NoFocus); // not a stop of the tab order
    outer->addWidget(scroller);
    auto* content = new QWidget;
    content->setObjectName(QStringLiteral("contenido"));
    auto* layout = new QVBoxLayout(content);
    auto* models = new QHBoxLayout;
    auto* caption = new QLabel(QStringLiteral("Modelo:"), this);
    modelo = new QComboBox(this);
    modelo->setObjectName(QStringLiteral("modelo"));
    for (const fit::GrowthModel* m : fit::growthModels()) {
        modelo->addItem(QString::fromUtf8(m->name()));
    }
    caption->setBuddy(modelo);
    connect(modelo, &QComboBox::currentIndexChanged, this, &AnalysisWindow::modelChanged);
    models->addWidget(caption);
    models->addWidget(modelo);
    models->addStretch(1);
    auto* bandCaption = new QLabel(QStringLiteral("Banda:"), this);
    banda = new QComboBox(this);
    banda->setObjectName(QStringLiteral("banda"));
    banda->addItems({QStringLiteral("Confianza"), QStringLiteral("Predicción")});
    bandCaption->setBuddy(banda);
    connect(banda, &QComboBox::currentIndexChanged, this, [this] { replot(); });
    models->addWidget(bandCaption);
    models->addWidget(banda);
    auto* weightCaption = new QLabel(QStringLiteral("Ponderación:"), this);
    ponderacion = new QComboBox(this);
    ponderacion->setObjectName(QStringLiteral("ponderacion"));
    ponderacion->addItems(
        {QStringLiteral("Sin ponderar"), QStringLiteral("1/y²"), QStringLiteral("1/DE²")});
    ponderacion->setItemData(1, QStringLiteral("Error relativo constante: cada valor pesa 1/y²"),
                             Qt::ToolTipRole);
    ponderacion->setItemData(
        2, QStringLiteral("Cada valor pesa 1/DE², la DE de las réplicas en su t o la columna DE"),
        Qt::ToolTipRole);
    weightCaption->setBuddy(ponderacion);
    connect(ponderacion, &QComboBox::currentIndexChanged, this, [this] {
        clearAllResults();
        replot();
    });
    models->addWidget(weightCaption);
    models->addWidget(ponderacion);
    layout->addLayout(models);
    createPlot();
    auto* divisor = new QSplitter(Qt::Vertical, content);
    divisor->setObjectName(QStringLiteral("divisor"));
    divisor->setChildrenCollapsible(false);
    auto* upper = new QWidget(divisor);
    auto* plotAndSets = new QHBoxLayout(upper);
    plotAndSets->setContentsMargins(0, 0, 0, 0);
    plotAndSets->addWidget(grafica, 1);
    plotAndSets->addWidget(createSets());
    auto* lower = new QWidget(divisor);
    auto* lowerLayout = new QVBoxLayout(lower);
    lowerLayout->setContentsMargins(0, 0, 0, 0);
    divisor->addWidget(upper);
    divisor->addWidget(lower);
    divisor->setStretchFactor(0, 3);
    divisor->setStretchFactor(1, 2);
    layout->addWidget(divisor, 1);

    // Fitting in one row, what goes to a report in the next.
    auto* buttons = new QHBoxLayout;
    auto* reportButtons = new QHBoxLayout;
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
    button(compararModelos, "compararModelos", QStringLiteral("Comparar modelos"),
           &AnalysisWindow::compararModelos_Click);
    buttons->addStretch(1);
    auto* const fitting = buttons;
    buttons = reportButtons;
    button(copiar, "copiar", QStringLiteral("Copiar resultados"), &AnalysisWindow::copiar_Click);
    cifrasCompletas = new QCheckBox(QStringLiteral("15 cifras"), this);
    cifrasCompletas->setObjectName(QStringLiteral("cifrasCompletas"));
    buttons->addWidget(cifrasCompletas);
    button(textoMetodos, "textoMetodos", QStringLiteral("Texto de métodos"),
           &AnalysisWindow::textoMetodos_Click);
    button(exportar, "exportar", QStringLiteral("Exportar…"), &AnalysisWindow::exportar_Click);
    // What a click did where nothing shows it (a copy), for a few seconds.
    estado = new QLabel(this);
    estado->setObjectName(QStringLiteral("estado"));
    estado->setTextFormat(Qt::PlainText);
    estadoTimer_ = new QTimer(this);
    estadoTimer_->setSingleShot(true);
    connect(estadoTimer_, &QTimer::timeout, estado, &QLabel::clear);
    buttons->addWidget(estado, 1);
    progreso = new QProgressBar(this);
    progreso->setObjectName(QStringLiteral("progreso"));
    progreso->setMaximumWidth(160);
    progreso->hide();
    buttons->addWidget(progreso);
    cancelar = new QPushButton(QStringLiteral("Cancelar"), this);
    cancelar->setObjectName(QStringLiteral("cancelar"));
    connect(cancelar, &QPushButton::clicked, this, &AnalysisWindow::cancelar_Click);
    cancelar->hide();
    buttons->addWidget(cancelar);
    lowerLayout->addLayout(fitting);
    lowerLayout->addLayout(reportButtons);

    auto* results = new QWidget(this);
    auto* resultsLayout = new QVBoxLayout(results);
    resultados = new QTableWidget(0, static_cast<int>(fit::resultColumns().size()), results);
    resultados->setObjectName(QStringLiteral("resultados"));
    resultados->setHorizontalHeaderLabels(qs(fit::resultColumns()));
    resultados->setEditTriggers(QAbstractItemView::NoEditTriggers);
    resultados->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    resultados->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    // Room for the longest model's rows, so that nothing moves when they come.
    const int rowHeight = resultados->fontMetrics().lineSpacing() + 6;
    resultados->verticalHeader()->setDefaultSectionSize(rowHeight);
    resultados->setFixedHeight(resultados->horizontalHeader()->sizeHint().height() +
                               7 * rowHeight + 2 * resultados->frameWidth() + 2);
    resultsLayout->addWidget(resultados, 0);
    resumen = new QLabel(results);
    resumen->setObjectName(QStringLiteral("resumen"));
    resumen->setTextFormat(Qt::PlainText);
    resumen->setTextInteractionFlags(Qt::TextSelectableByMouse);
    resumen->setWordWrap(true); // warnings are whole sentences
    resumen->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // A summary of any length scrolls within a fixed height: nothing else in
    // the window moves when the results come.
    auto* summaryArea = new QScrollArea(results);
    summaryArea->setWidget(resumen);
    summaryArea->setWidgetResizable(true);
    summaryArea->setFrameShape(QFrame::NoFrame);
    summaryArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    summaryArea->setFixedHeight(6 * resumen->fontMetrics().lineSpacing() + 4);
    summaryArea->viewport()->setAutoFillBackground(false); // the page's own colour
    resumen->setAutoFillBackground(false);
    resultsLayout->addWidget(summaryArea);

    pestanas = new QTabWidget(this);
    pestanas->setObjectName(QStringLiteral("pestanas"));
    pestanas->addTab(results, QStringLiteral("Resultados"));
    pestanas->addTab(createComparison(), QStringLiteral("Comparación de modelos"));
    pestanas->addTab(createPredictions(), QStringLiteral("Predicciones"));
    pestanas->addTab(createSetComparison(), QStringLiteral("Comparación de conjuntos"));
    pestanas->addTab(createPlotOptions(), QStringLiteral("Gráfica"));
    addToolTips();
    lowerLayout->addWidget(pestanas, 1);
    scroller->setWidget(content);
}

QWidget* AnalysisWindow::createPredictions() {
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);
    auto* questions = new QHBoxLayout;
    const auto field = [&](QLineEdit*& target, const char* name, const QString& caption,
                           const QString& hint, void (AnalysisWindow::*handler)()) {
        auto* label = new QLabel(caption, page);
        target = new QLineEdit(page);
        target->setObjectName(QString::fromLatin1(name));
        target->setPlaceholderText(hint);
        label->setBuddy(target);
        connect(target, &QLineEdit::returnPressed, this, handler);
        questions->addWidget(label);
        questions->addWidget(target, 1);
    };
    field(tiempo, "tiempo", QStringLiteral("Valor en t ="),
          QStringLiteral("un t, y Intro"), &AnalysisWindow::tiempo_Return);
    field(valor, "valor", QStringLiteral("t en que la curva vale"),
          QStringLiteral("un valor, y Intro"), &AnalysisWindow::valor_Return);
    layout->addLayout(questions);
    predicciones = new QTableWidget(0, static_cast<int>(kPredictionColumns.size()), page);
    predicciones->setObjectName(QStringLiteral("predicciones"));
    predicciones->setHorizontalHeaderLabels(kPredictionColumns);
    predicciones->verticalHeader()->hide();
    predicciones->setEditTriggers(QAbstractItemView::NoEditTriggers);
    predicciones->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    predicciones->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(predicciones);
    return page;
}

QWidget* AnalysisWindow::createComparison() {
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);
    comparacion = new QTableWidget(0, static_cast<int>(kComparisonColumns.size()), page);
    comparacion->setObjectName(QStringLiteral("comparacion"));
    comparacion->setHorizontalHeaderLabels(kComparisonColumns);
    comparacion->verticalHeader()->hide();
    comparacion->setEditTriggers(QAbstractItemView::NoEditTriggers);
    comparacion->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    comparacion->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    const int rowHeight = comparacion->fontMetrics().lineSpacing() + 6;
    comparacion->verticalHeader()->setDefaultSectionSize(rowHeight);
    comparacion->setFixedHeight(comparacion->horizontalHeader()->sizeHint().height() +
                                static_cast<int>(fit::growthModels().size()) * rowHeight +
                                2 * comparacion->frameWidth() + 2);
    layout->addWidget(comparacion);
    veredicto = new QLabel(page);
    veredicto->setObjectName(QStringLiteral("veredicto"));
    veredicto->setTextFormat(Qt::PlainText);
    veredicto->setWordWrap(true);
    veredicto->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    veredicto->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(veredicto);
    return page;
}

const fit::GrowthModel& AnalysisWindow::model() const {
    const int index = std::max(0, modelo->currentIndex());
    return *fit::growthModels().at(static_cast<std::size_t>(index));
}

// Another model's results would be read as this one's: they go.
void AnalysisWindow::modelChanged() {
    clearAllResults();
    replot();
}

void AnalysisWindow::createPlot() {
    grafica = new QCustomPlot(this);
    grafica->setObjectName(QStringLiteral("grafica"));
    grafica->setLocale(QLocale(QLocale::Spanish, QLocale::Spain));
    grafica->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    grafica->setMinimumHeight(220);

    QCPAxisRect* top = grafica->axisRect();
    auto* bottom = new QCPAxisRect(grafica);
    residualRect_ = bottom;
    title_ = new QCPTextElement(grafica, QString(), QFont(font().family(), font().pointSize() + 3,
                                                         QFont::Bold));
    title_->setObjectName(QStringLiteral("titulo"));
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
    addGraphs(sets_.front());

    QCPAxis* residualX = bottom->axis(QCPAxis::atBottom);
    QCPAxis* residualY = bottom->axis(QCPAxis::atLeft);
    zeroGraph_ = grafica->addGraph(residualX, residualY);
    zeroGraph_->setPen(QPen(Qt::gray, 1, Qt::DashLine));
    residualGraph_ = grafica->addGraph(residualX, residualY);
    residualGraph_->setLineStyle(QCPGraph::lsImpulse);
    residualGraph_->setPen(QPen(QColor(0, 0, 128)));
    residualGraph_->setScatterStyle(
        QCPScatterStyle(QCPScatterStyle::ssDisc, QColor(0, 0, 128), QColor(0, 0, 128), 5));
    // The legend names the sets, their curves and the band.
    for (QCPGraph* graph : {bandLow_, zeroGraph_, residualGraph_}) {
        graph->removeFromLegend();
    }
    grafica->legend->setFont(font());
    // Growth curves leave the upper left empty.
    grafica->axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignTop | Qt::AlignLeft);
    connect(grafica->xAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this,
            [this](const QCPRange& range) { sampleCurve(range); });
    connect(grafica, &QCustomPlot::mouseDoubleClick, this, [this] { replot(); });
    setUpPlotLayout();
}

void AnalysisWindow::refresh() {
    std::vector<fit::Point> points = main_.capturedPoints();
    const auto same = [](const fit::Point& l, const fit::Point& r) {
        return l.t == r.t && l.y == r.y;
    };
    DataSet& table = sets_.front();
    const bool changed =
        !std::equal(points.begin(), points.end(), table.values.begin(), table.values.end(), same);
    if (changed) {
        table.values = points;
        table.points = std::move(points);
        table.fit.reset();
        table.intervals.clear();
        table.warnings.clear();
        table.start.reset();
        if (selected_ == 0) {
            clearResults();
            clearComparison();
        }
        clearSetComparisonOf(table.id);
        // A value the new points bring ends the logarithmic axis at once.
        if (ejeLog->isChecked()) {
            refusedLogAxis();
        }
    }
    // An example's titles follow the table (the example is known once all
    // its cells are written); the drawing comes once for a paste or a load
    // that changes many cells.
    const QStringList titles = {tituloGrafica->text(), ejeX->text(), ejeY->text()};
    applyPlotOptions();
    if (changed || titles != QStringList{tituloGrafica->text(), ejeX->text(), ejeY->text()}) {
        replotTimer_->start(0);
    }
}

// The results shown, which are the selected set's.
void AnalysisWindow::clearResults() {
    predicciones->setRowCount(0);
    set().fit.reset();
    set().intervals.clear();
    set().warnings.clear();
    set().start.reset();
    resultados->setRowCount(0);
    resumen->clear();
    updateApply();
}

// Every set's results: another model or weighting would make them read as
// its own.
void AnalysisWindow::clearAllResults() {
    ++generation_; // work running for the old choices is of no use now
    for (DataSet& data : sets_) {
        data.fit.reset();
        data.intervals.clear();
        data.warnings.clear();
        data.start.reset();
    }
    clearResults();
    clearSetComparison();
}

void AnalysisWindow::clearComparison() {
    comparacion->setRowCount(0);
    veredicto->clear();
}

fit::Parameters AnalysisWindow::shownParameters() const {
    if (set().fit) {
        return set().fit->parameters;
    }
    return set().start ? *set().start : model().fromGompertz(main_.currentParameters());
}

int AnalysisWindow::freeParameters() const {
    const fit::Fixed fixed = main_.fixedParameters();
    int count = 0;
    for (int j = 0; j < model().parameterCount(); ++j) {
        count += fixed[static_cast<std::size_t>(j)] ? 0 : 1;
    }
    return count;
}

// Refuses, with a message, what no fit can use; true when refused.
bool AnalysisWindow::refusedBeforeFitting() {
    fit::Fit probe;
    probe.points = static_cast<int>(set().points.size());
    probe.freeParameters = freeParameters();
    probe.status = set().points.empty()                        ? fit::Status::NoData
                   : probe.points <= probe.freeParameters ? fit::Status::TooFewPoints
                                                          : fit::Status::Ok;
    if (probe.status == fit::Status::Ok) {
        return false;
    }
    messages_->show(statusMessage(probe));
    return true;
}

void AnalysisWindow::valoresIniciales_Click() {
    if (refusedBeforeFitting() || !weighSet(set())) {
        return;
    }
    const fit::Fixed fixed = main_.fixedParameters();
    fit::Fit start;
    start.model = &model();
    start.parameters =
        fit::automaticStart(model(), set().points, fixed, model().fromGompertz(main_.currentParameters()));
    start.fixed = fixed;
    start.sse = fit::sumOfSquares(model(), set().points, start.parameters);
    start.degreesOfFreedom = static_cast<int>(set().points.size()) - freeParameters();
    if (!fit::representable(start, set().points)) { // values beyond what doubles hold
        start.status = fit::Status::OutOfRange;
        messages_->show(statusMessage(start));
        return;
    }
    set().fit.reset();
    set().intervals.clear();
    set().warnings.clear();
    set().start = start.parameters;
    showStart();
    replot();
    updateApply();
}

void AnalysisWindow::ajusteOptimo_Click() {
    if (busy_ || refusedBeforeFitting() || !weighSet(set())) {
        return;
    }
    const fit::GrowthModel* chosen = &model();
    const std::vector<fit::Point> points = set().points;
    const fit::Fixed fixed = main_.fixedParameters();
    const fit::Parameters start = model().fromGompertz(main_.currentParameters());
    // The main window's curve is a start of the user's own for its table only.
    const auto starts =
        selected_ == 0 ? fit::startsFor(model()) : fit::LeastSquares::Starts::Automatic;
    const fit::Weighting weighed = weighting();
    const int id = set().id;
    run(points.size(), QStringLiteral("Ajustando «%1»…").arg(set().name),
        [=, this](const std::atomic<bool>& cancelled, const Progress& progress) -> Finish {
            fit::LeastSquares solver;
            const fit::Analysis result = analysis::analyse(solver, *chosen, points, fixed, start,
                                                           starts, weighed, &cancelled);
            progress(1, 1);
            return [this, id, result] { applyFit(id, result); };
        });
}

void AnalysisWindow::applyFit(int id, const fit::Analysis& result) {
    const int index = indexOfSet(id);
    if (index < 0) {
        return; // removed meanwhile
    }
    const fit::Fit& fit = result.fit;
    if (fit.status != fit::Status::Ok && fit.status != fit::Status::NotConverged) {
        messages_->show(statusMessage(fit));
        return;
    }
    DataSet& data = sets_[static_cast<std::size_t>(index)];
    data.fit = fit;
    data.intervals = result.intervals;
    data.warnings = result.warnings;
    data.start.reset();
    if (index == selected_) {
        showResults();
        updateApply();
    }
    replot();
    if (fit.status != fit::Status::Ok) {
        messages_->show(statusMessage(fit));
    }
}

int AnalysisWindow::indexOfSet(int id) const {
    for (std::size_t i = 0; i < sets_.size(); ++i) {
        if (sets_[i].id == id) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void AnalysisWindow::run(std::size_t points, const QString& what, Work work) {
    const auto cancelled = std::make_shared<std::atomic<bool>>(false);
    if (points <= kLongWork) {
        work(*cancelled, [](int, int) {})();
        return;
    }
    cancelled_ = cancelled;
    const int generation = generation_;
    setBusy(true, what);
    QThread* worker = QThread::create([this, work, cancelled, generation] {
        const Progress progress = [this, cancelled](int done, int total) {
            QMetaObject::invokeMethod(
                this,
                [this, cancelled, done, total] {
                    if (!*cancelled) {
                        progreso->setRange(0, total);
                        progreso->setValue(done);
                    }
                },
                Qt::QueuedConnection);
        };
        const Finish finish = work(*cancelled, progress);
        QMetaObject::invokeMethod(
            this,
            [this, finish, cancelled, generation] {
                if (*cancelled) {
                    return; // "Cancelar" has given the window back already
                }
                setBusy(false);
                if (generation == generation_) {
                    finish();
                }
            },
            Qt::QueuedConnection);
    });
    connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    workers_.erase(std::remove_if(workers_.begin(), workers_.end(),
                                  [](const QPointer<QThread>& t) { return t.isNull(); }),
                   workers_.end());
    workers_.emplace_back(worker);
    worker->start();
}

// While work runs, nothing that would change what it works on, or start
// more, can be used; the rest of the window answers as ever.
void AnalysisWindow::setBusy(bool on, const QString& what) {
    busy_ = on;
    for (QWidget* control : std::initializer_list<QWidget*>{
             modelo, ponderacion, conjuntos, anadirDatos, quitarConjunto, compararConjuntos,
             valoresIniciales, ajusteOptimo, compararModelos, tiempo, valor}) {
        control->setEnabled(!on);
    }
    if (on) {
        aplicar->setEnabled(false);
        estadoTimer_->stop();
        estado->setText(what);
        progreso->setRange(0, 0); // moving until the first step is done
        progreso->show();
        cancelar->show();
    } else {
        estado->clear();
        progreso->hide();
        cancelar->hide();
        updateApply();
    }
}

void AnalysisWindow::cancelar_Click() {
    if (!busy_) {
        return;
    }
    *cancelled_ = true;
    ++generation_;
    setBusy(false);
    say(QStringLiteral("Cálculo cancelado: los resultados que había siguen como estaban."));
}

AnalysisWindow::~AnalysisWindow() {
    if (cancelled_) {
        *cancelled_ = true;
    }
    for (const QPointer<QThread>& worker : workers_) {
        if (!worker.isNull()) {
            worker->wait();
        }
    }
}

fit::Analysis AnalysisWindow::analysis() const {
    return {*set().fit, set().intervals, set().warnings};
}

bool AnalysisWindow::converged() const {
    return set().fit && set().fit->status == fit::Status::Ok;
}

// The rows of a fit or a start, named by the model, with their cells.
void AnalysisWindow::showRows(const fit::Fit& shown, bool withErrors) {
    const auto rows = fit::estimates(shown);
    resultados->setRowCount(static_cast<int>(rows.size()));
    QStringList names;
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        names << qs(rows[r].label);
        const auto interval = withErrors && static_cast<std::size_t>(r) < set().intervals.size()
                                  ? set().intervals[static_cast<std::size_t>(r)]
                                  : std::nullopt;
        const QStringList cells =
            qs(fit::resultCells(rows[r].estimate, withErrors, 6, interval));
        for (int c = 0; c < cells.size(); ++c) {
            resultados->setItem(r, c, new QTableWidgetItem(cells[c]));
        }
    }
    resultados->setVerticalHeaderLabels(names);
}

void AnalysisWindow::showStart() {
    fit::Fit shown;
    shown.model = &model();
    shown.parameters = *set().start;
    shown.fixed = main_.fixedParameters();
    showRows(shown, false);
    resumen->setText(QStringLiteral("Valores iniciales (%1): SSE = %2")
                         .arg(QString::fromUtf8(model().name()),
                              number(fit::sumOfSquares(model(), set().points, *set().start), 6)));
}

void AnalysisWindow::showResults() {
    showRows(*set().fit, converged());
    QString text = qs(fit::summaryText(analysis(), set().points));
    if (selected_ == 0) { // which rows of the table, and any left out
        text += '\n' + main_.capturedRowsNote(static_cast<int>(set().values.size()));
    }
    resumen->setText(text);
}

void AnalysisWindow::updateApply() {
    const auto outside = set().fit ? main_.outsideScrollRanges(set().fit->parameters) : std::nullopt;
    // The main window draws the Gompertz curve only.
    aplicar->setEnabled(converged() && set().fit->model == &fit::gompertzModel() && !outside &&
                        selected_ == 0);
    // Nothing to copy before a fit or a comparison.
    copiar->setEnabled(setComparison_ || std::any_of(sets_.begin(), sets_.end(),
                                                     [](const DataSet& d) { return d.fit; }));
    aplicar->setToolTip(outside ? *outside
                                : QStringLiteral("Lleva a, c y t0 del ajuste de Gompertz de la "
                                                 "tabla principal a la ventana principal"));
}

// The curves of the shown sets, and the band of the selected set's fit,
// over the t range shown: sampled anew when the view is dragged or zoomed.
// Returns the values drawn.
QVector<double> AnalysisWindow::sampleCurve(const QCPRange& range) {
    QVector<double> drawn;
    const QVector<double> none;
    const auto kind =
        banda->currentIndex() == 1 ? fit::BandKind::Prediction : fit::BandKind::Confidence;
    for (std::size_t i = 0; i < sets_.size(); ++i) {
        DataSet& data = sets_[i];
        const bool selected = static_cast<int>(i) == selected_;
        // A set's own curve; the table shows the main window's until it has one.
        const std::optional<fit::Parameters> p =
            data.fit     ? std::optional(data.fit->parameters)
            : data.start ? data.start
            : i == 0     ? std::optional(model().fromGompertz(main_.currentParameters()))
                         : std::nullopt;
        if (!p || !shown(static_cast<int>(i))) {
            data.curveGraph->setData(none, none);
            continue;
        }
        fit::Fit curve = data.fit ? *data.fit : fit::Fit{};
        curve.model = &model();
        curve.parameters = *p;
        const bool withBand = selected && converged();
        QVector<double> ct, cf, lower, upper;
        for (const fit::BandSample& s :
             withBand ? fit::band(curve, data.points, range.lower, range.upper, kCurveSamples, kind)
                      : fit::band(curve, range.lower, range.upper, kCurveSamples)) {
            if (std::isfinite(s.fitted) && std::isfinite(s.lower) && std::isfinite(s.upper)) {
                ct << s.t;
                cf << s.fitted;
                lower << s.lower;
                upper << s.upper;
            }
        }
        data.curveGraph->setData(ct, cf);
        data.curveGraph->setName(
            data.id == 0
                ? QStringLiteral("Curva de la tabla principal (%1)").arg(QString::fromUtf8(model().name()))
                : QStringLiteral("Curva de %1 (%2)").arg(data.name, QString::fromUtf8(model().name())));
        drawn += cf;
        if (selected) {
            bandLow_->setData(withBand ? ct : none, withBand ? lower : none);
            bandHigh_->setData(withBand ? ct : none, withBand ? upper : none);
            drawn += withBand ? lower + upper : none;
        }
    }
    if (!converged() || !shown(selected_)) {
        bandLow_->setData(none, none);
        bandHigh_->setData(none, none);
    }
    // The plot says which band it shows.
    bandHigh_->setName(kind == fit::BandKind::Prediction
                           ? QStringLiteral("Banda de predicción del 95 %")
                           : QStringLiteral("Banda de confianza del 95 %"));
    // The legend: each shown set, its fitted curve, then the band.
    grafica->legend->clearItems();
    for (std::size_t i = 0; i < sets_.size(); ++i) {
        if (shown(static_cast<int>(i))) {
            sets_[i].pointsGraph->addToLegend();
            if (sets_[i].fit) {
                sets_[i].curveGraph->addToLegend();
            }
        }
    }
    if (converged() && shown(selected_)) {
        bandHigh_->addToLegend();
    }
    grafica->legend->setVisible(converged() || sets_.size() > 1);
    zeroGraph_->setData({range.lower, range.upper}, {0.0, 0.0});
    return drawn;
}

bool AnalysisWindow::shown(int index) const {
    const QListWidgetItem* item = conjuntos->item(index);
    return item == nullptr || item->checkState() == Qt::Checked;
}

void AnalysisWindow::replot() {
    // A value at or below 0 shown later (new points, a set shown or added)
    // ends the logarithmic axis, saying why.
    if (ejeLog->isChecked()) {
        refusedLogAxis();
    }
    const fit::Parameters p = shownParameters();
    QVector<double> t;
    QVector<double> y;
    QVector<double> residual;
    for (std::size_t i = 0; i < sets_.size(); ++i) {
        QVector<double> st, sy;
        if (shown(static_cast<int>(i))) {
            for (const fit::Point& point : sets_[i].points) {
                st << point.t;
                sy << point.y;
            }
        }
        sets_[i].pointsGraph->setData(st, sy);
        t += st;
        y += sy;
    }
    // The residuals are the selected set's, of the curve drawn for it.
    QVector<double> rt;
    const bool ownCurve = selected_ == 0 || set().fit || set().start;
    for (const fit::Point& point : set().points) {
        if (ownCurve && shown(selected_)) {
            rt << point.t;
            residual << point.y - model().value(p, point.t);
        }
    }
    const auto [tLow, tHigh] = std::minmax_element(t.begin(), t.end());
    const QCPRange tRange = t.isEmpty() ? QCPRange(-5, 15) : paddedRange(*tLow, *tHigh, 0.08);
    residualGraph_->setData(rt, residual);
    // The residuals and the band in the selected set's colours.
    residualGraph_->setPen(QPen(set().colour));
    residualGraph_->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssDisc, set().colour,
                                                    set().colour, 5));
    QColor bandColour = selected_ == 0 ? kTableCurve() : set().colour;
    bandColour.setAlpha(50);
    bandHigh_->setBrush(bandColour);
    {
        // Sampled once below: the range's own signal would sample it too.
        const QSignalBlocker quiet(grafica->xAxis);
        grafica->xAxis->setRange(tRange);
    }
    residualRect_->axis(QCPAxis::atBottom)->setRange(tRange);

    // The values the upper panel shows: points, curve and band; on a
    // logarithmic axis, those above 0, with a margin by factors.
    QVector<double> values = y + sampleCurve(tRange);
    const bool logarithmic = ejeLog->isChecked();
    if (logarithmic) {
        values.removeIf([](double v) { return !(v > 0.0); });
    }
    const auto [vLow, vHigh] = std::minmax_element(values.begin(), values.end());
    grafica->yAxis->setRange(values.isEmpty() ? (logarithmic ? QCPRange(0.1, 10) : QCPRange(0, 10))
                             : logarithmic    ? QCPRange(*vLow / 1.5, *vHigh * 1.5)
                                              : paddedRange(*vLow, *vHigh, 0.1));
    const auto [rLow, rHigh] = std::minmax_element(residual.begin(), residual.end());
    const double reach = residual.isEmpty() ? 1.0 : std::max(std::fabs(*rLow), std::fabs(*rHigh));
    residualRect_->axis(QCPAxis::atLeft)->setRange(paddedRange(-reach, reach, 0.15));
    applyPlotOptions();
    roomAbove_ = true;
    grafica->replot();
    roomAbove_ = false;
}

void AnalysisWindow::aplicar_Click() {
    if (aplicar->isEnabled()) {
        main_.applyParameters(set().fit->parameters);
    }
}

QString AnalysisWindow::resultsText() const {
    const int digits = cifrasCompletas->isChecked() ? 15 : 6; // as the window shows them
    if (severalSets()) { // as the CSV file, with tabs and lines ended by LF
        return qs(setsCsv('\t', true, digits))
            .replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    }
    if (!set().fit) {
        return QString('\t') + qs(fit::resultColumns()).join('\t') + '\n';
    }
    return qs(fit::resultsText(analysis(), set().points, digits));
}

// Text for a spreadsheet and an HTML table for a word processor.
void AnalysisWindow::copiar_Click() {
    const QString text = resultsText();
    auto* data = new QMimeData;
    data->setText(text);
    data->setHtml(qs(fit::htmlOf(text.toStdString())));
    QApplication::clipboard()->setMimeData(data);
    say(QStringLiteral("Resultados copiados al portapapeles."));
}

void AnalysisWindow::say(const QString& text) {
    estado->setText(text);
    estadoTimer_->start(kStatusMilliseconds);
}

void AnalysisWindow::textoMetodos_Click() {
    if (!converged()) {
        messages_->show(QStringLiteral(
            "El texto de métodos describe un ajuste: pulse antes «Ajuste óptimo»."));
        return;
    }
    QApplication::clipboard()->setText(qs(fit::methodsText(
        analysis(), set().points, "Gompertz " + std::string(GOMPERTZ_VERSION))));
    say(QStringLiteral("Texto de métodos copiado al portapapeles."));
}

QByteArray AnalysisWindow::csvBytes(char separator, bool decimalComma) const {
    if (severalSets()) {
        return QByteArray::fromStdString(setsCsv(separator, decimalComma));
    }
    return QByteArray::fromStdString(fit::csvText(model(),
                                                  set().fit ? std::optional(analysis()) : std::nullopt,
                                                  shownParameters(),
                                                  main_.fixedParameters(), set().points, separator,
                                                  decimalComma));
}

std::optional<QString> AnalysisWindow::exportTo(const QString& path, Export kind) {
    switch (kind) {
    case Export::CsvSemicolon:
        return commitBytes(path, kUtf8Mark + csvBytes(';', true));
    case Export::CsvComma:
        return commitBytes(path, kUtf8Mark + csvBytes(',', false));
    case Export::Png: {
        if (const auto question = largeImageQuestion(); question && !messages_->confirm(*question)) {
            return std::nullopt; // nothing written, as the user chose
        }
        const auto bytes = pngBytes();
        return bytes ? commitBytes(path, *bytes)
                     : std::optional(QStringLiteral("No se pudo crear la imagen PNG."));
    }
    case Export::Svg:
        return commitBytes(path, svgBytes());
    case Export::Pdf: {
        const QByteArray bytes = pdfBytes();
        if (bytes.isEmpty()) {
            return QStringLiteral("No se pudo crear el documento PDF.");
        }
        return commitBytes(path, bytes);
    }
    }
    return std::nullopt;
}

// The plot as a vector PDF page of its size on screen, a point a pixel,
// written in memory: nothing is left behind, whatever stops the export.
QByteArray AnalysisWindow::pdfBytes() {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setCreator(QStringLiteral("Gompertz"));
        writer.setTitle(tituloGrafica->text().isEmpty() ? windowTitle() : tituloGrafica->text());
        writer.setResolution(72);
        writer.setPageSize(QPageSize(QSizeF(grafica->size()), QPageSize::Point));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        QCPPainter painter;
        if (!painter.begin(&writer)) {
            return {};
        }
        painter.setMode(QCPPainter::pmVectorized);
        painter.setMode(QCPPainter::pmNoCaching);
        grafica->toPainter(&painter, grafica->width(), grafica->height());
        painter.end();
    }
    return bytes;
}

void AnalysisWindow::exportar_Click() {
    QString chosen;
    const QStringList filters = {kPngFilter, kPdfFilter, kSvgFilter, kCsvSemicolonFilter,
                                 kCsvCommaFilter};
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
    } else if (extension == QLatin1String("svg")) {
        kind = Export::Svg;
    } else if (extension != QLatin1String("csv")) {
        kind = chosen == kPngFilter   ? Export::Png
               : chosen == kPdfFilter ? Export::Pdf
               : chosen == kSvgFilter ? Export::Svg
                                      : kind;
    }
    if (const auto problem = exportTo(path, kind)) {
        messages_->show(*problem);
    }
}

} // namespace gompertz::ui

namespace gompertz::ui {

void AnalysisWindow::compararModelos_Click() {
    if (busy_ || refusedBeforeFitting() || !weighSet(set())) {
        return;
    }
    const std::vector<fit::Point> points = set().points;
    const fit::Fixed fixed = main_.fixedParameters();
    const fit::Parameters current = main_.currentParameters();
    const int id = set().id;
    run(points.size(), QStringLiteral("Comparando los modelos en «%1»…").arg(set().name),
        [=, this](const std::atomic<bool>&, const Progress&) -> Finish {
            fit::LeastSquares solver;
            const fit::Comparison comparison = fit::compareModels(solver, points, fixed, current);
            return [this, id, comparison] {
                if (set().id == id) {
                    showComparison(comparison);
                }
            };
        });
}

void AnalysisWindow::showComparison(const fit::Comparison& comparison) {
    comparacion->setRowCount(static_cast<int>(comparison.scores.size()));
    for (int r = 0; r < static_cast<int>(comparison.scores.size()); ++r) {
        const fit::ModelScore& score = comparison.scores[static_cast<std::size_t>(r)];
        const auto optional = [](const std::optional<double>& v, int digits) {
            return v ? number(*v, digits) : QString();
        };
        QStringList cells = {QString::fromUtf8(score.fit.model->name()),
                             QString::number(score.fit.freeParameters)};
        if (score.fit.status == fit::Status::Ok) {
            cells << number(score.fit.sse, 6) << optional(score.aicc, 6)
                  << optional(score.deltaAicc, 4) << optional(score.weight, 3);
        } else {
            cells << qs(fit::statusInWords(score.fit.status)) << QString() << QString()
                  << QString();
        }
        const auto& test = score.againstGompertz;
        cells << (test ? number(test->f, 5) : QString()) << (test ? number(test->p, 4) : QString());
        for (int c = 0; c < cells.size(); ++c) {
            comparacion->setItem(r, c, new QTableWidgetItem(cells[c]));
        }
    }
    veredicto->setText(qs(comparison.verdict));
    pestanas->setCurrentIndex(1);
}

} // namespace gompertz::ui

namespace gompertz::ui {

// The number typed in a prediction box, or nothing (and a message) when
// there is no fit to predict from or the text is no number.
std::optional<double> AnalysisWindow::predictionInput(const QLineEdit* box) {
    if (!converged()) {
        messages_->show(QStringLiteral(
            "Las predicciones salen de un ajuste: pulse antes «Ajuste óptimo»."));
        return std::nullopt;
    }
    try {
        return parseNumber(box->text().toStdString());
    } catch (const RuntimeError&) {
        messages_->show(QStringLiteral("«%1» no es un número.").arg(box->text()));
        return std::nullopt;
    }
}

void AnalysisWindow::addPrediction(const QStringList& cells) {
    const int row = predicciones->rowCount();
    predicciones->insertRow(row);
    for (int c = 0; c < cells.size(); ++c) {
        predicciones->setItem(row, c, new QTableWidgetItem(cells[c]));
    }
    predicciones->scrollToBottom();
}

void AnalysisWindow::tiempo_Return() {
    const auto t = predictionInput(tiempo);
    if (!t) {
        return;
    }
    const fit::ValueAt at = fit::valueAt(*set().fit, set().points, *t);
    const QString question = QStringLiteral("f(t) en t = %1").arg(number(*t, 6));
    if (!std::isfinite(at.fitted) || !std::isfinite(at.standardError) ||
        !std::isfinite(at.predictionLower) || !std::isfinite(at.predictionUpper) ||
        !std::isfinite(at.confidenceLower) || !std::isfinite(at.confidenceUpper)) {
        addPrediction({question, QStringLiteral("—"), QString(), QString(), QString(), QString(),
                       QString(), kBeyondRange});
        return;
    }
    addPrediction({question, number(at.fitted, 6),
                   number(at.standardError, 6), number(at.confidenceLower, 6),
                   number(at.confidenceUpper, 6), number(at.predictionLower, 6),
                   number(at.predictionUpper, 6), at.extrapolation ? kExtrapolation : QString()});
}

void AnalysisWindow::valor_Return() {
    const auto y = predictionInput(valor);
    if (!y) {
        return;
    }
    const QString question = QStringLiteral("t en que f(t) = %1").arg(number(*y, 6));
    const fit::TimeAt at = fit::timeAt(solver_, *set().fit, set().points, *y);
    if (!at.t) {
        addPrediction({question, QStringLiteral("—"), QString(), QString(), QString(), QString(),
                       QString(), QStringLiteral("la curva nunca llega a ese valor")});
        return;
    }
    const auto side = [](const std::optional<fit::ProfileInterval>& interval, bool lower) {
        if (!interval) {
            return QString();
        }
        const fit::ProfileSide& s = lower ? interval->lower : interval->upper;
        return s.bound ? number(*s.bound, 6) : QString::fromUtf8(fit::kNoBound);
    };
    if (!std::isfinite(*at.t) || (at.standardError && !std::isfinite(*at.standardError))) {
        addPrediction({question, QStringLiteral("—"), QString(), QString(), QString(), QString(),
                       QString(), kBeyondRange});
        return;
    }
    addPrediction({question, number(*at.t, 6),
                   at.standardError ? number(*at.standardError, 6) : QStringLiteral("—"),
                   side(at.interval, true), side(at.interval, false), QString(), QString(),
                   at.extrapolation ? kExtrapolation : QString()});
}

} // namespace gompertz::ui
