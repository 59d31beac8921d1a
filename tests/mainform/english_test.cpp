// The main window started with English chosen: every caption, hint, list entry and heading of
// every window and dialog the commands open is one of the shipped English texts, and the
// translation table has not learned any English text as a new source text.

#include "app/helpwindow.h"
#include "app/mainform.h"
#include "app/profiledialog.h"
#include "app/reliefpanel.h"
#include "app/subprogramviews.h"
#include "editor/editorcore.h"
#include "editor/texteditorlf.h"
#include "expressions/variablelistform.h"
#include "temporaryhome.h"
#include "translation/translatetable.h"
#include "translation/translateunit.h"
#include "vantrel/outputfile.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QDoubleSpinBox>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QSettings>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

using namespace morvilo;

namespace {

// Texts every language writes alike: numbers, units, view names, port and device names.
bool isLanguageNeutral(const QString &text) {
    static const QRegularExpression neutral(
        "^([^A-Za-zÄÖÜäöüß]*|.|[A-Z]{2,4}|[xyz]{2,3}|language\\d+|COM\\d+|/dev/"
        "\\S+|[+-]?[XYZ]|.*\\d+\\s*(mm|ms|%)|"
        "Vantrel Morvilo 1\\.0.*|Copyright © \\d+ Vantrel)$");
    return neutral.match(text).hasMatch();
}

QString withoutMnemonic(QString text) {
    static const QRegularExpression mnemonic("&(?=[^&])");
    return text.remove(mnemonic).trimmed();
}

// The texts a widget shows of itself (not its children's).
QStringList ownTexts(QWidget *widget) {
    QStringList texts{widget->toolTip()};
    if (widget->isWindow())
        texts << widget->windowTitle();
    if (auto *label = qobject_cast<QLabel *>(widget); label && label->textFormat() != Qt::RichText)
        texts << label->text();
    if (auto *button = qobject_cast<QAbstractButton *>(widget))
        texts << button->text();
    if (auto *group = qobject_cast<QGroupBox *>(widget))
        texts << group->title();
    if (auto *tabs = qobject_cast<QTabBar *>(widget))
        for (int i = 0; i < tabs->count(); ++i)
            texts << tabs->tabText(i) << tabs->tabToolTip(i);
    if (auto *combo = qobject_cast<QComboBox *>(widget))
        for (int i = 0; i < combo->count(); ++i)
            texts << combo->itemText(i);
    if (auto *edit = qobject_cast<QLineEdit *>(widget))
        texts << edit->placeholderText();
    // The file system model's headings are Qt's own.
    auto *header = qobject_cast<QHeaderView *>(widget);
    if (header && header->model() && !header->model()->inherits("QFileSystemModel"))
        for (int i = 0; i < header->count(); ++i)
            texts << header->model()->headerData(i, header->orientation()).toString();
    if (auto *menu = qobject_cast<QMenu *>(widget))
        texts << menu->title();
    for (QAction *action : widget->actions()) {
        texts << action->text();
        if (action->toolTip() != QAction(action->text()).toolTip()) // not the caption again
            texts << action->toolTip();
    }
    return texts;
}

// Every text shown by window and the widgets inside it, each with where it was found.
QStringList shownTexts(QWidget *window) {
    QStringList found;
    QList<QWidget *> widgets{window};
    widgets += window->findChildren<QWidget *>();
    for (QWidget *widget : widgets) {
        // Qt's file system model lists the files of the disk, not texts of the tool.
        if (widget->inherits("QTreeView") || widget->inherits("QListView"))
            continue;
        for (const QString &text : ownTexts(widget)) {
            const QString shown = withoutMnemonic(text);
            if (!shown.isEmpty())
                found << shown + "\t(" + widget->metaObject()->className() + " " +
                             widget->objectName() + ")";
        }
    }
    return found;
}

} // namespace

class EnglishInterfaceTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> home;
    std::unique_ptr<TMainform> form;
    QSet<QString> englishTexts;
    QStringList untranslated;
    QStringList passed; // every text that went through the lookup

    void collectEnglishTexts() {
        TranslationTable &table = form->translationTable;
        for (int record = 0; record < table.RecordCount(); ++record) {
            const QString english = withoutMnemonic(table.Cell(record, 1));
            if (!english.isEmpty())
                englishTexts << english;
        }
    }

    void check(QWidget *window) {
        for (const QString &entry : shownTexts(window)) {
            const QString text = entry.section('\t', 0, 0);
            // Qt's hints drop a caption's ellipsis.
            if (!englishTexts.contains(text) && !englishTexts.contains(text + "...") &&
                !isLanguageNeutral(text))
                untranslated << entry;
        }
    }

    // Runs open, which shows a modal dialog, checks the dialog's texts and closes it.
    void checkModal(const std::function<void()> &open) {
        bool seen = false;
        QTimer poll;
        poll.setInterval(10);
        connect(&poll, &QTimer::timeout, [&] {
            if (QWidget *dialog = QApplication::activeModalWidget()) {
                poll.stop();
                seen = true;
                check(dialog);
                if (auto *d = qobject_cast<QDialog *>(dialog))
                    d->reject();
                else
                    dialog->close();
            }
        });
        poll.start();
        open();
        QVERIFY(seen);
    }

private slots:
    void init() {
        home = UseTemporaryHome();
        QFile options(home->filePath("options.dat"));
        QVERIFY(options.open(QIODevice::WriteOnly));
        options.write(QByteArray::fromHex("000000000500000001000000000000000000000001000000"));
        options.close();
        form = std::make_unique<TMainform>(home->path());
        form->errorBox = [this](const QString &message) { untranslated << "error: " + message; };
        form->infoBox = [](const QString &) {};
        passed.clear();
        SetTranslationLookup([this](const QString &text) {
            passed << text;
            return form->translationTable.TranslateString(text, language);
        });
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QCOMPARE(language, 1);
        collectEnglishTexts();
        untranslated.clear();
    }

    void cleanup() {
        form.reset();
        language = 0;
    }

    void everyWindowShowsEnglish() {
        check(form.get());
        for (QMenu *menu : form->menuBar()->findChildren<QMenu *>())
            check(menu);
        const std::unique_ptr<QMenu> toolBars(form->createPopupMenu()); // the tool bars' titles
        check(toolBars.get());

        form->Variablenanzeigen1Click();
        check(form->ShowVariablesForm);
        form->Hilfe2Click();
        check(form->helpWindow);
        for (const char *command :
             {"Ausdruckberechnen1", "BlckeneuNummerieren1", "OrdnerfrUnterprogramme1",
              "PortEinstellungen1", "berdasProgramm1", "Suchen1", "Suchenundersetzen1",
              "ZurZeilennummerspringen1", "AnPositioninDateispringen1", "Backplotdrucken1",
              "bersetzen1", "Maschinenprofile1"})
            checkModal([this, command] { form->action(command)->trigger(); });

        untranslated.removeDuplicates();
        for (const QString &entry : untranslated)
            qWarning("not English: %s", qPrintable(entry));
        QVERIFY2(untranslated.isEmpty(), "texts without an English translation (listed above)");
    }

    // The built-in profiles' names are the tool's texts: English in the tool bar, the profiles
    // dialog and the relief's figures; the HAAS option's hint tells what it switches.
    void builtInProfileNamesAndHintsSpeakEnglish() {
        QCOMPARE(form->Panel3->ProfileCombo->itemText(0), QString("Paths only"));
        TProfileDialog dialog(form->Panel3->profiles(), "Nur Bahnen", form.get());
        QCOMPARE(dialog.ProfileList->item(0)->text(), QString("Paths only"));
        QCOMPARE(dialog.NameEd->text(), QString("Paths only"));
        dialog.CopyBtn->click();
        QCOMPARE(dialog.NameEd->text(), QString("Paths only (copy)"));
        const QString picture = home->filePath("grey.bmp");
        QImage grey(40, 40, QImage::Format_RGB32);
        grey.fill(Qt::gray);
        QVERIFY(grey.save(picture));
        form->opentheDXFnow(picture);
        QVERIFY2(form->ReliefFiguresLabel->text().endsWith("(Paths only)"),
                 qPrintable(form->ReliefFiguresLabel->text()));
        QVERIFY2(form->action("Haas")->toolTip().contains("M97 Pn calls the local subprogram"),
                 qPrintable(form->action("Haas")->toolTip()));
    }

    void helpPageIsTheEnglishOne() {
        form->Hilfe2Click();
        auto *browser = form->helpWindow->findChild<QTextBrowser *>();
        QVERIFY(browser);
        QVERIFY(browser->toPlainText().contains("The pages of the main window"));
    }

    void messageBoxesSpeakEnglish() {
        QString shown;
        form->errorBox = [&shown](const QString &message) { shown = message; };
        form->infoBox = [&shown](const QString &message) { shown = message; };
        const QString notAPicture = home->filePath("empty.png");
        QFile(notAPicture).open(QIODevice::WriteOnly);
        const QString picture = home->filePath("white.bmp");
        QImage white(4, 4, QImage::Format_RGB32);
        white.fill(Qt::white);
        QVERIFY(white.save(picture));
        const std::pair<std::function<void()>, QString> cases[] = {
            {[&] { form->OpenFileWithName(home->filePath("missing.nc")); },
             "The file could not be opened!"},
            {[&] { form->opentheDXFnow(notAPicture); }, "The picture could not be loaded."},
            {[&] {
                 form->Panel3->BreitEdValue->setValue(0.01);
                 form->opentheDXFnow(picture);
             },
             "The grid is too small (columns: 0, rows: 0): a relief needs at least 2 columns"},
            {[&] { form->LanguageClick(1); }, "Please close the program and start it again!"},
        };
        for (const auto &[open, expected] : cases) {
            shown.clear();
            open();
            QVERIFY2(shown.startsWith(expected), qPrintable(shown));
        }
    }

    // A failed open or save names the file and says why, in English.
    void fileErrorsSpeakEnglish() {
        QString shown;
        form->errorBox = [&shown](const QString &message) { shown = message; };
        const QString missing = home->filePath("missing.nc");
        QVERIFY(!form->OpenFileWithName(missing));
        QCOMPARE(shown, "The file could not be opened!\n" + missing + "\nNo such file or folder");
        const QString full = home->filePath("full.nc");
        OutputFile::SetWriteFaultAfter(0);
        form->memo1->core().insertText(std::string("G1"));
        QVERIFY(!form->SaveTheFile(full));
        OutputFile::SetWriteFaultAfter(-1);
        QCOMPARE(shown, "The file could not be created!\n" + full + "\nNo space left on the disk");
        form->saveQuestion = [] { return QMessageBox::No; };
    }

    // A damaged table is left alone: the shipped English texts serve, and the message about it
    // is English too.
    void damagedTableIsReportedInEnglish() {
        form.reset();
        QFile table(home->filePath("translate.dbf"));
        QVERIFY(table.open(QIODevice::WriteOnly | QIODevice::Truncate));
        table.write("damaged");
        table.close();
        QStringList shown;
        form = std::make_unique<TMainform>(home->path());
        form->errorBox = [&shown](const QString &message) { shown << message; };
        form->show();
        QTRY_VERIFY(!shown.isEmpty());
        QCOMPARE(shown, QStringList{"The translation table " + table.fileName() +
                                    " is damaged (incomplete header). The program does not "
                                    "use it."});
        QCOMPARE(form->menuBar()->actions().front()->text(), QString("File"));
        QVERIFY(table.open(QIODevice::ReadOnly));
        QCOMPARE(table.readAll(), QByteArray("damaged"));
    }

    void subprogramEditorsSpeakEnglish() {
        TEditorCore *editor = form->subprogramEditors->Create(true);
        QCOMPARE(editor->messages.GetTranslation(kMsgCut), std::string("Cut"));
        form->subprogramEditors->Release(editor);
    }

    // Every text that passes the table is stored whole, so no two texts share a record (and a
    // translation), and no inner name of a widget or command passes it as a text.
    void everyTextPassingTheTableHasARecordOfItsOwn() {
        form->Variablenanzeigen1Click();
        for (const char *command : {"Ausdruckberechnen1", "bersetzen1", "Backplotdrucken1"})
            checkModal([this, command] { form->action(command)->trigger(); });
        TranslationTable &table = form->translationTable;
        QSet<QString> stored;
        for (int record = 0; record < table.RecordCount(); ++record)
            stored << table.Cell(record, 0);
        QSet<QString> names;
        for (QWidget *window : QApplication::topLevelWidgets())
            for (QObject *object : window->findChildren<QObject *>())
                names << object->objectName();
        names.remove(QString());
        QStringList lost, internal;
        for (const QString &text : std::as_const(passed)) {
            const QString key = QString(text).remove(QRegularExpression("^ +| +$"));
            if (key.isEmpty() || key.size() > kTranslationCellWidth)
                continue; // nothing recorded, or recorded cut
            if (!stored.contains(key))
                lost << key;
            if (names.contains(key))
                internal << key;
        }
        lost.removeDuplicates();
        internal.removeDuplicates();
        QVERIFY2(!passed.isEmpty(), "the windows were translated");
        QVERIFY2(lost.isEmpty(), qPrintable("stored as another text: " + lost.join(" | ")));
        QVERIFY2(internal.isEmpty(), qPrintable("inner names: " + internal.join(" | ")));
    }

    // Translating the windows never feeds an English text back as a new source text.
    void noEnglishTextIsLearnedAsSource() {
        form->Variablenanzeigen1Click();
        checkModal([this] { form->action("Ausdruckberechnen1")->trigger(); });
        TranslationTable &table = form->translationTable;
        QStringList learned;
        for (int record = 0; record < table.RecordCount(); ++record) {
            const QString german = table.Cell(record, 0).trimmed();
            if (table.Cell(record, 1).trimmed().isEmpty() && englishTexts.contains(german))
                learned << german;
        }
        QVERIFY2(learned.isEmpty(), qPrintable(learned.join('\n')));
    }
};

QTEST_MAIN(EnglishInterfaceTest)
#include "english_test.moc"
