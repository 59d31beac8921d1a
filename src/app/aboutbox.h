#pragma once
// TAboutBox: the information dialog "Info".

#include <QDialog>

class QLabel;

namespace morvilo {

class TAboutBox : public QDialog {
    Q_OBJECT

public:
    explicit TAboutBox(QWidget *parent = nullptr);

    QLabel *Copyright; // "XXXX" replaced by the current year when the dialog is created
};

// Where the web site button leads.
extern const char *const kMakerWebSite;

} // namespace morvilo
