// Help for a new user, driven as one: the manual's pages and figure, a
// tooltip on every control of the analysis window, the example data sets in
// "Archivo", and the summary saying which rows of the table the fit uses.
#include "test_support.h"

#include "ui/analysis_window.h"
#include "ui/manual_window.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAction>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QTextBrowser>
#include <QUrl>

#include <qcustomplot.h>

using namespace testing_support;

namespace {

QMenu* menuNamed(gompertz::ui::Form1& form, const QString& title) {
    for (QAction* action : form.menuBar()->actions()) {
        if (action->menu() != nullptr && action->text().remove('&') == title) {
            return action->menu();
        }
    }
    return nullptr;
}

QString plainText(QTextBrowser* browser) {
    return browser->document()->toPlainText();
}

} // namespace

class HelpTest : public QObject {
    Q_OBJECT
  private slots:
    void f1OpensTheManualWithItsIndex() {
        Window w;
        auto* action = w.form->findChild<QAction*>("actionManual");
        QVERIFY(action != nullptr);
        QCOMPARE(action->text(), QStringLiteral("Manual"));
        QCOMPARE(action->shortcut(), QKeySequence(Qt::Key_F1));
        QVERIFY(menuNamed(*w.form, QStringLiteral("Ayuda"))->actions().contains(action));
        QTest::keyClick(w.form.get(), Qt::Key_F1);
        auto* manual = w.form->manualWindow();
        QVERIFY(manual != nullptr && manual->isVisible() && manual->isWindow());
        QCOMPARE(manual->objectName(), QStringLiteral("Manual"));
        QTextBrowser* browser = manual->findChild<QTextBrowser*>();
        QCOMPARE(browser->documentTitle(), QStringLiteral("Manual de Gompertz"));
        action->trigger();
        QCOMPARE(w.form->manualWindow(), manual); // raised again, not a second one
    }

    // F1 from the analysis window, with the focus in one of its controls, and
    // from the manual itself: the keys the manual's first page promises.
    void f1OpensTheManualFromEveryWindow() {
        Window w;
        w.form->findChild<QAction*>("actionAnalisis")->trigger();
        QWidget* analysis = w.form->analysisWindow();
        analysis->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(analysis));
        auto* box = analysis->findChild<QComboBox*>("modelo");
        box->setFocus();
        QTRY_COMPARE(QApplication::activeWindow(), analysis);
        QCOMPARE(QApplication::focusWidget(), box);
        QVERIFY(w.form->manualWindow() == nullptr);
        QTest::keyClick(box, Qt::Key_F1);
        auto* manual = w.form->manualWindow();
        QVERIFY(manual != nullptr);
        QVERIFY(manual->isVisible());
        QTRY_COMPARE(QApplication::activeWindow(), manual);

        QTextBrowser* browser = manual->findChild<QTextBrowser*>();
        browser->setFocus();
        QSignalSpy asked(w.form->findChild<QAction*>("actionManual"), &QAction::triggered);
        QTest::keyClick(browser, Qt::Key_F1);
        QCOMPARE(asked.count(), 1);
        QVERIFY(manual->isVisible());
        QCOMPARE(w.form->manualWindow(), manual);
    }

    // Each page loads, is reached from the index, and says what it must.
    void eachPageExplainsWhatItMust() {
        Window w;
        w.form->findChild<QAction*>("actionManual")->trigger();
        auto* manual = w.form->manualWindow();
        QTextBrowser* browser = manual->findChild<QTextBrowser*>();
        const QString index = browser->toHtml();
        const std::pair<const char*, std::vector<const char*>> pages[] = {
            {"parametros.html", {"meseta", "constante de velocidad", "punto de inflexión", "a/e"}},
            {"lecturas.html",
             {"Tasa máxima de crecimiento", "a·c/e", "Fase de latencia", "t0 − 1/c",
              "Valor en la inflexión", "Para qué sirve"}},
            {"intervalos.html",
             {"verosimilitud perfilada", "sin límite", "Banda: Predicción", "no alcanza la meseta",
              "inflexión cae fuera", "llega hasta el cero", "rachas", "Falta de ajuste",
              "no determinan"}},
            {"tabla.html", {"primera fila vacía", "gris", "morada", "empeoró", "Desbordamiento"}},
            {"archivos.html", {"Importar", "Pegar", "Deshacer", "Ejemplos", "datos.txt"}},
            {"modelos.html",
             {"Richards", "AICc", "peso de Akaike", "Comparar conjuntos", "1/DE²", "réplicas"}},
            {"informe.html", {"Copiar gráfica", "Texto de métodos", "SVG"}},
        };
        for (const auto& [page, phrases] : pages) {
            QVERIFY2(index.contains(QString::fromLatin1(page)), page);
            manual->showPage(QString::fromLatin1(page));
            QCOMPARE(browser->source(), QUrl(QStringLiteral("qrc:/manual/") + page));
            const QString text = plainText(browser);
            for (const char* phrase : phrases) {
                QVERIFY2(text.contains(QString::fromUtf8(phrase)),
                         qPrintable(QStringLiteral("%1 lacks «%2»").arg(page, phrase)));
            }
        }
        // The figure of the curve, marking a, t0 and the lag, draws.
        manual->showPage(QStringLiteral("parametros.html"));
        QVERIFY(browser->toHtml().contains("curva.svg"));
        const QImage figure(QStringLiteral(":/manual/curva.svg"));
        QVERIFY(!figure.isNull());
        QCOMPARE(figure.size(), QSize(480, 300));
        // Back returns to where the reader was.
        manual->showPage(QStringLiteral("index.html"));
        manual->showPage(QStringLiteral("modelos.html"));
        QTest::mouseClick(manual->findChild<QPushButton*>("atras"), Qt::LeftButton);
        QCOMPARE(browser->source(), QUrl(QStringLiteral("qrc:/manual/index.html")));
    }

    void everyControlOfTheAnalysisWindowHasATooltip() {
        Window w;
        w.form->findChild<QAction*>("actionAnalisis")->trigger();
        QWidget* window = w.form->analysisWindow();
        int checked = 0;
        for (QWidget* widget : window->findChildren<QWidget*>()) {
            const bool control = qobject_cast<QAbstractButton*>(widget) ||
                                 qobject_cast<QComboBox*>(widget) ||
                                 qobject_cast<QLineEdit*>(widget) ||
                                 qobject_cast<QAbstractSpinBox*>(widget) ||
                                 qobject_cast<QAbstractItemView*>(widget) ||
                                 qobject_cast<QCustomPlot*>(widget);
            // Named controls are the window's own; the rest belong to Qt's
            // composite widgets (a combo box's list, a spin box's editor).
            if (!control || widget->objectName().isEmpty() ||
                widget->objectName().startsWith("qt_") ||
                qobject_cast<QTabBar*>(widget->parentWidget())) {
                continue;
            }
            QVERIFY2(!widget->toolTip().isEmpty(), qPrintable(widget->objectName()));
            ++checked;
        }
        QVERIFY2(checked >= 30, qPrintable(QString::number(checked)));
    }

    // R's data sets, named with their sources, into the table, asking
    // first about rows not saved, as one step that undo takes back.
    void theExamplesFillTheTableAndSayWhereTheyComeFrom() {
        Window w;
        QMenu* ejemplos = w.form->findChild<QMenu*>("menuEjemplos");
        QVERIFY(ejemplos != nullptr);
        QVERIFY(menuNamed(*w.form, QStringLiteral("Archivo"))->actions().contains(ejemplos->menuAction()));
        const QList<QAction*> actions = ejemplos->actions();
        QCOMPARE(actions.size(), 3);
        for (QAction* action : actions) {
            QVERIFY2(action->toolTip().startsWith("Fuente: R, conjunto "), qPrintable(action->toolTip()));
        }
        QVERIFY(actions[0]->text().startsWith("DNasa"));
        QVERIFY(actions[1]->text().startsWith("Naranjo"));
        QVERIFY(actions[2]->text().startsWith("Pollito"));
        w.type("xv_0", "7");
        w.type("yv_0", "8");
        actions[1]->trigger(); // Orange, tree 1
        QCOMPARE(w.questions.size(), 1); // the typed row is not saved
        QCOMPARE(w.caption("xv_0"), QStringLiteral("118"));
        QCOMPARE(w.caption("yv_6"), QStringLiteral("145"));
        QCOMPARE(w.caption("xv_7"), QString());
        w.form->findChild<QAction*>("actionDeshacer")->trigger();
        QCOMPARE(w.caption("xv_0"), QStringLiteral("7"));
        actions[2]->trigger(); // a chick's weights
        QCOMPARE(w.caption("xv_11"), QStringLiteral("21"));
        QCOMPARE(w.caption("yv_11"), QStringLiteral("205"));
        actions[0]->trigger(); // DNase run 1: t = ln(conc)
        QCOMPARE(w.caption("yv_15"), QStringLiteral("1,71"));
        QVERIFY2(w.caption("xv_0").startsWith("-3,01944"), qPrintable(w.caption("xv_0")));
    }

    // A row past an empty one is typed but never used: the summary says so.
    void theSummarySaysWhichRowsTheFitUsesAndWhichItLeftOut() {
        Window w;
        w.enterPoints({{"0", "1"}, {"1", "2"}, {"2", "3,5"}, {"3", "3,9"}, {"4", "4"},
                       {"", ""}, {"6", "4,1"}, {"x", "1"}, {"8", "4,2"}});
        w.click(QStringLiteral("Command5"));
        w.form->findChild<QAction*>("actionAnalisis")->trigger();
        auto* window = w.form->analysisWindow();
        QTest::mouseClick(window->findChild<QPushButton*>("ajusteOptimo"), Qt::LeftButton);
        const QString summary = window->findChild<QLabel*>("resumen")->text();
        QVERIFY2(summary.contains(
                     "El ajuste usa las filas 1 a 5 de la tabla. Las filas 7, 8 y 9 tienen números "
                     "pero quedan fuera: la fila 6 está vacía o no tiene dos números, y la tabla "
                     "se lee solo hasta la primera fila así (las de debajo quedan en gris)."),
                 qPrintable(summary));
    }
};

WIDGET_TEST_MAIN(HelpTest)
#include "help_test.moc"
