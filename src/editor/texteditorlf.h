#pragma once
// TTextEditorLF: the G-code editor widget. It owns the headless editor core, supplies its cell
// metrics and client size, paints the layout grid from an off-screen image in one copy (no
// flicker) with the G-code colouring, draws its own blinking caret and turns Qt's key, mouse,
// wheel and scroll-bar events into the core's operations.

#include "editor/editorcore.h"

#include <QAbstractScrollArea>
#include <QColor>
#include <QFont>
#include <QImage>
#include <QPointer>
#include <QTimer>

#include <functional>

class QMenu;
class QPrinter;
class QDialog;
class QProgressDialog;
class QStatusBar;

namespace morvilo {

class TPosForm;
class TSearchForm;
class TSearchRepForm;

class TTextEditorLF : public QAbstractScrollArea, private EditorView {
    Q_OBJECT

public:
    explicit TTextEditorLF(QWidget *parent = nullptr);
    ~TTextEditorLF() override;

    TEditorCore &core() { return editor; }
    const TEditorCore &core() const { return editor; }

    // Published properties.
    QColor BackgroundColor() const { return bkcolor0; }
    void setbkcolor(const QColor &color);
    QColor FontColor() const { return fontcolor0; }
    void setfontcolor(const QColor &color);
    bool LeftBar() const { return leftbar0; }
    void SetLeftBar(bool value);
    void SetWordWarp(bool value);
    const QFont &font0() const { return editorFont; }
    void SetFont0(const QFont &font);

    bool doCNCHilight = false; // the G-code colouring
    char commleft = '(', commright = ')';
    QStatusBar *infostatusbar = nullptr;

    // The off-screen image of the last paint.
    const QImage &bit() const { return bitmap; }
    // Where the caret is drawn and whether it exists (it exists while the editor has focus).
    QRect caretRect() const { return caret; }
    bool caretExists() const { return caretCreated; }

    // How errors are shown; by default a message box with an error icon and no caption.
    std::function<void(const QString &)> errorBox;

    // ---- long operations: work that may walk the whole text (a search, a jump to a line, a
    // save) runs with the core's progress hook installed. Once it has worked for 100 ms a
    // window-modal progress dialog (label, "Abbrechen") shows how far it got and events are
    // pumped every 20 ms, so the window repaints while nothing reaches the editor; "Abbrechen"
    // stops the work. label is German, translated through the editor's messages.
    void RunWithProgress(const std::string &label, const std::function<void()> &work);
    // How long such work runs before its dialog shows (tests shorten it).
    int progressDelayMs = 100;
    // True while such work pumps events under its dialog: whatever reads the text through the
    // core's line reader (a run of the interpreter) has to wait.
    bool InLongOperation() const { return pumpingProgress; }
    // The core's SaveAsFile with progress ("Datei wird gespeichert...").
    bool SaveAsFile(const std::string &fname);

    // ---- search, replace and jumps (texteditorsearch.cpp): the commands show the editor's
    // dialogs, created at their first use and kept with their contents.
    void Suchen();
    void Weitersuchen();
    void SuchenundErsetzen();
    void WeiterSuchenundErsetzen();
    void AnPositionspringen();
    TSearchForm &searchForm();
    TSearchRepForm &searchRepForm();
    TPosForm &posForm();
    // Shows a dialog modally; true when it was accepted. Replaceable so that tests need no user.
    std::function<bool(QDialog &)> execDialog;
    // How an error with a caption of its own is shown (a search that found nothing); without
    // it, a message box with an error icon.
    std::function<void(const QString &message, const QString &caption)> captionedErrorBox;

    // ---- clipboard: the selection as text (up to its first 0 byte) or, "with binary data",
    // in our own format that keeps every byte: a 32-bit little-endian count and the bytes.
    static const char *const kClipboardFormat; // the MIME type of our format
    void copytoclipboard();
    void copytoclipboardasText();
    void CutToClipBoard();
    void PasteFromClipBoard();
    bool CanPaste() const;
    // The context menu: cut, copy, copy with binary data, paste, delete.
    QMenu *popupmenu1;

    // ---- printing: every line of the text at the left margin in the editor's font, a new page
    // when the next line would not fit. Returns the number of pages printed (0 when the
    // printer could not start).
    static constexpr double zoll2mm = 25.39995; // millimetres per inch
    double printbordermm = 25.0;
    int Drucken(QPrinter &printer, const QString &title);

    // The colour class of a byte (comment state aside): blue letters, dark red digits and
    // point, green "#" and "=", the font colour for everything else.
    static QColor ByteColour(uint8_t b, const QColor &fontColour);

signals:
    void OnChange();
    void OnLineChange();
    void statusTextChanged(const QString &text);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool focusNextPrevChild(bool next) override;

private:
    // EditorView
    void Draw() override;
    void ShowCaret(int x, int y, int width, int height) override;
    void HideCaret() override;
    void PlaceCaret(int x, int y) override;
    void SetScrollPositions(int64_t horizontal, int vertical) override;
    void SetStatusText(const std::string &text) override;
    void ShowError(const std::string &message) override;
    void FileShortened(const std::string &message) override;
    void ShowCaptionedError(const std::string &message, const std::string &caption) override;
    bool showModal(QDialog &dialog);
    TSearchForm *SearchForm = nullptr; // the search dialogs, children of the editor
    TSearchRepForm *SearchRepForm = nullptr;
    TPosForm *PosForm = nullptr;
    void LineChanged() override;
    void Changed() override;
    void DropSelection(int64_t dragx, bool copy) override;

    void createContextMenu();
    void showContextMenu(const QPoint &at);
    std::string selectedBytes() const;
    void insertReplacingSelection(const std::string &bytes);

    void applyMetrics();
    void repaintAll();
    void renderGrid();
    void horizontalAction(int action);
    void verticalAction(int action);

    TEditorCore editor;
    QColor bkcolor0 = Qt::white;
    QColor fontcolor0 = Qt::black;
    bool leftbar0 = false;
    QFont editorFont;
    QImage bitmap;
    QRect caret;
    bool caretCreated = false;
    bool caretHidden = false;
    bool caretBlinkOn = true;
    QTimer caretBlink;
    bool handlingScrollAction = false;
    std::string shownCaption;
    QPointer<QProgressDialog> progressDialog; // shown by RunWithProgress
    bool pumpingProgress = false;
    void putAwayProgress();
};

} // namespace morvilo
