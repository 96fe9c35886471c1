#include "test_support.h"

#include <QApplication>
#include <QTest>

namespace testing_support {

Window::Window() : form(std::make_unique<gompertz::ui::Form1>()) {
    form->setMessageSink(std::make_unique<RecordingSink>(&messages));
    form->show();
    activate();
}

void Window::activate() {
    form->activateWindow();
    QTest::qWaitForWindowActive(form.get());
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

} // namespace testing_support
