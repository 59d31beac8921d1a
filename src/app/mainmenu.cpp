#include "app/mainmenu.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>

namespace morvilo {

namespace {

using K = MenuItemKind;

MenuItemSpec separator() {
    return {"", "", "", K::Separator};
}

MenuItemSpec command(const char *name, const char *caption, const char *shortcut = "") {
    return {name, caption, shortcut, K::Command};
}

MenuItemSpec toggle(const char *name, const char *caption, bool checked = false) {
    return {name, caption, "", K::Toggle, checked};
}

MenuItemSpec radio(const char *name, const char *caption, const char *group, bool checked) {
    return {name, caption, "", K::Radio, checked, group};
}

std::vector<MenuSpec> buildSpec() {
    MenuItemSpec recent{"ZuletztgeffneteDateien1", "Zuletzt geöffnete Dateien", "", K::Submenu};
    for (const char *slot : {"Zuletzt11", "Zuletzt21", "Zuletzt31", "Zuletzt41", "Zuletzt51"})
        recent.items.push_back(command(slot, ""));
    return {
        {"Datei1",
         "Datei",
         {command("Neu1", "Neu", "Ctrl+N"), separator(), command("ffnen1", "Öffnen...", "Ctrl+O"),
          command("Speichern1", "Speichern", "Ctrl+S"),
          command("Speichernunter1", "Speichern unter...", "Ctrl+U"), separator(),
          command("DXFExport1", "DXF Export..."),
          command("Werkstueckexportieren1", "Werkstück exportieren..."), separator(),
          command("Druckereinrichten1", "Drucker einrichten..."),
          command("Drucken1", "Drucken", "Ctrl+D"), command("Backplotdrucken1", "Backplot drucken"),
          separator(), recent, separator(), command("Beenden1", "Beenden")}},
        {"Bearbeiten1",
         "Bearbeiten",
         {command("Rckgngig1", "Rückgängig (Gruppe)", "Ctrl+Z"),
          command("Wiederholen1", "Wiederholen (Gruppe)", "Ctrl+Y"),
          command("Rckgngigeinzeln1", "Rückgängig (einzeln)", "Ctrl+Alt+Z"),
          command("Wiederholeneinzeln1", "Wiederholen (einzeln)", "Ctrl+Alt+Y"), separator(),
          command("Ausschneiden1", "Ausschneiden", "Ctrl+X"),
          command("KopierenmitBinrdaten1", "Kopieren mit Binärdaten", "Ctrl+K"),
          command("Kopieren1", "Kopieren", "Ctrl+C"), command("Einfgen1", "Einfügen", "Ctrl+V"),
          command("Lschen1", "Löschen"), separator(),
          command("Allesmarkieren1", "Alles markieren", "Ctrl+A"), separator(),
          command("Suchen1", "Suchen...", "Ctrl+F"), command("Weitersuchen1", "Weitersuchen", "F3"),
          command("Suchenundersetzen1", "Suchen und ersetzen...", "Ctrl+R"),
          command("Weitersuchenundersetzen1", "Weiter suchen und ersetzen", "Ctrl+F3"),
          command("ZurZeilennummerspringen1", "Zur Zeilennummer springen...", "Ctrl+J"),
          command("AnPositioninDateispringen1", "An Position in Datei springen...", "Ctrl+P")}},
        {"Formatieren1",
         "Formatieren",
         {command("BlckeneuNummerieren1", "Blöcke neu numerieren"),
          command("Nummierungentfernen1", "Blocknumierung entfernen"), separator(),
          command("Leerzeichenhinzufgen1", "Leerzeichen hinzufügen"),
          command("Leerzeichenentfernen1", "Leerzeichen entfernen"),
          command("LeerzeichenamZeilenanfangentfernen1", "Leerzeichen am Zeilenanfang entfernen"),
          command("LeerzeichenamZeilenendeentfernen1", "Leerzeichen am Zeilenende entfernen"),
          separator(), command("LeereZeilenentfernen1", "Leere Zeilen entfernen"),
          command("Kommentareentfernen1", "Kommentare entfernen"), separator(),
          command("AllesinGrossbuchstabenumwandeln1", "Alles in Grossbuchstaben umwandeln")}},
        {"Berechnen1",
         "Berechnen",
         {command("Variablenanzeigen1", "Variablen anzeigen..."),
          command("Ausdruckberechnen1", "Ausdruck berechnen..."), separator(),
          command("ProgrammInfo1", "Programm-Info...")}},
        {"Maschine1",
         "Maschine",
         {radio("Mill", "Fräsmachine/Mill", "machine", true),
          radio("Dreh1", "Drehmaschine/Lathe (G-Codesystem  A)", "machine", false),
          radio("Dreh2", "Drehmaschine/Lathe (G-Codesystem  B)", "machine", false), separator(),
          toggle("Haas", "HAAS Fräsmaschine (Bohrungen entlang Kreis/Arc/Line G70/G71/G72 "
                         "anstatt G34,G36,G35)"),
          separator(), toggle("absolutecheck", "Absolute Koordinaten für Kreisbögen Mittelpunkte"),
          toggle("IJKsindModal1", "I, J, K sind Modal"),
          toggle("IJKsindInkremental1", "I, J, K sind Inkremental"),
          toggle("G91relativeKoordinaten1", "G91 relative Koordinaten "), separator(),
          toggle("otherbreakets", "[] für Kommentare anstatt ()"),
          toggle("donotprocessdeletedlines", "/Gelöschte Blöcke  nicht verarbeiten")}},
        {"Optionen1",
         "Optionen",
         {toggle("Ansichtautomatischaktuallisieren1", "Ansicht automatisch aktuallisieren", true),
          toggle("allcaps", "Eingaben alle als Großbuchstaben", true),
          toggle("Automatischrotieren1", "Automatisch rotieren"), separator(),
          command("OrdnerfrUnterprogramme1", "Ordner für Unterprogramme..."),
          toggle("showsubs", "Zeige gelandene Unterprogramme im Editor"),
          toggle("cyclesToScale", "Bohrzyklen maßstäblich"), separator(),
          radio("ZeichekleinesRechteckumRapidMoveEndpunkte1",
                "Zeiche kleines Rechteck um Rapid Move Endpunkte", "endpoints", true),
          radio("ZeichnekleinesRechteckumalleEndpunkte1",
                "Zeichne kleines Rechteck um alle Endpunkte", "endpoints", false),
          radio("Endpunktenichtmarkieren1", "Endpunkte nicht markieren", "endpoints", false),
          separator(), command("Maschinenprofile1", "Maschinenprofile...")}},
        {"DNC1",
         "DNC",
         {command("Senden1", "Senden"), command("PortEinstellungen1", "Port Einstellungen..."),
          command("Empfangen1", "Empfangen...")}},
        {"Sprache1",
         "Sprache",
         {radio("Deutsch1", "Deutsch", "language", true),
          radio("English1", "English", "language", false), separator(),
          command("bersetzen1", "Übersetzen...")}},
        {"Hilfe1",
         "Hilfe",
         {command("Hilfe2", "Hilfe..."), command("berdasProgramm1", "Über das Programm...")}},
    };
}

void addItems(QMenu *menu, const std::vector<MenuItemSpec> &items, QWidget *owner,
              MainMenuParts &parts, QHash<QString, QActionGroup *> &groups) {
    for (const MenuItemSpec &item : items) {
        if (item.kind == K::Separator) {
            menu->addSeparator();
            continue;
        }
        if (item.kind == K::Submenu) {
            QMenu *sub = menu->addMenu(QString::fromUtf8(item.caption));
            sub->setObjectName(QString::fromLatin1(item.name));
            sub->menuAction()->setObjectName(QString::fromLatin1(item.name));
            parts.menus.insert(sub->objectName(), sub);
            parts.actions.insert(sub->objectName(), sub->menuAction());
            addItems(sub, item.items, owner, parts, groups);
            continue;
        }
        auto *action = new QAction(QString::fromUtf8(item.caption), owner);
        action->setObjectName(QString::fromLatin1(item.name));
        if (*item.shortcut)
            action->setShortcut(QKeySequence(QString::fromLatin1(item.shortcut)));
        if (item.kind != K::Command) {
            action->setCheckable(true);
            action->setChecked(item.checked);
        }
        if (item.kind == K::Radio) {
            QActionGroup *&group = groups[QString::fromLatin1(item.group)];
            if (!group)
                group = new QActionGroup(owner);
            group->addAction(action);
        }
        menu->addAction(action);
        parts.actions.insert(action->objectName(), action);
    }
}

} // namespace

const std::vector<MenuSpec> &MainMenuSpec() {
    static const std::vector<MenuSpec> spec = buildSpec();
    return spec;
}

MainMenuParts BuildMainMenu(QMenuBar *bar, QWidget *owner) {
    MainMenuParts parts;
    QHash<QString, QActionGroup *> groups;
    for (const MenuSpec &spec : MainMenuSpec()) {
        QMenu *menu = bar->addMenu(QString::fromUtf8(spec.caption));
        menu->setObjectName(QString::fromLatin1(spec.name));
        parts.menus.insert(menu->objectName(), menu);
        addItems(menu, spec.items, owner, parts, groups);
    }
    return parts;
}

} // namespace morvilo
