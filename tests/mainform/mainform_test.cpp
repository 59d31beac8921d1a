#include "../dnc/ptypair.h"
#include "app/aboutbox.h"
#include "app/helpwindow.h"
#include "app/mainform.h"
#include "app/ordnerform.h"
#include "app/picturepage.h"
#include "app/plotbox.h"
#include "app/reliefpanel.h"
#include "app/subprogramviews.h"
#include "dnc/portfile.h"
#include "editor/texteditorlf.h"
#include "expressions/variablelistform.h"
#include "linetext/linetext.h"
#include "settings/settingsstore.h"
#include "temporaryhome.h"
#include "translation/translateform.h"
#include "translation/translateunit.h"
#include "vantrel/dynaarray.h"
#include "vantrel/outputfile.h"
#include "view/dxfexportdialog.h"
#include "view/printform.h"

#include <QCheckBox>
#include <QDate>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSettings>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <QTreeWidget>
#include <QWidgetAction>
#include <QtTest>

#include <memory>

using namespace morvilo;

namespace {

void writeAll(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// "name|caption|shortcut|kind": kind c command, t/T toggle (T checked), r/R radio, s submenu;
// "-" a separator.
QString describe(QAction *a) {
    if (a->isSeparator())
        return "-";
    QString kind = "c";
    if (a->menu())
        kind = "s";
    else if (a->actionGroup())
        kind = a->isChecked() ? "R" : "r";
    else if (a->isCheckable())
        kind = a->isChecked() ? "T" : "t";
    return a->objectName() + "|" + a->text() + "|" + a->shortcut().toString() + "|" + kind;
}

const QList<QPair<QString, QStringList>> kExpectedMenu = {
    {"Datei",
     {"Neu1|Neu|Ctrl+N|c", "-", "ffnen1|Öffnen...|Ctrl+O|c", "Speichern1|Speichern|Ctrl+S|c",
      "Speichernunter1|Speichern unter...|Ctrl+U|c", "-", "DXFExport1|DXF Export...||c",
      "Werkstueckexportieren1|Werkstück exportieren...||c", "-",
      "Druckereinrichten1|Drucker einrichten...||c", "Drucken1|Drucken|Ctrl+D|c",
      "Backplotdrucken1|Backplot drucken||c", "-",
      "ZuletztgeffneteDateien1|Zuletzt geöffnete Dateien||s", "-", "Beenden1|Beenden||c"}},
    {"Bearbeiten",
     {"Rckgngig1|Rückgängig (Gruppe)|Ctrl+Z|c", "Wiederholen1|Wiederholen (Gruppe)|Ctrl+Y|c",
      "Rckgngigeinzeln1|Rückgängig (einzeln)|Ctrl+Alt+Z|c",
      "Wiederholeneinzeln1|Wiederholen (einzeln)|Ctrl+Alt+Y|c", "-",
      "Ausschneiden1|Ausschneiden|Ctrl+X|c",
      "KopierenmitBinrdaten1|Kopieren mit Binärdaten|Ctrl+K|c", "Kopieren1|Kopieren|Ctrl+C|c",
      "Einfgen1|Einfügen|Ctrl+V|c", "Lschen1|Löschen||c", "-",
      "Allesmarkieren1|Alles markieren|Ctrl+A|c", "-", "Suchen1|Suchen...|Ctrl+F|c",
      "Weitersuchen1|Weitersuchen|F3|c", "Suchenundersetzen1|Suchen und ersetzen...|Ctrl+R|c",
      "Weitersuchenundersetzen1|Weiter suchen und ersetzen|Ctrl+F3|c",
      "ZurZeilennummerspringen1|Zur Zeilennummer springen...|Ctrl+J|c",
      "AnPositioninDateispringen1|An Position in Datei springen...|Ctrl+P|c"}},
    {"Formatieren",
     {"BlckeneuNummerieren1|Blöcke neu numerieren||c",
      "Nummierungentfernen1|Blocknumierung entfernen||c", "-",
      "Leerzeichenhinzufgen1|Leerzeichen hinzufügen||c",
      "Leerzeichenentfernen1|Leerzeichen entfernen||c",
      "LeerzeichenamZeilenanfangentfernen1|Leerzeichen am Zeilenanfang entfernen||c",
      "LeerzeichenamZeilenendeentfernen1|Leerzeichen am Zeilenende entfernen||c", "-",
      "LeereZeilenentfernen1|Leere Zeilen entfernen||c",
      "Kommentareentfernen1|Kommentare entfernen||c", "-",
      "AllesinGrossbuchstabenumwandeln1|Alles in Grossbuchstaben umwandeln||c"}},
    {"Berechnen",
     {"Variablenanzeigen1|Variablen anzeigen...||c", "Ausdruckberechnen1|Ausdruck berechnen...||c",
      // Added after the items of old: the facts of the last run.
      "-", "ProgrammInfo1|Programm-Info...||c"}},
    {"Maschine",
     {"Mill|Fräsmachine/Mill||R", "Dreh1|Drehmaschine/Lathe (G-Codesystem  A)||r",
      "Dreh2|Drehmaschine/Lathe (G-Codesystem  B)||r", "-",
      "Haas|HAAS Fräsmaschine (Bohrungen entlang Kreis/Arc/Line G70/G71/G72 anstatt "
      "G34,G36,G35)||t",
      "-", "absolutecheck|Absolute Koordinaten für Kreisbögen Mittelpunkte||t",
      "IJKsindModal1|I, J, K sind Modal||t", "IJKsindInkremental1|I, J, K sind Inkremental||t",
      "G91relativeKoordinaten1|G91 relative Koordinaten ||t", "-",
      "otherbreakets|[] für Kommentare anstatt ()||t",
      "donotprocessdeletedlines|/Gelöschte Blöcke  nicht verarbeiten||t"}},
    {"Optionen",
     {"Ansichtautomatischaktuallisieren1|Ansicht automatisch aktuallisieren||T",
      "allcaps|Eingaben alle als Großbuchstaben||T", "Automatischrotieren1|Automatisch rotieren||t",
      "-", "OrdnerfrUnterprogramme1|Ordner für Unterprogramme...||c",
      "showsubs|Zeige gelandene Unterprogramme im Editor||t",
      "cyclesToScale|Bohrzyklen maßstäblich||t", "-",
      "ZeichekleinesRechteckumRapidMoveEndpunkte1|Zeiche kleines Rechteck um Rapid Move "
      "Endpunkte||R",
      "ZeichnekleinesRechteckumalleEndpunkte1|Zeichne kleines Rechteck um alle Endpunkte||r",
      "Endpunktenichtmarkieren1|Endpunkte nicht markieren||r",
      // Added after the items of old: the machine profiles of the relief program.
      "-", "Maschinenprofile1|Maschinenprofile...||c"}},
    {"DNC",
     {"Senden1|Senden||c", "PortEinstellungen1|Port Einstellungen...||c",
      "Empfangen1|Empfangen...||c"}},
    {"Sprache", {"Deutsch1|Deutsch||R", "English1|English||r", "-", "bersetzen1|Übersetzen...||c"}},
    {"Hilfe", {"Hilfe2|Hilfe...||c", "berdasProgramm1|Über das Programm...||c"}},
};

} // namespace

class MainformTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> home;
    QString errorShown;

    QString homeFile(const QString &name) const { return home->filePath(name); }

    // A main window on the current home folder, shown, with its boxes answered by the test.
    std::unique_ptr<TMainform> startForm(const StartupCommand &command = {}) {
        auto form = std::make_unique<TMainform>(home->path());
        form->errorBox = [this](const QString &message) { errorShown = message; };
        form->infoBox = [](const QString &) {};
        form->saveQuestion = [] { return QMessageBox::Cancel; };
        if (!command.picture.empty()) {
            ReliefParameters p;
            form->setStartupCommand(command, p);
        }
        form->show();
        return form;
    }

    QString newFile(const QString &name, const QByteArray &text) {
        writeAll(homeFile(name), text);
        return homeFile(name);
    }

private slots:
    void init() {
        home = UseTemporaryHome();
        errorShown.clear();
    }

    void menuTreeMatchesTheTable() {
        auto form = startForm();
        const QList<QAction *> menus = form->menuBar()->actions();
        QCOMPARE(menus.size(), kExpectedMenu.size());
        for (int m = 0; m < menus.size(); ++m) {
            QCOMPARE(menus[m]->text(), kExpectedMenu[m].first);
            QStringList items;
            for (QAction *a : menus[m]->menu()->actions())
                items << describe(a);
            QCOMPARE(items, kExpectedMenu[m].second);
        }
        QMenu *recent = form->menu.menus.value("ZuletztgeffneteDateien1");
        QCOMPARE(recent->actions().size(), 5);
        QCOMPARE(form->windowTitle(), QString("Vantrel Morvilo 1.0 - [unbenannt.cnc]"));
        QVERIFY(form->action("Neu1")->isEnabled());
        QVERIFY(form->action("Ausdruckberechnen1")->isEnabled());
        form->Variablenanzeigen1Click(); // non-modal
        QVERIFY(form->ShowVariablesForm->isVisible());
    }

    // The tool bars' context menu names them as a user knows them, not by their inner names;
    // the run tool bar's buttons are pictures whose captions are their hints.
    void toolBarsHaveTitlesAUserUnderstands() {
        auto form = startForm();
        const std::unique_ptr<QMenu> popup(form->createPopupMenu());
        QStringList listed;
        for (QAction *a : popup->actions())
            listed << a->text();
        QCOMPARE(listed, QStringList{"Datei und Bearbeiten"});
        QCOMPARE(form->ToolBar1->windowTitle(), QString("Backplot-Ansicht"));
        QCOMPARE(form->ToolBar3->windowTitle(), QString("Programmlauf"));
        for (QAction *a : form->ToolBar3->actions()) {
            if (a->isSeparator() || qobject_cast<QWidgetAction *>(a))
                continue;
            QVERIFY2(!a->icon().isNull(), qPrintable(a->objectName()));
            QCOMPARE(a->text(), a->toolTip());
        }
    }

    void panelStartsWithTheStartupValues() {
        auto form = startForm();
        TReliefPanel *panel = form->Panel3;
        QCOMPARE(panel->FraesTiefe->value(), 1.0); // not the design value 5
        QCOMPARE(panel->SicherEd->value(), -1.0);
        QCOMPARE(panel->BreitEdValue->text(), QString("10.00"));
        QCOMPARE(panel->AbstandFrEd->text(), QString("0.05"));
        QCOMPARE(panel->AbstufEd->value(), 16);
        {
            // Fits the designed width in the font every machine has (scripts/setup installs
            // it), whatever other fonts a machine offers as its default.
            const QFont font = QApplication::font();
            QFont dejaVu = font;
            dejaVu.setFamily("DejaVu Sans");
            QApplication::setFont(dejaVu);
            QCOMPARE(form->Panel3->fontInfo().family(), QString("DejaVu Sans"));
            QVERIFY(form->minimumSizeHint().width() <= 783);
            QApplication::setFont(font);
        }
        QVERIFY(QFile::exists(homeFile("translate.dbf"))); // created, and learning
        QVERIFY(!form->workreadonly);
        QCOMPARE(panel->NachkommaEd->value(), 4);
        QVERIFY(panel->CheckMinMaxBrightCheck->isChecked());
        QVERIFY(!panel->InvertCheck->isChecked());
        panel->BreitEdValue->setValue(0); // clamped to the smallest two-decimal value
        QCOMPARE(panel->parameters().width, 0.01L);
        QCOMPARE(form->PageControl1->tabText(0), QString("Bild Datei öffnen"));
        QCOMPARE(form->PageControl1->tabText(1), QString("G-Code ansehen"));
    }

    void captionFollowsTheDocument() {
        auto form = startForm();
        const QString cap = "Vantrel Morvilo 1.0 - ";
        form->PageControl1->setCurrentIndex(1);
        QTest::keyClicks(form->memo1, "g1");
        QCOMPARE(form->windowTitle(), cap + "[unbenannt.cnc*]");
        QCOMPARE(form->memo1->core().ByteAt(0), uint8_t('G')); // upper-case input is on

        const QString saved = homeFile("a.nc");
        form->saveDialog = [&] { return saved; };
        form->Speichernunter1Click();
        QCOMPARE(form->windowTitle(), cap + "[a.nc]");
        QCOMPARE(FileBytes(saved), QByteArray("G1"));

        const QString other = newFile("b.nc", "M30\r\n");
        form->openDialog = [&] { return other; };
        form->ffnen1Click(); // unchanged: no question
        QCOMPARE(form->windowTitle(), cap + "[b.nc]");
        QCOMPARE(form->afilename, other);

        form->Neu1Click();
        QCOMPARE(form->windowTitle(), cap + "[unbenannt.cnc]");
        QCOMPARE(form->memo1->core().size(), 0);
    }

    void changedDocumentAsksBeforeItGoes() {
        auto form = startForm();
        form->PageControl1->setCurrentIndex(1);
        QTest::keyClicks(form->memo1, "X1");
        QVERIFY(form->changed);

        // "Neu", Yes, and the save dialog cancelled: nothing happens.
        form->saveQuestion = [] { return QMessageBox::Yes; };
        form->saveDialog = [] { return QString(); };
        form->Neu1Click();
        QCOMPARE(form->memo1->core().size(), 2);

        // Closing: Cancel keeps window and text; No closes.
        form->saveQuestion = [] { return QMessageBox::Cancel; };
        QVERIFY(!form->close());
        QVERIFY(form->isVisible());
        QCOMPARE(form->memo1->core().size(), 2);

        // Yes saves first, then closes.
        const QString target = homeFile("closing.nc");
        form->saveQuestion = [] { return QMessageBox::Yes; };
        form->saveDialog = [&] { return target; };
        QVERIFY(form->close());
        QCOMPARE(FileBytes(target), QByteArray("X1"));

        auto second = startForm();
        second->PageControl1->setCurrentIndex(1);
        QTest::keyClicks(second->memo1, "Y");
        second->saveQuestion = [] { return QMessageBox::No; };
        QVERIFY(second->close());
    }

    // "Speichern" (here its key, Ctrl+S) writes the document under its name however the
    // document came by it and whatever happened since, and asks for a name only while the
    // document has none: after "Neu" and for a relief program made then.
    void speichernSavesUnderTheNameTheDocumentHas() {
        auto form = startForm();
        form->saveQuestion = [] { return QMessageBox::No; };
        QApplication::setActiveWindow(form.get());
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        form->PageControl1->setCurrentIndex(1);
        const QString plain = newFile("a.nc", "G1\r\n");
        const QString special = newFile("Teil ä #1 (neu).nc", "G1\r\n");
        const QString link = homeFile("verweis.nc");
        QVERIFY(QFile::link(plain, link));
        const QString picture = homeFile("logo.bmp");
        QVERIFY(QFile::copy(MORVILO_PICTURES "/bmp24.bmp", picture));
        auto open = [&](const QString &name) {
            form->openDialog = [name] { return name; };
            form->ffnen1Click();
        };
        QString offered; // what the save dialog answers
        int asked = 0;
        form->saveDialog = [&] {
            ++asked;
            return offered;
        };
        const struct {
            const char *how;
            std::function<void()> step;
            QString savedAs; // empty: the save dialog is cancelled
            bool asks;
        } cases[] = {
            {"Öffnen...", [&] { open(plain); }, plain, false},
            {"blanks, an umlaut and signs in the name", [&] { open(special); }, special, false},
            {"a link", [&] { open(link); }, link, false},
            {"a recent file", [&] { form->action("Zuletzt21")->trigger(); }, special, false},
            {"a backplot run", [&] { form->CalcBtnClick(); }, special, false},
            {"a relief program", [&] { form->opentheDXFnow(picture); }, special, false},
            {"an open that fails", [&] { open(homeFile("fehlt.nc")); }, special, false},
            {"an open cancelled", [&] { open(QString()); }, special, false},
            {"Speichern unter...",
             [&] {
                 offered = homeFile("b.nc");
                 form->Speichernunter1Click();
                 offered.clear();
             },
             homeFile("b.nc"), false},
            {"Neu", [&] { form->Neu1Click(); }, QString(), true},
            {"a relief program without a name", [&] { form->opentheDXFnow(picture); }, QString(),
             true},
        };
        for (const auto &c : cases) {
            c.step();
            QTest::keyClicks(form->memo1, "X1");
            TEditorCore &core = form->memo1->core();
            QByteArray text(qsizetype(core.size()), '\0');
            core.mem().CopyOut(0, core.size(), reinterpret_cast<uint8_t *>(text.data()));
            asked = 0;
            QTest::keyClick(form.get(), Qt::Key_S, Qt::ControlModifier);
            QVERIFY2(asked == int(c.asks), c.how);
            QVERIFY2(form->changed == c.savedAs.isEmpty(), c.how);
            if (!c.savedAs.isEmpty())
                QVERIFY2(FileBytes(c.savedAs) == text, c.how);
        }
    }

    void recentFilesMoveToTheTop() {
        QStringList names;
        for (const char *n : {"b", "c", "d", "e", "f", "g"})
            names << newFile(QString(n) + ".nc", "G0\r\n");
        writeAll(homeFile("fav.dat"), (names.mid(0, 5).join("\r\n") + "\r\n").toUtf8());
        auto form = startForm();
        QCOMPARE(form->action("Zuletzt11")->text(), names[0]);

        QVERIFY(form->OpenFileWithName(names[2])); // d
        QStringList expected = {names[2], names[0], names[1], names[3], names[4]};
        QCOMPARE(FileBytes(homeFile("fav.dat")), (expected.join("\r\n") + "\r\n").toUtf8());
        QVERIFY(form->OpenFileWithName(names[5])); // g
        expected = {names[5], names[2], names[0], names[1], names[3]};
        QCOMPARE(FileBytes(homeFile("fav.dat")), (expected.join("\r\n") + "\r\n").toUtf8());
        const char *const items[] = {"Zuletzt11", "Zuletzt21", "Zuletzt31", "Zuletzt41",
                                     "Zuletzt51"};
        for (int k = 0; k < 5; ++k)
            QCOMPARE(form->action(items[k])->text(), expected[k]);

        // A recent item loads the file; one that is gone leaves the document, its name and the
        // list alone.
        form->action("Zuletzt31")->trigger();
        QCOMPARE(form->afilename, names[0]);
        QVERIFY(!form->changed);
        QFile::remove(names[1]);
        form->action("Zuletzt41")->trigger();
        QCOMPARE(errorShown, "Die Datei konnte nicht geöffnet werden!\n" + names[1] +
                                 "\nDatei oder Ordner nicht vorhanden");
        QCOMPARE(form->afilename, names[0]);
        QCOMPARE(form->memo1->core().size(), 4);
    }

    // A recent item over unsaved changes asks first, as "Öffnen..." does.
    void recentFileAsksBeforeItReplacesAChangedText_data() {
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("document");   // the document afterwards
        QTest::addColumn<QByteArray>("current"); // current.nc on the disk afterwards
        QTest::newRow("Yes saves, then opens")
            << int(QMessageBox::Yes) << "recent.nc" << QByteArray("ZA1\r\n");
        QTest::newRow("No opens without saving")
            << int(QMessageBox::No) << "recent.nc" << QByteArray("A1\r\n");
        QTest::newRow("Cancel keeps everything")
            << int(QMessageBox::Cancel) << "current.nc" << QByteArray("A1\r\n");
    }

    void recentFileAsksBeforeItReplacesAChangedText() {
        QFETCH(int, answer);
        QFETCH(QString, document);
        QFETCH(QByteArray, current);
        auto form = startForm();
        QVERIFY(form->OpenFileWithName(newFile("recent.nc", "R2\r\n")));
        QVERIFY(form->OpenFileWithName(newFile("current.nc", "A1\r\n")));
        form->PageControl1->setCurrentIndex(1);
        QTest::keyClicks(form->memo1, "Z");
        int asked = 0;
        form->saveQuestion = [&] {
            ++asked;
            return QMessageBox::StandardButton(answer);
        };
        form->action("Zuletzt21")->trigger(); // recent.nc
        QCOMPARE(asked, 1);
        QCOMPARE(form->afilename, homeFile(document));
        QCOMPARE(FileBytes(homeFile("current.nc")), current);
        const bool cancelled = answer == QMessageBox::Cancel;
        QCOMPARE(form->changed, cancelled);
        QCOMPARE(form->memo1->core().ByteAt(0), uint8_t(cancelled ? 'Z' : 'R'));
        form->saveQuestion = [] { return QMessageBox::No; };
    }

    // A failed open or save names the file and says why in the interface's language, never
    // with the system's English text.
    void fileErrorsNameTheFileAndWhy_data() {
        QTest::addColumn<bool>("save");
        QTest::addColumn<QString>("file");
        QTest::addColumn<int64_t>("diskFullAfter"); // bytes; -1: no fault
        QTest::addColumn<QString>("expected");      // %1: the file
        const QString notOpened = "Die Datei konnte nicht geöffnet werden!\n%1\n";
        const QString notCreated = "Die Datei konnte nicht erzeugt werden!\n%1\n";
        QTest::newRow("open: no such file") << false << "missing.nc" << int64_t(-1)
                                            << notOpened + "Datei oder Ordner nicht vorhanden";
        QTest::newRow("open: a folder")
            << false << "folder" << int64_t(-1) << notOpened + "Das ist ein Ordner";
        QTest::newRow("save: no such folder") << true << "missing/a.nc" << int64_t(-1)
                                              << notCreated + "Datei oder Ordner nicht vorhanden";
        QTest::newRow("save: disk full") << true << "full.nc" << int64_t(0)
                                         << notCreated + "Kein Platz mehr auf dem Datenträger";
    }

    void fileErrorsNameTheFileAndWhy() {
        QFETCH(bool, save);
        QFETCH(QString, file);
        QFETCH(int64_t, diskFullAfter);
        QFETCH(QString, expected);
        QDir(home->path()).mkdir("folder");
        auto form = startForm();
        form->PageControl1->setCurrentIndex(1);
        QTest::keyClicks(form->memo1, "G1");
        OutputFile::SetWriteFaultAfter(diskFullAfter);
        const bool done =
            save ? form->SaveTheFile(homeFile(file)) : form->OpenFileWithName(homeFile(file));
        OutputFile::SetWriteFaultAfter(-1);
        QVERIFY(!done);
        QCOMPARE(errorShown, expected.arg(homeFile(file)));
        QVERIFY(form->changed); // the text stays, unsaved
        form->saveQuestion = [] { return QMessageBox::No; };
    }

    void favouriteFoldersMoveToTheTop() {
        auto form = startForm();
        TPicturePage *page = form->picturePage;
        page->AddToPrefFolders("/a/");
        page->AddToPrefFolders("/a/");
        page->AddToPrefFolders("/b/");
        QCOMPARE(FileBytes(homeFile("folders.dat")), QByteArray("/b/\r\n/a/\r\n"));
        page->AddToPrefFolders("/a/");
        page->AddToPrefFolders("/A/"); // another letter case is another folder
        QCOMPARE(FileBytes(homeFile("folders.dat")), QByteArray("/A/\r\n/a/\r\n/b/\r\n"));

        page->PrefListBox->clearSelection();
        page->PrefListBox->setCurrentItem(nullptr);
        page->Listeleeren1Click(); // nothing selected: nothing happens
        QCOMPARE(page->PrefListBox->topLevelItemCount(), 3);
        page->PrefListBox->setCurrentItem(page->PrefListBox->topLevelItem(1));
        page->Eintraglschen1Click();
        QCOMPARE(FileBytes(homeFile("folders.dat")), QByteArray("/A/\r\n/b/\r\n"));
        page->PrefListBox->setCurrentItem(page->PrefListBox->topLevelItem(0));
        page->Listeleeren1Click();
        QCOMPARE(page->PrefListBox->topLevelItemCount(), 0);
        QCOMPARE(FileBytes(homeFile("folders.dat")), QByteArray());
    }

    void doubleClickedPictureBecomesGCode() {
        QDir(home->path()).mkpath("pics/sub");
        const QString folder = home->filePath("pics") + "/";
        QVERIFY(QFile::copy(MORVILO_PICTURES "/bmp24.bmp", folder + "logo.bmp"));
        writeAll(folder + "broken.bmp", "BM not really");
        writeAll(homeFile("folders.dat"), folder.toUtf8() + "\r\n");
        auto form = startForm();
        TPicturePage *page = form->picturePage;
        QCOMPARE(page->selectedFolder(), folder);
        auto *model = static_cast<QFileSystemModel *>(page->JamShellList1->model());
        QTRY_VERIFY(model->index(folder + "logo.bmp").isValid() && page->listedFolder() == folder);

        auto choose = [&](const QString &name) {
            page->JamShellList1->setCurrentIndex(model->index(folder + name));
            QTest::keyClick(page->JamShellList1, Qt::Key_Return);
        };
        choose("broken.bmp");
        QCOMPARE(errorShown, QString("Das Bild konnte nicht geladen werden."));
        QCOMPARE(form->PageControl1->currentIndex(), 0);

        page->AddToPrefFolders("/elsewhere/");
        choose("logo.bmp");
        QCOMPARE(form->PageControl1->currentIndex(), 1);
        QVERIFY(form->memo1->core().size() > 0);
        QCOMPARE(form->windowTitle(), QString("Vantrel Morvilo 1.0 - [unbenannt.cnc*]"));
        QCOMPARE(page->favourites().Entries().front(), folder.toStdString());
        QCOMPARE(form->lastPictureFolder, folder);
        QVERIFY(form->afilename.isEmpty());

        // A sub-folder opens in the list and leaves the favourites alone.
        form->PageControl1->setCurrentIndex(0);
        QTRY_VERIFY(model->index(folder + "sub").isValid());
        choose("sub");
        QCOMPARE(page->selectedFolder(), folder + "sub/");
        QCOMPARE(page->favourites().Entries().size(), size_t(2));
    }

    void commandLineWithOnePictureShowsItsProgram() {
        StartupCommand command;
        command.picture = MORVILO_PICTURES "/png-rgb.png";
        auto form = startForm(command);
        QTRY_COMPARE(form->PageControl1->currentIndex(), 1);
        QVERIFY(form->memo1->core().size() > 0);
        QVERIFY(form->changed);
        QVERIFY(form->afilename.isEmpty());
        QCOMPARE(form->memo1->core().ByteAt(0), uint8_t('G'));
    }

    void optionsDatKeepsPortAndLanguage() {
        {
            auto form = startForm(); // no options.dat: the defaults, no file written
            QVERIFY(form->action("Deutsch1")->isChecked());
            QCOMPARE(form->portOptions.baud, 5);
            QVERIFY(!QFile::exists(homeFile("options.dat")));
            form->action("English1")->trigger();
            QVERIFY(form->action("English1")->isChecked());
            const QByteArray expected =
                QByteArray::fromHex("000000000500000001000000000000000000000001000000");
            QCOMPARE(FileBytes(homeFile("options.dat")), expected);
        }
        // A language column beyond the menu's two: German stays checked, the column is used.
        writeAll(homeFile("options.dat"),
                 QByteArray::fromHex("020000000700000002000000010000000300000003000000"));
        auto form = startForm();
        QVERIFY(form->action("Deutsch1")->isChecked());
        QCOMPARE(form->languagesetto, 3);
        QCOMPARE(language, 3);
        QCOMPARE(form->portOptions.port, 2);
        QCOMPARE(form->portOptions.parity, 3);
        language = 0;
    }

    void receivingFillsANewUnsavedDocument() {
        if (!test::PtyPair::SocatAvailable())
            QSKIP("socat is not installed (scripts/setup installs it)");
        QTemporaryDir line;
        test::PtyPair pair(line.path().toStdString());
        QVERIFY(pair.ready());
        auto form = startForm();
        QTest::keyClicks(form->memo1, "OLD");
        form->saveQuestion = [] { return QMessageBox::No; }; // the old text is dropped
        QVERIFY(
            dnc::WritePortDat(form->progpath + "port.dat", {pair.sender(), dnc::LineEnd::CrLf}));
        form->portOptions = PortOptions{dnc::kComPortCount, 5, 2, 0, 2, 0}; // the adapter, 8N1
        const QByteArray program = "%\r\nO0001\r\nG0 X1\r\n%\r\n";
        QTimer::singleShot(300, [&] {
            QFile machine(QString::fromStdString(pair.receiver()));
            QVERIFY(machine.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
            QCOMPARE(machine.write(program), program.size());
        });
        form->action("Empfangen1")->trigger();
        TEditorCore &core = form->memo1->core();
        QByteArray text(qsizetype(core.size()), '\0');
        core.mem().CopyOut(0, core.size(), reinterpret_cast<uint8_t *>(text.data()));
        QCOMPARE(text, program);
        QVERIFY(form->changed);
        QVERIFY(form->afilename.isEmpty());
        QVERIFY2(errorShown.isEmpty(), qPrintable(errorShown));
    }

    void translationEditorOpensOverTheTableOrSaysWhyNot() {
        auto form = startForm();
        QStringList told;
        form->infoBox = [&told](const QString &message) { told << message; };
        int width = 0;
        int rows = 0;
        int records = 0;
        QTimer::singleShot(0, form.get(), [&] {
            TTranslateForm *editor = form->TranslateForm.get();
            width = editor->isVisible() ? editor->DBGrid1->columnWidth(18) : 0;
            rows = editor->model()->rowCount();
            records = form->translationTable.RecordCount();
            editor->BackBtn->click();
        });
        form->action("bersetzen1")->trigger();
        QCOMPARE(width, 300);
        QVERIFY(records > 0); // the texts recorded at the first showing, one row each
        QCOMPARE(rows, records);
        QCOMPARE(told, QStringList{GetTString(kMsgRestart)});
        form.reset();

        writeAll(homeFile("translate.dbf"), "damaged");
        form = startForm();
        QCoreApplication::processEvents(); // the damage is told once at the first showing
        errorShown.clear();
        form->bersetzen1Click();
        QVERIFY(errorShown.contains("translate.dbf"));
        QVERIFY(!form->TranslateForm);
    }

    void checkMarksAndPlacementSurviveARestart() {
        {
            auto form = startForm();
            form->action("Automatischrotieren1")->setChecked(true);
            form->action("Dreh2")->setChecked(true);
            form->action("otherbreakets")->trigger();
            form->action("allcaps")->trigger();
            form->action("cyclesToScale")->trigger();
            form->setGeometry(40, 50, 790, 520);
            QVERIFY(form->close());
        }
        auto form = startForm();
        QVERIFY(form->isChecked("Automatischrotieren1"));
        QVERIFY(form->isChecked("Dreh2"));
        QVERIFY(!form->isChecked("Mill"));
        QVERIFY(form->isChecked("otherbreakets"));
        QCOMPARE(Brackets().commleft, '['); // the restored option sets the brackets
        QCOMPARE(Brackets().expleft, '(');
        QVERIFY(!form->isChecked("allcaps"));
        QVERIFY(form->isChecked("cyclesToScale"));
        QVERIFY(form->options.cyclesToScale);
        QVERIFY(!form->memo1->core().insertuppercase);
        QCOMPARE(form->size(), QSize(790, 520));
    }

    // The placement comes back where it was, stored as the client area of the normal window
    // (never the frame) in readable entries.
    void placementSurvivesARestart_data() {
        QTest::addColumn<QRect>("normal");
        QTest::addColumn<bool>("maximized");
        QTest::newRow("normal window") << QRect(40, 50, 790, 520) << false;
        QTest::newRow("maximised window") << QRect(10, 20, 783, 540) << true;
    }

    void placementSurvivesARestart() {
        QFETCH(QRect, normal);
        QFETCH(bool, maximized);
        {
            auto form = startForm();
            form->setGeometry(normal);
            if (maximized)
                form->showMaximized();
            QVERIFY(form->close());
        }
        const auto stored = SettingsStore("TMainform");
        QCOMPARE(QRect(stored->value("Left").toInt(), stored->value("Top").toInt(),
                       stored->value("Width").toInt(), stored->value("Height").toInt()),
                 normal);
        QCOMPARE(bool(stored->value("WindowState").toInt() & Qt::WindowMaximized), maximized);
        for (int restart = 0; restart < 2; ++restart) {
            auto form = startForm();
            QCOMPARE(form->isMaximized(), maximized);
            QCOMPARE(form->normalGeometry(), normal);
            if (!maximized)
                QCOMPARE(form->geometry(), normal);
            QVERIFY(form->close());
        }
    }

    // A placement on no screen that is there now (a monitor taken away) is not used.
    void placementOffEveryScreenIsCentred() {
        {
            auto store = SettingsStore("TMainform");
            for (const char *key : {"Left", "Top"})
                store->setValue(key, 100000);
            store->setValue("Width", 790);
            store->setValue("Height", 520);
        }
        auto form = startForm();
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        QCOMPARE(form->geometry().center(), screen.center());
        QCOMPARE(form->size(), QSize(783, 540));
    }

    void editMenuFollowsTheEditor() {
        auto form = startForm();
        form->Bearbeiten1Click();
        for (const char *name : {"Rckgngig1", "Wiederholen1", "Rckgngigeinzeln1", "Lschen1"})
            QVERIFY2(!form->action(name)->isEnabled(), name);
        form->PageControl1->setCurrentIndex(1);
        QTest::keyClicks(form->memo1, "G1");
        form->memo1->core().SelectAll();
        form->Bearbeiten1Click();
        QVERIFY(form->action("Rckgngig1")->isEnabled());
        QVERIFY(form->action("Lschen1")->isEnabled());
        QVERIFY(!form->action("Wiederholen1")->isEnabled());
        form->action("Rckgngig1")->trigger();
        QCOMPARE(form->memo1->core().size(), 0);
        form->Bearbeiten1Click();
        QVERIFY(form->action("Wiederholen1")->isEnabled());
    }

    void theBackplotRunsAndDraws() {
        auto form = startForm();
        form->PageControl1->setCurrentIndex(1);
        form->resize(783, 540);
        QTest::keyClicks(form->memo1, "G1 X10 Y5");
        QVERIFY(form->Timer2.isActive()); // the automatic refresh is due
        form->CalcBtnClick();
        QVERIFY(!form->flags.inrender);
        const uint32_t points = form->lines.Count();
        QVERIFY(points > 7); // the axis cross and start point, then the move
        QCOMPARE(form->lines[points - 1].x, 10.0);
        const QImage &bit = form->PaintBox1->bit();
        int lit = 0;
        for (int y = 0; y < bit.height(); ++y)
            for (int x = 0; x < bit.width(); ++x)
                lit += (bit.pixel(x, y) & 0xFFFFFF) != 0;
        QVERIFY(lit > 20);

        // A plot list that cannot grow ends the run and says so once.
        ReportAllocationFailure(uint64_t(1) << 40);
        ReportAllocationFailure(uint64_t(1) << 40);
        QVERIFY(!form->flags.breakprogram); // no run to end
        QTRY_VERIFY(errorShown.contains("RAM"));
        errorShown.clear();
        QTest::qWait(20);
        QVERIFY(errorShown.isEmpty());

        // A lathe reads X as the second axis of its plane: choosing it runs again.
        form->lines.Truncate(); // only a new run fills the list again
        form->action("Dreh1")->trigger();
        QVERIFY(form->options.Dreh1());
        QCOMPARE(form->lines.Count(), points);
        form->saveQuestion = [] { return QMessageBox::No; };
    }

    // A jump without its target says so in the status bar; "Bohrzyklen maßstäblich" redraws
    // a cycle to the hole bottom.
    void backplotNoticesAndCyclesToScale() {
        auto form = startForm();
        form->PageControl1->setCurrentIndex(1);
        for (const char *line : {"G0 X0 Y0 Z10", "G81 X5 Y0 Z-5 R2", "G80", "GOTO20"}) {
            QTest::keyClicks(form->memo1, line);
            QTest::keyClick(form->memo1, Qt::Key_Return);
        }
        form->CalcBtnClick();
        QCOMPARE(form->statusBar()->currentMessage(),
                 QString("Sprungziel N20 nicht gefunden (Zeile 4), Lauf beendet"));
        QCOMPARE(form->lines[form->lines.Count() - 2].z, 10.0 - 5.0); // the schematic stroke
        form->action("cyclesToScale")->trigger();
        QCOMPARE(form->lines[form->lines.Count() - 2].z, -5.0);
        QCOMPARE(form->lines[form->lines.Count() - 1].z, 10.0);
        form->saveQuestion = [] { return QMessageBox::No; };
    }

    // The G-code page with "G0 X0 Y0 / G1 X10 / G1 Y10" plotted in the xy view, zoomed to fit.
    std::unique_ptr<TMainform> plottedSquare() {
        auto form = startForm();
        form->resize(783, 540);
        form->PageControl1->setCurrentIndex(1);
        const QString file = newFile("square.nc", "G0 X0 Y0\r\nG1 X10\r\nG1 Y10\r\n");
        form->OpenFileWithName(file);
        form->action("ToolButton1")->trigger(); // xy
        form->CalcBtnClick();
        form->action("ToolButton17")->trigger(); // zoom to fit
        return form;
    }

    QPoint pixelOf(TMainform &form, double x, double y) {
        int32_t sx = 0, sy = 0;
        koordmat(ViewMatrix(form.view, form.PaintBox1->width(), form.PaintBox1->height()), x, y, 0,
                 0, 0, 0, 0, 0, 0, sx, sy);
        return QPoint(sx, sy);
    }

    void pressOnASegmentSelectsItsLine() {
        auto form = plottedSquare();
        for (const char *mode : {"RotBtn", "ZeigerBtn"})
            for (Qt::MouseButton button : {Qt::LeftButton, Qt::RightButton}) {
                form->action(mode)->trigger();
                form->memo1->core().markx = form->memo1->core().curx = 0;
                QTest::mousePress(form->PaintBox1, button, {}, pixelOf(*form, 5, 0));
                QCOMPARE(form->memo1->core().markx, int64_t(10)); // "G1 X10" starts at 10
                QCOMPARE(form->memo1->core().curx, int64_t(17));  // its CR LF included
                QVERIFY(!form->moveit);
                QTest::mouseRelease(form->PaintBox1, button, {}, pixelOf(*form, 5, 0));
            }
    }

    void pressOnTheBackgroundRotatesOrPans() {
        auto form = plottedSquare();
        const QPoint empty(5, 5);
        QWidget *box = form->PaintBox1;
        const double rotz = form->view.rotzv, rotx = form->view.rotxv;
        QTest::mousePress(box, Qt::LeftButton, {}, empty);
        QVERIFY(form->moveit);
        QCOMPARE(form->mmode, 0);
        QTest::mouseRelease(box, Qt::LeftButton, {}, empty + QPoint(100, 30));
        QCOMPARE(form->view.rotzv, rotz + 1.0);
        QCOMPARE(form->view.rotxv, rotx - 0.3);

        const double tx = form->view.tx;
        QTest::mousePress(box, Qt::RightButton, {}, empty);
        QCOMPARE(form->mmode, 1);
        QTest::mouseRelease(box, Qt::RightButton, {}, empty + QPoint(7, 0));
        QCOMPARE(form->view.tx, tx + 7);

        form->action("HandBtn")->trigger();
        QTest::mousePress(box, Qt::LeftButton, {}, empty);
        QCOMPARE(form->mmode, 1);
        QTest::mouseRelease(box, Qt::LeftButton, {}, empty);
        form->action("ZeigerBtn")->trigger();
        QTest::mousePress(box, Qt::LeftButton, {}, empty);
        QVERIFY(!form->moveit);
        QCOMPARE(form->focusWidget(), form->Edit1); // the wheel zooms now
        // A notch of 120 is one step; smaller deltas (touchpads) add up to one.
        const double zoom = form->view.zoom;
        form->PaintBox1Wheel(120);
        QCOMPARE(form->view.zoom, zoom * 1.1);
        for (int delta : {40, 40})
            form->PaintBox1Wheel(delta);
        QCOMPARE(form->view.zoom, zoom * 1.1);
        form->PaintBox1Wheel(40);
        QCOMPARE(form->view.zoom, zoom * 1.1 * 1.1);
    }

    // A program opened while the picture page is shown is run with the plot hidden; it is
    // fitted when its page is first shown, keeping a margin, however large it is drawn first.
    void openedProgramIsFittedWhenItsPageIsShown() {
        auto form = startForm();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QCOMPARE(form->PageControl1->currentIndex(), 0);
        const QString file = newFile("large.nc", "G0 X0 Y0\r\nG1 X200\r\nG1 Y100\r\nG1 X0\r\n");
        form->openDialog = [&] { return file; };
        form->ffnen1Click();
        form->Timer2.stop();
        form->CalcBtnClick(); // the run the opening asks for
        form->PageControl1->setCurrentIndex(1);
        const TPlotBox *box = form->PaintBox1;
        const ViewState &v = form->view;
        auto fitted = [&] {
            const int w = box->width(), h = box->height();
            return v.minxs && v.minx >= 20 && v.maxx < w - 20 && v.miny >= 20 && v.maxy < h - 20 &&
                   (v.maxx - v.minx >= w - 52 || v.maxy - v.miny >= h - 52);
        };
        QTRY_VERIFY2(fitted(), qPrintable(QString("box %1..%2 x %3..%4 in %5 x %6")
                                              .arg(v.minx)
                                              .arg(v.maxx)
                                              .arg(v.miny)
                                              .arg(v.maxy)
                                              .arg(box->width())
                                              .arg(box->height())));
        // The fit's paint, made on the drawing thread while the window went on, is the paint
        // of the whole list.
        const QImage shown = form->PaintBox1->bit();
        QImage whole(shown.size(), kPlotFormat);
        ViewState same = form->view;
        PaintPlot(whole, form->lines, same, EndpointMarks::RapidMoves);
        QVERIFY(shown == whole);
        QVERIFY(same.lastmat == v.lastmat);
        QCOMPARE(same.minx, v.minx);
        QCOMPARE(same.maxy, v.maxy);
    }

    void coordinatesUnderThePointer() {
        auto form = plottedSquare();
        form->PaintBox1MouseMove(pixelOf(*form, 10, 10).x(), pixelOf(*form, 10, 10).y());
        QVERIFY2(form->statusBar()->currentMessage().startsWith("X10.0"),
                 qPrintable(form->statusBar()->currentMessage()));
        QVERIFY(form->statusBar()->currentMessage().contains(", Y10.0"));
        QVERIFY(form->statusBar()->currentMessage().contains(", Z "));
    }

    void runControl() {
        auto form = plottedSquare();
        const uint32_t all = form->lines.Count();
        // Up to the caret on the second line: the run waits after it, "Animieren" goes on.
        form->memo1->core().curx = form->memo1->core().markx = 12;
        bool waited = false;
        QTimer::singleShot(200, [&] {
            waited = form->flags.inrender && form->flags.pause;
            form->AnimateBtnClick();
        });
        form->ToolButton14Click(); // returns when the run has ended
        QVERIFY(waited);
        QVERIFY(!form->flags.inrender);
        QCOMPARE(form->lines.Count(), all);
        // From the caret on the third line: the earlier points are stored pen-up.
        form->memo1->core().curx = form->memo1->core().markx = 20;
        form->ToolButton15Click();
        QCOMPARE(form->lines.Count(), all);
        QCOMPARE(int(form->lines[all - 2].typ), 0); // "G1 X10" not drawn
        QCOMPARE(int(form->lines[all - 1].typ), 1);
        QCOMPARE(form->flags.plotvon, int64_t(0)); // the run end resets the limits
        // Several edits: one run, one second after the last.
        form->memo1->core().curx = form->memo1->core().markx = form->memo1->core().size();
        QTest::keyClicks(form->memo1, "G1X5");
        QVERIFY(form->Timer2.isActive());
        QTRY_VERIFY_WITH_TIMEOUT(!form->Timer2.isActive(), 3000);
        QCOMPARE(form->lines[form->lines.Count() - 1].x, 5.0);
        form->saveQuestion = [] { return QMessageBox::No; };
    }

    void steppingTypingAndTheProgramStart() {
        auto form = plottedSquare();
        const uint32_t all = form->lines.Count();
        uint32_t afterFirst = 0, afterSecond = 0;
        bool restarted = false;
        // "Eine Zeile weiter" without a run: the first line, then one more per click; typing
        // ends the run and schedules nothing.
        QTimer::singleShot(150, [&] {
            afterFirst = form->lines.Count();
            form->ToolButton23Click();
            QTimer::singleShot(150, [&] {
                afterSecond = form->lines.Count();
                form->ToolButton24Click(); // to the start: this run ends, a new one steps
                QTimer::singleShot(400, [&] {
                    restarted = form->flags.inrender && form->lines.Count() < afterSecond;
                    QTest::keyClicks(form->memo1, "(");
                });
            });
        });
        form->Timer2.stop(); // the refresh the opening asked for
        form->ToolButton23Click();
        QTRY_VERIFY(!form->flags.inrender && !form->Timer8.isActive());
        QVERIFY(afterFirst < afterSecond);
        QVERIFY(afterSecond < all);
        QVERIFY(restarted);
        QVERIFY(!form->Timer2.isActive()); // the edit during the run asked for no new run

        // With the caret at offset 0, "Plot bis zum Cursor" is a plain run.
        form->memo1->core().curx = form->memo1->core().markx = 0;
        form->ToolButton14Click();
        QVERIFY(!form->flags.inrender);
        form->saveQuestion = [] { return QMessageBox::No; };
    }

    void subprogramFilesComeFromTheChosenFolder() {
        QDir(home->path()).mkpath("subs");
        writeAll(homeFile("subs/O300.NC"), "G1 X7\r\nM99\r\n");
        auto form = startForm();
        form->OrdnerForm->SetFolder(homeFile("subs").toStdString());
        form->OpenFileWithName(newFile("main.nc", "M98 P300\r\nM30\r\n"));
        form->CalcBtnClick();
        QCOMPARE(form->lines[form->lines.Count() - 1].x, 7.0);
        QCOMPARE(form->subprogramEditors->Open(), 0);

        // Shown in its own editor while it runs, the main editor back afterwards.
        form->action("showsubs")->setChecked(true);
        bool shown = false;
        form->flags.animatesleep = 1; // line ends with events
        QTimer::singleShot(0, [&] {
            form->flags.pause = true;
            QTimer::singleShot(50, [&] {
                shown = form->memo1->isHidden() && form->subprogramEditors->Open() == 1;
                form->flags.pause = false;
            });
        });
        form->CalcBtnClick();
        QVERIFY(shown);
        QVERIFY(!form->memo1->isHidden());
        QCOMPARE(form->subprogramEditors->Open(), 0);
        form->StoreOrdnerForm();
        QVERIFY(form->close());
        auto again = startForm(); // the folder is known before the dialog is shown
        QCOMPARE(again->OrdnerForm->Folder(), homeFile("subs").toStdString());
    }

    void dxfExportWritesThePlot() {
        auto form = plottedSquare();
        const QString dxf = homeFile("square.dxf");
        QVERIFY(form->action("DXFExport1")->isEnabled());
        QVERIFY(form->action("Backplotdrucken1")->isEnabled());
        const QString written = morvilo::DXFExport1Click(
            form.get(), form->lines, form->lastPictureFolder, form->errorBox, [&](QDialog &d) {
                static_cast<QFileDialog &>(d).selectFile(dxf);
                return true;
            });
        QCOMPARE(written, dxf);
        QVERIFY(FileBytes(dxf).contains("POLYLINE"));
        QVERIFY(errorShown.isEmpty());
        form->saveQuestion = [] { return QMessageBox::No; };
    }

    // "Drucken" goes through the print dialog, so that a machine without a printer prints into
    // a PDF file; a job that cannot start is reported.
    void printingOffersThePrintDialog_data() {
        QTest::addColumn<QString>("file"); // the PDF chosen in the print dialog; empty: cancelled
        QTest::addColumn<bool>("reported");
        QTest::newRow("into a PDF file") << "text.pdf" << false;
        QTest::newRow("print dialog cancelled") << "" << false;
        QTest::newRow("PDF in a missing folder") << "missing/text.pdf" << true;
    }

    void printingOffersThePrintDialog() {
        QFETCH(QString, file);
        QFETCH(bool, reported);
        auto form = startForm();
        form->OpenFileWithName(newFile("print.nc", "G1 X1\r\n"));
        // As Qt leaves the printer without an installed one: no printer and no file.
        form->thePrinter().setOutputFormat(QPrinter::PdfFormat);
        form->thePrinter().setOutputFileName(QString());
        int dialogs = 0;
        form->printDialog = [&](QPrinter &printer, QWidget *) {
            ++dialogs;
            printer.setOutputFileName(file.isEmpty() ? QString() : homeFile(file));
            return !file.isEmpty();
        };
        form->action("Drucken1")->trigger();
        QCOMPARE(dialogs, 1);
        QCOMPARE(errorShown,
                 reported ? "Der Drucker konnte nicht gestartet werden.\n" + homeFile(file) : "");
        const bool printed = !file.isEmpty() && QFileInfo(homeFile(file)).isFile();
        QCOMPARE(printed, !file.isEmpty() && !reported);
    }

    // One printer for the window: the page set up under "Drucker einrichten..." is the page
    // "Backplot drucken" prints on.
    void backplotPrintsOnThePageSetUp() {
        auto form = plottedSquare();
        const QString pdf = homeFile("plot.pdf");
        form->printerSetup = [](QPrinter &printer, QWidget *) {
            printer.setPageSize(QPageSize(QPageSize::A4));
            printer.setPageOrientation(QPageLayout::Landscape);
        };
        form->printDialog = [&](QPrinter &printer, QWidget *) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
            return true;
        };
        form->action("Druckereinrichten1")->trigger();
        form->PrintForm->execDialog = [](QDialog &) { return true; };
        form->action("Backplotdrucken1")->trigger();
        QVERIFY2(errorShown.isEmpty(), qPrintable(errorShown));
        // The page of Qt's PDF: "/MediaBox [0 0 width height]" in points.
        static const QRegularExpression mediaBox("/MediaBox \\[0 0 ([0-9.]+) ([0-9.]+)\\]");
        const QRegularExpressionMatch page = mediaBox.match(QString::fromLatin1(FileBytes(pdf)));
        QVERIFY(page.hasMatch());
        QVERIFY2(page.captured(1).toDouble() > page.captured(2).toDouble(),
                 qPrintable(page.captured()));
        form->saveQuestion = [] { return QMessageBox::No; };
    }

    void formattingCommandsAreOneUndoStep() {
        auto form = startForm();
        form->OpenFileWithName(newFile("lower.nc", "n10 g1 x5\r\nn20 g0 y1\r\n"));
        QVERIFY(form->action("AllesinGrossbuchstabenumwandeln1")->isEnabled());
        form->action("AllesinGrossbuchstabenumwandeln1")->trigger();
        QCOMPARE(form->memo1->core().ByteAt(0), uint8_t('N'));
        QVERIFY(form->changed);
        form->action("Rckgngig1")->trigger();
        QCOMPARE(form->memo1->core().ByteAt(0), uint8_t('n'));
        QCOMPARE(form->memo1->core().ByteAt(11), uint8_t('n'));
        form->saveQuestion = [] { return QMessageBox::No; };
    }

    void helpAndInformation() {
        auto form = startForm();
        form->Hilfe2Click();
        QVERIFY(form->helpWindow->isVisible());
        QVERIFY(form->helpWindow->browser->toPlainText().contains("morvilo-cli"));
        form->saveQuestion = [] { return QMessageBox::No; };
        QVERIFY(form->close());
        QVERIFY(!form->helpWindow->isVisible());

        TAboutBox about;
        QCOMPARE(about.windowTitle(), QString("Info"));
        QVERIFY(about.Copyright->text().contains(QString::number(QDate::currentDate().year())));
        QVERIFY(!about.Copyright->text().contains("XXXX"));
    }
};

QTEST_MAIN(MainformTest)
#include "mainform_test.moc"
