// The window as a user meets it: layout, the table, the two views, the
// graph and the data file.
#include "test_support.h"

#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>

#include <cmath>

using namespace testing_support;

namespace {

QStringList cellNames() {
    QStringList names;
    for (const char* column : {"xv_", "yv_"}) {
        for (int i = 0; i < 20; ++i) {
            names << column + QString::number(i);
        }
    }
    return names;
}

const QStringList kGraphControls = {
    "inicio", "Final",   "Minimo", "maximo",   "graf",     "paso",    "paso3",  "paso4",  "Label1",
    "Label2", "Label3",  "Label4", "Label5",   "Label6",   "Label7",  "Label8", "label9", "label10",
    "Text1",  "Label14", "Check1", "Check2",   "Check3",   "LSCR",    "Lval",   "CSCR",   "Cval",
    "TSCR",   "Tval",    "Para",   "Picture1", "Picture2", "Picture3"};
const QStringList kTableControls = cellNames() + QStringList{"Label11", "Label12"};

void expectView(const Window& w, bool graph) {
    for (const QString& name : kGraphControls) {
        QVERIFY2(w.get(name)->isVisible() == graph, qPrintable(name));
    }
    for (const QString& name : kTableControls) {
        QVERIFY2(w.get(name)->isVisible() != graph, qPrintable(name));
    }
    for (const char* name : {"funcion", "Command1", "Recuperar", "Command5"}) {
        QVERIFY(w.get(name)->isVisible());
    }
    QCOMPARE(w.caption("Command5"), graph ? QStringLiteral("Tabla") : QStringLiteral("Gráfica"));
    QCOMPARE(w.state().tableMode, graph ? 0 : -1);
}

// Runs the test's body inside a fresh folder, which becomes the working one.
struct InTemporaryFolder {
    QTemporaryDir folder;
    QString previous = QDir::currentPath();
    InTemporaryFolder() { QDir::setCurrent(folder.path()); }
    ~InTemporaryFolder() { QDir::setCurrent(previous); }
    void write(const QByteArray& bytes) {
        QFile file(QStringLiteral("datos.txt"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
};

} // namespace

class WindowTest : public QObject {
    Q_OBJECT
  private slots:
    void layoutIsAsDesigned() {
        Window w;
        QCOMPARE(w.form->windowTitle(), QStringLiteral("Ajuste de Curvas Gompertz."));
        QCOMPARE(w.form->objectName(), QStringLiteral("Form1"));
        // The designed client area, below the menu bar.
        QCOMPARE(w.form->centralWidget()->size(), QSize(724, 691));
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
            if (auto* label = qobject_cast<QLabel*>(w.get(name)); label && !text.isEmpty()) {
                QVERIFY2(label->sizeHint().width() <= label->width(), qPrintable(name)); // not cut
            }
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
        expected << cellNames() << "Check1"
                 << "Check2"
                 << "Check3"
                 << "label9"
                 << "label10"
                 << "Command1"
                 << "Recuperar";
        QStringList actual;
        QWidget* widget = w.get("graf");
        do {
            if ((widget->focusPolicy() & Qt::TabFocus) && widget != w.form.get()) {
                actual << widget->objectName();
            }
            widget = widget->nextInFocusChain();
        } while (widget != w.get("graf"));
        QCOMPARE(actual, expected);
    }

    void startsInTheTableViewWithTheDefaults() {
        Window w;
        expectView(w, false);
        QCOMPARE(w.state().busy, 0);
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
        w.type("Lval", "1.5"); // only the table warns
        QCOMPARE(w.messages.size(), 2);
    }

    void theWarningIsARealModalBoxWithOnlyOk() {
        gompertz::ui::Form1 form;
        form.show();
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QStringList seen;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                seen << box->windowTitle() << box->text() << QString::number(box->icon())
                     << QString::number(box->standardButtons());
                box->button(QMessageBox::Ok)->click();
            }
        });
        poll.start(20);
        auto* cell = form.findChild<QLineEdit*>("xv_0");
        QTest::mouseClick(cell, Qt::LeftButton);
        QTest::keyClick(cell, Qt::Key_Period);
        QCOMPARE(seen,
                 QStringList({"Gompertz", "Utilice la coma", QString::number(QMessageBox::NoIcon),
                              QString::number(QMessageBox::Ok)}));
        QCOMPARE(cell->text(), QStringLiteral("."));
    }

    void anEmptyTableDoesNotOpenTheGraph() {
        Window w;
        w.click("Command5");
        QCOMPARE(w.messages, QStringList{"no hay datos introducidos"});
        expectView(w, false);
        for (const QString& name : cellNames()) {
            QCOMPARE(baseColour(w.get(name)), kGrey);
        }
    }

    void captureTakesTheRunOfNumericRowsAndTheTableComesBackAsLeft() {
        Window w;
        w.enterPoints({{"0", "1,50"}, {" 2,5 ", "4"}, {"", "3"}, {"7", "8"}});
        w.click("Command5");
        expectView(w, true);
        QCOMPARE(w.state().pointCount, 2);
        const double sq = w.state().sqError;
        w.click("Command5");
        expectView(w, false);
        QCOMPARE(w.state().sqError, sq); // going back changes nothing in the fit
        QCOMPARE(w.caption("xv_1"), QStringLiteral("2,5"));
        QCOMPARE(w.caption("yv_0"), QStringLiteral("1,5"));
        QCOMPARE(w.caption("xv_3"), QStringLiteral("7")); // not read, not rewritten
        for (int i = 0; i < 20; ++i) {
            const QColor expected = i < 2 ? kWhite : kGrey;
            QCOMPARE(baseColour(w.get(QStringLiteral("xv_%1").arg(i))), expected);
            QCOMPARE(baseColour(w.get(QStringLiteral("yv_%1").arg(i))), expected);
        }
    }

    void theGraphViewShowsCurveDataAndReadouts() {
        Window w;
        w.showGraph({{"0", "1,5"}, {"2,5", "4"}});
        QCOMPARE(w.state().yMean, 2.75);
        const Sums expected = sumsFor({{0.0, 1.5}, {2.5, 4.0}});
        QVERIFY(near(expected.sq, shown(w, "label9")));
        QVERIFY(near(expected.gradA, shown(w, "Label6")));
        QVERIFY(near(expected.gradC, shown(w, "Label7")));
        QVERIFY(near(expected.gradT0, shown(w, "Label8")));
        QVERIFY(near(std::sqrt(expected.sq / 2) / 2.75 * 100, shown(w, "label10")));
        QVERIFY(w.caption("label9").contains(',')); // decimal comma
        // The first drawing compares with the error of no evaluation, 0.
        QVERIFY(looksLike(pixel(w.get("label10"), 100, 12), kMagenta));
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

    void theDrawingSurvivesRepaintsAndSkipsFarPoints() {
        Window w;
        w.showGraph({{"1e100", "2"}, {"0", "-1e100"}, {"1", "3"}, {"8", "5"}});
        QVERIFY(w.messages.isEmpty());
        QWidget* graf = w.get("graf");
        const QImage before = graf->grab().toImage();
        QCOMPARE(before.pixelColor(95, 186), kBlue); // (1; 3) at (96, 187)
        w.form->hide();
        w.form->show();
        w.form->resize(900, 800);
        QCOMPARE(graf->grab().toImage(), before);
    }

    void clickingTheGraphRecomputesTheReadouts() {
        Window w;
        w.showGraph({{"0", "1,5"}, {"2,5", "4"}});
        w.box("label9")->setText("x");
        QTest::mouseClick(w.get("graf"), Qt::LeftButton, {}, QPoint(100, 100));
        QVERIFY(near(sumsFor({{0.0, 1.5}, {2.5, 4.0}}).sq, shown(w, "label9")));
        QCOMPARE(baseColour(w.get("label10")), kWhite); // no change of error
        QCOMPARE(w.state().busy, 0);
    }

    void aZeroMeanIsRecoveredFrom() {
        Window w;
        w.showGraph({{"0", "1"}, {"1", "-1"}});
        QCOMPARE(w.messages, QStringList{"Desbordamiento"});
        QCOMPARE(w.state().busy, 0);
        expectView(w, true);
        QCOMPARE(w.caption("label9"), QString());
        w.click("Command5");
        expectView(w, false);
    }

    void aLoadInTheGraphViewWaitsForTheNextCapture() {
        InTemporaryFolder folder;
        folder.write(" 3 \r\n5\r\n5\r\n6\r\n6\r\n7\r\n7\r\n");
        Window w;
        w.showGraph({{"0", "1,5"}, {"2,5", "4"}});
        w.click("Recuperar");
        QVERIFY(w.messages.isEmpty());
        QCOMPARE(w.state().pointCount, 2);
        w.click("paso"); // still the two captured points
        QVERIFY(near(sumsFor({{0.0, 1.5}, {2.5, 4.0}}).sq, shown(w, "label9")));
        w.click("Command5");
        QCOMPARE(w.caption("xv_2"), QStringLiteral("7"));
        QCOMPARE(baseColour(w.get("xv_2")), kGrey); // colours stay until the next capture
        w.click("Command5");
        QCOMPARE(w.state().pointCount, 3);
    }

    void fileProblemsAreReportedAndNothingIsLost() {
        InTemporaryFolder folder;
        Window w;
        w.enterPoints({{"1", "2"}});
        w.click("Recuperar"); // no file yet
        folder.write(" 25 \r\n");
        w.click("Recuperar");
        QFile::remove("datos.txt");
        QVERIFY(QDir().mkdir("datos.txt"));
        w.click("Command1");
        QCOMPARE(w.messages.size(), 3);
        QVERIFY(w.messages[0].startsWith("No se encuentra el archivo datos.txt"));
        QVERIFY(w.messages[1].contains("de 0 a 20"));
        QVERIFY(w.messages[2].startsWith("No se pudo guardar datos.txt"));
        QCOMPARE(w.caption("xv_0"), QStringLiteral("1"));
        w.click("Command5");
        expectView(w, true);
    }
};

WIDGET_TEST_MAIN(WindowTest)
#include "window_test.moc"
