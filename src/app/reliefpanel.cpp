#include "app/reliefpanel.h"

#include "frontend/panelvalues.h"
#include "translation/translateunit.h"
#include "vantrel/numberparse.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QLabel>
#include <QSpinBox>

#include <cmath>

namespace morvilo {

namespace {

// Far beyond any machine's travel, yet narrow enough for the edit's width.
constexpr double kUnbounded = 1e9;

void addField(QGridLayout *grid, int row, int column, const char *caption, QWidget *edit) {
    auto *label = new QLabel(QString::fromUtf8(caption));
    label->setBuddy(edit);
    grid->addWidget(label, row, column * 2, Qt::AlignRight);
    grid->addWidget(edit, row, column * 2 + 1);
}

} // namespace

TReliefPanel::TReliefPanel(QWidget *parent) : QFrame(parent) {
    setObjectName("Panel3");
    setFrameShape(QFrame::StyledPanel);
    // Design values; the main window sets the start-up values when it is created.
    SicherEd = realEdit("SicherEd", -kUnbounded, kUnbounded, -1);
    FraesTiefe = realEdit("FraesTiefe", -kUnbounded, kUnbounded, 5);
    BreitEdValue = realEdit("BreitEdValue", double(kWidthRange.low), double(kWidthRange.high), 10);
    XStartEd = realEdit("XStartEd", -kUnbounded, kUnbounded, 0);
    YStartEd = realEdit("YStartEd", -kUnbounded, kUnbounded, 0);
    ZStartEd = realEdit("ZStartEd", -kUnbounded, kUnbounded, 0);
    AbstandFrEd =
        realEdit("AbstandFrEd", double(kDistanceRange.low), double(kDistanceRange.high), 0.05);
    AbstufEd = new QSpinBox;
    AbstufEd->setObjectName("AbstufEd");
    AbstufEd->setRange(int(kLevelsRange.low), int(kLevelsRange.high));
    AbstufEd->setValue(16);
    InvertCheck = new QCheckBox(QString::fromUtf8("Höhe/Tiefe umkehren"));
    InvertCheck->setObjectName("InvertCheck");
    CheckMinMaxBrightCheck =
        new QCheckBox(QString::fromUtf8("Ermittle minimale/maximale Helligkeit des Bildes"));
    CheckMinMaxBrightCheck->setObjectName("CheckMinMaxBrightCheck");
    CheckMinMaxBrightCheck->setChecked(true);
    SkipAirCheck = new QCheckBox(QString::fromUtf8("Stufe 0 (Luft) weglassen"));
    SkipAirCheck->setObjectName("SkipAirCheck");
    ClearanceCheck = new QCheckBox(QString::fromUtf8("Rückzug nur um Freiraum:"));
    ClearanceCheck->setObjectName("ClearanceCheck");
    ClearanceEd = realEdit("ClearanceEd", ReliefLimits::minClearance, ReliefLimits::maxClearance,
                           LevelOptions{}.clearance);
    ClearanceEd->setEnabled(false);
    ZigzagCheck = new QCheckBox(QString::fromUtf8("Zickzack"));
    ZigzagCheck->setObjectName("ZigzagCheck");
    for (QWidget *widget :
         {static_cast<QWidget *>(SkipAirCheck), static_cast<QWidget *>(ClearanceCheck),
          static_cast<QWidget *>(ClearanceEd), static_cast<QWidget *>(ZigzagCheck)})
        widget->setToolTip(QString::fromUtf8(
            "Spart Laufzeit, ohne die Tiefe eines Schnitts zu ändern (siehe Hilfe)"));
    NachkommaEd = new QSpinBox;
    NachkommaEd->setObjectName("NachkommaEd");
    NachkommaEd->setRange(ReliefLimits::minDecimals, ReliefLimits::maxDecimals);
    NachkommaEd->setValue(4);

    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(6, 4, 6, 4);
    addField(grid, 0, 0, "Sicherer Z Abstand:", SicherEd);
    addField(grid, 0, 1, "Maximale Frästiefe:", FraesTiefe);
    addField(grid, 0, 2, "Motiv Breite:", BreitEdValue);
    addField(grid, 1, 0, "X-Start:", XStartEd);
    addField(grid, 1, 1, "Y-Start:", YStartEd);
    addField(grid, 1, 2, "Z-Start:", ZStartEd);
    addField(grid, 2, 0, "Tiefen Abstufungen:", AbstufEd);
    addField(grid, 2, 1, "Abstand zwischen Fräsbahnen:", AbstandFrEd);
    grid->addWidget(InvertCheck, 3, 1);
    grid->addWidget(CheckMinMaxBrightCheck, 3, 2, 1, 4);
    // The options of the stepped program that save machine time.
    grid->addWidget(SkipAirCheck, 5, 0, 1, 2, Qt::AlignRight);
    grid->addWidget(ClearanceCheck, 5, 2, Qt::AlignRight);
    grid->addWidget(ClearanceEd, 5, 3);
    grid->addWidget(ZigzagCheck, 5, 4, 1, 2);

    // The machine profile, after the values of the relief itself.
    ProfileCombo = new QComboBox;
    ProfileCombo->setObjectName("ProfileCombo");
    FeedEd = realEdit("FeedEd", 0.01, 1e6, 1000);
    PlungeFeedEd = realEdit("PlungeFeedEd", 0.01, 1e6, 300);
    SpindleEd = realEdit("SpindleEd", 0, 1e6, 10000);
    SpindleEd->setDecimals(0);
    addField(grid, 4, 0, "Vorschub:", FeedEd);
    addField(grid, 4, 1, "Eintauchvorschub:", PlungeFeedEd);
    addField(grid, 4, 2, "Drehzahl:", SpindleEd);
    grid->setColumnStretch(6, 1);

    setProfiles(BuiltInProfiles());
    connect(ProfileCombo, &QComboBox::currentIndexChanged, this, [this] {
        showProfileValues();
        emit valuesChanged();
    });
    for (QDoubleSpinBox *edit : {SicherEd, FraesTiefe, BreitEdValue, XStartEd, YStartEd, ZStartEd,
                                 AbstandFrEd, FeedEd, PlungeFeedEd, SpindleEd, ClearanceEd})
        connect(edit, &QDoubleSpinBox::valueChanged, this, &TReliefPanel::valuesChanged);
    for (QSpinBox *edit : {AbstufEd, NachkommaEd})
        connect(edit, &QSpinBox::valueChanged, this, &TReliefPanel::valuesChanged);
    for (QCheckBox *check :
         {InvertCheck, CheckMinMaxBrightCheck, SkipAirCheck, ClearanceCheck, ZigzagCheck})
        connect(check, &QCheckBox::toggled, this, &TReliefPanel::valuesChanged);
    connect(ClearanceCheck, &QCheckBox::toggled, ClearanceEd, &QWidget::setEnabled);
}

void TReliefPanel::setProfiles(const std::vector<MachineProfile> &list) {
    const std::string chosen = profileList.empty() ? std::string() : selectedProfile().name;
    profileList = list;
    const QSignalBlocker quiet(ProfileCombo);
    ProfileCombo->clear();
    // The built-ins' names are the tool's own texts; the user's are shown as written.
    for (const MachineProfile &profile : profileList) {
        const QString name = QString::fromStdString(profile.name);
        ProfileCombo->addItem(profile.builtIn ? TranslateString(name) : name);
    }
    const MachineProfile *kept = FindProfile(profileList, chosen);
    ProfileCombo->setCurrentIndex(kept ? int(kept - profileList.data()) : 0);
    if (!kept)
        showProfileValues();
}

void TReliefPanel::selectProfile(const std::string &name) {
    const MachineProfile *profile = FindProfile(profileList, name);
    const int index = profile ? int(profile - profileList.data()) : 0;
    if (index == ProfileCombo->currentIndex())
        showProfileValues();
    ProfileCombo->setCurrentIndex(index);
}

const MachineProfile &TReliefPanel::selectedProfile() const {
    const int index = ProfileCombo->currentIndex();
    return index >= 0 && size_t(index) < profileList.size() ? profileList[size_t(index)]
                                                            : PathsOnlyProfile();
}

void TReliefPanel::showProfileValues() {
    const MachineProfile &profile = selectedProfile();
    FeedEd->setValue(profile.feed);
    PlungeFeedEd->setValue(profile.plungeFeed);
    SpindleEd->setValue(profile.spindle);
}

QDoubleSpinBox *TReliefPanel::realEdit(const char *name, double low, double high, double value) {
    auto *edit = new QDoubleSpinBox;
    edit->setObjectName(name);
    edit->setLocale(QLocale::c()); // "." whatever the user's locale
    edit->setDecimals(2);
    // The smallest value with two decimals inside the range: a width or distance never
    // becomes 0.00.
    edit->setRange(std::ceil(low * 100) / 100, high);
    edit->setValue(value);
    edit->setMinimumWidth(90);
    return edit;
}

ReliefParameters TReliefPanel::parameters() const {
    ReliefParameters p;
    p.sicher = SicherEd->value();
    p.tiefe = FraesTiefe->value();
    long double width = 0;
    p.width = ParseReal(BreitEdValue->cleanText().toStdString(), width)
                  ? width
                  : (long double)BreitEdValue->value();
    p.levels = AbstufEd->value();
    p.xstart = XStartEd->value();
    p.ystart = YStartEd->value();
    p.zstart = ZStartEd->value();
    p.abstandfr = AbstandFrEd->value();
    p.invert = InvertCheck->isChecked();
    p.brightnessRange = CheckMinMaxBrightCheck->isChecked();
    p.nach = NachkommaEd->value();
    p.profile = selectedProfile();
    p.profile.feed = FeedEd->value();
    p.profile.plungeFeed = PlungeFeedEd->value();
    p.profile.spindle = SpindleEd->value();
    p.levelOptions = levelOptions();
    return p;
}

LevelOptions TReliefPanel::levelOptions() const {
    LevelOptions options;
    options.skipAir = SkipAirCheck->isChecked();
    options.useClearance = ClearanceCheck->isChecked();
    options.clearance = ClearanceEd->value();
    options.zigzag = ZigzagCheck->isChecked();
    return options;
}

void TReliefPanel::setLevelOptions(const LevelOptions &options) {
    SkipAirCheck->setChecked(options.skipAir);
    ClearanceCheck->setChecked(options.useClearance);
    ClearanceEd->setValue(
        PanelReal(options.clearance, {ReliefLimits::minClearance, ReliefLimits::maxClearance}));
    ZigzagCheck->setChecked(options.zigzag);
}

void TReliefPanel::setParameters(const ReliefParameters &p) {
    SicherEd->setValue(p.sicher);
    FraesTiefe->setValue(p.tiefe);
    BreitEdValue->setValue(double(p.width));
    AbstufEd->setValue(p.levels);
    XStartEd->setValue(p.xstart);
    YStartEd->setValue(p.ystart);
    ZStartEd->setValue(p.zstart);
    AbstandFrEd->setValue(p.abstandfr);
    InvertCheck->setChecked(p.invert);
    CheckMinMaxBrightCheck->setChecked(p.brightnessRange);
    NachkommaEd->setValue(p.nach);
}

} // namespace morvilo
