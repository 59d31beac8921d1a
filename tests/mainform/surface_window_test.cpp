// The strategy "Fläche" in the window: the panel's fields give the program the command line
// gives with the same options, they survive a restart, bad values are refused with a message,
// and the picture page shows the target surface and, on request, the simulated part.

#include "app/mainform.h"
#include "app/picturepage.h"
#include "app/picturepreview.h"
#include "app/reliefpanel.h"
#include "app/reliefsimulation.h"
#include "cli/cli.h"
#include "quietwindow.h"
#include "relief/grafikrw.h"
#include "temporaryhome.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

#include <cmath>
#include <memory>
#include <sstream>

using namespace morvilo;

namespace {

// The program the command line writes with the arguments (the picture and the output first).
QByteArray cliProgram(const QStringList &arguments, const QString &output) {
    std::vector<std::string> args = {"relief"};
    for (const QString &argument : arguments)
        args.push_back(argument.toStdString());
    std::ostringstream out, err;
    const int status = cli::RunCli(args, out, err);
    if (status != cli::kSuccess)
        qWarning("morvilo-cli relief: %s", err.str().c_str());
    return status == cli::kSuccess ? FileBytes(output) : QByteArray();
}

} // namespace

class SurfaceWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> home;
    QStringList errors;

    std::unique_ptr<TMainform> startForm() { return StartQuietWindow(home->path(), errors); }
    // A dome: bright in the middle, 40 x 30 pixels.
    QString dome() const {
        const QString path = home->filePath("dome.png");
        if (QFile::exists(path))
            return path;
        QImage image(40, 30, QImage::Format_RGB32);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const double r = std::hypot((x - 19.5) / 20, (y - 14.5) / 15);
                const int grey = int(std::lround(255 * std::max(0.0, 1 - r * r)));
                image.setPixel(x, y, qRgb(grey, grey, grey));
            }
        image.save(path);
        return path;
    }
    QByteArray windowProgram(TMainform &form, const QString &picture) {
        form.opentheDXFnow(picture);
        return FileBytes(QString::fromStdString(form.tempfilename));
    }
    // The surface as the panel should give it: LinuxCNC, heights for a machine (Z up).
    static void chooseSurface(TReliefPanel &panel) {
        panel.selectProfile("linuxcnc");
        panel.SicherEd->setValue(5);
        panel.FraesTiefe->setValue(-1);
        panel.StrategyCombo->setCurrentIndex(1);
    }

private slots:
    void init() {
        home = UseTemporaryHome();
        errors.clear();
    }

    // The window keeps its designed width with the fields of either strategy.
    void bothStrategiesFitTheDesignedWidth() {
        auto form = startForm();
        for (const int strategy : {1, 0}) {
            form->Panel3->StrategyCombo->setCurrentIndex(strategy);
            QVERIFY(form->minimumSizeHint().width() <= 783);
        }
    }

    // The fields of the other strategy take no room; the level count does not apply to the
    // surface, the roughing fields only with the roughing on.
    void fieldsFollowTheStrategy() {
        TReliefPanel panel;
        QCOMPARE(panel.strategy(), ReliefStrategy::Levels);
        QVERIFY(panel.SkipAirCheck->isVisibleTo(&panel));
        QVERIFY(!panel.ToolEd->isVisibleTo(&panel) && !panel.RoughCheck->isVisibleTo(&panel));
        QVERIFY(panel.AbstufEd->isEnabled());
        panel.ZigzagCheck->setChecked(true);
        panel.StrategyCombo->setCurrentIndex(1);
        QVERIFY(!panel.SkipAirCheck->isVisibleTo(&panel));
        QVERIFY(panel.ToolEd->isVisibleTo(&panel) && panel.RoughCheck->isVisibleTo(&panel));
        QVERIFY(!panel.AbstufEd->isEnabled());
        QVERIFY(!panel.RoughToolEd->isEnabled() && !panel.StepdownEd->isEnabled());
        QVERIFY(!panel.RoughStepoverEd->isEnabled());
        panel.RoughCheck->setChecked(true);
        QVERIFY(panel.RoughToolEd->isEnabled() && panel.StepdownEd->isEnabled());
        QVERIFY(panel.RoughStepoverEd->isEnabled());
        // The stepped options stay in their fields but do not reach the surface's program.
        QVERIFY(!panel.parameters().levelOptions.Any());
        QVERIFY(panel.levelFields().zigzag);
        const ReliefParameters p = panel.parameters();
        QCOMPARE(p.strategy, ReliefStrategy::Surface);
        QCOMPARE(p.surface.tool, (MillingTool{ToolShape::Ball, 1.0, 90.0}));
        QVERIFY(p.surface.rough);
        QVERIFY(p.surface.roughOutput.empty());
    }

    // Written by the window and by the command line with the same options: the same bytes,
    // for the roughing in the program (a tool change) and in a file of its own; the strategy
    // "Stufen" writes what it wrote before the surface's fields existed.
    void windowWritesTheCommandLinesProgram() {
        const QString picture = dome();
        const QString cliOut = home->filePath("cli.nc");
        const QStringList machine = {picture, cliOut,    "--profile", "linuxcnc",   "--safe",
                                     "5",     "--depth", "-1",        "--distance", "0.5"};
        auto form = startForm();
        TReliefPanel *panel = form->Panel3;
        chooseSurface(*panel);
        panel->AbstandFrEd->setValue(0.5);
        panel->ToolEd->setText("vbit:2:60");
        panel->ToleranceEd->setValue(0.02);
        panel->DirectionCombo->setCurrentIndex(2);
        panel->OneWayCheck->setChecked(true);
        panel->SurfaceClearanceEd->setValue(0.75);
        const QStringList surface = {"--strategy",  "surface",     "--tool",      "vbit:2:60",
                                     "--tolerance", "0.02",        "--direction", "xy",
                                     "--one-way",   "--clearance", "0.75"};
        const QByteArray finishing = windowProgram(*form, picture);
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join("\n")));
        QVERIFY(finishing.startsWith("G17 G21 G90 G94 G40 G80\n"));
        QCOMPARE(finishing, cliProgram(machine + surface, cliOut));

        panel->RoughCheck->setChecked(true);
        panel->RoughToolEd->setText("flat:3");
        panel->StepdownEd->setValue(0.3);
        panel->LeaveEd->setValue(0.1);
        const QStringList roughing = {"--rough", "flat:3", "--stepdown", "0.3", "--leave", "0.1"};
        const QByteArray combined = windowProgram(*form, picture);
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join("\n")));
        QVERIFY(combined.contains("T1 M6") && combined.contains("T2 M6"));
        QCOMPARE(combined, cliProgram(machine + surface + roughing, cliOut));

        // The roughing paths' distance: 0 shows "automatisch" (40 % of the roughing tool, as
        // without --rough-stepover), any other value is the command line's.
        QCOMPARE(panel->RoughStepoverEd->text(), QString::fromUtf8("automatisch"));
        panel->RoughStepoverEd->setValue(0.9);
        const QByteArray closer = windowProgram(*form, picture);
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join("\n")));
        QVERIFY(closer != combined);
        QCOMPARE(closer,
                 cliProgram(machine + surface + roughing + QStringList{"--rough-stepover", "0.9"},
                            cliOut));
        panel->RoughStepoverEd->setValue(0);

        // A file of its own, chosen in the dialog; a relative name lies beside the picture.
        const QString windowRough = home->filePath("window-rough.nc");
        panel->roughFileDialog = [&] { return windowRough; };
        panel->RoughFileBtn->click();
        QCOMPARE(panel->RoughFileEd->text(), windowRough);
        const QByteArray apart = windowProgram(*form, picture);
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join("\n")));
        const QString cliRough = home->filePath("cli-rough.nc");
        QCOMPARE(apart,
                 cliProgram(machine + surface + roughing + QStringList{"--rough-output", cliRough},
                            cliOut));
        QVERIFY(!apart.contains("M6"));
        QVERIFY(!FileBytes(windowRough).isEmpty());
        QCOMPARE(FileBytes(windowRough), FileBytes(cliRough));
        panel->RoughFileEd->setText("relative-rough.nc");
        QCOMPARE(windowProgram(*form, picture), apart);
        QCOMPARE(FileBytes(home->filePath("relative-rough.nc")), FileBytes(cliRough));

        // Back to "Stufen": the program of the bare command line, whatever the surface's fields.
        panel->StrategyCombo->setCurrentIndex(0);
        panel->selectProfile("plain");
        panel->SicherEd->setValue(-1);
        panel->FraesTiefe->setValue(1);
        panel->AbstandFrEd->setValue(0.05);
        const QByteArray stepped = windowProgram(*form, picture);
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join("\n")));
        QCOMPARE(stepped, cliProgram({picture, cliOut}, cliOut));
    }

    // What the window cannot write is refused with the reason, and the editor keeps its text.
    void badValuesAreRefused() {
        const QString picture = dome();
        auto form = startForm();
        TReliefPanel *panel = form->Panel3;
        chooseSurface(*panel);
        panel->ToolEd->setText("ball:zwei");
        QVERIFY(panel->ToolEd->styleSheet().contains("color"));
        QVERIFY2(panel->ToolEd->toolTip().contains("ist kein Fräser"),
                 qPrintable(panel->ToolEd->toolTip()));
        form->opentheDXFnow(picture);
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors[0].contains("Fräser braucht einen Durchmesser"), qPrintable(errors[0]));
        QCOMPARE(form->PageControl1->currentIndex(), 0);
        panel->ToolEd->setText("ball:1");
        QVERIFY(panel->ToolEd->styleSheet().isEmpty());

        // The roughing into the program needs a tool change the bare paths do not have.
        panel->selectProfile("plain");
        panel->SicherEd->setValue(-1);
        panel->FraesTiefe->setValue(1);
        panel->RoughCheck->setChecked(true);
        form->opentheDXFnow(picture);
        QCOMPARE(errors.size(), 2);
        QVERIFY2(errors[1].contains("keinen Werkzeugwechsel"), qPrintable(errors[1]));

        // A roughing file that is the picture itself would destroy it.
        const QByteArray before = FileBytes(picture);
        panel->RoughFileEd->setText(picture);
        form->opentheDXFnow(picture);
        QCOMPARE(errors.size(), 3);
        QVERIFY2(errors[2].contains("das Bild oder das Programm selbst"), qPrintable(errors[2]));
        QCOMPARE(FileBytes(picture), before);
        QCOMPARE(form->PageControl1->currentIndex(), 0);

        // A roughing file that cannot be made is named with the system's reason in words.
        const QString unreachable = home->filePath("no/rough.nc");
        panel->RoughFileEd->setText(unreachable);
        form->opentheDXFnow(picture);
        QCOMPARE(errors.size(), 4);
        QCOMPARE(errors[3],
                 unreachable + " kann nicht angelegt werden: Datei oder Ordner nicht vorhanden");
        QCOMPARE(form->PageControl1->currentIndex(), 0);
    }

    // Every field of the surface comes back after a restart; options.dat keeps its bytes.
    void fieldsSurviveARestart() {
        {
            auto form = startForm();
            form->close();
        }
        const QByteArray plainOptions = FileBytes(home->filePath("options.dat"));
        ReliefParameters chosen;
        {
            auto form = startForm();
            TReliefPanel *panel = form->Panel3;
            chooseSurface(*panel);
            panel->ToolEd->setText("flat:2.5");
            panel->ToleranceEd->setValue(0.0125);
            panel->DirectionCombo->setCurrentIndex(1);
            panel->OneWayCheck->setChecked(true);
            panel->SurfaceClearanceEd->setValue(2.5);
            panel->RoughCheck->setChecked(true);
            panel->RoughToolEd->setText("vbit:6:90");
            panel->StepdownEd->setValue(0.75);
            panel->LeaveEd->setValue(0.25);
            panel->RoughStepoverEd->setValue(1.5);
            panel->RoughFileEd->setText(home->filePath("rough.nc"));
            chosen = panel->parameters();
            form->close();
        }
        QCOMPARE(FileBytes(home->filePath("options.dat")), plainOptions);
        auto form = startForm();
        const ReliefParameters p = form->Panel3->parameters();
        QCOMPARE(p.strategy, ReliefStrategy::Surface);
        const SurfaceOptions &a = p.surface, &b = chosen.surface;
        QCOMPARE(a.tool, (MillingTool{ToolShape::Flat, 2.5, 90}));
        QCOMPARE(a.tool, b.tool);
        QCOMPARE(a.tolerance, 0.0125);
        QCOMPARE(a.direction, RasterDirection::Y);
        QVERIFY(a.oneWay && a.rough);
        QCOMPARE(a.clearance, b.clearance);
        QCOMPARE(a.roughTool, b.roughTool);
        QCOMPARE(a.stepdown, b.stepdown);
        QCOMPARE(a.leave, b.leave);
        QCOMPARE(a.roughStepover, 1.5);
        QCOMPARE(a.roughStepover, b.roughStepover);
        QCOMPARE(a.roughOutput, home->filePath("rough.nc").toStdString());
        QVERIFY(form->Panel3->ToolEd->isVisibleTo(form->Panel3));
        form->close();
    }

    // "Fläche" on the picture page: the target surface shaded instead of the level map, the
    // dry run's figures, and on request the simulated part; "Abbrechen" stops it.
    void picturePageShowsTheSurface() {
        const QString picture = dome();
        auto form = startForm();
        TPicturePreview *preview = form->picturePage->Preview;
        TReliefPanel *panel = form->Panel3;
        preview->showPicture(picture);
        QTRY_COMPARE(preview->shownPicture(), picture);
        QVERIFY(!preview->SimulateCheck->isVisibleTo(preview));
        chooseSurface(*panel);
        QVERIFY(preview->SimulateCheck->isVisibleTo(preview));
        QCOMPARE(preview->MapCaption->text(), QString::fromUtf8("Zielfläche:"));
        QTRY_VERIFY(!preview->targetImage().isNull());
        QVERIFY(preview->levelMap().cells.empty());
        QTRY_VERIFY(preview->figuresReady());
        const ReliefResult dry = MeasureReliefFile(panel->parameters(), picture.toStdString());
        QCOMPARE(dry.status, ReliefStatus::Ok);
        QCOMPARE(preview->figures().bytes, dry.estimate.bytes);
        QCOMPARE(preview->figures().seconds, dry.estimate.seconds);

        QSignalSpy shown(preview, &TPicturePreview::partShown);
        preview->SimulateCheck->setChecked(true);
        QTRY_COMPARE_WITH_TIMEOUT(shown.count(), 1, 20000);
        QVERIFY(!preview->partImage().isNull());
        QVERIFY(preview->SimulateProgress->isHidden());
        QCOMPARE(preview->MapCaption->text(), QString::fromUtf8("Werkstück (Vorschau):"));

        // A change makes it again.
        panel->ToleranceEd->setValue(0.05);
        QVERIFY(preview->partImage().isNull());
        QTRY_COMPARE_WITH_TIMEOUT(shown.count(), 2, 20000);
        QVERIFY(!preview->partImage().isNull());
        // "Abbrechen" ends the request before or while it runs.
        panel->ToleranceEd->setValue(0.04);
        preview->SimulateCancel->click();
        QVERIFY(!preview->SimulateCheck->isChecked());
        QTest::qWait(400);
        QTRY_VERIFY(preview->SimulateProgress->isHidden());
        QVERIFY(preview->partImage().isNull());
        QCOMPARE(shown.count(), 2);
        QCOMPARE(preview->MapCaption->text(), QString::fromUtf8("Zielfläche:"));

        // Back to "Stufen": the level map again.
        panel->StrategyCombo->setCurrentIndex(0);
        QCOMPARE(preview->MapCaption->text(), QString::fromUtf8("Stufenkarte:"));
        QVERIFY(!preview->levelMap().cells.empty());
        QVERIFY(!preview->SimulateCheck->isVisibleTo(preview));
    }

    // Changes that arrive while a simulation runs, or while it is about to start, end with the
    // part of the last values.
    void changesWhileSimulating() {
        const QString picture = home->filePath("large.png");
        QImage image(400, 300, QImage::Format_RGB32);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                image.setPixel(x, y, qRgb(x % 256, y % 256, (x * y) % 256));
        QVERIFY(image.save(picture));
        auto form = startForm();
        TPicturePreview *preview = form->picturePage->Preview;
        TReliefPanel *panel = form->Panel3;
        chooseSurface(*panel);
        panel->AbstandFrEd->setValue(0.1);
        preview->showPicture(picture);
        QTRY_COMPARE(preview->shownPicture(), picture);
        QSignalSpy shown(preview, &TPicturePreview::partShown);
        preview->SimulateCheck->setChecked(true);
        QTRY_VERIFY(preview->SimulateCancel->isVisible());
        for (const double tolerance : {0.02, 0.03, 0.04}) {
            panel->ToleranceEd->setValue(tolerance);
            QTest::qWait(350); // the delayed start comes while the one before still ends
        }
        // Every change clears the part: one shown now is of the last values.
        QTRY_VERIFY_WITH_TIMEOUT(!preview->partImage().isNull(), 60000);
        QTRY_VERIFY(preview->SimulateProgress->isHidden());
        QVERIFY(shown.count() >= 1);
    }

    // The simulated part is the program's: it stays above the target surface but for the
    // grid's coarseness and comes close to it, with Z up and with Z down (shown mirrored).
    void simulatedPartFollowsTheTarget() {
        const QString picture = dome();
        dib loaded;
        OpenPicture(loaded, picture.toStdString());
        DepthUpTo(loaded, 24);
        for (const double safe : {5.0, -5.0}) {
            ReliefParameters p;
            p.sicher = safe;
            p.tiefe = safe > 0 ? -1 : 1;
            p.width = 20;
            p.abstandfr = 0.1;
            p.strategy = ReliefStrategy::Surface;
            p.surface.tool = {ToolShape::Ball, 1.0, 90};
            const std::optional<ReliefViewGrid> grid =
                ChooseReliefViewGrid(p, DibBreit(loaded), DibHoch(loaded), 40000);
            QVERIFY(grid);
            SimulationProgress progress;
            const ReliefSimulation simulation =
                SimulateSurfaceRelief(p, picture.toStdString(), *grid, progress);
            QVERIFY2(simulation.problem.empty(), simulation.problem.text.c_str());
            QVERIFY(simulation.part);
            QCOMPARE(progress.permille.load(), 1000);
            HeightField target;
            UserMessage message;
            QVERIFY(TargetField(ComputeTargetSurface(p, loaded), safe > 0 ? 1 : -1, *grid, target,
                                message));
            const HeightField &part = *simulation.part;
            QCOMPARE(part.CellCount(), target.CellCount());
            double sum = 0, lowest = 0;
            for (size_t k = 0; k < part.Cells().size(); ++k) {
                const double d = double(part.Cells()[k]) - double(target.Cells()[k]);
                sum += d * d;
                lowest = std::min(lowest, d);
            }
            const double rms = std::sqrt(sum / double(part.CellCount()));
            // The deepest cut reaches the target's depth, a cell's width away at most.
            QVERIFY2(part.Deepest() < -0.9, qPrintable(QString::number(part.Deepest())));
            QVERIFY2(rms < 0.05, qPrintable(QString::number(rms)));
            QVERIFY2(lowest > -0.05, qPrintable(QString::number(lowest)));
        }
        // Cancelled at once: no part, no problem.
        ReliefParameters p;
        p.strategy = ReliefStrategy::Surface;
        SimulationProgress cancelled;
        cancelled.cancel = true;
        const ReliefSimulation none = SimulateSurfaceRelief(
            p, picture.toStdString(), *ChooseReliefViewGrid(p, 40, 30, 1000), cancelled);
        QVERIFY(none.cancelled && !none.part && none.problem.empty());
    }
};

QTEST_MAIN(SurfaceWindowTest)
#include "surface_window_test.moc"
