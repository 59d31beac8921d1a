#pragma once
// TPortConfigForm ("Port Einstellungen"): the port and its line settings for the transfer, and
// the characters sent after every line. The selections are options.dat's item indices; a
// chosen USB adapter and the line end live in port.dat beside it.

#include "dnc/portfile.h"
#include "settings/settingsfiles.h"

#include <QDialog>

#include <functional>
#include <string>
#include <vector>

class QComboBox;
class QDoubleSpinBox;
class QLineEdit;
class QLabel;
class QPushButton;

namespace morvilo::dnc {

class TPortConfigForm : public QDialog {
    Q_OBJECT

public:
    explicit TPortConfigForm(QWidget *parent = nullptr);

    // Fills the port list with COM1 ... COM15 and the adapters and selects as options and file
    // say. An adapter named in file but not present stays in the list, chosen, so that a
    // transfer reports it missing instead of using another port. An index outside its list
    // leaves the list without a selection.
    void SetSelections(const PortOptions &options, const PortFile &file,
                       const std::vector<std::string> &usbDevices);
    // The selected indices (-1 where nothing is selected; language is not touched) and the
    // chosen adapter's name with the line end.
    void GetSelections(PortOptions &options, PortFile &file) const;

    // Shows the dialog modally with the stored selections; when it closes, however it was
    // closed, takes the selections into options and writes port.dat and dnc.dat into progpath.
    // The caller then saves options.dat. A damaged dnc.dat is reported to warn before the
    // dialog shows.
    void Edit(PortOptions &options, const std::string &progpath,
              const std::function<void(const QString &)> &warn = {});

    // dnc.dat's values in the dialog, and back.
    void SetDncSelections(const DncFile &file);
    DncFile GetDncSelections() const;

    // Replaceable so that tests need neither a user nor adapters.
    std::function<void(QDialog &)> execDialog;
    std::function<std::vector<std::string>()> listUsbDevices;

    QLabel *Label1;
    QComboBox *PortNummer;
    QLabel *Label2;
    QComboBox *BaudRate;
    QLabel *Label3;
    QComboBox *DataBits;
    QLabel *Label4;
    QComboBox *Parity;
    QLabel *Label5;
    QComboBox *StopBits;
    QLabel *Label6;
    QComboBox *ZeilenEnde;
    QLabel *Label7;
    QComboBox *Handshake; // dnc.dat's handshake, the order of enum Handshake
    QLabel *Label8;
    QLineEdit *EndeZeichen; // the character that ends a reception; empty: none
    QLabel *Label9;
    QDoubleSpinBox *Zeitlimit; // seconds without progress; 0: no limit
    QPushButton *BitBtn1;      // OK

protected:
    void showEvent(QShowEvent *event) override;
};

} // namespace morvilo::dnc
