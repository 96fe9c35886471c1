// Tens of thousands of random user actions on the whole window, with real
// message boxes closed as a user closes them. After every action the window
// must be consistent; a failure prints the seed and the actions that led there.
#include "test_support.h"

#include "model/number_text.h"

#include "ui/analysis_window.h"

#include <QAction>
#include <QComboBox>
#include <QListWidget>
#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QUndoStack>

#include <cmath>
#include <random>

using namespace testing_support;

namespace {

const QStringList kButtons = {"paso", "paso3", "paso4", "Command1", "Recuperar",
                              "Command5", "Check1", "Check2", "Check3", "graf"};
const QStringList kBoxes = {"Lval", "Cval", "Tval", "Text1"};
const QStringList kBars = {"LSCR", "CSCR", "TSCR"};
// Texts that reach the edges: zeros, overflowing exponents, bars' limits.
const QStringList kTokens = {"0", "1", "-4", "200", "2,5", "1E308", "-1e400", "7", "25",
                             "0,001", "1e-320", "", " 3 ", "1.5", "9E99999", "-0"};
const QString kAlphabet = QStringLiteral("0123456789,.-+Ee ax");

using Cells = std::array<std::pair<QString, QString>, 20>;

// Files a user may open or import by mistake or on purpose, and the rows a
// sound one gives (none for a file that must be refused).
struct PickedFile {
    const char* name;
    const char* bytes;
    bool open; // "Abrir…", else "Importar…"
    std::vector<std::pair<QString, QString>> rows;
    bool sound;
};
const PickedFile kFiles[] = {
    {"medidas.txt", " 3 \r\n0\r\n1,5\r\n2,5\r\n4\r\n5\r\n4,8\r\n", true,
     {{"0", "1,5"}, {"2,5", "4"}, {"5", "4,8"}}, true},
    {"vacio.txt", " 0 \r\n", true, {}, true},
    {"hoja.csv", "1;2\r\n2;3\r\n", true, {}, false},
    {"columnas.csv", "t;y\n1;2\n3;4,5\n", false, {{"1", "2"}, {"3", "4,5"}}, true},
    {"ingles.csv", "t,y\n1,2.5\n2,3.5\n", false, {{"1", "2,5"}, {"2", "3,5"}}, true},
    {"mezcla.csv", "1;2.5\n2;3,5\n", false, {}, false},
};

// Data sets added to the analysis: replicates, means, a long form, and one
// to refuse.
const PickedFile kSets[] = {
    {"replicas.csv", "t;a;b\n0;0,1;0,12\n1;0,5;0,55\n2;1,4;1,3\n3;1,9;2\n4;2;2,1\n", false, {}, true},
    {"medias.csv", "t;media;DE;n\n0;0,1;0,01;3\n1;0,5;0,05;3\n2;1,4;0,1;3\n3;1,9;0,1;3\n4;2;0,1;3\n",
     false, {}, true},
    {"largo.csv", "t,y\n0,0.1\n0,0.2\n1,0.6\n2,1.2\n3,1.8\n4,2.1\n5,2.1\n", false, {}, true},
    {"roto.csv", "t;y\n1;2\n2;x\n", false, {}, false},
};

// Long and flat sets, made here: a growth curve of 2 000 readings, 2 000
// equal values, and a flat line inside its noise; long enough to be worked
// on off the window's thread.
QByteArray longSet(int kind) {
    QByteArray out = "t;y\n";
    std::mt19937 noise(7);
    std::normal_distribution<double> e(0.0, 0.01);
    for (int i = 0; i < 2000; ++i) {
        const double t = i * 0.0125;
        const double y = kind == 0   ? 2 * std::exp(-std::exp(-0.8 * (t - 10))) + e(noise)
                         : kind == 1 ? 1.0
                                     : 0.088 + e(noise);
        out += QByteArray::number(t, 'g', 17) + ';' + QByteArray::number(y, 'g', 17) + '\n';
    }
    return out;
}
const char* const kLongSets[] = {"crece2000.csv", "igual2000.csv", "plano2000.csv"};

// No click may keep the window for longer than this, sanitizers and all.
constexpr qint64 kLongestAction = 2000;

struct Editor {
    const char* box;
    const char* bar;
    double gompertz::FitState::*parameter;
    double scale;
    double offset;
};
const Editor kEditors[] = {{"Lval", "LSCR", &gompertz::FitState::a, 10, 100},
                           {"Cval", "CSCR", &gompertz::FitState::c, 10, 0},
                           {"Tval", "TSCR", &gompertz::FitState::t0, 5, 0}};

class Monkey {
  public:
    explicit Monkey(unsigned seed) : seed_(seed), rng_(seed) {
        form_.setFileChooser(std::unique_ptr<FixedChooser>(chooser_));
        form_.show();
        QObject::connect(&closer_, &QTimer::timeout, [this] { closeBox(); });
        closer_.start(0);
        for (int i = 0; i < 20; ++i) {
            cells_[i] = {QString(), QString()};
        }
    }

    // Runs the actions; returns what went wrong, with the history, or nothing.
    QString run(int actions) {
        for (int n = 0; n < actions; ++n) {
            activate();
            shown_.clear();
            const Cells before = cells_;
            const int step = stack()->index();
            QElapsedTimer clock;
            clock.start();
            waited_ = 0;
            act();
            const qint64 took = clock.elapsed() - waited_;
            QString problem = check();
            if (problem.isEmpty() && took > kLongestAction) {
                problem = QStringLiteral("the action took %1 ms").arg(took);
            }
            if (problem.isEmpty() && !undoing_) {
                problem = recordStep(before, step);
            }
            if (!problem.isEmpty()) {
                return QStringLiteral("seed %1, action %2: %3\nactions:\n%4")
                    .arg(seed_)
                    .arg(n)
                    .arg(problem, history_.mid(std::max<qsizetype>(0, history_.size() - 40))
                                      .join('\n'));
            }
        }
        return {};
    }

  private:
    template <typename T = QWidget> T* get(const QString& name) {
        return form_.findChild<T*>(name);
    }
    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }
    bool chance(double p) { return std::bernoulli_distribution(p)(rng_); }

    void activate() {
        if (!form_.isActiveWindow()) {
            form_.activateWindow();
            QElapsedTimer waiting; // the test's own wait, not the program's
            waiting.start();
            const bool active = QTest::qWaitForWindowActive(&form_);
            waited_ += waiting.elapsed();
            if (!active) {
                qWarning("the window did not become active");
            }
        }
    }

    void closeBox() {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shown_ << box->text();
            QTest::keyClick(box, chance(0.5) ? Qt::Key_Return : Qt::Key_Space);
        }
    }

    QString randomText() {
        if (chance(0.5)) {
            return kTokens[pick(kTokens.size())];
        }
        QString text;
        for (int i = pick(7); i > 0; --i) {
            text += kAlphabet[pick(kAlphabet.size())];
        }
        return text;
    }

    QUndoStack* stack() { return form_.undoStack(); }

    // Every change of the table is a step of its own, and the table at each
    // step is what undo and redo must bring back.
    QString recordStep(const Cells& before, int step) {
        const int now = stack()->index();
        if (!sameCells(before, cells_) && now <= step) {
            return QStringLiteral("a change of the table is no step of \"Edición\"");
        }
        tableAt_.resize(stack()->count() + 1);
        for (int i = std::min(step + 1, now); i <= now; ++i) {
            tableAt_[i] = cells_;
        }
        return {};
    }

    void undoOrRedo() {
        const bool back = chance(0.6);
        const char* name = back ? "actionDeshacer" : "actionRehacer";
        history_ << QString::fromLatin1(name);
        form_.findChild<QAction*>(name)->trigger();
        cells_ = tableAt_.at(stack()->index()); // the table as that step left it
        undoing_ = true;
    }

    void act() {
        const bool graph = get("graf")->isVisible();
        undoing_ = false;
        if (chance(0.08)) {
            return undoOrRedo();
        }
        if (chance(0.04)) {
            return pickFile();
        }
        if (chance(0.05)) {
            return useSets();
        }
        switch (pick(graph ? 5 : 4)) {
        case 0:
        case 1:
            return graph ? typeInto(kBoxes[pick(kBoxes.size())]) : typeIntoCell();
        case 2:
            return clickButton(graph);
        case 3:
            return graph ? moveBarByKey() : pasteRows();
        default:
            return moveBarByMouse();
        }
    }

    void typeIntoCell() {
        const int row = chance(0.8) ? pick(4) : pick(20);
        const bool x = chance(0.5);
        const QString name = QStringLiteral("%1_%2").arg(x ? "xv" : "yv").arg(row);
        const QString text = randomText();
        typeInto(name, text);
        (x ? cells_[row].first : cells_[row].second) = text;
    }

    void typeInto(const QString& name) { typeInto(name, randomText()); }

    void typeInto(const QString& name, const QString& text) {
        const bool enter = chance(0.5);
        history_ << QStringLiteral("type \"%1\" in %2, %3").arg(text, name, enter ? "Enter" : "Tab");
        auto* box = get<QLineEdit>(name);
        QTest::mouseClick(box, Qt::LeftButton);
        activate();
        box->selectAll();
        if (text.isEmpty()) {
            QTest::keyClick(box, Qt::Key_Delete);
        } else {
            QTest::keyClicks(box, text);
        }
        activate();
        QTest::keyClick(box, enter ? Qt::Key_Return : Qt::Key_Tab);
    }

    void clickButton(bool graph) {
        QStringList visible;
        for (const QString& name : kButtons) {
            if (get(name)->isVisible()) {
                visible << name;
            }
        }
        const QString name = visible[pick(visible.size())];
        // The big batch costs a thousand times a click: rarer, like a user's.
        if (name == "paso4" && !chance(0.2)) {
            return clickButton(graph);
        }
        history_ << "click " + name;
        QTest::mouseClick(get(name), Qt::LeftButton);
        if (name == "Recuperar") {
            expectLoaded();
        }
    }

    // Rows of whole numbers, as a spreadsheet copies them, into a cell.
    void pasteRows() {
        const int row = pick(20);
        const bool x = chance(0.5);
        const bool twoColumns = chance(0.6);
        const int lines = 1 + pick(4);
        QStringList text;
        std::vector<QString> values;
        for (int i = 0; i < lines * (twoColumns ? 2 : 1); ++i) {
            values.push_back(QString::number(pick(2000) - 1000));
        }
        for (int i = 0; i < lines; ++i) {
            text << (twoColumns ? values[2 * i] + '\t' + values[2 * i + 1] : values[i]);
        }
        const QString name = QStringLiteral("%1_%2").arg(x ? "xv" : "yv").arg(row);
        // A single value without a tab is the cell's own paste: not this.
        const QString copied = text.join('\n') + (twoColumns || lines > 1 ? "" : "\n0");
        history_ << QStringLiteral("paste \"%1\" in %2").arg(copied, name);
        QApplication::clipboard()->setText(copied);
        auto* cell = get<QLineEdit>(name);
        QTest::mouseClick(cell, Qt::LeftButton);
        activate();
        QTest::keySequence(cell, QKeySequence::Paste);
        const int filled = twoColumns || lines > 1 ? lines : 2;
        if (row + filled > 20) {
            return; // refused, with a message: nothing changes
        }
        for (int i = 0; i < filled; ++i) {
            auto& [t, y] = cells_[row + i];
            if (twoColumns) {
                t = values[2 * i];
                y = values[2 * i + 1];
            } else {
                (x ? t : y) = i < lines ? values[i] : QStringLiteral("0");
            }
        }
    }

    // "Abrir…" or "Importar…" of a file; rows not saved are saved first (the
    // question's default). A sound file fills the table; any other leaves it.
    void pickFile() {
        const PickedFile& file = kFiles[pick(std::size(kFiles))];
        history_ << QStringLiteral("%1 %2").arg(file.open ? "open" : "import", file.name);
        // A copy of its own: rows saved before the open go to the file opened
        // last, which must not be this one.
        chooser_->path = files_.filePath(QStringLiteral("%1-%2").arg(++picked_).arg(file.name));
        QFile out(chooser_->path);
        if (!out.open(QIODevice::WriteOnly) || out.write(file.bytes) < 0) {
            qWarning("cannot write %s", qPrintable(chooser_->path));
        }
        out.close();
        form_.findChild<QAction*>(file.open ? "actionAbrir" : "actionImportar")->trigger();
        if (file.sound) {
            for (int i = 0; i < 20; ++i) {
                cells_[i] = i < int(file.rows.size()) ? file.rows[i] : std::pair<QString, QString>{};
            }
        }
    }

    void moveBarByKey() {
        const QString name = kBars[pick(kBars.size())];
        const Qt::Key keys[] = {Qt::Key_Left, Qt::Key_Right, Qt::Key_PageUp, Qt::Key_PageDown,
                                Qt::Key_Home, Qt::Key_End};
        const Qt::Key key = keys[pick(6)];
        history_ << QStringLiteral("key %1 on %2").arg(key, 0, 16).arg(name);
        auto* bar = get<QScrollBar>(name);
        bar->setFocus(Qt::TabFocusReason);
        QTest::keyClick(bar, key);
    }

    void moveBarByMouse() {
        const QString name = kBars[pick(kBars.size())];
        auto* bar = get<QScrollBar>(name);
        const QPoint at(pick(bar->width()), bar->height() / 2);
        history_ << QStringLiteral("click %1 at x %2").arg(name).arg(at.x());
        QTest::mouseClick(bar, Qt::LeftButton, {}, at);
    }

    // The analysis window's data sets: added, chosen, weighted, fitted,
    // compared, shown or hidden and removed, never touching the table.
    void useSets() {
        if (analysis_ == nullptr) {
            form_.findChild<QAction*>("actionAnalisis")->trigger();
            analysis_ = form_.analysisWindow();
            analysis_->setFileChooser(std::unique_ptr<FixedChooser>(setChooser_));
        }
        auto* list = analysis_->findChild<QListWidget*>("conjuntos");
        const auto click = [&](const char* name) {
            history_ << QStringLiteral("analysis: %1").arg(QLatin1String(name));
            QTest::mouseClick(analysis_->findChild<QPushButton*>(name), Qt::LeftButton);
        };
        // While a long set's work runs, what would change it is disabled.
        const bool busy = analysis_->busy();
        switch (pick(10)) {
        case 0: {
            const PickedFile& file = kSets[pick(std::size(kSets))];
            setChooser_->path = files_.filePath(QString::fromLatin1(file.name));
            QFile out(setChooser_->path);
            out.open(QIODevice::WriteOnly);
            out.write(file.bytes);
            out.close();
            history_ << QStringLiteral("analysis: add %1").arg(QLatin1String(file.name));
            QTest::mouseClick(analysis_->findChild<QPushButton*>("anadirDatos"), Qt::LeftButton);
            sets_ += file.sound && sets_ < 8 && !busy ? 1 : 0;
            return;
        }
        case 7: {
            const int kind = pick(3);
            setChooser_->path = files_.filePath(QString::fromLatin1(kLongSets[kind]));
            QFile out(setChooser_->path);
            out.open(QIODevice::WriteOnly);
            out.write(longSet(kind));
            out.close();
            history_ << QStringLiteral("analysis: add %1").arg(QLatin1String(kLongSets[kind]));
            QTest::mouseClick(analysis_->findChild<QPushButton*>("anadirDatos"), Qt::LeftButton);
            sets_ += sets_ < 8 && !busy ? 1 : 0;
            return;
        }
        case 8: {
            const int model = pick(4);
            history_ << QStringLiteral("analysis: model %1").arg(model);
            analysis_->findChild<QComboBox*>("modelo")->setCurrentIndex(model);
            return;
        }
        case 9:
            return click("compararModelos");
        case 1: {
            const int row = pick(list->count());
            const bool add = chance(0.4);
            history_ << QStringLiteral("analysis: choose set %1%2").arg(row).arg(add ? " with Ctrl" : "");
            QTest::mouseClick(list->viewport(), Qt::LeftButton,
                              add ? Qt::ControlModifier : Qt::NoModifier,
                              list->visualItemRect(list->item(row)).center());
            return;
        }
        case 2: {
            const int weighting = pick(3);
            history_ << QStringLiteral("analysis: weighting %1").arg(weighting);
            analysis_->findChild<QComboBox*>("ponderacion")->setCurrentIndex(weighting);
            return;
        }
        case 3:
            return click("ajusteOptimo");
        case 4:
            return click("compararConjuntos");
        case 5:
            sets_ -= list->currentRow() > 0 && !busy ? 1 : 0;
            return click("quitarConjunto");
        default: {
            QListWidgetItem* item = list->item(pick(list->count()));
            history_ << QStringLiteral("analysis: toggle %1").arg(item->text());
            item->setCheckState(item->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
            return;
        }
        }
    }

    QString checkSets() {
        if (analysis_ == nullptr) {
            return {};
        }
        auto* list = analysis_->findChild<QListWidget*>("conjuntos");
        if (list->count() != sets_) {
            return QStringLiteral("the analysis lists %1 sets where %2 were added and not removed")
                .arg(list->count())
                .arg(sets_);
        }
        if (list->item(0)->text() != QStringLiteral("Tabla principal") ||
            (list->item(0)->flags() & Qt::ItemIsEditable)) {
            return QStringLiteral("the table's set is not the first, or may be renamed");
        }
        return {};
    }

    // "Recuperar" either loads what the last save wrote, or says why not and
    // leaves the table alone.
    void expectLoaded() {
        // A box committed just before the click may have reported an error
        // of its own; a refused load names the file.
        if (!shown_.filter(QStringLiteral("datos.txt")).isEmpty()) {
            return;
        }
        QFile file(QStringLiteral("datos.txt"));
        if (!file.open(QIODevice::ReadOnly)) {
            return;
        }
        const QStringList lines = QString::fromUtf8(file.readAll()).split("\r\n");
        const int count = lines[0].trimmed().toInt();
        for (int i = 0; i < 20; ++i) {
            cells_[i] = i < count ? std::pair{lines[1 + 2 * i], lines[2 + 2 * i]}
                                  : std::pair{QString(), QString()};
        }
    }

    // A cell may change behind the user's back only as the capture rewrites
    // a number into its own form.
    static bool sameText(const QString& expected, const QString& actual) {
        if (actual == expected) {
            return true;
        }
        const auto canonical = [](const QString& text) {
            try {
                return QString::fromStdString(
                    gompertz::formatNumber(gompertz::parseNumber(text.toStdString())));
            } catch (const gompertz::RuntimeError&) {
                return QStringLiteral("\n") + text; // no number: only itself
            }
        };
        return canonical(expected) == canonical(actual);
    }

    static bool sameCells(const Cells& a, const Cells& b) {
        for (int i = 0; i < 20; ++i) {
            if (!sameText(a[i].first, b[i].first) || !sameText(a[i].second, b[i].second)) {
                return false;
            }
        }
        return true;
    }

    QString checkCell(const QString& name, QString& expected) {
        const QString actual = get<QLineEdit>(name)->text();
        if (sameText(expected, actual)) {
            expected = actual;
            return {};
        }
        return QStringLiteral("%1 shows \"%2\" where the last step left \"%3\"")
            .arg(name, actual, expected);
    }

    QString check() {
        if (const QString problem = checkSets(); !problem.isEmpty()) {
            return problem;
        }
        const gompertz::FitState& s = form_.fitState();
        if (s.busy != 0) {
            return QStringLiteral("busy is %1").arg(s.busy);
        }
        const bool graph = get("graf")->isVisible();
        if (graph == get("xv_0")->isVisible() || graph != get("paso")->isVisible()) {
            return QStringLiteral("not exactly one view is shown");
        }
        if (get<QPushButton>("Command5")->text() != (graph ? "Tabla" : "Gráfica")) {
            return QStringLiteral("Command5 names the view that is shown");
        }
        for (const Editor& e : kEditors) {
            const double value = s.*e.parameter;
            const QString text = QString::fromStdString(gompertz::formatNumber(value));
            const int position = int(std::nearbyint(value * e.scale - e.offset));
            if (get<QLineEdit>(e.box)->text() != text || get<QScrollBar>(e.bar)->value() != position) {
                return QStringLiteral("%1 \"%2\" / %3 at %4 disagree with %5")
                    .arg(e.box, get<QLineEdit>(e.box)->text(), e.bar)
                    .arg(get<QScrollBar>(e.bar)->value())
                    .arg(value, 0, 'g', 17);
            }
        }
        for (int i = 0; i < 20; ++i) {
            for (const QString& problem : {checkCell(QStringLiteral("xv_%1").arg(i), cells_[i].first),
                                           checkCell(QStringLiteral("yv_%1").arg(i), cells_[i].second)}) {
                if (!problem.isEmpty()) {
                    return problem;
                }
            }
        }
        return {};
    }

    unsigned seed_;
    std::mt19937 rng_;
    gompertz::ui::Form1 form_;
    QTimer closer_;
    QStringList shown_;
    QStringList history_;
    Cells cells_;
    std::vector<Cells> tableAt_ = std::vector<Cells>(1); // by the history's index
    bool undoing_ = false;
    qint64 waited_ = 0; // ms the action spent waiting for the window to be active
    int picked_ = 0;
    QTemporaryDir files_;
    FixedChooser* chooser_ = new FixedChooser;
    gompertz::ui::AnalysisWindow* analysis_ = nullptr;
    FixedChooser* setChooser_ = new FixedChooser;
    int sets_ = 1; // the table's, then the files added
};

} // namespace

class RandomUseTest : public QObject {
    Q_OBJECT
  private slots:
    void randomActionsKeepTheWindowConsistent_data() {
        QTest::addColumn<unsigned>("seed");
        for (unsigned seed : {1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u, 9u, 10u}) {
            QTest::newRow(qPrintable(QString::number(seed))) << seed;
        }
    }

    void randomActionsKeepTheWindowConsistent() {
        QFETCH(unsigned, seed);
        QTemporaryDir folder; // "Guardar" and "Recuperar" work in the working folder
        const QString previous = QDir::currentPath();
        QDir::setCurrent(folder.path());
        Monkey monkey(seed);
        const QString problem = monkey.run(2000);
        QDir::setCurrent(previous);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }
};

WIDGET_TEST_MAIN(RandomUseTest)
#include "random_use_test.moc"
