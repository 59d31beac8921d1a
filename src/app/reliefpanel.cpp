#include "app/reliefpanel.h"

#include "app/previewtoolform.h"
#include "frontend/panelvalues.h"
#include "translation/translateunit.h"
#include "vantrel/numberparse.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QToolButton>

#include <algorithm>
#include <cmath>

namespace morvilo {

namespace {

// Far beyond any machine's travel, yet narrow enough for the edit's width.
constexpr double kUnbounded = 1e9;

QLabel *addField(QGridLayout *grid, int row, int column, const char *caption, QWidget *edit) {
    auto *label = new QLabel(QString::fromUtf8(caption));
    label->setBuddy(edit);
    grid->addWidget(label, row, column * 2, Qt::AlignRight);
    grid->addWidget(edit, row, column * 2 + 1);
    return label;
}

QString translated(const char *german) {
    return TranslateString(QString::fromUtf8(german));
}

QToolButton *dialogButton(const char *name) {
    auto *button = new QToolButton;
    button->setObjectName(name);
    button->setText("...");
    return button;
}

// An edit with its dialog button at the right.
QWidget *withButton(QWidget *edit, QToolButton *button) {
    auto *box = new QWidget;
    auto *row = new QHBoxLayout(box);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(2);
    row->addWidget(edit, 1);
    row->addWidget(button);
    return box;
}

QComboBox *choice(const char *name, std::initializer_list<const char *> items) {
    auto *combo = new QComboBox;
    combo->setObjectName(name);
    for (const char *item : items)
        combo->addItem(QString::fromUtf8(item));
    return combo;
}

// A tool text the generator refuses: the field's text names no tool.
constexpr MillingTool kNoTool{ToolShape::Flat, 0, 90};

MillingTool toolOf(const QLineEdit *field) {
    return ParseTool(field->text().trimmed().toStdString()).value_or(kNoTool);
}

const char *const kToolHint =
    "Fräser: flat:D (Schaftfräser), ball:D (Kugelfräser) oder vbit:D:WINKEL (V-Fräser), D der "
    "Durchmesser";

// A text that names no tool is shown red, and its tool tip says why.
void markTool(QLineEdit *field) {
    const QString text = field->text().trimmed();
    const bool valid = ParseTool(text.toStdString()).has_value();
    field->setStyleSheet(valid ? QString() : QString("color: #b00000"));
    field->setToolTip(valid
                          ? translated(kToolHint)
                          : TranslateMessage({"„%1“ ist kein Fräser: erwartet flat:D, ball:D oder "
                                              "vbit:D:WINKEL mit D über 0 (z. B. ball:1)",
                                              {text.toStdString()}}));
}

QLineEdit *toolEdit(const char *name, const MillingTool &tool) {
    auto *edit = new QLineEdit(QString::fromStdString(ToolText(tool)));
    edit->setObjectName(name);
    edit->setMinimumWidth(50);
    markTool(edit);
    QObject::connect(edit, &QLineEdit::textChanged, edit, [edit] { markTool(edit); });
    return edit;
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

    StrategyCombo = choice("StrategyCombo", {"Stufen", "Fläche"});
    StrategyCombo->setToolTip(QString::fromUtf8(
        "Strategie - Stufen: Bahnen in Tiefenstufen. Fläche: der Fräser folgt der Oberfläche des "
        "Bildes, seine Form berücksichtigt, auf Wunsch nach dem Schruppen"));
    createSurfaceFields();

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
    // The strategy where the first column has room, before the options of the picture.
    grid->addWidget(StrategyCombo, 3, 0, Qt::AlignRight);
    grid->addWidget(InvertCheck, 3, 1);
    grid->addWidget(CheckMinMaxBrightCheck, 3, 2, 1, 4);
    // The options of the strategy chosen: those of the stepped program that save machine time,
    // or those of the surface.
    grid->addWidget(SkipAirCheck, 5, 0, 1, 2, Qt::AlignRight);
    grid->addWidget(ClearanceCheck, 5, 2, Qt::AlignRight);
    grid->addWidget(ClearanceEd, 5, 3);
    grid->addWidget(ZigzagCheck, 5, 4, 1, 2);
    levelWidgets = {SkipAirCheck, ClearanceCheck, ClearanceEd, ZigzagCheck};
    addSurfaceFields(grid);

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
    for (QDoubleSpinBox *edit :
         {SicherEd, FraesTiefe, BreitEdValue, XStartEd, YStartEd, ZStartEd, AbstandFrEd, FeedEd,
          PlungeFeedEd, SpindleEd, ClearanceEd, ToleranceEd, SurfaceClearanceEd, StepdownEd,
          LeaveEd, RoughStepoverEd})
        connect(edit, &QDoubleSpinBox::valueChanged, this, &TReliefPanel::valuesChanged);
    for (QSpinBox *edit : {AbstufEd, NachkommaEd})
        connect(edit, &QSpinBox::valueChanged, this, &TReliefPanel::valuesChanged);
    for (QCheckBox *check : {InvertCheck, CheckMinMaxBrightCheck, SkipAirCheck, ClearanceCheck,
                             ZigzagCheck, OneWayCheck, RoughCheck})
        connect(check, &QCheckBox::toggled, this, &TReliefPanel::valuesChanged);
    for (QLineEdit *edit : {ToolEd, RoughToolEd, RoughFileEd})
        connect(edit, &QLineEdit::textChanged, this, &TReliefPanel::valuesChanged);
    for (QComboBox *combo : {StrategyCombo, DirectionCombo})
        connect(combo, &QComboBox::currentIndexChanged, this, &TReliefPanel::valuesChanged);
    for (QCheckBox *check : {ClearanceCheck, OneWayCheck, RoughCheck})
        connect(check, &QCheckBox::toggled, this, &TReliefPanel::enableFields);
    connect(StrategyCombo, &QComboBox::currentIndexChanged, this, &TReliefPanel::enableFields);
    connect(ToolBtn, &QToolButton::clicked, this, [this] { chooseTool(ToolEd); });
    connect(RoughToolBtn, &QToolButton::clicked, this, [this] { chooseTool(RoughToolEd); });
    connect(RoughFileBtn, &QToolButton::clicked, this, &TReliefPanel::chooseRoughFile);
    enableFields();
}

void TReliefPanel::createSurfaceFields() {
    const SurfaceOptions start;
    ToolEd = toolEdit("ToolEd", start.tool);
    RoughToolEd = toolEdit("RoughToolEd", start.roughTool);
    ToolBtn = dialogButton("ToolBtn");
    RoughToolBtn = dialogButton("RoughToolBtn");
    ToolBtn->setToolTip(QString::fromUtf8("Den Fräser wählen"));
    RoughToolBtn->setToolTip(ToolBtn->toolTip());
    ToleranceEd = realEdit("ToleranceEd", SurfaceLimits::minTolerance, SurfaceLimits::maxTolerance,
                           start.tolerance);
    ToleranceEd->setDecimals(4);
    ToleranceEd->setRange(SurfaceLimits::minTolerance, SurfaceLimits::maxTolerance);
    ToleranceEd->setValue(start.tolerance);
    ToleranceEd->setToolTip(
        QString::fromUtf8("So weit darf eine Bewegung von der idealen Bahn des Fräsers abweichen"));
    DirectionCombo = choice("DirectionCombo", {"X", "Y", "X und Y"});
    DirectionCombo->setToolTip(QString::fromUtf8(
        "Zeilen entlang X, Spalten entlang Y, oder beides (ein zweiter Durchgang quer)"));
    OneWayCheck = new QCheckBox(QString::fromUtf8("Eine Richtung"));
    OneWayCheck->setObjectName("OneWayCheck");
    OneWayCheck->setToolTip(QString::fromUtf8(
        "Jede Zeile in derselben Richtung, dazwischen Rückzug um den Freiraum über das Rohteil; "
        "sonst im Zickzack"));
    SurfaceClearanceEd =
        realEdit("SurfaceClearanceEd", 0, SurfaceLimits::maxClearance, start.clearance);
    SurfaceClearanceEd->setToolTip(QString::fromUtf8(
        "Rückzüge zwischen den Zeilen und beim Schruppen nur so weit über das Rohteil bzw. das "
        "stehende Material, höchstens auf die sichere Höhe"));
    RoughCheck = new QCheckBox(QString::fromUtf8("Schruppen:"));
    RoughCheck->setObjectName("RoughCheck");
    RoughCheck->setToolTip(QString::fromUtf8(
        "Vor dem Schlichten in Ebenen schruppen, die Zielfläche plus Aufmaß bleibt stehen"));
    StepdownEd = realEdit("StepdownEd", SurfaceLimits::minStepdown, SurfaceLimits::maxClearance,
                          start.stepdown);
    StepdownEd->setDecimals(3);
    StepdownEd->setRange(SurfaceLimits::minStepdown, SurfaceLimits::maxClearance);
    StepdownEd->setValue(start.stepdown);
    LeaveEd = realEdit("LeaveEd", 0, SurfaceLimits::maxClearance, start.leave);
    LeaveEd->setDecimals(3);
    RoughStepoverEd =
        realEdit("RoughStepoverEd", 0, SurfaceLimits::maxClearance, start.roughStepover);
    RoughStepoverEd->setDecimals(3);
    RoughStepoverEd->setSpecialValueText(translated("automatisch"));
    RoughStepoverEd->setToolTip(QString::fromUtf8(
        "Abstand der Bahnen beim Schruppen; 0 (automatisch): 40 % des Schruppfräsers"));
    RoughFileEd = new QLineEdit;
    RoughFileEd->setObjectName("RoughFileEd");
    RoughFileEd->setMinimumWidth(50);
    RoughFileEd->setPlaceholderText(QString::fromUtf8("ins Programm (Werkzeugwechsel)"));
    RoughFileEd->setToolTip(QString::fromUtf8(
        "Die Datei des Schruppprogramms (ohne Ordner: neben dem Bild); leer: vor dem Schlichten "
        "ins Programm, mit dem Werkzeugwechsel des Profils"));
    RoughFileBtn = dialogButton("RoughFileBtn");
    RoughFileBtn->setToolTip(QString::fromUtf8("Die Datei des Schruppprogramms wählen"));
}

void TReliefPanel::addSurfaceFields(QGridLayout *grid) {
    // In the row of the stepped program's options and two more, in the columns of the values
    // above.
    const auto field = [&](int line, int column, const char *caption, QWidget *edit) {
        surfaceWidgets.push_back(addField(grid, line, column, caption, edit));
        surfaceWidgets.push_back(edit);
    };
    field(5, 0, "Fräser:", withButton(ToolEd, ToolBtn));
    field(5, 1, "Toleranz:", ToleranceEd);
    field(5, 2, "Freiraum:", SurfaceClearanceEd);
    field(6, 0, "Richtung:", DirectionCombo);
    grid->addWidget(OneWayCheck, 6, 2, Qt::AlignRight);
    QWidget *roughTool = withButton(RoughToolEd, RoughToolBtn);
    grid->addWidget(RoughCheck, 6, 3, 1, 2, Qt::AlignRight);
    grid->addWidget(roughTool, 6, 5, 1, 2);
    field(7, 0, "Zustellung:", StepdownEd);
    field(7, 1, "Aufmaß:", LeaveEd);
    field(8, 0, "Schruppabstand:", RoughStepoverEd);
    auto *fileLabel = new QLabel(QString::fromUtf8("Schruppdatei:"));
    fileLabel->setBuddy(RoughFileEd);
    QWidget *file = withButton(RoughFileEd, RoughFileBtn);
    grid->addWidget(fileLabel, 7, 4, Qt::AlignRight);
    grid->addWidget(file, 7, 5, 1, 2);
    surfaceWidgets.insert(surfaceWidgets.end(), {OneWayCheck, fileLabel, file});
    surfaceWidgets.push_back(RoughCheck);
    surfaceWidgets.push_back(roughTool);
}

void TReliefPanel::enableFields() {
    const bool surface = strategy() == ReliefStrategy::Surface;
    // The fields of the other strategy take no room.
    for (QWidget *field : levelWidgets)
        field->setVisible(!surface);
    for (QWidget *field : surfaceWidgets)
        field->setVisible(surface);
    AbstufEd->setEnabled(!surface); // the surface has no levels
    ClearanceEd->setEnabled(ClearanceCheck->isChecked());
    for (QWidget *field :
         {static_cast<QWidget *>(RoughToolEd), static_cast<QWidget *>(RoughToolBtn),
          static_cast<QWidget *>(StepdownEd), static_cast<QWidget *>(LeaveEd),
          static_cast<QWidget *>(RoughStepoverEd), static_cast<QWidget *>(RoughFileEd),
          static_cast<QWidget *>(RoughFileBtn)})
        field->setEnabled(RoughCheck->isChecked());
}

ReliefStrategy TReliefPanel::strategy() const {
    return StrategyCombo->currentIndex() == 1 ? ReliefStrategy::Surface : ReliefStrategy::Levels;
}

SurfaceOptions TReliefPanel::surfaceOptions() const {
    SurfaceOptions o;
    o.tool = toolOf(ToolEd);
    o.tolerance = ToleranceEd->value();
    const RasterDirection directions[] = {RasterDirection::X, RasterDirection::Y,
                                          RasterDirection::Both};
    o.direction = directions[std::clamp(DirectionCombo->currentIndex(), 0, 2)];
    o.oneWay = OneWayCheck->isChecked();
    o.clearance = SurfaceClearanceEd->value();
    o.rough = RoughCheck->isChecked();
    o.roughTool = o.rough ? toolOf(RoughToolEd) : SurfaceOptions{}.roughTool;
    o.stepdown = StepdownEd->value();
    o.leave = LeaveEd->value();
    o.roughStepover = RoughStepoverEd->value();
    o.roughOutput = RoughFileEd->text().trimmed().toStdString();
    return o;
}

void TReliefPanel::chooseRoughFile() {
    QString file;
    if (roughFileDialog)
        file = roughFileDialog();
    else
        file = QFileDialog::getSaveFileName(this, translated("Schruppprogramm speichern"),
                                            RoughFileEd->text());
    if (!file.isEmpty())
        RoughFileEd->setText(file);
}

void TReliefPanel::chooseTool(QLineEdit *field) {
    PreviewSettings settings;
    settings.tool = ParseTool(field->text().trimmed().toStdString()).value_or(MillingTool{});
    TPreviewToolForm dialog(settings, this);
    dialog.ShowToolOnly();
    if (dialog.exec() == QDialog::Accepted)
        field->setText(QString::fromStdString(ToolText(dialog.Settings().tool)));
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
    p.strategy = strategy();
    p.surface = surfaceOptions();
    return p;
}

LevelOptions TReliefPanel::levelOptions() const {
    return strategy() == ReliefStrategy::Levels ? levelFields() : LevelOptions{};
}

LevelOptions TReliefPanel::levelFields() const {
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
    enableFields();
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
