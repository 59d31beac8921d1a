// The editor widget's long operations (searching, saving) under their progress dialog: it
// shows once the work has taken a while, is window-modal, and its "Abbrechen" stops the work
// with everything as it was. The tests make the dialog show at once instead of after 100 ms.

#include "editor/searchdialogs.h"
#include "editor/texteditorlf.h"

#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QProgressDialog>
#include <QTemporaryDir>
#include <QtTest>

using morvilo::TTextEditorLF;

namespace {

// About 16 MiB of blocks, then one line that holds "X999.5".
QByteArray longProgram() {
    QByteArray text;
    for (int i = 0; text.size() < (16 << 20); ++i)
        text += "N" + QByteArray::number(i) + " G1 X" + QByteArray::number(i % 97) + " Y1\r\n";
    return text + "G0 X999.5\r\n";
}

// Watches for the editor's progress dialog while work runs; with cancel it presses
// "Abbrechen" as soon as the dialog shows.
struct DialogWatch {
    QTimer timer;
    QStringList labels; // the dialogs seen
    bool blocked = false;
    bool busy = false;

    DialogWatch(TTextEditorLF &editor, bool cancel) {
        timer.setInterval(0);
        QObject::connect(&timer, &QTimer::timeout, [this, &editor, cancel] {
            auto *dialog = qobject_cast<QProgressDialog *>(QApplication::activeModalWidget());
            if (!dialog || dialog->wasCanceled())
                return;
            labels << dialog->labelText();
            blocked =
                dialog->windowModality() == Qt::WindowModal && dialog->parentWidget() == &editor;
            busy = editor.InLongOperation();
            if (cancel)
                dialog->cancel();
        });
        timer.start();
    }
};

} // namespace

class LongOperationsTest : public QObject {
    Q_OBJECT

    QTemporaryDir folder;
    QStringList messages;

    std::unique_ptr<TTextEditorLF> editorWith(const QByteArray &text) {
        auto editor = std::make_unique<TTextEditorLF>();
        editor->resize(640, 400);
        QFile file(folder.filePath("doc.nc"));
        file.open(QIODevice::WriteOnly);
        file.write(text);
        file.close();
        editor->show();
        (void)QTest::qWaitForWindowExposed(editor.get());
        editor->core().OpenFileWithName(file.fileName().toStdString());
        editor->core().UpdateCaretPos(true, false, false);
        editor->progressDelayMs = 0;
        messages.clear();
        editor->errorBox = [this](const QString &message) { messages << message; };
        editor->captionedErrorBox = [this](const QString &message, const QString &) {
            messages << message;
        };
        return editor;
    }

    static QByteArray fileBytes(const QString &path) {
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        return file.readAll();
    }

    static void checkNoDialogLeft(TTextEditorLF &editor) {
        QVERIFY(editor.findChildren<QProgressDialog *>().isEmpty());
        QVERIFY(QApplication::activeModalWidget() == nullptr);
        QVERIFY(!editor.InLongOperation());
        QVERIFY(!editor.core().progress);
    }

private slots:
    void aSearchShowsTheDialogAndFinds() {
        const QByteArray text = longProgram();
        auto editor = editorWith(text);
        editor->searchForm().Edit1->setText("X999.5");
        DialogWatch watch(*editor, false);
        editor->Weitersuchen();
        QVERIFY(!watch.labels.isEmpty());
        QCOMPARE(watch.labels.first(), QString::fromUtf8("Suche läuft..."));
        QVERIFY(watch.blocked);
        QVERIFY(watch.busy);
        QCOMPARE(editor->core().markx, int64_t(text.size()) - 8);
        QVERIFY(messages.isEmpty());
        checkNoDialogLeft(*editor);
    }

    void abbrechenStopsASearchWhereItWas() {
        auto editor = editorWith(longProgram());
        auto &core = editor->core();
        core.markx = 30;
        core.curx = 40;
        core.UpdateCaretPos(true, true, false);
        editor->searchForm().Edit1->setText("X999.5");
        editor->searchForm().StartBegCheck->setChecked(true);
        DialogWatch watch(*editor, true);
        editor->Weitersuchen();
        QCOMPARE(watch.labels.size(), 1);
        QVERIFY(core.cancelled);
        QCOMPARE(core.markx, int64_t(30));
        QCOMPARE(core.curx, int64_t(40));
        QVERIFY(editor->searchForm().StartBegCheck->isChecked()); // the next search starts there
        QVERIFY(messages.isEmpty());
        checkNoDialogLeft(*editor);
    }

    void abbrechenStopsASaveWithTheOldFileKept() {
        const QByteArray text = longProgram();
        auto editor = editorWith(text);
        auto &core = editor->core();
        core.curx = core.markx = 10;
        core.KeyPress('G');
        QVERIFY(core.changed);
        const QStringList before = QDir(folder.path()).entryList(QDir::Files);
        DialogWatch watch(*editor, true);
        QVERIFY(!editor->SaveAsFile(folder.filePath("doc.nc").toStdString()));
        QCOMPARE(watch.labels, QStringList{QString::fromUtf8("Datei wird gespeichert...")});
        QVERIFY(core.cancelled);
        QCOMPARE(fileBytes(folder.filePath("doc.nc")), text);
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files), before);
        QVERIFY(core.changed);
        QVERIFY(core.CanUndo());
        QCOMPARE(core.size(), int64_t(text.size()) + 1);
        QVERIFY(messages.isEmpty());
        checkNoDialogLeft(*editor);
    }
};

QTEST_MAIN(LongOperationsTest)
#include "longoperations_test.moc"
