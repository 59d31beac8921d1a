// The renumbering dialog: its defaults, Cancel, OK with the values shown, and values that stay
// from one use to the next.

#include "editor/editorcore.h"
#include "formatting/nummerblocksform.h"

#include <QCheckBox>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

#include <fstream>

using namespace morvilo;

namespace {

std::string textOf(TEditorCore &core) {
    std::string text(size_t(core.size()), '\0');
    core.mem().CopyOut(0, core.size(), reinterpret_cast<uint8_t *>(text.data()));
    return text;
}

} // namespace

class NummerBlocksFormTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir folder;
    int opened = 0;

    void open(TEditorCore &core, const std::string &text) {
        const std::string path = folder.filePath(QString("doc%1.nc").arg(++opened)).toStdString();
        std::ofstream(path, std::ios::binary) << text;
        QVERIFY(core.OpenFileWithName(path));
    }

private slots:
    void defaults() {
        TNummerBlocksForm form;
        QCOMPARE(form.windowTitle(), QString::fromUtf8("Blöcke neu nummerieren"));
        QVERIFY(form.RadioButton1->isChecked());
        QCOMPARE(form.startnumed->value(), 1);
        QCOMPARE(form.startnumed->minimum(), 1);
        QCOMPARE(form.inced->value(), 2);
        QCOMPARE(form.inced->maximum(), 1000000);
        QVERIFY(!form.addspacecheck->isChecked());
        QCOMPARE(form.addspacecheck->text(), QString::fromUtf8("Leerzeichen einfügen"));
    }

    void cancelLeavesTheTextAlone() {
        TNummerBlocksForm form;
        form.execDialog = [](QDialog &) { return false; };
        TEditorCore core;
        open(core, "N5 G1\n");
        QVERIFY(!form.BlckeneuNummerieren(core));
        QCOMPARE(textOf(core), std::string("N5 G1\n"));
        QVERIFY(!core.CanUndo());
        QVERIFY(!core.changed);
    }

    void okRenumbersWithTheValuesShownAndTheyStay() {
        TNummerBlocksForm form;
        form.execDialog = [&](QDialog &) {
            form.RadioButton2->setChecked(true);
            form.startnumed->setValue(100);
            form.inced->setValue(5);
            form.addspacecheck->setChecked(true);
            return true;
        };
        TEditorCore core;
        open(core, "N5 G1\n(c)\nGOTO5\n");
        QVERIFY(form.BlckeneuNummerieren(core));
        QCOMPARE(textOf(core), std::string("N100  G1\r\n(c)\nN105 GOTO100\r\n"));

        int shownStart = 0;
        bool shownChoice2 = false, shownSpace = false;
        form.execDialog = [&](QDialog &) {
            shownStart = form.startnumed->value();
            shownChoice2 = form.RadioButton2->isChecked();
            shownSpace = form.addspacecheck->isChecked();
            return false;
        };
        form.BlckeneuNummerieren(core);
        QCOMPARE(shownStart, 100);
        QVERIFY(shownChoice2);
        QVERIFY(shownSpace);
    }
};

QTEST_MAIN(NummerBlocksFormTest)
#include "nummerblocksform_test.moc"
