#include "editor/texteditorlf.h"

#include <QClipboard>
#include <QMenu>
#include <QMimeData>
#include <QPrinter>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QWheelEvent>
#include <QtTest>

using morvilo::TTextEditorLF;

class TextEditorLFTest : public QObject {
    Q_OBJECT

    QTemporaryDir folder;
    int opened = 0;

    // A shown editor holding text, 640 x 400 pixels.
    std::unique_ptr<TTextEditorLF> editorWith(const QByteArray &text) {
        auto editor = std::make_unique<TTextEditorLF>();
        editor->doCNCHilight = true;
        editor->resize(640, 400);
        const QString path = folder.filePath(QString("doc%1.nc").arg(opened++));
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(text);
        file.close();
        editor->show();
        editor->activateWindow();
        editor->setFocus();
        (void)QTest::qWaitForWindowExposed(editor.get());
        editor->core().OpenFileWithName(path.toStdString());
        editor->core().UpdateCaretPos(true, false, false);
        return editor;
    }

    // Pixel position of the middle of cell (row, column) in the viewport.
    static QPoint cellPoint(const TTextEditorLF &e, int row, int column, double across = 0.5) {
        const auto &c = e.core();
        return QPoint(int(c.sx + c.wid * (column + across)), int(c.sy + c.hei * row + c.hei / 2));
    }

    // The colours that appear in a cell of the rendered image.
    static QSet<QRgb> cellColours(const TTextEditorLF &e, int row, int column) {
        const auto &c = e.core();
        QSet<QRgb> colours;
        for (int y = c.sy + c.hei * row; y < c.sy + c.hei * (row + 1); ++y)
            for (int x = c.sx + c.wid * column; x < c.sx + c.wid * (column + 1); ++x)
                colours.insert(e.bit().pixel(x, y) & 0xFFFFFF);
        return colours;
    }

private slots:
    void colouringFollowsTheGCodeRule() {
        const QByteArray line = "N10 G01 X12.5 (comment), #1=5";
        auto e = editorWith(line);
        QFont crisp = e->font0(); // whole pixels only, so that colours can be read exactly
        crisp.setStyleStrategy(QFont::NoAntialias);
        e->SetFont0(crisp);
        e->core().markx = e->core().curx = 0; // no selection on screen
        e->core().Paint();
        const QRgb blue = 0x0000FF, red = 0xDD0000, green = 0x008000, grey = 0x808080,
                   black = 0x000000;
        for (int column = 0; column < line.size(); ++column) {
            const char c = line[column];
            if (c == ' ')
                continue;
            QRgb want = black;
            if (column >= 14 && column <= 22)
                want = grey; // "(comment)", both brackets included
            else if (c == '#' || c == '=')
                want = green;
            else if (std::isalpha(uchar(c)))
                want = blue;
            else if (std::isdigit(uchar(c)) || c == '.')
                want = red;
            QVERIFY2(cellColours(*e, 0, column).contains(want),
                     qPrintable(QString("column %1 '%2'").arg(column).arg(c)));
        }
        // The comma after the comment keeps the font colour.
        QVERIFY(!cellColours(*e, 0, 23).contains(grey));
    }

    void selectionIsInvertedButNotTheLfOfACrLf() {
        auto e = editorWith("G1\r\n");
        e->core().markx = 0;
        e->core().curx = 4;
        e->core().UpdateCaretPos(true, true, false);
        QVERIFY(cellColours(*e, 0, 0).contains(0x000000)); // inverted background: black
        const QSet<QRgb> afterBreak = cellColours(*e, 1, 0);
        QVERIFY(afterBreak.contains(0xFFFFFF) && !afterBreak.contains(0x000000));
    }

    void clickPlacesTheCaretAtTheNearestBoundary() {
        auto e = editorWith("G01 X10\r\nG00");
        QTest::mouseClick(e->viewport(), Qt::LeftButton, {}, cellPoint(*e, 0, 1, 0.75));
        QCOMPARE(e->core().curx, int64_t(2)); // right half of "0": after it
        QTest::mouseClick(e->viewport(), Qt::LeftButton, {}, cellPoint(*e, 0, 1, 0.25));
        QCOMPARE(e->core().curx, int64_t(1)); // left half: before it
        QTest::mouseClick(e->viewport(), Qt::LeftButton, {}, cellPoint(*e, 0, 30));
        QCOMPARE(e->core().curx, int64_t(7)); // right of the line: its break
        QTest::mouseClick(e->viewport(), Qt::LeftButton, {}, cellPoint(*e, 5, 2));
        QCOMPARE(e->core().curx, e->core().size()); // below the text: its end
        QTest::mouseClick(e->viewport(), Qt::LeftButton, Qt::ShiftModifier, cellPoint(*e, 0, 4));
        QCOMPARE(e->core().markx, e->core().size()); // Shift extends from the anchor
        QCOMPARE(e->core().curx, int64_t(4));
    }

    void doubleClickSelectsTheWord() {
        auto e = editorWith("G01 X10.5 Y2");
        QTest::mouseDClick(e->viewport(), Qt::LeftButton, {}, cellPoint(*e, 0, 6));
        QCOMPARE(e->core().curx, int64_t(4));  // the caret at the word's start
        QCOMPARE(e->core().markx, int64_t(7)); // the point is no word byte
    }

    void dragSelectsAndFollowsTheMouse() {
        auto e = editorWith("G01 X10\r\nG00 Y20\r\n");
        QWidget *v = e->viewport();
        QTest::mousePress(v, Qt::LeftButton, {}, cellPoint(*e, 0, 1, 0.25));
        QMouseEvent move(QEvent::MouseMove, cellPoint(*e, 1, 3, 0.25),
                         v->mapToGlobal(cellPoint(*e, 1, 3, 0.25)), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(v, &move);
        QTest::mouseRelease(v, Qt::LeftButton, {}, cellPoint(*e, 1, 3, 0.25));
        QCOMPARE(e->core().markx, int64_t(1));
        QCOMPARE(e->core().curx, int64_t(12));
        QVERIFY(!e->core().insetpos);
    }

    void draggingBelowTheBottomScrollsOneLinePerMove() {
        QByteArray text;
        for (int i = 0; i < 200; ++i)
            text += "N" + QByteArray::number(i) + "\n";
        auto e = editorWith(text);
        QWidget *v = e->viewport();
        QTest::mousePress(v, Qt::LeftButton, {}, cellPoint(*e, 0, 0, 0.25));
        const QPoint below(40, v->height() - 2);
        for (int i = 0; i < 3; ++i) {
            QMouseEvent move(QEvent::MouseMove, below, v->mapToGlobal(below), Qt::NoButton,
                             Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(v, &move);
        }
        QTest::mouseRelease(v, Qt::LeftButton, {}, below);
        QCOMPARE(e->core().posy, int64_t(text.indexOf("N3\n")));
        QCOMPARE(e->core().markx, int64_t(0));
        QVERIFY(e->core().curx > int64_t(text.indexOf("N20\n"))); // the selection grew
    }

    void wheelScrollsThreeThenFourLines() {
        QByteArray text;
        for (int i = 0; i < 200; ++i)
            text += "N" + QByteArray::number(i) + "\n";
        auto e = editorWith(text);
        e->core().SetPosy(text.indexOf("N100\n")); // realigns one line up, onto N99
        QCOMPARE(e->core().posy, int64_t(text.indexOf("N99\n")));
        auto notch = [&] {
            const QPointF at = cellPoint(*e, 2, 2);
            QWheelEvent wheel(at, e->viewport()->mapToGlobal(at), QPoint(), QPoint(0, 120),
                              Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(e->viewport(), &wheel);
        };
        notch();
        QCOMPARE(e->core().posy, int64_t(text.indexOf("N96\n")));
        notch();
        QCOMPARE(e->core().posy, int64_t(text.indexOf("N92\n")));
    }

    void thumbInTheMiddleShowsALineNearTheMiddle() {
        QByteArray text;
        for (int i = 0; i < 1000; ++i)
            text += "N" + QByteArray::number(i) + " G1 X" + QByteArray::number(i) + "\r\n";
        auto e = editorWith(text);
        e->verticalScrollBar()->setSliderPosition(32767);
        e->verticalScrollBar()->triggerAction(QAbstractSlider::SliderMove);
        const int64_t posy = e->core().posy;
        QVERIFY(posy > 0 && text[int(posy) - 1] == '\n'); // the start of a line
        QVERIFY(qAbs(double(posy) / text.size() - 0.5) < 0.01);
        QCOMPARE(e->verticalScrollBar()->value(), int(posy * 65535 / text.size()));
    }

    void keysMoveAndShiftSelects() {
        auto e = editorWith("G1 X1\nG1 X2\nG1 X3\n");
        QTest::keyClick(e.get(), Qt::Key_Down, Qt::ShiftModifier);
        QTest::keyClick(e.get(), Qt::Key_Right, Qt::ShiftModifier);
        QCOMPARE(e->core().markx, int64_t(0));
        QCOMPARE(e->core().curx, int64_t(7));
        QTest::keyClick(e.get(), Qt::Key_Down);
        QCOMPARE(e->core().curx, e->core().markx);
        QTest::keyClick(e.get(), Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(e->core().curx, e->core().size());
        QCOMPARE(e->core().markx, int64_t(0));
    }

    static QByteArray textOf(TTextEditorLF &e) {
        QByteArray bytes(int(e.core().size()), '\0');
        e.core().mem().CopyOut(0, bytes.size(), reinterpret_cast<uint8_t *>(bytes.data()));
        return bytes;
    }
    void placeCaret(TTextEditorLF &e, int64_t offset) {
        e.core().curx = e.core().markx = offset;
        e.core().UpdateCaretPos(true, false, false);
    }

    void typingDeletingUndoAndRedoThroughKeys() {
        auto e = editorWith("G01 X10\r\nX2");
        placeCaret(*e, 4);
        QTest::keyClicks(e.get(), "ab");
        QCOMPARE(textOf(*e), QByteArray("G01 abX10\r\nX2"));
        QTest::keyClick(e.get(), Qt::Key_Z, Qt::ControlModifier); // merged typing: one step
        QCOMPARE(textOf(*e), QByteArray("G01 X10\r\nX2"));
        QTest::keyClick(e.get(), Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(textOf(*e), QByteArray("G01 abX10\r\nX2"));
        QTest::keyClick(e.get(), Qt::Key_Z, Qt::ControlModifier);

        placeCaret(*e, 9); // the start of the second line: Backspace takes the whole CR LF
        QTest::keyClick(e.get(), Qt::Key_Backspace);
        QCOMPARE(textOf(*e), QByteArray("G01 X10X2"));
        QTest::keyClick(e.get(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(textOf(*e), QByteArray("G01 X10\r\nX2"));

        placeCaret(*e, 1); // forward Delete three times, undone in one step
        for (int i = 0; i < 3; ++i)
            QTest::keyClick(e.get(), Qt::Key_Delete);
        QCOMPARE(textOf(*e), QByteArray("GX10\r\nX2"));
        QTest::keyClick(e.get(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(textOf(*e), QByteArray("G01 X10\r\nX2"));

        // New typing after an undo discards what could have been redone.
        placeCaret(*e, 11);
        QTest::keyClicks(e.get(), "5");
        QTest::keyClick(e.get(), Qt::Key_Z, Qt::ControlModifier);
        QTest::keyClicks(e.get(), "7");
        QTest::keyClick(e.get(), Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(textOf(*e), QByteArray("G01 X10\r\nX27"));

        // Ctrl+letter types nothing.
        QTest::keyClick(e.get(), Qt::Key_B, Qt::ControlModifier);
        QCOMPARE(textOf(*e), QByteArray("G01 X10\r\nX27"));
    }

    void overwriteModeOverG01() {
        auto e = editorWith("G01 X10");
        placeCaret(*e, 2);
        QTest::keyClick(e.get(), Qt::Key_Insert);
        QTest::keyClicks(e.get(), "2");
        QCOMPARE(textOf(*e), QByteArray("G02 X10"));
        placeCaret(*e, 7); // at the end overwrite mode inserts
        QTest::keyClicks(e.get(), "5");
        QCOMPARE(textOf(*e), QByteArray("G02 X105"));
    }

    void caretExistsOnlyWithFocus() {
        auto e = editorWith("G1");
        QVERIFY(e->hasFocus());
        QVERIFY(e->caretExists());
        QCOMPARE(e->caretRect().width(), 2); // insert mode: thin
        QTest::keyClick(e.get(), Qt::Key_Insert);
        QCOMPARE(e->caretRect().width(), e->core().wid); // overwrite mode: a block
        e->clearFocus();
        QVERIFY(!e->caretExists());
    }

    void captionFollowsTheDocumentState() {
        QWidget owner;
        owner.setWindowTitle("Vantrel Morvilo 1.0");
        auto *e = new TTextEditorLF(&owner);
        e->core().FileNew();
        QCOMPARE(owner.windowTitle(), QString("Vantrel Morvilo 1.0 - [unbenannt.txt]"));
        owner.show();
        e->setFocus();
        QTest::keyClicks(e, "G");
        QCOMPARE(owner.windowTitle(), QString("Vantrel Morvilo 1.0 - [unbenannt.txt*]"));
        e->core().setdonotsetcaption0(true);
        owner.setWindowTitle("kept");
        QTest::keyClicks(e, "1");
        QCOMPARE(owner.windowTitle(), QString("kept"));
    }

    void openingFailureGoesToTheErrorBox() {
        TTextEditorLF e;
        QString shown;
        e.errorBox = [&](const QString &message) { shown = message; };
        QVERIFY(!e.core().OpenFileWithName(folder.filePath("missing.nc").toStdString()));
        QCOMPARE(shown, "Die Datei konnte nicht geöffnet werden!\n" +
                            folder.filePath("missing.nc") + "\nDatei oder Ordner nicht vorhanden");
    }

    void clipboardKeepsEveryByteOnlyInItsOwnFormat() {
        auto e = editorWith(QByteArray("AB\0CD\r\nEF", 9));
        e->core().SelectAll();
        e->copytoclipboard();
        const QMimeData *data = QApplication::clipboard()->mimeData();
        QVERIFY(!data->hasText());
        QCOMPARE(data->data(TTextEditorLF::kClipboardFormat),
                 QByteArray("\x09\0\0\0AB\0CD\r\nEF", 13));
        e->copytoclipboardasText();
        QCOMPARE(QApplication::clipboard()->text(), QString("AB")); // ends at the 0 byte

        // Both formats offered: ours wins. Pasting over a selection is two undo records.
        auto *both = new QMimeData;
        both->setText("text");
        both->setData(TTextEditorLF::kClipboardFormat, QByteArray("\x03\0\0\0X\0Y", 7));
        QApplication::clipboard()->setMimeData(both);
        QVERIFY(e->CanPaste());
        e->core().markx = 0;
        e->core().curx = 2;
        const auto records = e->core().undos.Count();
        e->PasteFromClipBoard();
        QCOMPARE(e->core().undos.Count(), records + 2);
        QCOMPARE(e->core().size(), int64_t(10));
        QCOMPARE(e->core().ByteAt(1), uint8_t(0));
        QCOMPARE(e->core().curx, int64_t(3));

        // Text in the Western code page, cut removing the selection.
        QApplication::clipboard()->setText(QString::fromUtf8("€ä"));
        e->core().markx = e->core().curx = 0;
        e->PasteFromClipBoard();
        QCOMPARE(e->core().ByteAt(0), uint8_t(0x80));
        QCOMPARE(e->core().ByteAt(1), uint8_t(0xE4));
        e->core().markx = 0;
        e->core().curx = 2;
        e->CutToClipBoard();
        QCOMPARE(QApplication::clipboard()->text(), QString::fromUtf8("€ä"));
        QCOMPARE(e->core().size(), int64_t(10));
    }

    void contextMenuFollowsSelectionAndClipboard() {
        auto e = editorWith("G01 X10\r\n");
        QApplication::clipboard()->clear();
        QTest::mousePress(e->viewport(), Qt::RightButton, {}, cellPoint(*e, 0, 4, 0.25));
        QCOMPARE(e->core().curx, int64_t(4)); // the caret went to the point
        const QList<QAction *> items = e->popupmenu1->actions();
        QCOMPARE(items.size(), 5);
        QCOMPARE(items[2]->text(), QString::fromUtf8("Kopieren mit Binärdaten"));
        for (QAction *a : items)
            QVERIFY2(!a->isEnabled(), qPrintable(a->objectName()));
        e->popupmenu1->hide();
        e->core().SelectAll();
        QApplication::clipboard()->setText("X");
        QTest::mousePress(e->viewport(), Qt::RightButton, {}, cellPoint(*e, 0, 4, 0.25));
        QCOMPARE(e->core().markx, int64_t(0)); // a selection stays
        for (QAction *a : items)
            QVERIFY2(a->isEnabled(), qPrintable(a->objectName()));
        e->popupmenu1->hide();
    }

    void droppingTheSelectionMovesOrCopiesIt_data() {
        QTest::addColumn<int>("dropColumn");
        QTest::addColumn<bool>("ctrl");
        QTest::addColumn<QByteArray>("result");
        QTest::newRow("inside") << 4 << false << QByteArray("ABCDEFGHIJ");
        QTest::newRow("copy") << 8 << true << QByteArray("ABCDEFGHCDEIJ");
        QTest::newRow("before") << 0 << false << QByteArray("CDEABFGHIJ");
        QTest::newRow("after") << 8 << false << QByteArray("ABFGHCDEIJ");
    }

    void droppingTheSelectionMovesOrCopiesIt() {
        QFETCH(int, dropColumn);
        QFETCH(bool, ctrl);
        QFETCH(QByteArray, result);
        auto e = editorWith("ABCDEFGHIJ");
        e->core().markx = 2; // "CDE"
        e->core().curx = 5;
        e->core().UpdateCaretPos(true, true, false);
        QWidget *v = e->viewport();
        QTest::mousePress(v, Qt::LeftButton, {}, cellPoint(*e, 0, 3, 0.25));
        QVERIFY(e->core().indraganddrop);
        const QPoint drop = cellPoint(*e, 0, dropColumn, 0.25);
        QMouseEvent move(QEvent::MouseMove, drop, v->mapToGlobal(drop), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(v, &move);
        QTest::mouseRelease(v, Qt::LeftButton, ctrl ? Qt::ControlModifier : Qt::NoModifier, drop);
        QVERIFY(!e->core().indraganddrop);
        QByteArray text(int(e->core().size()), '\0');
        e->core().mem().CopyOut(0, e->core().size(), reinterpret_cast<uint8_t *>(text.data()));
        QCOMPARE(text, result);
        if (dropColumn == 4)
            QCOMPARE(e->core().curx, int64_t(4));
    }

    void printingPaginatesByTheMargin() {
        QByteArray text;
        for (int i = 1; i <= 200; ++i)
            text += "N" + QByteArray::number(i) + " G1 X" + QByteArray::number(i) + "\r\n";
        auto e = editorWith(text);
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        const QString pdf = folder.filePath("print.pdf");
        printer.setOutputFileName(pdf);
        // A page that holds exactly 60 lines between the 25 mm margins.
        const int resolution = printer.resolution();
        const int lineHeight = QFontMetrics(QFont(e->font0(), &printer)).height();
        const int margin = int(25.0 / 25.39995 * resolution);
        const double heightMm = (2 * margin + 60.5 * lineHeight) / resolution * 25.4;
        printer.setPageSize(QPageSize(QSizeF(210, heightMm), QPageSize::Millimeter));
        printer.setPageMargins(QMarginsF(0, 0, 0, 0));
        QCOMPARE(e->Drucken(printer, "CNC Quellcode"), 4);
        QCOMPARE(printer.docName(), QString("CNC Quellcode"));
        QFile file(pdf);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QCOMPARE(bytes.count("/Type /Page\n") + bytes.count("/Type /Page\r"), 4);
    }
};

QTEST_MAIN(TextEditorLFTest)
#include "texteditorlf_test.moc"
