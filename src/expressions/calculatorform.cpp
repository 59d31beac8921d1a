#include "expressions/calculatorform.h"

#include "expressions/windowplacement.h"
#include "linetext/linetext.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace morvilo {

namespace {

// Pi as its general number text with 15 significant digits.
const char *const kPiText = "3.14159265358979";

void showErrorBox(QWidget *parent, const QString &message) {
    QMessageBox box(QMessageBox::Critical, QString(), message, QMessageBox::Ok, parent);
    box.exec();
}

} // namespace

TAusdruckBerechnenForm::TAusdruckBerechnenForm(QWidget *parent, VariableStore &store)
    : QDialog(parent), evaluator(store) {
    setWindowTitle(QStringLiteral("Ausdruck berechnen"));
    showError = [this](const QString &message) { showErrorBox(this, message); };

    Edit1 = new QLineEdit(this);
    Memo1 = new QPlainTextEdit(this);
    Memo1->setReadOnly(true);
    auto *berechnen = new QPushButton(QStringLiteral("Berechnen"), this);
    berechnen->setDefault(true);
    berechnen->setAutoDefault(true);
    connect(berechnen, &QPushButton::clicked, this, &TAusdruckBerechnenForm::Berechnen);
    auto *abbrechen = new QPushButton(QStringLiteral("Abbrechen"), this);
    abbrechen->setAutoDefault(false);
    connect(abbrechen, &QPushButton::clicked, this, &QDialog::reject);

    auto *left = new QVBoxLayout;
    left->addWidget(new QLabel(QStringLiteral("Ausdruck:"), this));
    left->addWidget(Edit1);
    left->addWidget(new QLabel(QStringLiteral("Ergebnis:"), this));
    left->addWidget(Memo1, 1);
    left->addWidget(insertRow());
    auto *commands = new QHBoxLayout;
    commands->addStretch();
    commands->addWidget(berechnen);
    commands->addWidget(abbrechen);
    left->addLayout(commands);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(6);
    left->setSpacing(4);
    layout->addLayout(left, 1);
    layout->addWidget(numberPad());
    layout->addWidget(functionGroup());
    resize(611, 210);
}

QPushButton *TAusdruckBerechnenForm::insertButton(const QString &caption, const QString &text) {
    auto *button = new QPushButton(caption, this);
    button->setAutoDefault(false);
    button->setFocusPolicy(Qt::NoFocus);
    button->setMinimumWidth(24);
    connect(button, &QPushButton::clicked, this, [this, text] { InsertText(text); });
    return button;
}

QWidget *TAusdruckBerechnenForm::insertRow() {
    auto *row = new QWidget(this);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    for (const char *caption : {"[", "]", "#", "+", "-", "*", "/", "^"})
        layout->addWidget(insertButton(caption, caption));
    return row;
}

QWidget *TAusdruckBerechnenForm::numberPad() {
    auto *group = new QGroupBox(QStringLiteral("Zahlenblock"), this);
    auto *grid = new QGridLayout(group);
    const char *const rows[4][3] = {{"7", "8", "9"}, {"4", "5", "6"}, {"1", "2", "3"}, {"0", "."}};
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 3 && rows[r][c] != nullptr; ++c)
            grid->addWidget(insertButton(rows[r][c], rows[r][c]), r, c);
    grid->addWidget(insertButton(QStringLiteral("PI"), kPiText), 4, 0, 1, 3);
    auto *equals = new QPushButton(QStringLiteral("="), group);
    equals->setAutoDefault(false);
    equals->setFocusPolicy(Qt::NoFocus);
    equals->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    equals->setFixedWidth(36);
    connect(equals, &QPushButton::clicked, this, &TAusdruckBerechnenForm::Berechnen);
    grid->addWidget(equals, 0, 3, 5, 1);
    return group;
}

QWidget *TAusdruckBerechnenForm::functionGroup() {
    auto *group = new QGroupBox(QStringLiteral("Funktionen"), this);
    auto *grid = new QGridLayout(group);
    const char *const names[] = {"ABS", "SIN", "COS", "TAN", "ASIN", "ACOS", "ATAN",
                                 "LN",  "EXP", "SQR", "RND", "FIX",  "FUP"};
    int index = 0;
    for (const char *name : names) {
        grid->addWidget(insertButton(name, name), index / 3, index % 3);
        ++index;
    }
    return group;
}

void TAusdruckBerechnenForm::showEvent(QShowEvent *event) {
    CentreOnScreen(*this);
    QDialog::showEvent(event);
}

void TAusdruckBerechnenForm::InsertText(const QString &text) {
    const int at = Edit1->cursorPosition();
    QString content = Edit1->text();
    content.insert(at, text);
    Edit1->setText(content);
    Edit1->deselect();
    Edit1->setCursorPosition(at + int(text.size()));
    Edit1->setFocus();
}

void TAusdruckBerechnenForm::Berechnen() {
    const QString input = Edit1->text();
    Memo1->appendPlainText(input + QStringLiteral(" ="));
    // The document and expressions are 8-bit text; the field's characters map one to one.
    const QByteArray bytes = input.toLatin1();
    try {
        const std::string expression =
            nospacesandcomments(std::string_view(bytes.constData(), size_t(bytes.size())));
        const std::string result = evaluator.HandleExpression(expression);
        Memo1->appendPlainText(QString::fromLatin1(result.data(), qsizetype(result.size())));
    } catch (const std::exception &error) {
        showError(QString::fromUtf8(error.what()));
    }
}

} // namespace morvilo
