#pragma once
// The translation editor: translate.dbf searched and edited in a grid, one row per record and
// one column per language. The grid and the edit work on the main window's table directly;
// the model keeps only the record numbers of the rows it shows.

#include <QAbstractTableModel>
#include <QDialog>

#include <vector>

class QLineEdit;
class QPushButton;
class QStatusBar;
class QTableView;
class QToolButton;

namespace morvilo {

class TranslationTable;

// The undeleted records of the table that pass the search, in file order.
class TranslationModel : public QAbstractTableModel {
    Q_OBJECT

public:
    TranslationModel(TranslationTable &table, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

    // The search text; takes effect at the next Refresh. Empty: every record.
    void setFilter(const QString &search) { filter_ = search; }
    QString filter() const { return filter_; }
    // Reads the rows again from the table.
    void Refresh();
    // The physical record number of a row, -1 outside.
    int record(int row) const;
    // The row of a record, -1 when it is not shown.
    int rowOf(int record) const;
    // Appends an empty record and shows it as the last row; its row, or -1.
    int AppendRecord();
    // Deletes the record of the row from the table.
    bool DeleteRow(int row);
    bool readOnly() const;

private:
    TranslationTable &table_;
    QString filter_;
    std::vector<int> rows_; // physical record numbers
};

class TTranslateForm : public QDialog {
    Q_OBJECT

public:
    explicit TTranslateForm(TranslationTable &table, QWidget *parent = nullptr);

    TranslationModel *model() const { return model_; }
    // The row of the current record, -1 when there is none.
    int currentRow() const;

    // The navigator's commands.
    void First();
    void Prior();
    void Next();
    void Last();
    void Insert();
    void Delete();
    void Edit();
    void Post();
    void Cancel();
    void RefreshRecords();

    void FilterBtnClick();
    void BackBtnClick();

    QWidget *DBNavigator1;
    QPushButton *BackBtn;
    QLineEdit *DBEdit1;
    QLineEdit *FilterEdit;
    QPushButton *FilterBtn;
    QTableView *DBGrid1;
    QStatusBar *StatusBar1;

    // Every closing switches the filter off and stores the changes still pending.
    void done(int result) override;
    // Shown centred on the screen.
    void setVisible(bool visible) override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    QToolButton *navigatorButton(const char *name, const QString &glyph,
                                 void (TTranslateForm::*command)());
    void moveTo(int row);
    void showCurrentRecord();
    void commitGridEditor(bool store);
    void postEdit();

    TranslationTable &table_;
    TranslationModel *model_;
    int editRecord_ = -1;  // the record DBEdit1 shows
    bool editing_ = false; // DBEdit1 holds a change not yet stored
};

} // namespace morvilo
