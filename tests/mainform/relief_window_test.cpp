// The relief job in the window beyond the panel of old: the machine profile, the profiles
// dialog, the picture preview with its level map and figures, the safety check's refusal, the
// figures in the status bar, and the options of the stepped program.

#include "app/mainform.h"
#include "app/picturepage.h"
#include "app/picturepreview.h"
#include "app/plotbox.h"
#include "app/profiledialog.h"
#include "app/reliefpanel.h"
#include "frontend/panelvalues.h"
#include "machine/profilesfile.h"
#include "quietwindow.h"
#include "relief/grafikrw.h"
#include "settings/settingsstore.h"
#include "temporaryhome.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

#include <functional>
#include <memory>

using namespace morvilo;

class ReliefWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> home;
    QStringList errors;

    std::unique_ptr<TMainform> startForm() { return StartQuietWindow(home->path(), errors); }
    static QString picture() { return QString(MORVILO_PICTURES) + "/bmp24.bmp"; }
    QByteArray optionsDat() const {
        QFile file(home->filePath("options.dat"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private slots:
    void init() {
        home = UseTemporaryHome();
        errors.clear();
    }

    // The preview reads the picture once; the level map is the generator's for the panel's
    // values at every change, the figures those of a dry run.
    void previewFollowsThePanel() {
        auto form = startForm();
        TPicturePreview *preview = form->picturePage->Preview;
        TReliefPanel *panel = form->Panel3;
        preview->showPicture(picture());
        QTRY_COMPARE(preview->shownPicture(), picture());
        QVERIFY(!preview->PreviewImage->pixmap().isNull());

        dib loaded;
        OpenPicture(loaded, picture().toStdString());
        DepthUpTo(loaded, 24);
        for (const int levels : {16, 3}) {
            panel->AbstufEd->setValue(levels);
            const ReliefParameters p = panel->parameters();
            const ReliefLevelMap expected =
                ComputeLevelMap(p, loaded, TPicturePreview::kLevelMapCells);
            QCOMPARE(preview->levelMap().levels, levels);
            QCOMPARE(preview->levelMap().cells, expected.cells);
            QVERIFY(!preview->LevelMapImage->pixmap().isNull());
            QTRY_VERIFY(preview->figuresReady());
            const ReliefEstimate figures = MeasureRelief(p, loaded);
            QCOMPARE(preview->figures().cuts, figures.cuts);
            QCOMPARE(preview->figures().bytes, figures.bytes);
            QVERIFY(preview->FiguresLabel->text().contains(QString::number(figures.cuts)));
        }
        // A grid without two columns says so instead of figures.
        panel->AbstandFrEd->setValue(9.99);
        QVERIFY(preview->FiguresLabel->text().contains("Raster ist zu klein"));
        QVERIFY(!preview->figuresReady());
        // A file that is no picture shows no map.
        const QString text = home->filePath("no-picture.png");
        QFile file(text);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("not a picture");
        file.close();
        preview->showPicture(text);
        QTRY_COMPARE(preview->shownPicture(), text);
        QVERIFY(preview->levelMap().cells.empty());
        QVERIFY(!preview->PreviewImage->text().isEmpty());
    }

    // With a profile for a machine, the start-up values (safe Z below the cuts) are refused
    // with the message; the editor keeps its text. A safe set makes the dressed program and
    // the status bar tells its size and run time.
    void unsafeHeightIsRefusedAndFiguresShown() {
        auto form = startForm();
        TReliefPanel *panel = form->Panel3;
        panel->selectProfile("linuxcnc");
        QCOMPARE(panel->ProfileCombo->currentText(), QString("LinuxCNC"));
        form->opentheDXFnow(picture());
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors[0].contains("Die sichere Höhe Z -1.00"), qPrintable(errors[0]));
        QCOMPARE(form->PageControl1->currentIndex(), 0);

        panel->SicherEd->setValue(5);
        panel->FraesTiefe->setValue(-1);
        form->opentheDXFnow(picture());
        QCOMPARE(errors.size(), 1);
        QCOMPARE(form->PageControl1->currentIndex(), 1);
        const QString label = form->ReliefFiguresLabel->text();
        QVERIFY2(label.contains("Laufzeit") && label.contains("LinuxCNC"), qPrintable(label));
        QFile program(QString::fromStdString(form->tempfilename));
        QVERIFY(program.open(QIODevice::ReadOnly));
        QVERIFY(program.readAll().startsWith("G17 G21 G90 G94 G40 G80\nM3 S10000\nG0 Z5.00"));
    }

    // Off at the first start; the clearance field follows its check box; the panel's values
    // are the generator's options.
    void panelHandsTheOptionsToTheGenerator() {
        TReliefPanel panel;
        QCOMPARE(panel.parameters().levelOptions.Any(), false);
        QVERIFY(!panel.ClearanceEd->isEnabled());
        panel.SkipAirCheck->setChecked(true);
        panel.ClearanceCheck->setChecked(true);
        QVERIFY(panel.ClearanceEd->isEnabled());
        panel.ClearanceEd->setValue(1.25);
        panel.ZigzagCheck->setChecked(true);
        const LevelOptions o = panel.parameters().levelOptions;
        QVERIFY(o.skipAir && o.useClearance && o.zigzag);
        QCOMPARE(o.clearance, 1.25);

        // The command line's values leave the options as they are.
        panel.setParameters(ReliefParameters{});
        QVERIFY(panel.parameters().levelOptions.zigzag);
        LevelOptions none;
        none.clearance = 0.005; // clamped to the field's smallest value
        panel.setLevelOptions(none);
        QVERIFY(!panel.parameters().levelOptions.Any());
        QVERIFY(!panel.ClearanceEd->isEnabled());
        QCOMPARE(panel.ClearanceEd->value(), 0.01);
    }

    // The options survive a restart in the settings store; options.dat is the same file with
    // them or without them. The figures and the status bar tell what they save.
    void optionsSurviveARestartAndShowTheSaving() {
        {
            auto form = startForm();
            form->close();
        }
        const QByteArray plainOptions = optionsDat();
        {
            auto form = startForm();
            form->Panel3->SkipAirCheck->setChecked(true);
            form->Panel3->ClearanceCheck->setChecked(true);
            form->Panel3->ClearanceEd->setValue(0.75);
            form->Panel3->ZigzagCheck->setChecked(true);
            form->close();
        }
        QCOMPARE(optionsDat(), plainOptions);
        auto form = startForm();
        TReliefPanel *panel = form->Panel3;
        const LevelOptions o = panel->parameters().levelOptions;
        QVERIFY(o.skipAir && o.useClearance && o.zigzag);
        QCOMPARE(o.clearance, 0.75);
        QVERIFY(panel->ClearanceEd->isEnabled());

        panel->selectProfile("linuxcnc");
        panel->SicherEd->setValue(5);
        panel->FraesTiefe->setValue(-1);
        TPicturePreview *preview = form->picturePage->Preview;
        preview->showPicture(picture());
        QTRY_COMPARE(preview->shownPicture(), picture());
        QTRY_VERIFY(preview->figuresReady());
        QVERIFY(preview->figures().plainSeconds > preview->figures().seconds);
        QVERIFY2(preview->FiguresLabel->text().contains("spart"),
                 qPrintable(preview->FiguresLabel->text()));

        form->opentheDXFnow(picture());
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join("\n")));
        const QString label = form->ReliefFiguresLabel->text();
        QVERIFY2(label.contains("Laufzeit") && label.contains("spart"), qPrintable(label));
        form->close();
    }

    // A remembered machine profile comes back with the safe height and depth it was used with,
    // or, from settings that have none, with the start-up values turned upwards: the first
    // relief after a restart, also one from the command line, passes the safety check. The
    // bare paths keep the start-up values.
    void rememberedProfileStartsWithSafeHeights() {
        {
            auto form = startForm();
            form->Panel3->selectProfile("linuxcnc");
            form->Panel3->SicherEd->setValue(7.5);
            form->Panel3->FraesTiefe->setValue(-2);
            form->close();
        }
        {
            auto form = std::make_unique<TMainform>(home->path());
            form->errorBox = [this](const QString &message) { errors << message; };
            form->saveQuestion = [] { return QMessageBox::No; };
            ReliefParameters parameters = StartupReliefParameters();
            parameters.levels = 8;
            form->setStartupCommand({picture().toStdString(), {}}, parameters);
            form->show();
            QTRY_COMPARE(form->PageControl1->currentIndex(), 1);
            QCOMPARE(errors, QStringList());
            QCOMPARE(form->Panel3->ProfileCombo->currentText(), QString("LinuxCNC"));
            QCOMPARE(form->Panel3->SicherEd->value(), 7.5);
            QCOMPARE(form->Panel3->FraesTiefe->value(), -2.0);
            QCOMPARE(form->Panel3->AbstufEd->value(), 8);
            form->close();
        }
        {
            auto store = SettingsStore("TMainform");
            store->remove("SafeZ");
            store->remove("Depth");
        }
        {
            auto form = startForm();
            QCOMPARE(form->Panel3->SicherEd->value(), 1.0);
            QCOMPARE(form->Panel3->FraesTiefe->value(), -1.0);
            form->opentheDXFnow(picture());
            QCOMPARE(errors, QStringList());
            form->Panel3->selectProfile("Nur Bahnen");
            form->close();
        }
        auto form = startForm();
        QCOMPARE(form->Panel3->ProfileCombo->currentText(), QString("Nur Bahnen"));
        QCOMPARE(form->Panel3->SicherEd->value(), -1.0);
        QCOMPARE(form->Panel3->FraesTiefe->value(), 1.0);
    }

    // OK in the profiles dialog keeps the profile in use and the panel's feed: looking at or
    // editing another profile does not choose it. The profile in use follows a rename and shows
    // new feeds given in the dialog; deleted, the bare paths take its place.
    void profileDialogEditsWithoutChoosing() {
        auto form = startForm();
        TReliefPanel *panel = form->Panel3;
        const auto runDialog = [&](const std::function<void(TProfileDialog &)> &edit) {
            QTimer::singleShot(0, [&] {
                auto *dialog = qobject_cast<TProfileDialog *>(QApplication::activeModalWidget());
                QVERIFY(dialog);
                edit(*dialog);
                dialog->accept();
            });
            form->ProfilesClick();
        };
        panel->selectProfile("grbl");
        panel->FeedEd->setValue(1234);
        runDialog([](TProfileDialog &dialog) {
            dialog.ProfileList->setCurrentRow(1); // looks at LinuxCNC
            dialog.CopyBtn->click();              // and makes a copy it edits
            dialog.FeedEd->setValue(50);
        });
        QCOMPARE(panel->ProfileCombo->currentText(), QString("Grbl"));
        QCOMPARE(panel->FeedEd->value(), 1234.0);
        QCOMPARE(panel->ProfileCombo->count(), int(BuiltInProfiles().size()) + 1);

        panel->selectProfile("LinuxCNC (Kopie)");
        QCOMPARE(panel->FeedEd->value(), 50.0);
        runDialog([](TProfileDialog &dialog) {
            dialog.ProfileList->setCurrentRow(dialog.ProfileList->count() - 1);
            dialog.NameEd->setText("Fräse");
            emit dialog.NameEd->textEdited("Fräse");
            dialog.FeedEd->setValue(60);
            dialog.ProfileList->setCurrentRow(0);
        });
        QCOMPARE(panel->ProfileCombo->currentText(), QString::fromUtf8("Fräse"));
        QCOMPARE(panel->FeedEd->value(), 60.0);
        runDialog([](TProfileDialog &dialog) {
            dialog.ProfileList->setCurrentRow(dialog.ProfileList->count() - 1);
            dialog.DeleteBtn->click();
        });
        QCOMPARE(panel->ProfileCombo->currentText(), QString("Nur Bahnen"));
    }

    // A name clash is reported when OK is pressed and the report goes as soon as the name is
    // free again; a built-in says that it is changed through a copy; the tool bar's list is as
    // wide as its longest name.
    void profileDialogHintsAndTheToolBarsList() {
        TProfileDialog dialog(BuiltInProfiles(), "grbl");
        dialog.show();
        QVERIFY(dialog.BuiltInHint->isVisible());
        QVERIFY(dialog.BuiltInHint->text().contains("Kopieren"));
        dialog.NewBtn->click();
        QVERIFY(!dialog.BuiltInHint->isVisible());
        dialog.NameEd->setText("Grbl");
        emit dialog.NameEd->textEdited("Grbl");
        dialog.accept();
        QVERIFY(dialog.ProblemLabel->text().contains("schon vergeben"));
        dialog.NameEd->setText("Grbl 2");
        emit dialog.NameEd->textEdited("Grbl 2");
        QCOMPARE(dialog.ProblemLabel->text(), QString());
        dialog.reject();

        auto form = startForm();
        std::vector<MachineProfile> profiles = BuiltInProfiles();
        MachineProfile own = profiles[1];
        own.builtIn = false;
        own.name = own.cliName = "Portalfräse mit Vakuumtisch links";
        profiles.push_back(own);
        form->Panel3->setProfiles(profiles);
        form->Panel3->selectProfile(own.name);
        QCoreApplication::processEvents();
        QComboBox *combo = form->Panel3->ProfileCombo;
        QVERIFY2(combo->sizeHint().width() >=
                     combo->fontMetrics().horizontalAdvance(QString::fromStdString(own.name)),
                 qPrintable(QString::number(combo->sizeHint().width())));
    }

    // The figures of a relief and a measurement belong to their program: opening another
    // program, or a new one, clears them.
    void figuresOfTheLastProgramGoWithIt() {
        auto form = startForm();
        form->opentheDXFnow(picture());
        QVERIFY(form->ReliefFiguresLabel->text().contains("Laufzeit"));
        QCOMPARE(form->PageControl1->currentIndex(), 1);
        form->CalcBtnClick();
        // Once the program's facts tell its run time (from a worker, after the run), the
        // relief's estimate leaves the status bar: one run time, not two.
        QTRY_VERIFY(form->FactsLabel->text().startsWith("Laufzeit"));
        QVERIFY2(form->ReliefFiguresLabel->text().startsWith("Relief: ") &&
                     !form->ReliefFiguresLabel->text().contains("Laufzeit"),
                 qPrintable(form->ReliefFiguresLabel->text()));
        form->action("MessenBtn")->trigger();
        form->action("ToolButton17")->trigger();
        const t9dline &first = form->lines[form->lines.Count() - 1];
        int32_t x = 0, y = 0;
        koordmat(ViewMatrix(form->view, form->PaintBox1->width(), form->PaintBox1->height()),
                 first.x, first.y, first.z, 0, 0, 0, 0, 0, 0, x, y);
        QTest::mousePress(form->PaintBox1, Qt::LeftButton, {}, QPoint(x, y));
        QVERIFY(form->MeasureLabel->text().startsWith("Punkt 1"));
        QCOMPARE(form->PaintBox1->measureMarks.size(), size_t(1));

        QFile other(home->filePath("other.nc"));
        QVERIFY(other.open(QIODevice::WriteOnly));
        other.write("G1 X10 Y10 F100\n");
        other.close();
        QVERIFY(form->OpenFileWithName(other.fileName()));
        QCOMPARE(form->ReliefFiguresLabel->text(), QString());
        QCOMPARE(form->MeasureLabel->text(), QString("Messen: ersten Punkt anklicken"));
        QVERIFY(form->PaintBox1->measureMarks.empty());

        form->opentheDXFnow(picture());
        QVERIFY(!form->ReliefFiguresLabel->text().isEmpty());
        form->NewAll();
        QCOMPARE(form->ReliefFiguresLabel->text(), QString());
    }

    // Profiles are added, copied, edited and deleted in the dialog; the built-ins stay as
    // they are.
    void dialogEditsTheUsersProfiles() {
        TProfileDialog dialog(BuiltInProfiles(), "grbl");
        QCOMPARE(dialog.ProfileList->currentRow(), 2);
        QVERIFY(!dialog.NameEd->isEnabled());
        QVERIFY(!dialog.DeleteBtn->isEnabled());
        dialog.CopyBtn->click();
        QCOMPARE(dialog.profiles().size(), BuiltInProfiles().size() + 1);
        QCOMPARE(dialog.NameEd->text(), QString("Grbl (Kopie)"));
        QVERIFY(dialog.NameEd->isEnabled());
        dialog.NameEd->setText("Portalfräse");
        emit dialog.NameEd->textEdited("Portalfräse");
        dialog.FeedEd->setValue(2500);
        QVERIFY(dialog.TravelEd[0][1]->isEnabled());
        dialog.ToolChangeEd->setValue(7.5);
        dialog.TravelEd[0][0]->setValue(-10);
        dialog.TravelEd[2][1]->setValue(0.5);
        QVERIFY(dialog.ArcsCheck->isChecked());
        dialog.ArcsCheck->setChecked(false);
        dialog.NewBtn->click();
        QCOMPARE(dialog.NameEd->text(), QString("Neues Profil"));
        dialog.DeleteBtn->click();
        QCOMPARE(dialog.profiles().size(), BuiltInProfiles().size() + 1);
        const MachineProfile &own = dialog.profiles().back();
        QCOMPARE(own.name, std::string("Portalfräse"));
        QCOMPARE(own.feed, 2500.0);
        QCOMPARE(own.toolChangeTime, 7.5);
        QCOMPARE(own.travel[0].min, -10.0);
        QCOMPARE(own.travel[2].max, 0.5);
        QVERIFY(!own.arcs);
        QCOMPARE(own.maxDecimals, 3); // the rest as the copied profile has it
        QVERIFY(!own.builtIn);

        // A name taken by a built-in keeps the dialog open and says why.
        dialog.NameEd->setText("LinuxCNC");
        emit dialog.NameEd->textEdited("LinuxCNC");
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QVERIFY(dialog.ProblemLabel->text().contains("schon vergeben"));
        dialog.NameEd->setText("Portalfräse");
        emit dialog.NameEd->textEdited("Portalfräse");
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }

    // The user's profiles, the chosen profile and the panel's feeds survive a restart; a
    // damaged profiles file is reported once and the built-ins remain.
    void profilesAndChoiceSurviveARestart() {
        {
            auto form = startForm();
            QTimer::singleShot(0, [] {
                auto *dialog = qobject_cast<TProfileDialog *>(QApplication::activeModalWidget());
                QVERIFY(dialog);
                dialog->NewBtn->click();
                dialog->NameEd->setText("Werkstatt");
                emit dialog->NameEd->textEdited("Werkstatt");
                dialog->accept();
            });
            form->ProfilesClick();
            QCOMPARE(form->Panel3->ProfileCombo->currentText(), QString("Nur Bahnen"));
            form->Panel3->selectProfile("Werkstatt"); // chosen in the tool bar
            form->Panel3->FeedEd->setValue(777);
            form->close();
        }
        QVERIFY(QFile::exists(home->filePath(kProfilesFileName)));
        {
            auto form = startForm();
            QCOMPARE(form->Panel3->ProfileCombo->currentText(), QString("Werkstatt"));
            QCOMPARE(form->Panel3->FeedEd->value(), 777.0);
            QCOMPARE(form->Panel3->parameters().profile.name, std::string("Werkstatt"));
            QCOMPARE(form->Panel3->parameters().profile.feed, 777.0);
            form->close();
        }
        QFile damaged(home->filePath(kProfilesFileName));
        QVERIFY(damaged.open(QIODevice::Append));
        damaged.write("\n[Profile9]\nName=Kaputt\nMaxDecimals=viele\n");
        damaged.close();
        auto form = startForm();
        QTRY_COMPARE(errors.size(), 1);
        QVERIFY2(errors[0].contains("MaxDecimals"), qPrintable(errors[0]));
        QCOMPARE(form->Panel3->ProfileCombo->count(), int(BuiltInProfiles().size()) + 1);
        QCOMPARE(form->Panel3->ProfileCombo->itemText(0), QString("Nur Bahnen"));
    }
};

QTEST_MAIN(ReliefWindowTest)
#include "relief_window_test.moc"
