// The port dialog, its round trip through options.dat and port.dat, and the progress window.

#include "dnc/portconfigform.h"
#include "dnc/receiveform.h"
#include "dnc/sendprogressform.h"

#include "editor/editorcore.h"
#include "translation/translateunit.h"

#include "../common/testfiles.h"
#include "ptypair.h"

#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <fcntl.h>
#include <unistd.h>

using namespace morvilo;
using namespace morvilo::dnc;

namespace {

QStringList entries(const QComboBox *list) {
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->itemText(i);
    return texts;
}

std::string optionsBytes(std::initializer_list<uint8_t> values) {
    std::string bytes;
    for (uint8_t v : values)
        bytes += std::string(1, char(v)) + std::string(3, '\0');
    return bytes;
}

// Writes bytes into the far end of a line (the machine sending), a moment after the event loop
// runs again.
void sendLater(const std::string &device, const std::string &bytes, int afterMs) {
    QTimer::singleShot(afterMs, [device, bytes] {
        const int fd = ::open(device.c_str(), O_WRONLY | O_NOCTTY);
        if (fd < 0)
            return;
        QCOMPARE(::write(fd, bytes.data(), bytes.size()), ssize_t(bytes.size()));
        ::close(fd);
    });
}

} // namespace

class PortConfigFormTest : public QObject {
    Q_OBJECT

private slots:
    void listsLabelsAndInitialSelections() {
        TPortConfigForm form;
        QCOMPARE(form.windowTitle(), QString::fromUtf8("Port Einstellungen"));
        const struct {
            QLabel *label;
            QComboBox *list;
            const char *caption;
            int selected;
        } rows[] = {{form.Label1, form.PortNummer, "Port Nummer:", 0},
                    {form.Label2, form.BaudRate, "Baud Rate:", 5},
                    {form.Label3, form.DataBits, "Anzahl der Datenbits:", 1},
                    {form.Label4, form.Parity, "Parität:", 0},
                    {form.Label5, form.StopBits, "Stop Bits:", 0},
                    {form.Label6, form.ZeilenEnde, "Zeilenende:", 0}};
        for (const auto &row : rows) {
            QCOMPARE(row.label->text(), QString::fromUtf8(row.caption));
            QCOMPARE(row.label->buddy(), row.list);
            QCOMPARE(row.list->currentIndex(), row.selected);
        }
        QCOMPARE(entries(form.PortNummer).mid(0, 15).join(' '),
                 QString("COM1 COM2 COM3 COM4 COM5 COM6 COM7 COM8 COM9 COM10 COM11 COM12 "
                         "COM13 COM14 COM15"));
        QCOMPARE(entries(form.BaudRate).join(' '),
                 QString("300 600 1200 2400 4800 9600 19200 38400 57600 115200 230400"));
        QVERIFY(form.PortNummer->isEditable());
        QCOMPARE(entries(form.DataBits).join(' '), QString("6 7 8"));
        QCOMPARE(entries(form.Parity).join('|'),
                 QString::fromUtf8("Gerade/Even Parity|Mark Parity|Keine Parität|"
                                   "Ungerade/Odd Parity|Space Parity"));
        QCOMPARE(entries(form.StopBits).join(' '), QString("1 2"));
        QCOMPARE(entries(form.ZeilenEnde).join('|'), QString("CR LF|LF|CR"));
        QCOMPARE(form.BitBtn1->text(), QString("OK"));
    }

    // What the main window does: the dialog, then options.dat written as SaveOptions writes it.
    void firstCloseWritesTheDefaults() {
        test::ScratchFolder folder;
        const std::string progpath = folder.path().string() + "/";
        PortOptions options;
        ReadOptionsDat(progpath + "options.dat", options); // missing: the defaults stay
        TPortConfigForm form;
        form.listUsbDevices = [] { return std::vector<std::string>{}; };
        form.execDialog = [](QDialog &dialog) { dialog.reject(); }; // closed without OK
        form.Edit(options, progpath);
        QVERIFY(WriteOptionsDat(progpath + "options.dat", options));
        QCOMPARE(test::ReadFile(folder / "options.dat"), optionsBytes({0, 5, 1, 0, 0, 0}));
        QCOMPARE(int(ReadPortDat(progpath + "port.dat").lineEnd), int(LineEnd::CrLf));
    }

    void selectionsRoundTrip() {
        test::ScratchFolder folder;
        const std::string progpath = folder.path().string() + "/";
        PortOptions options;
        options.language = 1;
        TPortConfigForm form;
        form.listUsbDevices = [] { return std::vector<std::string>{}; };
        form.execDialog = [](QDialog &dialog) {
            auto &f = static_cast<TPortConfigForm &>(dialog);
            f.PortNummer->setCurrentIndex(11); // COM12
            f.BaudRate->setCurrentIndex(6);    // 19200
            f.DataBits->setCurrentIndex(2);    // 8
            f.Parity->setCurrentIndex(2);      // none
            f.StopBits->setCurrentIndex(1);    // 2
            f.ZeilenEnde->setCurrentIndex(1);  // LF
            f.Handshake->setCurrentIndex(1);   // XON/XOFF, kept apart from options.dat
            f.accept();
        };
        form.Edit(options, progpath);
        QVERIFY(WriteOptionsDat(progpath + "options.dat", options));
        QCOMPARE(test::ReadFile(folder / "options.dat"), optionsBytes({11, 6, 2, 1, 2, 1}));

        PortOptions reloaded;
        QVERIFY(ReadOptionsDat(progpath + "options.dat", reloaded));
        TPortConfigForm again;
        again.listUsbDevices = [] { return std::vector<std::string>{}; };
        QList<int> shown;
        again.execDialog = [&](QDialog &) {
            for (QComboBox *list : {again.PortNummer, again.BaudRate, again.DataBits, again.Parity,
                                    again.StopBits, again.ZeilenEnde, again.Handshake})
                shown << list->currentIndex();
        };
        again.Edit(reloaded, progpath);
        QCOMPARE(shown, (QList<int>{11, 6, 2, 2, 1, 1, 1}));
        const TransferSettings settings = StoredTransferSettings(reloaded, progpath);
        QCOMPARE(settings.device, std::string("/dev/ttyS11"));
        QCOMPARE(int(settings.lineEnd), int(LineEnd::Lf));
        QCOMPARE(int(settings.handshake), int(Handshake::XonXoff));
    }

    void anAdapterIsFoundAgainByItsName() {
        test::ScratchFolder folder;
        const std::string progpath = folder.path().string() + "/";
        PortOptions options;
        TPortConfigForm form;
        std::vector<std::string> present = {"/dev/ttyUSB0", "/dev/ttyUSB1"};
        form.listUsbDevices = [&] { return present; };
        form.execDialog = [](QDialog &dialog) {
            static_cast<TPortConfigForm &>(dialog).PortNummer->setCurrentIndex(16);
        };
        form.Edit(options, progpath);
        QCOMPARE(options.port, 16);
        QCOMPARE(StoredTransferSettings(options, progpath).device, std::string("/dev/ttyUSB1"));

        for (const std::vector<std::string> &now :
             {std::vector<std::string>{"/dev/ttyUSB1"}, std::vector<std::string>{"/dev/ttyACM0"}}) {
            present = now; // ttyUSB0 went away; then ttyUSB1 too
            QString chosen;
            form.execDialog = [&](QDialog &) { chosen = form.PortNummer->currentText(); };
            form.Edit(options, progpath);
            QCOMPARE(chosen, QString("/dev/ttyUSB1"));
            QCOMPARE(StoredTransferSettings(options, progpath).device, std::string("/dev/ttyUSB1"));
        }
        QCOMPARE(form.PortNummer->count(), 17); // COM1..COM15, ttyACM0, the missing ttyUSB1
    }

    // Any device can be typed (a name without a folder is taken from /dev/, COMn in any letter
    // case is the list's port); the rates beyond 38400 live in dnc.dat while options.dat keeps
    // its 24 bytes and its list's indices; the next dialog and the transfer find both again.
    void typedDevicesAndFastRates() {
        test::ScratchFolder folder;
        const std::string progpath = folder.path().string() + "/";
        PortOptions options;
        TPortConfigForm form;
        form.listUsbDevices = [] { return std::vector<std::string>{"/dev/ttyUSB0"}; };
        form.execDialog = [&](QDialog &) {
            form.PortNummer->setEditText(" ttyAMA0 ");
            form.BaudRate->setCurrentIndex(form.BaudRate->findText("115200"));
        };
        form.Edit(options, progpath);
        QVERIFY(WriteOptionsDat(progpath + "options.dat", options));
        QCOMPARE(test::ReadFile(folder / "options.dat"), optionsBytes({16, 7, 1, 0, 0, 0}));
        QCOMPARE(ReadDncDat(progpath + kDncDatName).baud, 115200);
        TransferSettings settings = StoredTransferSettings(options, progpath);
        QCOMPARE(settings.device, std::string("/dev/ttyAMA0"));
        QCOMPARE(BaudRateOf(settings.indices.baud), 115200);
        QCOMPARE(BaudRateOf(StoredReceiveSettings(options, progpath).indices.baud), 115200);

        QString shownPort, shownRate;
        form.execDialog = [&](QDialog &) {
            shownPort = form.PortNummer->currentText();
            shownRate = form.BaudRate->currentText();
            form.PortNummer->setEditText("com3");
            form.BaudRate->setCurrentIndex(6); // 19200: options.dat holds it, dnc.dat none
        };
        form.Edit(options, progpath);
        QCOMPARE(shownPort, QString("/dev/ttyAMA0"));
        QCOMPARE(shownRate, QString("115200"));
        QCOMPARE(options.port, 2);
        QCOMPARE(options.baud, 6);
        QCOMPARE(ReadDncDat(progpath + kDncDatName).baud, 0);
        settings = StoredTransferSettings(options, progpath);
        QCOMPARE(settings.device, std::string("/dev/ttyS2"));
        QCOMPARE(BaudRateOf(settings.indices.baud), 19200);

        // a pseudo terminal by its full name; an emptied field chooses no port
        form.execDialog = [&](QDialog &) { form.PortNummer->setEditText("/dev/pts/7"); };
        form.Edit(options, progpath);
        QCOMPARE(StoredTransferSettings(options, progpath).device, std::string("/dev/pts/7"));
        form.execDialog = [&](QDialog &) { form.PortNummer->setEditText(""); };
        form.Edit(options, progpath);
        QCOMPARE(options.port, -1);

        // dnc.dat with a rate the list does not have is damaged; the rate stays options.dat's
        test::WriteFile(folder / kDncDatName, "baud=9600\n");
        bool damaged = false;
        QCOMPARE(ReadDncDat(progpath + kDncDatName, &damaged).baud, 0);
        QVERIFY(damaged);
    }

    // A finished "Senden" says how many lines and bytes went out.
    void sendingEndsWithTheLinesAndBytesSent() {
        if (!test::PtyPair::SocatAvailable())
            QSKIP("socat is not installed (scripts/setup installs it)");
        test::ScratchFolder folder;
        test::PtyPair pair(folder.path());
        QVERIFY(pair.ready());
        test::Receiver receiver(pair.receiver());
        test::WriteFile(folder / "p.nc", "%\nG1 X1\nM30\n");
        TEditorCore core;
        QVERIFY(core.OpenFileWithName((folder / "p.nc").string()));
        const std::string progpath = folder.path().string() + "/";
        QVERIFY(WritePortDat(progpath + "port.dat", {pair.sender(), LineEnd::CrLf}));
        PortOptions options;
        options.port = 15;
        QStringList errors, sent;
        const TransferResult result = SendDocument(
            nullptr, core, options, progpath, [&](const QString &m) { errors << m; },
            [&](const QString &m) { sent << m; });
        QCOMPARE(result.message, 0);
        QCOMPARE(errors, QStringList());
        QCOMPARE(sent, QStringList{QString("Gesendet: 3 Zeilen, 15 Bytes.")});
        QCOMPARE(receiver.ReadAll(), std::string("%\r\nG1 X1\r\nM30\r\n"));
    }

    void outOfRangeIndicesLeaveListsWithoutSelection() {
        test::ScratchFolder folder;
        const std::string progpath = folder.path().string() + "/";
        PortOptions options{3, 42, -7, 2, 5, 0};
        TPortConfigForm form;
        form.listUsbDevices = [] { return std::vector<std::string>{}; };
        form.execDialog = [](QDialog &) {};
        form.Edit(options, progpath);
        QCOMPARE(form.PortNummer->currentIndex(), 3);
        QCOMPARE(form.BaudRate->currentIndex(), -1);
        QCOMPARE(form.DataBits->currentIndex(), -1);
        QCOMPARE(form.StopBits->currentIndex(), -1);
        QCOMPARE(form.Parity->currentIndex(), -1);
        QCOMPARE(options.baud, -1); // still outside every list when saved
        QCOMPARE(options.stopbits, -1);

        options.port = 20; // an adapter index without a stored name: no port
        form.Edit(options, progpath);
        QCOMPARE(form.PortNummer->currentIndex(), -1);
    }

    void aFailedTransferShowsItsMessage() {
        test::ScratchFolder folder;
        test::WriteFile(folder / "p.nc", "G0\n");
        TEditorCore core;
        QVERIFY(core.OpenFileWithName((folder / "p.nc").string()));
        QStringList shown;
        const std::string progpath = folder.path().string() + "/";
        QVERIFY(WritePortDat(progpath + "port.dat", {(folder / "gone").string(), LineEnd::CrLf}));
        PortOptions options;
        options.port = 15;
        const TransferResult result =
            SendDocument(nullptr, core, options, progpath, [&](const QString &m) { shown << m; });
        QCOMPARE(result.message, int(kMsgPortOpenFailed));
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown[0].startsWith(GetTString(kMsgPortOpenFailed) + "2; "));
    }

    void cancelInTheProgressWindowEndsAHeldTransfer() {
        if (!test::PtyPair::SocatAvailable())
            QSKIP("socat is not installed (scripts/setup installs it)");
        test::ScratchFolder folder;
        test::PtyPair pair(folder.path());
        QVERIFY(pair.ready());
        test::Receiver receiver(pair.receiver()); // open, but nobody reads: the line is held
        test::WriteFile(folder / "p.nc", std::string(4u << 20, 'X') + "\n");
        TEditorCore core;
        QVERIFY(core.OpenFileWithName((folder / "p.nc").string()));
        bool pressed = false;
        QTimer cancelLater;
        cancelLater.setInterval(700);
        QObject::connect(&cancelLater, &QTimer::timeout, [&] {
            for (QWidget *w : QApplication::topLevelWidgets())
                if (auto *progress = qobject_cast<TSendProgressForm *>(w);
                    progress && progress->isVisible()) {
                    progress->cancel();
                    pressed = true;
                }
        });
        cancelLater.start();
        QStringList shown;
        const TransferResult result = SendWithProgress(
            nullptr, core, {pair.sender(), PortOptions{0, 5, 2, 0, 2, 0}, LineEnd::CrLf},
            [&](const QString &m) { shown << m; });
        QVERIFY(pressed);
        QVERIFY(result.cancelled);
        QVERIFY(shown.isEmpty());
    }

    void dncDatRoundTripsThroughTheDialogAndADamagedOneIsReported() {
        test::ScratchFolder folder;
        const std::string progpath = folder.path().string() + "/";
        test::WriteFile(folder / "dnc.dat", "handshake=xonxoff\nend=%%\n");
        TPortConfigForm form;
        form.listUsbDevices = [] { return std::vector<std::string>{}; };
        form.execDialog = [&](QDialog &) {
            QCOMPARE(form.Handshake->currentIndex(), 1); // the readable line is kept
            QCOMPARE(form.EndeZeichen->text(), QStringLiteral("%"));
            QCOMPARE(form.Zeitlimit->text(), QStringLiteral("kein"));
            form.Handshake->setCurrentIndex(2);
            form.EndeZeichen->setText("#");
            form.Zeitlimit->setValue(2.5);
        };
        QStringList warned;
        PortOptions options;
        form.Edit(options, progpath, [&](const QString &m) { warned << m; });
        QCOMPARE(warned, QStringList{DamagedDncDatText()});
        bool damaged = true;
        const DncFile stored = ReadDncDat(progpath + kDncDatName, &damaged);
        QVERIFY(!damaged);
        QCOMPARE(int(stored.handshake), int(Handshake::RtsCts));
        QCOMPARE(stored.endChar, int('#'));
        QCOMPARE(stored.timeout, 2.5);
        // An emptied end character means none; the reception then ends by idle time or button.
        form.execDialog = [&](QDialog &) { form.EndeZeichen->clear(); };
        form.Edit(options, progpath, [&](const QString &m) { warned << m; });
        QCOMPARE(warned.size(), 1);
        QCOMPARE(StoredReceiveSettings(options, progpath).endChar, -1);
        QCOMPARE(StoredReceiveSettings(options, progpath).idleSeconds, 2.5);
    }

    void aReceptionHandsOverEveryByteAndReportsAVanishedPort() {
        if (!test::PtyPair::SocatAvailable())
            QSKIP("socat is not installed (scripts/setup installs it)");
        test::ScratchFolder folder;
        ReceiveSettings settings;
        settings.indices = PortOptions{0, 5, 2, 0, 2, 0};
        const std::string program = "%\nO1000\nG1 X1 Y2\n%\n";
        std::string document;
        QStringList shown;
        const auto receive = [&] {
            document.clear();
            shown.clear();
            return ReceiveWithProgress(
                nullptr, settings,
                [&](std::string_view piece) {
                    document.append(piece);
                    return true;
                },
                [&](const QString &m) { shown << m; });
        };
        {
            test::PtyPair pair(folder.path());
            QVERIFY(pair.ready());
            settings.device = pair.sender();
            sendLater(pair.receiver(), program, 300);
            QCOMPARE(int(receive().end), int(ReceiveEnd::EndCharacter));
            QCOMPARE(document, program);
            QVERIFY(shown.isEmpty());
        }
        test::PtyPair pair(folder.path());
        QVERIFY(pair.ready());
        settings.device = pair.sender();
        sendLater(pair.receiver(), "G1 X", 300);
        QTimer::singleShot(800, [&pair] { pair.Stop(); }); // the adapter is pulled
        QCOMPARE(int(receive().end), int(ReceiveEnd::Vanished));
        QCOMPARE(document, std::string("G1 X"));
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown[0].contains(QString::fromStdString(settings.device)));
        QVERIFY(shown[0].contains(QStringLiteral("4 Bytes empfangen")));
    }
};

QTEST_MAIN(PortConfigFormTest)
#include "portconfigform_test.moc"
