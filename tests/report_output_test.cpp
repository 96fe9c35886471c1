// What goes from the analysis window into a report, driven as a user does:
// the plot's title, axes, legend, parameters, logarithmic axis and residual
// panel on screen and in the files; the clipboard's text, HTML table and
// image; the methods paragraph.
#include "test_support.h"

#include "ui/analysis_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>

#include <qcustomplot.h>

#include <cmath>

using namespace testing_support;
using gompertz::ui::AnalysisWindow;

namespace {

std::vector<std::pair<QString, QString>> dnase1() {
    const double conc[] = {0.04882812, 0.1953125, 0.390625, 0.78125, 1.5625, 3.125, 6.25, 12.5};
    const char* density[] = {"0,017", "0,018", "0,121", "0,124", "0,206", "0,215", "0,377", "0,374",
                             "0,614", "0,609", "1,019", "1,001", "1,334", "1,364", "1,73",  "1,71"};
    std::vector<std::pair<QString, QString>> rows;
    for (int i = 0; i < 16; ++i) {
        rows.emplace_back(QString::number(std::log(conc[i / 2]), 'g', 15).replace('.', ','),
                          density[i]);
    }
    return rows;
}

struct Report {
    Window w;
    QStringList messages;
    FixedChooser* chooser = nullptr;
    AnalysisWindow* window = nullptr;
    QCustomPlot* plot = nullptr;

    explicit Report(const std::vector<std::pair<QString, QString>>& rows = dnase1()) {
        w.showGraph(rows);
        w.form->findChild<QAction*>("actionAnalisis")->trigger();
        window = w.form->analysisWindow();
        window->setMessageSink(std::make_unique<RecordingSink>(&messages));
        auto owned = std::make_unique<FixedChooser>();
        chooser = owned.get();
        window->setFileChooser(std::move(owned));
        plot = window->findChild<QCustomPlot*>("grafica");
    }
    template <typename T> T* get(const char* name) const {
        auto* widget = window->findChild<T*>(name);
        Q_ASSERT_X(widget, "Report::get", name);
        return widget;
    }
    void click(const char* name) { QTest::mouseClick(get<QPushButton>(name), Qt::LeftButton); }
    // Typed as a user types it; what a keyboard's keys do not spell (accents)
    // arrives as an input method's text does.
    void type(const char* name, const QString& text) {
        QLineEdit* box = get<QLineEdit>(name);
        box->selectAll();
        QTest::keyClick(box, Qt::Key_Delete);
        for (const QChar ch : text) {
            if (ch.unicode() < 128) {
                QTest::keyClicks(box, QString(ch));
            } else {
                box->insert(QString(ch));
            }
        }
    }
    QStringList legend() const {
        QStringList names;
        for (int i = 0; i < plot->legend->itemCount(); ++i) {
            if (auto* item = qobject_cast<QCPPlottableLegendItem*>(plot->legend->item(i))) {
                names << item->plottable()->name();
            }
        }
        return names;
    }
    QCPTextElement* title() const {
        for (int i = 0; i < plot->plotLayout()->elementCount(); ++i) {
            if (auto* text = qobject_cast<QCPTextElement*>(plot->plotLayout()->elementAt(i))) {
                return text;
            }
        }
        return nullptr;
    }
};

} // namespace

class ReportOutputTest : public QObject {
    Q_OBJECT
  private slots:
    void theTitleAndAxesNamedByTheUserAreOnThePlot() {
        Report r;
        QCOMPARE(r.get<QLineEdit>("tituloGrafica")->text(), QString());
        QCOMPARE(r.get<QLineEdit>("ejeX")->text(), QStringLiteral("t"));
        QCOMPARE(r.get<QLineEdit>("ejeY")->text(), QStringLiteral("f(t)"));
        QVERIFY(r.title() == nullptr); // no title, no row for it
        r.type("tituloGrafica", QStringLiteral("DNasa, ensayo 1"));
        r.type("ejeX", QStringLiteral("ln(concentración)"));
        r.type("ejeY", QStringLiteral("Densidad óptica"));
        QVERIFY(r.title() != nullptr);
        QCOMPARE(r.title()->text(), QStringLiteral("DNasa, ensayo 1"));
        QCOMPARE(r.plot->xAxis->label(), QStringLiteral("ln(concentración)"));
        QCOMPARE(r.plot->yAxis->label(), QStringLiteral("Densidad óptica"));
        QCOMPARE(r.plot->axisRect(1)->axis(QCPAxis::atBottom)->label(),
                 QStringLiteral("ln(concentración)"));
        r.type("tituloGrafica", QString());
        QVERIFY(r.title() == nullptr);
    }

    void theLegendNamesThePointsTheCurveWithItsModelAndTheBand() {
        Report r;
        r.click("ajusteOptimo");
        QCOMPARE(r.legend(), QStringList({"Tabla principal", "Curva de la tabla principal (Gompertz)",
                                          "Banda de confianza del 95 %"}));
        r.window->findChild<QComboBox*>("banda")->setCurrentIndex(1);
        QCOMPARE(r.legend().last(), QStringLiteral("Banda de predicción del 95 %"));
    }

    // R's nls on DNase run 1 and the exact profile bounds of the R script.
    void theParametersBoxWritesTheFitWithItsIntervals() {
        Report r;
        r.click("ajusteOptimo");
        r.get<QCheckBox>("mostrarParametros")->setChecked(true);
        QCPItemText* box = nullptr;
        for (int i = 0; i < r.plot->itemCount(); ++i) {
            box = qobject_cast<QCPItemText*>(r.plot->item(i)) ? qobject_cast<QCPItemText*>(r.plot->item(i)) : box;
        }
        QVERIFY(box != nullptr && box->visible());
        QCOMPARE(box->text(), QStringLiteral("Gompertz\na = 4,603  [3,538; 6,729]\n"
                                             "c = 0,3334  [0,2672; 0,4036]\n"
                                             "t0 = 2,46  [1,736; 3,639]"));
        r.get<QCheckBox>("mostrarParametros")->setChecked(false);
        QVERIFY(!box->visible());
    }

    void theLogarithmicAxisIsRefusedWhileAValueIsNotPositive() {
        Report zero({{"0", "0"}, {"1", "1"}, {"2", "3"}, {"3", "3,5"}});
        zero.get<QCheckBox>("ejeLog")->setChecked(true);
        QVERIFY(!zero.get<QCheckBox>("ejeLog")->isChecked());
        QCOMPARE(zero.messages.size(), 1);
        QVERIFY2(zero.messages[0].startsWith("El eje logarítmico necesita valores mayores que 0: "
                                             "«Tabla principal» tiene el valor 0 en t = 0."),
                 qPrintable(zero.messages[0]));
        QCOMPARE(zero.plot->yAxis->scaleType(), QCPAxis::stLinear);
        Report r;
        r.get<QCheckBox>("ejeLog")->setChecked(true);
        QCOMPARE(r.messages, QStringList());
        QCOMPARE(r.plot->yAxis->scaleType(), QCPAxis::stLogarithmic);
        QVERIFY(r.plot->yAxis->range().lower > 0.0);
        // A zero typed later ends it, saying why.
        r.w.type("yv_0", "0");
        r.w.click("Command5");
        r.w.click("Command5");
        QVERIFY(!r.get<QCheckBox>("ejeLog")->isChecked());
        QCOMPARE(r.plot->yAxis->scaleType(), QCPAxis::stLinear);
        QCOMPARE(r.messages.size(), 1);
        QVERIFY(r.messages[0].startsWith("El eje logarítmico necesita valores mayores que 0"));
    }

    void theResidualPanelComesAndGoesOnScreenAndInTheFiles() {
        Report r;
        r.click("ajusteOptimo");
        QCOMPARE(r.plot->axisRectCount(), 2);
        const int fullHeight = r.plot->axisRect(0)->rect().height();
        r.get<QCheckBox>("mostrarResiduos")->setChecked(false);
        QCOMPARE(r.plot->axisRectCount(), 1); // out of the layout, drawn nowhere
        QVERIFY(r.plot->axisRect(0)->rect().height() > fullHeight); // its room is the plot's
        QTemporaryDir folder;
        r.chooser->path = folder.filePath("sin-residuos.svg");
        r.chooser->filter = QStringLiteral("Imagen SVG (*.svg)");
        r.click("exportar");
        QFile svg(r.chooser->path);
        QVERIFY(svg.open(QIODevice::ReadOnly));
        QVERIFY(!QString::fromUtf8(svg.readAll()).contains(QStringLiteral("residuo")));
        r.get<QCheckBox>("mostrarResiduos")->setChecked(true);
        QCOMPARE(r.plot->axisRectCount(), 2);
    }

    // Each file's header and size: PNG at the width, height and resolution
    // chosen; SVG at the plot's size on screen.
    void pngAndSvgHaveTheirHeadersAndSizes() {
        Report r;
        r.click("ajusteOptimo");
        QTemporaryDir folder;
        r.get<QSpinBox>("anchoImagen")->setValue(1000);
        r.get<QSpinBox>("altoImagen")->setValue(700);
        r.get<QSpinBox>("resolucionImagen")->setValue(150);
        r.chooser->path = folder.filePath("figura.png");
        r.chooser->filter = QStringLiteral("Imagen PNG (*.png)");
        r.click("exportar");
        QFile png(r.chooser->path);
        QVERIFY(png.open(QIODevice::ReadOnly));
        QCOMPARE(png.read(8), QByteArray("\x89PNG\r\n\x1a\n"));
        const QImage image(r.chooser->path);
        QCOMPARE(image.size(), QSize(1000, 700));
        QCOMPARE(image.dotsPerMeterX(), 5906); // 150 / 0.0254
        r.chooser->path = folder.filePath("figura.svg");
        r.chooser->filter = QStringLiteral("Imagen SVG (*.svg)");
        r.click("exportar");
        QFile svg(r.chooser->path);
        QVERIFY(svg.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(svg.readAll());
        QVERIFY(text.startsWith("<?xml"));
        QVERIFY2(text.contains(QStringLiteral("<svg")), qPrintable(text.left(300)));
        QVERIFY(text.contains(QStringLiteral("viewBox=\"0 0 %1 %2\"")
                                  .arg(r.plot->width())
                                  .arg(r.plot->height())));
        QCOMPARE(r.messages, QStringList());
    }

    void theClipboardTakesTextAnHtmlTableAndThePlotsImage() {
        Report r;
        r.click("ajusteOptimo");
        r.click("copiar");
        const QMimeData* data = QApplication::clipboard()->mimeData();
        QVERIFY(data->hasText() && data->hasHtml());
        QVERIFY(data->formats().contains("text/plain") && data->formats().contains("text/html"));
        const QString html = data->html();
        QVERIFY2(html.contains("<table") &&
                     html.contains("<tr><td></td><td>Valor</td><td>Error típico</td>") &&
                     html.contains("<tr><td>a</td><td>4,60333</td><td>0,653208</td>"),
                 qPrintable(html.left(600)));
        r.click("copiarGrafica");
        const QImage image = QApplication::clipboard()->image();
        QVERIFY(!image.isNull());
        QCOMPARE(image.size(), r.plot->size() * r.plot->devicePixelRatioF());
    }

    // The paragraph names the model and formula, n, the method, the
    // intervals, the results and the program.
    void theMethodsTextDescribesTheAnalysis() {
        Report r;
        r.click("textoMetodos");
        QCOMPARE(r.messages.size(), 1); // nothing to describe before a fit
        r.click("ajusteOptimo");
        r.click("textoMetodos");
        const QString text = QApplication::clipboard()->text();
        for (const char* part :
             {"Se ajustó el modelo de Gompertz, f(t) = a·exp(−exp(−c·(t − t0))), a n = 16 valores "
              "por mínimos cuadrados no lineales (algoritmo de Levenberg-Marquardt, MINPACK), sin "
              "ponderar",
              "verosimilitud perfilada", "a = 4,60333 (IC 95 %: 3,53837 a 6,72899)",
              "fase de latencia (t0 − 1/c) = −0,538746", "13 grados de libertad",
              "falta de ajuste", "Análisis realizado con Gompertz "}) {
            QVERIFY2(text.contains(QString::fromUtf8(part)), qPrintable(text));
        }
    }
};

WIDGET_TEST_MAIN(ReportOutputTest)
#include "report_output_test.moc"
