#include "app/aboutbox.h"

#include "app/icons.h"

#include <QDate>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QUrl>

namespace morvilo {

const char *const kMakerWebSite = "https://morvilo.org/";

TAboutBox::TAboutBox(QWidget *parent) : QDialog(parent) {
    setObjectName("AboutBox");
    setWindowTitle("Info");
    auto *icon = new QLabel;
    icon->setObjectName("ProgramIcon");
    icon->setPixmap(ProgramIcon().pixmap(64, 64));
    auto *product = new QLabel("Vantrel Morvilo 1.0");
    product->setObjectName("ProductName");
    QFont bold = product->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.3);
    product->setFont(bold);
    auto *comments = new QLabel(
        QString::fromUtf8("Werkbank für CNC-Bediener: Reliefs aus Bildern, G-Code Editor, "
                          "Backplot, Formatieren, DXF Export und DNC Übertragung."));
    comments->setObjectName("Comments");
    comments->setWordWrap(true);
    Copyright = new QLabel(QString::fromUtf8("Copyright © XXXX Vantrel"));
    Copyright->setObjectName("Copyright");
    Copyright->setText(Copyright->text().replace(
        "XXXX", QString::number(QDate::currentDate().year()).rightJustified(4, '0')));

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    QPushButton *site = buttons->addButton("Internet", QDialogButtonBox::ActionRole);
    site->setObjectName("WebButton");
    connect(site, &QPushButton::clicked, this,
            [] { QDesktopServices::openUrl(QUrl(QString::fromLatin1(kMakerWebSite))); });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto *grid = new QGridLayout(this);
    grid->addWidget(icon, 0, 0, 3, 1, Qt::AlignTop);
    grid->addWidget(product, 0, 1);
    grid->addWidget(comments, 1, 1);
    grid->addWidget(Copyright, 2, 1);
    grid->addWidget(buttons, 3, 0, 1, 2);
}

} // namespace morvilo
