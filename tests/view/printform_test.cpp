// The backplot's dialogs. TPrintForm: the placement of the picture on the page, the linked
// percentages, the stored values, and printing to PDF checked on the rendered page. SaveDialog2
// and the "DXF Export..." command.

#include "view/dxfexportdialog.h"
#include "view/printform.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QFileDialog>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace morvilo;

namespace {

constexpr QRgb kRed = 0xffff0000;
constexpr QRgb kBlue = 0xff0000ff;

QImage solid(int w, int h, QRgb colour) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// The dialog over a printer of its own: A4 portrait into a PDF without margins, so that the
// printable area is the whole page. Its print dialog keeps that choice and prints.
struct PdfPrintForm {
    QPrinter printer{QPrinter::HighResolution};
    TPrintForm form{[this]() -> QPrinter & { return printer; }};
    int printDialogs = 0; // how often the print dialog was shown

    explicit PdfPrintForm(const QString &file) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(file);
        printer.setPageSize(QPageSize(QPageSize::A4));
        printer.setPageOrientation(QPageLayout::Portrait);
        printer.setPageMargins(QMarginsF(0, 0, 0, 0));
        form.printDialog = [this](QPrinter &, QWidget *) {
            ++printDialogs;
            return true;
        };
    }
};

// The first page of a PDF as an image (poppler's pdftoppm); null when it cannot be rendered.
QImage renderPdf(const QString &pdf, const QString &folder) {
    const QString prefix = folder + "/page";
    QProcess::execute("pdftoppm", {"-r", "30", "-png", "-f", "1", "-l", "1", pdf, prefix});
    return QImage(prefix + "-1.png");
}

// The rectangle of the pixels that are not white (the printed picture), in fractions of the
// page.
QRectF inkedBox(const QImage &page) {
    int left = page.width(), top = page.height(), right = -1, bottom = -1;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x) {
            const QColor c = page.pixelColor(x, y);
            if (c.red() > 240 && c.green() > 240 && c.blue() > 240)
                continue;
            left = std::min(left, x), right = std::max(right, x);
            top = std::min(top, y), bottom = std::max(bottom, y);
        }
    if (right < 0)
        return {};
    return QRectF(double(left) / page.width(), double(top) / page.height(),
                  double(right + 1 - left) / page.width(),
                  double(bottom + 1 - top) / page.height());
}

bool near(const QRectF &a, const QRectF &b) {
    const double tolerance = 0.01; // about 3 pixels of the rendered page
    return std::abs(a.left() - b.left()) < tolerance && std::abs(a.top() - b.top()) < tolerance &&
           std::abs(a.right() - b.right()) < tolerance &&
           std::abs(a.bottom() - b.bottom()) < tolerance;
}

} // namespace

class BackplotDialogsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY(settingsFolder.isValid());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsFolder.path());
        havePdftoppm = !QStandardPaths::findExecutable("pdftoppm").isEmpty();
    }

    void placement_data() {
        QTest::addColumn<QSize>("bitmap");
        QTest::addColumn<bool>("useFull");
        QTest::addColumn<bool>("keepAspect");
        QTest::addColumn<bool>("centred");
        QTest::addColumn<int>("breite");
        QTest::addColumn<int>("hoehe");
        QTest::addColumn<QRect>("expected");
        // Page 1000 x 1400 throughout.
        QTest::newRow("wide picture: full width, centred")
            << QSize(400, 200) << true << true << true << 50 << 50 << QRect(0, 450, 1000, 500);
        QTest::newRow("tall picture: full height, centred")
            << QSize(100, 400) << true << true << true << 50 << 50 << QRect(325, 0, 350, 1400);
        QTest::newRow("wide picture at the top")
            << QSize(400, 200) << true << true << false << 50 << 50 << QRect(0, 0, 1000, 500);
        QTest::newRow("stretched")
            << QSize(400, 200) << true << false << true << 50 << 50 << QRect(0, 0, 1000, 1400);
        QTest::newRow("picture without area fills the page")
            << QSize(0, 0) << true << true << true << 50 << 50 << QRect(0, 0, 1000, 1400);
        QTest::newRow("user 50 x 50 at the top left")
            << QSize(400, 200) << false << true << false << 50 << 50 << QRect(0, 0, 500, 700);
        QTest::newRow("user 33 x 67 centred")
            << QSize(400, 200) << false << true << true << 33 << 67 << QRect(335, 231, 330, 938);
        QTest::newRow("user 100 x 1")
            << QSize(400, 200) << false << false << false << 100 << 1 << QRect(0, 0, 1000, 14);
    }

    void placement() {
        QFETCH(QSize, bitmap);
        QFETCH(bool, useFull);
        QFETCH(bool, keepAspect);
        QFETCH(bool, centred);
        QFETCH(int, breite);
        QFETCH(int, hoehe);
        QFETCH(QRect, expected);
        QCOMPARE(PrintRectangle(QSize(1000, 1400), bitmap,
                                {useFull, keepAspect, centred, breite, hoehe}),
                 expected);
    }

    void userSizeRoundsHalvesToEven() {
        const PrintChoices half{false, false, false, 50, 50};
        QCOMPARE(PrintRectangle(QSize(1001, 1003), QSize(10, 10), half).size(), QSize(500, 502));
    }

    void linkedPercentages() {
        const QSize bitmap(400, 200), page(1000, 1400);
        // 200 * 50 / 400 * 1000 / 1400 = 17.86
        QCOMPARE(LinkedHeight(50, bitmap, page), std::optional<int>(17));
        // 400 * 10 / 200 * 1400 / 1000 = 28
        QCOMPARE(LinkedWidth(10, bitmap, page), std::optional<int>(28));
        // Limited to 1 .. 100.
        QCOMPARE(LinkedWidth(50, bitmap, page), std::optional<int>(100));
        QCOMPARE(LinkedHeight(1, QSize(1000, 1), page), std::optional<int>(1));
        QCOMPARE(LinkedHeight(50, QSize(), page), std::nullopt);
        QCOMPARE(LinkedWidth(50, bitmap, QSize(1000, 0)), std::nullopt);
    }

    void previewPage() {
        const QSize box(185, 201);
        QCOMPARE(PreviewPageRect(box, QSize(1000, 1400)), QRect(21, 0, 143, 201));
        QCOMPARE(PreviewPageRect(box, QSize(1400, 1000)), QRect(0, 34, 185, 132));
        // A nearly square portrait page still fits the box.
        QCOMPARE(PreviewPageRect(box, QSize(1000, 1001)), QRect(0, 8, 185, 185));
        QCOMPARE(PreviewPageRect(box, QSize()), QRect());
    }

    // The percentages follow each other with the aspect ratio kept, and not without it.
    void percentagesAreLinked() {
        PdfPrintForm pdfForm(scratch.filePath("linked.pdf"));
        TPrintForm &form = pdfForm.form;
        const QImage bit = solid(400, 200, kRed);
        const QSize page(form.Printer().width(), form.Printer().height());
        // The height after showing, and after each change of a field.
        std::vector<int> seen;
        form.execDialog = [&](QDialog &) {
            seen.push_back(form.HochEdit->value());
            form.BreitEdit->setValue(90);
            seen.push_back(form.HochEdit->value());
            form.HochEdit->setValue(20);
            seen.push_back(form.BreitEdit->value());
            form.SverhCheck->click();
            form.BreitEdit->setValue(77);
            seen.push_back(form.HochEdit->value());
            return false;
        };
        QVERIFY(!form.Backplotdrucken(bit));
        const std::vector<int> expected = {*LinkedHeight(50, bit.size(), page),
                                           *LinkedHeight(90, bit.size(), page),
                                           *LinkedWidth(20, bit.size(), page), 20};
        QCOMPARE(seen, expected);
    }

    void printerSetupRelinksForTheNewPage() {
        PdfPrintForm pdfForm(scratch.filePath("setup.pdf"));
        TPrintForm &form = pdfForm.form;
        bool setupShown = false;
        form.printerSetup = [&](QPrinter &printer, QWidget *) {
            setupShown = true;
            printer.setPageOrientation(QPageLayout::Landscape);
        };
        const QImage bit = solid(400, 200, kRed);
        form.execDialog = [&](QDialog &) {
            form.PrintSetupBtn->click();
            return false;
        };
        form.Backplotdrucken(bit);
        QVERIFY(setupShown);
        const QSize landscape(form.Printer().width(), form.Printer().height());
        QVERIFY(landscape.width() > landscape.height());
        QCOMPARE(form.HochEdit->value(),
                 *LinkedHeight(form.BreitEdit->value(), bit.size(), landscape));
    }

    void previewShowsThePlacement() {
        PdfPrintForm pdfForm(scratch.filePath("preview.pdf"));
        TPrintForm &form = pdfForm.form;
        QImage preview;
        form.execDialog = [&](QDialog &) {
            preview = form.PrintPaintBox->grab().toImage();
            return false;
        };
        form.Backplotdrucken(solid(400, 200, kRed));
        // A4 portrait in the 185 x 201 box: the page is 142 x 201 from x 21; the picture is as
        // wide as the page and half as high, in its middle.
        const QRect page = PreviewPageRect(QSize(185, 201),
                                           QSize(form.Printer().width(), form.Printer().height()));
        QCOMPARE(preview.pixel(page.center()), kRed);
        QCOMPARE(preview.pixel(page.center().x(), page.top() + 10), QColor(Qt::white).rgb());
        QCOMPARE(preview.pixel(page.left(), page.top() + 10), QColor(Qt::black).rgb());
    }

    void printsOntoThePdfPage_data() {
        QTest::addColumn<bool>("userSize");
        QTest::addColumn<bool>("keepAspect");
        QTest::addColumn<bool>("centred");
        QTest::addColumn<QRectF>("expected"); // fractions of the page
        // 400 x 200 on A4 portrait (210 x 297): the width fills the page, the height is
        // 105 / 297 of it, centred.
        const double h = 105.0 / 297.0;
        QTest::newRow("full page, aspect kept, centred")
            << false << true << true << QRectF(0, (1 - h) / 2, 1, h);
        QTest::newRow("full page stretched") << false << false << true << QRectF(0, 0, 1, 1);
        QTest::newRow("user 50 x 50 at the top left")
            << true << false << false << QRectF(0, 0, 0.5, 0.5);
    }

    void printsOntoThePdfPage() {
        QFETCH(bool, userSize);
        QFETCH(bool, keepAspect);
        QFETCH(bool, centred);
        QFETCH(QRectF, expected);
        if (!havePdftoppm)
            QSKIP("pdftoppm is missing (Debian package poppler-utils): no PDF rendering");
        const QString pdf = scratch.filePath(QString(QTest::currentDataTag()) + ".pdf");
        PdfPrintForm pdfForm(pdf);
        TPrintForm &form = pdfForm.form;
        QImage bit = solid(400, 200, kRed);
        form.execDialog = [&](QDialog &) {
            form.SverhCheck->setChecked(keepAspect);
            form.ZentrCheck->setChecked(centred);
            if (userSize) {
                form.UserdefCheck->click();
                form.BreitEdit->setValue(50);
                form.HochEdit->setValue(50);
            }
            // The picture changes while the dialog is open: the current one is printed.
            bit.fill(kBlue);
            return true;
        };
        QVERIFY(form.Backplotdrucken(bit));
        QCOMPARE(pdfForm.printDialogs, 1);
        const QImage page = renderPdf(pdf, scratch.path());
        QVERIFY(!page.isNull());
        QVERIFY(!QFile::exists(scratch.filePath("page-2.png")));
        const QRectF inked = inkedBox(page);
        QVERIFY2(near(inked, expected), qPrintable(QString("printed at %1 %2 %3 x %4")
                                                       .arg(inked.left())
                                                       .arg(inked.top())
                                                       .arg(inked.width())
                                                       .arg(inked.height())));
        const QColor middle = page.pixelColor(
            QPointF(inked.center().x() * page.width(), inked.center().y() * page.height())
                .toPoint());
        QVERIFY2(middle.blue() > 200 && middle.red() < 50, qPrintable(middle.name()));
        QProcess info;
        info.start("pdfinfo", {pdf});
        QVERIFY(info.waitForFinished());
        QVERIFY(info.readAllStandardOutput().contains("Tarnelo"));
        QFile::remove(scratch.filePath("page-1.png"));
    }

    // "Abbrechen" in the dialog, or in the print dialog after OK: nothing is printed and
    // nothing is reported.
    void cancelPrintsNothing_data() {
        QTest::addColumn<bool>("okInDialog");
        QTest::addColumn<int>("printDialogs");
        QTest::newRow("Abbrechen") << false << 0;
        QTest::newRow("print dialog cancelled") << true << 1;
    }

    void cancelPrintsNothing() {
        QFETCH(bool, okInDialog);
        QFETCH(int, printDialogs);
        const QString pdf = scratch.filePath("cancel.pdf");
        PdfPrintForm pdfForm(pdf);
        TPrintForm &form = pdfForm.form;
        QString reported;
        form.errorBox = [&](const QString &message) { reported = message; };
        form.execDialog = [&](QDialog &) { return okInDialog; };
        form.printDialog = [&](QPrinter &, QWidget *) {
            ++pdfForm.printDialogs;
            return false;
        };
        QVERIFY(!form.Backplotdrucken(solid(40, 20, kRed)));
        QCOMPARE(pdfForm.printDialogs, printDialogs);
        QVERIFY(!QFile::exists(pdf));
        QVERIFY(reported.isEmpty());
    }

    void printerThatCannotStartIsReported() {
        const QString pdf = scratch.filePath("missing/folder.pdf");
        PdfPrintForm pdfForm(pdf);
        TPrintForm &form = pdfForm.form;
        QString reported;
        form.errorBox = [&](const QString &message) { reported = message; };
        form.execDialog = [](QDialog &) { return true; };
        QVERIFY(!form.Backplotdrucken(solid(40, 20, kRed)));
        QCOMPARE(reported, "Der Drucker konnte nicht gestartet werden.\n" + pdf);
    }

    // "Drucker einrichten..." sets the page up; it never opens a dialog that prints.
    void printerSetupOnlySetsUp() {
        PdfPrintForm pdfForm(scratch.filePath("setup-only.pdf"));
        TPrintForm &form = pdfForm.form;
        form.printerSetup = nullptr; // the real dialog
        QString shown;
        QTimer poll;
        poll.setInterval(10);
        connect(&poll, &QTimer::timeout, [&] {
            if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
                dialog && dialog != &form) {
                poll.stop();
                shown = dialog->metaObject()->className();
                dialog->reject();
            }
        });
        form.execDialog = [&](QDialog &) {
            poll.start();
            form.PrintSetupBtn->click();
            return false;
        };
        form.Backplotdrucken(solid(40, 20, kRed));
        QCOMPARE(shown, QString("QPageSetupDialog"));
        QVERIFY(!QFile::exists(scratch.filePath("setup-only.pdf")));
    }

    void percentagesSurviveARestart() {
        {
            PdfPrintForm pdfForm(scratch.filePath("store.pdf"));
            TPrintForm &form = pdfForm.form;
            form.execDialog = [&](QDialog &) {
                form.SverhCheck->setChecked(false);
                form.BreitEdit->setValue(30);
                form.HochEdit->setValue(70);
                return false; // stored however the dialog closes
            };
            form.Backplotdrucken(solid(400, 200, kRed));
        }
        const QString ini = settingsFolder.filePath(
            QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName() + ".ini");
        QSettings stored(ini, QSettings::IniFormat);
        stored.beginGroup("TPrintForm");
        QCOMPARE(stored.value("BreitEdit.Value").toInt(), 30);
        QCOMPARE(stored.value("HochEdit.Value").toInt(), 70);
        QCOMPARE(stored.value("ZentrCheck.Alignment").toString(), QString("taRightJustify"));
        PdfPrintForm again(scratch.filePath("store.pdf"));
        TPrintForm &form = again.form;
        form.SverhCheck->setChecked(false);
        int breite = 0, hoehe = 0;
        form.execDialog = [&](QDialog &) {
            breite = form.BreitEdit->value();
            hoehe = form.HochEdit->value();
            return false;
        };
        form.Backplotdrucken(solid(400, 200, kRed));
        QCOMPARE(breite, 30);
        QCOMPARE(hoehe, 70);
    }

    void saveDialog2AsksForADxfFile() {
        QFileDialog dialog;
        SetupSaveDialog2(dialog, scratch.path());
        QCOMPARE(dialog.acceptMode(), QFileDialog::AcceptSave);
        QCOMPARE(dialog.nameFilters(), QStringList{"DXF Dateien (*.dxf)"});
        QCOMPARE(dialog.defaultSuffix(), QString("dxf"));
        QVERIFY(!dialog.testOption(QFileDialog::DontConfirmOverwrite));
        QCOMPARE(QFileInfo(dialog.directory().path()), QFileInfo(scratch.path()));
    }

    void dxfExportWritesTheChosenFile() {
        TPlotList lines;
        t9dline p{};
        p.typ = 1;
        p.x = 2;
        lines.Add(p);
        QString reported;
        const auto errorBox = [&](const QString &message) { reported = message; };
        const auto choose = [](const QString &name) {
            return [name](QDialog &dialog) {
                static_cast<QFileDialog &>(dialog).selectFile(name);
                return true;
            };
        };
        // A name without extension gets .dxf.
        const QString written =
            DXFExport1Click(nullptr, lines, scratch.path(), errorBox, choose("drawing"));
        QCOMPARE(written, scratch.filePath("drawing.dxf"));
        QFile file(written);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().contains("VERTEX\r\n8\r\n0\r\n70\r\n32\r\n10\r\n2\r\n"));
        QVERIFY(reported.isEmpty());
        // Cancelled: nothing is written.
        QVERIFY(DXFExport1Click(nullptr, lines, scratch.path(), errorBox, [](QDialog &) {
                    return false;
                }).isEmpty());
        QVERIFY(reported.isEmpty());
        // A folder that does not exist: reported.
        QVERIFY(DXFExport1Click(nullptr, lines, scratch.path(), errorBox,
                                choose(scratch.filePath("none/x.dxf")))
                    .isEmpty());
        QVERIFY2(reported.contains("cannot create"), qPrintable(reported));
    }

private:
    QTemporaryDir settingsFolder;
    QTemporaryDir scratch;
    bool havePdftoppm = false;
};

QTEST_MAIN(BackplotDialogsTest)
#include "printform_test.moc"
