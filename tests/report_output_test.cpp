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
#include <QMenu>
#include <QProcess>
#include <QTemporaryDir>

#include <qcustomplot.h>

#include <cmath>
#include <functional>
#include <optional>

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

// The middle of the rows of the area holding a pixel that matches.
std::optional<double> rowsMiddle(const QImage& image, const QRect& area,
                                 const std::function<bool(const QColor&)>& matches) {
    int top = -1, bottom = -1;
    for (int y = std::max(0, area.top()); y <= std::min(image.height() - 1, area.bottom()); ++y) {
        for (int x = std::max(0, area.left()); x <= std::min(image.width() - 1, area.right()); ++x) {
            if (matches(image.pixelColor(x, y))) {
                top = top < 0 ? y : top;
                bottom = y;
                break;
            }
        }
    }
    return top < 0 ? std::nullopt : std::optional((top + bottom) / 2.0);
}

bool maroon(const QColor& c) {
    return c.red() > 90 && c.green() < 70 && c.blue() < 70;
}

bool ink(const QColor& c) {
    return c.red() < 110 && c.green() < 110 && c.blue() < 110;
}

// The columns of the area holding a pixel that matches: how wide the ink is.
int inkWidth(const QImage& image, const QRect& area, const std::function<bool(const QColor&)>& matches) {
    int left = -1, right = -1;
    for (int x = std::max(0, area.left()); x <= std::min(image.width() - 1, area.right()); ++x) {
        for (int y = std::max(0, area.top()); y <= std::min(image.height() - 1, area.bottom()); ++y) {
            if (matches(image.pixelColor(x, y))) {
                left = left < 0 ? x : left;
                right = x;
                break;
            }
        }
    }
    return left < 0 ? 0 : right - left + 1;
}

// Where the legend's curve entry draws its line and its text, in an image
// of the plot at its size on screen: the rows' middles, and the text's width.
struct EntryInk {
    std::optional<double> line, text;
    int width = 0;
};
EntryInk curveEntryInk(const QCustomPlot* plot, const QImage& image) {
    const QRect item = plot->legend->item(1)->rect();
    const int icon = plot->legend->iconSize().width();
    const int reach = 2; // the entries above and below stay out
    const QRect iconArea(item.left(), item.top() - reach, icon, item.height() + 2 * reach);
    const QRect textArea(item.left() + icon + plot->legend->iconTextPadding(), item.top() - reach,
                         item.width() - icon - plot->legend->iconTextPadding() + 40,
                         item.height() + 2 * reach);
    return {rowsMiddle(image, iconArea, maroon), rowsMiddle(image, textArea, ink),
            inkWidth(image, textArea, ink)};
}

QCPItemText* parametersBox(const QCustomPlot* plot) {
    for (int i = 0; i < plot->itemCount(); ++i) {
        if (auto* text = qobject_cast<QCPItemText*>(plot->item(i))) {
            return text;
        }
    }
    return nullptr;
}

double number(QString text) {
    return text.replace(',', '.').toDouble();
}

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

    // So narrow a plot that the legend fills its width, as at 1280 × 1024
    // beside the main window: the value axis makes room above the data, and
    // the legend stands there, over no point and no part of the curve.
    void onANarrowPlotTheLegendStandsAboveTheData() {
        Report r;
        r.window->resize(560, 860);
        r.click("ajusteOptimo");
        QTRY_VERIFY(r.plot->legend->outerRect().width() > 0.6 * r.plot->axisRect()->width());
        QTest::qWait(50); // the room is made on a drawing queued after the first
        const QRectF legend = r.plot->legend->outerRect();
        for (const auto& [t, y] : dnase1()) {
            const QPointF p(r.plot->xAxis->coordToPixel(number(t)),
                            r.plot->yAxis->coordToPixel(number(y)));
            QVERIFY2(!legend.adjusted(-4, -4, 4, 4).contains(p),
                     qPrintable(QStringLiteral("legend over %1,%2").arg(p.x()).arg(p.y())));
        }
        for (int g = 0; g < r.plot->graphCount(); ++g) {
            const QCPGraph* graph = r.plot->graph(g);
            if (graph->name().startsWith("Curva")) {
                for (auto it = graph->data()->constBegin(); it != graph->data()->constEnd(); ++it) {
                    const QPointF p(r.plot->xAxis->coordToPixel(it->key),
                                    r.plot->yAxis->coordToPixel(it->value));
                    QVERIFY2(!legend.contains(p), qPrintable(QStringLiteral("legend over the curve "
                                                                            "at %1,%2")
                                                                 .arg(p.x())
                                                                 .arg(p.y())));
                }
            }
        }
    }

    // DNase run 1 rises from the lower left to the upper right: the legend
    // and the parameters' box leave every point and the curve clear; a drag
    // takes the legend elsewhere without moving the view.
    void theLegendAndTheBoxLeaveTheDataClearAndTheLegendIsDragged() {
        Report r;
        r.click("ajusteOptimo");
        r.get<QCheckBox>("mostrarParametros")->setChecked(true);
        {
            const QRectF legend = r.plot->legend->outerRect();
            QCPItemText* box = parametersBox(r.plot);
            QVERIFY(box != nullptr && box->visible() && r.plot->legend->visible());
            const QRectF boxRect(box->topLeft->pixelPosition(), box->bottomRight->pixelPosition());
            QVERIFY2(!legend.intersects(boxRect),
                     qPrintable(QStringLiteral("%1,%2 %3x%4 and %5,%6 %7x%8")
                                    .arg(legend.x()).arg(legend.y()).arg(legend.width())
                                    .arg(legend.height()).arg(boxRect.x()).arg(boxRect.y())
                                    .arg(boxRect.width()).arg(boxRect.height())));
            std::vector<QPointF> drawn;
            for (const auto& [t, y] : dnase1()) {
                drawn.emplace_back(r.plot->xAxis->coordToPixel(number(t)),
                                   r.plot->yAxis->coordToPixel(number(y)));
            }
            for (int g = 0; g < r.plot->graphCount(); ++g) {
                const QCPGraph* graph = r.plot->graph(g);
                if (graph->name().startsWith("Curva")) {
                    for (auto it = graph->data()->constBegin(); it != graph->data()->constEnd(); ++it) {
                        drawn.emplace_back(r.plot->xAxis->coordToPixel(it->key),
                                           r.plot->yAxis->coordToPixel(it->value));
                    }
                }
            }
            QVERIFY(drawn.size() > 100);
            for (const QPointF& p : drawn) {
                const QString where = QStringLiteral("%1,%2").arg(p.x()).arg(p.y());
                QVERIFY2(!legend.contains(p), qPrintable("legend over " + where));
                QVERIFY2(!boxRect.contains(p), qPrintable("box over " + where));
            }
        }
        const QRect legend = r.plot->legend->outerRect();
        const QCPRange view = r.plot->xAxis->range();
        const QPoint from = legend.center();
        const QPoint to = from + QPoint(60, 40);
        QTest::mousePress(r.plot, Qt::LeftButton, {}, from);
        QTest::mouseMove(r.plot, from + QPoint(30, 20));
        QTest::mouseMove(r.plot, to);
        QTest::mouseRelease(r.plot, Qt::LeftButton, {}, to);
        const QPoint moved = r.plot->legend->outerRect().topLeft() - legend.topLeft();
        QVERIFY2(std::abs(moved.x() - 60) <= 1 && std::abs(moved.y() - 40) <= 1,
                 qPrintable(QStringLiteral("%1,%2").arg(moved.x()).arg(moved.y())));
        QCOMPARE(r.plot->xAxis->range().lower, view.lower);
        QCOMPARE(r.plot->xAxis->range().upper, view.upper);
    }

    // However low the residual panel, its tick labels do not overlap, and
    // it keeps more than one.
    void theResidualAxisLabelsDoNotOverlap() {
        Report r;
        r.click("ajusteOptimo");
        for (const QSize size : {QSize(980, 860), QSize(760, 520), QSize(700, 420)}) {
            r.window->resize(size);
            QApplication::processEvents();
            r.plot->replot();
            for (QCPAxis* axis : {r.plot->yAxis, r.plot->axisRect(1)->axis(QCPAxis::atLeft)}) {
                const int label = QFontMetrics(axis->tickLabelFont()).height();
                QVector<double> rows;
                for (const double tick : axis->tickVector()) {
                    if (axis->range().contains(tick)) {
                        rows << axis->coordToPixel(tick);
                    }
                }
                std::sort(rows.begin(), rows.end());
                const QString shown = QStringLiteral("%1 px high: %2 labels of %3 px")
                                          .arg(axis->axisRect()->height())
                                          .arg(rows.size())
                                          .arg(label);
                QVERIFY2(rows.size() >= 2, qPrintable(shown));
                for (int i = 1; i < rows.size(); ++i) {
                    QVERIFY2(rows[i] - rows[i - 1] >= label, qPrintable(shown));
                }
            }
        }
    }

    // The SVG file, drawn by another renderer (librsvg), has the legend's
    // text level with its symbols, as on screen.
    void theLegendsTextSitsLevelWithItsSymbolsInTheSvgFile() {
        Report r;
        r.click("ajusteOptimo");
        r.plot->replot();
        const EntryInk screen = curveEntryInk(r.plot, r.plot->grab().toImage());
        QVERIFY(screen.line && screen.text && screen.width > 100);
        QTemporaryDir folder;
        r.chooser->path = folder.filePath("figura.svg");
        r.chooser->filter = QStringLiteral("Imagen SVG (*.svg)");
        r.click("exportar");
        const QString png = folder.filePath("figura.png");
        QProcess render;
        render.start(QStringLiteral("rsvg-convert"),
                     {QStringLiteral("-w"), QString::number(r.plot->width()), QStringLiteral("-h"),
                      QString::number(r.plot->height()), QStringLiteral("-b"),
                      QStringLiteral("white"), QStringLiteral("-o"), png, r.chooser->path});
        if (!render.waitForStarted()) {
            QSKIP("rsvg-convert (librsvg2-bin) is not installed");
        }
        QVERIFY(render.waitForFinished(30000));
        QCOMPARE(render.exitCode(), 0);
        const QImage image(png);
        QCOMPARE(image.size(), r.plot->size());
        const EntryInk drawn = curveEntryInk(r.plot, image);
        QVERIFY(drawn.line && drawn.text);
        const QString shown = QStringLiteral("line at %1, text at %2, %3 px wide; on screen %4, "
                                             "%5, %6 px")
                                  .arg(*drawn.line)
                                  .arg(*drawn.text)
                                  .arg(drawn.width)
                                  .arg(*screen.line)
                                  .arg(*screen.text)
                                  .arg(screen.width);
        // As large as on screen, and as high against the line (the ink's
        // middle sits a little above the line's on screen too).
        QVERIFY2(std::abs(drawn.width - screen.width) <= screen.width / 20, qPrintable(shown));
        QVERIFY2(std::fabs((*drawn.line - *drawn.text) - (*screen.line - *screen.text)) <= 1.5,
                 qPrintable(shown));
    }

    // An example names the plot and its axes; other data put the defaults
    // back, but not over what the user typed.
    void anExamplesTitlesGoWhenItsDataGo() {
        Window w;
        QMenu* examples = w.form->findChild<QMenu*>("menuEjemplos");
        examples->actions()[0]->trigger(); // DNase run 1
        w.form->findChild<QAction*>("actionAnalisis")->trigger();
        AnalysisWindow* window = w.form->analysisWindow();
        auto* plot = window->findChild<QCustomPlot*>("grafica");
        const auto text = [&](const char* name) { return window->findChild<QLineEdit*>(name)->text(); };
        QCOMPARE(text("ejeX"), QStringLiteral("ln(concentración de DNasa)"));
        QCOMPARE(text("ejeY"), QStringLiteral("Densidad óptica"));
        QCOMPARE(text("tituloGrafica"), QStringLiteral("DNasa, ensayo 1"));
        QCOMPARE(plot->xAxis->label(), QStringLiteral("ln(concentración de DNasa)"));
        examples->actions()[1]->trigger(); // an orange tree, the window open
        QCOMPARE(text("ejeX"), QStringLiteral("Edad (días)"));
        QCOMPARE(plot->yAxis->label(), QStringLiteral("Circunferencia del tronco (mm)"));
        // The user names the value axis; then other points come.
        auto* ejeY = window->findChild<QLineEdit*>("ejeY");
        ejeY->selectAll();
        QTest::keyClicks(ejeY, QStringLiteral("Perimetro (mm)"));
        w.type("yv_0", "31");
        w.form->findChild<QAction*>("actionAnalisis")->trigger();
        QCOMPARE(text("ejeX"), QStringLiteral("t"));
        QCOMPARE(text("tituloGrafica"), QString());
        QCOMPARE(text("ejeY"), QStringLiteral("Perimetro (mm)"));
        QCOMPARE(plot->xAxis->label(), QStringLiteral("t"));
        QCOMPARE(plot->yAxis->label(), QStringLiteral("Perimetro (mm)"));
    }

    // A PNG of hundreds of megabytes is made only after a question that
    // says how large it is; a usual one is made without.
    void aVeryLargePngIsMadeOnlyWhenTheUserSaysSo() {
        Report r;
        QStringList questions;
        const gompertz::ui::SaveAnswer no = gompertz::ui::SaveAnswer::Cancel;
        r.window->setMessageSink(std::make_unique<RecordingSink>(&r.messages, &questions, &no));
        r.click("ajusteOptimo");
        QTemporaryDir folder;
        r.chooser->path = folder.filePath("enorme.png");
        r.chooser->filter = QStringLiteral("Imagen PNG (*.png)");
        r.get<QSpinBox>("anchoImagen")->setValue(10000);
        r.get<QSpinBox>("altoImagen")->setValue(10000);
        r.click("exportar");
        QCOMPARE(questions.size(), 1);
        QVERIFY2(questions[0].contains(QStringLiteral("10000 × 10000 píxeles")) &&
                     questions[0].contains(QStringLiteral("400 MB")),
                 qPrintable(questions[0]));
        QVERIFY(!QFile::exists(r.chooser->path)); // not made, as answered
        QCOMPARE(r.messages, QStringList());
        r.get<QSpinBox>("anchoImagen")->setValue(1000);
        r.get<QSpinBox>("altoImagen")->setValue(700);
        r.click("exportar");
        QCOMPARE(questions.size(), 1);
        QCOMPARE(QImage(r.chooser->path).size(), QSize(1000, 700));
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
