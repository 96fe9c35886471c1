// The window's controls, placed as designed in twips at 15 twips a pixel.
#include "form1.h"
#include "graph_box.h"
#include "pictures.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>

#include <cmath>

namespace gompertz::ui {
namespace {

constexpr double kTwipsPerPixel = 15.0;
const QString kDesignFont = QStringLiteral("MS Sans Serif");

int px(int twips) {
    return static_cast<int>(std::lround(twips / kTwipsPerPixel));
}

template <typename Widget>
Widget* place(Widget* widget, const char* name, int left, int top, int width, int height) {
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(px(left), px(top), px(width), px(height));
    return widget;
}

QFont designFont(double pointSize) {
    QFont font(kDesignFont);
    font.setStyleHint(QFont::SansSerif); // falls back to the platform's sans-serif
    font.setPointSizeF(pointSize);
    return font;
}

QLabel* label(QWidget* parent, const char* name, int left, int top, int width, int height,
              const QString& caption, double pointSize = 0.0,
              Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignTop) {
    auto* widget = place(new QLabel(caption, parent), name, left, top, width, height);
    widget->setAlignment(alignment);
    if (pointSize > 0.0) {
        widget->setFont(designFont(pointSize));
    }
    // The fallback font can be wider than the designed one: a caption keeps
    // its place but is never cut off.
    const int textWidth = widget->sizeHint().width();
    if (!caption.isEmpty() && textWidth > widget->width()) {
        widget->resize(textWidth, widget->height());
    }
    return widget;
}

QLineEdit* textBox(QWidget* parent, const char* name, int left, int top, int width, int height,
                   const QString& text = {}) {
    auto* box = place(new QLineEdit(text, parent), name, left, top, width, height);
    box->setAutoFillBackground(true);
    return box;
}

QPushButton* button(QWidget* parent, const char* name, int left, int top, int width, int height,
                    const QString& caption) {
    return place(new QPushButton(caption, parent), name, left, top, width, height);
}

// A label drawn like a text box: single-line border, window colours.
QLabel* readoutLabel(QWidget* parent, const char* name, int left, int top) {
    auto* widget =
        label(parent, name, left, top, 2295, 375, {}, 0.0, Qt::AlignLeft | Qt::AlignVCenter);
    widget->setFrameStyle(QFrame::Box | QFrame::Plain);
    widget->setAutoFillBackground(true);
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::Base));
    palette.setColor(QPalette::WindowText, palette.color(QPalette::Text));
    widget->setPalette(palette);
    return widget;
}

QScrollBar* scrollBar(QWidget* parent, const char* name, int top, int minimum, int maximum) {
    auto* bar = place(new QScrollBar(Qt::Horizontal, parent), name, 6360, top, 4215, 135);
    bar->setRange(minimum, maximum); // before any handler is connected
    bar->setSingleStep(1);
    bar->setPageStep(1);
    bar->setInvertedControls(false); // Right and Page Up raise the value, as on screen
    bar->setFocusPolicy(Qt::StrongFocus);
    return bar;
}

QCheckBox* fixBox(QWidget* parent, const char* name, int top, int height, const QString& tip) {
    auto* box = place(new QCheckBox(parent), name, 5520, top, 255, height);
    box->setToolTip(tip);
    return box;
}

MathPicture* picture(QWidget* parent, const char* name, int left, int top, int width, int height,
                     QStringList levels, int pointSize) {
    auto* widget = place(new MathPicture(parent, std::move(levels), pointSize), name, left, top,
                         width, height);
    widget->setFocusPolicy(Qt::StrongFocus); // picture boxes are tab stops
    return widget;
}

} // namespace

void Form1::createTable() {
    for (int i = 0; i < data::kRows; ++i) {
        const QByteArray x = "xv_" + QByteArray::number(i);
        const QByteArray y = "yv_" + QByteArray::number(i);
        xv_[i] = textBox(central_, x.constData(), 360, 720 + 480 * i, 1935, 375);
        yv_[i] = textBox(central_, y.constData(), 2640, 720 + 480 * i, 2415, 375);
        for (QLineEdit* cell : {xv_[i], yv_[i]}) {
            cell->installEventFilter(this);
            cell->setContextMenuPolicy(Qt::CustomContextMenu);
            connect(cell, &QWidget::customContextMenuRequested, this,
                    [this, cell](const QPoint& at) { showCellMenu(cell, at); });
        }
    }
    Label11 = label(central_, "Label11", 1200, 120, 495, 495, QStringLiteral("t"), 13.5);
    Label12 = label(central_, "Label12", 3600, 120, 495, 375, QStringLiteral("f(t)"), 13.5);
}

void Form1::createGraphArea() {
    graf = place(new GraphBox(central_), "graf", 600, 240, 4800, 4000);
    graf->setFocusPolicy(Qt::StrongFocus);
    const auto right = Qt::AlignRight | Qt::AlignTop;
    const auto centre = Qt::AlignHCenter | Qt::AlignTop;
    Final = label(central_, "Final", 0, 120, 495, 255, QStringLiteral("10"), 0.0, right);
    inicio = label(central_, "inicio", 120, 3960, 375, 255, QStringLiteral("0"), 0.0, right);
    Minimo = label(central_, "Minimo", 480, 4320, 375, 255, QStringLiteral("-5"), 0.0, centre);
    maximo = label(central_, "maximo", 5160, 4320, 375, 255, QStringLiteral("15"), 0.0, centre);
    Label14 = label(central_, "Label14", 1800, 4320, 255, 255, QStringLiteral("0"));
}

void Form1::createParameterPanel() {
    funcion =
        picture(central_, "funcion", 6120, 120, 1695, 1095,
                {QStringLiteral("a·e"), QStringLiteral("−e"), QStringLiteral("−c(t−t₀)")}, 16);
    Para = label(central_, "Para", 5760, 2040, 1335, 255, QStringLiteral("Coeficientes"), 12.0);
    Picture1 = picture(central_, "Picture1", 5760, 2520, 495, 495, {QStringLiteral("a")}, 16);
    Picture2 = picture(central_, "Picture2", 5760, 3120, 615, 495, {QStringLiteral("c")}, 16);
    Picture3 = picture(central_, "Picture3", 5760, 3720, 615, 495, {QStringLiteral("t₀")}, 16);
    Check1 = fixBox(central_, "Check1", 2640, 375, QStringLiteral("Fijar parámetro a"));
    Check2 = fixBox(central_, "Check2", 3240, 375, QStringLiteral("Fijar parámetro c"));
    Check3 = fixBox(central_, "Check3", 3720, 495, QStringLiteral("Fijar parámetro t0"));
    LSCR = scrollBar(central_, "LSCR", 2520, -100, 100);
    Lval = textBox(central_, "Lval", 6360, 2640, 4185, 345, QStringLiteral("5"));
    CSCR = scrollBar(central_, "CSCR", 3120, -60, 60);
    Cval = textBox(central_, "Cval", 6360, 3240, 4185, 345, QStringLiteral("1"));
    TSCR = scrollBar(central_, "TSCR", 3720, -100, 100);
    Tval = textBox(central_, "Tval", 6360, 3840, 4185, 345, QStringLiteral("0"));
    editors_ = {ParameterEditor{LSCR, Lval, &FitState::a, 10.0, 10.0, false},
                ParameterEditor{CSCR, Cval, &FitState::c, 10.0, 0.0, true},
                ParameterEditor{TSCR, Tval, &FitState::t0, 5.0, 0.0, false}};
    for (const ParameterEditor& editor : editors_) {
        editor.box->installEventFilter(this);
    }
}

void Form1::createStepPanel() {
    Label1 = label(central_, "Label1", 240, 4680, 975, 375, QStringLiteral("Ajuste"), 12.0);
    paso = button(central_, "paso", 0, 5520, 1095, 375, QStringLiteral("Un paso"));
    paso3 = button(central_, "paso3", 0, 5880, 1095, 375, QStringLiteral("100 pasos"));
    paso4 = button(central_, "paso4", 0, 6240, 1095, 375, QStringLiteral("10000 pasos"));
    Label2 =
        label(central_, "Label2", 1320, 4680, 2175, 375, QStringLiteral("Derivadas Parciales"), 12.0);
    Label6 = readoutLabel(central_, "Label6", 1320, 5160);
    Label7 = readoutLabel(central_, "Label7", 1320, 5640);
    Label8 = readoutLabel(central_, "Label8", 1320, 6120);
    Label3 = label(central_, "Label3", 3840, 4680, 1095, 375, QStringLiteral("Paso"), 12.0);
    Text1 = textBox(central_, "Text1", 3840, 5160, 1215, 375, QStringLiteral("0,001"));
    Label4 = label(central_, "Label4", 5520, 4680, 2175, 375, QStringLiteral("Error Cuadrático"), 12.0);
    label9 = textBox(central_, "label9", 5520, 5160, 5055, 375, QStringLiteral("0"));
    Label5 =
        label(central_, "Label5", 5520, 5640, 5055, 255, QStringLiteral("Error normalizado (%)"), 12.0);
    label10 = textBox(central_, "label10", 5520, 6120, 5055, 375, QStringLiteral("0"));
}

void Form1::createFileButtons() {
    Command1 = button(central_, "Command1", 9000, 360, 1455, 375, QStringLiteral("Guardar"));
    Recuperar = button(central_, "Recuperar", 9000, 840, 1455, 375, QStringLiteral("Recuperar"));
    Command5 = button(central_, "Command5", 9120, 1320, 1215, 375, QStringLiteral("Gráfica"));
}

void Form1::setTabOrderAsDesigned() {
    std::vector<QWidget*> order = {graf,  funcion, Picture1, Picture2, Picture3, Lval,
                                   Tval,  Cval,    LSCR,     CSCR,     TSCR,     paso,
                                   paso3, paso4,   Text1,    Command5};
    order.insert(order.end(), xv_.begin(), xv_.end());
    order.insert(order.end(), yv_.begin(), yv_.end());
    order.insert(order.end(), {Check1, Check2, Check3, label9, label10, Command1, Recuperar});
    for (std::size_t i = 1; i < order.size(); ++i) {
        setTabOrder(order[i - 1], order[i]);
    }
}

std::vector<QWidget*> Form1::graphControls() const {
    return {inicio, Final,   Minimo, maximo,   graf,     paso,    paso3,  paso4,  Label1,
            Label2, Label3,  Label4, Label5,   Label6,   Label7,  Label8, label9, label10,
            Text1,  Label14, Check1, Check2,   Check3,   LSCR,    Lval,   CSCR,   Cval,
            TSCR,   Tval,    Para,   Picture1, Picture2, Picture3};
}

void Form1::setGraphViewVisible(bool graphView) {
    for (QWidget* widget : graphControls()) {
        widget->setVisible(graphView);
    }
    for (state_.pointIndex = 0; state_.pointIndex <= data::kRows - 1; ++state_.pointIndex) {
        xv_[state_.pointIndex]->setVisible(!graphView);
        yv_[state_.pointIndex]->setVisible(!graphView);
    }
    Label11->setVisible(!graphView);
    Label12->setVisible(!graphView);
}

} // namespace gompertz::ui
