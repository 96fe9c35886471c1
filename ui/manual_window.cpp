#include "manual_window.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

// The manual's pages live in the library's resources, which a static
// library must register by name, outside any namespace.
static void registerManual() {
    Q_INIT_RESOURCE(manual);
}

namespace gompertz::ui {

ManualWindow::ManualWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    registerManual();
    setObjectName(QStringLiteral("Manual"));
    setWindowTitle(QStringLiteral("Manual de Gompertz"));
    auto* layout = new QVBoxLayout(this);
    auto* buttons = new QHBoxLayout;
    paginas_ = new QTextBrowser(this);
    paginas_->setObjectName(QStringLiteral("paginas"));
    paginas_->setOpenExternalLinks(true);
    paginas_->setSearchPaths({QStringLiteral(":/manual")});
    const auto button = [&](const char* name, const QString& text, const QString& tip,
                            auto handler) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setToolTip(tip);
        connect(b, &QPushButton::clicked, paginas_, handler);
        buttons->addWidget(b);
        return b;
    };
    button("indice", QStringLiteral("Í&ndice"), QStringLiteral("Vuelve al índice del manual"),
           &QTextBrowser::home);
    auto* back = button("atras", QStringLiteral("&Atrás"), QStringLiteral("La página anterior"),
                        &QTextBrowser::backward);
    auto* forward = button("adelante", QStringLiteral("A&delante"),
                           QStringLiteral("La página siguiente"), &QTextBrowser::forward);
    back->setEnabled(false);
    forward->setEnabled(false);
    connect(paginas_, &QTextBrowser::backwardAvailable, back, &QPushButton::setEnabled);
    connect(paginas_, &QTextBrowser::forwardAvailable, forward, &QPushButton::setEnabled);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    layout->addWidget(paginas_, 1);
    paginas_->setSource(QUrl(QStringLiteral("qrc:/manual/index.html")));
    resize(720, 620);
}

void ManualWindow::showPage(const QString& page) {
    paginas_->setSource(QUrl(QStringLiteral("qrc:/manual/") + page));
}

} // namespace gompertz::ui
