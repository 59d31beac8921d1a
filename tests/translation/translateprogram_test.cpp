// Translation of whole windows: each kind of widget gets its texts translated, Qt's inner parts
// are left alone, no text passes the lookup twice, and the walk is breadth-first.

#include "translation/translateprogram.h"
#include "translation/translatetable.h"
#include "translation/translateunit.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QtTest>

#include <shapefil.h>

using namespace morvilo;

class TranslateProgramTest : public QObject {
    Q_OBJECT

private:
    QHash<QString, QString> english;
    QStringList asked;

    void installDictionary() {
        asked.clear();
        SetTranslationLookup([this](const QString &s) {
            asked.append(s);
            return english.value(s, s);
        });
    }

private slots:
    void cleanup() {
        SetTranslationLookup({});
        language = 0;
    }

    void translatesEveryKindOnceAndLeavesQtPartsAlone();
    void walksBreadthFirstChildrenInReverse();
    void translatesThroughAnEnglishTable();
};

void TranslateProgramTest::translatesEveryKindOnceAndLeavesQtPartsAlone() {
    english = {{"Hauptfenster", "Main window"},
               {"&Datei", "&File"},
               {"&Öffnen...", "&Open..."},
               {"Datei öffnen", "Open a file"},
               {"Speichern", "Save"},
               {"Bild", "Picture"},
               {"Text", "Text"},
               {"Tiefe", "Depth"},
               {"Invertieren", "Invert"},
               {"Fräsen", "Milling"},
               {"Start", "Go"},
               {"Erzeugen", "Generate"},
               {"Parameter", "Parameters"},
               {"Anzahl", "Count"},
               {" mm", " mm"},
               {"Fräse", "Mill"},
               {"Drehbank", "Lathe"},
               {"Zeile", "Line"},
               {"Inhalt", "Contents"},
               {"Name", "Name"},
               {"Größe", "Size"},
               {"Wert", "Value"},
               {"Zeile eins", "Line one"},
               {"Zeile zwei", "Line two"},
               {"Programm laden", "Load program"},
               {"CNC Dateien (*.cnc *.nc)", "CNC files (*.cnc *.nc)"}};

    QMainWindow window;
    window.setWindowTitle("Hauptfenster");
    QMenu *menu = window.menuBar()->addMenu("&Datei");
    QAction *open = menu->addAction("&Öffnen...");
    open->setToolTip("Datei öffnen");
    QAction *save = menu->addAction("Speichern");
    window.addToolBar("")->addAction(open);

    auto *tabs = new QTabWidget;
    window.setCentralWidget(tabs);
    auto *picture = new QWidget;
    tabs->addTab(picture, "Bild");
    auto *textPage = new QWidget;
    tabs->addTab(textPage, "Text");
    auto *layout = new QVBoxLayout(picture);
    auto *label = new QLabel("Tiefe");
    auto *check = new QCheckBox("Invertieren");
    auto *radio = new QRadioButton("Fräsen");
    auto *button = new QPushButton("Start");
    button->setToolTip("Erzeugen");
    auto *group = new QGroupBox("Parameter");
    auto *spin = new QSpinBox(group);
    spin->setToolTip("Anzahl");
    spin->setSuffix(" mm");
    spin->setValue(12);
    auto *combo = new QComboBox;
    combo->addItems({"Fräse", "Drehbank"});
    combo->setCurrentIndex(1);
    auto *table = new QTableWidget(2, 2);
    table->setHorizontalHeaderLabels({"Zeile", "Inhalt"});
    auto *tree = new QTreeWidget;
    tree->setHeaderLabels({"Name", "Größe"});
    auto *edit = new QLineEdit("Wert");
    auto *memo = new QPlainTextEdit("Zeile eins\nZeile zwei");
    for (QWidget *w : std::initializer_list<QWidget *>{label, check, radio, button, group, combo,
                                                       table, tree, edit, memo})
        layout->addWidget(w);
    auto *dialog =
        new QFileDialog(&window, "Programm laden", QString(), "CNC Dateien (*.cnc *.nc)");
    dialog->setOption(QFileDialog::DontUseNativeDialog);

    installDictionary();
    translateprogram(&window);

    QCOMPARE(window.windowTitle(), QString("Main window"));
    QCOMPARE(menu->title(), QString("&File"));
    QCOMPARE(open->text(), QString("&Open..."));
    QCOMPARE(open->toolTip(), QString("Open a file"));
    QCOMPARE(save->text(), QString("Save"));
    QCOMPARE(save->toolTip(), QString("Save")); // follows the caption
    QCOMPARE(tabs->tabText(0), QString("Picture"));
    QCOMPARE(label->text(), QString("Depth"));
    QCOMPARE(check->text(), QString("Invert"));
    QCOMPARE(radio->text(), QString("Milling"));
    QCOMPARE(button->text(), QString("Go"));
    QCOMPARE(button->toolTip(), QString("Generate"));
    QCOMPARE(group->title(), QString("Parameters"));
    QCOMPARE(spin->toolTip(), QString("Count"));
    QCOMPARE(spin->value(), 12);
    QCOMPARE(combo->itemText(0), QString("Mill"));
    QCOMPARE(combo->itemText(1), QString("Lathe"));
    QCOMPARE(combo->currentIndex(), 1);
    QCOMPARE(table->horizontalHeaderItem(1)->text(), QString("Contents"));
    QCOMPARE(tree->headerItem()->text(1), QString("Size"));
    QCOMPARE(edit->text(), QString("Value"));
    QCOMPARE(memo->toPlainText(), QString("Line one\nLine two"));
    QCOMPARE(dialog->windowTitle(), QString("Load program"));
    QCOMPARE(dialog->nameFilters(), QStringList{"CNC files (*.cnc *.nc)"});

    // Only the tool's own texts were looked up, each once: no translated text, no number of
    // the spin box, nothing from inside the file dialog or the tool bar's copy of the action.
    QStringList expected = english.keys();
    expected.sort();
    QStringList seen = asked;
    seen.sort();
    QCOMPARE(seen, expected);
}

void TranslateProgramTest::walksBreadthFirstChildrenInReverse() {
    QWidget root;
    auto *a = new QLabel("A", &root);
    new QLabel("B", &root);
    new QLabel("A1", a);
    new QLabel("A2", a);
    installDictionary();
    translateprogram(&root);
    QCOMPARE(asked, (QStringList{"B", "A", "A2", "A1"}));
}

void TranslateProgramTest::translatesThroughAnEnglishTable() {
    QTemporaryDir dir;
    DBFHandle dbf = DBFCreate(QFile::encodeName(dir.filePath("translate.dbf")).constData());
    QVERIFY(dbf);
    for (int n = 1; n <= kTranslationColumns; ++n)
        DBFAddField(dbf, ("language" + std::to_string(n)).c_str(), FTString, 255, 0);
    DBFWriteStringAttribute(dbf, 0, 0, "Einstellungen");
    DBFWriteStringAttribute(dbf, 0, 1, "Settings");
    DBFWriteStringAttribute(dbf, 1, 0, "Tiefe");
    DBFWriteStringAttribute(dbf, 1, 1, "Depth");
    DBFClose(dbf);

    TranslationTable table;
    QCOMPARE(table.Open(dir.path()), QString());
    table.inittrans();
    table.Install();
    language = 1;

    QWidget window;
    window.setWindowTitle("Einstellungen");
    auto *depth = new QLabel("  Tiefe ", &window);
    auto *fresh = new QLabel("Neu", &window);
    translateprogram();

    QCOMPARE(window.windowTitle(), QString("Settings"));
    QCOMPARE(depth->text(), QString("  Depth "));
    QCOMPARE(fresh->text(), QString("Neu"));
    QCOMPARE(table.RecordCount(), 3);
    QCOMPARE(table.Cell(2, 0), QString("Neu"));
}

QTEST_MAIN(TranslateProgramTest)
#include "translateprogram_test.moc"
