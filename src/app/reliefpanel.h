#pragma once
// Panel3: the relief parameters the generator reads when it starts. Reals are shown, and
// therefore used, with two decimals; every value is clamped to its control's range.

#include "relief/reliefgenerator.h"

#include <QFrame>

class QCheckBox;
class QDoubleSpinBox;
class QSpinBox;

namespace morvilo {

class TReliefPanel : public QFrame {
    Q_OBJECT

public:
    explicit TReliefPanel(QWidget *parent = nullptr);

    // The values as the controls hold them now; the width with the full precision of the
    // text shown.
    ReliefParameters parameters() const;
    // Shows the values (the command line's levels, width, distance and inversion).
    void setParameters(const ReliefParameters &p);

    QDoubleSpinBox *SicherEd, *FraesTiefe, *BreitEdValue, *XStartEd, *YStartEd, *ZStartEd,
        *AbstandFrEd;
    QSpinBox *AbstufEd;
    QCheckBox *InvertCheck, *CheckMinMaxBrightCheck;
    // "Nachkommastellen:" lives on the main tool bar; the panel creates and reads it.
    QSpinBox *NachkommaEd;

private:
    QDoubleSpinBox *realEdit(const char *name, double low, double high, double value);
};

} // namespace morvilo
