#pragma once
// The main menu as data: every menu, item, caption, shortcut, radio group, default check mark
// and separator, in menu order. The window builds its menu bar from it and connects the
// commands by the items' names.

#include <QHash>
#include <QString>

#include <vector>

class QAction;
class QMenu;
class QMenuBar;
class QWidget;

namespace morvilo {

enum class MenuItemKind { Command, Toggle, Radio, Separator, Submenu };

struct MenuItemSpec {
    const char *name = "";     // the action's object name
    const char *caption = "";  // UTF-8
    const char *shortcut = ""; // QKeySequence text, empty for none
    MenuItemKind kind = MenuItemKind::Command;
    bool checked = false;
    const char *group = "";               // radio group
    std::vector<MenuItemSpec> items = {}; // a submenu's items
};

struct MenuSpec {
    const char *name;
    const char *caption;
    std::vector<MenuItemSpec> items;
};

const std::vector<MenuSpec> &MainMenuSpec();

// The menus and actions built from the table, found by their names.
struct MainMenuParts {
    QHash<QString, QMenu *> menus;
    QHash<QString, QAction *> actions;
    QAction *action(const QString &name) const { return actions.value(name); }
};

MainMenuParts BuildMainMenu(QMenuBar *bar, QWidget *owner);

} // namespace morvilo
