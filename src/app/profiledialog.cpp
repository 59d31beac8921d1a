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

#include <algorithm>
#include <cmath>
#include <span>

namespace morvilo {

namespace {

// The editor of a setting: a combo box for choices, a check box for a flag, a spin box for a
// number, a box of lines for a template, a text field for a name.
QWidget *fieldEditor(const ProfileField &field) {
    using Kind = ProfileField::Kind;
    QWidget *editor = nullptr;
    if (!field.choices.empty()) {
        auto *combo = new QComboBox;
        for (const ProfileChoice &choice : field.choices)
            combo->addItem(QString::fromUtf8(choice.shown));
        editor = combo;
    } else if (field.kind == Kind::Flag) {
        editor = new QCheckBox(QString::fromUtf8(field.caption));
    } else if (field.kind == Kind::Number) {
        auto *spin = new QDoubleSpinBox;
        spin->setLocale(QLocale::c());
        spin->setDecimals(field.decimals);
        // A value that may not be 0 starts at the smallest step.
        spin->setRange(field.zeroAllowed ? field.low : std::pow(10.0, -field.decimals), field.high);
        editor = spin;
    } else if (field.kind == Kind::Integer) {
        auto *spin = new QSpinBox;
        spin->setRange(int(field.low), int(field.high));
        editor = spin;
    } else if (field.rule == ProfileField::TextRule::Template) {
        auto *lines = new QPlainTextEdit;
        lines->setFixedHeight(80);
        lines->setLineWrapMode(QPlainTextEdit::NoWrap);
        editor = lines;
    } else {
        editor = new QLineEdit;
    }
    editor->setObjectName(field.widget);
    return editor;
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
    QHBoxLayout *row = nullptr;
    for (const ProfileField &field : ProfileFields()) {
        QWidget *editor = fieldEditor(field);
        editors.push_back(editor);
        const QString caption = QString::fromUtf8(field.caption);
        if (field.sameRow && row) {
            row->addWidget(new QLabel(caption));
            row->addWidget(editor);
        } else if (field.kind == ProfileField::Kind::Flag && field.choices.empty()) {
            form->addRow(QString(), editor);
        } else {
            row = new QHBoxLayout;
            row->addWidget(editor);
            form->addRow(caption, row);
        }
    }
    const auto editor = [this](const QString &name) {
        for (QWidget *widget : editors)
            if (widget->objectName() == name)
                return widget;
        return static_cast<QWidget *>(nullptr);
    };
    NameEd = qobject_cast<QLineEdit *>(editor("NameEd"));
    UnitsCombo = qobject_cast<QComboBox *>(editor("UnitsCombo"));
    DirectionCombo = qobject_cast<QComboBox *>(editor("DirectionCombo"));
    LineEndCombo = qobject_cast<QComboBox *>(editor("LineEndCombo"));
    HeaderEd = qobject_cast<QPlainTextEdit *>(editor("HeaderEd"));
    FooterEd = qobject_cast<QPlainTextEdit *>(editor("FooterEd"));
    ToolChangeTemplateEd = qobject_cast<QPlainTextEdit *>(editor("ToolChangeTemplateEd"));
    FeedEd = qobject_cast<QDoubleSpinBox *>(editor("FeedEd"));
    PlungeFeedEd = qobject_cast<QDoubleSpinBox *>(editor("PlungeFeedEd"));
    SpindleEd = qobject_cast<QDoubleSpinBox *>(editor("SpindleEd"));
    RapidEd = qobject_cast<QDoubleSpinBox *>(editor("RapidEd"));
    AccelerationEd = qobject_cast<QDoubleSpinBox *>(editor("AccelerationEd"));
    ToolChangeEd = qobject_cast<QDoubleSpinBox *>(editor("ToolChangeEd"));
    for (int axis = 0; axis < 3; ++axis)
        for (int end = 0; end < 2; ++end)
            TravelEd[axis][end] = qobject_cast<QDoubleSpinBox *>(
                editor(QString("Travel%1%2Ed").arg(QChar("XYZ"[axis]), end ? "Max" : "Min")));
    MovePerLineCheck = qobject_cast<QCheckBox *>(editor("MovePerLineCheck"));
    RetractFirstCheck = qobject_cast<QCheckBox *>(editor("RetractFirstCheck"));
    DecimalPointCheck = qobject_cast<QCheckBox *>(editor("DecimalPointCheck"));
    ArcsCheck = qobject_cast<QCheckBox *>(editor("ArcsCheck"));
    DecimalsEd = qobject_cast<QSpinBox *>(editor("DecimalsEd"));
    ProgramNumberEd = qobject_cast<QSpinBox *>(editor("ProgramNumberEd"));
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
    // The built-ins are shown as they are.
    const bool editable = !p->builtIn;
    const std::span<const ProfileField> fields = ProfileFields();
    for (size_t i = 0; i < fields.size(); ++i) {
        const ProfileField &field = fields[i];
        QWidget *editor = editors[i];
        editor->setEnabled(editable);
        if (auto *combo = qobject_cast<QComboBox *>(editor))
            combo->setCurrentIndex(int(field.ChoiceOf(*p)));
        else if (auto *check = qobject_cast<QCheckBox *>(editor))
            check->setChecked(p->*field.flag);
        else if (auto *number = qobject_cast<QDoubleSpinBox *>(editor))
            number->setValue(field.Number(*p));
        else if (auto *integer = qobject_cast<QSpinBox *>(editor))
            integer->setValue(p->*field.integer);
        else if (auto *lines = qobject_cast<QPlainTextEdit *>(editor))
            lines->setPlainText(QString::fromStdString(p->*field.text));
        else if (auto *line = qobject_cast<QLineEdit *>(editor))
            line->setText(field.rule == ProfileField::TextRule::Name
                              ? ShownProfileName(*p)
                              : QString::fromStdString(p->*field.text));
    }
    filling = false;
    DeleteBtn->setEnabled(editable);
    BuiltInHint->setVisible(!editable);
}

void TProfileDialog::takeFields() {
    MachineProfile *p = shownProfile();
    if (!p || p->builtIn || filling)
        return;
    const std::span<const ProfileField> fields = ProfileFields();
    for (size_t i = 0; i < fields.size(); ++i) {
        const ProfileField &field = fields[i];
        QWidget *editor = editors[i];
        if (auto *combo = qobject_cast<QComboBox *>(editor))
            field.SetChoice(*p, size_t(std::max(combo->currentIndex(), 0)));
        else if (auto *check = qobject_cast<QCheckBox *>(editor))
            p->*field.flag = check->isChecked();
        else if (auto *number = qobject_cast<QDoubleSpinBox *>(editor))
            field.Number(*p) = number->value();
        else if (auto *integer = qobject_cast<QSpinBox *>(editor))
            p->*field.integer = integer->value();
        else if (auto *lines = qobject_cast<QPlainTextEdit *>(editor))
            p->*field.text = lines->toPlainText().toStdString();
        else if (auto *line = qobject_cast<QLineEdit *>(editor))
            p->*field.text = line->text().trimmed().toStdString();
    }
    p->cliName = p->name;
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
