// The analysis window's "Tabla principal" is the table as it is now, however
// the table changed and in whichever order the windows were opened; what a
// removal, a copy or a PDF export leaves behind.
#include "test_support.h"

#include "ui/analysis_window.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QComboBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>

#include <qcustomplot.h>

#include <cmath>

using namespace testing_support;
using gompertz::ui::AnalysisWindow;

namespace {

// Orange tree 1 (R's Orange): age in days, circumference in mm.
const std::vector<std::pair<QString, QString>> kOrange1 = {
    {"118", "30"}, {"484", "58"}, {"664", "87"}, {"1004", "115"},
    {"1231", "120"}, {"1372", "142"}, {"1582", "145"}};

struct Analysis {
    Window w;
    QStringList messages;
    FixedChooser* chooser = nullptr;
    QTemporaryDir folder;

    AnalysisWindow* open() {
        w.form->findChild<QAction*>("actionAnalisis")->trigger();
        AnalysisWindow* window = w.form->analysisWindow();
        if (chooser == nullptr) {
            window->setMessageSink(std::make_unique<RecordingSink>(&messages));
            auto owned = std::make_unique<FixedChooser>();
            chooser = owned.get();
            window->setFileChooser(std::move(owned));
        }
        return window;
    }
    AnalysisWindow* window() const { return w.form->analysisWindow(); }
    template <typename T> T* get(const char* name) const {
        auto* widget = window()->findChild<T*>(name);
        Q_ASSERT_X(widget, "Analysis::get", name);
        return widget;
    }
    void click(const char* button) { QTest::mouseClick(get<QPushButton>(button), Qt::LeftButton); }
    QString summary() const { return get<QLabel>("resumen")->text(); }
    QString cell(const char* table, int row, int column) const {
        const QTableWidgetItem* item = get<QTableWidget>(table)->item(row, column);
        return item != nullptr ? item->text() : QString();
    }
    void loadDnase() { w.form->findChild<QAction*>("actionEjemplo1")->trigger(); }
    // Types Orange tree 1 over whatever the table held, emptying the rest.
    void typeOrange() {
        std::vector<std::pair<QString, QString>> rows = kOrange1;
        rows.resize(20);
        w.enterPoints(rows);
    }
    void addFile(const QString& name, const QByteArray& bytes) {
        chooser->path = folder.filePath(name);
        QFile file(chooser->path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        click("anadirDatos");
    }
};

const QByteArray kReplicates = "t;a;b\n0;0,1;0,12\n1;0,5;0,55\n2;1,4;1,3\n3;1,9;2\n4;2;2,1\n5;2,1;2\n";

} // namespace

class TableSetTest : public QObject {
    Q_OBJECT
  private slots:
    // An example loaded after the fit, a table typed over, an import: the
    // next fit is of the table as it is, and the results of the old one go.
    void theTablesSetFollowsTheTableWhateverChangedIt() {
        Analysis a;
        a.loadDnase();
        a.open();
        a.click("ajusteOptimo");
        QVERIFY2(a.summary().contains("El ajuste usa las filas 1 a 16 de la tabla."),
                 qPrintable(a.summary()));
        a.typeOrange();
        QCOMPARE(a.get<QTableWidget>("resultados")->rowCount(), 0); // the old fit is gone
        QVERIFY(a.summary().isEmpty());
        a.click("ajusteOptimo");
        QVERIFY2(a.summary().contains("El ajuste usa las filas 1 a 7 de la tabla."),
                 qPrintable(a.summary()));
        // Orange tree 1, Gompertz, by R's nls: a = 172,134.
        QVERIFY2(a.cell("resultados", 0, 0).startsWith("172,134"), qPrintable(a.cell("resultados", 0, 0)));

        // Back to DNase by the menu, with the window open.
        a.loadDnase();
        a.click("ajusteOptimo");
        QVERIFY2(a.summary().contains("El ajuste usa las filas 1 a 16 de la tabla."),
                 qPrintable(a.summary()));
        QCOMPARE(a.cell("resultados", 0, 0), QStringLiteral("4,60333"));
    }

    // The analysis opened on an empty table, then the data typed or loaded.
    void theAnalysisOpenedFirstFitsWhatIsTypedLater() {
        Analysis a;
        a.open();
        a.click("ajusteOptimo");
        QCOMPARE(a.messages.size(), 1); // no data yet
        a.loadDnase();
        a.click("ajusteOptimo");
        QCOMPARE(a.messages.size(), 1);
        QCOMPARE(a.cell("resultados", 0, 0), QStringLiteral("4,60333"));
        // Typing a value and pressing Enter changes the table's set too.
        a.w.typeAndPress("yv_15", "1,9", Qt::Key_Return);
        QCOMPARE(a.get<QTableWidget>("resultados")->rowCount(), 0);
        a.click("ajusteOptimo");
        QVERIFY(a.cell("resultados", 0, 0) != QStringLiteral("4,60333"));
        // Reading the table never rewrote or greyed a cell on its own.
        QCOMPARE(a.w.caption("yv_15"), QStringLiteral("1,9"));
    }

    // The table's set in the CSV file is the table as it is now.
    void theExportedTableIsTheCurrentOne() {
        Analysis a;
        a.loadDnase();
        a.open();
        a.click("ajusteOptimo");
        a.typeOrange();
        const QString path = a.folder.filePath("tabla.csv");
        QVERIFY(!a.window()->exportTo(path, AnalysisWindow::Export::CsvSemicolon));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        QVERIFY2(text.contains("\r\n118;30;"), qPrintable(text.left(300)));
        QVERIFY2(!text.contains("0,017"), qPrintable(text.left(300)));
    }

    // Removing a set that was not compared keeps the comparison.
    void removingAnotherSetKeepsTheComparison() {
        Analysis a;
        a.loadDnase();
        a.open();
        a.addFile("control.csv", kReplicates);
        a.addFile("otro.csv", kReplicates);
        QListWidget* list = a.get<QListWidget>("conjuntos");
        QCOMPARE(list->count(), 3);
        // The table and "control" compared.
        list->clearSelection();
        list->item(0)->setSelected(true);
        list->item(1)->setSelected(true);
        a.click("compararConjuntos");
        QVERIFY2(a.get<QTableWidget>("comparacionConjuntos")->rowCount() > 0,
                 qPrintable(a.messages.join('\n')));
        // The set is named after its file without the extension.
        QCOMPARE(list->item(1)->text(), QStringLiteral("control"));
        QVERIFY2(a.get<QLabel>("conclusionConjuntos")->text().startsWith(
                     "Las curvas de «Tabla principal» y «control» "),
                 qPrintable(a.get<QLabel>("conclusionConjuntos")->text()));
        list->setCurrentRow(2);
        a.click("quitarConjunto");
        QCOMPARE(list->count(), 2);
        QVERIFY(a.get<QTableWidget>("comparacionConjuntos")->rowCount() > 0);
        // Removing one of the two compared clears it.
        list->setCurrentRow(1);
        a.click("quitarConjunto");
        QCOMPARE(a.get<QTableWidget>("comparacionConjuntos")->rowCount(), 0);
    }

    // A copy says so in the window, for a while, without a box.
    void aCopySaysSoBriefly() {
        Analysis a;
        a.loadDnase();
        a.open();
        a.click("ajusteOptimo");
        QLabel* status = a.get<QLabel>("estado");
        QVERIFY(status->text().isEmpty());
        for (const char* button : {"copiar", "textoMetodos", "copiarGrafica"}) {
            status->clear();
            a.click(button);
            QVERIFY2(status->text().contains("copiad"), button);
        }
        QVERIFY(a.messages.isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(status->text().isEmpty(),
                                 AnalysisWindow::kStatusMilliseconds + 2000);
    }

    // The legend speaks of the table in a sentence.
    void theLegendNamesTheTableInWords() {
        Analysis a;
        a.loadDnase();
        a.open();
        a.click("ajusteOptimo");
        QCustomPlot* plot = a.get<QCustomPlot>("grafica");
        QStringList names;
        for (int i = 0; i < plot->legend->itemCount(); ++i) {
            if (auto* item = qobject_cast<QCPPlottableLegendItem*>(plot->legend->item(i))) {
                names << item->plottable()->name();
            }
        }
        QVERIFY2(names.contains("Curva de la tabla principal (Gompertz)"), qPrintable(names.join('|')));
    }

    // The PDF is made in memory and written beside its target, as the other
    // exports are: it needs no temporary folder, so that none can be left
    // behind by an export that is stopped.
    void aPdfExportNeedsNoTemporaryFolder() {
        Analysis a;
        a.loadDnase();
        a.open();
        a.click("ajusteOptimo");
        const QByteArray previous = qgetenv("TMPDIR");
        qputenv("TMPDIR", a.folder.filePath("no-existe").toUtf8());
        const QString path = a.folder.filePath("grafica.pdf");
        const auto problem = a.window()->exportTo(path, AnalysisWindow::Export::Pdf);
        // A folder in the target's place is refused.
        QDir(a.folder.path()).mkdir("carpeta.pdf");
        const auto refused =
            a.window()->exportTo(a.folder.filePath("carpeta.pdf"), AnalysisWindow::Export::Pdf);
        qputenv("TMPDIR", previous);
        QVERIFY2(!problem, qPrintable(problem.value_or(QString())));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.read(5), QByteArray("%PDF-"));
        QVERIFY(refused);
        QCOMPARE(QDir(a.folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList({"carpeta.pdf", "grafica.pdf"}));
    }

    // A long set is fitted off the interface thread: the click returns at
    // once, a progress bar and "Cancelar" show, what would change the work
    // is disabled, and a cancel gives the window back with nothing changed.
    void aLongSetIsFittedWhileTheWindowAnswers() {
        Analysis a;
        a.open();
        QByteArray text = "t;y\n";
        for (int i = 0; i < 5000; ++i) {
            const double t = 24.0 * i / 4999;
            text += QByteArray::number(t, 'g', 17) + ';' +
                    QByteArray::number(2 * std::exp(-std::exp(-0.8 * (t - 10))) +
                                           0.01 * std::sin(12.9898 * i),
                                       'g', 17) +
                    '\n';
        }
        a.addFile("lector.csv", text);
        QCOMPARE(a.get<QListWidget>("conjuntos")->currentRow(), 1);
        a.click("ajusteOptimo");
        QVERIFY(a.window()->busy());
        QVERIFY(a.get<QPushButton>("cancelar")->isVisible());
        QVERIFY(a.get<QProgressBar>("progreso")->isVisible());
        QVERIFY(!a.get<QPushButton>("ajusteOptimo")->isEnabled());
        QVERIFY(!a.get<QListWidget>("conjuntos")->isEnabled());
        a.click("cancelar");
        QVERIFY(!a.window()->busy());
        QVERIFY(!a.get<QPushButton>("cancelar")->isVisible());
        QVERIFY(a.get<QPushButton>("ajusteOptimo")->isEnabled());
        QCOMPARE(a.get<QTableWidget>("resultados")->rowCount(), 0);
        QVERIFY2(a.get<QLabel>("estado")->text().startsWith("Cálculo cancelado"),
                 qPrintable(a.get<QLabel>("estado")->text()));
        // Run to its end, the results are those of the set.
        a.click("ajusteOptimo");
        QTRY_VERIFY_WITH_TIMEOUT(!a.window()->busy(), 120000);
        QVERIFY2(a.summary().startsWith("n = 5000, gl = 4997"), qPrintable(a.summary()));
        QVERIFY2(a.cell("resultados", 0, 0).startsWith("1,99") || a.cell("resultados", 0, 0).startsWith("2,00"), qPrintable(a.cell("resultados", 0, 0)));
        QVERIFY(a.messages.isEmpty());
        // A model chosen while work runs makes its result stale: none is shown.
        a.click("compararModelos");
        QVERIFY(a.window()->busy());
        a.get<QComboBox>("modelo")->setCurrentIndex(2);
        QTRY_VERIFY_WITH_TIMEOUT(!a.window()->busy(), 120000);
        QCOMPARE(a.get<QTableWidget>("comparacion")->rowCount(), 0);
    }
};

WIDGET_TEST_MAIN(TableSetTest)
#include "table_set_test.moc"
