#pragma once
// TMainform: the main window. It holds the menu, the tool bar, the relief parameter panel,
// the picture page and the G-code page with the editor, and runs start-up, the document
// commands and shutdown.

#include "app/backplotdocument.h"
#include "app/mainmenu.h"
#include "facts/measure.h"
#include "frontend/commandline.h"
#include "interpreter/calcinterfaces.h"
#include "relief/reliefgenerator.h"
#include "settings/settingsfiles.h"
#include "translation/translatetable.h"
#include "view/viewstate.h"

#include <QMainWindow>
#include <QMessageBox>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QLabel;
class QPrinter;
class QScrollArea;
class QSpinBox;
class QSplitter;
class QTabWidget;
class QToolBar;

namespace morvilo {

class TAboutBox;
class TAusdruckBerechnenForm;
class TNummerBlocksForm;
class TPrintForm;
class TOrdnerForm;
class TShowVariablesForm;
class VariableStore;
class THelpWindow;
class TPicturePage;
class TReliefPanel;
class TTextEditorLF;
class TTranslateForm;

class TPlotBox;
class TProgramInfoForm;
class TPartPreview;
class TSubprogramViews;

class TMainform : public QMainWindow, private RunEvents {
    Q_OBJECT

public:
    // programFolder: the folder of the program file (progpath derives from it).
    explicit TMainform(const QString &programFolder, QWidget *parent = nullptr);
    ~TMainform() override;

    // The start-up command line, handled at the first showing: a picture to turn into
    // G-code and show.
    void setStartupCommand(const StartupCommand &command, const ReliefParameters &parameters);

    // ---- documents
    void SetChanged();
    void SetUnChanged();
    void NewAll();
    bool OpenFile();
    bool OpenFileWithName(const QString &name);
    // Where the save and export dialogs start: the program's folder, or the folder of the last
    // picture for a program not saved yet.
    QString SaveFolder() const;
    bool SaveFile();
    bool SaveTheFile(const QString &name);
    void AddtoFavorites(const QString &name);
    void UpdateFavorites();
    void OpenFavorites();
    void SaveFavorites();

    // ---- commands
    void Neu1Click();
    void ffnen1Click();
    void Speichern1Click();
    void Speichernunter1Click();
    void ZuletztClick(int slot); // 0 .. 4
    void Bearbeiten1Click();
    void allcapsClick();
    void otherbreaketsClick();
    void LanguageClick(int chosen);
    void bersetzen1Click();
    void Variablenanzeigen1Click();
    void Ausdruckberechnen1Click();
    void OrdnerfrUnterprogramme1Click();
    void RestoreOrdnerForm();
    void StoreOrdnerForm();
    void Senden1Click();
    void PortEinstellungen1Click();
    void Empfangen1Click();
    void Druckereinrichten1Click();
    void Drucken1Click();
    // The window's one printer: "Drucker einrichten...", "Drucken" and "Backplot drucken" share
    // it. Made when first needed.
    QPrinter &thePrinter();
    void Hilfe2Click();
    void berdasProgramm1Click();
    void Beenden1Click();
    // "Maschinenprofile...": the machine profiles dialog; the user's profiles are saved when it
    // closes with OK.
    void ProfilesClick();
    // Turns a picture into G-code in the temporary file and shows it on the G-code page.
    void opentheDXFnow(const QString &fname);

    // ---- the backplot
    // Runs the interpreter over the editor's text (nothing while a run is in progress).
    void CalcBtnClick();
    // The editor's change event: the document is changed; a running run ends, else an
    // automatic refresh is due one second after the last change.
    void Memo1Change();
    // The dialect options as the check marks of "Maschine" and "Optionen" say.
    void readDialectOptions();
    // Run control.
    void Timer2Timer();
    void NeuberechnenClick();
    void stopbtnClick();
    void AnimateBtnClick();
    void ToolButton18Click(); // pause
    void ToolButton23Click(); // one line further
    void ToolButton24Click(); // to the program start
    void ToolButton14Click(); // plot up to the caret
    void ToolButton15Click(); // plot from the caret
    void ToolButton16Click(); // plot the selection or the caret line
    // View commands and the mouse in the plot.
    void FixedViewClick(FixedView which);
    void ViewStepClick(const QString &name);
    void Automatischrotieren1Click();
    void PaintBox1MouseDown(Qt::MouseButton button, int x, int y);
    void PaintBox1MouseMove(int x, int y);
    void PaintBox1MouseUp(int x, int y);
    void PaintBox1Wheel(int delta);
    // "Programm-Info...": the facts of the last run in their dialog.
    void ProgrammInfo1Click();
    // "Messen": a click picks the plot point nearest to it; the second click shows dX, dY, dZ
    // and the distance from the first.
    void MeasureClick(int x, int y);
    // A measurement begins afresh: no first point, no marks, the label's request for the first
    // point while "Messen" is chosen.
    void ResetMeasurement();
    // After a run: the measurement stays when its points are still those of the plot.
    void KeepOrResetMeasurement();
    // Another text replaces the document: its facts go, and a facts job still working.
    void ForgetFacts();
    // The machining preview: the view choice "Bahn" / "Werkstück", the "Werkzeug" dialog and
    // "Werkstück exportieren..." (STL or PFM).
    void PartViewClick(bool part);
    void PreviewToolClick();
    void ExportPartClick();

    // ---- settings
    void LoadOptions();
    void SaveOptions();
    void RestoreSettings();
    void StoreSettings();
    // The names of the check marks kept in the settings store.
    static const QStringList &StoredCheckMarks();

    QAction *action(const QString &name) const { return menu.action(name); }
    bool isChecked(const QString &name) const;
    // Another program replaces the document: the figures of the last one (the relief's size and
    // run time, a measurement, the facts) go.
    void forgetProgramFigures();

    // Fields.
    std::string progpath;
    QString maincap;
    std::string tempfilename;
    QString afilename;
    bool changed = false;
    bool notfirst = false;
    int languagesetto = 0;
    bool workreadonly = false;
    bool dontchlang = false;
    TranslationTable translationTable;
    QString translationDamage;       // why the table could not be used, shown once
    UserMessage profilesDamage;      // what of profiles.ini could not be read, shown once
    bool allocationReported = false; // the plot list could not grow during this run
    bool freshloaded = false;        // a document was loaded since the last run
    bool fitPartWhenMilled = false;  // the next part shown is zoomed to fit

    // The interpreter's world: the backplot (plot list, run log, facts), the run flags, the
    // dialect and the view.
    TBackplotDocument backplot;
    TPlotList &lines = backplot.lines;        // the document's, as the commands name it
    std::optional<MeasurePoint> measureFirst; // the first point of a measurement
    std::vector<uint32_t> measureIndices;     // the plot-list indices of the measured points
    RunFlags flags;
    DialectOptions options;
    ViewState view;
    int64_t oposy2 = 0, ocurx2 = 0; // the editor's place when a run was replaced
    bool moveit = false;            // a drag in the plot is in progress
    int32_t mmode = 0;              // 0 rotate, 1 pan
    int32_t mx = 0, my = 0;         // where the drag started
    QString lastPictureFolder;      // where the save dialogs start
    PortOptions portOptions;
    RecentFiles fav;

    // Widgets.
    MainMenuParts menu;
    QToolBar *ToolBar2;
    TReliefPanel *Panel3;
    QTabWidget *PageControl1;
    TPicturePage *picturePage;
    QWidget *TabSheet2;
    QSplitter *Splitter1;
    TTextEditorLF *memo1;
    QScrollArea *ScrollBox1;
    TPlotBox *PaintBox1;
    TPartPreview *partPreview;
    QLabel *MessagePane;        // the status bar's message: the caret's place, notices
    QLabel *ReliefFiguresLabel; // the size and run time of the last relief program
    // The relief program's figures without its run time: once the program's facts tell the run
    // time, the relief's own estimate leaves the status bar.
    QString reliefFiguresWithoutTime;
    QLabel *FactsLabel;   // run time and extents of the last run
    QLabel *MeasureLabel; // what "Messen" found
    TProgramInfoForm *ProgramInfoForm;
    QTimer Timer2;                         // the automatic refresh after an edit
    QTimer Timer3;                         // automatic rotation
    QTimer Timer4;                         // repaint after the caret changed lines
    QTimer Timer5, Timer6, Timer7, Timer8; // restarts of replaced runs
    QToolBar *ToolBar1;                    // the view
    QToolBar *ToolBar3;                    // the run
    QSpinBox *verzoeg;
    QWidget *Edit1; // takes the focus on a press in the plot; the wheel zooms while it has it
    THelpWindow *helpWindow = nullptr;
    std::unique_ptr<QPrinter> printer;
    // The variables of the runs, shown by the variable list and used by the calculator.
    std::unique_ptr<VariableStore> variables;
    TShowVariablesForm *ShowVariablesForm;
    TAusdruckBerechnenForm *AusdruckberechnenForm;
    TNummerBlocksForm *NummerBlocksForm;
    TPrintForm *PrintForm;
    TOrdnerForm *OrdnerForm;
    // Made at the first "Übersetzen..."; goes before the table it works on.
    std::unique_ptr<TTranslateForm> TranslateForm;
    std::unique_ptr<TSubprogramViews> subprogramEditors; // the files subprogram calls load

    // How the window asks and tells; replaceable so that tests need no user.
    std::function<QMessageBox::StandardButton()> saveQuestion;
    std::function<QString()> openDialog; // the chosen file, empty when cancelled
    std::function<QString()> saveDialog;
    std::function<QString()> partSaveDialog; // "Werkstück exportieren...": the chosen file
    std::function<void(const QString &)> errorBox;
    std::function<void(const QString &)> infoBox;
    std::function<bool(QPrinter &, QWidget *)> printDialog;  // true: print
    std::function<void(QPrinter &, QWidget *)> printerSetup; // only sets up

    // The file dialogs' filter in its stored form: "text|patterns|text|patterns".
    static QString DocumentFilter();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    // RunEvents
    void ProcessEvents() override;
    void WaitForEvents() override;
    void Sleep(int32_t milliseconds) override;

    void connectDialectCommands();
    void connectFormattingCommands();
    QToolBar *createViewToolBar();
    QToolBar *createRunToolBar();
    void createRunTimers();
    void createPartPreview();
    bool replaceRunningRun(QTimer &restart);
    void restoreEditorPlace();
    void plotUpTo(int64_t offset);
    void plotFrom(int64_t offset);
    bool pickLine(int x, int y);
    void connectFactsCommands();
    void FormCreate(const QString &programFolder);
    void FormShow();
    void createToolBar();
    void createPages();
    void connectCommands();
    void handleCommandLine();
    void applyCaption(); // the caption rule
    // The save question when the document has unsaved changes; false when the command must not
    // go on (Cancel, or the save failed or was cancelled).
    bool askToSave();
    QString chooseSaveFile();
    QString chooseOpenFile();

    StartupCommand startup;
    ReliefParameters startupParameters;
    bool startupPending = false;
};

} // namespace morvilo
