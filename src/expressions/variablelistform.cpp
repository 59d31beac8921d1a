#include "expressions/variablelistform.h"

#include "expressions/windowplacement.h"

#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace morvilo {

TShowVariablesForm::TShowVariablesForm(QWidget *parent, const VariableStore &store)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint), store(store) {
    setWindowTitle(QStringLiteral("Variablen anzeigen"));
    Memo1 = new QPlainTextEdit(this);
    Memo1->setReadOnly(true);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(13);
    Memo1->setFont(font);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Memo1);
    resize(207, 540);
}

void TShowVariablesForm::Refresh() {
    QStringList lines{heading_};
    for (const std::string &line : VariableListLines(store))
        lines << QString::fromLatin1(line.data(), qsizetype(line.size()));
    Memo1->setPlainText(lines.join(QLatin1Char('\n')));
}

void TShowVariablesForm::ShowVariables() {
    Refresh();
    if (!isVisible())
        CentreOnScreen(*this);
    show();
    raise();
}

void TShowVariablesForm::AppendLine(const QString &line) {
    Memo1->appendPlainText(line);
}

} // namespace morvilo
