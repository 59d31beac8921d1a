#pragma once
// "Maschinenprofile": the user's own machine profiles, added, copied, edited and deleted. The
// built-in profiles are shown and can be copied, never changed or deleted.

#include "machine/machineprofile.h"

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

// A profile's name as the window shows it: a built-in's in the interface's language, the user's
// as written.
QString ShownProfileName(const MachineProfile &profile);

class TProfileDialog : public QDialog {
    Q_OBJECT

public:
    TProfileDialog(std::vector<MachineProfile> profiles, const std::string &current,
                   QWidget *parent = nullptr);

    // The profiles as the dialog leaves them: the built-ins, then the user's.
    const std::vector<MachineProfile> &profiles() const { return list; }
    // The profile selected when the dialog closed.
    std::string selectedName() const;
    // The name the profile in use (current when the dialog opened) has now; empty when it was
    // deleted.
    std::string activeName() const;

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
    QPlainTextEdit *HeaderEd, *FooterEd, *ToolChangeTemplateEd;
    QDoubleSpinBox *FeedEd, *PlungeFeedEd, *SpindleEd, *RapidEd, *AccelerationEd;
    // For the program facts: the time of a tool change, the travel of X, Y, Z (minimum, maximum).
    QDoubleSpinBox *ToolChangeEd;
    QDoubleSpinBox *TravelEd[3][2];
    QCheckBox *MovePerLineCheck, *RetractFirstCheck, *DecimalPointCheck, *ArcsCheck;
    QSpinBox *DecimalsEd, *ProgramNumberEd;
    QLabel *ProblemLabel;
    // Shown with a built-in profile: it is changed by changing a copy.
    QLabel *BuiltInHint;

private:
    void fillList(int select);
    void showProfile(int index);
    void takeFields(); // the fields into the profile shown
    // The first of the user's profiles that cannot be used and why; -1 when all can.
    int firstProblem(UserMessage &problem) const;
    void addProfile(MachineProfile profile);
    MachineProfile *shownProfile();

    std::vector<MachineProfile> list;
    std::vector<QWidget *> editors; // of ProfileFields, in its order
    int shown = -1;
    int active = -1; // the profile in use
    bool filling = false;
};

} // namespace morvilo
