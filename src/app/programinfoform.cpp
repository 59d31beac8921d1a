#include "app/programinfoform.h"

#include "facts/factstext.h"
#include "translation/translateunit.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace morvilo {

TProgramInfoForm::TProgramInfoForm(QWidget *parent) : QDialog(parent) {
    setObjectName("ProgramInfoForm");
    setWindowTitle(QString::fromUtf8("Programm-Info"));
    FactsTable = new QTableWidget(0, 2);
    FactsTable->setObjectName("FactsTable");
    FactsTable->horizontalHeader()->hide();
    FactsTable->verticalHeader()->hide();
    FactsTable->horizontalHeader()->setStretchLastSection(true);
    FactsTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    FactsTable->setSelectionMode(QAbstractItemView::NoSelection);
    FactsTable->setFocusPolicy(Qt::NoFocus);
    WarningsLabel = new QLabel(QString::fromUtf8("Warnungen:"));
    WarningsLabel->setObjectName("WarningsLabel");
    WarningsList = new QListWidget;
    WarningsList->setObjectName("WarningsList");
    WarningsLabel->setBuddy(WarningsList);
    connect(WarningsList, &QListWidget::itemClicked, this, [this](QListWidgetItem *item) {
        if (onJump)
            onJump(item->data(Qt::UserRole).toLongLong());
    });
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(FactsTable, 4);
    layout->addWidget(WarningsLabel);
    layout->addWidget(WarningsList, 1);
    layout->addWidget(buttons);
    resize(640, 680);
}

void TProgramInfoForm::ShowFacts(const ProgramFacts &facts) {
    const std::vector<FactsRow> rows = FactsRows(facts);
    FactsTable->setRowCount(int(rows.size()));
    for (int k = 0; k < int(rows.size()); ++k) {
        FactsTable->setItem(k, 0, new QTableWidgetItem(TranslateMessage(rows[size_t(k)].label)));
        FactsTable->setItem(k, 1,
                            new QTableWidgetItem(QString::fromStdString(rows[size_t(k)].value)));
    }
    FactsTable->resizeColumnToContents(0);
    WarningsList->clear();
    for (const RunWarning &warning : facts.warnings) {
        auto *item = new QListWidgetItem(TranslateMessage(
            {"Zeile %1: %2",
             {std::to_string(warning.line), TranslateMessage(warning.message).toStdString()}}));
        item->setData(Qt::UserRole, qlonglong(warning.line));
        WarningsList->addItem(item);
    }
    if (facts.warningsLeftOut > 0)
        WarningsList->addItem(TranslateMessage(
            {"... und %1 weitere Warnungen", {std::to_string(facts.warningsLeftOut)}}));
}

} // namespace morvilo
