// Data sets in the analysis window, driven as a user drives them: a file of
// replicates added beside the table, fitted, weighted, shown or hidden,
// compared with the table and removed. Expected values are R's
// (tests/reference/data_sets.R): nls with weights, and the stacked fits of
// DNase runs 1 and 2 compared by anova().
#include "test_support.h"

#include "reference/data_sets_reference.h"
#include "ui/analysis_window.h"

#include <QAction>
#include <QCheckBox>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>

#include <qcustomplot.h>

#include <cmath>
#include <malloc.h>

#if defined(__SANITIZE_ADDRESS__)
// AddressSanitizer's allocator keeps its own count (its interface header is
// not always installed).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

using namespace testing_support;
using gompertz::ui::AnalysisWindow;
namespace ref = data_sets_reference;

namespace {

const char* const kDnase1Density[] = {"0,017", "0,018", "0,121", "0,124", "0,206", "0,215",
                                      "0,377", "0,374", "0,614", "0,609", "1,019", "1,001",
                                      "1,334", "1,364", "1,73",  "1,71"};

QString comma(double value) {
    return QString::number(value, 'g', 15).replace('.', ',');
}

std::vector<std::pair<QString, QString>> dnase1() {
    std::vector<std::pair<QString, QString>> rows;
    for (int i = 0; i < 16; ++i) {
        rows.emplace_back(comma(std::log(ref::kDnaseConcentration[i / 2])), kDnase1Density[i]);
    }
    return rows;
}

// DNase run 2 as a plate reader writes duplicates: t, then one column each.
QByteArray dnase2Replicates() {
    QByteArray text = "t;réplica 1;réplica 2\r\n";
    for (int i = 0; i < 8; ++i) {
        text += comma(std::log(ref::kDnaseConcentration[i])).toUtf8() + ";" +
                comma(ref::kDnase2Density[2 * i]).toUtf8() + ";" +
                comma(ref::kDnase2Density[2 * i + 1]).toUtf8() + "\r\n";
    }
    return text;
}

struct Sets {
    Window w;
    QStringList messages;
    FixedChooser* chooser = nullptr;
    QTemporaryDir folder;
    AnalysisWindow* window = nullptr;

    Sets() {
        w.form->findChild<QAction*>("actionAnalisis")->trigger();
        window = w.form->analysisWindow();
        window->setMessageSink(std::make_unique<RecordingSink>(&messages));
        auto owned = std::make_unique<FixedChooser>();
        chooser = owned.get();
        window->setFileChooser(std::move(owned));
    }
    template <typename T> T* get(const char* name) const {
        auto* widget = window->findChild<T*>(name);
        Q_ASSERT_X(widget, "Sets::get", name);
        return widget;
    }
    QListWidget* list() const { return get<QListWidget>("conjuntos"); }
    void click(const char* button) {
        QTest::mouseClick(get<QPushButton>(button), Qt::LeftButton);
    }
    // Adds a file holding text through "Añadir datos…".
    void add(const QString& name, const QByteArray& text) {
        chooser->path = folder.filePath(name);
        QFile file(chooser->path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text);
        file.close();
        click("anadirDatos");
    }
    // A click on the set in the list, as a user picks it (with Ctrl, adds it).
    void choose(int row, Qt::KeyboardModifiers modifiers = {}) {
        QListWidget* sets = list();
        QTest::mouseClick(sets->viewport(), Qt::LeftButton, modifiers,
                          sets->visualItemRect(sets->item(row)).center());
    }
    QString cell(const char* table, int row, int column) const {
        const QTableWidgetItem* item = get<QTableWidget>(table)->item(row, column);
        return item != nullptr ? item->text() : QString();
    }
    QString summary() const { return get<QLabel>("resumen")->text(); }
    QStringList legend() const {
        QStringList names;
        QCustomPlot* plot = get<QCustomPlot>("grafica");
        for (int i = 0; i < plot->legend->itemCount(); ++i) {
            if (auto* item = qobject_cast<QCPPlottableLegendItem*>(plot->legend->item(i))) {
                names << item->plottable()->name();
            }
        }
        return names;
    }
};

// The bytes the program holds on its heap now.
std::size_t heldBytes() {
#if defined(__SANITIZE_ADDRESS__)
    return __sanitizer_get_current_allocated_bytes();
#else
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
#endif
}

// Whether the plot shows a pixel of the colour.
bool plotShows(QWidget* plot, const QColor& colour) {
    const QImage image = plot->grab().toImage();
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (looksLike(image.pixelColor(x, y), colour)) {
                return true;
            }
        }
    }
    return false;
}

} // namespace

class SetsTest : public QObject {
    Q_OBJECT
  private slots:
    void aFileOfReplicatesIsAddedBesideTheTableWithoutTouchingIt() {
        Sets s;
        s.w.showGraph({{"1", "2"}, {"3", "4"}});
        QCOMPARE(s.list()->count(), 1);
        QCOMPARE(s.list()->item(0)->text(), QStringLiteral("Tabla principal"));
        QCOMPARE(s.list()->item(0)->checkState(), Qt::Checked);
        s.add("dnase2.csv", dnase2Replicates());
        QCOMPARE(s.messages, QStringList());
        QCOMPARE(s.list()->count(), 2);
        QCOMPARE(s.list()->item(1)->text(), QStringLiteral("dnase2")); // the file, less its extension
        QCOMPARE(s.list()->currentRow(), 1);
        QVERIFY(s.list()->item(1)->flags() & Qt::ItemIsEditable);
        QVERIFY(!(s.list()->item(0)->flags() & Qt::ItemIsEditable));
        // The main window's table is as it was.
        QCOMPARE(s.w.caption("xv_0"), QStringLiteral("1"));
        QCOMPARE(s.w.caption("yv_1"), QStringLiteral("4"));
        QCOMPARE(s.w.caption("xv_2"), QString());
        QCOMPARE(s.w.state().pointCount, 2);
    }

    // Every replicate value is a point (n = 16 for 8 times), and the
    // summary says whether the curve stays within their scatter.
    void theSelectedSetIsFittedAndEachShownSetIsDrawnInItsColour() {
        Sets s;
        s.w.showGraph({{"1", "2"}, {"2", "3"}, {"3", "3,5"}, {"4", "3,7"}});
        s.add("dnase2.csv", dnase2Replicates());
        s.click("ajusteOptimo");
        QCOMPARE(s.messages, QStringList());
        const auto& r = ref::kComparisons[0]; // its second set is DNase run 2 alone
        QCOMPARE(s.cell("resultados", 0, 0), QStringLiteral("4,9592"));
        QCOMPARE(s.cell("resultados", 1, 0),
                 QString::number(r.parametersSecond[1], 'g', 6).replace('.', ','));
        QVERIFY2(s.summary().startsWith("n = 16, gl = 13"), qPrintable(s.summary()));
        QVERIFY2(s.summary().contains("las réplicas (falta de ajuste frente al error puro: "
                                      "F(5, 8) = 13,35"),
                 qPrintable(s.summary()));
        QCOMPARE(s.legend(),
                 QStringList({"Tabla principal", "dnase2", "Curva de dnase2 (Gompertz)",
                              "Banda de confianza del 95 %"}));
        auto* plot = s.get<QCustomPlot>("grafica");
        QVERIFY(plotShows(plot, QColor(0, 128, 0)));
        // Its box hides it; the table's stays.
        s.list()->item(1)->setCheckState(Qt::Unchecked);
        QVERIFY(!plotShows(plot, QColor(0, 128, 0)));
        QVERIFY(plotShows(plot, QColor(0, 0, 128)));
        s.list()->item(1)->setCheckState(Qt::Checked);
        QVERIFY(plotShows(plot, QColor(0, 128, 0)));
        // Choosing the table shows its own (empty) results; back again, the set's.
        s.list()->setCurrentRow(0);
        QCOMPARE(s.get<QTableWidget>("resultados")->rowCount(), 0);
        s.list()->setCurrentRow(1);
        QCOMPARE(s.cell("resultados", 0, 0), QStringLiteral("4,9592"));
        QVERIFY(!s.get<QPushButton>("aplicar")->isEnabled()); // only the table's curve applies
        // A new name is the legend's too.
        s.list()->item(1)->setText(QStringLiteral("Tratado"));
        QVERIFY2(s.legend().contains("Tratado"), qPrintable(s.legend().join('|')));
    }

    // R's nls(..., weights = ) on DNase run 1: 1/y^2 and 1/DE^2.
    void eachWeightingGivesRsWeightedFit() {
        Sets s;
        s.w.showGraph(dnase1());
        auto* weights = s.get<QComboBox>("ponderacion");
        QCOMPARE(weights->count(), 3);
        QCOMPARE(weights->itemText(0), QStringLiteral("Sin ponderar"));
        QCOMPARE(weights->itemText(1), QStringLiteral("1/y²"));
        QCOMPARE(weights->itemText(2), QStringLiteral("1/DE²"));
        for (const ref::WeightedFit& r : ref::kWeighted) {
            if (std::string(r.model) != "gompertz") {
                continue;
            }
            const int index = std::string(r.weighting) == "y2" ? 1 : std::string(r.weighting) == "de2" ? 2 : 0;
            weights->setCurrentIndex(index);
            s.click("ajusteOptimo");
            QCOMPARE(s.messages, QStringList());
            QCOMPARE(s.cell("resultados", 0, 0),
                     QString::number(r.parameters[0], 'g', 6).replace('.', ','));
            QCOMPARE(s.cell("resultados", 0, 1),
                     QString::number(r.standardErrors[0], 'g', 6).replace('.', ','));
            QCOMPARE(s.cell("resultados", 0, 2),
                     QString::number(r.profileLower[0], 'g', 6).replace('.', ','));
            QVERIFY2(index == 0 || s.summary().contains("ponderados por"), qPrintable(s.summary()));
        }
        // A set without replicates cannot be weighted by their deviation.
        s.add("sin-replicas.csv", "1;2\n2;3\n3;3,5\n4;3,7\n5;3,8\n");
        s.click("ajusteOptimo");
        QCOMPARE(s.messages.size(), 1);
        QVERIFY2(s.messages[0].startsWith("«sin-replicas»: La ponderación 1/DE² necesita "
                                          "réplicas: en t = 1 hay un solo valor."),
                 qPrintable(s.messages[0]));
        QCOMPARE(s.get<QTableWidget>("resultados")->rowCount(), 0);
    }

    // A file of t, media, DE, n is fitted on its means, weighted by n/DE^2:
    // the parameters of the fit of every value weighted by 1/DE^2.
    void meansWithTheirDeviationAreFittedOnTheMeans() {
        Sets s;
        QByteArray text = "t;media;DE;n\n";
        for (int i = 0; i < 8; ++i) {
            const double mean = (QString(kDnase1Density[2 * i]).replace(',', '.').toDouble() +
                                 QString(kDnase1Density[2 * i + 1]).replace(',', '.').toDouble()) /
                                2;
            text += comma(std::log(ref::kDnaseConcentration[i])).toUtf8() + ";" +
                    comma(mean).toUtf8() + ";" + comma(ref::kDnase1PairSd[i]).toUtf8() + ";2\n";
        }
        s.add("medias.csv", text);
        s.get<QComboBox>("ponderacion")->setCurrentIndex(2);
        s.click("ajusteOptimo");
        QCOMPARE(s.messages, QStringList());
        QCOMPARE(s.cell("resultados", 0, 0),
                 QString::number(ref::kMeans[0].parameters[0], 'g', 6).replace('.', ','));
        QVERIFY2(s.summary().startsWith("n = 8, gl = 5"), qPrintable(s.summary()));
        QVERIFY(!s.summary().contains("falta de ajuste")); // no replicates among means
    }

    void aRefusedFileAddsNothingAndSaysWhereItFailed() {
        Sets s;
        s.add("malo.csv", "t;y\n1;2\n2;3,5;x\n");
        QCOMPARE(s.messages.size(), 1);
        QVERIFY2(s.messages[0].startsWith("No se puede añadir malo.csv: en la línea 3, «x» no es "
                                          "un número"),
                 qPrintable(s.messages[0]));
        QCOMPARE(s.list()->count(), 1);
        // What keeps a file from being read says nothing of the table,
        // which a set never touches.
        s.messages.clear();
        s.chooser->path = s.folder.path();
        s.click("anadirDatos");
        QCOMPARE(s.messages.size(), 1);
        QVERIFY2(s.messages[0].startsWith("No se puede añadir ") &&
                     s.messages[0].endsWith(": en su lugar hay una carpeta con ese nombre. No se "
                                            "ha añadido nada.") &&
                     !s.messages[0].contains("tabla"),
                 qPrintable(s.messages[0]));
        QCOMPARE(s.list()->count(), 1);
        // Eight sets at most, the table among them.
        for (int i = 0; i < 7; ++i) {
            s.add(QStringLiteral("s%1.csv").arg(i), "1;2\n2;3\n");
        }
        QCOMPARE(s.list()->count(), 8);
        s.messages.clear();
        s.add("uno-mas.csv", "1;2\n2;3\n");
        QCOMPARE(s.list()->count(), 8);
        QVERIFY2(s.messages.value(0).startsWith("Ya hay 8 conjuntos"), qPrintable(s.messages.value(0)));
    }

    // anova() of the stacked DNase runs: one curve for both against a curve
    // for each, and each parameter shared in turn.
    void twoSetsAreComparedAsRsStackedFits() {
        Sets s;
        s.w.showGraph(dnase1());
        s.add("dnase2.csv", dnase2Replicates());
        s.choose(1);
        s.click("compararConjuntos");
        QCOMPARE(s.messages.size(), 1); // one set chosen is not two
        QVERIFY(s.messages[0].startsWith("Seleccione dos conjuntos"));
        s.choose(0, Qt::ControlModifier);
        QCOMPARE(s.list()->selectedItems().size(), 2);
        s.click("compararConjuntos");
        QCOMPARE(s.messages.size(), 1);
        const auto& r = ref::kComparisons[0];
        const auto shown = [](double v, int digits) {
            return QString::number(v, 'g', digits).replace('.', ',');
        };
        QCOMPARE(s.get<QTabWidget>("pestanas")->currentIndex(), 3);
        QCOMPARE(s.cell("comparacionConjuntos", 0, 0), QStringLiteral("Una curva para ambos conjuntos"));
        QCOMPARE(s.cell("comparacionConjuntos", 0, 5), shown(r.f, 5));
        QCOMPARE(s.cell("comparacionConjuntos", 1, 0), QStringLiteral("a"));
        QCOMPARE(s.cell("comparacionConjuntos", 1, 1), shown(r.difference[0], 6));
        QCOMPARE(s.cell("comparacionConjuntos", 1, 3), shown(r.differenceLower[0], 6));
        QCOMPARE(s.cell("comparacionConjuntos", 1, 6), shown(r.sharedP[0], 4));
        QCOMPARE(s.cell("comparacionConjuntos", 3, 6), shown(r.sharedP[2], 4));
        QCOMPARE(s.cell("comparacionConjuntos", 5, 1), shown(r.readOutDifference[1], 6));
        const QString sentence = s.get<QLabel>("conclusionConjuntos")->text();
        QVERIFY2(sentence.startsWith("Las curvas de «Tabla principal» y «dnase2» difieren "
                                     "(p < 0,001)."),
                 qPrintable(sentence));
        QVERIFY2(sentence.contains("Diferencia: «dnase2» menos «Tabla principal»"),
                 qPrintable(sentence));
        // The copy holds every set and the comparison, with every digit.
        QVERIFY(s.get<QPushButton>("copiar")->isEnabled());
        s.get<QCheckBox>("cifrasCompletas")->setChecked(true);
        s.click("copiar");
        const QString copied = QApplication::clipboard()->text();
        QVERIFY(copied.contains("conjunto\tTabla principal\n"));
        QVERIFY(copied.contains("conjunto\tdnase2\n"));
        QVERIFY(copied.contains("comparación de conjuntos\tTabla principal\tdnase2\n"));
        // R's F is 29.678358663 (anova of the stacked fits).
        QVERIFY2(copied.contains("\nUna curva para ambos conjuntos\t\t\t\t\t29,67835"),
                 qPrintable(copied.right(900)));
        // So does the CSV file.
        s.chooser->path = s.folder.filePath("todo.csv");
        s.chooser->filter = QStringLiteral("CSV con «;» y coma decimal (*.csv)");
        s.click("exportar");
        QFile csv(s.chooser->path);
        QVERIFY(csv.open(QIODevice::ReadOnly));
        const QString written = QString::fromUtf8(csv.readAll());
        QVERIFY(written.contains("conjunto;dnase2\r\nt;y;ajustado;residuo\r\n") ||
                written.contains("conjunto;dnase2\r\nt;y\r\n"));
        QVERIFY(written.contains("comparación de conjuntos;Tabla principal;dnase2\r\n"));
    }

    // A plate reader's long series: 10 000 rows added, drawn and fitted
    // hold less than 5 MB.
    void aLongSeriesIsAddedFittedAndHeldInLittleMemory() {
        Sets s;
        QByteArray text = "t;absorbancia\n";
        for (int i = 0; i < 10000; ++i) {
            const double t = -3.0 + 11.0 * i / 9999;
            text += comma(t).toUtf8() + ";" +
                    comma(2.0 * std::exp(-std::exp(-t)) + 0.03 * std::sin(12.9898 * i)).toUtf8() +
                    "\n";
        }
        QFile file(s.folder.filePath("lector.csv"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text);
        file.close();
        s.chooser->path = file.fileName();
        text.clear();
        const std::size_t before = heldBytes();
        s.click("anadirDatos");
        s.click("ajusteOptimo");
        // A long series is fitted off the interface thread.
        QTRY_VERIFY_WITH_TIMEOUT(!s.window->busy(), 120000);
        const std::size_t after = heldBytes();
        qInfo("a 10 000-point set holds %zu bytes", after - before);
        QCOMPARE(s.messages, QStringList());
        QVERIFY2(s.summary().startsWith("n = 10000, gl = 9997"), qPrintable(s.summary()));
        QCOMPARE(s.cell("resultados", 0, 0), QStringLiteral("1,99999"));
        QVERIFY2(after < before + 5 * 1024 * 1024,
                 qPrintable(QStringLiteral("%1 bytes more").arg(after - before)));
    }

    void quitarRemovesTheSelectedSetButNeverTheTable() {
        Sets s;
        s.add("dnase2.csv", dnase2Replicates());
        auto* plot = s.get<QCustomPlot>("grafica");
        const int graphs = plot->graphCount();
        s.click("quitarConjunto");
        QCOMPARE(s.list()->count(), 1);
        QCOMPARE(plot->graphCount(), graphs - 2);
        QCOMPARE(s.list()->currentRow(), 0);
        s.click("quitarConjunto");
        QCOMPARE(s.list()->count(), 1);
        QCOMPARE(s.messages.size(), 1);
        QVERIFY(s.messages[0].startsWith("La tabla principal no se puede quitar"));
    }
};

QTEST_MAIN(SetsTest)
#include "sets_test.moc"
