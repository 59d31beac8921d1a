// The options of the stepped program on the relief panel: what the panel hands to the
// generator, the saving in the figures and the status bar, and the options across a restart
// (in the settings store; options.dat keeps its layout).

#include "app/mainform.h"
#include "app/picturepage.h"
#include "app/picturepreview.h"
#include "app/reliefpanel.h"
#include "temporaryhome.h"

#include <QApplication>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QtTest>

#include <memory>

using namespace morvilo;

class LevelsWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> home;
    QStringList errors;

    std::unique_ptr<TMainform> startForm() {
        auto form = std::make_unique<TMainform>(home->path());
        form->errorBox = [this](const QString &message) { errors << message; };
        form->infoBox = [](const QString &) {};
        form->saveQuestion = [] { return QMessageBox::No; };
        form->show();
        QCoreApplication::processEvents();
        return form;
    }
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
};

QTEST_MAIN(LevelsWindowTest)
#include "levels_window_test.moc"
