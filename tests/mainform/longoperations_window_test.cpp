// The editor's long operations in the main window: the jump to a line shows its progress and
// stops through "Abbrechen", and a run asked for while a save pumps events under its dialog
// (the automatic refresh after an edit) waits until the save is over instead of reading the
// text through the editor meanwhile.

#include "app/mainform.h"
#include "app/zeilennummerform.h"
#include "editor/texteditorlf.h"
#include "temporaryhome.h"

#include <QProgressDialog>
#include <QRadioButton>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <memory>

using namespace morvilo;

namespace {

// About 16 MiB of numbered blocks.
QByteArray longProgram() {
    QByteArray text;
    for (int i = 0; text.size() < (16 << 20); ++i)
        text += "N" + QByteArray::number(i) + " G1 X" + QByteArray::number(i % 97) + " Y1\r\n";
    return text;
}

// Calls onDialog once the editor's progress dialog shows (a timer polls for it).
struct DialogWatch {
    QTimer timer;
    int seen = 0;

    explicit DialogWatch(std::function<void(QProgressDialog &)> onDialog) {
        timer.setInterval(0);
        QObject::connect(&timer, &QTimer::timeout, [this, onDialog] {
            auto *dialog = qobject_cast<QProgressDialog *>(QApplication::activeModalWidget());
            if (!dialog || dialog->wasCanceled())
                return;
            ++seen;
            onDialog(*dialog);
        });
        timer.start();
    }
};

} // namespace

class LongOperationsWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> home;
    std::unique_ptr<TMainform> form;
    QStringList messages;

    TEditorCore &core() { return form->memo1->core(); }
    QString open(const QByteArray &bytes) {
        const QString path = home->filePath("doc.nc");
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
        file.close();
        core().OpenFileWithName(path.toStdString());
        return path;
    }

private slots:
    void init() {
        home = UseTemporaryHome();
        form = std::make_unique<TMainform>(home->path());
        form->errorBox = [this](const QString &message) { messages << message; };
        form->memo1->captionedErrorBox = [this](const QString &message, const QString &) {
            messages << message;
        };
        form->show();
        (void)QTest::qWaitForWindowExposed(form.get());
        form->memo1->progressDelayMs = 0;
        messages.clear();
    }
    void cleanup() { form.reset(); }

    void abbrechenStopsTheJumpToALine() {
        open(longProgram());
        core().markx = 20;
        core().curx = 25;
        core().UpdateCaretPos(true, true, false);
        auto *lines = form->findChild<TZeilennummerForm *>("ZeilennummerForm");
        lines->execDialog = [&](QDialog &) {
            lines->Zeile->setValue(2000000000); // no such block: the whole text is read
            lines->RadioButton2->setChecked(true);
            return true;
        };
        QString label;
        DialogWatch watch([&](QProgressDialog &dialog) {
            label = dialog.labelText();
            dialog.cancel();
        });
        form->action("ZurZeilennummerspringen1")->trigger();
        QCOMPARE(watch.seen, 1);
        QCOMPARE(label, QString::fromUtf8("Zeile wird gesucht..."));
        QVERIFY(core().cancelled);
        QCOMPARE(std::make_pair(core().markx, core().curx),
                 std::make_pair(int64_t(20), int64_t(25)));
        QVERIFY(!core().progress);
        QVERIFY(messages.isEmpty());
    }

    void aRunAskedForDuringASaveWaitsForIt() {
        const QString path = open(longProgram());
        core().curx = core().markx = 0;
        core().KeyPress('G'); // an edit: the save has something to write
        form->Timer2.stop();
        bool wasRunning = true;
        bool refreshPending = false;
        DialogWatch watch([&](QProgressDialog &) {
            if (watch.seen > 1)
                return;
            form->lines.Clear();
            form->CalcBtnClick();
            wasRunning = form->flags.inrender || form->lines.Count() > 0;
            refreshPending = form->Timer2.isActive();
        });
        QVERIFY(form->SaveTheFile(path));
        QVERIFY(watch.seen >= 1);
        QVERIFY2(!wasRunning, "a run read the text while the save was writing it");
        QVERIFY(refreshPending);
        QVERIFY(!core().changed);
        // Once the save is over, the run comes.
        QTRY_VERIFY_WITH_TIMEOUT(form->lines.Count() > 0, 60000);
        QVERIFY(messages.isEmpty());
    }
};

QTEST_MAIN(LongOperationsWindowTest)
#include "longoperations_window_test.moc"
