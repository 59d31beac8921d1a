// TMainform: options.dat and the per-user settings store (check marks and placement).

#include "app/mainform.h"
#include "app/ordnerform.h"
#include "app/reliefpanel.h"
#include "settings/settingsstore.h"
#include "translation/translateunit.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>
#include <QSettings>

#include <algorithm>
#include <cmath>

namespace morvilo {

namespace {

std::unique_ptr<QSettings> settingsStore(const char *group = "TMainform") {
    return SettingsStore(group);
}

// A window's placement in readable entries: its state and the client area of the normal (not
// maximised) window. The frame never enters: its size is known only to the window manager,
// often not yet when a window is restored before it is shown, and mixing the two moves the
// window by the title bar at every start.
void storePlacement(QSettings &store, const QWidget &window) {
    const QRect normal = window.normalGeometry();
    store.setValue("WindowState", int(window.windowState()));
    store.setValue("Left", normal.x());
    store.setValue("Top", normal.y());
    store.setValue("Width", normal.width());
    store.setValue("Height", normal.height());
    store.remove("Placement"); // the frame-based entry of earlier versions
}

// False when no usable placement is stored, or when it lies on no screen that is there now.
bool restorePlacement(const QSettings &store, QWidget &window) {
    int values[4] = {};
    const char *const keys[] = {"Left", "Top", "Width", "Height"};
    for (int k = 0; k < 4; ++k) {
        bool ok = false;
        values[k] = store.value(keys[k]).toInt(&ok);
        if (!ok)
            return false;
    }
    const QRect normal(values[0], values[1], values[2], values[3]);
    const QList<QScreen *> screens = QGuiApplication::screens();
    if (normal.isEmpty() || std::none_of(screens.begin(), screens.end(), [&](QScreen *screen) {
            return screen->availableGeometry().intersects(normal);
        }))
        return false;
    window.setGeometry(normal);
    // A window does not come back minimised.
    const auto state = Qt::WindowStates(store.value("WindowState", 0).toInt());
    window.setWindowState(state & (Qt::WindowMaximized | Qt::WindowFullScreen));
    return true;
}

// The machine profile of the last session with the feeds, the spindle speed, the safe height and
// the depth it had; a value that is missing or no number keeps the profile's. A profile that
// dresses the program checks that the safe height lies above the cuts, which the start-up values
// of the bare paths (safe -1, depth 1) never pass: without remembered heights such a profile
// starts from them turned upwards (safe 1, depth -1). The bare paths keep the start-up values.
void restoreProfileChoice(const QSettings &store, TReliefPanel &panel) {
    if (!store.contains("Profile"))
        return;
    panel.selectProfile(store.value("Profile").toString().toStdString());
    if (panel.selectedProfile().pathsOnly)
        return;
    panel.SicherEd->setValue(-panel.SicherEd->value());
    panel.FraesTiefe->setValue(-panel.FraesTiefe->value());
    const std::pair<const char *, QDoubleSpinBox *> fields[] = {{"Feed", panel.FeedEd},
                                                                {"PlungeFeed", panel.PlungeFeedEd},
                                                                {"Spindle", panel.SpindleEd},
                                                                {"SafeZ", panel.SicherEd},
                                                                {"Depth", panel.FraesTiefe}};
    for (const auto &[key, edit] : fields) {
        bool ok = false;
        const double value = store.value(key).toDouble(&ok);
        if (ok && std::isfinite(value))
            edit->setValue(value);
    }
}

// The options of the stepped program; a value that is missing or not readable keeps the
// panel's.
void restoreLevelOptions(const QSettings &store, TReliefPanel &panel) {
    LevelOptions options = panel.levelFields();
    const std::pair<const char *, bool *> checks[] = {{"SkipAir", &options.skipAir},
                                                      {"UseClearance", &options.useClearance},
                                                      {"Zigzag", &options.zigzag}};
    for (const auto &[key, target] : checks)
        if (store.contains(key))
            *target = store.value(key).toBool();
    bool ok = false;
    const double clearance = store.value("Clearance").toDouble(&ok);
    if (ok && std::isfinite(clearance))
        options.clearance = clearance;
    panel.setLevelOptions(options);
}

void storeLevelOptions(QSettings &store, const TReliefPanel &panel) {
    const LevelOptions options = panel.levelFields();
    store.setValue("SkipAir", options.skipAir);
    store.setValue("UseClearance", options.useClearance);
    store.setValue("Clearance", options.clearance);
    store.setValue("Zigzag", options.zigzag);
}

// The strategy and the fields of "Fläche", each under its key: the choices by their place in
// the list, the tools and the roughing file as they were typed.
struct SurfaceFields {
    std::pair<const char *, QComboBox *> choices[2];
    std::pair<const char *, QDoubleSpinBox *> reals[5];
    std::pair<const char *, QCheckBox *> checks[2];
    std::pair<const char *, QLineEdit *> texts[3];
};

SurfaceFields surfaceFields(const TReliefPanel &panel) {
    return {{{"Strategy", panel.StrategyCombo}, {"Direction", panel.DirectionCombo}},
            {{"Tolerance", panel.ToleranceEd},
             {"SurfaceClearance", panel.SurfaceClearanceEd},
             {"Stepdown", panel.StepdownEd},
             {"Leave", panel.LeaveEd},
             {"RoughStepover", panel.RoughStepoverEd}},
            {{"OneWay", panel.OneWayCheck}, {"Rough", panel.RoughCheck}},
            {{"SurfaceTool", panel.ToolEd},
             {"RoughTool", panel.RoughToolEd},
             {"RoughOutput", panel.RoughFileEd}}};
}

// A value that is missing or not readable keeps the panel's.
void restoreSurfaceOptions(const QSettings &store, TReliefPanel &panel) {
    const SurfaceFields fields = surfaceFields(panel);
    for (const auto &[key, combo] : fields.choices) {
        bool ok = false;
        const int index = store.value(key).toInt(&ok);
        if (ok && index >= 0 && index < combo->count())
            combo->setCurrentIndex(index);
    }
    for (const auto &[key, edit] : fields.reals) {
        bool ok = false;
        const double value = store.value(key).toDouble(&ok);
        if (ok && std::isfinite(value))
            edit->setValue(value);
    }
    for (const auto &[key, check] : fields.checks)
        if (store.contains(key))
            check->setChecked(store.value(key).toBool());
    for (const auto &[key, edit] : fields.texts)
        if (store.contains(key))
            edit->setText(store.value(key).toString().left(4096));
}

void storeSurfaceOptions(QSettings &store, const TReliefPanel &panel) {
    const SurfaceFields fields = surfaceFields(panel);
    for (const auto &[key, combo] : fields.choices)
        store.setValue(key, combo->currentIndex());
    for (const auto &[key, edit] : fields.reals)
        store.setValue(key, edit->value());
    for (const auto &[key, check] : fields.checks)
        store.setValue(key, check->isChecked());
    for (const auto &[key, edit] : fields.texts)
        store.setValue(key, edit->text());
}

} // namespace

const QStringList &TMainform::StoredCheckMarks() {
    static const QStringList names = {"absolutecheck",
                                      "Ansichtautomatischaktuallisieren1",
                                      "Automatischrotieren1",
                                      "allcaps",
                                      "showsubs",
                                      "otherbreakets",
                                      "donotprocessdeletedlines",
                                      "Mill",
                                      "Dreh1",
                                      "Dreh2",
                                      "Haas",
                                      "IJKsindModal1",
                                      "IJKsindInkremental1",
                                      "G91relativeKoordinaten1",
                                      "cyclesToScale"};
    return names;
}

void TMainform::RestoreSettings() {
    auto store = settingsStore();
    for (const QString &name : StoredCheckMarks()) {
        const QVariant value = store->value(name + ".Checked");
        if (value.isValid())
            action(name)->setChecked(value.toBool());
    }
    if (!restorePlacement(*store, *this)) {
        // The client area centred on the screen at the designed size.
        if (QScreen *screen = QGuiApplication::primaryScreen()) {
            QRect centred(QPoint(), size());
            centred.moveCenter(screen->availableGeometry().center());
            setGeometry(centred);
        }
    }
    otherbreaketsClick(); // the brackets follow the restored option
    restoreProfileChoice(*store, *Panel3);
    restoreLevelOptions(*store, *Panel3);
    restoreSurfaceOptions(*store, *Panel3);
}

void TMainform::StoreSettings() {
    auto store = settingsStore();
    for (const QString &name : StoredCheckMarks())
        store->setValue(name + ".Checked", action(name)->isChecked());
    storePlacement(*store, *this);
    store->setValue("Profile", QString::fromStdString(Panel3->selectedProfile().name));
    store->setValue("Feed", Panel3->FeedEd->value());
    store->setValue("PlungeFeed", Panel3->PlungeFeedEd->value());
    store->setValue("Spindle", Panel3->SpindleEd->value());
    storeLevelOptions(*store, *Panel3);
    storeSurfaceOptions(*store, *Panel3);
    if (Panel3->selectedProfile().pathsOnly) {
        store->remove("SafeZ");
        store->remove("Depth");
    } else {
        store->setValue("SafeZ", Panel3->SicherEd->value());
        store->setValue("Depth", Panel3->FraesTiefe->value());
    }
}

void TMainform::RestoreOrdnerForm() {
    auto store = settingsStore("TOrdnerForm");
    OrdnerForm->SetFolder(store->value("DirectoryEdit1.Text").toString().toStdString());
    restorePlacement(*store, *OrdnerForm);
}

void TMainform::StoreOrdnerForm() {
    auto store = settingsStore("TOrdnerForm");
    store->setValue("DirectoryEdit1.Text", QString::fromStdString(OrdnerForm->Folder()));
    storePlacement(*store, *OrdnerForm);
}

void TMainform::LoadOptions() {
    dontchlang = true;
    languagesetto = 0;
    language = 0;
    action("Deutsch1")->setChecked(true);
    PortOptions options;
    if (ReadOptionsDat(progpath + "options.dat", options)) {
        portOptions = options;
        languagesetto = options.language;
        if (languagesetto == 1)
            action("English1")->setChecked(true);
    }
    dontchlang = false;
}

void TMainform::SaveOptions() {
    PortOptions options = portOptions;
    options.language = language;
    WriteOptionsDat(progpath + "options.dat", options); // failures are not reported
}

} // namespace morvilo
