#pragma once

#include "ui/file_chooser.h"
#include "ui/form1.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStringList>
#include <QTest>

#include <memory>
#include <utility>
#include <vector>

namespace testing_support {

// Keeps every message the window shows, instead of opening a box; a
// question whether to save is kept in questions, when given, and answered
// with *answer (Discard when none is given).
class RecordingSink : public gompertz::ui::MessageSink {
  public:
    explicit RecordingSink(QStringList* messages, QStringList* questions = nullptr,
                           const gompertz::ui::SaveAnswer* answer = nullptr)
        : messages_(messages), questions_(questions), answer_(answer) {}
    void show(const QString& text) override { messages_->append(text); }
    gompertz::ui::SaveAnswer askToSave(const QString& text) override {
        if (questions_ != nullptr) {
            questions_->append(text);
        }
        return answer_ != nullptr ? *answer_ : gompertz::ui::SaveAnswer::Discard;
    }
    // Kept with the questions whether to save; Cancel answers no.
    bool confirm(const QString& text) override {
        if (questions_ != nullptr) {
            questions_->append(text);
        }
        return answer_ == nullptr || *answer_ != gompertz::ui::SaveAnswer::Cancel;
    }

  private:
    QStringList* messages_;
    QStringList* questions_;
    const gompertz::ui::SaveAnswer* answer_;
};

// Gives the path set in it, as a user who picks that file would.
class FixedChooser : public gompertz::ui::FileChooser {
  public:
    QString path;
    QString filter; // the filter the user picked, if any
    QString saveFileName(QWidget*, const QString&, const QStringList&, QString* chosen) override {
        *chosen = filter;
        return path;
    }
    QString openFileName(QWidget*, const QString&, const QStringList&) override { return path; }
};

// A shown, active window whose messages are recorded.
struct Window {
    std::unique_ptr<gompertz::ui::Form1> form;
    QStringList messages;
    // Questions whether to save rows first, and the answer they get.
    QStringList questions;
    gompertz::ui::SaveAnswer answer = gompertz::ui::SaveAnswer::Discard;

    Window();
    const gompertz::FitState& state() const { return form->fitState(); }

    template <typename T = QWidget> T* get(const QString& name) const {
        auto* widget = form->findChild<T*>(name);
        Q_ASSERT_X(widget, "Window::get", qPrintable(name));
        return widget;
    }
    QLineEdit* box(const QString& name) const { return get<QLineEdit>(name); }
    QString caption(const QString& name) const;

    void activate();
    void click(const QString& name);
    // Replaces a text box's text by typing, as a user does after selecting it.
    void type(const QString& name, const QString& text);
    void typeAndPress(const QString& name, const QString& text, Qt::Key key);
    void enterPoints(const std::vector<std::pair<QString, QString>>& rows);
    void showGraph(const std::vector<std::pair<QString, QString>>& rows);
};

QColor baseColour(const QWidget* box);
QColor pixel(QWidget* widget, int x, int y);
// Within 2 of each component: the style may shade a box's colour by 1.
bool looksLike(const QColor& actual, const QColor& expected);

inline const QColor kWhite(255, 255, 255);
inline const QColor kGrey(192, 192, 192);
inline const QColor kGreen(0, 255, 0);
inline const QColor kRed(128, 0, 0);
inline const QColor kBlue(0, 0, 128);
inline const QColor kMagenta(128, 0, 128);

using Points = std::vector<std::pair<double, double>>;

struct Params {
    double a = 5.0, c = 1.0, t0 = 0.0;
};

// One evaluation of a * exp(-exp(-c (t - t0))) over the points, worked out
// from the textbook derivatives, independently of the engine.
struct Sums {
    double gradA = 0, gradC = 0, gradT0 = 0, sq = 0;
};
Sums sumsFor(const Points& points, const Params& p = {});

// A read-out or box text read back as a number.
double shown(const Window& w, const QString& name);
bool near(double expected, double actual, double tolerance = 1e-12);

} // namespace testing_support

// The widget tests run on the offscreen platform whatever the environment
// says, on the screens an offscreen configuration file in it gives or else
// on the tests' own large one, with the application's title that message
// boxes carry.
#define WIDGET_TEST_MAIN(TestClass)                                                                \
    int main(int argc, char** argv) {                                                              \
        if (!qEnvironmentVariable("QT_QPA_PLATFORM").startsWith(QLatin1String("offscreen:"))) {   \
            qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" GOMPERTZ_TEST_SCREENS);             \
        }                                                                                          \
        QApplication app(argc, argv);                                                              \
        QApplication::setApplicationName(QStringLiteral("Gompertz"));                              \
        TestClass test;                                                                            \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
