#include "editor/searchdialogs.h"

#include "vantrel/codepage.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace morvilo {

std::string DocumentBytesOf(const QString &typed) {
    return Windows1252FromUtf16(
        std::u16string_view(QStringView(typed).utf16(), size_t(typed.size())));
}

QString DocumentTextOf(std::string_view bytes) {
    return QString::fromStdU16String(Utf16FromWindows1252(bytes));
}

// ---- TFixedDialog -------------------------------------------------------------------------

TFixedDialog::TFixedDialog(const QString &name, const QString &caption, QWidget *parent,
                           const QString &cancelCaption)
    : QDialog(parent) {
    setObjectName(name);
    setWindowTitle(caption);
    auto *layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize); // a fixed dialog frame
    controls = new QVBoxLayout;
    layout->addLayout(controls);
    auto *buttons = new QDialogButtonBox;
    BitBtn1 = buttons->addButton("OK", QDialogButtonBox::AcceptRole);
    BitBtn1->setObjectName("BitBtn1");
    BitBtn1->setDefault(true);
    BitBtn2 = buttons->addButton(cancelCaption, QDialogButtonBox::RejectRole);
    BitBtn2->setObjectName("BitBtn2");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

void TFixedDialog::showEvent(QShowEvent *event) {
    QDialog::showEvent(event);
    if (const QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TFixedDialog::place(const char *name, QWidget *widget) {
    widget->setObjectName(name);
    controls->addWidget(widget);
}

QLabel *TFixedDialog::addLabel(const char *name, const QString &caption) {
    return addControl(name, new QLabel(caption));
}

QLineEdit *TFixedDialog::addEdit(const char *name) {
    auto *edit = addControl(name, new QLineEdit);
    edit->setMinimumWidth(300);
    return edit;
}

QCheckBox *TFixedDialog::addCheck(const char *name, const QString &caption) {
    return addControl(name, new QCheckBox(caption));
}

// ---- the three dialogs --------------------------------------------------------------------

namespace {

const char *const kSearchText = "Suchtext:";
const char *const kHexMode = "HEX Modus";
const char *const kCaseSensitive = "Groß- und Kleinbuchstaben unterscheien";
const char *const kStartAtBeginning = "Vom Anfang der Datei anfangen statt am Cursor";

} // namespace

TSearchForm::TSearchForm(QWidget *parent)
    : TFixedDialog("SearchForm", QString::fromUtf8("Suchen"), parent) {
    Label1 = addLabel("Label1", QString::fromUtf8(kSearchText));
    Edit1 = addEdit("Edit1");
    Label1->setBuddy(Edit1);
    HexCheck = addCheck("HexCheck", QString::fromUtf8(kHexMode));
    CaseSensCheck = addCheck("CaseSensCheck", QString::fromUtf8(kCaseSensitive));
    StartBegCheck = addCheck("StartBegCheck", QString::fromUtf8(kStartAtBeginning));
}

TSearchSettings TSearchForm::Settings() const {
    TSearchSettings settings;
    settings.text = DocumentBytesOf(Edit1->text());
    settings.hex = HexCheck->isChecked();
    settings.caseSensitive = CaseSensCheck->isChecked();
    settings.startAtBeginning = StartBegCheck->isChecked();
    return settings;
}

void TSearchForm::KeepStartAtBeginning(const TSearchSettings &settings) {
    StartBegCheck->setChecked(settings.startAtBeginning);
}

TSearchRepForm::TSearchRepForm(QWidget *parent)
    : TFixedDialog("SearchRepForm", QString::fromUtf8("Suchen und Ersetzen"), parent) {
    Label1 = addLabel("Label1", QString::fromUtf8(kSearchText));
    Edit1 = addEdit("Edit1");
    Label1->setBuddy(Edit1);
    Label2 = addLabel("Label2", QString::fromUtf8("Ersetzen durch:"));
    Edit2 = addEdit("Edit2");
    Label2->setBuddy(Edit2);
    HexCheck = addCheck("HexCheck", QString::fromUtf8(kHexMode));
    CaseSensCheck = addCheck("CaseSensCheck", QString::fromUtf8(kCaseSensitive));
    RepAllCheck = addCheck("RepAllCheck", QString::fromUtf8("Alles ersetzen"));
    StartBegCheck = addCheck("StartBegCheck", QString::fromUtf8(kStartAtBeginning));
}

TReplaceSettings TSearchRepForm::Settings() const {
    TReplaceSettings settings;
    settings.text = DocumentBytesOf(Edit1->text());
    settings.replacement = DocumentBytesOf(Edit2->text());
    settings.hex = HexCheck->isChecked();
    settings.caseSensitive = CaseSensCheck->isChecked();
    settings.replaceAll = RepAllCheck->isChecked();
    settings.startAtBeginning = StartBegCheck->isChecked();
    return settings;
}

void TSearchRepForm::KeepStartAtBeginning(const TSearchSettings &settings) {
    StartBegCheck->setChecked(settings.startAtBeginning);
}

TPosForm::TPosForm(QWidget *parent)
    : TFixedDialog("PosForm", QString::fromUtf8("An Position springen"), parent) {
    Label1 = addLabel("Label1", QString::fromUtf8("Offset-Position:"));
    Edit1 = addEdit("Edit1");
    Label1->setBuddy(Edit1);
    HexCheck = addCheck("HexCheck", QString::fromUtf8(kHexMode));
}

} // namespace morvilo
