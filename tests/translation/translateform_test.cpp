// The translation editor window: the grid and the edit write into translate.dbf, the navigator
// inserts and deletes records, "Suchen" filters, every closing switches the filter off and
// "Zurück..." stores what is still pending; a read-only table cannot be changed.

#include "translation/translateform.h"
#include "translation/translatetable.h"

#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <shapefil.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <memory>

using namespace morvilo;

class TranslateFormTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<TranslationTable> table;
    std::unique_ptr<TTranslateForm> form;

    QString path() const { return dir->filePath("translate.dbf"); }

    // German text and English cell per record, in Windows-1252, written through shapelib.
    void writeTable(const QList<QPair<QByteArray, QByteArray>> &rows) {
        DBFHandle dbf = DBFCreate(QFile::encodeName(path()).constData());
        QVERIFY(dbf);
        for (int n = 1; n <= kTranslationColumns; ++n)
            DBFAddField(dbf, QByteArray("language" + QByteArray::number(n)).constData(), FTString,
                        255, 0);
        for (int r = 0; r < rows.size(); ++r) {
            DBFWriteStringAttribute(dbf, r, 0, rows[r].first.constData());
            DBFWriteStringAttribute(dbf, r, 1, rows[r].second.constData());
        }
        DBFClose(dbf);
    }

    // One cell as another reader of the file sees it; "<deleted>" for a deleted record.
    QByteArray fileCell(int record, int column) const {
        DBFHandle dbf = DBFOpen(QFile::encodeName(path()).constData(), "rb");
        if (!dbf)
            return "<no file>";
        QByteArray cell = record >= DBFGetRecordCount(dbf) ? QByteArray("<missing>")
                          : DBFIsRecordDeleted(dbf, record)
                              ? QByteArray("<deleted>")
                              : QByteArray(DBFReadStringAttribute(dbf, record, column));
        DBFClose(dbf);
        return cell;
    }

    QToolButton *navigator(const char *name) const {
        return form->DBNavigator1->findChild<QToolButton *>(name);
    }

    // Types into the grid's editor of a cell, leaving the editor open.
    QWidget *typeInCell(int row, int column, const QString &text) {
        const QModelIndex index = form->model()->index(row, column);
        form->DBGrid1->setCurrentIndex(index);
        form->DBGrid1->edit(index);
        QWidget *editor = form->DBGrid1->indexWidget(index);
        if (auto *line = qobject_cast<QLineEdit *>(editor)) {
            line->selectAll();
            QTest::keyClicks(line, text);
        }
        return editor;
    }

private slots:
    void init() {
        dir = std::make_unique<QTemporaryDir>();
        writeTable({{"\xDC"
                     "bersetzen",
                     "Translate"},
                    {"SPEICHERN", "Save"},
                    {"Speichern unter", ""},
                    {"Laden", ""}});
        table = std::make_unique<TranslationTable>();
        QCOMPARE(table->Open(dir->path()), QString());
        table->inittrans();
        form = std::make_unique<TTranslateForm>(*table);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    }

    void cleanup() {
        form.reset();
        table.reset();
    }

    void showsEveryRecordWithTheFieldNames() {
        QCOMPARE(form->windowTitle(), QString("Übersetzen"));
        QCOMPARE(form->model()->rowCount(), 4);
        QCOMPARE(form->model()->columnCount(), 19);
        QCOMPARE(form->model()->headerData(0, Qt::Horizontal).toString(), QString("language1"));
        QCOMPARE(form->model()->headerData(18, Qt::Horizontal).toString(), QString("language19"));
        QCOMPARE(form->currentRow(), 0);
        QCOMPARE(form->DBEdit1->text(), QString("Übersetzen"));
        QVERIFY(!navigator("nbPrior")->isEnabled());
        QVERIFY(navigator("nbLast")->isEnabled());
        QVERIFY(navigator("nbFirst")->autoRaise()); // flat
        QVERIFY(navigator("nbFirst")->toolTip().isEmpty());
    }

    void gridEditReachesTheFileAtOnce() {
        QWidget *editor = typeInCell(3, 1, "Load");
        QVERIFY(editor);
        QTest::keyClick(editor, Qt::Key_Return); // the grid stores it on its next turn
        QTRY_COMPARE(fileCell(3, 1), QByteArray("Load"));
        QCOMPARE(table->TranslateString("Laden", 1), QString("Load"));
        // A German text typed into the grid shows in the edit at once.
        QTest::keyClick(typeInCell(3, 0, "Öffnen"), Qt::Key_Return);
        QTRY_COMPARE(fileCell(3, 0), QByteArray("\xD6"
                                                "ffnen"));
        QCOMPARE(form->DBEdit1->text(), QString("Öffnen"));
    }

    void navigatorMovesInsertsAndDeletes() {
        navigator("nbLast")->click();
        QCOMPARE(form->currentRow(), 3);
        QCOMPARE(form->DBEdit1->text(), QString("Laden"));
        QVERIFY(!navigator("nbNext")->isEnabled());
        navigator("nbPrior")->click();
        QCOMPARE(form->DBEdit1->text(), QString("Speichern unter"));

        navigator("nbInsert")->click();
        QCOMPARE(form->model()->rowCount(), 5);
        QCOMPARE(form->currentRow(), 4);
        QCOMPARE(table->RecordCount(), 5);
        QCOMPARE(form->DBEdit1->text(), QString());
        QTest::keyClicks(form->DBEdit1, "Neu");
        navigator("nbPost")->click();
        QCOMPARE(fileCell(4, 0), QByteArray("Neu"));

        // Cancel drops the edit's change, moving on stores it.
        QTest::keyClicks(form->DBEdit1, "er");
        navigator("nbCancel")->click();
        QCOMPARE(form->DBEdit1->text(), QString("Neu"));
        QTest::keyClicks(form->DBEdit1, "es");
        navigator("nbFirst")->click();
        QCOMPARE(fileCell(4, 0), QByteArray("Neues"));
        QCOMPARE(form->DBEdit1->text(), QString("Übersetzen"));

        navigator("nbNext")->click();
        navigator("nbDelete")->click();
        QCOMPARE(fileCell(1, 0), QByteArray("<deleted>"));
        QCOMPARE(form->model()->rowCount(), 4);
        QCOMPARE(form->currentRow(), 1);
        QCOMPARE(form->DBEdit1->text(), QString("Speichern unter"));
        navigator("nbRefresh")->click();
        QCOMPARE(form->model()->rowCount(), 4);
        QCOMPARE(form->DBEdit1->text(), QString("Speichern unter"));
    }

    void searchFiltersAndEveryClosingSwitchesItOff() {
        const struct {
            QString search;
            int rows;
        } cases[] = {{"speich", 2}, {"ü", 0}, {"Ü", 1}, {"save", 1}, {"", 4}};
        for (const auto &c : cases) {
            form->FilterEdit->setText(c.search);
            QTest::mouseClick(form->FilterBtn, Qt::LeftButton);
            QCOMPARE(form->model()->rowCount(), c.rows);
            QCOMPARE(form->currentRow(), c.rows > 0 ? 0 : -1);
        }
        form->FilterEdit->setText("speich");
        QTest::keyClick(form->FilterEdit, Qt::Key_Return);
        QCOMPARE(form->model()->rowCount(), 2);
        QCOMPARE(form->DBEdit1->text(), QString("SPEICHERN"));
        QVERIFY(form->close()); // the window's close box
        QVERIFY(form->model()->filter().isEmpty());
        QCOMPARE(form->model()->rowCount(), 4);

        form->show();
        QCOMPARE(form->model()->rowCount(), 4);
        QTest::mouseClick(form->FilterBtn, Qt::LeftButton);
        QCOMPARE(form->model()->rowCount(), 2);
        form->BackBtn->click();
        QCOMPARE(form->result(), int(QDialog::Accepted));
        QVERIFY(!form->isVisible());
        QCOMPARE(form->model()->rowCount(), 4);
    }

    // The main window sets every column to 300 pixels before it shows the editor. Searching,
    // refreshing, inserting and showing again keep the widths, and so a column the user made
    // narrower.
    void columnWidthsStayThroughSearchesAndRefreshes() {
        form = std::make_unique<TTranslateForm>(*table); // as the main window makes it
        const int columns = form->model()->columnCount();
        for (int column = 0; column < columns; ++column)
            form->DBGrid1->setColumnWidth(column, 300);
        form->show();
        form->DBGrid1->setColumnWidth(1, 120); // as the user drags it
        QList<int> expected(columns, 300);
        expected[1] = 120;
        auto widths = [&] {
            QList<int> result;
            for (int column = 0; column < columns; ++column)
                result << form->DBGrid1->columnWidth(column);
            return result;
        };
        auto search = [&](const QString &text) {
            form->FilterEdit->setText(text);
            QTest::mouseClick(form->FilterBtn, Qt::LeftButton);
        };
        const struct {
            const char *step;
            std::function<void()> run;
        } steps[] = {
            {"shown", [] {}},
            {"search", [&] { search("speich"); }},
            {"search without matches", [&] { search("xyz"); }},
            {"search for everything", [&] { search(""); }},
            {"refresh", [&] { navigator("nbRefresh")->click(); }},
            {"insert", [&] { navigator("nbInsert")->click(); }},
            {"shown again",
             [&] {
                 search("speich");
                 form->close();
                 form->show();
             }},
        };
        for (const auto &s : steps) {
            s.run();
            QVERIFY2(widths() == expected, s.step);
        }
    }

    void backStoresWhatIsPending() {
        navigator("nbLast")->click();
        QTest::keyClicks(form->DBEdit1, " alles");
        QCOMPARE(fileCell(3, 0), QByteArray("Laden"));
        form->BackBtn->click();
        QVERIFY(!form->isVisible());
        QCOMPARE(form->result(), int(QDialog::Accepted));
        QCOMPARE(fileCell(3, 0), QByteArray("Laden alles"));

        form->show();
        QVERIFY(typeInCell(2, 1, "Save as")); // the grid's editor stays open
        QCOMPARE(fileCell(2, 1), QByteArray(""));
        form->BackBtn->click();
        QCOMPARE(fileCell(2, 1), QByteArray("Save as"));
    }

    void readOnlyTableCannotBeChanged() {
        form.reset();
        table.reset();
        QVERIFY(::chmod(QFile::encodeName(path()).constData(), 0444) == 0);
        QVERIFY(::chmod(QFile::encodeName(dir->path()).constData(), 0755) == 0);
        QFile file(path());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray before = file.readAll();
        file.close();
        // Root writes to any file, so the table is opened by an unprivileged child process.
        const pid_t child = ::fork();
        if (child == 0) {
            if (::geteuid() == 0 && ::setuid(65534) != 0)
                ::_exit(2);
            TranslationTable readOnly;
            if (!readOnly.Open(dir->path()).isEmpty() || !readOnly.workreadonly())
                ::_exit(3);
            TTranslateForm editor(readOnly);
            editor.show();
            const QModelIndex cell = editor.model()->index(0, 1);
            int fault = 0;
            if (editor.model()->rowCount() != 4 ||
                editor.model()->flags(cell).testFlag(Qt::ItemIsEditable))
                fault = 4;
            editor.DBGrid1->edit(cell);
            if (editor.DBGrid1->indexWidget(cell) || !editor.DBEdit1->isReadOnly())
                fault = 5;
            for (const char *name : {"nbInsert", "nbDelete", "nbEdit", "nbPost"})
                if (editor.DBNavigator1->findChild<QToolButton *>(name)->isEnabled())
                    fault = 6;
            editor.Insert();
            editor.Delete();
            editor.FilterEdit->setText("save");
            editor.FilterBtnClick();
            if (editor.model()->rowCount() != 1)
                fault = 7;
            editor.BackBtn->click(); // closes without storing anything
            if (editor.isVisible() || editor.result() != QDialog::Accepted ||
                editor.model()->rowCount() != 4)
                fault = 8;
            ::_exit(fault);
        }
        int status = -1;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 0);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before);
    }
};

QTEST_MAIN(TranslateFormTest)
#include "translateform_test.moc"
