// Every screen: the analysis window's controls are reachable however small
// the window, the main window's client area scrolls, the analysis window
// opens within the screen, and the program's own question has mnemonics.
#include "test_support.h"

#include "ui/analysis_window.h"
#include "ui/messages.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAction>
#include <QComboBox>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>

#include <qcustomplot.h>

using namespace testing_support;

namespace {

bool isControl(QWidget* widget) {
    return (qobject_cast<QAbstractButton*>(widget) || qobject_cast<QComboBox*>(widget) ||
            qobject_cast<QLineEdit*>(widget) || qobject_cast<QAbstractSpinBox*>(widget) ||
            qobject_cast<QAbstractItemView*>(widget) || qobject_cast<QCustomPlot*>(widget)) &&
           !widget->objectName().isEmpty() && !widget->objectName().startsWith("qt_") &&
           !qobject_cast<QTabBar*>(widget->parentWidget());
}

} // namespace

class ScreensTest : public QObject {
    Q_OBJECT
  private slots:
    // 800 × 460: the analysis window on 1600 × 1000 at twice the scale.
    void everyControlOfASmallAnalysisWindowCanBeScrolledIntoView() {
        Window w;
        w.form->findChild<QAction*>("actionAnalisis")->trigger();
        QWidget* window = w.form->analysisWindow();
        window->resize(800, 460);
        QApplication::processEvents();
        auto* scroller = window->findChild<QScrollArea*>("desplazamiento");
        QVERIFY(scroller != nullptr);
        QVERIFY(scroller->verticalScrollBar()->maximum() > 0); // it does not all fit
        auto* tabs = window->findChild<QTabWidget*>("pestanas");
        int reached = 0;
        for (int tab = 0; tab < tabs->count(); ++tab) {
            tabs->setCurrentIndex(tab);
            QApplication::processEvents();
            for (QWidget* control : window->findChildren<QWidget*>()) {
                if (!isControl(control) || !control->isVisibleTo(window)) {
                    continue;
                }
                scroller->ensureWidgetVisible(control, 0, 0);
                QApplication::processEvents();
                const QRect shown(control->mapTo(scroller->viewport(), QPoint(0, 0)),
                                  control->size());
                const QRect view = scroller->viewport()->rect();
                QVERIFY2(view.contains(shown.center()), qPrintable(control->objectName()));
                ++reached;
            }
        }
        QVERIFY2(reached >= 30, qPrintable(QString::number(reached)));
    }

    // The designed controls keep their places; the client area scrolls.
    void theMainWindowScrollsWhenItIsSmallerThanItsDesign() {
        Window w;
        auto* scroller = w.form->findChild<QScrollArea*>("desplazamiento");
        QVERIFY(scroller != nullptr && scroller == w.form->centralWidget());
        QCOMPARE(w.get("Recuperar")->parentWidget()->size(), QSize(724, 691));
        const QPoint designed = w.get("Recuperar")->pos();
        w.form->resize(600, 400);
        QApplication::processEvents();
        QVERIFY(scroller->verticalScrollBar()->maximum() > 0);
        QVERIFY(scroller->horizontalScrollBar()->maximum() > 0);
        scroller->ensureWidgetVisible(w.get("Recuperar"));
        QApplication::processEvents();
        QCOMPARE(w.get("Recuperar")->pos(), designed);
        const QPoint inView = w.get("Recuperar")->mapTo(scroller->viewport(), QPoint(0, 0));
        QVERIFY(scroller->viewport()->rect().contains(inView));
    }

    // On a screen large enough the main window has its designed size, the
    // client area below the menu bar; on a smaller one the window and its
    // frame stay within the screen, and the client area scrolls.
    void theMainWindowFitsTheScreen() {
        Window w;
        QApplication::processEvents();
        const QRect available = w.form->screen()->availableGeometry();
        const QSize designed(724, 691 + w.form->menuBar()->height());
        const QRect frame = w.form->frameGeometry();
        const QString shown = QStringLiteral("%1,%2 %3x%4 on %5x%6")
                                  .arg(frame.x())
                                  .arg(frame.y())
                                  .arg(frame.width())
                                  .arg(frame.height())
                                  .arg(available.width())
                                  .arg(available.height());
        QVERIFY2(available.contains(frame), qPrintable(shown));
        auto* scroller = w.form->findChild<QScrollArea*>("desplazamiento");
        if (available.width() >= 800 && available.height() >= 800) {
            QCOMPARE(w.form->size(), designed);
            QCOMPARE(scroller->verticalScrollBar()->maximum(), 0);
        } else {
            QVERIFY2(w.form->height() < designed.height(), qPrintable(shown));
            QVERIFY(scroller->verticalScrollBar()->maximum() > 0);
        }
    }

    void theAnalysisWindowOpensWithinTheScreen() {
        Window w;
        w.form->findChild<QAction*>("actionAnalisis")->trigger();
        QWidget* window = w.form->analysisWindow();
        const QRect available = window->screen()->availableGeometry();
        QVERIFY2(available.contains(window->geometry()),
                 qPrintable(QStringLiteral("%1,%2 %3x%4")
                                .arg(window->x())
                                .arg(window->y())
                                .arg(window->width())
                                .arg(window->height())));
    }

    // Where the screen has room for both, the pair stands side by side: the
    // main window moves left when there is no room to its right.
    void theAnalysisWindowOpensBesideTheMainWindow() {
        Window w;
        const QRect available = w.form->screen()->availableGeometry();
        w.form->move(available.right() - w.form->frameGeometry().width() - 100, 50);
        QApplication::processEvents();
        w.form->findChild<QAction*>("actionAnalisis")->trigger();
        QWidget* window = w.form->analysisWindow();
        QApplication::processEvents();
        const QRect main = w.form->frameGeometry();
        const QRect analysis = window->frameGeometry();
        const QString shown = QStringLiteral("%1,%2 %3x%4 and %5,%6 %7x%8")
                                  .arg(main.x()).arg(main.y()).arg(main.width()).arg(main.height())
                                  .arg(analysis.x()).arg(analysis.y()).arg(analysis.width())
                                  .arg(analysis.height());
        QVERIFY2(!main.intersects(analysis), qPrintable(shown));
        QVERIFY2(available.contains(main) && available.contains(analysis), qPrintable(shown));
        QVERIFY2(analysis.left() > main.right(), qPrintable(shown));
        QCOMPARE(window->size(), QSize(980, 860)); // room for its designed size
    }

    // Alt+G, Alt+D and Alt+C answer the question whether to save.
    void theQuestionWhetherToSaveHasMnemonics() {
        QWidget parent;
        gompertz::ui::MessageBoxSink sink(&parent);
        QStringList texts;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                if (texts.isEmpty()) {
                    for (QAbstractButton* button : box->buttons()) {
                        texts << button->text();
                    }
                }
                QTest::keyClick(box, Qt::Key_C, Qt::AltModifier);
            }
        });
        poll.start(20);
        const auto answer = sink.askToSave(QStringLiteral("¿Guardar?"));
        poll.stop();
        texts.sort();
        QCOMPARE(texts, QStringList({"&Cancelar", "&Descartar", "&Guardar"}));
        QCOMPARE(answer, gompertz::ui::SaveAnswer::Cancel);
    }
};

WIDGET_TEST_MAIN(ScreensTest)
#include "screens_test.moc"
