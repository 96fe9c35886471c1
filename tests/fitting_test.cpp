// Fitting from the window: the step buttons, the parameter editors and the
// recovery from numeric errors, driven with the mouse and the keyboard.
#include "test_support.h"

#include <QMessageBox>
#include <QTimer>

#include <cmath>
#include <functional>

using namespace testing_support;

namespace {

const std::vector<std::pair<QString, QString>> kRows = {{"0", "1,5"}, {"2,5", "4"}, {"5", "4,8"}};
const Points kPoints = {{0.0, 1.5}, {2.5, 4.0}, {5.0, 4.8}};
const double kMean = (1.5 + 4.0 + 4.8) / 3.0;

Params stepped(const Params& p, const Sums& sums, double step) {
    return {p.a - step * sums.gradA, p.c - step * sums.gradC, p.t0 - step * sums.gradT0};
}

int position(double value) {
    return int(std::nearbyint(value));
} // halves to even

void expectParameters(const Window& w, const Params& p, double tolerance = 1e-12) {
    QVERIFY(near(p.a, w.state().a, tolerance));
    QVERIFY(near(p.c, w.state().c, tolerance));
    QVERIFY(near(p.t0, w.state().t0, tolerance));
}

// The defaults back in the fit state and the editors, in the graph view.
void expectRecovered(const Window& w) {
    QCOMPARE(w.messages, QStringList{"Desbordamiento"});
    expectParameters(w, {});
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

} // namespace

class FittingTest : public QObject {
    Q_OBJECT
  private slots:
    void aStepAfterTheDrawingComparesEqualErrors() {
        Window w;
        w.showGraph(kRows);
        w.click("paso");
        const Sums sums = sumsFor(kPoints);
        QVERIFY(near(sums.sq, shown(w, "label9")));
        QVERIFY(near(sums.gradA, shown(w, "Label6")));
        QVERIFY(near(sums.gradC, shown(w, "Label7")));
        QVERIFY(near(sums.gradT0, shown(w, "Label8")));
        QVERIFY(near(std::sqrt(sums.sq / 3) / kMean * 100, shown(w, "label10")));
        QCOMPARE(baseColour(w.get("label10")), kWhite);
        QCOMPARE(w.caption("Text1"), QStringLiteral("0,001"));

        const Params next = stepped({}, sums, 0.001);
        expectParameters(w, next);
        QVERIFY(near(next.a, shown(w, "Lval")));
        QVERIFY(near(next.c, shown(w, "Cval")));
        QVERIFY(near(next.t0, shown(w, "Tval")));
        QCOMPARE(w.get<QScrollBar>("LSCR")->value(), position(next.a * 10 - 100));
        QCOMPARE(w.get<QScrollBar>("CSCR")->value(), position(next.c * 10));
        QCOMPARE(w.get<QScrollBar>("TSCR")->value(), position(next.t0 * 5));
        QCOMPARE(w.state().busy, 0);

        w.type("Text1", "0,0020"); // read, and written back in canonical form
        w.click("paso");
        QCOMPARE(w.caption("Text1"), QStringLiteral("0,002"));
        expectParameters(w, stepped(next, sumsFor(kPoints, next), 0.002));
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
        expectParameters(w, p, 1e-9);
        QVERIFY(near(last.sq, shown(w, "label9"), 1e-9)); // the last evaluated parameters
        QCOMPARE(baseColour(w.get("label10")), kWhite);
        QCOMPARE(w.state().busy, 0);
    }

    void aBatchStopsWhenTheErrorGrowsWithoutMovingFurther() {
        Window w;
        w.showGraph(kRows);
        w.type("Text1", "0,5");
        const Sums first = sumsFor(kPoints);
        const Params once = stepped({}, first, 0.5);
        const Sums second = sumsFor(kPoints, once);
        QVERIFY2(second.sq > first.sq, "this step size should overshoot");
        w.click("paso4");
        expectParameters(w, once);
        QVERIFY(near(second.sq, shown(w, "label9"))); // the error that grew
        QCOMPARE(baseColour(w.get("label10")), kMagenta);
        QVERIFY(w.messages.isEmpty());
    }

    void fixedParametersStayWhereTheyAre() {
        Window w;
        w.showGraph(kRows);
        for (const char* name : {"Check1", "Check2", "Check3"}) {
            w.click(name);
        }
        w.click("paso");
        expectParameters(w, {});
        for (const char* name : {"Label6", "Label7", "Label8"}) {
            QCOMPARE(w.caption(name), QStringLiteral("0"));
        }
        QVERIFY(near(sumsFor(kPoints).sq, shown(w, "label9")));

        w.click("Check1"); // a free again, c and t0 still fixed
        w.click("paso");
        expectParameters(w, {5.0 - 0.001 * sumsFor(kPoints).gradA, 1.0, 0.0});
    }

    void typingAValueSetsTheParameterAndItsBar() {
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

        w.type("Cval", "0,5"); // other keys only edit...
        QCOMPARE(w.state().c, 1.0);
        QTest::keyClick(w.box("Cval"), Qt::Key_Tab); // ...leaving the box commits
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
        QCOMPARE(w.caption("Cval"), QStringLiteral("1,1"));
        rate->setValue(0);
        QCOMPARE(w.caption("Cval"), QStringLiteral("0"));
        QCOMPARE(w.state().c, 0.0);
        w.get<QScrollBar>("TSCR")->setValue(-7);
        QCOMPARE(w.caption("Tval"), QStringLiteral("-1,4"));
    }

    void everyNumericErrorLeadsToTheRecovery() {
        using Action = std::function<void(Window&)>;
        const auto press = [](const char* box, const char* text, Qt::Key key) -> Action {
            return [=](Window& w) { w.typeAndPress(box, text, key); };
        };
        const auto step = [](const char* size, const char* button) -> Action {
            return [=](Window& w) {
                w.type("Text1", size);
                w.click(button);
            };
        };
        const std::vector<std::pair<const char*, Action>> cases = {
            {"a beyond its bar", press("Lval", "25", Qt::Key_Return)},
            {"t0 beyond its bar", press("Tval", "-20,2", Qt::Key_Tab)},
            {"letters in a", press("Lval", "abc", Qt::Key_Return)},
            {"empty t0", press("Tval", "", Qt::Key_Return)},
            {"a word in c", press("Cval", "uno", Qt::Key_Tab)},
            {"empty a", press("Lval", "", Qt::Key_Tab)},
            {"two commas", press("Tval", "1,2,3", Qt::Key_Tab)},
            {"beyond doubles", press("Lval", "1e400", Qt::Key_Return)},
            {"a huge step", step("1e300", "paso4")},
            {"a step size that is a word", step("mucho", "paso3")},
            {"a step past c's bar", step("40", "paso")}, // c = 1 - 40 * 2,18
        };
        for (const auto& [name, action] : cases) {
            qInfo() << name;
            Window w;
            w.showGraph(kRows);
            w.typeAndPress("Tval", "1", Qt::Key_Return);
            action(w);
            expectRecovered(w);
        }
    }

    void theRecoveryKeepsDataFixBoxesAndStepSizeAndClearsTheReadouts() {
        Window w;
        w.showGraph(kRows);
        w.click("Check3");
        w.type("Text1", "1e300");
        w.click("paso");
        expectRecovered(w);
        for (const char* name : {"label9", "label10", "Label6", "Label7", "Label8"}) {
            QCOMPARE(w.caption(name), QString());
        }
        QCOMPARE(w.caption("Text1"), QStringLiteral("1E+300"));
        QVERIFY(w.get<QCheckBox>("Check3")->isChecked());
        QCOMPARE(w.state().pointCount, 3);

        w.type("Text1", "0,001"); // and the window works on
        w.click("paso");
        w.typeAndPress("Lval", "6", Qt::Key_Return);
        QCOMPARE(w.messages.size(), 1);
        QCOMPARE(w.state().a, 6.0);
        QVERIFY(!w.caption("label9").isEmpty());
    }

    void theRateBoxRedrawsAfterItsRecovery() {
        Window w;
        w.showGraph(kRows);
        w.typeAndPress("Cval", "7", Qt::Key_Return); // position 70, beyond 60
        expectRecovered(w);
        QVERIFY(near(sumsFor(kPoints).sq, shown(w, "label9"))); // drawn again with read-outs
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
        w.activate();
        QVERIFY(w.messages.isEmpty());
        QCOMPARE(w.state().a, 5.0);
        w.click("Cval"); // now the focus moves on: the box is committed
        QCOMPARE(w.messages, QStringList{"Desbordamiento"});
    }

    void theRecoveryShowsARealBoxAndTheWindowGoesOn() {
        gompertz::ui::Form1 form;
        form.show();
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        const auto typeInto = [&](const char* name, const char* text) {
            auto* box = form.findChild<QLineEdit*>(name);
            QTest::mouseClick(box, Qt::LeftButton);
            box->selectAll();
            QTest::keyClicks(box, text);
            return box;
        };
        typeInto("xv_0", "1");
        typeInto("yv_0", "2");
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
        // Tab moves to Tval; the box then takes the activation from it, which
        // is no LostFocus of Tval.
        QTest::keyClick(typeInto("Lval", "25"), Qt::Key_Tab);
        poll.stop();
        QCOMPARE(seen, QStringList{"Gompertz: Desbordamiento"});
        QCOMPARE(form.findChild<QLineEdit*>("Lval")->text(), QStringLiteral("5"));
        QCOMPARE(form.fitState().busy, 0);

        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QTest::keyClick(typeInto("Tval", "2"), Qt::Key_Return);
        QCOMPARE(form.fitState().t0, 2.0);
        QCOMPARE(seen.size(), 1);
    }

    void dataThatCannotBeDrawnAreReportedAndTheWindowStaysUsable() {
        Window w;
        w.showGraph({{"1e306", "2"}}); // 1e306 * 240 overflows the graph's scale
        QCOMPARE(w.messages.size(), 2);
        QCOMPARE(w.messages[0], QStringLiteral("Desbordamiento"));
        QVERIFY(w.messages[1].contains("revise los datos"));
        QCOMPARE(w.state().busy, 0);
        w.click("Command5");
        w.type("xv_0", "1");
        w.click("Command5");
        QCOMPARE(w.messages.size(), 2);
        QVERIFY(!w.caption("label9").isEmpty());
    }
};

WIDGET_TEST_MAIN(FittingTest)
#include "fitting_test.moc"
