// TTextEditorLF: the clipboard, the context menu, drag-and-drop of the selection and printing.

#include "editor/searchdialogs.h"
#include "editor/texteditorlf.h"

#include <QApplication>
#include <QClipboard>
#include <QFontMetrics>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPrinter>

#include <algorithm>
#include <climits>
#include <cstring>

namespace morvilo {

const char *const TTextEditorLF::kClipboardFormat = "application/x-vantreltelf";

namespace {

std::string upToFirstZero(std::string bytes) {
    bytes.resize(std::min(bytes.size(), bytes.find('\0')));
    return bytes;
}

} // namespace

std::string TTextEditorLF::selectedBytes() const {
    const int64_t from = std::min(editor.curx, editor.markx);
    const int64_t to = std::max(editor.curx, editor.markx);
    std::string bytes(size_t(to - from), '\0');
    const int64_t got = const_cast<TMemory &>(editor.mem())
                            .CopyOut(from, to - from, reinterpret_cast<uint8_t *>(bytes.data()));
    bytes.resize(size_t(std::max<int64_t>(got, 0)));
    return bytes;
}

void TTextEditorLF::copytoclipboard() {
    if (!editor.IsSomethingSelected())
        return;
    const int64_t n = std::abs(editor.curx - editor.markx);
    if (n > INT32_MAX) {
        // The format counts in 32 bits: a larger selection is refused, not cut short.
        errorBox(QString::fromStdString(
            editor.messages.Translate("Die Markierung ist zu groß für die Zwischenablage.")));
        return;
    }
    const std::string bytes = selectedBytes();
    QByteArray payload(4, '\0');
    const uint32_t count = uint32_t(bytes.size());
    for (int i = 0; i < 4; ++i)
        payload[i] = char(count >> (8 * i));
    payload.append(bytes.data(), qsizetype(bytes.size()));
    auto *data = new QMimeData;
    data->setData(kClipboardFormat, payload);
    QApplication::clipboard()->setMimeData(data);
}

void TTextEditorLF::copytoclipboardasText() {
    std::string bytes = editor.IsSomethingSelected() ? selectedBytes() : std::string();
    QApplication::clipboard()->setText(DocumentTextOf(upToFirstZero(std::move(bytes))));
}

void TTextEditorLF::CutToClipBoard() {
    copytoclipboardasText();
    if (editor.IsSomethingSelected()) {
        editor.deleteRange();
        editor.UpdateCaretPos(true, false, false);
    }
}

bool TTextEditorLF::CanPaste() const {
    const QMimeData *data = QApplication::clipboard()->mimeData();
    return data && (data->hasFormat(kClipboardFormat) || data->hasText());
}

void TTextEditorLF::PasteFromClipBoard() {
    const QMimeData *data = QApplication::clipboard()->mimeData();
    if (!data)
        return;
    if (data->hasFormat(kClipboardFormat)) {
        const QByteArray payload = data->data(kClipboardFormat);
        if (payload.size() < 4)
            return;
        uint32_t count = 0;
        for (int i = 0; i < 4; ++i)
            count |= uint32_t(uint8_t(payload[i])) << (8 * i);
        // A count beyond the bytes present (another program's damaged data) takes what is there.
        const size_t n = std::min<size_t>(count & 0x7FFFFFFFu, size_t(payload.size() - 4));
        insertReplacingSelection(payload.mid(4, qsizetype(n)).toStdString());
    } else if (data->hasText()) {
        insertReplacingSelection(upToFirstZero(DocumentBytesOf(data->text())));
    }
}

void TTextEditorLF::insertReplacingSelection(const std::string &bytes) {
    if (editor.IsSomethingSelected())
        editor.deleteRange();
    editor.insertText(bytes);
    editor.UpdateCaretPos(true, false, false);
}

// A dragged selection dropped at dragx outside itself goes there through the clipboard.
void TTextEditorLF::DropSelection(int64_t dragx, bool copy) {
    const int64_t from = std::min(editor.curx, editor.markx);
    const int64_t to = std::max(editor.curx, editor.markx);
    if (copy) {
        copytoclipboard();
        editor.curx = editor.markx = dragx;
        PasteFromClipBoard();
    } else if (dragx < from) {
        CutToClipBoard();
        editor.curx = editor.markx = dragx;
        PasteFromClipBoard();
    } else {
        // The insertion lies behind the selection, so its offsets still hold afterwards.
        copytoclipboard();
        editor.curx = editor.markx = dragx;
        PasteFromClipBoard();
        editor.markx = from;
        editor.curx = to;
        editor.deleteRange();
        editor.UpdateCaretPos(true, false, false);
    }
}

void TTextEditorLF::createContextMenu() {
    popupmenu1 = new QMenu(this);
    popupmenu1->setObjectName("popupmenu1");
    auto item = [this](const char *name, int message, void (TTextEditorLF::*action)()) {
        QAction *a =
            popupmenu1->addAction(QString::fromStdString(editor.messages.GetTranslation(message)));
        a->setObjectName(name);
        connect(a, &QAction::triggered, this, action);
    };
    item("cutitem", kMsgCut, &TTextEditorLF::CutToClipBoard);
    item("copyitem", kMsgCopy, &TTextEditorLF::copytoclipboardasText);
    item("copyitem2", kMsgCopyBinary, &TTextEditorLF::copytoclipboard);
    item("pasteitem", kMsgPaste, &TTextEditorLF::PasteFromClipBoard);
    QAction *del =
        popupmenu1->addAction(QString::fromStdString(editor.messages.GetTranslation(kMsgDelete)));
    del->setObjectName("deleteitem");
    connect(del, &QAction::triggered, this, [this] { editor.DeleteSelected(); });
}

void TTextEditorLF::showContextMenu(const QPoint &at) {
    if (!editor.IsSomethingSelected()) {
        editor.MakeMausClick(at.x(), at.y(), false, true);
        editor.UpdateCaretPos(true, false, false);
    }
    const bool selected = editor.IsSomethingSelected();
    for (QAction *a : popupmenu1->actions())
        a->setEnabled(a->objectName() == "pasteitem" ? CanPaste() : selected);
    popupmenu1->popup(viewport()->mapToGlobal(at));
}

int TTextEditorLF::Drucken(QPrinter &printer, const QString &title) {
    printer.setDocName(title);
    QPainter painter;
    if (!painter.begin(&printer))
        return 0;
    const int margin = int(printbordermm / zoll2mm * printer.resolution());
    painter.setFont(QFont(editorFont, &printer));
    const QFontMetrics metrics = painter.fontMetrics();
    const int blankHeight = metrics.height();
    const int pageHeight = printer.height();
    int pages = 1;
    int y = margin;
    bool pageFull = false;
    editor.FirstLine();
    while (editor.NextLine()) {
        // The next page starts with the line that no longer fits (never an empty last page).
        if (pageFull) {
            printer.newPage();
            ++pages;
            y = margin;
        }
        const QString text = editor.line.empty() ? QString(" ") : DocumentTextOf(editor.line);
        painter.drawText(margin, y + metrics.ascent(), text);
        y += metrics.height();
        pageFull = y > pageHeight - margin - blankHeight;
    }
    painter.end();
    return pages;
}

} // namespace morvilo
