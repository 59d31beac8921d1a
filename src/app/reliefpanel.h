#pragma once
// Panel3: the relief parameters the generator reads when it starts. Reals are shown, and
// therefore used, with two decimals; every value is clamped to its control's range.

#include "relief/reliefgenerator.h"

#include <QFrame>

#include <functional>
#include <vector>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLineEdit;
class QSpinBox;
class QGridLayout;
class QToolButton;

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
    // The options that make the stepped program cheaper to run (remembered across restarts),
    // as the program uses them: all off with the strategy "Fläche".
    LevelOptions levelOptions() const;
    // The same as the fields hold them, whatever the strategy.
    LevelOptions levelFields() const;
    void setLevelOptions(const LevelOptions &options);

    // The strategy and the options of "Fläche"; a tool text that names no tool gives a tool the
    // generator refuses with its message (the field says what is wrong with the text).
    ReliefStrategy strategy() const;
    SurfaceOptions surfaceOptions() const;

    QDoubleSpinBox *SicherEd, *FraesTiefe, *BreitEdValue, *XStartEd, *YStartEd, *ZStartEd,
        *AbstandFrEd;
    QSpinBox *AbstufEd;
    QCheckBox *InvertCheck, *CheckMinMaxBrightCheck;
    QCheckBox *SkipAirCheck, *ClearanceCheck, *ZigzagCheck;
    QDoubleSpinBox *ClearanceEd;

    // The strategy, "Stufen" / "Fläche"; the fields of the other strategy are hidden.
    QComboBox *StrategyCombo;
    // "Fläche": the tools as text (flat:D, ball:D, vbit:D:ANGLE) with the tool dialog beside
    // them, the raster, the retracts; the roughing before it, into the program (with a tool
    // change) when its file is empty, else into that file (typed or chosen with the dialog).
    QLineEdit *ToolEd, *RoughToolEd, *RoughFileEd;
    QToolButton *ToolBtn, *RoughToolBtn, *RoughFileBtn;
    QDoubleSpinBox *ToleranceEd, *SurfaceClearanceEd, *StepdownEd, *LeaveEd;
    // The distance of the roughing paths; 0 ("automatisch"): 40 % of the roughing tool.
    QDoubleSpinBox *RoughStepoverEd;
    QComboBox *DirectionCombo;
    QCheckBox *OneWayCheck, *RoughCheck;
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

public:
    // The tool dialog for the field (the shape, the diameter, the angle).
    void chooseTool(QLineEdit *field);
    // The save dialog for the roughing file; choosing none keeps the name there was.
    void chooseRoughFile();
    // Tests answer the dialogs.
    std::function<QString()> roughFileDialog;

private:
    QDoubleSpinBox *realEdit(const char *name, double low, double high, double value);
    void createSurfaceFields();
    void addSurfaceFields(QGridLayout *grid);
    void showProfileValues();
    void enableFields();

    std::vector<MachineProfile> profileList;
    std::vector<QWidget *> levelWidgets;   // the options of "Stufen"
    std::vector<QWidget *> surfaceWidgets; // those of "Fläche" with their captions
};

} // namespace morvilo
