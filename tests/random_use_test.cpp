// Tens of thousands of random user actions on the whole window, with real
// message boxes closed as a user closes them. After every action the window
// must be consistent; a failure prints the seed and the actions that led there.
#include "test_support.h"

#include "model/number_text.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>

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
            act();
            if (const QString problem = check(); !problem.isEmpty()) {
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
            if (!QTest::qWaitForWindowActive(&form_)) {
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

    void act() {
        const bool graph = get("graf")->isVisible();
        if (chance(0.05)) {
            const char* name = chance(0.6) ? "actionDeshacer" : "actionRehacer";
            history_ << QString::fromLatin1(name);
            form_.findChild<QAction*>(name)->trigger();
            return;
        }
        switch (pick(graph ? 5 : 3)) {
        case 0:
        case 1:
            return graph ? typeInto(kBoxes[pick(kBoxes.size())]) : typeIntoCell();
        case 2:
            return clickButton(graph);
        case 3:
            return moveBarByKey();
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
    QString checkCell(const QString& name, QString& expected) {
        const QString actual = get<QLineEdit>(name)->text();
        if (actual == expected) {
            return {};
        }
        try {
            const auto number = gompertz::parseNumber(expected.toStdString());
            if (QString::fromStdString(gompertz::formatNumber(number)) == actual) {
                expected = actual;
                return {};
            }
        } catch (const gompertz::RuntimeError&) {
        }
        return QStringLiteral("%1 shows \"%2\" where \"%3\" was typed").arg(name, actual, expected);
    }

    QString check() {
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
    std::array<std::pair<QString, QString>, 20> cells_;
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
