#include "view/printform.h"

#include "translation/translateunit.h"

#include "settings/settingsstore.h"
#include <QCheckBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPaintEvent>
#include <QPainter>
#include <QPrintDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>

#include <QSettings>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <memory>
#include <utility>

namespace morvilo {

// ---- placement ----------------------------------------------------------------------------

QRect PrintRectangle(QSize page, QSize bitmap, const PrintChoices &choices) {
    const int64_t pw = page.width(), ph = page.height();
    const int64_t bw = bitmap.width(), bh = bitmap.height();
    int64_t w = pw, h = ph;
    if (!choices.useFull) {
        w = std::lrint(double(pw) * choices.breite / 100);
        h = std::lrint(double(ph) * choices.hoehe / 100);
    } else if (choices.keepAspect && bw > 0 && bh > 0) {
        if (bh * w / bw > ph)
            w = bw * ph / bh; // the height fills the page
        else
            h = bh * w / bw; // the width fills the page
    }
    const int64_t x = choices.centred ? (pw - w) / 2 : 0;
    const int64_t y = choices.centred ? (ph - h) / 2 : 0;
    return QRect(int(x), int(y), int(w), int(h));
}

namespace {

// The other percentage through the aspect ratio: the whole part of factor * percent, limited to
// the fields' range.
std::optional<int> linkedPercent(int percent, double along, double across) {
    if (!(along > 0) || !(across > 0))
        return std::nullopt;
    const double value = std::trunc(percent * along / across);
    return int(std::clamp(value, 1.0, 100.0));
}

bool hasArea(QSize s) {
    return s.width() > 0 && s.height() > 0;
}

} // namespace

std::optional<int> LinkedHeight(int breite, QSize bitmap, QSize page) {
    if (!hasArea(bitmap) || !hasArea(page))
        return std::nullopt;
    // BH * Breite / BW * PW / PH
    return linkedPercent(breite, double(bitmap.height()) * page.width(),
                         double(bitmap.width()) * page.height());
}

std::optional<int> LinkedWidth(int hoehe, QSize bitmap, QSize page) {
    if (!hasArea(bitmap) || !hasArea(page))
        return std::nullopt;
    // BW * Höhe / BH * PH / PW
    return linkedPercent(hoehe, double(bitmap.width()) * page.height(),
                         double(bitmap.height()) * page.width());
}

QRect PreviewPageRect(QSize box, QSize page) {
    if (!hasArea(box) || !hasArea(page))
        return {};
    const int64_t bw = box.width(), bh = box.height(), pw = page.width(), ph = page.height();
    int64_t w = bw, h = bh;
    if (bw * ph <= bh * pw)
        h = bw * ph / pw; // the width fills the box (every landscape page)
    else
        w = bh * pw / ph;
    return QRect(int((bw - w) / 2), int((bh - h) / 2), int(w), int(h));
}

// ---- the printer --------------------------------------------------------------------------

bool ShowPrintDialog(QPrinter &printer, QWidget *parent) {
    QPrintDialog dialog(&printer, parent);
    // Every page is printed: no page ranges, no selection.
    dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintShowPageSize |
                      QAbstractPrintDialog::PrintCollateCopies);
    return dialog.exec() == QDialog::Accepted;
}

void ShowPageSetup(QPrinter &printer, QWidget *parent) {
    QPageSetupDialog dialog(&printer, parent);
    dialog.exec();
}

QString PrinterNotStartedMessage(const QPrinter &printer) {
    const QString target = printer.outputFormat() == QPrinter::PdfFormat
                               ? QDir::toNativeSeparators(printer.outputFileName())
                               : printer.printerName();
    QString message = TranslateString("Der Drucker konnte nicht gestartet werden.");
    if (!target.isEmpty())
        message += "\n" + target;
    return message;
}

// ---- the dialog ---------------------------------------------------------------------------

namespace {

constexpr int kPreviewWidth = 185, kPreviewHeight = 201;

std::unique_ptr<QSettings> settingsStore() {
    return SettingsStore("TPrintForm");
}

// The check boxes whose caption side (alignment) is kept in the store.
const char *const kAlignedChecks[] = {"UseFullCheck", "UserdefCheck", "ZentrCheck", "SverhCheck"};

QString alignmentOf(const QWidget *check) {
    return check->layoutDirection() == Qt::RightToLeft ? "taLeftJustify" : "taRightJustify";
}

QSpinBox *percentEdit(const char *name) {
    auto *edit = new QSpinBox;
    edit->setObjectName(name);
    edit->setRange(1, 100);
    edit->setValue(50);
    return edit;
}

template <typename Widget> Widget *named(const char *name, const QString &caption) {
    auto *b = new Widget(caption);
    b->setObjectName(name);
    return b;
}

} // namespace

TPrintForm::TPrintForm(std::function<QPrinter &()> printer, QWidget *parent)
    : QDialog(parent), printer(std::move(printer)) {
    setObjectName("PrintForm");
    setWindowTitle("Bild drucken...");
    Label1 = named<QLabel>("Label1", "Vorschau:");
    PrintPaintBox = new QWidget;
    PrintPaintBox->setObjectName("PrintPaintBox");
    PrintPaintBox->setFixedSize(kPreviewWidth, kPreviewHeight);
    PrintPaintBox->installEventFilter(this);
    ScrollBox1 = new QScrollArea;
    ScrollBox1->setObjectName("ScrollBox1");
    ScrollBox1->setWidget(PrintPaintBox);
    ScrollBox1->setAlignment(Qt::AlignCenter);
    ScrollBox1->setMinimumSize(kPreviewWidth + 4, kPreviewHeight + 4);

    UseFullCheck = named<QRadioButton>("UseFullCheck", "Seite voll nutzen");
    UseFullCheck->setChecked(true);
    UserdefCheck = named<QRadioButton>("UserdefCheck", "Benutzerdefiniert");
    BreitEdit = percentEdit("BreitEdit");
    HochEdit = percentEdit("HochEdit");
    GroupBox1 = named<QGroupBox>("GroupBox1", "Druckgröße");
    auto *sizes = new QFormLayout;
    sizes->addRow(named<QLabel>("Label2", "Breite in %:"), BreitEdit);
    sizes->addRow(named<QLabel>("Label3", "Höhe in %:"), HochEdit);
    auto *sizeLayout = new QVBoxLayout(GroupBox1);
    sizeLayout->addWidget(UseFullCheck);
    sizeLayout->addWidget(UserdefCheck);
    sizeLayout->addLayout(sizes);

    SverhCheck = named<QCheckBox>("SverhCheck", "Seitenverhältnis beibehalten");
    SverhCheck->setChecked(true);
    ZentrCheck = named<QCheckBox>("ZentrCheck", "Zentrierte Ausgabe");
    ZentrCheck->setChecked(true);
    GroupBox2 = named<QGroupBox>("GroupBox2", "Druckoptionen");
    auto *optionLayout = new QVBoxLayout(GroupBox2);
    optionLayout->addWidget(SverhCheck);
    optionLayout->addWidget(ZentrCheck);

    PrintSetupBtn = named<QPushButton>("PrintSetupBtn", "Drucker &einrichten...");
    auto *buttons = new QDialogButtonBox;
    OkBitBtn1 = named<QPushButton>("OkBitBtn1", "&OK");
    OkBitBtn1->setDefault(true);
    CancelBitBtn2 = named<QPushButton>("CancelBitBtn2", "A&bbrechen");
    buttons->addButton(OkBitBtn1, QDialogButtonBox::AcceptRole);
    buttons->addButton(CancelBitBtn2, QDialogButtonBox::RejectRole);

    auto *preview = new QVBoxLayout;
    preview->addWidget(Label1);
    preview->addWidget(ScrollBox1);
    preview->addStretch();
    auto *choices = new QVBoxLayout;
    choices->addWidget(GroupBox1);
    choices->addWidget(GroupBox2);
    choices->addWidget(PrintSetupBtn, 0, Qt::AlignLeft);
    choices->addStretch();
    auto *columns = new QHBoxLayout;
    columns->addLayout(preview);
    columns->addLayout(choices, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addWidget(buttons);
    resize(427, 328);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    for (QAbstractButton *b :
         {static_cast<QAbstractButton *>(UseFullCheck), static_cast<QAbstractButton *>(SverhCheck),
          static_cast<QAbstractButton *>(ZentrCheck)})
        connect(b, &QAbstractButton::clicked, this, &TPrintForm::PrintPaintBoxPaint);
    connect(UserdefCheck, &QAbstractButton::clicked, this, &TPrintForm::UserdefCheckClick);
    connect(BreitEdit, &QSpinBox::valueChanged, this, &TPrintForm::BreitEditChange);
    connect(HochEdit, &QSpinBox::valueChanged, this, &TPrintForm::HochEditChange);
    connect(PrintSetupBtn, &QPushButton::clicked, this, &TPrintForm::PrintSetupBtnClick);
}

PrintChoices TPrintForm::Choices() const {
    return {UseFullCheck->isChecked(), SverhCheck->isChecked(), ZentrCheck->isChecked(),
            BreitEdit->value(), HochEdit->value()};
}

QSize TPrintForm::pageSize() const {
    return QSize(Printer().width(), Printer().height());
}

bool TPrintForm::Backplotdrucken(const QImage &bit) {
    di = bit.copy();
    restoreSettings();
    FormShow();
    const bool accepted = execDialog ? execDialog(*this) : exec() == QDialog::Accepted;
    storeSettings();
    di = QImage();
    if (!accepted)
        return false;
    QWidget *owner = parentWidget() ? parentWidget() : this;
    if (!(printDialog ? printDialog(Printer(), owner) : ShowPrintDialog(Printer(), owner)))
        return false;
    if (PrintBitmap(bit))
        return true;
    const QString message = PrinterNotStartedMessage(Printer());
    if (errorBox)
        errorBox(message);
    else
        QMessageBox(QMessageBox::Critical, QString(), message, QMessageBox::Ok, this).exec();
    return false;
}

bool TPrintForm::PrintBitmap(const QImage &bit) {
    Printer().setDocName("Tarnelo");
    const QRect target = PrintRectangle(pageSize(), bit.size(), Choices());
    QPainter painter;
    if (!painter.begin(&Printer()))
        return false;
    painter.drawImage(target, bit);
    return painter.end();
}

void TPrintForm::FormShow() {
    BreitEditChange();
}

void TPrintForm::PrintPaintBoxPaint() {
    BreitEditChange(); // repaints
}

void TPrintForm::UserdefCheckClick() {
    BreitEditChange();
}

void TPrintForm::BreitEditChange() {
    if (inedit)
        return;
    if (SverhCheck->isChecked()) {
        inedit = true;
        if (const auto h = LinkedHeight(BreitEdit->value(), di.size(), pageSize()))
            HochEdit->setValue(*h);
        inedit = false;
    }
    PrintPaintBox->update();
}

void TPrintForm::HochEditChange() {
    if (inedit)
        return;
    if (SverhCheck->isChecked()) {
        inedit = true;
        if (const auto w = LinkedWidth(HochEdit->value(), di.size(), pageSize()))
            BreitEdit->setValue(*w);
        inedit = false;
    }
    PrintPaintBox->update();
}

void TPrintForm::PrintSetupBtnClick() {
    if (printerSetup)
        printerSetup(Printer(), this);
    else
        ShowPageSetup(Printer(), this);
    PrintPaintBoxPaint();
}

void TPrintForm::showEvent(QShowEvent *event) {
    QDialog::showEvent(event);
    if (const QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

bool TPrintForm::eventFilter(QObject *watched, QEvent *event) {
    if (watched == PrintPaintBox && event->type() == QEvent::Paint) {
        paintPreview();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

// The page as a white sheet with a black border, and the picture placed on it as it will be
// printed.
void TPrintForm::paintPreview() {
    QPainter painter(PrintPaintBox);
    const QRect page = PreviewPageRect(PrintPaintBox->size(), pageSize());
    if (page.isEmpty())
        return;
    painter.fillRect(page, Qt::white);
    painter.setPen(Qt::black);
    painter.drawRect(page.adjusted(0, 0, -1, -1));
    if (!di.isNull())
        painter.drawImage(
            PrintRectangle(page.size(), di.size(), Choices()).translated(page.topLeft()), di);
}

void TPrintForm::restoreSettings() {
    auto store = settingsStore();
    inedit = true; // the stored pair is taken as it is
    BreitEdit->setValue(store->value("BreitEdit.Value", BreitEdit->value()).toInt());
    HochEdit->setValue(store->value("HochEdit.Value", HochEdit->value()).toInt());
    inedit = false;
    // A modal dialog must not come back minimised.
    const auto state = Qt::WindowStates(store->value("WindowState", 0).toInt());
    setWindowState(state & ~Qt::WindowMinimized);
    for (const char *name : kAlignedChecks) {
        const QString alignment = store->value(QString(name) + ".Alignment").toString();
        if (!alignment.isEmpty())
            findChild<QWidget *>(name)->setLayoutDirection(
                alignment == "taLeftJustify" ? Qt::RightToLeft : Qt::LeftToRight);
    }
}

void TPrintForm::storeSettings() {
    auto store = settingsStore();
    store->setValue("BreitEdit.Value", BreitEdit->value());
    store->setValue("HochEdit.Value", HochEdit->value());
    store->setValue("WindowState", int(windowState()));
    for (const char *name : kAlignedChecks)
        store->setValue(QString(name) + ".Alignment", alignmentOf(findChild<QWidget *>(name)));
}

} // namespace morvilo
