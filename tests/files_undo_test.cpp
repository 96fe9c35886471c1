// The "Archivo" and "Edición" menus: files anywhere, import, paste of rows
// copied from a spreadsheet, and undo and redo of the parameters.
#include "test_support.h"

#include "ui/file_chooser.h"

#include <QAction>
#include <QClipboard>
#include <QFile>
#include <QDateTime>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QUndoStack>

#include <functional>

using namespace testing_support;

namespace {

class FixedChooser : public gompertz::ui::FileChooser {
  public:
    QString path;
    QString saveFileName(QWidget*, const QString&, const QStringList&, QString*) override {
        return path;
    }
    QString openFileName(QWidget*, const QString&, const QStringList&) override { return path; }
};

struct Files {
    Window w;
    FixedChooser* chooser = new FixedChooser;
    QTemporaryDir folder;
    Files() { w.form->setFileChooser(std::unique_ptr<FixedChooser>(chooser)); }
    void trigger(const char* action) { w.form->findChild<QAction*>(action)->trigger(); }
    QString write(const char* name, const QByteArray& bytes) {
        const QString path = folder.filePath(name);
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
        return path;
    }
    QStringList column(const char* prefix, int rows = 4) const {
        QStringList out;
        for (int i = 0; i < rows; ++i) {
            out << w.caption(QStringLiteral("%1_%2").arg(prefix).arg(i));
        }
        return out;
    }
};

void pressInCell(Window& w, const QString& cell, const QKeySequence& keys) {
    QTest::mouseClick(w.box(cell), Qt::LeftButton);
    QTest::keySequence(w.box(cell), keys);
}

QString undoText(const Window& w) {
    return w.form->findChild<QAction*>("actionDeshacer")->text();
}

void undo(Window& w) {
    w.form->findChild<QAction*>("actionDeshacer")->trigger();
}

void redo(Window& w) {
    w.form->findChild<QAction*>("actionRehacer")->trigger();
}

} // namespace

class FilesUndoTest : public QObject {
    Q_OBJECT
  private slots:
    void theMenusHoldTheirActions() {
        Window w;
        const std::vector<std::pair<const char*, QKeySequence>> actions = {
            {"actionAbrir", QKeySequence("Ctrl+O")},
            {"actionGuardarComo", QKeySequence("Ctrl+Shift+S")},
            {"actionImportar", QKeySequence()},
            {"actionSalir", QKeySequence("Ctrl+Q")},
            {"actionDeshacer", QKeySequence("Ctrl+Z")},
            {"actionRehacer", QKeySequence("Ctrl+Shift+Z")},
        };
        for (const auto& [name, keys] : actions) {
            auto* action = w.form->findChild<QAction*>(name);
            QVERIFY2(action != nullptr, name);
            QCOMPARE(action->shortcut(), keys);
        }
        QStringList menus;
        for (QAction* menu : w.form->menuBar()->actions()) {
            menus << menu->text().remove('&');
        }
        QCOMPARE(menus, QStringList({"Archivo", "Edición", "Ajuste", "Ayuda"}));
    }

    void openReadsAFileFromAnywhereWithTheChecksOfRecuperar() {
        Files f;
        f.chooser->path = f.write("medidas.txt", " 2 \r\n0\r\n1,5\r\n2,5\r\n4\r\n");
        f.trigger("actionAbrir");
        QCOMPARE(f.column("xv"), QStringList({"0", "2,5", "", ""}));
        QCOMPARE(f.column("yv"), QStringList({"1,5", "4", "", ""}));
        QCOMPARE(f.w.messages, QStringList());

        f.chooser->path = f.write("malo.txt", " 3 \r\n1\r\n");
        f.trigger("actionAbrir");
        QCOMPARE(f.w.messages.size(), 1);
        QVERIFY2(f.w.messages[0].startsWith("El archivo malo.txt no es válido"),
                 qPrintable(f.w.messages[0]));
        QCOMPARE(f.column("xv"), QStringList({"0", "2,5", "", ""}));

        f.chooser->path = f.folder.filePath("no-existe.txt");
        f.trigger("actionAbrir");
        QVERIFY(f.w.messages[1].startsWith("No se encuentra el archivo no-existe.txt en /"));
        f.chooser->path.clear(); // cancelled
        f.trigger("actionAbrir");
        QCOMPARE(f.w.messages.size(), 2);
    }

    void saveAsCapturesAndWritesTheDataFileFormat() {
        Files f;
        f.w.enterPoints({{"1,50", "2"}, {"3", "4"}});
        f.chooser->path = f.folder.filePath("copia.txt");
        f.trigger("actionGuardarComo");
        QFile file(f.chooser->path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray(" 2 \r\n1,5\r\n2\r\n3\r\n4\r\n"));
        QCOMPARE(f.w.caption("xv_0"), QStringLiteral("1,5")); // captured first
        f.chooser->path = f.folder.filePath("falta/copia.txt");
        f.trigger("actionGuardarComo");
        QCOMPARE(f.w.messages.size(), 1);
        QVERIFY(f.w.messages[0].startsWith("No se pudo guardar copia.txt: la carpeta no existe"));
    }

    void aRealDialogOpensAFile() {
        Window w; // with Qt's own file dialog
        QTemporaryDir folder;
        const QString path = folder.filePath("real.txt");
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(" 1 \r\n8\r\n9\r\n");
        file.close();
        // Qt's dialog keeps a history of folders; none may be left behind.
        const QFileInfo qtSettings(
            QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
            "/QtProject.conf");
        const QDateTime settingsBefore = qtSettings.exists() ? qtSettings.lastModified() : QDateTime();
        QString seenTitle;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
                seenTitle = dialog->windowTitle();
                dialog->selectFile(path);
                static_cast<QDialog*>(dialog)->accept();
            }
        });
        poll.start(20);
        w.form->findChild<QAction*>("actionAbrir")->trigger();
        poll.stop();
        QCOMPARE(seenTitle, QStringLiteral("Abrir datos"));
        const QFileInfo after(qtSettings.filePath());
        QCOMPARE(after.exists() ? after.lastModified() : QDateTime(), settingsBefore);
        QCOMPARE(w.caption("xv_0"), QStringLiteral("8"));
        QCOMPARE(w.caption("yv_0"), QStringLiteral("9"));
    }

    void importTakesSpreadsheetColumnsOrRefusesNamingTheLine() {
        Files f;
        f.chooser->path = f.write("hoja.csv", "tiempo;densidad\r\n0;0,017\r\n1,5;1.001,5\r\n");
        f.trigger("actionImportar");
        QCOMPARE(f.column("xv"), QStringList({"0", "1,5", "", ""}));
        QCOMPARE(f.column("yv"), QStringList({"0,017", "1001,5", "", ""}));
        QCOMPARE(f.w.state().pointCount, 0); // no capture
        f.chooser->path = f.write("en.csv", "t,y\n2.5,4\n");
        f.trigger("actionImportar");
        QCOMPARE(f.column("xv"), QStringList({"2,5", "", "", ""}));
        QByteArray many;
        for (int i = 0; i < 21; ++i) {
            many += QByteArray::number(i) + "\t1\n";
        }
        f.chooser->path = f.write("muchas.tsv", many);
        f.trigger("actionImportar");
        QCOMPARE(f.w.messages.size(), 1);
        QVERIFY2(f.w.messages[0].contains("línea 21"), qPrintable(f.w.messages[0]));
        QCOMPARE(f.column("xv"), QStringList({"2,5", "", "", ""}));
    }

    void pastingSpreadsheetRowsFillsTheTableFromTheCell() {
        Window w;
        w.type("xv_0", "9");
        QApplication::clipboard()->setText("1.5\t2\r\n3\t4.25\r\n");
        pressInCell(w, "xv_2", QKeySequence::Paste);
        QCOMPARE(w.caption("xv_2"), QStringLiteral("1,5"));
        QCOMPARE(w.caption("yv_2"), QStringLiteral("2"));
        QCOMPARE(w.caption("xv_3"), QStringLiteral("3"));
        QCOMPARE(w.caption("yv_3"), QStringLiteral("4,25"));
        QCOMPARE(w.caption("xv_0"), QStringLiteral("9"));

        QApplication::clipboard()->setText("7\n8\n");
        pressInCell(w, "yv_5", QKeySequence::Paste); // one column: the cell's own
        QCOMPARE(w.caption("yv_5"), QStringLiteral("7"));
        QCOMPARE(w.caption("yv_6"), QStringLiteral("8"));
        QCOMPARE(w.caption("xv_5"), QString());

        QApplication::clipboard()->setText("1\n2\n3\n");
        pressInCell(w, "xv_18", QKeySequence::Paste); // past row 20
        QCOMPARE(w.messages.size(), 1);
        QVERIFY(w.messages[0].contains("no caben"));
        QCOMPARE(w.caption("xv_18"), QString());

        QApplication::clipboard()->setText("7,5");
        pressInCell(w, "xv_10", QKeySequence::Paste); // a single value, as usual
        QCOMPARE(w.caption("xv_10"), QStringLiteral("7,5"));
        QCOMPARE(w.messages.size(), 1);
    }

    void theCellsContextMenuPastesRowsToo() {
        Window w;
        QApplication::clipboard()->setText("1;2\n3;4\n");
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                menu->findChild<QAction*>("edit-paste")->trigger();
                menu->close();
            }
        });
        poll.start(20);
        QWidget* cell = w.get("xv_1");
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), cell->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(cell, &event);
        poll.stop();
        QCOMPARE(w.caption("xv_1"), QStringLiteral("1"));
        QCOMPARE(w.caption("yv_2"), QStringLiteral("4"));
    }

    void eachChangeOfTheParametersUndoesAndRedoes() {
        Window w;
        w.showGraph({{"0", "1,5"}, {"2,5", "4"}, {"5", "4,8"}});
        QUndoStack* stack = w.form->undoStack();
        QCOMPARE(stack->count(), 0);

        w.click("paso");
        const double a1 = w.state().a;
        QVERIFY(a1 != 5.0);
        QCOMPARE(undoText(w), QStringLiteral("Deshacer Un paso"));
        w.click("paso4");
        QCOMPARE(undoText(w), QStringLiteral("Deshacer 10000 pasos"));
        undo(w);
        QCOMPARE(w.state().a, a1);
        undo(w);
        QCOMPARE(w.state().a, 5.0);
        QCOMPARE(w.caption("Lval"), QStringLiteral("5"));
        QCOMPARE(w.get<QScrollBar>("LSCR")->value(), -50);
        QVERIFY(!w.caption("label9").isEmpty()); // redrawn with its read-outs
        redo(w);
        QCOMPARE(w.state().a, a1);
        QCOMPARE(w.state().busy, 0);
    }

    void editsBarsAndTheRecoveryAreStepsAndBarsMerge() {
        Window w;
        w.showGraph({{"0", "1,5"}, {"2,5", "4"}, {"5", "4,8"}});
        QUndoStack* stack = w.form->undoStack();
        w.typeAndPress("Tval", "2", Qt::Key_Return);
        QCOMPARE(undoText(w), QStringLiteral("Deshacer edición de t0"));
        auto* bar = w.get<QScrollBar>("LSCR");
        bar->setFocus();
        QTest::keyClick(bar, Qt::Key_Right);
        QTest::keyClick(bar, Qt::Key_Right);
        QTest::keyClick(bar, Qt::Key_Right);
        QCOMPARE(w.state().a, 5.3);
        QCOMPARE(stack->count(), 2); // three moves, one step
        QCOMPARE(undoText(w), QStringLiteral("Deshacer barra de a"));

        w.typeAndPress("Cval", "7", Qt::Key_Return); // beyond the bar: the recovery
        QCOMPARE(w.messages, QStringList{"Desbordamiento"});
        QCOMPARE(undoText(w), QStringLiteral("Deshacer recuperación del desbordamiento"));
        undo(w);
        QCOMPARE(w.state().a, 5.3);
        QCOMPARE(w.state().t0, 2.0);
        QCOMPARE(w.caption("Tval"), QStringLiteral("2"));
        QCOMPARE(w.get<QScrollBar>("TSCR")->value(), 10);
        undo(w);
        QCOMPARE(w.state().a, 5.0);
        undo(w);
        QCOMPARE(w.state().t0, 0.0);
        QVERIFY(!stack->canUndo());
    }

    void whatLeavesTheParametersAloneAddsNoStep() {
        Window w;
        w.showGraph({{"0", "1,5"}, {"2,5", "4"}});
        w.click("Check1");
        w.click("Check2");
        w.click("Check3");
        w.click("paso");
        w.typeAndPress("Lval", "5", Qt::Key_Return);
        w.click("graf");
        QCOMPARE(w.form->undoStack()->count(), 0);
    }

    void undoingFromTheTableShowsTheGraph() {
        Window w;
        w.showGraph({{"0", "1,5"}, {"2,5", "4"}});
        w.typeAndPress("Lval", "6", Qt::Key_Return);
        w.click("Command5");
        QCOMPARE(w.caption("Command5"), QStringLiteral("Gráfica"));
        undo(w);
        QCOMPARE(w.caption("Command5"), QStringLiteral("Tabla"));
        QCOMPARE(w.state().a, 5.0);
    }

    void ctrlZInATextBoxUndoesItsText() {
        Window w;
        w.showGraph({{"0", "1,5"}, {"2,5", "4"}});
        w.typeAndPress("Lval", "6", Qt::Key_Return);
        QLineEdit* box = w.box("Text1");
        QTest::mouseClick(box, Qt::LeftButton);
        QTest::keyClick(box, Qt::Key_End);
        QTest::keyClicks(box, "5");
        QCOMPARE(box->text(), QStringLiteral("0,0015"));
        QTest::keySequence(box, QKeySequence("Ctrl+Z"));
        QCOMPARE(box->text(), QStringLiteral("0,001"));
        QCOMPARE(w.state().a, 6.0);
    }
};

WIDGET_TEST_MAIN(FilesUndoTest)
#include "files_undo_test.moc"
