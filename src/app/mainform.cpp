// TMainform: creation, layout, first showing and shutdown.

#include "app/mainform.h"
#include "app/partpreview.h"

#include "app/aboutbox.h"
#include "app/helpwindow.h"
#include "app/icons.h"
#include "app/ordnerform.h"
#include "app/picturepage.h"
#include "app/picturepreview.h"
#include "app/plotbox.h"
#include "app/reliefpanel.h"
#include "app/statuspane.h"
#include "app/subprogramviews.h"
#include "app/zeilennummerform.h"
#include "dnc/receiveform.h"
#include "dnc/sendprogressform.h"
#include "editor/texteditorlf.h"
#include "expressions/calculatorform.h"
#include "expressions/variablelistform.h"
#include "formatting/cleanup.h"
#include "formatting/nummerblocksform.h"
#include "formatting/renumbering.h"
#include "frontend/progpath.h"
#include "interpreter/calcrun.h"
#include "linetext/linetext.h"
#include "machine/profilesfile.h"
#include "relief/grafikrw.h"
#include "translation/translateform.h"
#include "translation/translateprogram.h"
#include "translation/translateunit.h"
#include "vantrel/dynaarray.h"
#include "vantrel/tempfile.h"
#include "vantrel/usermessage.h"
#include "view/dxfexportdialog.h"
#include "view/printform.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPrinter>
#include <QScreen>
#include <QScrollArea>
#include <QSpinBox>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include <cstdio>
#include <utility>

namespace morvilo {

namespace {

struct ToolButtonSpec {
    const char *name;
    const char *hint;
    const char *icon;
};

const ToolButtonSpec kToolButtons[] = {
    {"NewBtn", "Neu", "document-new"},
    {"OpenBtn", "Öffnen", "document-open"},
    {"SaveBtn", "Speichern", "document-save"},
    {"SaveAsBtn", "Speichern unter...", "document-save-as"},
    {nullptr, nullptr, nullptr},
    {"CutBtn", "Auschneiden", "edit-cut"},
    {"CopyBtn", "Kopieren", "edit-copy"},
    {"PasteBtn", "Einfügen", "edit-paste"},
    {nullptr, nullptr, nullptr},
    {"UndoBtn", "Rückgängig", "edit-undo"},
    {"RedoBtn", "Wiederholen", "edit-redo"},
};

// The window whose plot list could not grow: its run ends and it says why, once per run.
TMainform *allocatingWindow = nullptr;

void reportAllocationFailure(const std::string &message) {
    TMainform *window = allocatingWindow;
    if (!window) {
        std::fprintf(stderr, "%s\n", message.c_str());
        return;
    }
    if (window->flags.inrender)
        window->flags.breakprogram = true; // the plot cannot grow: the run ends
    if (window->allocationReported)
        return;
    window->allocationReported = true;
    QTimer::singleShot(0, window,
                       [window, message] { window->errorBox(QString::fromStdString(message)); });
}

} // namespace

TMainform::TMainform(const QString &programFolder, QWidget *parent) : QMainWindow(parent) {
    setObjectName("TMainform");
    setWindowTitle("Vantrel Morvilo 1.0");
    setWindowIcon(ProgramIcon());
    resize(783, 540);
    FormCreate(programFolder);
    RestoreSettings();
    allocatingWindow = this;
    SetAllocationFailureHandler(&reportAllocationFailure);
}

void TMainform::FormCreate(const QString &programFolder) {
    tempfilename = MYGetTempFileName("cnctemp", ".dat");
    progpath = ProgramDataFolder(programFolder.toStdString());
    maincap = windowTitle();
    menu = BuildMainMenu(menuBar(), this);
    // The option's caption names the bolt patterns; its hint tells all it switches.
    action("Haas")->setToolTip(QString::fromUtf8(
        "Lochkreis, Lochbogen und Lochreihe als G70/G71/G72 (statt G34/G36/G35); M97 Pn ruft das "
        "lokale Unterprogramm ab Satz Nn desselben Programms auf"));
    action("Haas")->setStatusTip(action("Haas")->toolTip());
    for (QMenu *shown : menuBar()->findChildren<QMenu *>())
        if (shown->actions().contains(action("Haas")))
            shown->setToolTipsVisible(true);
    Panel3 = new TReliefPanel;
    createToolBar();
    createPages();
    auto *central = new QWidget;
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Panel3);
    layout->addWidget(PageControl1, 1);
    setCentralWidget(central);
    statusBar()->setObjectName("StatusBar1");
    // The bar's messages (the caret's place, the coordinates under the pointer, notices) go
    // into a pane of their own at the left that keeps room for a caret line; the figures beside
    // it give way when the bar is too narrow for all, cut with "…" and whole in their tool tips.
    MessagePane = new TStatusPane(100);
    MessagePane->setObjectName("MessagePane");
    statusBar()->addPermanentWidget(MessagePane, 1);
    connect(statusBar(), &QStatusBar::messageChanged, MessagePane, &QLabel::setText);
    ReliefFiguresLabel = new TStatusPane(16);
    ReliefFiguresLabel->setObjectName("ReliefFiguresLabel");
    statusBar()->addPermanentWidget(ReliefFiguresLabel);
    MeasureLabel = new TStatusPane(16);
    MeasureLabel->setObjectName("MeasureLabel");
    statusBar()->addPermanentWidget(MeasureLabel);
    FactsLabel = new TStatusPane(16);
    FactsLabel->setObjectName("FactsLabel");
    statusBar()->addPermanentWidget(FactsLabel);
    createPartPreview();

    // Start-up values of the panel (the design values differ).
    Panel3->SicherEd->setValue(-1);
    Panel3->FraesTiefe->setValue(1);
    Panel3->BreitEdValue->setValue(10);
    Panel3->AbstandFrEd->setValue(0.05);

    picturePage->setFileFilter(QString::fromStdString(GetDIBOpenFilter()));

    memo1->infostatusbar = statusBar();
    memo1->doCNCHilight = true;
    memo1->core().insertuppercase = true;
    memo1->core().setdonotsetcaption0(true);
    memo1->commleft = '(';
    memo1->commright = ')';
    memo1->errorBox = [this](const QString &message) { errorBox(message); };

    // The translation table: opened read-only when it cannot be written; a damaged one is
    // reported at the first showing and left alone, and the shipped English texts serve
    // without it.
    const QString shippedEnglish = ":/translations/translate-en.csv";
    translationDamage = translationTable.Open(QString::fromStdString(progpath));
    workreadonly = translationTable.workreadonly();
    translationTable.inittrans();
    if (translationDamage.isEmpty()) {
        // The shipped English texts fill English cells that are still empty; a translator's
        // own cells stay as they are.
        translationTable.MergeTranslations(shippedEnglish, 1);
        translationTable.Install();
    } else {
        SetTranslationLookup(ShippedLookup(shippedEnglish, 1));
    }

    picturePage->LoadFolders(progpath + "folders.dat");

    // The machine profiles: the built-ins always, the user's from profiles.ini.
    const ProfilesLoad profiles = LoadMachineProfiles(progpath + kProfilesFileName);
    Panel3->setProfiles(profiles.profiles);
    profilesDamage = ProfilesDamage(
        profiles, [](const UserMessage &m) { return TranslateMessage(m).toStdString(); });
    connect(Panel3, &TReliefPanel::valuesChanged, this,
            [this] { picturePage->Preview->setParameters(Panel3->parameters()); });
    picturePage->Preview->setParameters(Panel3->parameters());

    errorBox = [this](const QString &message) {
        QMessageBox box(QMessageBox::Critical, QString(), message, QMessageBox::Ok, this);
        box.exec();
    };
    infoBox = [this](const QString &message) {
        QMessageBox box(QMessageBox::Information, GetTString(kMsgTranslate), message,
                        QMessageBox::Ok, this);
        box.exec();
    };
    saveQuestion = [this] {
        return QMessageBox::question(this, GetTString(kMsgSave), GetTString(kMsgSaveQuestion),
                                     QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    };
    variables = std::make_unique<VariableStore>();
    ShowVariablesForm = new TShowVariablesForm(this, *variables);
    AusdruckberechnenForm = new TAusdruckBerechnenForm(this, *variables);
    NummerBlocksForm = new TNummerBlocksForm(this);
    OrdnerForm = new TOrdnerForm(this);
    subprogramEditors = std::make_unique<TSubprogramViews>(Splitter1, memo1);
    RestoreOrdnerForm(); // the folder is known before the dialog is ever shown
    printDialog = &ShowPrintDialog;
    printerSetup = &ShowPageSetup;
    PrintForm = new TPrintForm([this]() -> QPrinter & { return thePrinter(); }, this);
    PrintForm->errorBox = [this](const QString &message) { errorBox(message); };
    PrintForm->printDialog = [this](QPrinter &p, QWidget *owner) { return printDialog(p, owner); };
    PrintForm->printerSetup = [this](QPrinter &p, QWidget *owner) { printerSetup(p, owner); };
    connectCommands();
}

TMainform::~TMainform() {
    partPreview->StopWork();  // its worker reads the plot list, which goes before it
    PaintBox1->StopDrawing(); // so may the box's drawing thread
    if (allocatingWindow == this)
        allocatingWindow = nullptr;
    if (!translationDamage.isEmpty())
        SetTranslationLookup({}); // the shipped texts served in place of the table
    // The generator's temporary file goes; an error while erasing is of no interest.
    if (!tempfilename.empty())
        std::remove(tempfilename.c_str());
}

void TMainform::createToolBar() {
    ToolBar2 = addToolBar(QString::fromUtf8("Datei und Bearbeiten"));
    ToolBar2->setObjectName("ToolBar2");
    ToolBar2->setIconSize(QSize(24, 24));
    ToolBar2->setMovable(false);
    for (const ToolButtonSpec &spec : kToolButtons) {
        if (!spec.name) {
            ToolBar2->addSeparator();
            continue;
        }
        QAction *button = ToolBar2->addAction(ToolIcon(spec.icon), QString::fromUtf8(spec.hint));
        button->setObjectName(spec.name);
        button->setToolTip(QString::fromUtf8(spec.hint));
        menu.actions.insert(spec.name, button);
    }
    auto *label = new QLabel(QString::fromUtf8(" Nachkommastellen: "));
    label->setObjectName("Label10");
    ToolBar2->addWidget(label);
    ToolBar2->addWidget(Panel3->NachkommaEd);
    // The machine profile: how the program is dressed for a control.
    ToolBar2->addSeparator();
    auto *profileLabel = new QLabel(QString::fromUtf8(" Maschinenprofil: "));
    profileLabel->setObjectName("ProfileLabel");
    profileLabel->setBuddy(Panel3->ProfileCombo);
    ToolBar2->addWidget(profileLabel);
    // As wide as the longest name: the user's names are theirs to choose.
    Panel3->ProfileCombo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    ToolBar2->addWidget(Panel3->ProfileCombo);
}

void TMainform::createPages() {
    PageControl1 = new QTabWidget;
    PageControl1->setObjectName("PageControl1");
    picturePage = new TPicturePage;
    PageControl1->addTab(picturePage, QString::fromUtf8("Bild Datei öffnen"));

    TabSheet2 = new QWidget;
    TabSheet2->setObjectName("TabSheet2");
    Splitter1 = new QSplitter(Qt::Horizontal);
    Splitter1->setObjectName("Splitter1");
    memo1 = new TTextEditorLF(this);
    memo1->setObjectName("memo1");
    ScrollBox1 = new QScrollArea;
    ScrollBox1->setObjectName("ScrollBox1");
    ScrollBox1->setWidgetResizable(true);
    PaintBox1 = new TPlotBox(lines, view, options.diametermode);
    ScrollBox1->setWidget(PaintBox1);
    Splitter1->addWidget(memo1);
    Splitter1->addWidget(ScrollBox1);
    Splitter1->setSizes({1, 1}); // half and half
    ToolBar1 = createViewToolBar();
    ToolBar3 = createRunToolBar();
    Edit1 = new QWidget; // never seen: one pixel that only takes the focus
    Edit1->setObjectName("Edit1");
    Edit1->setFocusPolicy(Qt::ClickFocus);
    Edit1->setFixedSize(1, 1);
    auto *runBar = new QHBoxLayout;
    runBar->setContentsMargins(0, 0, 0, 0);
    runBar->addWidget(ToolBar3);
    runBar->addStretch(1);
    runBar->addWidget(Edit1);
    auto *layout = new QVBoxLayout(TabSheet2);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(ToolBar1);
    layout->addLayout(runBar);
    layout->addWidget(Splitter1, 1);
    PageControl1->addTab(TabSheet2, QString::fromUtf8("G-Code ansehen"));
    PageControl1->setCurrentIndex(0);
    connect(PageControl1, &QTabWidget::currentChanged, this, [this](int page) {
        if (page == 1)
            memo1->setFocus();
    });
    connect(picturePage, &TPicturePage::pictureChosen, this,
            [this](const QString &file, const QString &folder) {
                lastPictureFolder = folder;
                opentheDXFnow(file);
            });
}

void TMainform::connectCommands() {
    auto on = [this](const char *name, auto handler) {
        if (QAction *a = action(name))
            connect(a, &QAction::triggered, this, handler);
    };
    for (const char *name : {"Neu1", "NewBtn"})
        on(name, [this] { Neu1Click(); });
    for (const char *name : {"ffnen1", "OpenBtn"})
        on(name, [this] { ffnen1Click(); });
    for (const char *name : {"Speichern1", "SaveBtn"})
        on(name, [this] { Speichern1Click(); });
    for (const char *name : {"Speichernunter1", "SaveAsBtn"})
        on(name, [this] { Speichernunter1Click(); });
    const char *const recent[] = {"Zuletzt11", "Zuletzt21", "Zuletzt31", "Zuletzt41", "Zuletzt51"};
    for (int slot = 0; slot < 5; ++slot)
        on(recent[slot], [this, slot] { ZuletztClick(slot); });
    on("Beenden1", [this] { Beenden1Click(); });
    on("Maschinenprofile1", [this] { ProfilesClick(); });

    TEditorCore &core = memo1->core();
    auto undo = [&core](bool oneStep, bool redo) {
        core.onlyonestep = oneStep;
        redo ? core.ReDo() : core.Undo();
        core.onlyonestep = false;
    };
    for (const char *name : {"Rckgngig1", "UndoBtn"})
        on(name, [undo] { undo(false, false); });
    for (const char *name : {"Wiederholen1", "RedoBtn"})
        on(name, [undo] { undo(false, true); });
    on("Rckgngigeinzeln1", [undo] { undo(true, false); });
    on("Wiederholeneinzeln1", [undo] { undo(true, true); });
    on("Lschen1", [&core] { core.DeleteSelected(); });
    for (const char *name : {"Ausschneiden1", "CutBtn"})
        on(name, [this] {
            if (memo1->core().IsSomethingSelected())
                memo1->CutToClipBoard();
        });
    for (const char *name : {"Kopieren1", "CopyBtn"})
        on(name, [this] {
            if (memo1->core().IsSomethingSelected())
                memo1->copytoclipboardasText();
        });
    on("KopierenmitBinrdaten1", [this] { memo1->copytoclipboard(); });
    for (const char *name : {"Einfgen1", "PasteBtn"})
        on(name, [this] { memo1->PasteFromClipBoard(); });
    on("Druckereinrichten1", [this] { Druckereinrichten1Click(); });
    on("DXFExport1", [this] { morvilo::DXFExport1Click(this, lines, SaveFolder(), errorBox); });
    on("Werkstueckexportieren1", [this] { ExportPartClick(); });
    on("Backplotdrucken1", [this] { PrintForm->Backplotdrucken(PaintBox1->bit()); });
    on("Drucken1", [this] { Drucken1Click(); });
    on("Allesmarkieren1", [&core] { core.SelectAll(); });
    on("Suchen1", [this] { memo1->Suchen(); });
    on("Weitersuchen1", [this] { memo1->Weitersuchen(); });
    on("Suchenundersetzen1", [this] { memo1->SuchenundErsetzen(); });
    on("Weitersuchenundersetzen1", [this] { memo1->WeiterSuchenundErsetzen(); });
    on("AnPositioninDateispringen1", [this] { memo1->AnPositionspringen(); });
    auto *zeilennummerForm = new TZeilennummerForm(this);
    on("ZurZeilennummerspringen1", [this, zeilennummerForm, &core] {
        memo1->RunWithProgress("Zeile wird gesucht...",
                               [&] { zeilennummerForm->ZurZeilennummerspringen(core); });
    });
    connect(menu.menus.value("Bearbeiten1"), &QMenu::aboutToShow, this,
            &TMainform::Bearbeiten1Click);

    on("allcaps", [this] { allcapsClick(); });
    on("otherbreakets", [this] { otherbreaketsClick(); });
    on("Deutsch1", [this] { LanguageClick(0); });
    on("English1", [this] { LanguageClick(1); });
    on("bersetzen1", [this] { bersetzen1Click(); });
    connectFormattingCommands();
    on("Variablenanzeigen1", [this] { Variablenanzeigen1Click(); });
    on("Ausdruckberechnen1", [this] { Ausdruckberechnen1Click(); });
    connectFactsCommands();
    on("Senden1", [this] { Senden1Click(); });
    on("OrdnerfrUnterprogramme1", [this] { OrdnerfrUnterprogramme1Click(); });
    on("PortEinstellungen1", [this] { PortEinstellungen1Click(); });
    on("Empfangen1", [this] { Empfangen1Click(); });
    on("Hilfe2", [this] { Hilfe2Click(); });
    on("berdasProgramm1", [this] { berdasProgramm1Click(); });

    connect(memo1, &TTextEditorLF::OnChange, this, &TMainform::Memo1Change);
    createRunTimers();
    on("Automatischrotieren1", [this] { Automatischrotieren1Click(); });
    PaintBox1->onMouseDown = [this](Qt::MouseButton b, QPoint p) {
        PaintBox1MouseDown(b, p.x(), p.y());
    };
    PaintBox1->onMouseMove = [this](QPoint p) { PaintBox1MouseMove(p.x(), p.y()); };
    PaintBox1->onMouseUp = [this](QPoint p) { PaintBox1MouseUp(p.x(), p.y()); };
    PaintBox1->onWheel = [this](int delta) { PaintBox1Wheel(delta); };
    PaintBox1->caretOffset = [this] { return memo1->core().curx; };
    PaintBox1->onEmptyPlot = [this] {
        if (notfirst && !flags.inrender)
            QTimer::singleShot(0, this, [this] { CalcBtnClick(); });
    };
    const std::pair<const char *, EndpointMarks> marks[] = {
        {"ZeichekleinesRechteckumRapidMoveEndpunkte1", EndpointMarks::RapidMoves},
        {"ZeichnekleinesRechteckumalleEndpunkte1", EndpointMarks::All},
        {"Endpunktenichtmarkieren1", EndpointMarks::None}};
    for (const auto &[name, mark] : marks)
        on(name, [this, mark = mark] {
            PaintBox1->endpointMarks = mark;
            PaintBox1->RepaintAll();
        });
    connectDialectCommands();
}

// "Formatieren": each command is one undo group over the whole text.
void TMainform::connectFormattingCommands() {
    using Command = void (*)(TEditorCore &);
    const std::pair<const char *, Command> commands[] = {
        {"Nummierungentfernen1", &Nummierungentfernen},
        {"Leerzeichenhinzufgen1", &Leerzeichenhinzufgen},
        {"Leerzeichenentfernen1", &Leerzeichenentfernen},
        {"LeerzeichenamZeilenanfangentfernen1", &LeerzeichenamZeilenanfangentfernen},
        {"LeerzeichenamZeilenendeentfernen1", &LeerzeichenamZeilenendeentfernen},
        {"LeereZeilenentfernen1", &LeereZeilenentfernen},
        {"Kommentareentfernen1", &Kommentareentfernen},
        {"AllesinGrossbuchstabenumwandeln1", &AllesinGrossbuchstabenumwandeln},
    };
    for (const auto &[name, command] : commands)
        connect(action(name), &QAction::triggered, this,
                [this, command = command] { command(memo1->core()); });
    connect(action("BlckeneuNummerieren1"), &QAction::triggered, this,
            [this] { NummerBlocksForm->BlckeneuNummerieren(memo1->core()); });
}

// "Maschine" and "Optionen": most marks change how the program is read and run it again.
void TMainform::connectDialectCommands() {
    for (const char *name : {"Mill", "Dreh1", "Dreh2", "Haas", "absolutecheck", "IJKsindModal1",
                             "IJKsindInkremental1", "donotprocessdeletedlines", "cyclesToScale"})
        connect(action(name), &QAction::triggered, this, [this] { CalcBtnClick(); });
    for (const QString &name : StoredCheckMarks())
        connect(action(name), &QAction::toggled, this, [this] { readDialectOptions(); });
}

void TMainform::readDialectOptions() {
    options.machine = isChecked("Dreh1")   ? MachineType::Dreh1
                      : isChecked("Dreh2") ? MachineType::Dreh2
                                           : MachineType::Mill;
    options.Haas = isChecked("Haas");
    options.absolutecheck = isChecked("absolutecheck");
    options.IJKsindModal1 = isChecked("IJKsindModal1");
    options.IJKsindInkremental1 = isChecked("IJKsindInkremental1");
    options.G91relativeKoordinaten1 = isChecked("G91relativeKoordinaten1");
    options.otherbreakets = isChecked("otherbreakets");
    options.donotprocessdeletedlines = isChecked("donotprocessdeletedlines");
    options.showsubs = isChecked("showsubs");
    options.cyclesToScale = isChecked("cyclesToScale");
    options.subprogramFolder = OrdnerForm->Folder();
}

void TMainform::CalcBtnClick() {
    // The editor's search, jump or save pumps events under its progress dialog: a run (from a
    // timer) would read the text through the same line reader meanwhile, so it waits.
    if (memo1->InLongOperation()) {
        Timer2.start();
        return;
    }
    const bool starts = !flags.inrender; // else the run in progress goes on and this returns
    if (starts)
        allocationReported = false;
    readDialectOptions();
    // The run's consumers: the document's (the plot list, the run log) and the paint box, which
    // repaints from the list after it.
    MotionFanOut motion{&backplot.Consumers(), PaintBox1};
    CalcEnvironment env;
    env.memo1 = &memo1->core();
    env.motion = &motion;
    env.options = &options;
    env.variables = variables.get();
    env.flags = &flags;
    env.events = this;
    env.subeditors = subprogramEditors.get();
    env.message = [this](const std::string &caption, const std::string &text) {
        // "Makro Ausgabe 12": the words pass the lookup, the variable's number stays.
        const QString words = QString::fromStdString(caption.substr(0, caption.rfind(' ')));
        const QString number = QString::fromStdString(caption).mid(words.size());
        QMessageBox box(QMessageBox::Information, TranslateString(words) + number,
                        QString::fromStdString(text), QMessageBox::Ok, this);
        box.exec();
    };
    env.notice = [this](const UserMessage &message) {
        statusBar()->showMessage(TranslateMessage(message));
    };
    if (ShowVariablesForm->isVisible())
        env.variableline = [this](const std::string &line) {
            ShowVariablesForm->AppendLine(QString::fromStdString(line));
        };
    {
        // A run started while the jump's question is open is stopped by its own commands: it
        // does not report to the jump's progress dialog.
        struct HookAside {
            TEditorCore &core;
            TProgressHook hook = std::exchange(core.progress, {});
            ~HookAside() { core.progress = std::move(hook); }
        } aside{memo1->core()};
        partPreview->StopWork(); // it reads the plot list the run changes
        morvilo::CalcBtnClick(env);
    }
    // The rates of the machine profile chosen for the relief program serve the run time too.
    if (starts)
        backplot.RunFinished(RatesOfProfile(Panel3->selectedProfile()), memo1->core());
}

void TMainform::Memo1Change() {
    SetChanged();
    if (flags.inrender) {
        flags.pause = false;
        flags.breakprogram = true;
    } else if (isChecked("Ansichtautomatischaktuallisieren1")) {
        Timer2.start(); // restarted at every edit
    }
}

void TMainform::ProcessEvents() {
    PaintBox1->CatchUp(flags.animatesleep > 0 || flags.pause || flags.oneline);
    QCoreApplication::processEvents();
}

// Paused: sleep until something happens (a command, a timer, input).
void TMainform::WaitForEvents() {
    PaintBox1->CatchUp(true);
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void TMainform::Sleep(int32_t milliseconds) {
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < milliseconds)
        QCoreApplication::processEvents(QEventLoop::AllEvents,
                                        int(milliseconds - waited.elapsed()));
}

void TMainform::setStartupCommand(const StartupCommand &command,
                                  const ReliefParameters &parameters) {
    startup = command;
    startupParameters = parameters;
    startupPending = !command.picture.empty();
}

void TMainform::showEvent(QShowEvent *event) {
    QMainWindow::showEvent(event);
    if (!notfirst)
        FormShow();
    if (PageControl1->currentIndex() == 1)
        memo1->setFocus();
}

void TMainform::FormShow() {
    LoadOptions();
    memo1->core().messages.OnNeedTranslation = [](const std::string &text) {
        return TranslateString(QString::fromStdString(text)).toStdString();
    };
    memo1->core().messages.InitTranslation();
    RegisterStrings();
    language = languagesetto;
    UseQtTexts(language);
    if (language != 0)
        translateprogram();
    TranslateWindowsWhenShown();
    if (!translationDamage.isEmpty()) {
        translationDamage = translationTable.Problem(); // in the language now chosen
        QTimer::singleShot(0, this, [this] { errorBox(translationDamage); });
    }
    if (!profilesDamage.empty())
        QTimer::singleShot(0, this, [this] { errorBox(TranslateMessage(profilesDamage)); });
    if (!partPreview->Damage().empty())
        QTimer::singleShot(0, this, [this] { errorBox(TranslateMessage(partPreview->Damage())); });
    OpenFavorites();
    memo1->core().insertuppercase = isChecked("allcaps");
    notfirst = true;
    SetUnChanged();
    // The command line runs once the window is on the screen, so that a long run shows its
    // progress over it.
    if (startupPending)
        QTimer::singleShot(0, this, &TMainform::handleCommandLine);
}

void TMainform::handleCommandLine() {
    startupPending = false;
    // The command line sets levels, width, distance and inversion; the safe height and the depth
    // stay as the remembered profile brought them.
    ReliefParameters parameters = startupParameters;
    parameters.sicher = Panel3->SicherEd->value();
    parameters.tiefe = Panel3->FraesTiefe->value();
    Panel3->setParameters(parameters);
    opentheDXFnow(QString::fromStdString(startup.picture));
}

void TMainform::closeEvent(QCloseEvent *event) {
    if (!askToSave()) {
        event->ignore();
        return;
    }
    if (helpWindow)
        helpWindow->close();
    StoreSettings();
    // A running interpretation ends after its current line; a pause is released.
    flags.breakprogram = true;
    flags.pause = false;
    Timer2.stop();
    event->accept();
}

bool TMainform::isChecked(const QString &name) const {
    QAction *a = action(name);
    return a && a->isChecked();
}

void TMainform::Bearbeiten1Click() {
    const TEditorCore &core = memo1->core();
    action("Rckgngig1")->setEnabled(core.CanUndo());
    action("Rckgngigeinzeln1")->setEnabled(core.CanUndo());
    action("Wiederholen1")->setEnabled(core.CanRedo());
    action("Wiederholeneinzeln1")->setEnabled(core.CanRedo());
    for (const char *name : {"Lschen1", "Ausschneiden1", "Kopieren1", "KopierenmitBinrdaten1"})
        action(name)->setEnabled(core.IsSomethingSelected());
    action("Einfgen1")->setEnabled(memo1->CanPaste());
}

void TMainform::allcapsClick() {
    memo1->core().insertuppercase = isChecked("allcaps");
}

void TMainform::otherbreaketsClick() {
    SetSquareBracketComments(isChecked("otherbreakets"));
    if (notfirst)
        CalcBtnClick();
}

void TMainform::LanguageClick(int chosen) {
    if (dontchlang)
        return;
    action(chosen == 0 ? "Deutsch1" : "English1")->setChecked(true);
    language = chosen;
    infoBox(GetTString(kMsgRestart));
    SaveOptions();
}

// The translation editor over the table the lookup uses; a damaged table is reported instead.
void TMainform::bersetzen1Click() {
    if (!translationTable.IsOpen()) {
        errorBox(translationDamage);
        return;
    }
    if (!TranslateForm)
        TranslateForm = std::make_unique<TTranslateForm>(translationTable, this);
    for (int column = 0; column < TranslateForm->model()->columnCount(); ++column)
        TranslateForm->DBGrid1->setColumnWidth(column, 300);
    TranslateForm->exec();
    infoBox(GetTString(kMsgRestart));
}

void TMainform::Variablenanzeigen1Click() {
    ShowVariablesForm->setHeading(GetTString(kMsgVariablesHeader));
    ShowVariablesForm->ShowVariables();
}

void TMainform::Ausdruckberechnen1Click() {
    AusdruckberechnenForm->exec();
}

void TMainform::OrdnerfrUnterprogramme1Click() {
    OrdnerForm->exec();
    StoreOrdnerForm();
}

void TMainform::Senden1Click() {
    dnc::SendDocument(this, memo1->core(), portOptions, progpath, errorBox,
                      [this](const QString &sent) { statusBar()->showMessage(sent); });
}

void TMainform::PortEinstellungen1Click() {
    dnc::EditPortSettings(this, portOptions, progpath, errorBox);
    SaveOptions(); // however the dialog was closed
}

// What the control sends goes into a new document as it comes; it is unsaved until the user
// saves it, also when the reception ended by a failure.
void TMainform::Empfangen1Click() {
    if (!askToSave())
        return;
    NewAll();
    TEditorCore &core = memo1->core();
    dnc::ReceiveDocument(
        this, portOptions, progpath,
        [&core](std::string_view piece) {
            try {
                core.insertText(reinterpret_cast<const uint8_t *>(piece.data()),
                                int64_t(piece.size()));
            } catch (const std::exception &) {
                return false;
            }
            core.UpdateCaretPos(true, false, false);
            return true;
        },
        errorBox);
}

void TMainform::Hilfe2Click() {
    if (!helpWindow)
        helpWindow = new THelpWindow(this);
    helpWindow->ShowHelpFile(QString::fromStdString(progpath) + GetTString(kMsgHelpFile));
}

void TMainform::berdasProgramm1Click() {
    TAboutBox about(this);
    about.exec();
}

QPrinter &TMainform::thePrinter() {
    if (!printer)
        printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *printer;
}

void TMainform::Druckereinrichten1Click() {
    printerSetup(thePrinter(), this);
}

// The print dialog chooses a printer of the system or a PDF file, so that printing works
// without an installed printer too.
void TMainform::Drucken1Click() {
    QPrinter &target = thePrinter();
    if (!printDialog(target, this))
        return;
    if (memo1->Drucken(target, GetTString(kMsgPrintJob)) == 0)
        errorBox(PrinterNotStartedMessage(target));
}

void TMainform::Beenden1Click() {
    close();
}

} // namespace morvilo
