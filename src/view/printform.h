#pragma once
// TPrintForm ("Bild drucken..."): prints the backplot picture scaled onto one printer page. The
// dialog previews the placement on the page and offers the whole page or a size in percent of
// the page, keeping the picture's aspect ratio and centring it. The two percentages survive a
// restart in the per-user settings store.

#include <QDialog>
#include <QImage>
#include <QPrinter>
#include <QRect>
#include <QSize>

#include <functional>
#include <optional>

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QScrollArea;
class QSpinBox;

namespace morvilo {

// The dialog's choices as the placement uses them.
struct PrintChoices {
    bool useFull = true;    // "Seite voll nutzen"; otherwise "Benutzerdefiniert"
    bool keepAspect = true; // "Seitenverhältnis beibehalten"
    bool centred = true;    // "Zentrierte Ausgabe"
    int breite = 50;        // "Breite in %:"
    int hoehe = 50;         // "Höhe in %:"
};

// Where a bitmap of the given size lands on a page of the given size (printer pixels, or the
// preview's page): the whole page, with the aspect ratio kept by the side that fills it, or the
// percentages of the page; at the top left or centred. A bitmap without area is never kept in
// proportion.
QRect PrintRectangle(QSize page, QSize bitmap, const PrintChoices &choices);

// The percentages linked through the aspect ratio: the height that goes with a width, and the
// width that goes with a height, limited to 1 .. 100. Nothing when the bitmap or the page has no
// area.
std::optional<int> LinkedHeight(int breite, QSize bitmap, QSize page);
std::optional<int> LinkedWidth(int hoehe, QSize bitmap, QSize page);

// The page as the preview draws it in a box: as large as fits, centred.
QRect PreviewPageRect(QSize box, QSize page);

// Qt's print dialog for the printer: a printer of the system or a PDF file, paper and copies.
// Every print job passes it, so that printing works without an installed printer. True when
// the user chose to print.
bool ShowPrintDialog(QPrinter &printer, QWidget *parent);
// The page setup dialog for the printer (paper, orientation, margins): it only sets up.
void ShowPageSetup(QPrinter &printer, QWidget *parent);
// What the user is told when a print job cannot start, naming the file or the printer.
QString PrinterNotStartedMessage(const QPrinter &printer);

class TPrintForm : public QDialog {
    Q_OBJECT

public:
    // printer: the window's one printer, which every print command and the printer setup share;
    // asked for only when the dialog needs it.
    explicit TPrintForm(std::function<QPrinter &()> printer, QWidget *parent = nullptr);

    // "Backplot drucken": shows the dialog with a copy of bit as the preview; on OK the print
    // dialog chooses where to print, then bit as it is then (the caller's picture may have
    // changed meanwhile) is printed onto one page of Printer() with the job title "Tarnelo".
    // True when a page was printed; a printer that cannot be started is reported through
    // errorBox.
    bool Backplotdrucken(const QImage &bit);
    // Prints bit with the dialog's current choices; false when the printer cannot be started.
    bool PrintBitmap(const QImage &bit);

    QPrinter &Printer() const { return printer(); }
    PrintChoices Choices() const;

    // Shows the dialog modally; true when it was accepted. Replaceable so that tests need no
    // user.
    std::function<bool(QDialog &)> execDialog;
    // The page setup dialog for the printer (ShowPageSetup); replaceable for tests.
    std::function<void(QPrinter &, QWidget *parent)> printerSetup;
    // The print dialog after OK (ShowPrintDialog); replaceable for tests.
    std::function<bool(QPrinter &, QWidget *parent)> printDialog;
    // How errors are shown; by default a message box with an error icon and no caption.
    std::function<void(const QString &)> errorBox;

    // Handlers, named after the controls they serve.
    void FormShow();
    void PrintPaintBoxPaint(); // also the click of UseFullCheck, SverhCheck and ZentrCheck
    void UserdefCheckClick();
    void BreitEditChange();
    void HochEditChange();
    void PrintSetupBtnClick();

    QLabel *Label1; // "Vorschau:"
    QScrollArea *ScrollBox1;
    QWidget *PrintPaintBox;
    QGroupBox *GroupBox1; // "Druckgröße"
    QRadioButton *UseFullCheck;
    QRadioButton *UserdefCheck;
    QSpinBox *BreitEdit;
    QSpinBox *HochEdit;
    QGroupBox *GroupBox2; // "Druckoptionen"
    QCheckBox *SverhCheck;
    QCheckBox *ZentrCheck;
    QPushButton *PrintSetupBtn;
    QPushButton *OkBitBtn1;
    QPushButton *CancelBitBtn2;

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QSize pageSize() const;
    void paintPreview();
    void restoreSettings();
    void storeSettings();

    std::function<QPrinter &()> printer;
    QImage di;           // the preview's copy of the picture, kept while the dialog is shown
    bool inedit = false; // one percentage rule is running
};

} // namespace morvilo
