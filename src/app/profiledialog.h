#pragma once
// "Maschinenprofile": the user's own machine profiles, added, copied, edited and deleted. The
// built-in profiles are shown and can be copied, never changed or deleted.

#include "relief/machineprofile.h"

#include <QDialog>

#include <vector>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;

namespace morvilo {

class TProfileDialog : public QDialog {
    Q_OBJECT

public:
    TProfileDialog(std::vector<MachineProfile> profiles, const std::string &current,
                   QWidget *parent = nullptr);

    // The profiles as the dialog leaves them: the built-ins, then the user's.
    const std::vector<MachineProfile> &profiles() const { return list; }
    // The profile selected when the dialog closed.
    std::string selectedName() const;

    void NewClick();
    void CopyClick();
    void DeleteClick();
    // Takes the profiles when every one of them can be used; otherwise says what is wrong and
    // stays open.
    void accept() override;

    QListWidget *ProfileList;
    QPushButton *NewBtn, *CopyBtn, *DeleteBtn;
    QLineEdit *NameEd;
    QComboBox *UnitsCombo, *DirectionCombo, *LineEndCombo;
    QPlainTextEdit *HeaderEd, *FooterEd;
    QDoubleSpinBox *FeedEd, *PlungeFeedEd, *SpindleEd, *RapidEd, *AccelerationEd;
    // For the program facts: the time of a tool change, the travel of X, Y, Z (minimum, maximum).
    QDoubleSpinBox *ToolChangeEd;
    QDoubleSpinBox *TravelEd[3][2];
    QCheckBox *MovePerLineCheck, *RetractFirstCheck, *DecimalPointCheck;
    QSpinBox *DecimalsEd, *ProgramNumberEd;
    QLabel *ProblemLabel;

private:
    void fillList(int select);
    void showProfile(int index);
    void takeFields(); // the fields into the profile shown
    void addProfile(MachineProfile profile);
    MachineProfile *shownProfile();

    std::vector<MachineProfile> list;
    int shown = -1;
    bool filling = false;
};

} // namespace morvilo
