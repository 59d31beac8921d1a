// The window under hostile programs: an endless program ends at the stop command and the window
// goes on working; a plot list that would outgrow its limit ends the run with one error box.

#include "app/mainform.h"
#include "app/plotbox.h"
#include "app/reliefpanel.h"
#include "editor/texteditorlf.h"
#include "relief/dib.h"
#include "temporaryhome.h"
#include "vantrel/dynaarray.h"

#include <QAction>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>

using namespace morvilo;

namespace {

// Watches files for being opened, read or written by anyone.
class AccessWatch {
public:
    AccessWatch() : fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}
    ~AccessWatch() {
        if (fd >= 0)
            ::close(fd);
    }
    bool Add(const QString &path) {
        const int wd = ::inotify_add_watch(fd, QFile::encodeName(path).constData(),
                                           IN_OPEN | IN_ACCESS | IN_MODIFY | IN_CLOSE_WRITE);
        if (wd < 0)
            return false;
        names[wd] = path;
        return true;
    }
    // The watched files touched since the last call.
    QStringList Touched() {
        QStringList touched;
        alignas(inotify_event) char buffer[4096];
        for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
            for (char *p = buffer; p < buffer + n;) {
                const auto *event = reinterpret_cast<const inotify_event *>(p);
                if (!touched.contains(names.value(event->wd)))
                    touched << names.value(event->wd);
                p += sizeof(inotify_event) + event->len;
            }
        return touched;
    }

private:
    int fd;
    QMap<int, QString> names;
};

// Ends the test program if the window blocks (on a FIFO, say) instead of hanging the suite.
class BlockWatchdog {
public:
    explicit BlockWatchdog(int seconds)
        : thread([this, seconds] {
              for (int k = 0; k < seconds * 10 && !done; ++k)
                  std::this_thread::sleep_for(std::chrono::milliseconds(100));
              if (!done) {
                  std::fprintf(stderr, "HANG: the window blocked at start-up\n");
                  std::fflush(stderr);
                  std::abort();
              }
          }) {}
    ~BlockWatchdog() {
        done = true;
        thread.join();
    }

private:
    std::atomic<bool> done{false};
    std::thread thread;
};

} // namespace

class HostileWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> home;
    QStringList errorsShown;

    std::unique_ptr<TMainform> formWithProgram(const QByteArray &text) {
        auto form = std::make_unique<TMainform>(home->path());
        form->errorBox = [this](const QString &message) { errorsShown << message; };
        form->infoBox = [](const QString &) {};
        form->saveQuestion = [] { return QMessageBox::No; };
        form->show();
        form->PageControl1->setCurrentIndex(1);
        const QString path = home->filePath("hostile.nc");
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
            return nullptr;
        file.close();
        if (!form->OpenFileWithName(path))
            return nullptr;
        form->Timer2.stop(); // the run the opening asked for is started by the test
        return form;
    }

    // The window still reacts: typing reaches the editor.
    static void expectTypingWorks(TMainform &form) {
        const int64_t before = form.memo1->core().size();
        form.memo1->setFocus();
        QTest::keyClicks(form.memo1, "(ok)");
        QCOMPARE(form.memo1->core().size(), before + 4);
    }

private slots:
    void init() {
        home = UseTemporaryHome();
        errorsShown.clear();
    }

    void endlessProgramsEndAtTheStopCommand_data() {
        QTest::addColumn<QByteArray>("program");
        QTest::newRow("GOTO") << QByteArray("N1\r\nG91 G1 X1\r\nGOTO1\r\n");
        QTest::newRow("WHILE") << QByteArray("WHILE[1]DO1\r\nG91 G1 Y1\r\nEND1\r\nM30\r\n");
        QTest::newRow("self call")
            << QByteArray("N5\r\nM98 P9\r\nGOTO5\r\nO9\r\nG91 G1 Z1\r\nM99\r\n");
    }

    void endlessProgramsEndAtTheStopCommand() {
        QFETCH(QByteArray, program);
        auto form = formWithProgram(program);
        QVERIFY(form);
        bool runningAtStop = false;
        uint32_t pointsAtStop = 0;
        int pixelsAtStop = 0;
        QElapsedTimer sinceStop;
        // The stop command comes through the event loop the run keeps alive, as a click would.
        QTimer::singleShot(300, form.get(), [&] {
            runningAtStop = form->flags.inrender;
            pointsAtStop = form->lines.Count();
            // The progress is on the screen (drawn on the second thread meanwhile).
            const QImage shown = form->PaintBox1->grab().toImage();
            for (int y = 0; y < shown.height(); ++y)
                for (int x = 0; x < shown.width(); ++x)
                    pixelsAtStop += QColor(shown.pixel(x, y)) != QColor(Qt::black);
            sinceStop.start();
            form->action("StopBtn")->trigger();
        });
        form->CalcBtnClick(); // returns when the run has ended
        QVERIFY(runningAtStop);
        QVERIFY(sinceStop.isValid());
        // The run ends at the next line end after the stop, well within a second.
        QVERIFY2(sinceStop.elapsed() < 1000, qPrintable(QString::number(sinceStop.elapsed())));
        QVERIFY(!form->flags.inrender);
        QVERIFY(pointsAtStop > 0);
        QVERIFY2(pixelsAtStop > 0, "nothing of the run shown");
        QVERIFY(errorsShown.isEmpty());
        expectTypingWorks(*form);
        // A new run starts and can be stopped again.
        QTimer::singleShot(100, form.get(), [&] { form->action("StopBtn")->trigger(); });
        form->CalcBtnClick();
        QVERIFY(!form->flags.inrender);
    }

    void aPlotListBeyondItsLimitEndsTheRunWithOneErrorBox() {
        auto form = formWithProgram("WHILE[1]DO1\r\nG91 G1 X1\r\nEND1\r\n");
        QVERIFY(form);
        SetDynaArrayBlockLimit(uint64_t(1) << 20);
        form->CalcBtnClick(); // nobody presses stop: the limit ends the run
        SetDynaArrayBlockLimit(0);
        QVERIFY(!form->flags.inrender);
        // The points' coding filled the limit (but for the ends of its chunks): a point that
        // moves one axis by a step takes two bytes.
        QVERIFY(form->lines.CodedBytes() >= (uint64_t(1) << 20) - (uint64_t(1) << 17));
        QVERIFY(form->lines.Count() >= form->lines.CodedBytes() / 3);
        QTRY_COMPARE(errorsShown.size(), 1);
        QVERIFY2(errorsShown[0].contains("Not enough memory"), qPrintable(errorsShown[0]));
        QTest::qWait(50);
        QCOMPARE(errorsShown.size(), 1);
        expectTypingWorks(*form);
    }

    // fav.dat and folders.dat are lists of names: starting the window reads the lists, shows the
    // names and lists the first favourite folder, but opens none of the files named, not even a
    // FIFO that would block a reader. Choosing a recent file is what opens it.
    void namedFilesAreOpenedOnlyWhenChosen() {
        const QString folder = home->filePath("pictures");
        QVERIFY(QDir().mkpath(folder));
        const QString fifo = home->filePath("trap.nc");
        const QString picture = folder + "/picture.bmp";
        const QString folderFifo = folder + "/trap.bmp";
        const QString program = home->filePath("recent.nc");
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        QVERIFY(::mkfifo(QFile::encodeName(folderFifo).constData(), 0600) == 0);
        for (const QString &path : {picture, program}) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("G1 X1\r\n");
        }
        {
            QFile fav(home->filePath("fav.dat"));
            QVERIFY(fav.open(QIODevice::WriteOnly));
            fav.write(QFile::encodeName(program + "\r\n" + fifo + "\r\n" + picture + "\r\n"));
            QFile folders(home->filePath("folders.dat"));
            QVERIFY(folders.open(QIODevice::WriteOnly));
            folders.write(QFile::encodeName(folder + "\r\n" + fifo + "\r\n" + program + "\r\n"));
        }
        AccessWatch watch;
        for (const QString &path : {fifo, folderFifo, picture, program})
            QVERIFY2(watch.Add(path), qPrintable(path));

        std::unique_ptr<TMainform> form;
        {
            BlockWatchdog watchdog(60);
            form = std::make_unique<TMainform>(home->path());
            form->errorBox = [this](const QString &message) { errorsShown << message; };
            form->infoBox = [](const QString &) {};
            form->saveQuestion = [] { return QMessageBox::No; };
            form->show();
            QTest::qWait(500); // the folder list and the picture list fill meanwhile
        }
        QCOMPARE(form->action("Zuletzt11")->text(), program);
        QCOMPARE(form->action("Zuletzt21")->text(), fifo);
        QCOMPARE(watch.Touched(), QStringList());
        QVERIFY(errorsShown.isEmpty());

        // Chosen, the recent program is opened (and the watch sees it).
        form->action("Zuletzt11")->trigger();
        QCOMPARE(form->afilename, program);
        QVERIFY(watch.Touched().contains(program));
        // A FIFO chosen as a document is refused without blocking.
        {
            BlockWatchdog watchdog(60);
            form->action("Zuletzt21")->trigger();
        }
        QCOMPARE(form->afilename, program);
        QCOMPARE(errorsShown.size(), 1);
        form.reset();
        QVERIFY(!watch.Touched().contains(picture));
    }

    // A motif narrower than two paths gives a grid without two columns, so no cut with a length:
    // the window says so in a message box and keeps its document and page.
    void aReliefGridWithoutTwoColumnsLeavesTheDocument() {
        auto form = formWithProgram("G1 X1\r\n");
        QVERIFY(form);
        form->Panel3->BreitEdValue->setValue(0.01); // 0.01 / 0.05: no column
        form->opentheDXFnow(MORVILO_PICTURES "/bmp24.bmp");
        QCOMPARE(errorsShown.size(), 1);
        QVERIFY2(errorsShown[0].startsWith("Das Raster ist zu klein (Spalten: 0, Zeilen: 0)"),
                 qPrintable(errorsShown[0]));
        QCOMPARE(form->memo1->core().size(), int64_t(7));
        QCOMPARE(form->afilename, home->filePath("hostile.nc"));
        QCOMPARE(form->PageControl1->currentIndex(), 1);
    }

    // A picture beyond the pixel limit is refused with its size, below the plain refusal.
    void aPictureBeyondThePixelLimitSaysWhy() {
        auto form = formWithProgram("G1 X1\r\n");
        QVERIFY(form);
        SetDibPixelLimit(40); // the picture has 11 × 4 pixels
        form->opentheDXFnow(MORVILO_PICTURES "/bmp24.bmp");
        SetDibPixelLimit(kDefaultDibPixelLimit);
        QCOMPARE(errorsShown.size(), 1);
        QVERIFY2(errorsShown[0].startsWith("Das Bild konnte nicht geladen werden.\nDas Bild hat "),
                 qPrintable(errorsShown[0]));
        QVERIFY2(errorsShown[0].endsWith("gelesen werden Bilder bis 40 Pixel."),
                 qPrintable(errorsShown[0]));
        QCOMPARE(form->memo1->core().size(), int64_t(7));
    }

    // The window generates reliefs into a temporary file of its own. A link planted at its name
    // is not followed: the file it leads to stays as it was, and the user is told.
    void aLinkPlantedAtTheTemporaryFileIsNotFollowed() {
        auto form = std::make_unique<TMainform>(home->path());
        form->errorBox = [this](const QString &message) { errorsShown << message; };
        form->saveQuestion = [] { return QMessageBox::No; };
        const QString temporary = QString::fromStdString(form->tempfilename);
        QVERIFY(!temporary.isEmpty());
        const QString victim = home->filePath("precious.nc");
        {
            QFile file(victim);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("precious");
        }
        QVERIFY(QFile::remove(temporary));
        QVERIFY(QFile::link(victim, temporary));
        form->opentheDXFnow(MORVILO_PICTURES "/bmp24.bmp");
        QCOMPARE(errorsShown.size(), 1);
        QVERIFY2(errorsShown[0].contains("Konnte temporäre Datei nicht anlegen."),
                 qPrintable(errorsShown[0]));
        QFile file(victim);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("precious"));
        QVERIFY(QFileInfo(temporary).isSymLink());
        QFile::remove(temporary);
    }

    // A relief that cannot be written (here: beyond the file size the process may write) names
    // the file and the reason in the window's language, and the text in the editor stays.
    void aFailedWriteIsNamedInTheWindowsLanguage() {
        auto form = formWithProgram("G1 X1\r\n");
        QVERIFY(form);
        const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
        rlimit small = old;
        small.rlim_cur = 64;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        form->opentheDXFnow(MORVILO_PICTURES "/bmp24.bmp");
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldSignal);
        QCOMPARE(errorsShown.size(), 1);
        const QString expected =
            QString::fromStdString(form->tempfilename) + " kann nicht geschrieben werden: ";
        QVERIFY2(errorsShown[0].startsWith(expected), qPrintable(errorsShown[0]));
        QVERIFY2(!errorsShown[0].contains("large"), qPrintable(errorsShown[0]));
        QCOMPARE(form->memo1->core().size(), int64_t(7));
    }
};

QTEST_MAIN(HostileWindowTest)
#include "hostile_window_test.moc"
