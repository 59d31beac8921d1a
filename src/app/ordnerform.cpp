#include "app/ordnerform.h"

#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace morvilo {

TOrdnerForm::TOrdnerForm(QWidget *parent)
    : TFixedDialog("OrdnerForm", QString::fromUtf8("Ordner für Unterprogramme"), parent) {
    Label1 = addLabel("Label1", QString::fromUtf8("Ordner für Unterprogramme:"));
    DirectoryEdit1 = addEdit("DirectoryEdit1");
    DirectoryEdit1->setMinimumWidth(360);
    Label1->setBuddy(DirectoryEdit1);
    Button1 = addControl("Button1", new QPushButton(QStringLiteral("...")));
    connect(Button1, &QPushButton::clicked, this, &TOrdnerForm::browse);
    BitBtn2->hide(); // the dialog has its OK button only
}

std::string TOrdnerForm::Folder() const {
    return QFile::encodeName(DirectoryEdit1->text()).toStdString();
}

void TOrdnerForm::SetFolder(const std::string &folder) {
    DirectoryEdit1->setText(QFile::decodeName(QByteArray::fromStdString(folder)));
}

void TOrdnerForm::browse() {
    const QString start = DirectoryEdit1->text();
    const QString chosen = chooseFolder ? chooseFolder(this, start)
                                        : QFileDialog::getExistingDirectory(this, QString(), start);
    if (!chosen.isEmpty())
        DirectoryEdit1->setText(chosen);
}

} // namespace morvilo
