// The window stays usable after failed edits, and its message boxes show
// their whole caption.
#include "test_support.h"

#include <QMessageBox>
#include <QTimer>

#include <functional>

using namespace testing_support;

class RobustnessTest : public QObject {
    Q_OBJECT
  private slots:
    // Every editor, every failing step, then every control that busy guards.
    void everyFailedEditLeavesTheWindowUsable() {
        struct Case {
            const char* name;
            std::vector<std::pair<QString, QString>> rows;
            const char* box;
            const char* text;
            Qt::Key key;
        };
        const std::vector<Case> cases = {
            // The drawing divides by a mean of 0: the redraw itself fails.
            {"c redraw fails, Enter", {{"0", "0"}}, "Cval", "1", Qt::Key_Return},
            {"c redraw fails, Tab", {{"0", "0"}}, "Cval", "2", Qt::Key_Tab},
            {"a redraw fails", {{"0", "0"}}, "Lval", "5", Qt::Key_Return},
            {"t0 redraw fails", {{"0", "0"}}, "Tval", "0", Qt::Key_Tab},
            // exp(800) at t = 200 with c = -4.
            {"c curve overflows", {{"200", "1"}}, "Cval", "-4", Qt::Key_Return},
            {"c word, redraw fails", {{"0", "0"}}, "Cval", "uno", Qt::Key_Return},
            {"c past its bar, redraw fails", {{"0", "0"}}, "Cval", "7", Qt::Key_Return},
            {"a past its bar", {{"0", "0"}}, "Lval", "25", Qt::Key_Return},
        };
        for (const Case& test : cases) {
            qInfo() << test.name;
            Window w;
            w.showGraph(test.rows);
            w.messages.clear();
            w.typeAndPress(test.box, test.text, test.key);
            QVERIFY(!w.messages.isEmpty());
            QVERIFY(w.messages.first() == "Desbordamiento");
            QCOMPARE(w.state().busy, 0);
            QCOMPARE(w.caption("Cval"), QStringLiteral("1"));

            // Each control that busy guards reacts again: it does its work, or
            // (where every redraw divides by a zero mean) reports the failure.
            const auto reacts = [&w](const std::function<void()>& action,
                                     const std::function<bool()>& worked) {
                const auto before = w.messages.size();
                action();
                QVERIFY(worked() || w.messages.size() > before);
                QCOMPARE(w.state().busy, 0);
            };
            reacts([&] { w.get<QScrollBar>("TSCR")->setValue(3); },
                   [&] { return w.state().t0 == 0.6; });
            reacts([&] { w.typeAndPress("Tval", "1", Qt::Key_Return); },
                   [&] { return w.state().t0 == 1.0; });
            reacts([&] { w.click("paso"); },
                   [&] { return w.state().a != 5.0 || w.state().c != 1.0; });
            reacts([&] { w.click("paso4"); }, [&] { return !w.caption("label9").isEmpty(); });
            QCOMPARE(w.state().busy, 0);
        }
    }

    void aMessageBoxIsWideEnoughForItsCaption() {
        gompertz::ui::Form1 form;
        form.show();
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        int width = 0;
        QString title;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                width = box->width();
                title = box->windowTitle();
                box->button(QMessageBox::Ok)->click();
            }
        });
        poll.start(20);
        auto* cell = form.findChild<QLineEdit*>("xv_0");
        QTest::mouseClick(cell, Qt::LeftButton);
        QTest::keyClick(cell, Qt::Key_Period); // "Utilice la coma": shorter than its caption
        QCOMPARE(title, QStringLiteral("Gompertz"));
        // The caption at twice its width in the box's font, and three title
        // bar buttons of a title bar's height each.
        const QFontMetrics metrics(form.font());
        QVERIFY2(width >= 2 * metrics.horizontalAdvance(title) + 3 * 20,
                 qPrintable(QString::number(width)));
    }
};

WIDGET_TEST_MAIN(RobustnessTest)
#include "robustness_test.moc"
