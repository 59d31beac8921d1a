// The search, replace and jump commands of the main window with their dialogs.

#include "app/mainform.h"
#include "app/zeilennummerform.h"
#include "editor/searchdialogs.h"
#include "editor/texteditorlf.h"
#include "temporaryhome.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace morvilo;

class SearchCommandsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> home;
    std::unique_ptr<TMainform> form;
    QStringList messages; // "caption: text" of every captioned error box

    TEditorCore &core() { return form->memo1->core(); }
    QByteArray text() {
        QByteArray t(qsizetype(core().size()), '\0');
        core().mem().CopyOut(0, core().size(), reinterpret_cast<uint8_t *>(t.data()));
        return t;
    }
    void open(const QByteArray &bytes) {
        const QString path = home->filePath("doc.nc");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        QVERIFY(core().OpenFileWithName(path.toStdString()));
    }
    // Runs a menu command whose dialog the test fills in and accepts.
    template <typename Dialog, typename Fill> void runAccepted(const char *command, Fill fill) {
        bool shown = false;
        form->memo1->execDialog = [&](QDialog &dialog) {
            fill(dynamic_cast<Dialog &>(dialog));
            return shown = true;
        };
        form->action(command)->trigger();
        QVERIFY2(shown, command);
    }
    std::pair<int64_t, int64_t> selection() { return {core().markx, core().curx}; }

private slots:
    void init() {
        home = UseTemporaryHome();
        form = std::make_unique<TMainform>(home->path());
        form->errorBox = [this](const QString &message) { messages << message; };
        form->memo1->captionedErrorBox = [this](const QString &message, const QString &caption) {
            messages << caption + ": " + message;
        };
        form->show();
        messages.clear();
    }
    void cleanup() { form.reset(); }

    void theDialogsShowTheirCaptionsAndDefaults() {
        for (const char *name :
             {"Suchen1", "Weitersuchen1", "Suchenundersetzen1", "Weitersuchenundersetzen1",
              "ZurZeilennummerspringen1", "AnPositioninDateispringen1"})
            QVERIFY2(form->action(name)->isEnabled(), name);
        TSearchForm &search = form->memo1->searchForm();
        QCOMPARE(search.windowTitle(), QString("Suchen"));
        QCOMPARE(search.Label1->text(), QString("Suchtext:"));
        QCOMPARE(search.CaseSensCheck->text(),
                 QString::fromUtf8("Groß- und Kleinbuchstaben unterscheien"));
        QCOMPARE(search.StartBegCheck->text(),
                 QString("Vom Anfang der Datei anfangen statt am Cursor"));
        TSearchRepForm &replace = form->memo1->searchRepForm();
        QCOMPARE(replace.windowTitle(), QString("Suchen und Ersetzen"));
        QCOMPARE(replace.Label2->text(), QString("Ersetzen durch:"));
        QCOMPARE(replace.RepAllCheck->text(), QString("Alles ersetzen"));
        QCOMPARE(form->memo1->posForm().windowTitle(), QString("An Position springen"));
        QCOMPARE(form->memo1->posForm().Label1->text(), QString("Offset-Position:"));
        for (QCheckBox *check : {search.HexCheck, search.CaseSensCheck, search.StartBegCheck,
                                 replace.HexCheck, replace.CaseSensCheck, replace.RepAllCheck,
                                 replace.StartBegCheck, form->memo1->posForm().HexCheck})
            QVERIFY(!check->isChecked());
        auto *lines = form->findChild<TZeilennummerForm *>("ZeilennummerForm");
        QVERIFY(lines);
        QCOMPARE(lines->windowTitle(), QString("Zur Zeilennummer springen"));
        QCOMPARE(lines->Zeile->value(), 1);
        QVERIFY(lines->RadioButton2->isChecked());
        QCOMPARE(lines->RadioButton2->text(),
                 QString::fromUtf8("Zeilennummern aus N Blöcken suchen"));
        QCOMPARE(lines->RadioButton1->text(), QString("Zeilennummern im Editor"));
        QCOMPARE(lines->BitBtn2->text(), QString("Abbrechen"));
    }

    // The real modal dialog: typed into and accepted with its OK button.
    void searchDialogRoundTrip() {
        open("N10 G1 X1\r\nN20 g1 X2\r\n");
        TSearchForm &dialog = form->memo1->searchForm();
        QTimer::singleShot(0, &dialog, [&dialog] {
            QTest::keyClicks(dialog.Edit1, "G1 x");
            dialog.BitBtn1->click();
        });
        form->memo1->Suchen();
        QCOMPARE(selection(), std::make_pair(int64_t(4), int64_t(8)));
        QCOMPARE(dialog.Edit1->text(), QString("G1 x")); // kept for the next use

        form->action("Weitersuchen1")->trigger(); // F3: the same settings, from the caret
        QCOMPARE(selection(), std::make_pair(int64_t(15), int64_t(19)));
        form->action("Weitersuchen1")->trigger();
        QCOMPARE(selection(), std::make_pair(int64_t(15), int64_t(19)));
        QCOMPARE(messages, QStringList{"Suchen: Die Zeichenkette konnte nicht gefunden werden."});

        // Opened again, the text is selected as a whole; start at the beginning works once.
        runAccepted<TSearchForm>("Suchen1", [](TSearchForm &d) {
            QCOMPARE(d.Edit1->selectedText(), QString("G1 x"));
            d.StartBegCheck->setChecked(true);
        });
        QCOMPARE(selection(), std::make_pair(int64_t(4), int64_t(8)));
        QVERIFY(!dialog.StartBegCheck->isChecked());
    }

    void replaceAllAndSingleReplacement() {
        open("G1 X1\r\nG1 X2\r\nG1 X3\r\n");
        runAccepted<TSearchRepForm>("Suchenundersetzen1", [](TSearchRepForm &d) {
            d.Edit1->setText("x");
            d.Edit2->setText("Y");
            d.RepAllCheck->setChecked(true);
        });
        QCOMPARE(text(), QByteArray("G1 Y1\r\nG1 Y2\r\nG1 Y3\r\n"));
        QVERIFY(messages.isEmpty());
        QVERIFY(form->changed);

        form->memo1->searchRepForm().Edit1->setText("0d0a"); // CR LF by a blank, one at a time
        form->memo1->searchRepForm().Edit2->setText("20");
        form->memo1->searchRepForm().HexCheck->setChecked(true);
        form->memo1->searchRepForm().RepAllCheck->setChecked(false);
        core().curx = 0;
        core().UpdateCaretPos(true, false, false);
        form->action("Weitersuchenundersetzen1")->trigger();
        QCOMPARE(text(), QByteArray("G1 Y1 G1 Y2\r\nG1 Y3\r\n"));
        QCOMPARE(selection(), std::make_pair(int64_t(5), int64_t(6)));
    }

    void positionAndLineNumberJumps() {
        open(QByteArray(40, 'x') + "\r\nN30 X1\r\nN0003 X2\r\n");
        runAccepted<TPosForm>("AnPositioninDateispringen1", [](TPosForm &d) {
            d.Edit1->setText("1A");
            d.HexCheck->setChecked(true);
        });
        QCOMPARE(selection(), std::make_pair(int64_t(26), int64_t(26)));

        auto *lines = form->findChild<TZeilennummerForm *>("ZeilennummerForm");
        int number = 3;
        bool blocks = true;
        lines->execDialog = [&](QDialog &) {
            lines->Zeile->setValue(number);
            (blocks ? lines->RadioButton2 : lines->RadioButton1)->setChecked(true);
            return true;
        };
        form->action("ZurZeilennummerspringen1")->trigger();
        QCOMPARE(selection(), std::make_pair(int64_t(50), int64_t(59)));
        blocks = false;
        number = 2;
        form->action("ZurZeilennummerspringen1")->trigger();
        QCOMPARE(selection(), std::make_pair(int64_t(42), int64_t(49)));
    }
};

QTEST_MAIN(SearchCommandsTest)
#include "searchcommands_test.moc"
