// The program facts in the window: the status bar's line after a run (computed on a worker
// after the run has returned), "Programm-Info..." with its warnings that jump to their lines,
// and measuring between two plot points.

#include "app/mainform.h"
#include "app/plotbox.h"
#include "app/programinfoform.h"
#include "app/statuspane.h"
#include "editor/texteditorlf.h"
#include "temporaryhome.h"

#include <QLabel>
#include <QListWidget>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QtTest>

#include <memory>

using namespace morvilo;

class FactsWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> home;

    QString programFile(const QString &name, const QByteArray &program) {
        QFile file(home->filePath(name));
        file.open(QIODevice::WriteOnly);
        file.write(program);
        return file.fileName();
    }

    // A run, and the wait for its facts: true when they came.
    static bool runAndWaitForFacts(TMainform &form) {
        QSignalSpy ready(&form.backplot, &TBackplotDocument::factsReady);
        form.CalcBtnClick();
        return ready.wait(20000) || !ready.isEmpty();
    }

    // The window with a program run in the XY view, zoomed to fit, its facts shown.
    std::unique_ptr<TMainform> plotted(const QByteArray &program) {
        auto form = std::make_unique<TMainform>(home->path());
        form->errorBox = [](const QString &) {};
        form->infoBox = [](const QString &) {};
        form->saveQuestion = [] { return QMessageBox::Cancel; };
        form->show();
        form->PageControl1->setCurrentIndex(1);
        form->OpenFileWithName(programFile("program.nc", program));
        form->action("ToolButton1")->trigger(); // XY
        if (!runAndWaitForFacts(*form))
            return nullptr;
        form->action("ToolButton17")->trigger(); // zoom to fit
        return form;
    }

    // Many moves: their facts take a while on the worker.
    static QByteArray longProgram() {
        QByteArray program = "F600\r\n";
        for (int n = 1; n <= 200000; ++n)
            program +=
                "G1 X" + QByteArray::number(n % 1000) + " Y" + QByteArray::number(n) + "\r\n";
        return program;
    }

    QPoint pixelOf(TMainform &form, double x, double y, double z = 0) {
        int32_t sx = 0, sy = 0;
        koordmat(ViewMatrix(form.view, form.PaintBox1->width(), form.PaintBox1->height()), x, y, z,
                 0, 0, 0, 0, 0, 0, sx, sy);
        return QPoint(sx, sy);
    }

private slots:
    void init() { home = UseTemporaryHome(); }

    void statusBarShowsTimeAndExtentsAfterEachRun() {
        // 102 mm at 600 mm/min: 10.2 s, and 0.02 s more to speed up and slow down.
        auto form = plotted("G1 X100 Y20 F600\r\n");
        QVERIFY(form);
        QCOMPARE(form->FactsLabel->text(),
                 QString("Laufzeit 0:00:10 (mit Beschleunigung 0:00:10), X 0.000 .. 100.000, "
                         "Y 0.000 .. 20.000, Z 0.000 .. 0.000"));
        form->memo1->core().SelectAll();
        form->memo1->core().DeleteSelected();
        form->CalcBtnClick();
        QTRY_VERIFY(form->FactsLabel->text().startsWith("Laufzeit 0:00:00"));
    }

    // The run returns before its facts are known; facts still being computed when a new run
    // starts or another text is opened are never shown, and nothing of them is read afterwards.
    void staleFactsAreNeverShown() {
        auto form = plotted(longProgram());
        QVERIFY(form);
        QVERIFY(form->FactsLabel->text().contains("X 0.000 .. 999.000"));
        QSignalSpy ready(&form->backplot, &TBackplotDocument::factsReady);

        // A new run of another text while the facts of the long one are on their way.
        form->CalcBtnClick();
        QVERIFY(ready.isEmpty()); // the run returned without them
        form->memo1->core().SelectAll();
        form->memo1->core().DeleteSelected();
        form->CalcBtnClick();
        QTRY_COMPARE(ready.size(), 1);
        QVERIFY(form->FactsLabel->text().startsWith("Laufzeit 0:00:00"));
        QTest::qWait(50);
        QCOMPARE(ready.size(), 1);

        // Another text opened while they are on their way: the status bar and the open
        // "Programm-Info" forget the facts, and the late result does not bring them back.
        QVERIFY(form->OpenFileWithName(programFile("long.nc", longProgram())));
        QVERIFY(runAndWaitForFacts(*form));
        form->action("ProgrammInfo1")->trigger();
        ready.clear();
        form->CalcBtnClick();
        QVERIFY(form->OpenFileWithName(programFile("short.nc", "G1 X7 F600\r\n")));
        QCOMPARE(form->FactsLabel->text(), QString());
        QCOMPARE(form->ProgramInfoForm->FactsTable->item(0, 1)->text(), QString("0"));
        QTRY_VERIFY(!form->backplot.FactsPending());
        QTest::qWait(50);
        QVERIFY(ready.isEmpty());
        QCOMPARE(form->FactsLabel->text(), QString());
        QCOMPARE(form->backplot.facts.blocks, uint64_t(0));
        QVERIFY(runAndWaitForFacts(*form));
        QVERIFY(form->FactsLabel->text().contains("X 0.000 .. 7.000"));
        QCOMPARE(form->ProgramInfoForm->FactsTable->item(0, 1)->text(), QString("1"));

        // The window closed while the facts and the fit's picture of a fresh program are on
        // their way: their threads end before the plot list goes.
        QVERIFY(form->OpenFileWithName(programFile("long.nc", longProgram())));
        form->CalcBtnClick();
        form.reset();
    }

    // The caret's place stays readable at the left of the status bar, with the file's own line
    // beside the line of the display; the figures beside it give way, cut with "…", each in its
    // own room.
    void statusBarKeepsTheCaretLineWhole() {
        QByteArray program;
        for (int n = 1; n <= 40; ++n)
            program += "G1 X" + QByteArray::number(n * 1000) + " Y-12345.678 Z-987.654 F600\r\n";
        auto form = plotted(program);
        QVERIFY(form);
        form->resize(783, 540);
        form->memo1->core().curx = program.indexOf("X30000");
        form->memo1->core().UpdateCaretPos(true, false, false);
        QCoreApplication::processEvents();
        const auto *message = static_cast<TStatusPane *>(form->MessagePane);
        const auto *facts = static_cast<TStatusPane *>(form->FactsLabel);
        QVERIFY2(message->text().contains("Zeile in Datei: 30;"), qPrintable(message->text()));
        QCOMPARE(form->statusBar()->currentMessage(), message->text());
        QVERIFY(!message->Cut());
        QVERIFY(facts->Cut());
        QVERIFY(!message->geometry().intersects(facts->geometry()));
        QVERIFY(facts->geometry().right() <= form->statusBar()->width());
        form->resize(1900, 540);
        QCoreApplication::processEvents();
        QVERIFY(!facts->Cut());
    }

    void programInfoListsFactsAndJumpsToWarnings() {
        auto form = plotted("G1 X10\r\nG0 Z5\r\nG2 X20 Y0 R1 F100\r\n");
        QVERIFY(form);
        form->action("ProgrammInfo1")->trigger();
        TProgramInfoForm *info = form->ProgramInfoForm;
        QVERIFY(info->isVisible());
        QCOMPARE(info->FactsTable->item(0, 0)->text(), QString("Sätze"));
        QCOMPARE(info->FactsTable->item(0, 1)->text(), QString("3"));
        QCOMPARE(info->WarningsList->count(), 2);
        QCOMPARE(info->WarningsList->item(0)->text(),
                 QString("Zeile 1: Vorschubbewegung vor dem ersten F-Wort"));
        QVERIFY(info->WarningsList->item(1)->text().startsWith("Zeile 3: Radius R1 zu klein"));
        form->PageControl1->setCurrentIndex(0);
        QTest::mouseClick(info->WarningsList->viewport(), Qt::LeftButton, {},
                          info->WarningsList->visualItemRect(info->WarningsList->item(1)).center());
        QCOMPARE(form->PageControl1->currentIndex(), 1);
        QCOMPARE(form->memo1->core().markx, int64_t(15)); // line 3 starts after 8 + 7 bytes
        // A new run refreshes the open dialog.
        form->memo1->core().SelectAll();
        form->memo1->core().DeleteSelected();
        QVERIFY(runAndWaitForFacts(*form));
        QCOMPARE(info->WarningsList->count(), 0);
    }

    void measureShowsTheDistanceOfTwoPlotPoints() {
        auto form = plotted("G1 X30 Y40 F100\r\nG1 Z-5\r\n");
        QVERIFY(form);
        form->action("MessenBtn")->trigger();
        QCOMPARE(form->MeasureLabel->text(), QString("Messen: ersten Punkt anklicken"));
        // Near, not on, the points: they snap.
        QTest::mousePress(form->PaintBox1, Qt::LeftButton, {}, pixelOf(*form, 0, 0) + QPoint(3, 2));
        QCOMPARE(form->MeasureLabel->text(), QString("Punkt 1: X0.000 Y0.000 Z0.000"));
        QTest::mousePress(form->PaintBox1, Qt::LeftButton, {}, pixelOf(*form, 30, 40));
        // In the XY view the points above each other share a pixel: the later one counts.
        QCOMPARE(form->MeasureLabel->text(),
                 QString("dX 30.000, dY 40.000, dZ -5.000, Abstand 50.249"));
        QVERIFY(!form->moveit); // measuring neither rotates nor pans
        // Both points are marked over the plot with a yellow ring (the first one is in the box).
        QCOMPARE(form->PaintBox1->measureMarks.size(), size_t(2));
        const QImage shown = form->PaintBox1->grab().toImage();
        const QPoint mark = pixelOf(*form, 0, 0);
        int yellow = 0;
        for (int dy = -7; dy <= 7; ++dy)
            for (int dx = -7; dx <= 7; ++dx)
                yellow += shown.valid(mark + QPoint(dx, dy)) &&
                          QColor(shown.pixel(mark + QPoint(dx, dy))) == QColor(Qt::yellow);
        QVERIFY2(yellow >= 8, qPrintable(QString::number(yellow)));
        // In 3D the same.
        form->view.rotxv = 0.7, form->view.rotzv = 0.4;
        form->PaintBox1->RepaintAll();
        QTest::mousePress(form->PaintBox1, Qt::LeftButton, {}, pixelOf(*form, 30, 40, -5));
        QTest::mousePress(form->PaintBox1, Qt::LeftButton, {}, pixelOf(*form, 0, 0));
        QCOMPARE(form->MeasureLabel->text(),
                 QString("dX -30.000, dY -40.000, dZ 5.000, Abstand 50.249"));
        QTest::mousePress(form->PaintBox1, Qt::LeftButton, {}, QPoint(1, 1));
        QCOMPARE(form->MeasureLabel->text(), QString("Kein Punkt der Bahn in der Nähe"));
        // The lathe's diameter view gives X and dX as diameters; the distance stays the length.
        form->options.diametermode = true;
        QTest::mousePress(form->PaintBox1, Qt::LeftButton, {}, pixelOf(*form, 30, 40, -5));
        QCOMPARE(form->MeasureLabel->text(), QString("Punkt 1: X60.000 Y40.000 Z-5.000"));
        QTest::mousePress(form->PaintBox1, Qt::LeftButton, {}, pixelOf(*form, 0, 0));
        QCOMPARE(form->MeasureLabel->text(),
                 QString("dX -60.000, dY -40.000, dZ 5.000, Abstand 50.249"));
    }

    // A run that draws the measured points where they were keeps the measurement; a run that
    // changes the plot begins it afresh (its marks would stand beside the new plot).
    void measurementFollowsTheRuns() {
        auto form = plotted("G1 X30 Y40 F100\r\nG1 Z-5\r\n");
        QVERIFY(form);
        form->action("MessenBtn")->trigger();
        QTest::mousePress(form->PaintBox1, Qt::LeftButton, {}, pixelOf(*form, 30, 40));
        QCOMPARE(form->MeasureLabel->text(), QString("Punkt 1: X30.000 Y40.000 Z-5.000"));
        form->CalcBtnClick();
        QCOMPARE(form->MeasureLabel->text(), QString("Punkt 1: X30.000 Y40.000 Z-5.000"));
        QCOMPARE(form->PaintBox1->measureMarks.size(), size_t(1));
        QTest::mousePress(form->PaintBox1, Qt::LeftButton, {}, pixelOf(*form, 0, 0));
        QCOMPARE(form->MeasureLabel->text(),
                 QString("dX -30.000, dY -40.000, dZ 5.000, Abstand 50.249"));
        form->CalcBtnClick();
        QCOMPARE(form->PaintBox1->measureMarks.size(), size_t(2));

        form->memo1->core().curx = 0;
        form->memo1->core().insertText("G1 X5\r\n");
        form->CalcBtnClick();
        QCOMPARE(form->MeasureLabel->text(), QString("Messen: ersten Punkt anklicken"));
        QVERIFY(form->PaintBox1->measureMarks.empty());
    }
};

QTEST_MAIN(FactsWindowTest)
#include "facts_window_test.moc"
