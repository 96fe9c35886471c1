// The "Archivo" and "Edición" menus: files anywhere, import, paste of rows
// copied from a spreadsheet, and undo and redo of the parameters.
#include "test_support.h"

#include "ui/analysis_window.h"
#include "ui/file_chooser.h"
#include "ui/translations.h"

#include <QAction>
#include <QClipboard>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QUndoStack>

#include <functional>

using namespace testing_support;

namespace {

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
        const QDateTime settingsBefore =
            qtSettings.exists() ? qtSettings.lastModified() : QDateTime();
        QString seenTitle;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
                seenTitle = dialog->windowTitle();
                // Qt's dialog writes the chosen name into its name box only
                // while that box is not being typed in: a user clicks the file.
                if (QWidget* typing = dialog->focusWidget()) {
                    typing->clearFocus();
                }
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

    void saveAsAddsTheChosenFiltersExtensionToANameWithout() {
        Files f;
        f.w.enterPoints({{"1", "2"}});
        f.chooser->path = f.folder.filePath("dnase");
        f.chooser->filter = QStringLiteral("Datos de Gompertz (*.txt)");
        f.trigger("actionGuardarComo");
        QVERIFY(QFileInfo::exists(f.folder.filePath("dnase.txt")));
        QVERIFY(!QFileInfo::exists(f.folder.filePath("dnase")));
        f.chooser->path = f.folder.filePath("todo");
        f.chooser->filter = QStringLiteral("Todos los archivos (*)");
        f.trigger("actionGuardarComo");
        QVERIFY(QFileInfo::exists(f.folder.filePath("todo")));
        f.chooser->path = f.folder.filePath("otro.dat");
        f.chooser->filter = QStringLiteral("Datos de Gompertz (*.txt)");
        f.trigger("actionGuardarComo");
        QVERIFY(QFileInfo::exists(f.folder.filePath("otro.dat")));
        QCOMPARE(f.w.messages, QStringList());
    }

    void closingWithRowsNotSavedAsksFirst() {
        QTemporaryDir working;
        const QString previous = QDir::currentPath();
        QDir::setCurrent(working.path());
        {
            Window w;
            QVERIFY(w.form->close()); // an empty table: nothing to ask
            QCOMPARE(w.questions, QStringList());
        }
        Window w;
        w.form->show();
        w.enterPoints({{"1", "2"}, {"3", "4"}});
        w.answer = gompertz::ui::SaveAnswer::Cancel;
        QVERIFY(!w.form->close());
        QVERIFY(w.form->isVisible());
        QCOMPARE(w.questions.size(), 1);
        QVERIFY2(w.questions[0].contains("sin guardar") && w.questions[0].contains("datos.txt"),
                 qPrintable(w.questions[0]));
        w.form->findChild<QAction*>("actionSalir")->trigger(); // "Salir" asks the same
        QVERIFY(w.form->isVisible());
        QCOMPARE(w.questions.size(), 2);

        w.answer = gompertz::ui::SaveAnswer::Save;
        QVERIFY(w.form->close());
        QFile saved(working.filePath("datos.txt"));
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), QByteArray(" 2 \r\n1\r\n2\r\n3\r\n4\r\n"));

        // Saved, nothing is asked; a row typed below a bad one is not saved.
        w.form->show();
        QVERIFY(w.form->close());
        QCOMPARE(w.questions.size(), 3);
        w.form->show();
        w.type("xv_2", "x");
        w.type("xv_3", "5");
        w.type("yv_3", "6");
        w.click("Command1"); // "Guardar" saves rows 1 and 2 only
        w.answer = gompertz::ui::SaveAnswer::Discard;
        QVERIFY(w.form->close());
        QCOMPARE(w.questions.size(), 4);
        QDir::setCurrent(previous);
    }

    void openAndImportOverRowsNotSavedAskFirstAndUndo() {
        Files f;
        f.w.enterPoints({{"1", "2"}});
        f.chooser->path = f.write("medidas.txt", " 1 \r\n5\r\n6\r\n");
        f.w.answer = gompertz::ui::SaveAnswer::Cancel;
        f.trigger("actionAbrir");
        QCOMPARE(f.w.questions.size(), 1);
        QVERIFY2(f.w.questions[0].contains("«Abrir»"), qPrintable(f.w.questions[0]));
        QCOMPARE(f.column("xv", 1), QStringList({"1"}));

        f.w.answer = gompertz::ui::SaveAnswer::Discard;
        f.trigger("actionAbrir");
        QCOMPARE(f.column("xv", 1), QStringList({"5"}));
        QCOMPARE(undoText(f.w), QStringLiteral("Deshacer abrir medidas.txt"));
        undo(f.w);
        QCOMPARE(f.column("xv", 1), QStringList({"1"}));
        QCOMPARE(f.column("yv", 1), QStringList({"2"}));
        redo(f.w);
        QCOMPARE(f.column("yv", 1), QStringList({"6"}));

        // Loaded rows are saved rows: importing over them asks nothing.
        f.chooser->path = f.write("hoja.csv", "t;y\n7;8\n9;10\n");
        f.trigger("actionImportar");
        QCOMPARE(f.w.questions.size(), 2);
        QCOMPARE(f.column("xv", 2), QStringList({"7", "9"}));
        // Imported rows are not saved anywhere: the next import asks.
        f.w.answer = gompertz::ui::SaveAnswer::Cancel;
        f.trigger("actionImportar");
        QCOMPARE(f.w.questions.size(), 3);
        QVERIFY(f.w.questions[2].contains("«Importar»"));
        undo(f.w);
        QCOMPARE(f.column("xv", 2), QStringList({"5", ""}));

        // A paste of several rows is one step too.
        QApplication::clipboard()->setText("1\t2\n3\t4\n");
        pressInCell(f.w, "xv_1", QKeySequence::Paste);
        QCOMPARE(f.column("xv", 3), QStringList({"5", "1", "3"}));
        QCOMPARE(undoText(f.w), QStringLiteral("Deshacer pegar filas"));
        undo(f.w);
        QCOMPARE(f.column("xv", 3), QStringList({"5", "", ""}));
    }

    void qtsOwnTextsAreInSpanish() {
        QVERIFY(gompertz::ui::installSpanishQtTexts());
        QLineEdit cell;
        std::unique_ptr<QMenu> menu(cell.createStandardContextMenu());
        QStringList texts;
        for (const QAction* action : menu->actions()) {
            texts << action->text();
        }
        QVERIFY2(texts.join('|').contains("&Pegar"), qPrintable(texts.join('|')));
        QFileDialog dialog(nullptr, QStringLiteral("Guardar"));
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        QStringList buttons;
        for (const QPushButton* button : dialog.findChildren<QPushButton*>()) {
            buttons << button->text();
        }
        QVERIFY2(buttons.contains("Cancelar") && buttons.contains("&Guardar"),
                 qPrintable(buttons.join('|')));
    }

    void everyDialogStartsInTheFolderLastUsed() {
        Window w; // with Qt's own file dialogs
        QTemporaryDir folder;
        QStringList seen;
        QString answer;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
                seen << dialog->directory().absolutePath();
                if (answer.isEmpty()) {
                    dialog->reject();
                } else {
                    dialog->findChild<QLineEdit*>("fileNameEdit")->setText(answer);
                    static_cast<QDialog*>(dialog)->accept();
                }
            }
        });
        poll.start(20);
        w.enterPoints({{"1", "2"}});
        answer = folder.filePath("primero");
        w.form->findChild<QAction*>("actionGuardarComo")->trigger();
        answer.clear();
        w.form->findChild<QAction*>("actionAbrir")->trigger();
        w.form->findChild<QAction*>("actionAnalisis")->trigger();
        QTest::mouseClick(w.form->analysisWindow()->findChild<QPushButton*>("exportar"),
                          Qt::LeftButton);
        poll.stop();
        QCOMPARE(seen, QStringList({QDir::currentPath(), QDir(folder.path()).absolutePath(),
                                    QDir(folder.path()).absolutePath()}));
        QVERIFY(QFileInfo::exists(folder.filePath("primero.txt"))); // the filter's extension
    }

    // A file that will be refused is refused before the question whether
    // to save the rows it would replace: nothing is asked about a table
    // that stays as it is.
    void aRefusedFileIsRefusedBeforeAnythingIsAsked() {
        Files f;
        f.w.enterPoints({{"1", "2"}}); // not saved
        QByteArray many = "t;y\n";
        for (int i = 0; i < 97; ++i) {
            many += QByteArray::number(i) + ";" + QByteArray::number(i % 5) + "\n";
        }
        f.chooser->path = f.write("largo.csv", many);
        f.trigger("actionImportar");
        QCOMPARE(f.w.questions, QStringList());
        QCOMPARE(f.w.messages.size(), 1);
        QVERIFY2(f.w.messages[0].startsWith("No se puede importar largo.csv: en la línea 22, hay "
                                            "más de 20 filas de datos") &&
                     f.w.messages[0].contains("«Añadir datos…», en la ventana de análisis, lee "
                                              "hasta 10 000 valores"),
                 qPrintable(f.w.messages[0]));
        f.chooser->path = f.write("columna.txt", "1\n2\n3\n");
        f.trigger("actionAbrir");
        QCOMPARE(f.w.questions, QStringList());
        QCOMPARE(f.w.messages.size(), 2);
        QVERIFY2(f.w.messages[1].startsWith("El archivo columna.txt parece una columna de números"),
                 qPrintable(f.w.messages[1]));
        f.chooser->path = f.folder.filePath("no-existe.txt");
        f.trigger("actionAbrir");
        f.trigger("actionImportar");
        QCOMPARE(f.w.questions, QStringList());
        QCOMPARE(f.w.messages.size(), 4);
        QCOMPARE(f.column("xv", 2), QStringList({"1", ""}));
        QCOMPARE(f.column("yv", 2), QStringList({"2", ""}));
        // A file that will be read still asks first.
        f.chooser->path = f.write("bueno.csv", "t;y\n7;8\n");
        f.trigger("actionImportar");
        QCOMPARE(f.w.questions.size(), 1);
        QCOMPARE(f.column("xv", 2), QStringList({"7", ""}));
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

    // Typing is a step of its own, in the order it happened: undo goes back
    // through it before the paste, and redo brings every step back.
    void undoGoesBackThroughTypingBeforeAPaste() {
        Window w;
        QApplication::clipboard()->setText("1\t2\n3\t4");
        pressInCell(w, "xv_0", QKeySequence::Paste);
        w.type("xv_2", "5");
        w.type("yv_2", "6");
        w.type("xv_0", "9"); // still in the cell: no other control took the focus
        const auto table = [&w] {
            QStringList cells;
            for (int i = 0; i < 3; ++i) {
                cells << w.caption(QStringLiteral("xv_%1").arg(i))
                      << w.caption(QStringLiteral("yv_%1").arg(i));
            }
            return cells.join(' ');
        };
        const QStringList states = {"     ", "1 2 3 4  ", "1 2 3 4 5 ", "1 2 3 4 5 6",
                                    "9 2 3 4 5 6"};
        QCOMPARE(table(), states[4]);
        QCOMPARE(undoText(w), QStringLiteral("Deshacer escribir en la tabla"));
        for (int i = 3; i >= 0; --i) {
            undo(w);
            QCOMPARE(table(), states[i]);
        }
        QVERIFY(!w.form->findChild<QAction*>("actionDeshacer")->isEnabled());
        for (int i = 1; i <= 4; ++i) {
            redo(w);
            QCOMPARE(table(), states[i]);
        }
        QVERIFY(!w.form->findChild<QAction*>("actionRehacer")->isEnabled());
    }

    // The same through the menu, as a user reaches it, with the typing
    // committed by Enter, by the focus moving on, and by the menu itself.
    void theMenuUndoesTypingAfterOpenImportAndRecuperar() {
        Files f;
        QTemporaryDir work; // "Recuperar" reads the working folder
        const QString previous = QDir::currentPath();
        QDir::setCurrent(work.path());
        f.chooser->path = f.write("medidas.txt", " 1 \r\n5\r\n6\r\n");
        f.trigger("actionAbrir");
        f.w.typeAndPress("xv_1", "7", Qt::Key_Return);
        f.chooser->path = f.write("hoja.csv", "t;y\n1;2\n");
        f.trigger("actionImportar");
        f.w.type("yv_1", "8");
        f.w.type("xv_3", "1");
        QFile saved(QStringLiteral("datos.txt"));
        QVERIFY(saved.open(QIODevice::WriteOnly));
        saved.write(" 1 \r\n3\r\n4\r\n");
        saved.close();
        f.w.click("Recuperar");
        f.w.type("xv_0", "0");
        QDir::setCurrent(previous);

        QMenu* edit = nullptr;
        for (QAction* menu : f.w.form->menuBar()->actions()) {
            if (menu->text() == QStringLiteral("&Edición")) {
                edit = menu->menu();
            }
        }
        QVERIFY(edit);
        const auto undoByMenu = [&] {
            edit->popup(QPoint(0, 0)); // the cell loses the focus to the menu
            QVERIFY(QTest::qWaitFor([&] { return edit->isVisible(); }));
            edit->actions().at(0)->trigger();
            edit->close();
        };
        QStringList undone;
        for (int i = 0; i < 7; ++i) {
            undoByMenu();
            undone << (f.column("xv", 4) + f.column("yv", 4)).join(',');
        }
        QCOMPARE(undone, QStringList({"3,,,,4,,,", "1,,,1,2,8,,", "1,,,,2,8,,",
                                      "1,,,,2,,,", "5,7,,,6,,,", "5,,,,6,,,",
                                      ",,,,,,,"}));
        for (int i = 0; i < 7; ++i) {
            redo(f.w);
        }
        QCOMPARE(f.column("xv", 4), QStringList({"0", "", "", ""}));
        QCOMPARE(f.column("yv", 4), QStringList({"4", "", "", ""}));
    }

    // While a cell is being edited, Ctrl+Z is the cell's own text undo.
    void ctrlZInACellUndoesItsOwnTextFirst() {
        Window w;
        QApplication::clipboard()->setText("1\t2\n3\t4");
        pressInCell(w, "xv_0", QKeySequence::Paste);
        w.type("xv_5", "23");
        QTest::keySequence(w.box("xv_5"), QKeySequence("Ctrl+Z"));
        QCOMPARE(w.caption("xv_5"), QString());
        QCOMPARE(w.caption("xv_1"), QStringLiteral("3")); // the paste stands
        QCOMPARE(w.form->undoStack()->count(), 1);
        QTest::keyClicks(w.box("xv_5"), "7");
        QTest::keyClick(w.box("xv_5"), Qt::Key_Tab);
        QCOMPARE(w.form->undoStack()->count(), 2);
        undo(w);
        QCOMPARE(w.caption("xv_5"), QString());
        QCOMPARE(w.caption("xv_1"), QStringLiteral("3"));
    }

    // A CSV opened by mistake is no data file: refused before a cell changes.
    void openingACsvLeavesTheTyping() {
        Files f;
        f.w.enterPoints({{"1", "2"}, {"3", "4"}});
        for (const char* first : {"1;2", "0;0", "-0;-0", "0x2"}) {
            f.chooser->path = f.write("hoja.csv", QByteArray(first) + "\r\n2;3\r\n4;5\r\n");
            f.trigger("actionAbrir");
            QVERIFY2(f.w.messages.last().contains("no es un archivo de datos de este programa"),
                     qPrintable(f.w.messages.last()));
            QCOMPARE(f.column("xv", 3), QStringList({"1", "3", ""}));
            QCOMPARE(f.column("yv", 3), QStringList({"2", "4", ""}));
        }
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
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5),
                                cell->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(cell, &event);
        poll.stop();
        QCOMPARE(w.caption("xv_1"), QStringLiteral("1"));
        QCOMPARE(w.caption("yv_2"), QStringLiteral("4"));
    }

    void eachChangeOfTheParametersUndoesAndRedoes() {
        Window w;
        w.showGraph({{"0", "1,5"}, {"2,5", "4"}, {"5", "4,8"}});
        QUndoStack* stack = w.form->undoStack();
        QCOMPARE(stack->count(), 6); // one a typed cell, and no other

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
        const int typed = stack->count(); // the cells typed
        w.typeAndPress("Tval", "2", Qt::Key_Return);
        QCOMPARE(undoText(w), QStringLiteral("Deshacer edición de t0"));
        auto* bar = w.get<QScrollBar>("LSCR");
        bar->setFocus();
        QTest::keyClick(bar, Qt::Key_Right);
        QTest::keyClick(bar, Qt::Key_Right);
        QTest::keyClick(bar, Qt::Key_Right);
        QCOMPARE(w.state().a, 5.3);
        QCOMPARE(stack->count(), typed + 2); // three moves, one step
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
        QCOMPARE(stack->index(), typed);
    }

    void whatLeavesTheParametersAloneAddsNoStep() {
        Window w;
        w.showGraph({{"0", "1,5"}, {"2,5", "4"}});
        const int typed = w.form->undoStack()->count();
        w.click("Check1");
        w.click("Check2");
        w.click("Check3");
        w.click("paso");
        w.typeAndPress("Lval", "5", Qt::Key_Return);
        w.click("graf");
        QCOMPARE(w.form->undoStack()->count(), typed);
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
