#include "app/profiledialog.h"

#include "translation/translateunit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace morvilo {

namespace {

QDoubleSpinBox *rateEdit(const char *name, double low, int decimals) {
    auto *edit = new QDoubleSpinBox;
    edit->setObjectName(name);
    edit->setLocale(QLocale::c());
    edit->setDecimals(decimals);
    edit->setRange(low, 1e6);
    return edit;
}

QString translated(const char *german) {
    return TranslateString(QString::fromUtf8(german));
}

// A name not yet among the profiles: base, else base 2, base 3 ...
std::string freeName(const std::vector<MachineProfile> &profiles, const std::string &base) {
    std::string name = base;
    for (int n = 2; FindProfile(profiles, name); ++n)
        name = base + " " + std::to_string(n);
    return name;
}

} // namespace

QString ShownProfileName(const MachineProfile &profile) {
    const QString name = QString::fromStdString(profile.name);
    return profile.builtIn ? TranslateString(name) : name;
}

TProfileDialog::TProfileDialog(std::vector<MachineProfile> profiles, const std::string &current,
                               QWidget *parent)
    : QDialog(parent), list(std::move(profiles)) {
    setObjectName("TProfileDialog");
    setWindowTitle(QString::fromUtf8("Maschinenprofile"));
    ProfileList = new QListWidget;
    ProfileList->setObjectName("ProfileList");
    NewBtn = new QPushButton(QString::fromUtf8("Neu"));
    NewBtn->setObjectName("NewBtn");
    CopyBtn = new QPushButton(QString::fromUtf8("Kopieren"));
    CopyBtn->setObjectName("CopyBtn");
    DeleteBtn = new QPushButton(QString::fromUtf8("Löschen"));
    DeleteBtn->setObjectName("DeleteBtn");

    NameEd = new QLineEdit;
    NameEd->setObjectName("NameEd");
    UnitsCombo = new QComboBox;
    UnitsCombo->setObjectName("UnitsCombo");
    UnitsCombo->addItems({"G21 (mm)", QString::fromUtf8("G20 (Zoll)"), QString::fromUtf8("keine")});
    HeaderEd = new QPlainTextEdit;
    HeaderEd->setObjectName("HeaderEd");
    FooterEd = new QPlainTextEdit;
    FooterEd->setObjectName("FooterEd");
    for (QPlainTextEdit *edit : {HeaderEd, FooterEd}) {
        edit->setFixedHeight(80);
        edit->setLineWrapMode(QPlainTextEdit::NoWrap);
    }
    FeedEd = rateEdit("FeedEd", 0.01, 2);
    PlungeFeedEd = rateEdit("PlungeFeedEd", 0.01, 2);
    SpindleEd = rateEdit("SpindleEd", 0, 0);
    RapidEd = rateEdit("RapidEd", 0.01, 2);
    AccelerationEd = rateEdit("AccelerationEd", 0, 2);
    ToolChangeEd = rateEdit("ToolChangeEd", 0, 1);
    for (int axis = 0; axis < 3; ++axis)
        for (int end = 0; end < 2; ++end) {
            QDoubleSpinBox *&edit = TravelEd[axis][end];
            edit = rateEdit("", -1e6, 3);
            edit->setObjectName(
                QString("Travel%1%2Ed").arg(QChar("XYZ"[axis]), end ? "Max" : "Min"));
        }
    DirectionCombo = new QComboBox;
    DirectionCombo->setObjectName("DirectionCombo");
    DirectionCombo->addItems({QString::fromUtf8("M3 (rechts)"), QString::fromUtf8("M4 (links)")});
    LineEndCombo = new QComboBox;
    LineEndCombo->setObjectName("LineEndCombo");
    LineEndCombo->addItems({"CR LF", "LF"});
    MovePerLineCheck = new QCheckBox(QString::fromUtf8("Eine Bewegung je Zeile"));
    MovePerLineCheck->setObjectName("MovePerLineCheck");
    RetractFirstCheck = new QCheckBox(QString::fromUtf8("Zuerst auf sichere Höhe"));
    RetractFirstCheck->setObjectName("RetractFirstCheck");
    DecimalPointCheck = new QCheckBox(QString::fromUtf8("Immer Dezimalpunkt"));
    DecimalPointCheck->setObjectName("DecimalPointCheck");
    ArcsCheck = new QCheckBox(QString::fromUtf8("Bögen (G18/G19) bei „Fläche“"));
    ArcsCheck->setObjectName("ArcsCheck");
    DecimalsEd = new QSpinBox;
    DecimalsEd->setObjectName("DecimalsEd");
    DecimalsEd->setRange(0, 18);
    ProgramNumberEd = new QSpinBox;
    ProgramNumberEd->setObjectName("ProgramNumberEd");
    ProgramNumberEd->setRange(1, 99999);
    ProblemLabel = new QLabel;
    ProblemLabel->setObjectName("ProblemLabel");
    ProblemLabel->setWordWrap(true);
    ProblemLabel->setStyleSheet("color: #b00000");
    BuiltInHint = new QLabel(QString::fromUtf8(
        "Eingebaute Profile lassen sich nicht ändern: „Kopieren“ macht daraus ein eigenes Profil, "
        "das sich ändern lässt."));
    BuiltInHint->setObjectName("BuiltInHint");
    BuiltInHint->setWordWrap(true);

    auto *form = new QFormLayout;
    form->addRow(BuiltInHint);
    form->addRow(QString::fromUtf8("Name:"), NameEd);
    form->addRow(QString::fromUtf8("Maßeinheit:"), UnitsCombo);
    form->addRow(QString::fromUtf8("Kopf:"), HeaderEd);
    form->addRow(QString::fromUtf8("Ende:"), FooterEd);
    form->addRow(QString::fromUtf8("Vorschub:"), FeedEd);
    form->addRow(QString::fromUtf8("Eintauchvorschub:"), PlungeFeedEd);
    form->addRow(QString::fromUtf8("Drehzahl:"), SpindleEd);
    form->addRow(QString::fromUtf8("Drehrichtung:"), DirectionCombo);
    form->addRow(QString::fromUtf8("Eilgang:"), RapidEd);
    form->addRow(QString::fromUtf8("Beschleunigung:"), AccelerationEd);
    form->addRow(QString::fromUtf8("Werkzeugwechsel (s):"), ToolChangeEd);
    for (int axis = 0; axis < 3; ++axis) {
        auto *range = new QHBoxLayout;
        range->addWidget(TravelEd[axis][0]);
        range->addWidget(new QLabel(QString::fromUtf8("bis")));
        range->addWidget(TravelEd[axis][1]);
        const char *const captions[] = {"Verfahrweg X:", "Verfahrweg Y:", "Verfahrweg Z:"};
        form->addRow(QString::fromUtf8(captions[axis]), range);
    }
    form->addRow(QString::fromUtf8("Zeilenende:"), LineEndCombo);
    form->addRow(QString(), MovePerLineCheck);
    form->addRow(QString(), RetractFirstCheck);
    form->addRow(QString::fromUtf8("Höchstens Nachkommastellen:"), DecimalsEd);
    form->addRow(QString(), DecimalPointCheck);
    form->addRow(QString(), ArcsCheck);
    form->addRow(QString::fromUtf8("Programmnummer:"), ProgramNumberEd);
    auto *hint = new QLabel(QString::fromUtf8(
        "Platzhalter in Kopf und Ende: {units} {feed} {plunge} {spindle} {spindledir} {safe} "
        "{program} {date}"));
    hint->setWordWrap(true);
    form->addRow(hint);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(NewBtn);
    buttons->addWidget(CopyBtn);
    buttons->addWidget(DeleteBtn);
    auto *left = new QVBoxLayout;
    left->addWidget(ProfileList, 1);
    left->addLayout(buttons);
    auto *columns = new QHBoxLayout;
    columns->addLayout(left);
    columns->addLayout(form, 1);
    auto *box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(columns, 1);
    layout->addWidget(ProblemLabel);
    layout->addWidget(box);

    connect(box, &QDialogButtonBox::accepted, this, &TProfileDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &TProfileDialog::reject);
    connect(NewBtn, &QPushButton::clicked, this, &TProfileDialog::NewClick);
    connect(CopyBtn, &QPushButton::clicked, this, &TProfileDialog::CopyClick);
    connect(DeleteBtn, &QPushButton::clicked, this, &TProfileDialog::DeleteClick);
    connect(ProfileList, &QListWidget::currentRowChanged, this, [this](int row) {
        if (!filling)
            showProfile(row);
    });
    connect(NameEd, &QLineEdit::textEdited, this, [this] {
        takeFields();
        if (ProfileList->currentItem())
            ProfileList->currentItem()->setText(NameEd->text());
        // A problem shown goes once it is solved, or shows what is wrong now.
        if (!ProblemLabel->text().isEmpty()) {
            UserMessage problem;
            firstProblem(problem);
            ProblemLabel->setText(problem.empty() ? QString() : TranslateMessage(problem));
        }
    });

    const MachineProfile *selected = FindProfile(list, current);
    active = selected ? int(selected - list.data()) : -1;
    fillList(selected ? int(selected - list.data()) : 0);
}

std::string TProfileDialog::activeName() const {
    return active >= 0 && size_t(active) < list.size() ? list[size_t(active)].name : std::string();
}

MachineProfile *TProfileDialog::shownProfile() {
    return shown >= 0 && size_t(shown) < list.size() ? &list[size_t(shown)] : nullptr;
}

std::string TProfileDialog::selectedName() const {
    const int row = ProfileList->currentRow();
    return row >= 0 && size_t(row) < list.size() ? list[size_t(row)].name : std::string();
}

void TProfileDialog::fillList(int select) {
    filling = true;
    ProfileList->clear();
    for (const MachineProfile &profile : list)
        ProfileList->addItem(ShownProfileName(profile));
    filling = false;
    shown = -1;
    ProfileList->setCurrentRow(select);
    showProfile(select);
}

void TProfileDialog::showProfile(int index) {
    takeFields();
    shown = index;
    const MachineProfile *p = shownProfile();
    if (!p)
        return;
    filling = true;
    NameEd->setText(ShownProfileName(*p));
    UnitsCombo->setCurrentIndex(p->units == "G21" ? 0 : p->units == "G20" ? 1 : 2);
    HeaderEd->setPlainText(QString::fromStdString(p->header));
    FooterEd->setPlainText(QString::fromStdString(p->footer));
    FeedEd->setValue(p->feed);
    PlungeFeedEd->setValue(p->plungeFeed);
    SpindleEd->setValue(p->spindle);
    DirectionCombo->setCurrentIndex(p->spindleClockwise ? 0 : 1);
    RapidEd->setValue(p->rapidRate);
    AccelerationEd->setValue(p->acceleration);
    ToolChangeEd->setValue(p->toolChangeTime);

    for (int axis = 0; axis < 3; ++axis)
        for (int end = 0; end < 2; ++end) {
            TravelEd[axis][end]->setValue(end ? p->travel[axis].max : p->travel[axis].min);
            TravelEd[axis][end]->setEnabled(!p->builtIn);
        }
    LineEndCombo->setCurrentIndex(p->crlf ? 0 : 1);
    MovePerLineCheck->setChecked(p->movePerLine);
    RetractFirstCheck->setChecked(p->retractFirst);
    DecimalsEd->setValue(p->maxDecimals);
    DecimalPointCheck->setChecked(p->decimalPoint);
    ArcsCheck->setChecked(p->arcs);
    ProgramNumberEd->setValue(p->programNumber);
    filling = false;
    // The built-ins are shown as they are.
    const bool editable = !p->builtIn;
    for (QWidget *field : std::initializer_list<QWidget *>{
             NameEd, UnitsCombo, HeaderEd, FooterEd, FeedEd, PlungeFeedEd, SpindleEd,
             DirectionCombo, RapidEd, AccelerationEd, ToolChangeEd, LineEndCombo, MovePerLineCheck,
             RetractFirstCheck, DecimalsEd, DecimalPointCheck, ArcsCheck, ProgramNumberEd})
        field->setEnabled(editable);
    DeleteBtn->setEnabled(editable);
    BuiltInHint->setVisible(!editable);
}

void TProfileDialog::takeFields() {
    MachineProfile *p = shownProfile();
    if (!p || p->builtIn || filling)
        return;
    p->name = p->cliName = NameEd->text().trimmed().toStdString();
    p->units = UnitsCombo->currentIndex() == 0   ? "G21"
               : UnitsCombo->currentIndex() == 1 ? "G20"
                                                 : "";
    p->header = HeaderEd->toPlainText().toStdString();
    p->footer = FooterEd->toPlainText().toStdString();
    p->feed = FeedEd->value();
    p->plungeFeed = PlungeFeedEd->value();
    p->spindle = SpindleEd->value();
    p->spindleClockwise = DirectionCombo->currentIndex() == 0;
    p->rapidRate = RapidEd->value();
    p->acceleration = AccelerationEd->value();
    p->toolChangeTime = ToolChangeEd->value();

    for (int axis = 0; axis < 3; ++axis)
        for (int end = 0; end < 2; ++end)
            (end ? p->travel[axis].max : p->travel[axis].min) = TravelEd[axis][end]->value();
    p->crlf = LineEndCombo->currentIndex() == 0;
    p->movePerLine = MovePerLineCheck->isChecked();
    p->retractFirst = RetractFirstCheck->isChecked();
    p->maxDecimals = DecimalsEd->value();
    p->decimalPoint = DecimalPointCheck->isChecked();
    p->arcs = ArcsCheck->isChecked();
    p->programNumber = ProgramNumberEd->value();
}

void TProfileDialog::addProfile(MachineProfile profile) {
    takeFields();
    profile.builtIn = false;
    profile.pathsOnly = false;
    profile.cliName = profile.name;
    list.push_back(std::move(profile));
    fillList(int(list.size()) - 1);
    NameEd->setFocus();
    NameEd->selectAll();
}

void TProfileDialog::NewClick() {
    takeFields();
    MachineProfile profile = *FindProfile(BuiltInProfiles(), "linuxcnc");
    profile.name = freeName(list, translated("Neues Profil").toStdString());
    addProfile(std::move(profile));
}

void TProfileDialog::CopyClick() {
    takeFields();
    const MachineProfile *p = shownProfile();
    if (!p)
        return;
    MachineProfile copy = *p;
    copy.name = freeName(list, ShownProfileName(*p).toStdString() + " " +
                                   translated("(Kopie)").toStdString());
    if (copy.pathsOnly) { // a copy of the bare paths dresses nothing until it is edited
        copy.header.clear();
        copy.footer.clear();
    }
    addProfile(std::move(copy));
}

void TProfileDialog::DeleteClick() {
    const MachineProfile *p = shownProfile();
    if (!p || p->builtIn)
        return;
    list.erase(list.begin() + shown);
    active = active == shown ? -1 : active > shown ? active - 1 : active;
    shown = -1;
    fillList(std::min(int(list.size()) - 1, ProfileList->currentRow()));
}

int TProfileDialog::firstProblem(UserMessage &problem) const {
    for (size_t i = 0; i < list.size(); ++i) {
        if (list[i].builtIn)
            continue;
        problem = CheckProfile(list[i]);
        const MachineProfile *same = FindProfile(list, list[i].name);
        if (problem.empty() && same != &list[i])
            problem = {"Der Name „%1“ ist schon vergeben", {list[i].name}};
        if (!problem.empty())
            return int(i);
    }
    problem = {};
    return -1;
}

void TProfileDialog::accept() {
    takeFields();
    UserMessage problem;
    if (const int row = firstProblem(problem); row >= 0) {
        ProfileList->setCurrentRow(row);
        ProblemLabel->setText(TranslateMessage(problem));
        return;
    }
    ProblemLabel->clear();
    QDialog::accept();
}

} // namespace morvilo
