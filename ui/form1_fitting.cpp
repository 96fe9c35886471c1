// Descent steps, drawing, the parameter editors and the overflow recovery.
#include "form1.h"

#include "graph_box.h"
#include "parameter_step.h"
#include "model/checked.h"
#include "model/descent.h"
#include "model/errors.h"
#include "model/number_text.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>

namespace gompertz::ui {
namespace {

const char* const kParameterNames[] = {"a", "c", "t0"};

QString numberText(double value) {
    return QString::fromStdString(formatNumber(value));
}

std::int16_t checkValue(const QCheckBox* box) {
    switch (box->checkState()) {
    case Qt::Unchecked:
        return 0;
    case Qt::Checked:
        return 1;
    default:
        return 2; // greyed
    }
}

void setBoxColour(QLineEdit* box, plot::Rgb colour) {
    QPalette palette = box->palette();
    palette.setColor(QPalette::Base, toQColor(colour));
    box->setPalette(palette);
}

// Qt clamps a position silently; a position outside the bar's range is an
// error here, as it is for a typed value the bar cannot show.
void setPosition(QScrollBar* bar, std::int16_t position) {
    if (position < bar->minimum() || position > bar->maximum()) {
        throw RuntimeError("Invalid property value");
    }
    bar->setValue(position);
}

double parameterAt(const ParameterEditor& editor, int position) {
    return checked(checked(position / editor.divisor) + editor.offset);
}

std::int16_t positionOf(const ParameterEditor& editor, double value) {
    return nearest(checked(checked(value * editor.divisor) - editor.offset * editor.divisor));
}

} // namespace

void Form1::trapped(const std::function<void()>& action) {
    try {
        action();
    } catch (const RuntimeError&) {
        desbord();
    }
}

FixFlags Form1::fixFlags() const {
    return FixFlags{checkValue(Check1), checkValue(Check2), checkValue(Check3)};
}

double Form1::readStepSize() {
    const double step = parseNumber(Text1->text().toStdString());
    Text1->setText(numberText(step));
    return step;
}

void Form1::showReadouts() {
    label10->setText(numberText(normalisedError(state_)));
    Label6->setText(numberText(state_.gradA));
    Label7->setText(numberText(state_.gradC));
    Label8->setText(numberText(state_.gradT0));
    label9->setText(numberText(state_.sqError));
}

void Form1::colourErrorBox() {
    setBoxColour(label10, errorGrew(state_) ? plot::kMagenta : plot::kWhite);
}

void Form1::clearReadouts() {
    Label6->clear();
    Label7->clear();
    Label8->clear();
    label9->clear();
    label10->clear();
}

void Form1::writeEditorPosition(const ParameterEditor& editor) {
    setPosition(editor.bar, positionOf(editor, state_.*editor.parameter));
}

std::optional<QString> Form1::outsideScrollRanges(const fit::Parameters& p) const {
    for (std::size_t j = 0; j < editors_.size(); ++j) {
        const ParameterEditor& editor = editors_[j];
        const QScrollBar* bar = editor.bar;
        bool inside = false;
        try {
            const std::int16_t position = positionOf(editor, p[j]);
            inside = position >= bar->minimum() && position <= bar->maximum();
        } catch (const RuntimeError&) {
            // beyond any scroll position
        }
        if (!inside) {
            return QStringLiteral("%1 = %2 queda fuera del rango de su barra (%3 a %4)")
                .arg(QLatin1String(kParameterNames[j]),
                     QString::fromStdString(formatNumber(p[j], 6)),
                     numberText(parameterAt(editor, bar->minimum())),
                     numberText(parameterAt(editor, bar->maximum())));
        }
    }
    return std::nullopt;
}

void Form1::writeEditors() {
    for (const ParameterEditor& editor : editors_) {
        editor.box->setText(numberText(state_.*editor.parameter));
        writeEditorPosition(editor);
    }
}

void Form1::paso_Click() {
    ParameterStep step(*this, QStringLiteral("Un paso"));
    trapped([this] {
        if (state_.busy == kTrue) {
            return;
        }
        state_.busy = kTrue;
        beginEvaluation(state_);
        const double step = readStepSize();
        accumulateSums(state_, fixFlags());
        showReadouts();
        colourErrorBox();
        applyUpdate(state_, step);
        writeEditors();
        pinter();
    });
}

// Nothing is drawn or written while the batch runs; the controls show its
// outcome once it ends.
void Form1::runBatchClick(int maxSteps) {
    ParameterStep step(*this, QStringLiteral("%1 pasos").arg(maxSteps));
    trapped([this, maxSteps] {
        if (state_.busy == kTrue) {
            return;
        }
        state_.busy = kTrue;
        setBoxColour(label10, plot::kWhite);
        state_.prevSqError = state_.sqError; // the reference for the whole batch
        const double step = readStepSize();
        const BatchResult result = runBatch(state_, fixFlags(), step, maxSteps);
        if (result.stoppedOnGrowth) {
            setBoxColour(label10, plot::kMagenta);
        }
        showReadouts();
        writeEditors();
        pinter();
    });
}

// The curve in thin dots, then the data in wide ones. What is set stays in
// the picture, so an error part-way leaves the drawing as far as it got.
void Form1::drawGraph(plot::SampleTest sampleTest) {
    graf->clear();
    plot::Picture& picture = graf->picture();
    plot::drawCurve(state_, picture, sampleTest);
    picture.drawWidth = 4;
    plot::drawData(state_, picture);
}

void Form1::pintar() {
    drawGraph(plot::SampleTest::AbsBelow10);
    beginEvaluation(state_);
    accumulateSums(state_, fixFlags());
    showReadouts();
    colourErrorBox();
    state_.busy = kFalse;
}

void Form1::pinter() {
    drawGraph(plot::SampleTest::Below30);
    state_.busy = kFalse;
}

void Form1::scrollChanged(ParameterEditor& editor) {
    if (state_.busy == kTrue) {
        return;
    }
    // Moves of one bar in a row are one step.
    const int index = static_cast<int>(&editor - editors_.data());
    ParameterStep step(*this, QStringLiteral("barra de %1").arg(kParameterNames[index]), 1 + index);
    state_.busy = kTrue;
    trapped([this, &editor] {
        state_.*editor.parameter = parameterAt(editor, editor.bar->value());
        editor.box->setText(numberText(state_.*editor.parameter));
        pintar();
    });
}

// Enter in, or leaving, a parameter's text box. After a failure the recovery
// runs; the rate's editor then goes on with the steps after the one that
// failed, which with the defaults back in place rewrite "1" and redraw.
void Form1::commitEditor(ParameterEditor& editor) {
    const int index = static_cast<int>(&editor - editors_.data());
    ParameterStep step(*this, QStringLiteral("edición de %1").arg(kParameterNames[index]));
    state_.busy = kTrue;
    double& parameter = state_.*editor.parameter;
    const std::array<std::function<void()>, 4> steps = {
        [&] { parameter = parseNumber(editor.box->text().toStdString()); },
        [&] { editor.box->setText(numberText(parameter)); },
        [&] { writeEditorPosition(editor); },
        [&] { pintar(); },
    };
    for (std::size_t i = 0; i < steps.size(); ++i) {
        try {
            steps[i]();
        } catch (const RuntimeError&) {
            desbord();
            // A failed redraw has nothing after it to go on with: the
            // recovery's own redraw stands, and busy is clear.
            if (!editor.resumesAfterRecovery || i + 1 == steps.size()) {
                return;
            }
            state_.busy = kTrue;
            trapped([&] { // ends with busy cleared, by the redraw or the recovery
                for (std::size_t next = i + 1; next < steps.size(); ++next) {
                    steps[next]();
                }
            });
            return;
        }
    }
}

void Form1::commitParameters(const fit::Parameters& p) {
    state_.busy = kTrue;
    trapped([this, &p] {
        state_.a = p[0];
        state_.c = p[1];
        state_.t0 = p[2];
        writeEditors();
        if (state_.tableMode == kTrue) {
            state_.busy = kFalse; // no graph to draw into
        } else {
            pintar();
        }
    });
}

// The start-up parameters in the fit state, the bars and the boxes, and the
// graph view marked as shown, in the order the recovery sets them.
void Form1::restoreDefaults() {
    state_.a = 5.0;
    state_.c = 1.0;
    state_.tableMode = kFalse;
    setPosition(CSCR, 10);
    setPosition(LSCR, -50);
    setPosition(TSCR, 0);
    state_.t0 = 0.0;
    Lval->setText(numberText(state_.a));
    Tval->setText(numberText(state_.t0));
    Cval->setText(numberText(state_.c));
}

// Reports the error, puts the default parameters back and leaves the graph
// view usable. The fix boxes and the step size keep their values.
void Form1::desbord() {
    state_.busy = kTrue;
    recovered_ = true;
    showMessage(QStringLiteral("Desbordamiento"));
    try {
        restoreDefaults();
        Command5->setText(QStringLiteral("Tabla"));
        setGraphViewVisible(true);
        capturar();
        pinter();
        clearReadouts();
    } catch (const RuntimeError&) {
        // The data themselves cannot be drawn even with the defaults.
        clearReadouts();
        state_.busy = kFalse;
        showMessage(QStringLiteral("No se puede dibujar la gráfica con los valores por defecto: "
                                   "revise los datos de la tabla."));
    }
}

} // namespace gompertz::ui
