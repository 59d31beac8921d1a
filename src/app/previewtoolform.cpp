#include "app/previewtoolform.h"

#include "translation/translateunit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

namespace morvilo {

namespace {

QString translated(const char *german) {
    return TranslateString(QString::fromUtf8(german));
}

QDoubleSpinBox *numberEdit(const char *name, double low, double high, int decimals) {
    auto *edit = new QDoubleSpinBox;
    edit->setObjectName(name);
    edit->setLocale(QLocale::c()); // a point whatever the user's locale
    edit->setDecimals(decimals);
    edit->setRange(low, high);
    return edit;
}

} // namespace

TPreviewToolForm::TPreviewToolForm(const PreviewSettings &settings, QWidget *parent)
    : QDialog(parent) {
    setObjectName("TPreviewToolForm");
    setWindowTitle(translated("Werkzeug"));
    ShapeCombo = new QComboBox;
    ShapeCombo->setObjectName("ShapeCombo");
    ShapeCombo->addItems(
        {translated("Schaftfräser"), translated("Kugelfräser"), translated("V-Fräser")});
    ShapeCombo->setCurrentIndex(int(settings.tool.shape));
    DiameterEd = numberEdit("DiameterEd", 0.001, 1e4, 3);
    DiameterEd->setValue(settings.tool.diameter);
    AngleEd = numberEdit("AngleEd", 1, 179, 1);
    AngleEd->setValue(settings.tool.angle);

    AutoStockCheck = new QCheckBox(
        translated("Rohteil aus dem Programm (Ausdehnung plus Werkzeugradius, Oberseite Z 0)"));
    AutoStockCheck->setObjectName("AutoStockCheck");
    AutoStockCheck->setChecked(!settings.stock);
    const Stock stock = settings.stock.value_or(Stock{0, 0, 100, 100, 0});
    XMinEd = numberEdit("XMinEd", -1e6, 1e6, 4);
    YMinEd = numberEdit("YMinEd", -1e6, 1e6, 4);
    XMaxEd = numberEdit("XMaxEd", -1e6, 1e6, 4);
    YMaxEd = numberEdit("YMaxEd", -1e6, 1e6, 4);
    TopEd = numberEdit("TopEd", -1e6, 1e6, 4);
    XMinEd->setValue(stock.xmin);
    YMinEd->setValue(stock.ymin);
    XMaxEd->setValue(stock.xmax);
    YMaxEd->setValue(stock.ymax);
    TopEd->setValue(stock.top);

    AutoResolutionCheck =
        new QCheckBox(translated("Auflösung automatisch (etwa 4 Millionen Zellen)"));
    AutoResolutionCheck->setObjectName("AutoResolutionCheck");
    AutoResolutionCheck->setChecked(!settings.resolution);
    ResolutionEd = numberEdit("ResolutionEd", 0.0001, 1e4, 4);
    ResolutionEd->setValue(settings.resolution.value_or(0.1));

    ToolTableEd = new QLineEdit(QString::fromStdString(ToolTableText(settings.tools)));
    ToolTableEd->setObjectName("ToolTableEd");
    ToolTableEd->setPlaceholderText(QStringLiteral("T1=flat:6 T2=ball:3 T3=vbit:6:90"));
    ToolTableEd->setToolTip(
        translated("Der Fräser jeder Werkzeugnummer ab ihrem Werkzeugwechsel (M6): Tn=flat:D, "
                   "Tn=ball:D oder Tn=vbit:D:WINKEL. Leer: ein Fräser für das ganze Programm; "
                   "vor dem ersten Wechsel und für Nummern ohne Eintrag gilt der Fräser oben."));

    ProblemLabel = new QLabel;
    ProblemLabel->setObjectName("ProblemLabel");
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setText(translated("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(translated("Abbrechen"));
    connect(buttons, &QDialogButtonBox::accepted, this, &TPreviewToolForm::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &TPreviewToolForm::reject);

    auto *form = new QFormLayout;
    form->addRow(translated("Form:"), ShapeCombo);
    form->addRow(translated("Durchmesser:"), DiameterEd);
    form->addRow(translated("Spitzenwinkel:"), AngleEd);
    form->addRow(translated("Werkzeuge je T-Nummer:"), ToolTableEd);
    form->addRow(AutoStockCheck);
    form->addRow(translated("X min:"), XMinEd);
    form->addRow(translated("Y min:"), YMinEd);
    form->addRow(translated("X max:"), XMaxEd);
    form->addRow(translated("Y max:"), YMaxEd);
    form->addRow(translated("Z oben:"), TopEd);
    form->addRow(AutoResolutionCheck);
    form->addRow(translated("Auflösung:"), ResolutionEd);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(ProblemLabel);
    layout->addWidget(buttons);

    connect(ShapeCombo, &QComboBox::currentIndexChanged, this, [this] { enableFields(); });
    connect(AutoStockCheck, &QCheckBox::toggled, this, [this] { enableFields(); });
    connect(AutoResolutionCheck, &QCheckBox::toggled, this, [this] { enableFields(); });
    enableFields();
}

void TPreviewToolForm::ShowToolOnly() {
    auto *form = findChild<QFormLayout *>();
    for (QWidget *field :
         {static_cast<QWidget *>(ToolTableEd), static_cast<QWidget *>(AutoStockCheck),
          static_cast<QWidget *>(XMinEd), static_cast<QWidget *>(YMinEd),
          static_cast<QWidget *>(XMaxEd), static_cast<QWidget *>(YMaxEd),
          static_cast<QWidget *>(TopEd), static_cast<QWidget *>(AutoResolutionCheck),
          static_cast<QWidget *>(ResolutionEd)})
        form->setRowVisible(field, false);
    adjustSize();
}

void TPreviewToolForm::enableFields() {
    AngleEd->setEnabled(ShapeCombo->currentIndex() == int(ToolShape::VBit));
    for (QDoubleSpinBox *edit : {XMinEd, YMinEd, XMaxEd, YMaxEd, TopEd})
        edit->setEnabled(!AutoStockCheck->isChecked());
    ResolutionEd->setEnabled(!AutoResolutionCheck->isChecked());
}

PreviewSettings TPreviewToolForm::Settings() const {
    PreviewSettings settings;
    settings.tool = {ToolShape(ShapeCombo->currentIndex()), DiameterEd->value(), AngleEd->value()};
    if (!AutoStockCheck->isChecked())
        settings.stock = Stock{XMinEd->value(), YMinEd->value(), XMaxEd->value(), YMaxEd->value(),
                               TopEd->value()};
    if (!AutoResolutionCheck->isChecked())
        settings.resolution = ResolutionEd->value();
    settings.tools = ParseToolTable(ToolTableEd->text().toStdString()).value_or(settings.tools);
    return settings;
}

void TPreviewToolForm::accept() {
    const PreviewSettings settings = Settings();
    if (settings.stock && !StockIsValid(*settings.stock)) {
        ProblemLabel->setText(
            translated("X min muss kleiner als X max und Y min kleiner als Y max sein."));
        return;
    }
    std::string bad;
    if (!ParseToolTable(ToolTableEd->text().toStdString(), &bad)) {
        ProblemLabel->setText(
            TranslateMessage({"Der Eintrag „%1“ der Werkzeuge ist kein Tn=flat:D, Tn=ball:D oder "
                              "Tn=vbit:D:WINKEL, oder seine T-Nummer kommt zweimal vor.",
                              {bad}}));
        return;
    }
    QDialog::accept();
}

} // namespace morvilo
