// The window as a user meets it: layout, the table, the two views, the
// graph and the data file.
#include "test_support.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cmath>

using testing_support::baseColour;
using testing_support::pixel;
using testing_support::Window;

namespace {

const QColor kWhite(255, 255, 255);
const QColor kGrey(192, 192, 192);
const QColor kGreen(0, 255, 0);
const QColor kRed(128, 0, 0);
const QColor kBlue(0, 0, 128);
const QColor kMagenta(128, 0, 128);

QStringList cellNames(const QString& prefix) {
    QStringList names;
    for (int i = 0; i < 20; ++i) {
        names << prefix + QString::number(i);
    }
    return names;
}

const QStringList kGraphControls = {
    "inicio", "Final",   "Minimo", "maximo",   "graf",     "paso",    "paso3",  "paso4",  "Label1",
    "Label2", "Label3",  "Label4", "Label5",   "Label6",   "Label7",  "Label8", "label9", "label10",
    "Text1",  "Label14", "Check1", "Check2",   "Check3",   "LSCR",    "Lval",   "CSCR",   "Cval",
    "TSCR",   "Tval",    "Para",   "Picture1", "Picture2", "Picture3"};

QStringList tableControls() {
    return cellNames("xv_") + cellNames("yv_") + QStringList{"Label11", "Label12"};
}

// Sums over (t, y) points for a * exp(-exp(-c (t - t0))), worked out here.
struct Sums {
    double gradA = 0, gradC = 0, gradT0 = 0, sq = 0;
};
Sums sumsFor(const std::vector<std::pair<double, double>>& points, double a, double c, double t0) {
    Sums out;
    for (const auto& [t, y] : points) {
        const double inner = std::exp(-c * (t - t0));
        const double g = std::exp(-inner);
        const double r = a * g - y;
        out.gradA += 2 * r * g;
        out.gradC += 2 * r * a * g * inner * (t - t0);
        out.gradT0 += 2 * r * a * g * inner * -c;
        out.sq += r * r;
    }
    return out;
}

double shown(const Window& w, const QString& name) {
    return w.caption(name).replace(',', '.').toDouble();
}

bool looksLike(const QColor& actual, const QColor& expected) {
    return std::abs(actual.red() - expected.red()) <= 2 &&
           std::abs(actual.green() - expected.green()) <= 2 &&
           std::abs(actual.blue() - expected.blue()) <= 2;
}

bool near(double expected, double actual) {
    return std::fabs(expected - actual) <= 1e-12 * std::max(1.0, std::fabs(expected));
}

} // namespace

class WindowTest : public QObject {
    Q_OBJECT
  private slots:
    void layoutIsAsDesigned() {
        Window w;
        QCOMPARE(w.form->windowTitle(), QStringLiteral("Ajuste de Curvas Gompertz."));
        QCOMPARE(w.form->objectName(), QStringLiteral("Form1"));
        QCOMPARE(w.form->size(), QSize(724, 691));
        const std::vector<std::pair<QString, QString>> captions = {
            {"Label11", "t"},
            {"Label12", "f(t)"},
            {"Final", "10"},
            {"inicio", "0"},
            {"Minimo", "-5"},
            {"maximo", "15"},
            {"Label14", "0"},
            {"Para", "Coeficientes"},
            {"Lval", "5"},
            {"Cval", "1"},
            {"Tval", "0"},
            {"Label1", "Ajuste"},
            {"paso", "Un paso"},
            {"paso3", "100 pasos"},
            {"paso4", "10000 pasos"},
            {"Label2", "Derivadas Parciales"},
            {"Label3", "Paso"},
            {"Text1", "0,001"},
            {"Label4", "Error Cuadrático"},
            {"label9", "0"},
            {"Label5", "Error normalizado (%)"},
            {"label10", "0"},
            {"Command1", "Guardar"},
            {"Recuperar", "Recuperar"},
            {"Command5", "Gráfica"},
            {"Label6", ""},
            {"xv_19", ""}};
        for (const auto& [name, text] : captions) {
            QCOMPARE(w.caption(name), text);
        }
        // Twips at 15 to a pixel.
        QCOMPARE(w.get("xv_19")->geometry(), QRect(24, 656, 129, 25));
        QCOMPARE(w.get("yv_0")->geometry(), QRect(176, 48, 161, 25));
        QCOMPARE(w.get("graf")->geometry(), QRect(40, 16, 320, 267));
        QCOMPARE(w.get("LSCR")->geometry(), QRect(424, 168, 281, 9));
        QCOMPARE(w.get("label10")->geometry(), QRect(368, 408, 337, 25));
        QCOMPARE(w.get("Command5")->geometry(), QRect(608, 88, 81, 25));
        QCOMPARE(w.get("Check3")->toolTip(), QStringLiteral("Fijar parámetro t0"));
        QCOMPARE(w.get("Label4")->font().pointSizeF(), 12.0);
        QCOMPARE(w.get("Label11")->font().pointSizeF(), 13.5);
    }

    void scrollBarsStepByOneAndTakeTheFocus() {
        Window w;
        const std::vector<std::tuple<QString, int, int, int>> bars = {
            {"LSCR", -100, 100, -50}, {"CSCR", -60, 60, 10}, {"TSCR", -100, 100, 0}};
        for (const auto& [name, minimum, maximum, position] : bars) {
            auto* bar = w.get<QScrollBar>(name);
            QCOMPARE(bar->minimum(), minimum);
            QCOMPARE(bar->maximum(), maximum);
            QCOMPARE(bar->value(), position);
            QCOMPARE(bar->singleStep(), 1);
            QCOMPARE(bar->pageStep(), 1);
            QVERIFY(bar->focusPolicy() & Qt::TabFocus);
        }
    }

    void tabOrderIsAsDesigned() {
        Window w;
        QStringList expected = {"graf",  "funcion", "Picture1", "Picture2", "Picture3", "Lval",
                                "Tval",  "Cval",    "LSCR",     "CSCR",     "TSCR",     "paso",
                                "paso3", "paso4",   "Text1",    "Command5"};
        expected << cellNames("xv_") << cellNames("yv_")
                 << QStringList{"Check1",  "Check2",   "Check3",   "label9",
                                "label10", "Command1", "Recuperar"};
        QStringList actual;
        QWidget* widget = w.get("graf");
        do {
            if (widget->focusPolicy() & Qt::TabFocus) {
                actual << widget->objectName();
            }
            widget = widget->nextInFocusChain();
        } while (widget != w.get("graf"));
        actual.removeAll(QString()); // the window itself
        QCOMPARE(actual, expected);
    }

    void startsInTheTableViewWithTheDefaults() {
        Window w;
        for (const QString& name : tableControls()) {
            QVERIFY2(w.get(name)->isVisible(), qPrintable(name));
        }
        for (const QString& name : kGraphControls) {
            QVERIFY2(!w.get(name)->isVisible(), qPrintable(name));
        }
        for (const char* name : {"funcion", "Command1", "Recuperar", "Command5"}) {
            QVERIFY(w.get(name)->isVisible());
        }
        QCOMPARE(w.state().busy, 0);
        QCOMPARE(w.state().tableMode, -1);
        QCOMPARE(w.state().pointCount, 0);
        QCOMPARE(w.state().sqError, 0.0);
        QCOMPARE(w.state().a, 5.0);
        QCOMPARE(w.state().c, 1.0);
        QCOMPARE(w.state().t0, 0.0);
        QCOMPARE(w.state().yTop, 10.0);
    }

    void aPeriodInACellIsWarnedAboutAndThenTyped() {
        Window w;
        w.type("xv_3", "2.5");
        w.type("yv_7", ".");
        QCOMPARE(w.messages, QStringList({"Utilice la coma", "Utilice la coma"}));
        QCOMPARE(w.caption("xv_3"), QStringLiteral("2.5"));
        QCOMPARE(w.caption("yv_7"), QStringLiteral("."));
        w.messages.clear();
        w.type("Lval", "1.5"); // only the table warns
        QVERIFY(w.messages.isEmpty());
    }

    void theWarningIsARealModalBoxWithOnlyOk() {
        gompertz::ui::Form1 form;
        form.show();
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QString text, title;
        int icon = -1;
        QMessageBox::StandardButtons buttons;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                text = box->text();
                title = box->windowTitle();
                icon = box->icon();
                buttons = box->standardButtons();
                box->button(QMessageBox::Ok)->click();
            }
        });
        poll.start(20);
        auto* cell = form.findChild<QLineEdit*>("xv_0");
        QTest::mouseClick(cell, Qt::LeftButton);
        QTest::keyClick(cell, Qt::Key_Period, Qt::NoModifier);
        poll.stop();
        QCOMPARE(text, QStringLiteral("Utilice la coma"));
        QCOMPARE(title, QStringLiteral("Gompertz"));
        QCOMPARE(icon, int(QMessageBox::NoIcon));
        QCOMPARE(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(cell->text(), QStringLiteral("."));
    }

    void anEmptyTableDoesNotOpenTheGraph() {
        Window w;
        w.click("Command5");
        QCOMPARE(w.messages, QStringList{"no hay datos introducidos"});
        QCOMPARE(w.caption("Command5"), QStringLiteral("Gráfica"));
        QVERIFY(w.get("xv_0")->isVisible());
        QVERIFY(!w.get("graf")->isVisible());
        for (const QString& name : cellNames("xv_") + cellNames("yv_")) {
            QCOMPARE(baseColour(w.get(name)), kGrey);
        }
    }

    void captureTakesTheRunOfNumericRowsAndColoursThem() {
        Window w;
        w.enterPoints({{"0", "1,50"}, {" 2,5 ", "4"}, {"", "3"}, {"7", "8"}});
        w.click("Command5");
        QCOMPARE(w.state().pointCount, 2);
        QCOMPARE(w.caption("xv_1"), QStringLiteral("2,5"));
        QCOMPARE(w.caption("yv_0"), QStringLiteral("1,5"));
        QCOMPARE(w.caption("xv_3"), QStringLiteral("7")); // not read, not rewritten
        w.click("Command5"); // back to the table: the colours of the capture
        for (int i = 0; i < 20; ++i) {
            const QColor expected = i < 2 ? kWhite : kGrey;
            QCOMPARE(baseColour(w.get(QStringLiteral("xv_%1").arg(i))), expected);
            QCOMPARE(baseColour(w.get(QStringLiteral("yv_%1").arg(i))), expected);
        }
    }

    void theGraphViewShowsCurveDataAndReadouts() {
        Window w;
        w.showGraph({{"0", "1,5"}, {"2,5", "4"}});
        QCOMPARE(w.caption("Command5"), QStringLiteral("Tabla"));
        QCOMPARE(w.state().tableMode, 0);
        for (const QString& name : kGraphControls) {
            QVERIFY2(w.get(name)->isVisible(), qPrintable(name));
        }
        for (const QString& name : tableControls()) {
            QVERIFY2(!w.get(name)->isVisible(), qPrintable(name));
        }
        QCOMPARE(w.state().yMean, 2.75);
        const Sums expected = sumsFor({{0.0, 1.5}, {2.5, 4.0}}, 5.0, 1.0, 0.0);
        QVERIFY(near(expected.sq, shown(w, "label9")));
        QVERIFY(near(expected.gradA, shown(w, "Label6")));
        QVERIFY(near(expected.gradC, shown(w, "Label7")));
        QVERIFY(near(expected.gradT0, shown(w, "Label8")));
        QVERIFY(near(std::sqrt(expected.sq / 2) / 2.75 * 100, shown(w, "label10")));
        QVERIFY(w.caption("label9").contains(',')); // decimal comma
        // The first drawing compares with the error of no evaluation, 0.
        QCOMPARE(baseColour(w.get("label10")), kMagenta);
        QVERIFY(looksLike(pixel(w.get("label10"), 100, 12), kMagenta)); // the style shades by 1
        QCOMPARE(w.state().busy, 0);

        QWidget* graf = w.get("graf");
        QCOMPARE(pixel(graf, 300, 10), kGreen);
        QCOMPARE(pixel(graf, 80, 100), QColor(Qt::black)); // the t = 0 axis
        QCOMPARE(pixel(graf, 78, 226), kBlue);             // (0; 1,5) at (80, 227)
        QCOMPARE(pixel(graf, 119, 159), kBlue);            // (2,5; 4) at (120, 160)
        const double v = 5.0 * std::exp(-std::exp(-5.0));  // the sample at t = 5
        QCOMPARE(pixel(graf, 160, int(std::lround((10 - v) * 400 / 15))), kRed);
        QCOMPARE(pixel(graf, 160, 60), kGreen);
    }

    void theDrawingSurvivesRepaints() {
        Window w;
        w.showGraph({{"0", "1,5"}, {"2,5", "4"}, {"8", "5"}});
        QWidget* graf = w.get("graf");
        const QImage before = graf->grab().toImage();
        w.form->hide();
        w.form->show();
        w.form->resize(900, 800);
        QCOMPARE(graf->grab().toImage(), before);
    }

    void pointsFarOutsideTheBoxAreSkippedByThePainter() {
        Window w;
        w.showGraph({{"1e100", "2"}, {"0", "-1e100"}, {"1", "3"}});
        QVERIFY(w.messages.isEmpty());
        const QImage image = w.get("graf")->grab().toImage();
        QCOMPARE(image.size(), QSize(320, 267));
        QCOMPARE(image.pixelColor(95, 186), kBlue); // (1; 3) at (96, 187)
    }

    void backToTheTableChangesNothingInTheFit() {
        Window w;
        w.showGraph({{"1", "2"}});
        const double sq = w.state().sqError;
        w.click("Command5");
        QCOMPARE(w.caption("Command5"), QStringLiteral("Gráfica"));
        QCOMPARE(w.state().tableMode, -1);
        for (const QString& name : tableControls()) {
            QVERIFY2(w.get(name)->isVisible(), qPrintable(name));
        }
        QVERIFY(!w.get("graf")->isVisible());
        QCOMPARE(w.state().sqError, sq);
        QCOMPARE(w.state().pointCount, 1);
    }

    void clickingTheGraphRecomputesTheReadouts() {
        Window w;
        w.showGraph({{"0", "1,5"}, {"2,5", "4"}});
        w.get<QLineEdit>("label9")->setText("x");
        QTest::mouseClick(w.get("graf"), Qt::LeftButton, {}, QPoint(100, 100));
        const Sums expected = sumsFor({{0.0, 1.5}, {2.5, 4.0}}, 5.0, 1.0, 0.0);
        QVERIFY(near(expected.sq, shown(w, "label9")));
        QCOMPARE(baseColour(w.get("label10")), kWhite); // no change of error
        QCOMPARE(w.state().busy, 0);
    }

    void aZeroMeanIsRecoveredFrom() {
        Window w;
        w.showGraph({{"0", "1"}, {"1", "-1"}});
        QCOMPARE(w.messages, QStringList{"Desbordamiento"});
        QCOMPARE(w.state().busy, 0);
        QCOMPARE(w.caption("Command5"), QStringLiteral("Tabla"));
        QVERIFY(w.get("graf")->isVisible());
        QCOMPARE(w.caption("label9"), QString());
        w.click("Command5");
        QVERIFY(w.get("xv_0")->isVisible());
    }

    void savingAndLoadingGoThroughDatosTxt() {
        QTemporaryDir folder;
        const QString previous = QDir::currentPath();
        QDir::setCurrent(folder.path());
        {
            Window w;
            w.enterPoints({{"0", "1,50"}, {"2,5", "4"}});
            w.click("Command1");
            QVERIFY(w.messages.isEmpty());
            QFile file("datos.txt");
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), QByteArray(" 2 \r\n0\r\n1,5\r\n2,5\r\n4\r\n"));
            QCOMPARE(w.state().pointCount, 2); // saving captures first
        }
        {
            Window w;
            w.enterPoints({{"9", "9"}, {"9", "9"}, {"9", "9"}});
            w.click("Recuperar");
            QVERIFY(w.messages.isEmpty());
            QCOMPARE(w.caption("xv_1"), QStringLiteral("2,5"));
            QCOMPARE(w.caption("yv_0"), QStringLiteral("1,5"));
            QCOMPARE(w.caption("xv_2"), QString());
            QCOMPARE(baseColour(w.get("xv_2")), kWhite); // colours untouched
        }
        QDir::setCurrent(previous);
    }

    void aLoadInTheGraphViewWaitsForTheNextCapture() {
        QTemporaryDir folder;
        const QString previous = QDir::currentPath();
        QDir::setCurrent(folder.path());
        QFile file("datos.txt");
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(" 3 \r\n5\r\n5\r\n6\r\n6\r\n7\r\n7\r\n");
        file.close();

        Window w;
        w.showGraph({{"0", "1,5"}, {"2,5", "4"}});
        w.click("Recuperar");
        QCOMPARE(w.state().pointCount, 2);
        w.click("paso"); // still the two captured points
        const Sums expected = sumsFor({{0.0, 1.5}, {2.5, 4.0}}, 5.0, 1.0, 0.0);
        QVERIFY(near(expected.sq, shown(w, "label9")));
        w.click("Command5");
        QCOMPARE(w.caption("xv_2"), QStringLiteral("7"));
        QDir::setCurrent(previous);
    }

    void aBadFileIsReportedAndTheTableKept() {
        QTemporaryDir folder;
        const QString previous = QDir::currentPath();
        QDir::setCurrent(folder.path());
        Window w;
        w.enterPoints({{"1", "2"}});
        w.click("Recuperar");
        QCOMPARE(w.messages.size(), 1);
        QVERIFY(w.messages[0].contains("datos.txt"));
        QFile file("datos.txt");
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(" 25 \r\n");
        file.close();
        w.click("Recuperar");
        QCOMPARE(w.messages.size(), 2);
        QVERIFY(w.messages[1].contains("de 0 a 20"));
        QCOMPARE(w.caption("xv_0"), QStringLiteral("1"));
        QDir::setCurrent(previous);
    }

    void aFailedSaveIsReportedAndTheWindowStaysUsable() {
        QTemporaryDir folder;
        const QString previous = QDir::currentPath();
        QDir::setCurrent(folder.path());
        QVERIFY(QDir().mkdir("datos.txt"));
        Window w;
        w.enterPoints({{"1", "2"}});
        w.click("Command1");
        QCOMPARE(w.messages.size(), 1);
        QVERIFY(w.messages[0].startsWith("No se pudo guardar datos.txt"));
        w.click("Command5");
        QVERIFY(w.get("graf")->isVisible());
        QDir::setCurrent(previous);
    }
};

WIDGET_TEST_MAIN(WindowTest)
#include "window_test.moc"
