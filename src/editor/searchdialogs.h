#pragma once
// The editor's three dialogs: search, search and replace, jump to a position. The editor creates
// each once and keeps it, so the texts and check boxes stay from one use to the next; the
// commands read the controls after the dialog was accepted.

#include "editor/editorsearch.h"

#include <QDialog>

#include <string>
#include <string_view>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;

namespace morvilo {

// The bytes of a typed text in the document's code page (Windows-1252); a character the code
// page lacks becomes "?".
std::string DocumentBytesOf(const QString &typed);
// The text of document bytes, as the interface shows it.
QString DocumentTextOf(std::string_view bytes);

// A fixed-size dialog, centred on the screen, with the buttons OK and cancel below its controls.
class TFixedDialog : public QDialog {
    Q_OBJECT

public:
    TFixedDialog(const QString &name, const QString &caption, QWidget *parent,
                 const QString &cancelCaption = QStringLiteral("Cancel"));

    QPushButton *BitBtn1; // OK
    QPushButton *BitBtn2; // cancel

protected:
    void showEvent(QShowEvent *event) override;
    // Adds a control below the ones added before (the buttons stay last).
    template <typename Widget> Widget *addControl(const char *name, Widget *widget) {
        place(name, widget);
        return widget;
    }
    QLabel *addLabel(const char *name, const QString &caption);
    QLineEdit *addEdit(const char *name);
    QCheckBox *addCheck(const char *name, const QString &caption);

private:
    void place(const char *name, QWidget *widget);
    QVBoxLayout *controls;
};

class TSearchForm : public TFixedDialog {
    Q_OBJECT

public:
    explicit TSearchForm(QWidget *parent = nullptr);

    // The controls' settings; startAtBeginning is written back after a search switched it off.
    TSearchSettings Settings() const;
    void KeepStartAtBeginning(const TSearchSettings &settings);

    QLabel *Label1;
    QLineEdit *Edit1;
    QCheckBox *HexCheck;
    QCheckBox *CaseSensCheck;
    QCheckBox *StartBegCheck;
};

class TSearchRepForm : public TFixedDialog {
    Q_OBJECT

public:
    explicit TSearchRepForm(QWidget *parent = nullptr);

    TReplaceSettings Settings() const;
    void KeepStartAtBeginning(const TSearchSettings &settings);

    QLabel *Label1;
    QLineEdit *Edit1;
    QLabel *Label2;
    QLineEdit *Edit2;
    QCheckBox *HexCheck;
    QCheckBox *CaseSensCheck;
    QCheckBox *RepAllCheck;
    QCheckBox *StartBegCheck;
};

class TPosForm : public TFixedDialog {
    Q_OBJECT

public:
    explicit TPosForm(QWidget *parent = nullptr);

    QLabel *Label1;
    QLineEdit *Edit1;
    QCheckBox *HexCheck;
};

} // namespace morvilo
