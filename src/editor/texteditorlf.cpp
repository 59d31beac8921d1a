#include "editor/texteditorlf.h"

#include "editor/linebreaks.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPainter>
#include <QProgressDialog>
#include <QScrollBar>
#include <QStatusBar>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace morvilo {

namespace {

const QColor kCommentGrey(128, 128, 128);
const QColor kAssignGreen(0, 128, 0);
const QColor kLetterBlue(0, 0, 255);
const QColor kDigitRed(221, 0, 0);

constexpr int kProgressPumpMs = 20;  // events are pumped at most this often meanwhile
constexpr int kProgressSteps = 1000; // the dialog's range

// A fixed-pitch font of 11 points: the system's monospace face (DejaVu Sans Mono where
// installed), every cell as wide as "W".
QFont editorFontChoice() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (QFontDatabase::hasFamily("DejaVu Sans Mono"))
        font.setFamily("DejaVu Sans Mono");
    font.setPointSize(11);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    return font;
}

QString latin1Char(uint8_t b) {
    return QString(QChar(char16_t(b)));
}

EditorKey navigationKey(int key, bool &known) {
    known = true;
    switch (key) {
    case Qt::Key_PageUp:
        return EditorKey::PageUp;
    case Qt::Key_PageDown:
        return EditorKey::PageDown;
    case Qt::Key_End:
        return EditorKey::End;
    case Qt::Key_Home:
        return EditorKey::Home;
    case Qt::Key_Left:
        return EditorKey::Left;
    case Qt::Key_Up:
        return EditorKey::Up;
    case Qt::Key_Right:
        return EditorKey::Right;
    case Qt::Key_Down:
        return EditorKey::Down;
    case Qt::Key_Insert:
        return EditorKey::Insert;
    case Qt::Key_A:
        return EditorKey::A;
    case Qt::Key_Delete:
        return EditorKey::Delete;
    case Qt::Key_Z:
        return EditorKey::Z;
    case Qt::Key_Y:
        return EditorKey::Y;
    default:
        known = false;
        return EditorKey::A;
    }
}

TEditorCore::ScrollAction scrollAction(int action, bool &known) {
    known = true;
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
        return TEditorCore::ScrollAction::LineBack;
    case QAbstractSlider::SliderSingleStepAdd:
        return TEditorCore::ScrollAction::LineForward;
    case QAbstractSlider::SliderPageStepSub:
        return TEditorCore::ScrollAction::PageBack;
    case QAbstractSlider::SliderPageStepAdd:
        return TEditorCore::ScrollAction::PageForward;
    case QAbstractSlider::SliderMove:
        return TEditorCore::ScrollAction::Thumb;
    case QAbstractSlider::SliderToMinimum:
        return TEditorCore::ScrollAction::ToStart;
    case QAbstractSlider::SliderToMaximum:
        return TEditorCore::ScrollAction::ToEnd;
    default:
        known = false;
        return TEditorCore::ScrollAction::Thumb;
    }
}

} // namespace

TTextEditorLF::TTextEditorLF(QWidget *parent) : QAbstractScrollArea(parent), editor(this) {
    resize(200, 200);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent); // the image covers everything
    setFocusPolicy(Qt::StrongFocus);
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
    editorFont = editorFontChoice();
    if (parent)
        editor.maincap = parent->window()->windowTitle().toStdString();
    errorBox = [this](const QString &message) {
        QMessageBox box(QMessageBox::Critical, QString(), message, QMessageBox::Ok, this);
        box.exec();
    };
    horizontalScrollBar()->setRange(0, 1024);
    verticalScrollBar()->setRange(0, 65535);
    connect(horizontalScrollBar(), &QScrollBar::actionTriggered, this,
            &TTextEditorLF::horizontalAction);
    connect(verticalScrollBar(), &QScrollBar::actionTriggered, this,
            &TTextEditorLF::verticalAction);
    caretBlink.setInterval(QApplication::cursorFlashTime() > 0 ? QApplication::cursorFlashTime() / 2
                                                               : 500);
    connect(&caretBlink, &QTimer::timeout, this, [this] {
        caretBlinkOn = !caretBlinkOn;
        viewport()->update(caret.adjusted(-1, -1, 1, 1));
    });
    createContextMenu();
    applyMetrics();
}

TTextEditorLF::~TTextEditorLF() = default;

void TTextEditorLF::applyMetrics() {
    const QFontMetrics metrics(editorFont);
    editor.SetMetrics(metrics.horizontalAdvance(QLatin1Char('W')), metrics.height());
    editor.SetClientSize(viewport()->width(), viewport()->height());
    editor.SetLeftBar(leftbar0);
}

void TTextEditorLF::repaintAll() {
    applyMetrics();
    editor.Paint();
}

void TTextEditorLF::setbkcolor(const QColor &color) {
    bkcolor0 = color;
    repaintAll();
}

void TTextEditorLF::setfontcolor(const QColor &color) {
    fontcolor0 = color;
    repaintAll();
}

void TTextEditorLF::SetLeftBar(bool value) {
    leftbar0 = value;
    repaintAll();
}

void TTextEditorLF::SetFont0(const QFont &font) {
    editorFont = font;
    repaintAll();
}

void TTextEditorLF::SetWordWarp(bool value) {
    editor.SetWordWrap(value);
    repaintAll();
}

QColor TTextEditorLF::ByteColour(uint8_t b, const QColor &fontColour) {
    if (b == '#' || b == '=')
        return kAssignGreen;
    if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z'))
        return kLetterBlue;
    if ((b >= '0' && b <= '9') || b == '.')
        return kDigitRed;
    return fontColour;
}

// Draws the grid of the last layout into the off-screen image: each byte from "!" upwards in
// its colour, comments grey from the opening to the closing bracket within a screen row, the
// selection as inverted cells (never the LF of a CR LF). A tab's extra cells stay empty.
void TTextEditorLF::renderGrid() {
    const QSize size = viewport()->size().expandedTo(QSize(1, 1));
    if (bitmap.size() != size)
        bitmap = QImage(size, QImage::Format_RGB32);
    bitmap.fill(bkcolor0);
    QPainter painter(&bitmap);
    painter.setFont(editorFont);
    const QFontMetrics metrics(editorFont);
    const int ascent = metrics.ascent();
    const TEditorCore &e = editor;
    const int64_t selFrom = std::min(e.curx, e.markx), selTo = std::max(e.curx, e.markx);
    QVector<QRect> inverted;

    for (int64_t r = 0; r < e.rph; ++r) {
        bool comment = false;
        QString run;
        QColor runColour;
        int runX = 0;
        const int y = int(e.sy + e.hei * r);
        auto flush = [&] {
            if (!run.isEmpty()) {
                painter.setPen(runColour);
                painter.drawText(runX, y + ascent, run);
                run.clear();
            }
        };
        for (int64_t c = 0; c < e.pw; ++c) {
            const int64_t cell = e.Cell(r, c);
            if (cell == 0 || (c > 0 && e.Cell(r, c - 1) == cell)) {
                flush();
                continue; // empty, or the rest of a tab
            }
            const int64_t offset = cell - 1;
            const uint8_t b = e.buf[offset - e.posy];
            QColor colour = fontcolor0;
            if (doCNCHilight) {
                if (b == uint8_t(commleft))
                    comment = true;
                colour = comment ? kCommentGrey : ByteColour(b, fontcolor0);
                if (b == uint8_t(commright))
                    comment = false;
            }
            if (c < e.posx || b == 0) {
                flush();
                continue;
            }
            const int x = int(e.sx + e.wid * (c - e.posx));
            if (b >= 33) {
                if (run.isEmpty() || colour != runColour) {
                    flush();
                    runColour = colour;
                    runX = x;
                }
                run += latin1Char(b);
            } else {
                flush();
            }
            const bool lfOfCrLf = b == kLF && offset > e.posy && e.buf[offset - 1 - e.posy] == kCR;
            if (offset >= selFrom && offset < selTo && !lfOfCrLf)
                inverted.append(QRect(x, y, e.wid, e.hei));
        }
        flush();
    }
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    for (const QRect &cell : inverted)
        painter.fillRect(cell, Qt::white);
}

void TTextEditorLF::Draw() {
    renderGrid();
    viewport()->update();
    horizontalScrollBar()->setRange(0, int(std::max<int64_t>(editor.pw - 1, 0)));
    verticalScrollBar()->setRange(0, 65535);
}

void TTextEditorLF::paintEvent(QPaintEvent *) {
    QPainter painter(viewport());
    if (bitmap.size() != viewport()->size())
        renderGrid();
    painter.drawImage(0, 0, bitmap); // one copy: no flicker
    if (caretCreated && !caretHidden && caretBlinkOn && hasFocus()) {
        painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        painter.fillRect(caret, Qt::white);
    }
}

void TTextEditorLF::resizeEvent(QResizeEvent *event) {
    QAbstractScrollArea::resizeEvent(event);
    applyMetrics();
    editor.UpdateCaretPos(true, true, false);
}

void TTextEditorLF::ShowCaret(int x, int y, int width, int height) {
    caret = QRect(x, y, width, height);
    caretCreated = hasFocus();
    caretHidden = false;
    caretBlinkOn = true;
    if (caretCreated)
        caretBlink.start();
    viewport()->update();
}

void TTextEditorLF::HideCaret() {
    caretHidden = true;
    viewport()->update(caret.adjusted(-1, -1, 1, 1));
}

void TTextEditorLF::PlaceCaret(int x, int y) {
    viewport()->update(caret.adjusted(-1, -1, 1, 1));
    caret.moveTo(x, y);
    caretHidden = false;
    viewport()->update(caret.adjusted(-1, -1, 1, 1));
}

void TTextEditorLF::focusInEvent(QFocusEvent *event) {
    QAbstractScrollArea::focusInEvent(event);
    caretCreated = true;
    caret.setSize(QSize(editor.overwrite ? editor.wid : 2, editor.hei));
    caretBlinkOn = true;
    caretBlink.start();
    viewport()->update();
}

void TTextEditorLF::focusOutEvent(QFocusEvent *event) {
    QAbstractScrollArea::focusOutEvent(event);
    caretCreated = false;
    caretBlink.stop();
    viewport()->update();
}

void TTextEditorLF::SetScrollPositions(int64_t horizontal, int vertical) {
    QScrollBar *h = horizontalScrollBar(), *v = verticalScrollBar();
    h->setValue(int(horizontal));
    v->setValue(vertical);
    if (handlingScrollAction) { // the bar applies its own step after the action: set ours
        h->setSliderPosition(int(horizontal));
        v->setSliderPosition(vertical);
    }
}

void TTextEditorLF::scrollContentsBy(int, int) {
    // The view is laid out from posy and posx; there is nothing to move.
}

void TTextEditorLF::horizontalAction(int action) {
    bool known = false;
    const auto what = scrollAction(action, known);
    if (!known)
        return;
    handlingScrollAction = true;
    editor.HorizontalScroll(what, horizontalScrollBar()->sliderPosition());
    handlingScrollAction = false;
}

void TTextEditorLF::verticalAction(int action) {
    bool known = false;
    const auto what = scrollAction(action, known);
    if (!known)
        return;
    handlingScrollAction = true;
    editor.VerticalScroll(what, verticalScrollBar()->sliderPosition());
    handlingScrollAction = false;
}

void TTextEditorLF::SetStatusText(const std::string &text) {
    const QString shown = QString::fromStdString(text);
    if (infostatusbar)
        infostatusbar->showMessage(shown);
    emit statusTextChanged(shown);
    // The caret's line in a huge file is counted on between events, a piece at a time.
    if (editor.FileLinePending())
        QTimer::singleShot(0, this, [this] {
            if (editor.FileLinePending())
                editor.RefreshCaretStatus();
        });
}

// ---- long operations ----------------------------------------------------------------------

void TTextEditorLF::RunWithProgress(const std::string &label, const std::function<void()> &work) {
    QElapsedTimer working, pumped;
    auto report = [this, &label, &working, &pumped](int64_t done, int64_t total) {
        // The clock starts with the first report, so a dialog the work begins with (the jump's
        // question) takes no part in it.
        if (!working.isValid()) {
            working.start();
            return true;
        }
        if (!progressDialog) {
            if (working.elapsed() < progressDelayMs || pumped.isValid())
                return true; // quick so far, or the dialog was put away for a message
            progressDialog =
                new QProgressDialog(QString::fromStdString(editor.messages.Translate(label)),
                                    QString::fromStdString(editor.messages.Translate("Abbrechen")),
                                    0, kProgressSteps, this);
            progressDialog->setObjectName("EditorProgress");
            progressDialog->setWindowModality(Qt::WindowModal);
            progressDialog->setAutoClose(false);
            progressDialog->setAutoReset(false);
            progressDialog->setMinimumDuration(0);
            progressDialog->show();
            pumpingProgress = true;
        } else if (pumped.elapsed() < kProgressPumpMs) {
            return !progressDialog->wasCanceled();
        }
        if (!progressDialog->isVisible())
            return !progressDialog->wasCanceled(); // put away: nothing may reach the editor
        progressDialog->setValue(total > 0 ? int(double(std::clamp<int64_t>(done, 0, total)) /
                                                 double(total) * kProgressSteps)
                                           : 0);
        QCoreApplication::processEvents();
        pumped.start();
        return !progressDialog || !progressDialog->wasCanceled();
    };
    // However the work ends, its hook and dialog go and those of work it runs within (none,
    // as the dialogs are modal) come back.
    struct Installed {
        TTextEditorLF &w;
        TProgressHook previousHook = std::exchange(w.editor.progress, {});
        QPointer<QProgressDialog> previousDialog = std::exchange(w.progressDialog, nullptr);
        bool previousPumping = std::exchange(w.pumpingProgress, false);
        ~Installed() {
            delete w.progressDialog;
            w.editor.progress = std::move(previousHook);
            w.progressDialog = previousDialog;
            w.pumpingProgress = previousPumping;
        }
    } installed{*this};
    editor.progress = report;
    work();
}

void TTextEditorLF::putAwayProgress() {
    pumpingProgress = false;
    if (progressDialog)
        progressDialog->hide();
}

bool TTextEditorLF::SaveAsFile(const std::string &fname) {
    bool saved = false;
    RunWithProgress("Datei wird gespeichert...", [&] { saved = editor.SaveAsFile(fname); });
    return saved;
}

void TTextEditorLF::ShowError(const std::string &message) {
    putAwayProgress();
    if (errorBox)
        errorBox(QString::fromStdString(message));
}

void TTextEditorLF::FileShortened(const std::string &message) {
    // Found during a read, perhaps while painting: the box waits until the window is idle.
    QTimer::singleShot(0, this, [this, text = QString::fromStdString(message)] {
        if (errorBox)
            errorBox(text);
    });
}

void TTextEditorLF::LineChanged() {
    emit OnLineChange();
}

// The owner's caption shows the document's name and state (unless DoNotSetCaption).
void TTextEditorLF::Changed() {
    QWidget *owner = window();
    if (owner != this && !editor.donotsetcaption0) {
        std::string caption = editor.CaptionText();
        if (caption != shownCaption) { // a whole-text undo reports millions of changes
            shownCaption = std::move(caption);
            owner->setWindowTitle(QString::fromStdString(shownCaption));
        }
    }
    emit OnChange();
}

bool TTextEditorLF::focusNextPrevChild(bool) {
    return false; // Tab is the editor's own key
}

void TTextEditorLF::keyPressEvent(QKeyEvent *event) {
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    const bool alt = event->modifiers() & Qt::AltModifier;
    bool known = false;
    const EditorKey key = navigationKey(event->key(), known);
    const bool letterKey = key == EditorKey::A || key == EditorKey::Z || key == EditorKey::Y;
    if (known && (!letterKey || (ctrl && !alt))) {
        editor.KeyDown(key, shift, ctrl);
        return;
    }
    // Characters: Backspace, Enter and Tab as their bytes, everything else as the Latin-1 byte
    // of the text the key produced (AltGr characters included).
    switch (event->key()) {
    case Qt::Key_Backspace:
        editor.KeyPress(8, ctrl, alt);
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        editor.KeyPress(13, ctrl, alt);
        return;
    case Qt::Key_Tab:
        editor.KeyPress(9, ctrl, alt);
        return;
    default:
        break;
    }
    const QString text = event->text();
    if (text.size() == 1 && text[0].unicode() >= 32 && text[0].unicode() <= 255 &&
        text[0].unicode() != 127) {
        editor.KeyPress(uint8_t(text[0].unicode()), ctrl, alt);
        return;
    }
    QAbstractScrollArea::keyPressEvent(event);
}

void TTextEditorLF::mousePressEvent(QMouseEvent *event) {
    if (event->button() == Qt::RightButton) {
        setFocus(Qt::MouseFocusReason);
        showContextMenu(event->position().toPoint());
        return;
    }
    if (event->button() != Qt::LeftButton)
        return;
    setFocus(Qt::MouseFocusReason);
    const QPoint p = event->position().toPoint();
    editor.MouseDown(p.x(), p.y(), event->modifiers() & Qt::ShiftModifier);
}

void TTextEditorLF::mouseMoveEvent(QMouseEvent *event) {
    const QPoint p = event->position().toPoint();
    editor.MouseMove(p.x(), p.y());
}

void TTextEditorLF::mouseReleaseEvent(QMouseEvent *event) {
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint p = event->position().toPoint();
    editor.MouseUp(p.x(), p.y(), event->modifiers() & Qt::ControlModifier);
}

void TTextEditorLF::mouseDoubleClickEvent(QMouseEvent *event) {
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint p = event->position().toPoint();
    editor.DoubleClick(p.x(), p.y(), event->modifiers() & Qt::ShiftModifier);
}

void TTextEditorLF::wheelEvent(QWheelEvent *event) {
    editor.Wheel(event->angleDelta().y());
    event->accept();
}

} // namespace morvilo
