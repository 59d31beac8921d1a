// TMainform: the backplot page's tool bars, the run-control commands and timers, and the mouse
// in the plot (pick, rotate, pan, coordinates under the pointer, wheel zoom).

#include "app/icons.h"
#include "app/mainform.h"
#include "app/plotbox.h"
#include "editor/texteditorlf.h"
#include "interpreter/calcrun.h"
#include "translation/translateunit.h"

#include <QAction>
#include <QActionGroup>
#include <QLabel>
#include <QMouseEvent>
#include <QSpinBox>
#include <QStatusBar>
#include <QToolBar>

#include <numbers>

namespace morvilo {

namespace {

// The run tool bar's buttons show pictures only (the theme's or our own drawings): symbol
// characters as captions would pass the translation table as texts.
struct RunButton {
    const char *name;
    const char *hint;
    const char *icon;
    void (TMainform::*command)();
};

const RunButton kRunButtons[] = {
    {"CalcBtn", "Darstellung aktuallisieren", "view-refresh", &TMainform::NeuberechnenClick},
    {"StopBtn", "Berechnung unterbrechen", "process-stop", &TMainform::stopbtnClick},
    {nullptr, nullptr, nullptr, nullptr},
    {"ToolButton24", "Zum Anfang des Programms", "go-first", &TMainform::ToolButton24Click},
    {"AnimateBtn", "Animieren", "media-playback-start", &TMainform::AnimateBtnClick},
    {"ToolButton18", "Pause", "media-playback-pause", &TMainform::ToolButton18Click},
    {"ToolButton23", "Eine Zeile weiter", "go-next", &TMainform::ToolButton23Click},
    {nullptr, nullptr, nullptr, nullptr},
    {"ToolButton14", "Plot bis zum Cursor", "go-bottom", &TMainform::ToolButton14Click},
    {"ToolButton15", "Plot ab dem Cursor", "go-top", &TMainform::ToolButton15Click},
    {"ToolButton16", "Auswahl bzw aktuelle Zeile plotten", "edit-select-all",
     &TMainform::ToolButton16Click},
};

// A button that shows the theme's icon, or its short text where the theme has none.
QAction *addButton(QToolBar *bar, const char *name, const QString &text, const QString &hint,
                   const char *icon) {
    QAction *a = bar->addAction(text);
    a->setObjectName(name);
    a->setToolTip(hint);
    if (icon && QIcon::hasThemeIcon(icon))
        a->setIcon(QIcon::fromTheme(icon));
    return a;
}

} // namespace

QToolBar *TMainform::createViewToolBar() {
    auto *bar = new QToolBar(QString::fromUtf8("Backplot-Ansicht"));
    bar->setObjectName("ToolBar1");
    for (const FixedViewData &fixed : FixedViews()) {
        const QString caption = *fixed.caption       ? QString::fromUtf8(fixed.caption)
                                : fixed.diametermode ? QString::fromUtf8("Ø")
                                                     : QString::fromUtf8("R");
        QAction *a = addButton(bar, fixed.button, caption, QString::fromUtf8(fixed.hint), nullptr);
        const FixedView which = fixed.view;
        connect(a, &QAction::triggered, this, [this, which] { FixedViewClick(which); });
        menu.actions.insert(fixed.button, a);
    }
    bar->addSeparator();
    struct ViewStep {
        const char *name, *text, *hint, *icon;
    };
    const ViewStep steps[] = {
        {"ToolButton6", "+", "Vergrößern", "zoom-in"},
        {"ToolButton7", "-", "Verkleinern", "zoom-out"},
        {"ToolButton17", "[ ]", "Zoom so dass alles ins Fenster passt", "zoom-fit-best"},
        {"RotLeftBtn", "<", "Nach links rotieren", "object-rotate-left"},
        {"RotRightBtn", ">", "Nach rechts rotieren", "object-rotate-right"},
        {"RotTopBtn", "^", "Nach oben rotieren", "go-up"},
        {"RotDownBtn", "v", "Nach unten rotieren", "go-down"},
    };
    for (const ViewStep &step : steps) {
        QAction *a = addButton(bar, step.name, QString::fromUtf8(step.text),
                               QString::fromUtf8(step.hint), step.icon);
        menu.actions.insert(step.name, a);
        const QString name = step.name;
        connect(a, &QAction::triggered, this, [this, name] { ViewStepClick(name); });
    }
    bar->addSeparator();
    auto *group = new QActionGroup(this);
    struct ModeButton {
        const char *name, *text, *hint;
    };
    const ModeButton modes[] = {
        {"RotBtn", "Rot", "Rotieren: rotieren, auswählen; rechte Maustaste: verschieben"},
        {"ZeigerBtn", "Zeiger", "Zeiger: Linien anklicken und auswählen"},
        {"HandBtn", "Hand", "Hand: verschieben"},
        {"MessenBtn", "Messen",
         "Messen: zwei Punkte der Bahn anklicken, dX, dY, dZ und Abstand stehen in der "
         "Statusleiste"},
    };
    for (const ModeButton &mode : modes) {
        QAction *a = addButton(bar, mode.name, QString::fromUtf8(mode.text),
                               QString::fromUtf8(mode.hint), nullptr);
        a->setCheckable(true);
        group->addAction(a);
        menu.actions.insert(mode.name, a);
    }
    action("RotBtn")->setChecked(true);
    // A measurement begins afresh whenever the mode is chosen.
    connect(action("MessenBtn"), &QAction::toggled, this, [this] { ResetMeasurement(); });
    return bar;
}

QToolBar *TMainform::createRunToolBar() {
    auto *bar = new QToolBar(QString::fromUtf8("Programmlauf"));
    bar->setObjectName("ToolBar3");
    for (const RunButton &button : kRunButtons) {
        if (!button.name) {
            bar->addSeparator();
            continue;
        }
        const QString hint = QString::fromUtf8(button.hint);
        QAction *a = bar->addAction(ToolIcon(button.icon), hint);
        a->setObjectName(button.name);
        a->setToolTip(hint);
        menu.actions.insert(button.name, a);
        connect(a, &QAction::triggered, this, button.command);
    }
    bar->addSeparator();
    auto *label = new QLabel(QString::fromUtf8(" Verzögerung: "));
    label->setObjectName("Label11");
    bar->addWidget(label);
    verzoeg = new QSpinBox;
    verzoeg->setObjectName("verzoeg");
    verzoeg->setRange(0, 1000000000);
    verzoeg->setSingleStep(10);
    verzoeg->setValue(50);
    connect(verzoeg, &QSpinBox::valueChanged, this, [this](int ms) { flags.verzoeg = ms; });
    bar->addWidget(verzoeg);
    return bar;
}

void TMainform::createRunTimers() {
    auto oneShot = [this](QTimer &timer, int ms, auto fired) {
        timer.setSingleShot(true);
        timer.setInterval(ms);
        connect(&timer, &QTimer::timeout, this, fired);
    };
    oneShot(Timer2, 1000, [this] { Timer2Timer(); });
    oneShot(Timer4, 10, [this] { PaintBox1->update(); }); // the caret marker moves
    oneShot(Timer5, 100, [this] {
        restoreEditorPlace();
        plotUpTo(memo1->core().curx);
    });
    oneShot(Timer6, 1000, [this] {
        restoreEditorPlace();
        plotFrom(memo1->core().curx);
    });
    oneShot(Timer7, 100, [this] {
        restoreEditorPlace();
        flags.pause = false;
        flags.animatesleep = 0;
        flags.plotvon = flags.plotbis = ocurx2;
        CalcBtnClick();
    });
    oneShot(Timer8, 100, [this] { ToolButton23Click(); });
    Timer3.setInterval(30);
    connect(&Timer3, &QTimer::timeout, this, [this] {
        view.rotxv += std::numbers::pi / 100;
        view.rotzv += std::numbers::pi / 50;
        PaintBox1->RepaintAll();
    });
    connect(memo1, &TTextEditorLF::OnLineChange, this, [this] { Timer4.start(); });
}

// ---- run control

void TMainform::Timer2Timer() {
    CalcBtnClick();
}

void TMainform::NeuberechnenClick() {
    flags.pause = false;
    flags.animatesleep = 0;
    CalcBtnClick();
}

void TMainform::stopbtnClick() {
    flags.breakprogram = true;
    flags.pause = false;
}

void TMainform::AnimateBtnClick() {
    if (flags.pause) {
        flags.pause = false;
        return;
    }
    flags.animatesleep = 100;
    CalcBtnClick();
}

void TMainform::ToolButton18Click() {
    if (flags.inrender)
        flags.pause = true;
}

void TMainform::ToolButton23Click() {
    flags.pause = true;
    if (flags.inrender)
        flags.oneline = true;
    flags.animatesleep = 100;
    if (!flags.inrender)
        CalcBtnClick();
}

void TMainform::ToolButton24Click() {
    flags.pause = false;
    flags.breakprogram = true;
    Timer8.start();
}

// A plot command during a run ends the run and starts again from a timer, with the editor's
// place as it was when the command was given.
bool TMainform::replaceRunningRun(QTimer &restart) {
    if (!flags.inrender)
        return false;
    flags.pause = false;
    flags.breakprogram = true;
    oposy2 = memo1->core().posy;
    ocurx2 = memo1->core().curx;
    restart.start();
    return true;
}

void TMainform::restoreEditorPlace() {
    TEditorCore &core = memo1->core();
    core.posy = oposy2;
    core.curx = core.markx = ocurx2;
    core.checksize();
    core.UpdateCaretPos(true, false, false);
}

void TMainform::plotUpTo(int64_t offset) {
    flags.animatesleep = 0;
    flags.plotbis = offset;
    CalcBtnClick();
}

void TMainform::plotFrom(int64_t offset) {
    flags.animatesleep = 0;
    flags.plotvon = offset;
    CalcBtnClick();
}

void TMainform::ToolButton14Click() {
    if (!replaceRunningRun(Timer5))
        plotUpTo(memo1->core().curx);
}

void TMainform::ToolButton15Click() {
    if (!replaceRunningRun(Timer6))
        plotFrom(memo1->core().curx);
}

void TMainform::ToolButton16Click() {
    if (replaceRunningRun(Timer7))
        return;
    flags.pause = false;
    flags.animatesleep = 0;
    flags.plotvon = memo1->core().curx;
    flags.plotbis = memo1->core().markx;
    if (flags.plotbis < flags.plotvon)
        std::swap(flags.plotvon, flags.plotbis);
    CalcBtnClick();
}

// ---- view commands

void TMainform::FixedViewClick(FixedView which) {
    PaintBox1->Settle(); // the fit reads the pixel box of the last paint
    const bool rerun = SetFixedView(view, options.diametermode, which, PaintBox1->width(),
                                    PaintBox1->height(), [this] { PaintBox1->RepaintAll(); });
    if (rerun) {
        freshloaded = true; // the plot changes its scale: fitted after the run
        CalcBtnClick();
    }
}

void TMainform::ViewStepClick(const QString &name) {
    PaintBox1->Settle(); // the fit reads the pixel box of the last paint
    if (name == "ToolButton6")
        ZoomIn(view);
    else if (name == "ToolButton7")
        ZoomOut(view);
    else if (name == "ToolButton17")
        ZoomToFit(view, PaintBox1->width(), PaintBox1->height(),
                  [this] { PaintBox1->RepaintAll(); });
    else if (name == "RotLeftBtn")
        Rotate(view, RotationStep::Left);
    else if (name == "RotRightBtn")
        Rotate(view, RotationStep::Right);
    else if (name == "RotTopBtn")
        Rotate(view, RotationStep::Up);
    else if (name == "RotDownBtn")
        Rotate(view, RotationStep::Down);
    PaintBox1->RepaintAll();
}

void TMainform::Automatischrotieren1Click() {
    if (isChecked("Automatischrotieren1"))
        Timer3.start();
    else
        Timer3.stop();
}

// ---- the mouse in the plot

void TMainform::PaintBox1MouseDown(Qt::MouseButton button, int x, int y) {
    if (moveit)
        return;
    Edit1->setFocus();
    if (isChecked("MessenBtn")) {
        MeasureClick(x, y);
        return;
    }
    if ((isChecked("ZeigerBtn") || isChecked("RotBtn")) && pickLine(x, y))
        return;
    moveit = true;
    const bool left = button == Qt::LeftButton;
    if (isChecked("RotBtn"))
        mmode = left ? 0 : 1;
    else if (isChecked("ZeigerBtn"))
        moveit = false; // the pointer never drags
    else
        mmode = left ? 1 : 0;
    mx = x;
    my = y;
    view.otx = view.tx;
    view.oty = view.ty;
    view.orotxv = view.rotxv;
    view.orotzv = view.rotzv;
}

bool TMainform::pickLine(int x, int y) {
    const int64_t index = PaintBox1->PickAt(x, y);
    if (index < 0 || index >= int64_t(lines.Count()))
        return false;
    const t9dline &segment = lines[uint32_t(index)];
    if (AxisCross(segment))
        return false; // the axis cross has no source line
    TEditorCore &core = memo1->core();
    core.markx = segment.zeilevon;
    core.curx = segment.zeilebis;
    core.posy = segment.zeilevon;
    core.checksize();
    core.UpdateCaretPos(true, true, false);
    PaintBox1->RepaintAll();
    return true;
}

void TMainform::PaintBox1MouseMove(int x, int y) {
    if (view.hasinverted) {
        double wx = 0, wy = 0, wz = 0;
        koordmat2(x, y, view.lastinvert, wx, wy, wz);
        if (options.diametermode)
            wx *= 2;
        // QString::number writes a point whatever the user's locale.
        auto fixed = [](double value) { return QString::number(value, 'f', 2); };
        statusBar()->showMessage(
            QStringLiteral("X%1, Y%2, Z %3").arg(fixed(wx), fixed(wy), fixed(wz)));
    }
    if (!moveit)
        return;
    if (mmode == 0) {
        view.rotzv = view.orotzv + (x - mx) / 100.0;
        view.rotxv = view.orotxv + (my - y) / 100.0;
    } else {
        view.tx = view.otx + (x - mx);
        view.ty = view.oty + (y - my);
    }
    PaintBox1->RepaintAll();
}

void TMainform::PaintBox1MouseUp(int x, int y) {
    if (!moveit)
        return;
    PaintBox1MouseMove(x, y);
    moveit = false;
}

void TMainform::PaintBox1Wheel(int delta) {
    if (focusWidget() == Edit1 && WheelZoom(view, delta))
        PaintBox1->RepaintAll();
}

} // namespace morvilo
