#pragma once
// Panel3: the relief parameters the generator reads when it starts. Reals are shown, and
// therefore used, with two decimals; every value is clamped to its control's range.

#include "relief/reliefgenerator.h"

#include <QFrame>

#include <vector>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QSpinBox;

namespace morvilo {

class TReliefPanel : public QFrame {
    Q_OBJECT

public:
    explicit TReliefPanel(QWidget *parent = nullptr);

    // The values as the controls hold them now; the width with the full precision of the
    // text shown; the chosen machine profile with the feeds and the spindle speed of the panel.
    ReliefParameters parameters() const;
    // Shows the values (the command line's levels, width, distance and inversion); the level
    // options and the machine profile stay as they are.
    void setParameters(const ReliefParameters &p);
    // The options that make the stepped program cheaper to run (remembered across restarts).
    LevelOptions levelOptions() const;
    void setLevelOptions(const LevelOptions &options);

    QDoubleSpinBox *SicherEd, *FraesTiefe, *BreitEdValue, *XStartEd, *YStartEd, *ZStartEd,
        *AbstandFrEd;
    QSpinBox *AbstufEd;
    QCheckBox *InvertCheck, *CheckMinMaxBrightCheck;
    QCheckBox *SkipAirCheck, *ClearanceCheck, *ZigzagCheck;
    QDoubleSpinBox *ClearanceEd;
    // "Nachkommastellen:" lives on the main tool bar; the panel creates and reads it.
    QSpinBox *NachkommaEd;

    // The machine profile and the values that dress the program for it; the choice lives on
    // the main tool bar, the panel creates and reads it.
    QComboBox *ProfileCombo;
    QDoubleSpinBox *FeedEd, *PlungeFeedEd, *SpindleEd;

    // The profiles to choose from; the choice stays on the profile of the same name, else
    // falls back to the bare paths.
    void setProfiles(const std::vector<MachineProfile> &list);
    const std::vector<MachineProfile> &profiles() const { return profileList; }
    // Chooses the profile of the name (the bare paths when there is none); its feeds and
    // spindle speed fill the fields.
    void selectProfile(const std::string &name);
    const MachineProfile &selectedProfile() const;

signals:
    // Any value that changes the program changed.
    void valuesChanged();

private:
    QDoubleSpinBox *realEdit(const char *name, double low, double high, double value);
    void showProfileValues();

    std::vector<MachineProfile> profileList;
};

} // namespace morvilo
