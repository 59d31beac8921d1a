#pragma once
// The headless core of the G-code editor: the document (its store and open file), the line
// reader through which the rest of the program reads the text, and the layout grid with the
// caret, selection and keyboard navigation. The widget supplies cell metrics and client size,
// paints the grid and turns its events into the core's operations; tests, the interpreter and
// the batch front end use the core without a window.
//
// The view is defined by one byte offset, posy, the first character shown. Every layout pass
// places at most the 10240 bytes from posy into the grid posses, in which each cell holds 1 +
// the offset of the character it shows (0: empty); caret movement, hit testing and the status
// line read that grid. A line ends at LF, at a CR not followed by LF, or at CR LF.

#include "editor/editormessages.h"
#include "editor/editorprogress.h"
#include "editor/editorundo.h"
#include "editor/tmemory.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace morvilo {

class OutputFile;

// What the window does for the core; every operation has a do-nothing default, so the core
// runs headless.
class EditorView {
public:
    virtual ~EditorView() = default;
    // Draw the grid just laid out.
    virtual void Draw() {}
    // Create the caret (width x height pixels) at (x, y) and show it.
    virtual void ShowCaret(int /*x*/, int /*y*/, int /*width*/, int /*height*/) {}
    virtual void HideCaret() {}
    // Move the caret; (-100, -100) puts it out of sight.
    virtual void PlaceCaret(int /*x*/, int /*y*/) {}
    // Horizontal position in columns, vertical position 0 .. 65535.
    virtual void SetScrollPositions(int64_t /*horizontal*/, int /*vertical*/) {}
    virtual void SetStatusText(const std::string & /*text*/) {}
    virtual void ShowError(const std::string & /*message*/) {}
    // An error message box with a caption of its own (a search that found nothing).
    virtual void ShowCaptionedError(const std::string &message, const std::string & /*caption*/) {
        ShowError(message);
    }
    // Another program shortened the document's file: the text now ends where the file ends.
    // Found while reading (perhaps while drawing), so a window shows it once it is idle.
    virtual void FileShortened(const std::string &message) { ShowError(message); }
    virtual void LineChanged() {} // OnLineChange
    virtual void Changed() {}     // OnChange
    // The selection was dragged and released at offset dragx outside itself (copy with Ctrl):
    // the clipboard layer moves or copies it.
    virtual void DropSelection(int64_t /*dragx*/, bool /*copy*/) {}
};

struct MergeBackup;      // what a merge of undo records changed (editing)
struct TSearchSettings;  // the search dialog's settings (editorsearch.h)
struct TReplaceSettings; // the search-and-replace dialog's settings (editorsearch.h)

enum class EditorKey {
    PageUp,
    PageDown,
    End,
    Home,
    Left,
    Up,
    Right,
    Down,
    Insert,
    A,
    Delete,
    Z,
    Y
};

class TEditorCore {
public:
    static constexpr int64_t bufsiz = 10240; // the display window and the line reader's step

    explicit TEditorCore(EditorView *view = nullptr);
    ~TEditorCore();
    TEditorCore(const TEditorCore &) = delete;
    TEditorCore &operator=(const TEditorCore &) = delete;

    // ---- document -------------------------------------------------------------------------
    // Makes the file the document; false (with message 12) when it cannot be opened, with the
    // reason (the system error in words, through the translation hook) in openFailure.
    bool OpenFileWithName(const std::string &sfn);
    std::string openFailure;
    // Closes the file and empties the store; unless donotclearundo, resets caret and view.
    void NewItNow();
    // An empty, untitled document.
    void FileNew();
    // Writes the text to fname (through a new file renamed over it) and makes that file the
    // document; false, with message 14, when it cannot be written (nothing changes then).
    // Cancelled through the progress hook: false without a message, the new file removed.
    bool SaveAsFile(const std::string &fname);
    // Fills the display window buf from posy.
    void ReadBuf();

    TMemory &mem() { return *store; }
    const TMemory &mem() const { return *store; }
    int64_t size() const { return store->size(); }
    bool opened() const { return fd >= 0; }
    // The byte at pos (0 outside the text).
    uint8_t ByteAt(int64_t pos) const;

    std::string afilename;
    bool donotclearundo = false;
    bool changed = false;
    void SetUnChanged() { changed = false; }

    // ---- line reader ----------------------------------------------------------------------
    void FirstLine();
    bool NextLine();
    bool PrevLine();
    // Reads line nr (from 0); false when the text has fewer lines (the reader then stands past
    // the end) or the progress hook asked to stop.
    bool GetLinenr(int64_t nr);

    std::string line;     // text of the line last read, without CR, LF and 0 bytes
    int64_t olpos = 0;    // start of the line last read
    int64_t lpos = 0;     // where the next line starts
    int64_t alinenr = -1; // 0-based number of the line last read

    // ---- layout, caret, navigation --------------------------------------------------------
    // Cell size in pixels and the client area; the layout needs nothing else of the window.
    void SetMetrics(int cellWidth, int cellHeight);
    void SetClientSize(int width, int height);
    void SetWordWrap(bool on) { wordwarp0 = on; }
    void SetLeftBar(bool on) { leftbar0 = on; }

    // Lays out and, unless donotpaint, draws.
    void Paint();
    // Lays out without drawing.
    void SilentLayout();

    void UpdateCaretPos(bool newpaint, bool markupt, bool donotupdateposx);
    bool moveup();
    bool movedown();
    bool goleft();
    bool goright();
    bool CheckIfMustScrollDown();
    void checksize();
    // The view starts at the row that holds posy, or at the caret's row when the caret would be
    // out of view; reads at most one display window before them.
    void ShowCompleteLine();
    void MoveToTheEnd(bool inmarkall, bool shift = false);
    void SelectAll();
    void ScrollUp();
    void ScrollDown();
    bool IsSomethingSelected() const { return markx != curx; }
    static bool IsWordByte(uint8_t b);

    // A key as the user presses it (characters arrive separately).
    void KeyDown(EditorKey key, bool shift, bool ctrl);

    // ---- mouse, wheel and scroll bars (points in client pixels) -------------------------------
    // Sets curx (and px) from a point; with update also UpdateCaretPos(false, markupt, false).
    // Always fires OnLineChange. False when the point is in no row.
    bool MakeMausClick(int mx, int my, bool markupt, bool update);
    void MouseDown(int x, int y, bool shift);
    void MouseMove(int x, int y);
    void MouseUp(int x, int y, bool ctrl);
    void DoubleClick(int x, int y, bool shift);
    void Wheel(int delta);
    enum class ScrollAction { LineBack, LineForward, PageBack, PageForward, Thumb, ToStart, ToEnd };
    void HorizontalScroll(ScrollAction action, int64_t position = 0);
    void VerticalScroll(ScrollAction action, int64_t position = 0);
    // Moves the view start to posy and realigns it to the start of a row.
    void SetPosy(int64_t newposy);

    bool indraganddrop = false; // a drag-and-drop of the selection is in progress
    int64_t dragx = 0;          // drop offset during drag-and-drop
    int scrolldelta = 0;        // wheel movement not yet turned into lines

    // The grid cell (row, column): 1 + offset, 0 when empty or outside the grid.
    int64_t Cell(int64_t row, int64_t column) const;
    // The status line text of the caret position.
    std::string CaretStatusText() const;
    const std::string &StatusText() const { return statusText; }
    // Whether the caret's line in the file was not counted to its end for the last status
    // text (a file of gigabytes counts a piece at each update); RefreshCaretStatus goes on.
    bool FileLinePending() const { return fileLinePending; }
    void RefreshCaretStatus() { setStatus(CaretStatusText()); }

    // View, caret and selection.
    int64_t posy = 0, posx = 0, curx = 0, markx = 0;
    int64_t cury = 0, marky = 0;
    bool overwrite = false;
    bool insetpos = false;
    bool donotpaint = false;
    bool donotupdateposbeforepaint = false;
    bool markpainted = false;

    // Results of the last layout pass.
    int wid = 8, hei = 16;  // cell size in pixels
    int sx = 5, sy = 5;     // pixel origin of cell (0, 0)
    int64_t pwreal = 0;     // visible columns
    int64_t pw = 100;       // layout width in columns
    int64_t rph = 0;        // rows that fit
    int64_t ph = 100;       // rows laid out
    int64_t px = 0, py = 0; // caret cell
    bool pxfound = false;
    int64_t maxshowedpos = 0;
    bool prematureend = false;

    uint8_t buf[bufsiz + 1] = {};
    int64_t bufreaded = 0;

    EditorMessages messages;

    // ---- editing and undo ---------------------------------------------------------------------
    // Every change records an undo record unless noundo; outside an update it marks the document
    // changed as described at each operation and fires OnChange.

    // Inserts bb at curx, or overwrites the byte there in overwrite mode (at the end of the text
    // overwrite mode inserts). The caret does not move.
    void insertchar(uint8_t bb);
    // Inserts len bytes at curx; caret and anchor move behind them.
    void insertText(const uint8_t *bytes, int64_t len);
    void insertText(const std::string &text);
    // Deletes the byte at curx; isbackspace marks a deletion made by Backspace. The caller
    // moves the caret and repaints.
    void deletechar(bool isbackspace);
    // Deletes the selection; caret and anchor at its start.
    void deleteRange();
    void DeleteSelected();
    // A typed character: 8 is Backspace, 13 is Enter; with Ctrl (and no Alt) nothing is typed.
    void KeyPress(uint8_t ch, bool ctrl = false, bool alt = false);

    // Line operations on the line the line reader read last; they keep lpos consistent.
    void ReplaceLine(const std::string &s); // the line with its break becomes s + CR LF
    void DeleteLine();
    void MarkLine();
    // A bulk update: one undo group, no repaint until EndUpdate, which puts caret and view at
    // the start and marks the document changed.
    void BeginUpdate();
    void EndUpdate();

    void SetChanged();
    // The owner's caption for the document state: maincap + " - [name*]" (or "]" when
    // unchanged); maincap alone with donotsetcaption0.
    std::string CaptionText() const;
    void setdonotsetcaption0(bool value) { donotsetcaption0 = value; }

    void Undo();
    void ReDo();
    bool CanUndo() const { return undos.Count() > 0 && undone > 0; }
    bool CanRedo() const { return undos.Count() > 0 && undone < int64_t(undos.Count()); }
    void FreeUndoneUndos();
    void StartUndoGroup();
    void EndUndoGroup() { isinoneundogroup = false; }
    // Releases every record and its buffers.
    void ClearUndo();

    // ---- long operations ----------------------------------------------------------------------
    // Searching, jumping to a line and saving walk the whole text; they call this hook now and
    // then (editorprogress.h), and stop when it returns false: a cancelled search leaves caret
    // and selection as they were and says nothing, a cancelled jump does nothing, a cancelled
    // save leaves the file, the text and its state untouched. Without a hook they run to the
    // end.
    TProgressHook progress;
    // Whether the last of these operations was stopped through the hook.
    bool cancelled = false;

    // ---- search, replace and jumps (editorsearch.cpp) ---------------------------------------
    // Searches forward from the caret and selects the match with the caret behind it; message
    // 17 when there is none (caret and selection stay). False when nothing was selected.
    bool Weitersuchen(TSearchSettings &settings);
    // Replaces the next match from the caret and selects the replacement; with replaceAll every
    // match from there on, as one undo group. False when no match was found. Replacing all and
    // cancelled, the replacements made so far stay (one undo group, as at the end).
    bool WeiterSuchenundErsetzen(TReplaceSettings &settings);
    // Puts the caret, without a selection, at the offset given as decimal or (hex) hexadecimal
    // text; offsets beyond the text go to its end. False, with message 19, for no number.
    bool AnPositionspringen(const std::string &text, bool hex);

    TUndo *aundo = nullptr;  // the undo list's current record
    TUndoList undos{&aundo}; // oldest first
    int64_t undone = 0;      // records 0 .. undone-1 are in effect, the rest can be redone
    int32_t aundogroup = 0;  // last group number handed out
    bool isinoneundogroup = false;
    bool onlyonestep = false; // Undo/ReDo act on one record
    bool noundo = false;      // replaying records: record nothing
    bool inupdate = false;
    bool insertuppercase = false;
    bool donotsetcaption0 = false;
    std::string maincap;

private:
    void closeFile();
    bool writeDocumentTo(const std::string &fname);
    void noticeShorterFile();
    bool copyToOutput(OutputFile &out, int64_t pos, int64_t len, TProgressTicker &progress);
    void gridMetrics();
    void layout();
    int64_t rowStartOf(int64_t pos);
    void setStatus(const std::string &text);
    bool adjustHorizontalScroll();
    void placeCaret();
    void createCaret();
    int64_t lastCellOfRow(int64_t row) const;
    // The line reader's window: a stretch of the text around lpos.
    bool loadLineWindow(int64_t pos);
    bool lineWindowHolds(int64_t pos) const;
    // A byte near the line reader's window (read through the store outside it).
    uint8_t byteAfterBreak(int64_t pos);
    // Where the line following the break byte at pos starts (CR LF is one break).
    int64_t breakEnd(int64_t pos);
    // Where the line count lines after the one starting at pos starts; size() when the text
    // has fewer or progress asked to stop.
    int64_t skipLines(int64_t pos, int64_t count, TProgressTicker &progress);
    int64_t lineWindowEnd() const { return lineWindowStart + int64_t(lineWindow.size()); }

    void autoScroll(int x, int y);
    int lastMouseX = 0, lastMouseY = 0; // the last mouse move, replayed after wheel scrolling
    bool haveLastMouse = false;

    EditorView defaultView;
    EditorView *view;
    std::unique_ptr<TMemory> store;
    int fd = -1;

    bool wordwarp0 = false, leftbar0 = false;
    int clientWidth = 200, clientHeight = 200;
    std::vector<int64_t> posses;
    std::string statusText;
    mutable bool fileLinePending = false;

    std::vector<uint8_t> lineWindow;
    int64_t lineWindowStart = 0;
    const TMemory *lineWindowStore = nullptr;
    uint64_t lineWindowGeneration = 0;

    // ---- editing and undo
    // The line window is valid from here on (a line operation leaves the bytes before its new
    // line end stale).
    int64_t lineWindowValidFrom = 0;
    TUndo *newUndo();
    template <typename Apply> void replayGroup(bool undoing, Apply apply);
    void takeBackRecording(TUndo *merged, const MergeBackup &backup, bool made);
    bool recordDeletionOf(int64_t pos, int64_t len, int64_t incdelpos);
    void storeReplaced(int64_t oldEnd, int64_t newEnd, bool windowWasCurrent);
    void silentUpdateCaretPos();
};

} // namespace morvilo
