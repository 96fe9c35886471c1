// Fitting from the window: the step buttons, the parameter editors and the
// recovery from numeric errors, driven with the mouse and the keyboard.
#include "test_support.h"

#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <cmath>

using testing_support::baseColour;
using testing_support::Window;

namespace {

using Points = std::vector<std::pair<double, double>>;
const std::vector<std::pair<QString, QString>> kRows = {{"0", "1,5"}, {"2,5", "4"}, {"5", "4,8"}};
const Points kPoints = {{0.0, 1.5}, {2.5, 4.0}, {5.0, 4.8}};
const double kMean = (1.5 + 4.0 + 4.8) / 3.0;

const QColor kWhite(255, 255, 255);
const QColor kMagenta(128, 0, 128);

struct Params {
    double a = 5.0, c = 1.0, t0 = 0.0;
};

// One evaluation of a * exp(-exp(-c (t - t0))), worked out here.
struct Sums {
    double gradA = 0, gradC = 0, gradT0 = 0, sq = 0;
};
Sums sumsFor(const Points& points, const Params& p) {
    Sums out;
    for (const auto& [t, y] : points) {
        const double inner = std::exp(-p.c * (t - p.t0));
        const double g = std::exp(-inner);
        const double r = p.a * g - y;
        out.gradA += 2 * r * g;
        out.gradC += 2 * r * p.a * g * inner * (t - p.t0);
        out.gradT0 += 2 * r * p.a * g * inner * -p.c;
        out.sq += r * r;
    }
    return out;
}

Params stepped(const Params& p, const Sums& sums, double step) {
    return {p.a - step * sums.gradA, p.c - step * sums.gradC, p.t0 - step * sums.gradT0};
}

double shown(const Window& w, const QString& name) {
    return w.caption(name).replace(',', '.').toDouble();
}

bool near(double expected, double actual, double tolerance = 1e-12) {
    return std::fabs(expected - actual) <= tolerance * std::max(1.0, std::fabs(expected));
}

int position(double value) {
    return int(std::nearbyint(value));
} // halves to even

void expectDefaults(const Window& w) {
    QCOMPARE(w.state().a, 5.0);
    QCOMPARE(w.state().c, 1.0);
    QCOMPARE(w.state().t0, 0.0);
    QCOMPARE(w.caption("Lval"), QStringLiteral("5"));
    QCOMPARE(w.caption("Cval"), QStringLiteral("1"));
    QCOMPARE(w.caption("Tval"), QStringLiteral("0"));
    QCOMPARE(w.get<QScrollBar>("LSCR")->value(), -50);
    QCOMPARE(w.get<QScrollBar>("CSCR")->value(), 10);
    QCOMPARE(w.get<QScrollBar>("TSCR")->value(), 0);
    QCOMPARE(w.state().busy, 0);
    QCOMPARE(w.caption("Command5"), QStringLiteral("Tabla"));
    QVERIFY(w.get("graf")->isVisible());
}

void expectReadoutsEmpty(const Window& w) {
    for (const char* name : {"label9", "label10", "Label6", "Label7", "Label8"}) {
        QCOMPARE(w.caption(name), QString());
    }
}

} // namespace

class FittingTest : public QObject {
    Q_OBJECT
  private slots:
    void aStepAfterTheDrawingComparesEqualErrors() {
        Window w;
        w.showGraph(kRows);
        w.click("paso");
        const Sums sums = sumsFor(kPoints, {});
        QVERIFY(near(sums.sq, shown(w, "label9")));
        QVERIFY(near(sums.gradA, shown(w, "Label6")));
        QVERIFY(near(sums.gradC, shown(w, "Label7")));
        QVERIFY(near(sums.gradT0, shown(w, "Label8")));
        QVERIFY(near(std::sqrt(sums.sq / 3) / kMean * 100, shown(w, "label10")));
        QCOMPARE(baseColour(w.get("label10")), kWhite);
        QCOMPARE(w.caption("Text1"), QStringLiteral("0,001"));

        const Params next = stepped({}, sums, 0.001);
        QVERIFY(near(next.a, w.state().a));
        QVERIFY(near(next.c, w.state().c));
        QVERIFY(near(next.t0, w.state().t0));
        QVERIFY(near(next.a, shown(w, "Lval")));
        QVERIFY(near(next.c, shown(w, "Cval")));
        QVERIFY(near(next.t0, shown(w, "Tval")));
        QCOMPARE(w.get<QScrollBar>("LSCR")->value(), position(next.a * 10 - 100));
        QCOMPARE(w.get<QScrollBar>("CSCR")->value(), position(next.c * 10));
        QCOMPARE(w.get<QScrollBar>("TSCR")->value(), position(next.t0 * 5));
        QCOMPARE(w.state().busy, 0);
    }

    void theStepSizeIsReadAndWrittenBackInCanonicalForm() {
        Window w;
        w.showGraph(kRows);
        w.type("Text1", "0,0020");
        w.click("paso");
        QCOMPARE(w.caption("Text1"), QStringLiteral("0,002"));
        QVERIFY(near(stepped({}, sumsFor(kPoints, {}), 0.002).a, w.state().a));
    }

    void aHundredStepsOnAFallingErrorRunToTheEnd() {
        Window w;
        w.showGraph(kRows);
        w.click("paso3");
        Params p;
        Sums last;
        for (int k = 0; k < 100; ++k) {
            last = sumsFor(kPoints, p);
            p = stepped(p, last, 0.001);
        }
        QVERIFY(near(p.a, w.state().a, 1e-9));
        QVERIFY(near(p.c, w.state().c, 1e-9));
        QVERIFY(near(p.t0, w.state().t0, 1e-9));
        QVERIFY(near(last.sq, shown(w, "label9"), 1e-9)); // the last evaluated parameters
        QCOMPARE(baseColour(w.get("label10")), kWhite);
        QCOMPARE(w.state().busy, 0);
    }

    void aBatchStopsWhenTheErrorGrowsWithoutMovingFurther() {
        Window w;
        w.showGraph(kRows);
        w.type("Text1", "0,5");
        const Sums first = sumsFor(kPoints, {});
        const Params once = stepped({}, first, 0.5);
        const Sums second = sumsFor(kPoints, once);
        QVERIFY2(second.sq > first.sq, "this step size should overshoot");
        w.click("paso4");
        QVERIFY(near(once.a, w.state().a));
        QVERIFY(near(once.c, w.state().c));
        QVERIFY(near(once.t0, w.state().t0));
        QVERIFY(near(second.sq, shown(w, "label9"))); // the error that grew
        QCOMPARE(baseColour(w.get("label10")), kMagenta);
        QVERIFY(w.messages.isEmpty());
    }

    void fixedParametersStayWhereTheyAre() {
        Window w;
        w.showGraph(kRows);
        for (const char* name : {"Check1", "Check2", "Check3"}) {
            w.click(name);
            QVERIFY(w.get<QCheckBox>(name)->isChecked());
        }
        w.click("paso");
        QCOMPARE(w.state().a, 5.0);
        QCOMPARE(w.state().c, 1.0);
        QCOMPARE(w.state().t0, 0.0);
        for (const char* name : {"Label6", "Label7", "Label8"}) {
            QCOMPARE(w.caption(name), QStringLiteral("0"));
        }
        QVERIFY(near(sumsFor(kPoints, {}).sq, shown(w, "label9")));

        w.click("Check1"); // a free again, c and t0 still fixed
        w.click("paso");
        QVERIFY(w.state().a != 5.0);
        QCOMPARE(w.state().c, 1.0);
        QCOMPARE(w.state().t0, 0.0);
    }

    void typingAValueAndEnterSetsTheParameterAndTheBar() {
        Window w;
        w.showGraph(kRows);
        w.typeAndPress("Lval", "7,25", Qt::Key_Return);
        QCOMPARE(w.state().a, 7.25);
        QCOMPARE(w.caption("Lval"), QStringLiteral("7,25"));
        QCOMPARE(w.get<QScrollBar>("LSCR")->value(), -28); // nearest(-27.5)
        QVERIFY(near(sumsFor(kPoints, {7.25, 1.0, 0.0}).sq, shown(w, "label9")));
        QCOMPARE(baseColour(w.get("label10")), kMagenta); // a worse fit
        QCOMPARE(w.state().busy, 0);

        w.typeAndPress("Tval", "05,50", Qt::Key_Enter); // the keypad's Enter
        QCOMPARE(w.caption("Tval"), QStringLiteral("5,5"));
        QCOMPARE(w.get<QScrollBar>("TSCR")->value(), 28); // nearest(27.5)
    }

    void otherKeysOnlyEditAndLeavingTheBoxCommits() {
        Window w;
        w.showGraph(kRows);
        w.type("Cval", "0,5");
        QCOMPARE(w.state().c, 1.0);
        QTest::keyClick(w.box("Cval"), Qt::Key_Tab);
        QCOMPARE(w.state().c, 0.5);
        QCOMPARE(w.get<QScrollBar>("CSCR")->value(), 5);
        QVERIFY(w.messages.isEmpty());
    }

    void movingABarSetsTheParameterByItsScale() {
        Window w;
        w.showGraph(kRows);
        auto* bar = w.get<QScrollBar>("LSCR");
        bar->setFocus();
        for (int i = 0; i < 13; ++i) {
            QTest::keyClick(bar, Qt::Key_Right);
        }
        QCOMPARE(bar->value(), -37);
        QCOMPARE(w.caption("Lval"), QStringLiteral("6,3"));
        QCOMPARE(w.state().a, -37 / 10.0 + 10);
        QVERIFY(near(sumsFor(kPoints, {w.state().a, 1.0, 0.0}).sq, shown(w, "label9")));

        auto* rate = w.get<QScrollBar>("CSCR");
        rate->setFocus();
        QTest::keyClick(rate, Qt::Key_PageUp); // one position, like the arrows
        QCOMPARE(rate->value(), 11);
        QCOMPARE(w.caption("Cval"), QStringLiteral("1,1"));
        QTest::keyClick(rate, Qt::Key_Left);
        QCOMPARE(rate->value(), 10);
        rate->setValue(0);
        QCOMPARE(w.caption("Cval"), QStringLiteral("0"));
        QCOMPARE(w.state().c, 0.0);
        auto* shift = w.get<QScrollBar>("TSCR");
        shift->setValue(-7);
        QCOMPARE(w.caption("Tval"), QStringLiteral("-1,4"));
    }

    void aValueBeyondTheBarLeadsToTheRecovery() {
        Window w;
        w.showGraph(kRows);
        w.click("Check2");
        w.type("Text1", "0,01");
        w.typeAndPress("Tval", "3", Qt::Key_Return);
        w.typeAndPress("Lval", "25", Qt::Key_Return); // position 150, beyond 100
        QCOMPARE(w.messages, QStringList{"Desbordamiento"});
        expectDefaults(w);
        expectReadoutsEmpty(w);
        QVERIFY(w.get<QCheckBox>("Check2")->isChecked());
        QCOMPARE(w.caption("Text1"), QStringLiteral("0,01"));
        QCOMPARE(w.state().pointCount, 3);

        w.typeAndPress("Lval", "6", Qt::Key_Return); // usable again
        QCOMPARE(w.messages.size(), 1);
        QCOMPARE(w.state().a, 6.0);
        QVERIFY(!w.caption("label9").isEmpty());
    }

    void theRateBoxRedrawsAfterItsRecovery() {
        Window w;
        w.showGraph(kRows);
        w.typeAndPress("Cval", "7", Qt::Key_Return); // position 70, beyond 60
        QCOMPARE(w.messages, QStringList{"Desbordamiento"});
        expectDefaults(w);
        QVERIFY(near(sumsFor(kPoints, {}).sq, shown(w, "label9"))); // drawn again with read-outs
    }

    void textsThatAreNotNumbersLeadToTheRecovery() {
        const std::vector<std::tuple<QString, QString, Qt::Key>> cases = {
            {"Lval", "abc", Qt::Key_Return}, {"Tval", "", Qt::Key_Return},
            {"Cval", "uno", Qt::Key_Tab},    {"Lval", "", Qt::Key_Tab},
            {"Tval", "1,2,3", Qt::Key_Tab},  {"Lval", "1e400", Qt::Key_Return}};
        for (const auto& [name, text, key] : cases) {
            Window w;
            w.showGraph(kRows);
            w.typeAndPress("Tval", "1", Qt::Key_Return);
            w.typeAndPress(name, text, key);
            QVERIFY2(w.messages == QStringList{"Desbordamiento"}, qPrintable(name + ": " + text));
            expectDefaults(w);
        }
    }

    void aHugeStepSizeOverflowsAndTheWindowRecovers() {
        Window w;
        w.showGraph(kRows);
        w.click("Check3");
        w.type("Text1", "1e300");
        w.click("paso");
        QCOMPARE(w.messages, QStringList{"Desbordamiento"});
        expectDefaults(w);
        expectReadoutsEmpty(w);
        QCOMPARE(w.caption("Text1"), QStringLiteral("1E+300")); // the step size survives
        QVERIFY(w.get<QCheckBox>("Check3")->isChecked());

        w.type("Text1", "0,001");
        w.click("paso");
        QCOMPARE(w.messages.size(), 1);
        QVERIFY(!w.caption("label9").isEmpty());
        w.click("paso3");
        w.click("Command5");
        QVERIFY(w.get("xv_0")->isVisible());
    }

    void aStepSizeThatIsNotANumberLeadsToTheRecovery() {
        Window w;
        w.showGraph(kRows);
        w.type("Text1", "mucho");
        w.click("paso3");
        QCOMPARE(w.messages, QStringList{"Desbordamiento"});
        expectDefaults(w);
    }

    void aStepBeyondTheBarsRangeLeadsToTheRecovery() {
        Window w;
        w.showGraph({{"10", "40"}});
        w.type("Text1", "1"); // a moves from 5 to 75: position 650
        w.click("paso");
        QCOMPARE(w.messages, QStringList{"Desbordamiento"});
        expectDefaults(w);
    }

    void clickingAStepRightAfterTypingCommitsTheBoxFirst() {
        Window w;
        w.showGraph(kRows);
        w.type("Lval", "6");
        w.click("paso");
        const Sums sums = sumsFor(kPoints, {6.0, 1.0, 0.0});
        QVERIFY(near(sums.sq, shown(w, "label9")));
        QVERIFY(near(6.0 - 0.001 * sums.gradA, w.state().a));
        QCOMPARE(baseColour(w.get("label10")), kWhite); // the commit drew the same parameters
    }

    void theWindowLosingActivationIsNotLeavingTheBox() {
        Window w;
        w.showGraph(kRows);
        w.type("Lval", "abc");
        QWidget other;
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        QVERIFY(w.messages.isEmpty());
        QCOMPARE(w.state().a, 5.0);
        w.activate();
        QVERIFY(w.messages.isEmpty());
        w.click("Cval"); // now the focus moves on: the box is committed
        QCOMPARE(w.messages, QStringList{"Desbordamiento"});
    }

    void theRecoveryShowsARealBoxAndTheWindowGoesOn() {
        gompertz::ui::Form1 form;
        form.show();
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        auto* x = form.findChild<QLineEdit*>("xv_0");
        auto* y = form.findChild<QLineEdit*>("yv_0");
        QTest::mouseClick(x, Qt::LeftButton);
        QTest::keyClicks(x, "1");
        QTest::mouseClick(y, Qt::LeftButton);
        QTest::keyClicks(y, "2");
        QTest::mouseClick(form.findChild<QPushButton*>("Command5"), Qt::LeftButton);

        QStringList seen;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                seen << box->windowTitle() + ": " + box->text();
                box->button(QMessageBox::Ok)->click();
            }
        });
        poll.start(20);
        auto* lval = form.findChild<QLineEdit*>("Lval");
        QTest::mouseClick(lval, Qt::LeftButton);
        lval->selectAll();
        QTest::keyClicks(lval, "25");
        QTest::keyClick(lval, Qt::Key_Tab); // to Tval, which the box then deactivates
        poll.stop();
        QCOMPARE(seen, QStringList{"Gompertz: Desbordamiento"});
        QCOMPARE(lval->text(), QStringLiteral("5"));
        QCOMPARE(form.fitState().busy, 0);

        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        auto* tval = form.findChild<QLineEdit*>("Tval");
        tval->selectAll();
        QTest::keyClicks(tval, "2");
        QTest::keyClick(tval, Qt::Key_Return);
        QCOMPARE(form.fitState().t0, 2.0);
    }

    void dataThatCannotBeDrawnAreReportedAndTheWindowStaysUsable() {
        Window w;
        w.showGraph({{"1e306", "2"}}); // 1e306 * 240 overflows the graph's scale
        QCOMPARE(w.messages.size(), 2);
        QCOMPARE(w.messages[0], QStringLiteral("Desbordamiento"));
        QVERIFY(w.messages[1].contains("revise los datos"));
        QCOMPARE(w.state().busy, 0);
        w.click("Command5");
        QVERIFY(w.get("xv_0")->isVisible());
        w.type("xv_0", "1");
        w.click("Command5");
        QCOMPARE(w.messages.size(), 2);
        QVERIFY(!w.caption("label9").isEmpty());
    }
};

WIDGET_TEST_MAIN(FittingTest)
#include "fitting_test.moc"
