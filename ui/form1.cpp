#include "form1.h"

#include <QScreen>
#include <QScrollArea>

#include "data/data_file.h"
#include "graph_box.h"
#include "model/descent.h"
#include "model/errors.h"
#include "parameter_step.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QUndoStack>

#include <algorithm>

namespace gompertz::ui {

namespace {

bool isEnter(const QKeyEvent* key) {
    return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
}

// A focus change to another control of this window; the window losing
// activation or a popup opening is not one.
bool movesToAnotherControl(const QFocusEvent* focus) {
    return focus->reason() != Qt::ActiveWindowFocusReason &&
           focus->reason() != Qt::PopupFocusReason && focus->reason() != Qt::MenuBarFocusReason;
}

} // namespace

// A screen smaller than the window gets a window as large as it, whose
// client area scrolls.
void Form1::fitScreen() {
    const QScreen* shown = screen();
    if (shown == nullptr) {
        return;
    }
    constexpr int kFrame = 40; // a window manager's title bar and borders
    constexpr int kBorders = 8; // its borders left and right
    const QRect available = shown->availableGeometry();
    resize(std::min(width(), available.width() - kBorders),
           std::min(height(), available.height() - kFrame));
}

Form1::Form1(QWidget* parent)
    : QMainWindow(parent), messages_(std::make_unique<MessageBoxSink>(this)),
      files_(std::make_unique<DialogFileChooser>(dialogFolder_)), central_(new QWidget(this)) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Ajuste de Curvas Gompertz."));
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(8.25);
    setFont(font);
    // The controls keep their designed places; on a screen smaller than the
    // window, the client area scrolls.
    auto* scroller = new QScrollArea(this);
    scroller->setObjectName(QStringLiteral("desplazamiento"));
    scroller->setFrameShape(QFrame::NoFrame);
    scroller->setFocusPolicy(Qt::NoFocus); // not a stop of the tab order
    central_->setFixedSize(724, 691);
    scroller->setWidget(central_);
    setCentralWidget(scroller);
    createMenus();
    // The designed client area lies below the menu bar.
    resize(724, 691 + menuBar()->sizeHint().height());
    fitScreen();
    createTable();
    createGraphArea();
    createParameterPanel();
    createStepPanel();
    createFileButtons();
    setTabOrderAsDesigned();
    connectHandlers();
    load();
}

// A parameter box that has the focus loses it while the window is torn
// down; that is no edit to commit.
Form1::~Form1() {
    state_.busy = kTrue;
    undo_->disconnect(this); // the stack empties itself as it goes
    for (int i = 0; i < data::kRows; ++i) {
        xv_[i]->removeEventFilter(this); // nor is it typing to commit
        yv_[i]->removeEventFilter(this);
    }
}

void Form1::setMessageSink(std::unique_ptr<MessageSink> sink) {
    messages_ = std::move(sink);
}

void Form1::showMessage(const QString& text) {
    messages_->show(text);
}

void Form1::connectHandlers() {
    connect(Command5, &QPushButton::clicked, this, &Form1::Command5_Click);
    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(Recuperar, &QPushButton::clicked, this, &Form1::Recuperar_Click);
    connect(graf, &GraphBox::clicked, this, &Form1::graf_Click);
    connect(paso, &QPushButton::clicked, this, &Form1::paso_Click);
    connect(paso3, &QPushButton::clicked, this, [this] { runBatchClick(100); });
    connect(paso4, &QPushButton::clicked, this, [this] { runBatchClick(10000); });
    for (ParameterEditor& editor : editors_) {
        connect(editor.bar, &QScrollBar::valueChanged, this,
                [this, &editor] { scrollChanged(editor); });
    }
    for (int i = 0; i < data::kRows; ++i) {
        for (QLineEdit* box : {xv_[i], yv_[i]}) {
            connect(box, &QLineEdit::textEdited, this, &Form1::updateEditActions);
        }
    }
}

// Start-up: the defaults, the table view, and busy cleared last.
void Form1::load() {
    state_.busy = kTrue;
    state_.tableMode = kTrue;
    graf->setBackground(plot::kLightGreen);
    state_.a = 5.0;
    state_.c = 1.0;
    CSCR->setValue(10);
    LSCR->setValue(-50);
    state_.t0 = 0.0;
    state_.yTop = 10.0;
    for (QWidget* widget : graphControls()) {
        widget->hide();
    }
    state_.busy = kFalse;
}

void Form1::Command5_Click() {
    ParameterStep step(*this, QStringLiteral("Gráfica")); // the drawing may need the recovery
    if (state_.tableMode == kTrue) {
        capturar();
        if (state_.pointCount == 0) {
            showMessage(QStringLiteral("no hay datos introducidos"));
            return;
        }
        state_.tableMode = kFalse;
        Command5->setText(QStringLiteral("Tabla"));
        setGraphViewVisible(true);
        capturar();
        trapped([this] {
            computeYMean(state_);
            pintar();
        });
    } else {
        state_.tableMode = kTrue;
        Command5->setText(QStringLiteral("Gráfica"));
        setGraphViewVisible(false);
    }
}

void Form1::graf_Click() {
    ParameterStep step(*this, QStringLiteral("Gráfica"));
    state_.busy = kTrue;
    trapped([this] { pintar(); });
}

QLineEdit* Form1::cell(data::Column column, int row) const {
    return column == data::Column::X ? xv_.at(row) : yv_.at(row);
}

std::string Form1::text(data::Column column, int row) const {
    return cell(column, row)->text().toStdString();
}

// Every write by the program goes through here; the history knows it.
void Form1::setText(data::Column column, int row, const std::string& text) {
    cell(column, row)->setText(QString::fromStdString(text));
    committedTexts_[2 * row + (column == data::Column::X ? 0 : 1)] = text;
}

void Form1::setBackground(data::Column column, int row, data::CellColour colour) {
    QLineEdit* box = cell(column, row);
    QPalette palette = box->palette();
    const plot::Rgb rgb = colour == data::CellColour::White ? plot::kWhite : plot::kLightGrey;
    palette.setColor(QPalette::Base, toQColor(rgb));
    box->setPalette(palette);
}

void Form1::capturar() {
    commitTyping();
    data::capturar(state_, *this);
    emit dataCaptured();
}

void Form1::Command1_Click() {
    saveTo(data::kDataFileName);
}

void Form1::Recuperar_Click() {
    commitTyping();
    const TableTexts before = tableTexts();
    if (loadFrom(data::kDataFileName)) {
        recordTableChange(before, QStringLiteral("recuperar %1").arg(data::kDataFileName));
    }
}

bool Form1::saveTo(const std::string& path) {
    commitTyping();
    const auto problem = data::guardar(state_, *this, path);
    emit dataCaptured();
    if (problem) {
        showMessage(QString::fromStdString(*problem));
        return false;
    }
    markSaved(path, state_.pointCount); // the captured rows, and no more
    return true;
}

bool Form1::loadFrom(const std::string& path) {
    if (const auto problem = data::recuperar(*this, path)) {
        showMessage(QString::fromStdString(*problem));
        return false;
    }
    markSaved(path, data::kRows); // the file's rows, the rest emptied
    return true;
}

void Form1::markSaved(const std::string& path, int rows) {
    savedTexts_ = tableTexts();
    for (int i = rows; i < data::kRows; ++i) {
        savedTexts_[2 * i].clear();
        savedTexts_[2 * i + 1].clear();
    }
    currentFile_ = path;
}

Form1::TableTexts Form1::tableTexts() const {
    TableTexts texts;
    for (int i = 0; i < data::kRows; ++i) {
        texts[2 * i] = text(data::Column::X, i);
        texts[2 * i + 1] = text(data::Column::Y, i);
    }
    return texts;
}

void Form1::writeTableChange(const TableTexts& from, const TableTexts& to) {
    for (int i = 0; i < data::kRows; ++i) {
        for (const data::Column column : {data::Column::X, data::Column::Y}) {
            const std::size_t at = 2 * i + (column == data::Column::X ? 0 : 1);
            if (from[at] != to[at]) {
                setText(column, i, to[at]);
            }
        }
    }
}

bool Form1::hasUnsavedRows() const {
    const TableTexts now = tableTexts();
    for (std::size_t i = 0; i < now.size(); i += 2) {
        const bool filled = !now[i].empty() || !now[i + 1].empty();
        if (filled && (now[i] != savedTexts_[i] || now[i + 1] != savedTexts_[i + 1])) {
            return true;
        }
    }
    return false;
}

bool Form1::mayDropUnsavedRows(const QString& question) {
    if (!hasUnsavedRows()) {
        return true;
    }
    switch (messages_->askToSave(question)) {
    case SaveAnswer::Save:
        return saveTo(currentFile_);
    case SaveAnswer::Discard:
        return true;
    case SaveAnswer::Cancel:
        break;
    }
    return false;
}

void Form1::closeEvent(QCloseEvent* event) {
    if (mayDropUnsavedRows(QStringLiteral("Hay filas de la tabla sin guardar. ¿Quiere guardarlas "
                                          "en %1 antes de salir?")
                               .arg(QString::fromStdString(data::fileNameOf(currentFile_))))) {
        event->accept();
    } else {
        event->ignore();
    }
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->matches(QKeySequence::Paste) && isTableCell(watched) &&
            pasteIntoCell(static_cast<QLineEdit*>(watched))) {
            return true; // rows from a spreadsheet, already written
        }
        if (key->text() == QLatin1String(".") && isTableCell(watched)) {
            // Warned, not refused: the period is typed once the box closes.
            showMessage(QStringLiteral("Utilice la coma"));
        } else if (isEnter(key) && isTableCell(watched)) {
            commitTyping();
        } else if (isEnter(key)) {
            if (ParameterEditor* editor = editorOfBox(watched); editor && state_.busy != kTrue) {
                commitEditor(*editor);
            }
        }
    } else if (event->type() == QEvent::FocusOut) {
        // Another window taking the activation ends no edit; a control, a
        // menu or the cell's own menu taking the focus does.
        if (isTableCell(watched) &&
            static_cast<QFocusEvent*>(event)->reason() != Qt::ActiveWindowFocusReason) {
            commitTyping();
        }
        if (ParameterEditor* editor = editorOfBox(watched);
            editor && movesToAnotherControl(static_cast<QFocusEvent*>(event)) &&
            state_.busy != kTrue) {
            commitEditor(*editor);
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

bool Form1::isTableCell(const QObject* object) const {
    return std::ranges::find(xv_, object) != xv_.end() ||
           std::ranges::find(yv_, object) != yv_.end();
}

ParameterEditor* Form1::editorOfBox(QObject* object) {
    for (ParameterEditor& editor : editors_) {
        if (editor.box == object) {
            return &editor;
        }
    }
    return nullptr;
}

} // namespace gompertz::ui
