// TMainform: options.dat and the per-user settings store (check marks and placement).

#include "app/mainform.h"
#include "interpreter/ordnerform.h"
#include "settings/settingsstore.h"
#include "translation/translateunit.h"

#include <QAction>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>

namespace morvilo {

namespace {

std::unique_ptr<QSettings> settingsStore(const char *group = "TMainform") {
    return SettingsStore(group);
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
                                      "G91relativeKoordinaten1"};
    return names;
}

void TMainform::RestoreSettings() {
    auto store = settingsStore();
    for (const QString &name : StoredCheckMarks()) {
        const QVariant value = store->value(name + ".Checked");
        if (value.isValid())
            action(name)->setChecked(value.toBool());
    }
    const QByteArray placement = store->value("Placement").toByteArray();
    if (placement.isEmpty() || !restoreGeometry(placement)) {
        // Centred on the screen at the designed size.
        if (QScreen *screen = QGuiApplication::primaryScreen())
            move(screen->availableGeometry().center() - rect().center());
    }
    otherbreaketsClick(); // the brackets follow the restored option
}

void TMainform::StoreSettings() {
    auto store = settingsStore();
    for (const QString &name : StoredCheckMarks())
        store->setValue(name + ".Checked", action(name)->isChecked());
    store->setValue("Placement", saveGeometry());
}

void TMainform::RestoreOrdnerForm() {
    auto store = settingsStore("TOrdnerForm");
    OrdnerForm->SetFolder(store->value("DirectoryEdit1.Text").toString().toStdString());
    OrdnerForm->restoreGeometry(store->value("Placement").toByteArray());
}

void TMainform::StoreOrdnerForm() {
    auto store = settingsStore("TOrdnerForm");
    store->setValue("DirectoryEdit1.Text", QString::fromStdString(OrdnerForm->Folder()));
    store->setValue("Placement", OrdnerForm->saveGeometry());
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
