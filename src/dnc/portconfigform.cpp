#include "dnc/portconfigform.h"

#include "dnc/receiveform.h"
#include "dnc/serialport.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>

namespace morvilo::dnc {

namespace {

int indexIn(const QComboBox *list, int32_t index) {
    return index >= 0 && index < list->count() ? index : -1;
}

} // namespace

TPortConfigForm::TPortConfigForm(QWidget *parent) : QDialog(parent) {
    setObjectName("PortConfigForm");
    setWindowTitle(QString::fromUtf8("Port Einstellungen"));
    auto *layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize); // a fixed dialog frame
    auto *form = new QFormLayout;
    layout->addLayout(form);
    const auto addList = [&](const char *labelName, const char *caption, const char *listName,
                             QLabel *&label, const QStringList &entries) {
        auto *list = new QComboBox;
        list->setObjectName(listName);
        list->addItems(entries);
        label = new QLabel(QString::fromUtf8(caption));
        label->setObjectName(labelName);
        label->setBuddy(list);
        form->addRow(label, list);
        return list;
    };
    PortNummer = addList("Label1", "Port Nummer:", "PortNummer", Label1, {});
    BaudRate = addList("Label2", "Baud Rate:", "BaudRate", Label2, {});
    for (const std::vector<int> *rates : {&kBaudRates, &kFastBaudRates})
        for (const int rate : *rates)
            BaudRate->addItem(QString::number(rate));
    // Any device can be typed, a pseudo terminal or a Bluetooth line; the list suggests.
    PortNummer->setEditable(true);
    PortNummer->setInsertPolicy(QComboBox::NoInsert);
    PortNummer->setMinimumContentsLength(16);
    DataBits = addList("Label3", "Anzahl der Datenbits:", "DataBits", Label3, {"6", "7", "8"});
    Parity = addList("Label4", "Parität:", "Parity", Label4,
                     {QString::fromUtf8("Gerade/Even Parity"), QString::fromUtf8("Mark Parity"),
                      QString::fromUtf8("Keine Parität"), QString::fromUtf8("Ungerade/Odd Parity"),
                      QString::fromUtf8("Space Parity")});
    StopBits = addList("Label5", "Stop Bits:", "StopBits", Label5, {"1", "2"});
    ZeilenEnde = addList("Label6", "Zeilenende:", "ZeilenEnde", Label6, {"CR LF", "LF", "CR"});
    Handshake = addList("Label7", "Handshake:", "Handshake", Label7,
                        {QString::fromUtf8("Keine / wie der Port"), "XON/XOFF", "RTS/CTS"});
    EndeZeichen = new QLineEdit;
    EndeZeichen->setObjectName("EndeZeichen");
    EndeZeichen->setMaxLength(1);
    Label8 = new QLabel(QString::fromUtf8("Endezeichen beim Empfang:"));
    Label8->setObjectName("Label8");
    Label8->setBuddy(EndeZeichen);
    form->addRow(Label8, EndeZeichen);
    Zeitlimit = new QDoubleSpinBox;
    Zeitlimit->setObjectName("Zeitlimit");
    Zeitlimit->setRange(0, kMaxDncTimeout);
    Zeitlimit->setDecimals(1);
    Zeitlimit->setSuffix(QStringLiteral(" s"));
    Zeitlimit->setSpecialValueText(QString::fromUtf8("kein"));
    Label9 = new QLabel(QString::fromUtf8("Zeitlimit ohne Fortschritt:"));
    Label9->setObjectName("Label9");
    Label9->setBuddy(Zeitlimit);
    form->addRow(Label9, Zeitlimit);
    auto *buttons = new QDialogButtonBox;
    BitBtn1 = buttons->addButton("OK", QDialogButtonBox::AcceptRole);
    BitBtn1->setObjectName("BitBtn1");
    BitBtn1->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
    listUsbDevices = [] { return UsbSerialDevices(); };
    SetSelections(PortOptions{}, PortFile{}, listUsbDevices());
}

void TPortConfigForm::SetSelections(const PortOptions &options, const PortFile &file,
                                    const std::vector<std::string> &usbDevices) {
    std::vector<std::string> entries = PortEntries(usbDevices);
    int port = options.port;
    if (port >= kComPortCount && file.device.empty()) {
        port = -1; // an adapter without its name: no port is chosen, as a transfer would find
    } else if (port >= kComPortCount) {
        const auto found = std::find(entries.begin() + kComPortCount, entries.end(), file.device);
        port = int(found - entries.begin());
        if (found == entries.end())
            entries.push_back(file.device);
    }
    PortNummer->clear();
    for (const std::string &entry : entries)
        PortNummer->addItem(QString::fromLocal8Bit(entry));
    PortNummer->setCurrentIndex(indexIn(PortNummer, port));
    BaudRate->setCurrentIndex(indexIn(BaudRate, options.baud));
    DataBits->setCurrentIndex(indexIn(DataBits, options.databits));
    Parity->setCurrentIndex(indexIn(Parity, options.parity));
    StopBits->setCurrentIndex(indexIn(StopBits, options.stopbits));
    ZeilenEnde->setCurrentIndex(int(file.lineEnd));
}

void TPortConfigForm::GetSelections(PortOptions &options, PortFile &file) const {
    // COM1 ... COM15 in any letter case; any other text a device, "/dev/" taken as said.
    QString typed = PortNummer->currentText().trimmed();
    int port = PortNummer->findText(typed.toUpper());
    if (port < 0 || port >= kComPortCount) {
        if (!typed.isEmpty() && !typed.startsWith('/'))
            typed.prepend(QStringLiteral("/dev/"));
        port = PortNummer->findText(typed);
    }
    if (typed.isEmpty())
        port = -1;
    else if (port < 0)
        port = std::max(PortNummer->count(), kComPortCount);
    options.port = port;
    options.baud = BaudRate->currentIndex();
    options.databits = DataBits->currentIndex();
    options.parity = Parity->currentIndex();
    options.stopbits = StopBits->currentIndex();
    file.device = options.port >= kComPortCount ? typed.toLocal8Bit().toStdString() : "";
    file.lineEnd =
        ZeilenEnde->currentIndex() < 0 ? LineEnd::CrLf : LineEnd(ZeilenEnde->currentIndex());
}

void TPortConfigForm::SetDncSelections(const DncFile &file) {
    Handshake->setCurrentIndex(int(file.handshake));
    EndeZeichen->setText(file.endChar < 0 ? QString() : QString(QChar(file.endChar)));
    Zeitlimit->setValue(file.timeout);
    const int baud = LineSettings(PortOptions{}, file).baud;
    if (baud >= int(kBaudRates.size()))
        BaudRate->setCurrentIndex(baud);
}

DncFile TPortConfigForm::GetDncSelections() const {
    DncFile file;
    file.handshake = Handshake->currentIndex() < 0 ? dnc::Handshake::AsPort
                                                   : dnc::Handshake(Handshake->currentIndex());
    // One byte of the port's 8-bit characters; a character beyond them cannot come.
    const QString end = EndeZeichen->text();
    file.endChar = end.isEmpty() ? -1 : end[0].unicode() < 256 ? int(end[0].unicode()) : '%';
    file.timeout = Zeitlimit->value();
    if (BaudRate->currentIndex() >= int(kBaudRates.size()))
        file.baud = BaudRateOf(BaudRate->currentIndex());
    return file;
}

void TPortConfigForm::Edit(PortOptions &options, const std::string &progpath,
                           const std::function<void(const QString &)> &warn) {
    const std::string portDat = progpath + "port.dat";
    const std::string dncDat = progpath + kDncDatName;
    SetSelections(options, ReadPortDat(portDat), listUsbDevices());
    bool damaged = false;
    SetDncSelections(ReadDncDat(dncDat, &damaged));
    if (damaged && warn)
        warn(DamagedDncDatText());
    if (execDialog)
        execDialog(*this);
    else
        exec();
    PortFile file;
    GetSelections(options, file);
    // options.dat holds the rates of its list; a faster one lives in dnc.dat, and options.dat
    // the fastest of its own.
    if (options.baud >= int(kBaudRates.size()))
        options.baud = int(kBaudRates.size()) - 1;
    WritePortDat(portDat, file); // failures are not reported, as for options.dat
    WriteDncDat(dncDat, GetDncSelections());
}

void TPortConfigForm::showEvent(QShowEvent *event) {
    QDialog::showEvent(event);
    if (const QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

} // namespace morvilo::dnc
