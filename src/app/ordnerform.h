#pragma once
// TOrdnerForm: the dialog "Ordner für Unterprogramme", whose folder field names the folder in
// which subprogram calls look for subprogram files. The main window creates it once, shows it
// from the menu and stores the field's text with its settings.

#include "editor/searchdialogs.h"

#include <functional>
#include <string>

class QLineEdit;
class QPushButton;

namespace morvilo {

class TOrdnerForm : public TFixedDialog {
    Q_OBJECT

public:
    explicit TOrdnerForm(QWidget *parent = nullptr);

    // The folder field as a file system path, and back.
    std::string Folder() const;
    void SetFolder(const std::string &folder);

    // Asks for a folder, starting at the field's folder; an empty result keeps the field.
    // Replaceable so that tests need no user.
    std::function<QString(QWidget *parent, const QString &start)> chooseFolder;

    QLabel *Label1;
    QLineEdit *DirectoryEdit1;
    QPushButton *Button1; // opens the folder chooser

private:
    void browse();
};

} // namespace morvilo
