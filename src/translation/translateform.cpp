#include "translation/translateform.h"

#include "translation/translatetable.h"
#include "translation/translateunit.h"

#include <QAbstractItemDelegate>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace morvilo {

namespace {

// The navigator shows drawn glyphs, not texts: a button text would pass the lookup and be
// recorded in the table as a German source text.
QIcon glyphIcon(const QString &glyph) {
    QPixmap pixmap(20, 20);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    QFont font = painter.font();
    font.setPixelSize(14);
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(pixmap.rect(), Qt::AlignCenter, glyph);
    return QIcon(pixmap);
}

} // namespace

TranslationModel::TranslationModel(TranslationTable &table, QObject *parent)
    : QAbstractTableModel(parent), table_(table) {}

int TranslationModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : int(rows_.size());
}

int TranslationModel::columnCount(const QModelIndex &parent) const {
    return parent.isValid() || !table_.IsOpen() ? 0 : kTranslationColumns;
}

QVariant TranslationModel::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    return table_.Cell(record(index.row()), index.column());
}

QVariant TranslationModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return QStringLiteral("language%1").arg(section + 1);
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags TranslationModel::flags(const QModelIndex &index) const {
    Qt::ItemFlags result = QAbstractTableModel::flags(index);
    if (index.isValid() && !readOnly())
        result |= Qt::ItemIsEditable;
    return result;
}

bool TranslationModel::setData(const QModelIndex &index, const QVariant &value, int role) {
    if (!index.isValid() || role != Qt::EditRole ||
        !table_.SetCell(record(index.row()), index.column(), value.toString()))
        return false;
    emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    return true;
}

void TranslationModel::Refresh() {
    beginResetModel();
    rows_.clear();
    const int count = table_.RecordCount();
    for (int r = 0; r < count; ++r)
        if (table_.translateFilterRecord(r, filter_))
            rows_.push_back(r);
    endResetModel();
}

int TranslationModel::record(int row) const {
    return row >= 0 && row < int(rows_.size()) ? rows_[size_t(row)] : -1;
}

int TranslationModel::rowOf(int record) const {
    const auto found = std::lower_bound(rows_.begin(), rows_.end(), record);
    return found != rows_.end() && *found == record ? int(found - rows_.begin()) : -1;
}

int TranslationModel::AppendRecord() {
    const int appended = table_.AppendRecord();
    if (appended < 0)
        return -1;
    const int row = int(rows_.size());
    beginInsertRows({}, row, row);
    rows_.push_back(appended);
    endInsertRows();
    return row;
}

bool TranslationModel::DeleteRow(int row) {
    if (!table_.DeleteRecord(record(row)))
        return false;
    beginRemoveRows({}, row, row);
    rows_.erase(rows_.begin() + row);
    endRemoveRows();
    return true;
}

bool TranslationModel::readOnly() const {
    return !table_.IsOpen() || table_.workreadonly();
}

TTranslateForm::TTranslateForm(TranslationTable &table, QWidget *parent)
    : QDialog(parent), table_(table), model_(new TranslationModel(table, this)) {
    setObjectName("TranslateForm");
    setWindowTitle(QString::fromUtf8("Übersetzen"));
    resize(760, 480);

    DBNavigator1 = new QWidget;
    DBNavigator1->setObjectName("DBNavigator1");
    auto *navigator = new QHBoxLayout(DBNavigator1);
    navigator->setContentsMargins(0, 0, 0, 0);
    navigator->setSpacing(0);
    const struct {
        const char *name;
        const char *glyph;
        void (TTranslateForm::*command)();
    } buttons[] = {
        {"nbFirst", "|◀", &TTranslateForm::First},
        {"nbPrior", "◀", &TTranslateForm::Prior},
        {"nbNext", "▶", &TTranslateForm::Next},
        {"nbLast", "▶|", &TTranslateForm::Last},
        {"nbInsert", "+", &TTranslateForm::Insert},
        {"nbDelete", "−", &TTranslateForm::Delete},
        {"nbEdit", "▲", &TTranslateForm::Edit},
        {"nbPost", "✓", &TTranslateForm::Post},
        {"nbCancel", "✗", &TTranslateForm::Cancel},
        {"nbRefresh", "↻", &TTranslateForm::RefreshRecords},
    };
    for (const auto &button : buttons)
        navigator->addWidget(
            navigatorButton(button.name, QString::fromUtf8(button.glyph), button.command));

    BackBtn = new QPushButton(QString::fromUtf8("Zurück..."));
    BackBtn->setObjectName("BackBtn");
    BackBtn->setAutoDefault(false); // Return in the edits must not close the window
    DBEdit1 = new QLineEdit;
    DBEdit1->setObjectName("DBEdit1");
    auto *topBar = new QHBoxLayout;
    topBar->addWidget(DBNavigator1);
    topBar->addWidget(BackBtn);
    topBar->addWidget(DBEdit1, 1);

    FilterEdit = new QLineEdit;
    FilterEdit->setObjectName("FilterEdit");
    FilterBtn = new QPushButton(QString::fromUtf8("Suchen"));
    FilterBtn->setObjectName("FilterBtn");
    FilterBtn->setAutoDefault(false);
    auto *filterBar = new QHBoxLayout;
    filterBar->addWidget(FilterEdit, 1);
    filterBar->addWidget(FilterBtn);

    DBGrid1 = new QTableView;
    DBGrid1->setObjectName("DBGrid1");
    DBGrid1->setModel(model_);
    StatusBar1 = new QStatusBar;
    StatusBar1->setObjectName("StatusBar1");

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addLayout(topBar);
    layout->addLayout(filterBar);
    layout->addWidget(DBGrid1, 1);
    layout->addWidget(StatusBar1);

    connect(BackBtn, &QPushButton::clicked, this, &TTranslateForm::BackBtnClick);
    connect(FilterBtn, &QPushButton::clicked, this, &TTranslateForm::FilterBtnClick);
    connect(FilterEdit, &QLineEdit::returnPressed, this, &TTranslateForm::FilterBtnClick);
    connect(DBEdit1, &QLineEdit::textEdited, this, [this] { editing_ = true; });
    connect(DBEdit1, &QLineEdit::returnPressed, this, &TTranslateForm::Post);
    connect(DBGrid1->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] {
        postEdit();
        showCurrentRecord();
    });
    connect(model_, &QAbstractItemModel::dataChanged, this, [this] {
        if (!editing_)
            showCurrentRecord();
    });
}

QToolButton *TTranslateForm::navigatorButton(const char *name, const QString &glyph,
                                             void (TTranslateForm::*command)()) {
    auto *button = new QToolButton;
    button->setObjectName(name);
    button->setIcon(glyphIcon(glyph));
    button->setAutoRaise(true); // flat, and without hints
    button->setFocusPolicy(Qt::NoFocus);
    connect(button, &QToolButton::clicked, this, command);
    return button;
}

int TTranslateForm::currentRow() const {
    const QModelIndex current = DBGrid1->currentIndex();
    return current.isValid() ? current.row() : -1;
}

void TTranslateForm::moveTo(int row) {
    const int count = model_->rowCount();
    row = std::clamp(row, 0, std::max(count - 1, 0));
    if (count > 0 && row != currentRow())
        DBGrid1->setCurrentIndex(model_->index(row, std::max(DBGrid1->currentIndex().column(), 0)));
    if (!editing_)
        showCurrentRecord();
}

void TTranslateForm::showCurrentRecord() {
    const int row = currentRow();
    editRecord_ = model_->record(row);
    editing_ = false;
    DBEdit1->setText(editRecord_ >= 0 ? table_.Cell(editRecord_, 0) : QString());
    const bool writable = !model_->readOnly();
    DBEdit1->setReadOnly(!writable || editRecord_ < 0);
    const int count = model_->rowCount();
    auto enable = [this](const char *name, bool on) {
        DBNavigator1->findChild<QToolButton *>(name)->setEnabled(on);
    };
    enable("nbFirst", row > 0);
    enable("nbPrior", row > 0);
    enable("nbNext", row >= 0 && row < count - 1);
    enable("nbLast", row >= 0 && row < count - 1);
    enable("nbInsert", writable);
    for (const char *name : {"nbDelete", "nbEdit", "nbPost", "nbCancel"})
        enable(name, writable && row >= 0);
}

// The change in DBEdit1 goes to the record it was read from.
void TTranslateForm::postEdit() {
    if (!editing_)
        return;
    editing_ = false;
    const int row = model_->rowOf(editRecord_);
    if (row >= 0)
        model_->setData(model_->index(row, 0), DBEdit1->text());
    else
        table_.SetCell(editRecord_, 0, DBEdit1->text());
}

// An editor open in the grid: its text is stored (store) or dropped.
void TTranslateForm::commitGridEditor(bool store) {
    const QModelIndex current = DBGrid1->currentIndex();
    QWidget *editor = current.isValid() ? DBGrid1->indexWidget(current) : nullptr;
    if (!editor)
        return;
    QAbstractItemDelegate *delegate = DBGrid1->itemDelegateForIndex(current);
    if (store)
        emit delegate->commitData(editor);
    emit delegate->closeEditor(editor, QAbstractItemDelegate::NoHint);
}

void TTranslateForm::First() {
    moveTo(0);
}

void TTranslateForm::Prior() {
    moveTo(currentRow() - 1);
}

void TTranslateForm::Next() {
    moveTo(currentRow() + 1);
}

void TTranslateForm::Last() {
    moveTo(model_->rowCount() - 1);
}

void TTranslateForm::Insert() {
    if (model_->readOnly())
        return;
    Post();
    const int row = model_->AppendRecord();
    if (row < 0)
        return;
    moveTo(row);
    DBGrid1->setFocus();
}

// Deletes the current record without asking; a change still pending on it is dropped.
void TTranslateForm::Delete() {
    const int row = currentRow();
    if (model_->readOnly() || row < 0)
        return;
    commitGridEditor(false);
    editing_ = false;
    if (!model_->DeleteRow(row))
        return;
    moveTo(row);
    showCurrentRecord();
}

void TTranslateForm::Edit() {
    if (model_->readOnly() || currentRow() < 0)
        return;
    DBEdit1->setFocus();
}

void TTranslateForm::Post() {
    if (model_->readOnly())
        return;
    commitGridEditor(true);
    postEdit();
    showCurrentRecord();
}

void TTranslateForm::Cancel() {
    commitGridEditor(false);
    showCurrentRecord();
}

void TTranslateForm::RefreshRecords() {
    Post();
    const int record = model_->record(currentRow());
    model_->Refresh();
    moveTo(std::max(model_->rowOf(record), 0));
}

void TTranslateForm::FilterBtnClick() {
    Post();
    model_->setFilter(FilterEdit->text());
    model_->Refresh();
    moveTo(0);
}

void TTranslateForm::BackBtnClick() {
    Post(); // nothing to store on a read-only table
    accept();
}

void TTranslateForm::done(int result) {
    Post();
    if (!model_->filter().isEmpty()) {
        model_->setFilter({});
        model_->Refresh();
    }
    QDialog::done(result);
}

void TTranslateForm::showEvent(QShowEvent *event) {
    QDialog::showEvent(event);
    // The lookup may have recorded texts since the last showing.
    model_->Refresh();
    moveTo(0);
    StatusBar1->showMessage(
        model_->readOnly()
            ? TranslateString(QString::fromUtf8("Die Übersetzungstabelle kann nur gelesen werden."))
            : QString());
}

void TTranslateForm::setVisible(bool visible) {
    if (visible && !isVisible())
        if (QScreen *screen = this->screen())
            move(screen->availableGeometry().center() - rect().center());
    QDialog::setVisible(visible);
}

} // namespace morvilo
