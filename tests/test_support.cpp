#include "test_support.h"

#include <QApplication>
#include <QTest>

#include <cmath>

namespace testing_support {

Window::Window() : form(std::make_unique<gompertz::ui::Form1>()) {
    form->setMessageSink(std::make_unique<RecordingSink>(&messages, &questions, &answer));
    form->show();
    activate();
}

void Window::activate() {
    form->activateWindow();
    if (!QTest::qWaitForWindowActive(form.get())) {
        qWarning("the window did not become active");
    }
}

QString Window::caption(const QString& name) const {
    QWidget* widget = get(name);
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        return label->text();
    }
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        return edit->text();
    }
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        return button->text();
    }
    return {};
}

void Window::click(const QString& name) {
    QTest::mouseClick(get(name), Qt::LeftButton);
}

void Window::type(const QString& name, const QString& text) {
    QLineEdit* edit = box(name);
    QTest::mouseClick(edit, Qt::LeftButton);
    edit->selectAll();
    if (text.isEmpty()) {
        QTest::keyClick(edit, Qt::Key_Delete);
    } else {
        QTest::keyClicks(edit, text);
    }
}

void Window::typeAndPress(const QString& name, const QString& text, Qt::Key key) {
    type(name, text);
    QTest::keyClick(box(name), key);
}

void Window::enterPoints(const std::vector<std::pair<QString, QString>>& rows) {
    for (std::size_t i = 0; i < rows.size(); ++i) {
        type(QStringLiteral("xv_%1").arg(i), rows[i].first);
        type(QStringLiteral("yv_%1").arg(i), rows[i].second);
    }
}

void Window::showGraph(const std::vector<std::pair<QString, QString>>& rows) {
    enterPoints(rows);
    click(QStringLiteral("Command5"));
}

QColor baseColour(const QWidget* box) {
    return box->palette().color(QPalette::Base);
}

QColor pixel(QWidget* widget, int x, int y) {
    return widget->grab().toImage().pixelColor(x, y);
}

bool looksLike(const QColor& actual, const QColor& expected) {
    return std::abs(actual.red() - expected.red()) <= 2 &&
           std::abs(actual.green() - expected.green()) <= 2 &&
           std::abs(actual.blue() - expected.blue()) <= 2;
}

Sums sumsFor(const Points& points, const Params& p) {
    Sums out;
    for (const auto& [t, y] : points) {
        const double inner = std::exp(-p.c * (t - p.t0));
        const double g = std::exp(-inner);
        const double r = p.a * g - y;
        out.gradA += 2 * r * g;
        out.gradC += 2 * r * p.a * g * inner * (t - p.t0);
        out.gradT0 += 2 * r * p.a * g * inner * -p.c;
        out.sq += r * r;
    }
    return out;
}

double shown(const Window& w, const QString& name) {
    return w.caption(name).replace(',', '.').toDouble();
}

bool near(double expected, double actual, double tolerance) {
    return std::fabs(expected - actual) <= tolerance * std::max(1.0, std::fabs(expected));
}

} // namespace testing_support
