#include "ui/form1.h"
#include "ui/translations.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Gompertz"));
    QApplication::setApplicationVersion(QStringLiteral(GOMPERTZ_VERSION));
    // Ties the windows to the installed menu entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.gompertz.Gompertz"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/gompertz.png")));
    gompertz::ui::installSpanishQtTexts();
    gompertz::ui::Form1 window;
    window.show();
    return QApplication::exec();
}
