#pragma once
// "Werkzeug": the tool, the stock and the resolution of the machining preview.

#include "simulate/previewsettings.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;

namespace morvilo {

class TPreviewToolForm : public QDialog {
    Q_OBJECT

public:
    explicit TPreviewToolForm(const PreviewSettings &settings, QWidget *parent = nullptr);

    // The settings as the fields say.
    PreviewSettings Settings() const;
    // Closes only with a stock whose minimum lies below its maximum and a readable tool table.
    void accept() override;
    // Shows only the tool (shape, diameter, angle): the relief panel chooses its tools here.
    void ShowToolOnly();

    QComboBox *ShapeCombo;
    QDoubleSpinBox *DiameterEd, *AngleEd;
    QCheckBox *AutoStockCheck, *AutoResolutionCheck;
    QDoubleSpinBox *XMinEd, *YMinEd, *XMaxEd, *YMaxEd, *TopEd, *ResolutionEd;
    // The tool table: "T1=flat:6 T2=ball:3", empty for one tool throughout.
    QLineEdit *ToolTableEd;
    QLabel *ProblemLabel;

private:
    void enableFields();
};

} // namespace morvilo
