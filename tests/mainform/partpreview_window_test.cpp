// The machining preview in the window: the view choice "Bahn" / "Werkstück", the part milled
// after a run on a worker thread, picking in the part, the "Werkzeug" dialog with preview.dat,
// and "Werkstück exportieren...".

#include "app/mainform.h"
#include "app/partpreview.h"
#include "app/plotbox.h"
#include "app/previewtoolform.h"
#include "editor/texteditorlf.h"
#include "temporaryhome.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QProgressBar>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

#include <cmath>
#include <memory>

using namespace morvilo;

class PartPreviewWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> home;
    QStringList errors;

    // A groove along X at Z -1 and one along Y at Z -0.5, plotted from above.
    std::unique_ptr<TMainform> grooves() {
        auto form = std::make_unique<TMainform>(home->path());
        form->errorBox = [this](const QString &message) { errors << message; };
        form->saveQuestion = [] { return QMessageBox::No; };
        form->resize(783, 540);
        form->show();
        form->PageControl1->setCurrentIndex(1);
        QFile file(home->filePath("grooves.nc"));
        file.open(QIODevice::WriteOnly);
        file.write("G0 X0 Y5 Z1\r\nG1 Z-1\r\nG1 X20\r\nG0 Z1\r\nG0 X10 Y0\r\nG1 Z-0.5\r\n"
                   "G1 Y10\r\nG0 Z1\r\n");
        file.close();
        form->OpenFileWithName(file.fileName());
        form->partPreview->debounce.setInterval(0);
        form->action("ToolButton1")->trigger(); // xy
        form->CalcBtnClick();
        return form;
    }

    QPoint pixelOf(TMainform &form, double x, double y, double z) {
        int32_t sx = 0, sy = 0;
        koordmat(ViewMatrix(form.view, form.PaintBox1->width(), form.PaintBox1->height()), x, y, z,
                 0, 0, 0, 0, 0, 0, sx, sy);
        return QPoint(sx, sy);
    }

private slots:
    void init() {
        home = UseTemporaryHome();
        errors.clear();
    }

    // "Werkstück" shows the part milled after the run; a press on it selects the line of the
    // last move that cut there; "Bahn" shows the path again.
    void partIsMilledAfterARunAndPicked() {
        auto form = grooves();
        QVERIFY(!form->partPreview->Part()); // nothing milled while the path is shown
        form->action("PartViewBtn")->trigger();
        QTRY_VERIFY(form->partPreview->Part() && !form->partPreview->Working());
        const HeightField &part = *form->partPreview->Part();
        // the stock: the extents (0 ... 20, 0 ... 10) plus the default 1 mm ball's radius
        QCOMPARE(part.GetStock(), (Stock{-0.5, -0.5, 20.5, 10.5, 0}));
        QCOMPARE(part.Deepest(), -1.0f);
        form->action("ToolButton17")->trigger(); // zoom to fit the part
        const QImage &bit = form->PaintBox1->bit();
        const QPoint groove = pixelOf(*form, 5, 5, -1), stock = pixelOf(*form, 5, 8, 0);
        QVERIFY(qGray(bit.pixel(groove)) < qGray(bit.pixel(stock)) - 40);

        form->action("ZeigerBtn")->trigger();
        TEditorCore &core = form->memo1->core();
        QTest::mousePress(form->PaintBox1, Qt::LeftButton, {}, groove);
        QCOMPARE(core.markx, int64_t(21)); // "G1 X20"
        QTest::mouseRelease(form->PaintBox1, Qt::LeftButton, {}, groove);
        // where the grooves cross, the deeper one cut last; beside it the shallower one
        for (const auto &[x, y, line] : {std::tuple{10.0, 5.0, 21}, std::tuple{10.0, 2.0, 57}}) {
            const QPoint pixel =
                pixelOf(*form, x, y,
                        part.At(int32_t(x / part.Resolution()), int32_t(y / part.Resolution())));
            QTest::mousePress(form->PaintBox1, Qt::LeftButton, {}, pixel);
            QCOMPARE(core.markx, int64_t(line)); // 21: "G1 X20", 57: "G1 Y10"
            QTest::mouseRelease(form->PaintBox1, Qt::LeftButton, {}, pixel);
        }

        // a new run mills again; the path view draws the path
        QTest::keyClicks(form->memo1, "G1 X3 Y3 Z-2\r");
        form->CalcBtnClick();
        QTRY_VERIFY(form->partPreview->Part()->Deepest() < -1.9f); // the ball's tip is at -2
        form->action("PathViewBtn")->trigger();
        QVERIFY(!form->PaintBox1->shownPart());
        QVERIFY(errors.isEmpty());
    }

    // The dialog's values reach the part and preview.dat, which the next window reads; a damaged
    // file is reported once and its values have their defaults.
    void toolDialogAndItsFile() {
        {
            auto form = grooves();
            TPreviewToolForm dialog(form->partPreview->Settings());
            dialog.ShapeCombo->setCurrentIndex(int(ToolShape::Flat));
            dialog.DiameterEd->setValue(4);
            QVERIFY(!dialog.AngleEd->isEnabled());
            dialog.AutoResolutionCheck->setChecked(false);
            dialog.ResolutionEd->setValue(0.25);
            dialog.AutoStockCheck->setChecked(false);
            dialog.XMinEd->setValue(200); // beyond X max
            dialog.accept();
            QVERIFY(dialog.result() != QDialog::Accepted);
            QVERIFY(!dialog.ProblemLabel->text().isEmpty());
            dialog.XMinEd->setValue(0);
            dialog.XMaxEd->setValue(20);
            dialog.YMaxEd->setValue(10);
            QVERIFY(form->partPreview->SetSettings(dialog.Settings()));
            form->action("PartViewBtn")->trigger();
            QTRY_VERIFY(form->partPreview->Part() && !form->partPreview->Working());
            QCOMPARE(form->partPreview->Part()->Columns(), 80);
            QCOMPARE(form->partPreview->Part()->Rows(), 40);
        }
        auto again = std::make_unique<TMainform>(home->path());
        QCOMPARE(again->partPreview->Settings().tool.shape, ToolShape::Flat);
        QCOMPARE(*again->partPreview->Settings().resolution, 0.25);
        QVERIFY(again->partPreview->Damage().empty());

        QFile file(home->filePath("preview.dat"));
        file.open(QIODevice::Append);
        file.write("diameter=zero\r\n");
        file.close();
        TPartPreview damaged(again->lines, again->backplot.runLog, nullptr,
                             home->filePath("preview.dat").toStdString());
        QVERIFY(!damaged.Damage().empty());
        QCOMPARE(damaged.Settings().tool.diameter, 4.0); // the line before it stands
    }

    // Milling that takes longer shows its progress in the status bar; "Abbrechen" ends it and
    // leaves no part; a run started meanwhile stops it first.
    void progressAndCancel() {
        auto form = grooves();
        form->memo1->core().SelectAll();
        QTest::keyClicks(form->memo1, "#1=0\rWHILE[#1LT1000]DO1\r#1=#1+1\r"
                                      "G1 X0 Y[[#1MOD50]*0.2] Z-1\rG1 X40 Y[[#1MOD50]*0.2]\r"
                                      "END1\r");
        form->CalcBtnClick();
        form->action("PartViewBtn")->trigger();
        auto *bar = form->statusBar()->findChild<QProgressBar *>("PartProgress");
        QTRY_VERIFY((bar = form->statusBar()->findChild<QProgressBar *>("PartProgress")) &&
                    bar->isVisible());
        form->statusBar()->findChild<QToolButton *>("PartCancel")->click();
        QTRY_VERIFY(!form->partPreview->Working());
        QVERIFY(!form->partPreview->Part());
        QTRY_VERIFY(!bar->isVisible()); // when the worker's end is handled

        form->action("PathViewBtn")->trigger();
        form->action("PartViewBtn")->trigger(); // showing it again mills again
        QVERIFY(form->partPreview->Working());
        form->CalcBtnClick(); // waits for the worker to stop, then runs
        QVERIFY(!form->partPreview->Working());
        QTRY_VERIFY(form->partPreview->Working()); // and mills again after the run
        form->partPreview->StopWork();
        QVERIFY(!form->partPreview->Part());
    }

    // Opening another program while the part is shown fits the new part once it is milled, as
    // "[ ]" would; the lathe's diameter view is fitted after the run it needs.
    void viewsAreFittedAfterANewProgramAndTheDiameterView() {
        auto form = grooves();
        form->action("PartViewBtn")->trigger();
        QTRY_VERIFY(form->partPreview->Part() && !form->partPreview->Working());
        QFile file(home->filePath("large.nc"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("G0 X0 Y0 Z1\r\nG1 Z-2 F100\r\nG1 X300 Y120\r\nG0 Z1\r\n");
        file.close();
        QVERIFY(form->OpenFileWithName(file.fileName()));
        form->CalcBtnClick();
        QTRY_VERIFY(form->partPreview->Part() && !form->partPreview->Working() &&
                    form->partPreview->Part()->GetStock().xmax > 300);
        QCoreApplication::processEvents();
        const double shown = form->view.zoom;
        form->action("ToolButton17")->trigger();
        QVERIFY2(std::abs(form->view.zoom - shown) <= 0.02 * shown,
                 qPrintable(QString("%1 vs %2").arg(shown).arg(form->view.zoom)));

        form->action("PathViewBtn")->trigger();
        form->action("Dreh1")->trigger(); // lathe
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("G0 X0 Z5\r\nG1 X40 Z0 F100\r\nG1 X40 Z-60\r\nG1 X80 Z-80\r\n");
        file.close();
        QVERIFY(form->OpenFileWithName(file.fileName()));
        form->CalcBtnClick();
        for (QAction *a : form->ToolBar1->actions())
            if (a->text() == QString::fromUtf8("Ø"))
                a->trigger();
        QVERIFY(form->options.diametermode);
        QCoreApplication::processEvents();
        const double diameter = form->view.zoom;
        form->action("ToolButton17")->trigger();
        QVERIFY2(std::abs(form->view.zoom - diameter) <= 0.02 * diameter,
                 qPrintable(QString("%1 vs %2").arg(diameter).arg(form->view.zoom)));
    }

    // Without a name's extension the chosen type's is added; the dialog starts in the
    // program's folder.
    void exportDialogStartsInTheProgramsFolderAndAddsTheExtension() {
        auto form = grooves();
        QString folder;
        QTimer::singleShot(0, [&] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            folder = dialog->directory().absolutePath();
            dialog->selectFile("guipart");
            static_cast<QDialog *>(dialog)->accept(); // as the Save button does
        });
        form->action("Werkstueckexportieren1")->trigger();
        QCOMPARE(folder, QDir(home->path()).absolutePath());
        QVERIFY(QFile::exists(home->filePath("guipart.stl")));
        QVERIFY(!QFile::exists(home->filePath("guipart")));
        QCOMPARE(form->SaveFolder(), QDir(home->path()).absolutePath());
        QVERIFY(form->DocumentFilter().contains("*.ngc;"));
    }

    void exportWritesStlOrPfm() {
        auto form = grooves();
        for (const char *name : {"part.stl", "part.pfm"}) {
            const QString file = home->filePath(name);
            form->partSaveDialog = [file] { return file; };
            form->action("Werkstueckexportieren1")->trigger(); // milled for the export
            QFile written(file);
            QVERIFY(written.open(QIODevice::ReadOnly));
            const QByteArray start = written.read(3);
            QCOMPARE(start == "Pf\n", QByteArray(name).endsWith("pfm"));
        }
        form->partSaveDialog = [this] { return home->filePath("no/such/folder/part.stl"); };
        form->action("Werkstueckexportieren1")->trigger();
        QCOMPARE(errors.size(), 1);
        QVERIFY(errors[0].contains("no/such/folder"));
    }
};

QTEST_MAIN(PartPreviewWindowTest)
#include "partpreview_window_test.moc"
