// "Análisis del ajuste", driven as a user drives it: opened from either
// view, fitted in one click, applied, copied and exported. Expected values
// are R's nls results for DNase run 1 and NIST's certified ones for Rat42.
#include "test_support.h"

#include "ui/analysis_window.h"
#include "ui/file_chooser.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMenuBar>
#include <QTableWidget>
#include <QTemporaryDir>

#include <qcustomplot.h>

#include <cmath>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using namespace testing_support;
using gompertz::ui::AnalysisWindow;

namespace {

using Rows = std::vector<std::pair<QString, QString>>;

QString comma(double value) {
    return QString::number(value, 'g', 15).replace('.', ',');
}

Rows dnase1() {
    const double conc[] = {0.04882812, 0.1953125, 0.390625, 0.78125, 1.5625, 3.125, 6.25, 12.5};
    const char* density[] = {"0,017", "0,018", "0,121", "0,124", "0,206", "0,215", "0,377", "0,374",
                             "0,614", "0,609", "1,019", "1,001", "1,334", "1,364", "1,73",  "1,71"};
    Rows rows;
    for (int i = 0; i < 16; ++i) {
        rows.emplace_back(comma(std::log(conc[i / 2])), density[i]);
    }
    return rows;
}

const Rows kRat42 = {{"9", "8,93"},   {"14", "10,8"},  {"21", "18,59"},
                     {"28", "22,33"}, {"42", "39,35"}, {"57", "56,11"},
                     {"63", "61,73"}, {"70", "64,62"}, {"79", "67,08"}};

// Gives the export dialog's answer without a dialog.
class FixedChooser : public gompertz::ui::FileChooser {
  public:
    QString path;
    QString filter;
    QString saveFileName(QWidget*, const QString&, const QStringList& filters,
                         QString* chosen) override {
        Q_ASSERT(filters.contains(filter));
        *chosen = filter;
        return path;
    }
    QString openFileName(QWidget*, const QString&, const QStringList&) override { return path; }
};

struct Analysis {
    Window w;
    QStringList messages;
    FixedChooser* chooser = nullptr;

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
    QString cell(int row, int column) const {
        auto* table = w.form->analysisWindow()->findChild<QTableWidget*>("resultados");
        const QTableWidgetItem* item = table->item(row, column);
        return item != nullptr ? item->text() : QString();
    }
    QString summary() const {
        return w.form->analysisWindow()->findChild<QLabel*>("resumen")->text();
    }
    void click(const char* button) {
        QTest::mouseClick(w.form->analysisWindow()->findChild<QPushButton*>(button),
                          Qt::LeftButton);
    }
    QPushButton* button(const char* name) const {
        return w.form->analysisWindow()->findChild<QPushButton*>(name);
    }
};

} // namespace

class AnalysisTest : public QObject {
    Q_OBJECT
  private slots:
    void theMenuOpensTheWindowFromTheTableAfterACapture() {
        Analysis t;
        t.w.enterPoints({{"1,50", "2"}, {"3", "4"}});
        auto* action = t.w.form->findChild<QAction*>("actionAnalisis");
        QCOMPARE(action->shortcut(), QKeySequence(QStringLiteral("Ctrl+L")));
        QCOMPARE(action->text(), QStringLiteral("Análisis del ajuste…"));
        AnalysisWindow* window = t.open();
        QCOMPARE(window->objectName(), QStringLiteral("Analisis"));
        QCOMPARE(window->windowTitle(), QStringLiteral("Análisis del ajuste"));
        QVERIFY(window->isVisible() && window->isWindow());
        QCOMPARE(t.w.caption("xv_0"), QStringLiteral("1,5")); // captured, as "Gráfica" does
        QCOMPARE(t.w.state().pointCount, 2);
        QCOMPARE(t.w.caption("Command5"), QStringLiteral("Gráfica")); // still the table view
        QCOMPARE(t.open(), window); // raised again, not a second one
    }

    void oneClickGivesThePublishedFitWhateverTheMainWindowShows() {
        Analysis t;
        t.w.showGraph(dnase1());
        t.w.typeAndPress("Tval", "-15", Qt::Key_Return); // far from the optimum
        t.open();
        t.click("ajusteOptimo");
        QCOMPARE(t.messages, QStringList());
        const QStringList expected[] = {
            {"4,60333", "0,653208"}, {"0,333424", "0,0307927"}, {"2,46044", "0,411988"}};
        for (int r = 0; r < 3; ++r) {
            QCOMPARE(t.cell(r, 0), expected[r][0]);
            QCOMPARE(t.cell(r, 1), expected[r][1]);
        }
        // The profile interval of a: where SSE(a) = SSE (1 + q^2 / 13), q =
        // 2.16036865646, found exactly by the R script: [3.53836991591,
        // 6.72899229954] (R's confint() interpolates [3.5394528, 6.7294969]).
        QCOMPARE(t.cell(0, 2), QStringLiteral("3,53837"));
        QCOMPARE(t.cell(0, 3), QStringLiteral("6,72899"));
        QVERIFY2(t.summary().contains("Intervalos del 95 %: verosimilitud perfilada"),
                 qPrintable(t.summary()));
        QCOMPARE(t.cell(3, 0), QStringLiteral("1,69347"));   // a / e
        QCOMPARE(t.cell(5, 0), QStringLiteral("-0,538746")); // t0 - 1/c
        QVERIFY2(t.summary().startsWith("n = 16, gl = 13, SSE = 0,00936164, s = 0,0268352, R² = "),
                 qPrintable(t.summary()));
        QVERIFY(!t.summary().contains("no determinan"));
        // Nothing in the main window changed.
        QCOMPARE(t.w.state().t0, -15.0);
        QCOMPARE(t.w.messages, QStringList());
    }

    void draggingOrZoomingTheViewSamplesTheCurveAnew() {
        Analysis t;
        t.w.showGraph(kRat42);
        AnalysisWindow* window = t.open();
        t.click("ajusteOptimo");
        auto* plot = window->findChild<QCustomPlot*>("grafica");
        plot->xAxis->setRange(-100, 300); // as a drag or the wheel does
        QCPGraph* curve = plot->graph(2);
        QVERIFY(curve->data()->size() > 100);
        QCOMPARE(curve->data()->constBegin()->key, -100.0);
        QCOMPARE((curve->data()->constEnd() - 1)->key, 300.0);
        QVERIFY(plot->xAxis->tickLabels()); // and the labels use the decimal comma
        QCOMPARE(plot->locale().decimalPoint(), QStringLiteral(","));
    }

    void aFixedParameterShowsFixedAndCountsNoDegree() {
        Analysis t;
        t.w.showGraph(dnase1());
        t.w.typeAndPress("Cval", "0,3", Qt::Key_Return);
        t.w.click("Check2");
        t.open();
        t.click("ajusteOptimo");
        QCOMPARE(t.cell(1, 0), QStringLiteral("0,3"));
        QCOMPARE(t.cell(1, 1), QStringLiteral("fijo"));
        QCOMPARE(t.cell(1, 2), QString());
        QVERIFY(t.summary().startsWith("n = 16, gl = 14,"));
    }

    void whatCannotBeFittedIsRefusedAndNothingChanges() {
        Analysis t;
        t.open();
        t.click("ajusteOptimo");
        QCOMPARE(t.messages.size(), 1);
        QVERIFY(t.messages[0].startsWith("No hay datos"));
        t.w.showGraph({{"0", "1"}, {"1", "2"}, {"2", "3"}});
        t.click("valoresIniciales");
        QCOMPARE(t.messages.size(), 2);
        QVERIFY2(t.messages[1].startsWith("Se necesitan al menos 4 puntos"),
                 qPrintable(t.messages[1]));
        QCOMPARE(t.cell(0, 0), QString());
        QVERIFY(!t.button("aplicar")->isEnabled());
    }

    void growthThatNeverBendsIsRefused() {
        Analysis t;
        Rows rows; // growth that still looks exponential
        const double noise[] = {0.05, -0.08, 0.06, -0.05, 0.08, -0.06, 0.05, -0.08, 0.06};
        for (int i = 0; i < 9; ++i) {
            rows.emplace_back(QString::number(i), comma(2 * std::exp(0.3 * i) + noise[i]));
        }
        t.w.showGraph(rows);
        t.open();
        t.click("ajusteOptimo");
        QCOMPARE(t.messages.size(), 1);
        QVERIFY2(t.messages[0].startsWith("Los datos no alcanzan una meseta"),
                 qPrintable(t.messages[0]));
        QCOMPARE(t.cell(0, 0), QString());
        QVERIFY(!t.button("aplicar")->isEnabled());
    }

    void aCurveWorseThanTheMeanIsRefused() {
        Analysis t;
        // c = 1 and t0 = 2 held: the curve rises where the data fall.
        t.w.showGraph({{"0", "5"}, {"1", "4"}, {"2", "3"}, {"3", "2"}, {"4", "1"}});
        t.w.typeAndPress("Tval", "2", Qt::Key_Return);
        t.w.click("Check2");
        t.w.click("Check3");
        t.open();
        t.click("ajusteOptimo");
        QCOMPARE(t.messages.size(), 1);
        QVERIFY2(t.messages[0].startsWith("Los datos no muestran una curva de crecimiento"),
                 qPrintable(t.messages[0]));
        QCOMPARE(t.cell(0, 0), QString());
    }

    void valuesBeyondTheComputersNumbersAreRefusedAndNothingShowsInfinite() {
        // Rat42 scaled up to 9.4E+307 with a replicate at t = 79: whatever the
        // curve, SSE >= 2 (2.2E+306)^2, beyond the largest double; then
        // +1E+308 and -1E+308 in turn, which no monotone curve comes near.
        Rows growth;
        for (const auto& [t, y] : kRat42) {
            growth.emplace_back(t, comma(QString(y).replace(',', '.').toDouble() * 1.4e306));
        }
        growth.emplace_back("79", comma(64.0 * 1.4e306));
        Rows alternating;
        for (int i = 0; i < 10; ++i) {
            alternating.emplace_back(QString::number(i), i % 2 == 0 ? "1E+308" : "-1E+308");
        }
        for (const Rows& rows : {growth, alternating}) {
            Analysis t;
            t.w.showGraph(rows);
            t.open();
            t.click("ajusteOptimo");
            QCOMPARE(t.messages.size(), 1);
            QVERIFY2(t.messages[0].startsWith("Los valores son demasiado grandes o demasiado "
                                              "pequeños para los números del ordenador") &&
                         t.messages[0].contains("otras unidades"),
                     qPrintable(t.messages[0]));
            QCOMPARE(t.cell(0, 0), QString());
            QCOMPARE(t.summary(), QString());
            QVERIFY(!t.button("aplicar")->isEnabled());
            QVERIFY(!t.button("copiar")->isEnabled());
            t.click("valoresIniciales"); // nor a start with an infinite SSE
            QCOMPARE(t.messages.size(), 2);
            QCOMPARE(t.messages[1], t.messages[0]);
            QCOMPARE(t.summary(), QString());
        }
    }

    void aRunThatDidNotConvergeIsShownMarkedAndCannotBeApplied() {
        Analysis t;
        // c = 1 and t0 = 20 held: over t = 0…5 the curve is 0 whatever a is,
        // so no run can move a.
        t.w.showGraph({{"0", "1"}, {"1", "2"}, {"2", "3"}, {"3", "4"}, {"4", "5"}, {"5", "6"}});
        t.w.typeAndPress("Tval", "20", Qt::Key_Return);
        t.w.click("Check2");
        t.w.click("Check3");
        t.open();
        t.click("ajusteOptimo");
        QCOMPARE(t.messages.size(), 1);
        QVERIFY2(t.messages[0].startsWith("El ajuste no ha convergido tras "),
                 qPrintable(t.messages[0]));
        QVERIFY(!t.cell(0, 0).isEmpty());
        QCOMPARE(t.cell(0, 1), QString()); // no error, no interval
        QVERIFY2(t.summary().contains("\nNo convergido tras "), qPrintable(t.summary()));
        QVERIFY(!t.button("aplicar")->isEnabled());
        t.click("copiar");
        QVERIFY(QApplication::clipboard()->text().contains("No convergido tras "));
    }

    void aJumpBetweenTwoPointsLeavesTheSteepnessWithoutBound() {
        Analysis t;
        // All the rise between t = -3.333 and -1.099: the curve may be as steep
        // as it likes within that gap, and the profile of c never closes above.
        t.w.showGraph({{"-5", "0,1855"},
                       {"-3,333", "-0,2134"},
                       {"-1,099", "4,359"},
                       {"0", "3,994"},
                       {"1,934", "4,101"},
                       {"3,333", "4,469"},
                       {"5", "3,987"}});
        t.open();
        t.click("ajusteOptimo");
        QCOMPARE(t.messages, QStringList());
        QVERIFY(t.cell(0, 0).startsWith("4,18"));
        QCOMPARE(t.cell(1, 3), QStringLiteral("sin límite"));
        QVERIFY2(t.summary().contains("Los datos no acotan c por arriba (sin límite)"),
                 qPrintable(t.summary()));
    }

    void theStartIsShownWithoutUncertainties() {
        Analysis t;
        t.w.showGraph(kRat42);
        t.open();
        t.click("valoresIniciales");
        QVERIFY(!t.cell(0, 0).isEmpty());
        QCOMPARE(t.cell(0, 1), QString());
        QVERIFY(t.summary().startsWith("Valores iniciales"));
    }

    void applyingWritesTheMainWindowAsAnEditDoes() {
        Analysis t;
        t.w.enterPoints(dnase1());
        t.open(); // from the table view
        t.click("ajusteOptimo");
        QVERIFY(t.button("aplicar")->isEnabled());
        t.click("aplicar");
        QCOMPARE(t.w.caption("Command5"), QStringLiteral("Tabla")); // the graph view
        QVERIFY(t.w.caption("Lval").startsWith("4,6033304"));
        QVERIFY(t.w.caption("Cval").startsWith("0,33342385"));
        QVERIFY(t.w.caption("Tval").startsWith("2,4604396"));
        QCOMPARE(t.w.get<QScrollBar>("LSCR")->value(), -54); // nearest(46.03 - 100)
        QCOMPARE(t.w.get<QScrollBar>("CSCR")->value(), 3);
        QCOMPARE(t.w.get<QScrollBar>("TSCR")->value(), 12);
        QVERIFY(near(0.00936163766771, shown(t.w, "label9"), 1e-6)); // redrawn with read-outs
        QCOMPARE(t.w.state().busy, 0);
        QCOMPARE(t.w.messages, QStringList());
    }

    void aFitOutsideTheBarsCannotBeApplied() {
        Analysis t;
        t.w.showGraph(kRat42);
        t.open();
        t.click("ajusteOptimo");
        QCOMPARE(t.cell(0, 0), QStringLiteral("82,8322"));
        QCOMPARE(t.cell(1, 0), QStringLiteral("0,0370749"));
        QCOMPARE(t.cell(2, 0), QStringLiteral("33,0065"));
        QPushButton* apply = t.button("aplicar");
        QVERIFY(!apply->isEnabled());
        QVERIFY2(apply->toolTip().startsWith("a = 82,8322") && apply->toolTip().contains("0 a 20"),
                 qPrintable(apply->toolTip()));
        QTest::mouseClick(apply, Qt::LeftButton);
        QCOMPARE(t.w.state().a, 5.0);
    }

    void newDataClearTheResults() {
        Analysis t;
        t.w.showGraph(kRat42);
        t.open();
        t.click("ajusteOptimo");
        QVERIFY(!t.cell(0, 0).isEmpty());
        t.w.click("Command5");
        t.w.click("Command5"); // the same data captured again: results stay
        QVERIFY(!t.cell(0, 0).isEmpty());
        t.w.click("Command5");
        t.w.type("yv_0", "9");
        t.w.click("Command5");
        QCOMPARE(t.cell(0, 0), QString());
        QCOMPARE(t.summary(), QString());
    }

    void copyPutsATabSeparatedTableOnTheClipboard() {
        Analysis t;
        t.w.showGraph(dnase1());
        t.open();
        QVERIFY(!t.button("copiar")->isEnabled()); // nothing to copy before a fit
        t.click("valoresIniciales");
        QVERIFY(!t.button("copiar")->isEnabled());
        t.click("ajusteOptimo");
        QVERIFY(t.button("copiar")->isEnabled());
        t.click("copiar");
        const QStringList lines = QApplication::clipboard()->text().split('\n');
        QCOMPARE(lines[0],
                 QStringLiteral("\tValor\tError típico\tIC 95 % inferior\tIC 95 % superior"));
        const QStringList a = lines[1].split('\t');
        QCOMPARE(a.size(), 5);
        QCOMPARE(a[0], QStringLiteral("a"));
        // As the window shows it; "15 cifras" keeps every digit.
        QCOMPARE(a[1], QStringLiteral("4,60333"));
        QVERIFY(lines.contains("gl\t13"));
        t.w.form->analysisWindow()->findChild<QCheckBox*>("cifrasCompletas")->setChecked(true);
        t.click("copiar");
        const QStringList full = QApplication::clipboard()->text().split('\n');
        QVERIFY2(full[1].split('\t')[1].startsWith("4,6033304"), qPrintable(full[1]));
    }

    void exportsWriteEachKindOfFile() {
        Analysis t;
        t.w.showGraph(dnase1());
        QTemporaryDir folder;
        t.open();
        t.click("ajusteOptimo");

        t.chooser->path = folder.filePath("ajuste.csv");
        t.chooser->filter = QStringLiteral("CSV con «;» y coma decimal (*.csv)");
        t.click("exportar");
        QFile csv(t.chooser->path);
        QVERIFY(csv.open(QIODevice::ReadOnly));
        const QByteArray bytes = csv.readAll();
        QVERIFY(bytes.startsWith("\xEF\xBB\xBFt;y;")); // UTF-8 with its mark
        const QStringList lines = QString::fromUtf8(bytes.mid(3)).split("\r\n");
        QCOMPARE(lines[0], QStringLiteral("t;y;ajustado;residuo"));
        QCOMPARE(lines[1].split(';').size(), 4);
        QVERIFY(lines[1].split(';')[1] == "0,017");
        QCOMPARE(lines[17], QString());
        QVERIFY(lines[19].startsWith("a;4,6033304"));
        // The summary, as "Copiar resultados" gives it.
        QCOMPARE(lines[25], QString());
        QCOMPARE(lines.mid(26, 2), QStringList({"n;16", "gl;13"}));
        QVERIFY2(lines[28].startsWith("SSE;0,00936163766"), qPrintable(lines[28]));
        QVERIFY(lines[29].startsWith("s;0,0268"));
        QVERIFY(lines[30].startsWith("R²;0,99"));
        QVERIFY(lines[31].startsWith("iteraciones;"));

        t.chooser->path = folder.filePath("ajuste-en.csv");
        t.chooser->filter = QStringLiteral("CSV con «,» y punto decimal (*.csv)");
        t.click("exportar");
        QFile english(t.chooser->path);
        QVERIFY(english.open(QIODevice::ReadOnly));
        const QString englishText = QString::fromUtf8(english.readAll());
        QVERIFY(englishText.contains("\r\na,4.6033304"));
        QVERIFY(englishText.contains("\r\nSSE,0.00936163766"));

        t.chooser->path = folder.filePath("grafica.png");
        t.chooser->filter = QStringLiteral("Imagen PNG (*.png)");
        t.click("exportar");
        const QImage image(t.chooser->path);
        // The size and resolution chosen in "Gráfica" (1800 × 1200 at 300 ppp).
        const QSize chosen(1800, 1200);
        QCOMPARE(image.size(), chosen);
        QCOMPARE(image.dotsPerMeterX(), 11811); // 300 / 0.0254

        t.chooser->path = folder.filePath("grafica.pdf");
        t.chooser->filter = QStringLiteral("Documento PDF (*.pdf)");
        t.click("exportar");
        QFile pdf(t.chooser->path);
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        QVERIFY(pdf.read(5) == "%PDF-");

        // The extension names the format; a name without one gets the filter's.
        t.chooser->path = folder.filePath("sin-extension");
        t.chooser->filter = QStringLiteral("Imagen PNG (*.png)");
        t.click("exportar");
        QCOMPARE(QImage(folder.filePath("sin-extension.png")).size(), chosen);
        QVERIFY(!QFileInfo::exists(t.chooser->path));
        t.chooser->path = folder.filePath("imagen.png");
        t.chooser->filter = QStringLiteral("Documento PDF (*.pdf)");
        t.click("exportar");
        QCOMPARE(QImage(t.chooser->path).size(), chosen);
        t.chooser->path = folder.filePath("documento");
        t.click("exportar");
        QFile named(folder.filePath("documento.pdf"));
        QVERIFY(named.open(QIODevice::ReadOnly) && named.read(5) == "%PDF-");
        QCOMPARE(t.messages, QStringList());
        for (const char* name : {"sin-extension.png", "imagen.png", "documento.pdf"}) {
            QVERIFY(QFile::remove(folder.filePath(name)));
        }

        // A folder that is not there: a message, and no file.
        t.chooser->path = folder.filePath("no/existe.csv");
        t.chooser->filter = QStringLiteral("CSV con «;» y coma decimal (*.csv)");
        t.click("exportar");
        QCOMPARE(t.messages.size(), 1);
        QVERIFY(t.messages[0].startsWith("No se pudo exportar"));
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files).size(), 4);
    }

    void exportNeverReplacesWhatIsNotARegularFile() {
        Analysis t;
        t.w.showGraph(dnase1());
        QTemporaryDir folder;
        t.open();
        t.click("ajusteOptimo");
        const QString pipe = folder.filePath("tuberia.csv");
        QVERIFY(::mkfifo(pipe.toLocal8Bit().constData(), 0600) == 0);
        const QString device = folder.filePath("dispositivo.pdf");
        QStringList targets = {pipe};
        if (::mknod(device.toLocal8Bit().constData(), S_IFCHR | 0600, makedev(1, 3)) == 0) {
            targets << device; // like /dev/null, where this user may make one
        }
        const QString link = folder.filePath("enlace.csv");
        QVERIFY(QFile::link(QStringLiteral("/dev/null"), link));
        targets << link;
        const QStringList filters = {QStringLiteral("Imagen PNG (*.png)"),
                                     QStringLiteral("Documento PDF (*.pdf)"),
                                     QStringLiteral("CSV con «;» y coma decimal (*.csv)")};
        for (const QString& target : targets) {
            for (const QString& filter : filters) {
                t.messages.clear();
                t.chooser->path = target;
                t.chooser->filter = filter;
                t.click("exportar");
                QCOMPARE(t.messages.size(), 1);
                QVERIFY2(t.messages[0].startsWith("No se pudo exportar ") &&
                             t.messages[0].contains("no es un archivo normal") &&
                             !t.messages[0].contains(folder.path()),
                         qPrintable(t.messages[0]));
            }
        }
        struct stat info {};
        QVERIFY(::stat(pipe.toLocal8Bit().constData(), &info) == 0 && S_ISFIFO(info.st_mode));
        QVERIFY(QFileInfo(link).isSymLink());
        QVERIFY(::stat("/dev/null", &info) == 0 && S_ISCHR(info.st_mode));

        // A folder in the way: said in Spanish, by the file's name.
        t.messages.clear();
        QVERIFY(QDir(folder.path()).mkdir("carpeta.csv"));
        t.chooser->path = folder.filePath("carpeta.csv");
        t.click("exportar");
        QCOMPARE(t.messages.size(), 1);
        QVERIFY2(t.messages[0].contains("hay una carpeta con ese nombre"),
                 qPrintable(t.messages[0]));
    }

    void exportOnAFullDiskKeepsThePreviousFileAndSaysWhy() {
        Analysis t;
        t.w.showGraph(dnase1());
        QTemporaryDir folder;
        const QByteArray disk = folder.filePath("disco").toLocal8Bit();
        QDir(folder.path()).mkdir("disco");
        if (::mount("tmpfs", disk.constData(), "tmpfs", 0, "size=64k") != 0) {
            QSKIP("cannot mount a file system here");
        }
        const QString previous = QString::fromLocal8Bit(disk) + "/ajuste.csv";
        {
            QFile old(previous);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("antes\r\n");
        }
        {
            QFile filler(QString::fromLocal8Bit(disk) + "/relleno");
            QVERIFY(filler.open(QIODevice::WriteOnly));
            filler.write(QByteArray(256 * 1024, 'x')); // fills the disk to the brim
        }
        t.open();
        t.click("ajusteOptimo");
        t.chooser->path = previous;
        t.chooser->filter = QStringLiteral("CSV con «;» y coma decimal (*.csv)");
        t.click("exportar");
        QFile kept(previous);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        const QByteArray content = kept.readAll();
        kept.close();
        ::umount(disk.constData());
        QCOMPARE(content, QByteArray("antes\r\n"));
        QCOMPARE(t.messages.size(), 1);
        QVERIFY2(t.messages[0].startsWith("No se pudo exportar ajuste.csv: no queda espacio") &&
                     t.messages[0].contains("anterior no se ha modificado"),
                 qPrintable(t.messages[0]));
    }

    void exportKeepsTheOwnerOfTheFileItReplaces() {
        if (::geteuid() != 0) {
            QSKIP("only root may give a file to another user");
        }
        Analysis t;
        t.w.showGraph(dnase1());
        QTemporaryDir folder;
        const QString path = folder.filePath("ajuste.csv");
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.close();
        QVERIFY(::chown(path.toLocal8Bit().constData(), 1234, 2345) == 0);
        QVERIFY(::chmod(path.toLocal8Bit().constData(), 0664) == 0);
        t.open();
        t.click("ajusteOptimo");
        t.chooser->path = path;
        t.chooser->filter = QStringLiteral("CSV con «;» y coma decimal (*.csv)");
        t.click("exportar");
        QCOMPARE(t.messages, QStringList());
        struct stat info {};
        QVERIFY(::stat(path.toLocal8Bit().constData(), &info) == 0);
        QCOMPARE(info.st_uid, 1234u);
        QCOMPARE(info.st_gid, 2345u);
        QCOMPARE(info.st_mode & 07777, 0664u);
        QVERIFY(QFileInfo(path).size() > 0);
    }

    // The model is chosen in the window; another model clears the results,
    // names its own rows, and cannot be applied to the main window, which
    // draws the Gompertz curve only.
    void eachModelFitsInOneClickAndOnlyGompertzApplies() {
        Analysis t;
        t.w.showGraph(dnase1());
        AnalysisWindow* window = t.open();
        auto* modelo = window->findChild<QComboBox*>("modelo");
        QVERIFY(modelo != nullptr);
        QStringList items;
        for (int i = 0; i < modelo->count(); ++i) {
            items << modelo->itemText(i);
        }
        QCOMPARE(items, QStringList({"Gompertz", "Gompertz con línea base", "Logístico",
                                     "Richards"}));
        QCOMPARE(modelo->currentText(), QStringLiteral("Gompertz"));
        t.click("ajusteOptimo");
        QCOMPARE(t.cell(0, 0), QStringLiteral("4,60333"));
        QVERIFY(t.button("aplicar")->isEnabled());

        modelo->setCurrentIndex(3); // as the user picks "Richards"
        QCOMPARE(t.cell(0, 0), QString());
        QCOMPARE(t.summary(), QString());
        QVERIFY(!t.button("aplicar")->isEnabled());
        t.click("ajusteOptimo");
        QCOMPARE(t.messages, QStringList());
        auto* table = window->findChild<QTableWidget*>("resultados");
        QCOMPARE(table->rowCount(), 7);
        QCOMPARE(table->verticalHeaderItem(3)->text(), QStringLiteral("ν (forma)"));
        // R's nls: nu = 0.938693019879 (SE 0.346346456466).
        QCOMPARE(t.cell(3, 0), QStringLiteral("0,938693"));
        QCOMPARE(t.cell(3, 1), QStringLiteral("0,346346"));
        QCOMPARE(table->verticalHeaderItem(6)->text(),
                 QStringLiteral("Fase de latencia (t0 − (1 + ν)/c)"));
        QVERIFY2(t.summary().contains("Modelo: Richards, f(t) = a·(1 + ν·exp(−c·(t − t0)))^(−1/ν)"),
                 qPrintable(t.summary()));
        QVERIFY(!t.button("aplicar")->isEnabled());
        QVERIFY(t.button("copiar")->isEnabled());
        t.click("copiar");
        QVERIFY(QApplication::clipboard()->text().contains("modelo\tRichards"));

        modelo->setCurrentIndex(2); // "Logístico": R's SSlogis, Asym 2.34517929726
        t.click("ajusteOptimo");
        QCOMPARE(table->rowCount(), 6);
        QCOMPARE(t.cell(0, 0), QStringLiteral("2,34518"));
        QCOMPARE(table->verticalHeaderItem(5)->text(), QStringLiteral("Fase de latencia (t0 − 2/c)"));
        QCOMPARE(t.w.state().a, 5.0); // the main window is left alone
    }

    void comparingTheModelsFillsTheTableAndSaysWhichIsPreferred() {
        Analysis t;
        t.w.showGraph(dnase1());
        AnalysisWindow* window = t.open();
        t.click("compararModelos");
        QCOMPARE(t.messages, QStringList());
        QCOMPARE(t.button("compararModelos")->text(), QStringLiteral("Comparar modelos"));
        auto* table = window->findChild<QTableWidget*>("comparacion");
        QVERIFY(table->isVisible()); // its tab is brought to the front
        QStringList headers;
        for (int c = 0; c < table->columnCount(); ++c) {
            headers << table->horizontalHeaderItem(c)->text();
        }
        QCOMPARE(headers, QStringList({"Modelo", "Parámetros", "SSE", "AICc", "ΔAICc",
                                       "Peso de Akaike", "F", "p"}));
        QCOMPARE(table->rowCount(), 4);
        const auto cell = [table](int r, int c) { return table->item(r, c)->text(); };
        // R: AICc -62.0571834857, -60.5739448435, -72.780060569, -68.4618660752;
        // weights 0.00418, 0.00199, 0.891, 0.103; anova F 2.36697 (p 0.14987)
        // and 11.5218 (p 0.005325).
        QCOMPARE(cell(0, 0), QStringLiteral("Gompertz"));
        QCOMPARE(cell(0, 3), QStringLiteral("-62,0572"));
        QCOMPARE(cell(2, 3), QStringLiteral("-72,7801"));
        QCOMPARE(cell(2, 4), QStringLiteral("0"));
        QCOMPARE(cell(2, 5), QStringLiteral("0,891"));
        QCOMPARE(cell(1, 6), QStringLiteral("2,367"));
        QCOMPARE(cell(3, 6), QStringLiteral("11,522"));
        QCOMPARE(cell(3, 7), QStringLiteral("0,005325"));
        QCOMPARE(cell(0, 6), QString());
        auto* verdict = window->findChild<QLabel*>("veredicto");
        QCOMPARE(verdict->text(), QStringLiteral("El modelo logístico es el preferido (peso de "
                                                 "Akaike 0,89): evidencia moderada frente a los "
                                                 "demás."));
        QVERIFY(verdict->isVisible());
        // New points clear the comparison too.
        t.w.click("Command5");
        t.w.type("yv_0", "0,5");
        t.w.click("Command5");
        QCOMPARE(table->rowCount(), 0);
        QCOMPARE(verdict->text(), QString());
    }

    // R on DNase run 1: f(2) = 1.43454412393, standard error 0.0116039457898,
    // confidence [1.40947532316, 1.45961292471], prediction [1.37138233575,
    // 1.49770591211]; the curve reaches 1 at t = 1.19130139061 (error
    // 0.0244143452592).
    void predictionsAnswerBothQuestionsAndTheBandSwitches() {
        Analysis t;
        t.w.showGraph(dnase1());
        AnalysisWindow* window = t.open();
        auto* tiempo = window->findChild<QLineEdit*>("tiempo");
        auto* valor = window->findChild<QLineEdit*>("valor");
        auto* table = window->findChild<QTableWidget*>("predicciones");
        QVERIFY(tiempo && valor && table);
        // Before a fit there is nothing to predict from.
        QTest::keyClicks(tiempo, "2");
        QTest::keyClick(tiempo, Qt::Key_Return);
        QCOMPARE(t.messages.size(), 1);
        QVERIFY(t.messages[0].contains("Ajuste óptimo"));
        QCOMPARE(table->rowCount(), 0);

        t.click("ajusteOptimo");
        tiempo->selectAll();
        QTest::keyClicks(tiempo, "2");
        QTest::keyClick(tiempo, Qt::Key_Return);
        tiempo->selectAll();
        QTest::keyClicks(tiempo, "4"); // past the last t, ln 12.5
        QTest::keyClick(tiempo, Qt::Key_Return);
        QTest::keyClicks(valor, "1");
        QTest::keyClick(valor, Qt::Key_Return);
        valor->selectAll();
        QTest::keyClicks(valor, "5"); // above the plateau, a = 4.60
        QTest::keyClick(valor, Qt::Key_Return);
        QCOMPARE(t.messages.size(), 1);
        QCOMPARE(table->rowCount(), 4);
        const auto row = [table](int r) {
            QStringList cells;
            for (int c = 0; c < table->columnCount(); ++c) {
                cells << (table->item(r, c) ? table->item(r, c)->text() : QString());
            }
            return cells;
        };
        QCOMPARE(row(0), QStringList({"f(t) en t = 2", "1,43454", "0,0116039", "1,40948", "1,45961",
                                      "1,37138", "1,49771", ""}));
        QCOMPARE(row(1).last(), QStringLiteral("extrapolación"));
        QCOMPARE(row(2).mid(0, 3), QStringList({"t en que f(t) = 1", "1,1913", "0,0244143"}));
        QVERIFY(!row(2)[3].isEmpty() && !row(2)[4].isEmpty());
        QCOMPARE(row(3)[1], QStringLiteral("—"));
        QCOMPARE(row(3).last(), QStringLiteral("la curva nunca llega a ese valor"));

        auto* banda = window->findChild<QComboBox*>("banda");
        QCOMPARE(banda->itemText(0), QStringLiteral("Confianza"));
        QCOMPARE(banda->itemText(1), QStringLiteral("Predicción"));
        auto* plot = window->findChild<QCustomPlot*>("grafica");
        QCPGraph* upper = plot->graph(1);
        QVERIFY(plot->legend->visible());
        QVERIFY(upper->name().startsWith("Banda de confianza del 95 %"));
        const double narrow = upper->data()->at(100)->value - plot->graph(0)->data()->at(100)->value;
        banda->setCurrentIndex(1);
        QVERIFY(upper->name().startsWith("Banda de predicción del 95 %"));
        const double wide = upper->data()->at(100)->value - plot->graph(0)->data()->at(100)->value;
        QVERIFY2(wide > 2 * narrow, qPrintable(QString::number(wide / narrow)));
        // Another model clears the predictions that came from this one.
        window->findChild<QComboBox*>("modelo")->setCurrentIndex(2);
        QCOMPARE(table->rowCount(), 0);
    }

    void openingTheMenuCommitsNoParameterBox() {
        Window w;
        w.showGraph(dnase1());
        w.type("Lval", "7"); // typed, not committed
        QMenuBar* bar = w.form->menuBar();
        QAction* menu = bar->actions().first();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(menu).center());
        QWidget* popup = QApplication::activePopupWidget();
        QVERIFY(popup != nullptr);
        QTest::keyClick(popup, Qt::Key_Escape);
        QCOMPARE(w.state().a, 5.0);
        QCOMPARE(w.caption("Lval"), QStringLiteral("7"));
        QCOMPARE(w.messages, QStringList());
    }
};

WIDGET_TEST_MAIN(AnalysisTest)
#include "analysis_test.moc"
