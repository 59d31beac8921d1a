#include "app/picturepreview.h"

#include "relief/grafikrw.h"
#include "translation/translateunit.h"
#include "vantrel/room.h"

#include "relief/surfacepath.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <cstring>

namespace morvilo {

namespace {

constexpr int kPreviewSize = 480; // the longer side of the preview as it is kept
// The cells of the grid the target surface and the simulated part are drawn on.
constexpr double kViewCells = 1e6;

// A 24-bit picture as an image, top row first.
QImage imageOf(const dib &picture) {
    const int width = DibBreit(picture), height = DibHoch(picture);
    QImage image(width, height, QImage::Format_BGR888);
    if (image.isNull())
        return {};
    for (int y = 0; y < height; ++y)
        std::memcpy(image.scanLine(height - 1 - y), picture.row(y), size_t(width) * 3);
    return image;
}

// Level 0 (the shallowest) white, the deepest dark grey.
QImage imageOf(const ReliefLevelMap &map) {
    if (map.cells.empty())
        return {};
    QImage image(map.width, map.height, QImage::Format_Indexed8);
    if (image.isNull())
        return {};
    QList<QRgb> shades;
    for (int level = 0; level < map.levels; ++level) {
        const int grey = 255 - 215 * level / std::max(1, map.levels - 1);
        shades.push_back(qRgb(grey, grey, grey));
    }
    image.setColorTable(shades);
    for (int y = 0; y < map.height; ++y)
        std::memcpy(image.scanLine(map.height - 1 - y),
                    map.cells.data() + size_t(y) * size_t(map.width), size_t(map.width));
    return image;
}

QLabel *imageLabel(const char *name) {
    auto *label = new QLabel;
    label->setObjectName(name);
    label->setAlignment(Qt::AlignCenter);
    label->setMinimumSize(80, 40);
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    label->setFrameShape(QFrame::StyledPanel);
    return label;
}

QString text(const char *german, const std::vector<std::string> &values = {}) {
    return TranslateMessage({german, values});
}

} // namespace

TPicturePreview::TPicturePreview(QWidget *parent) : QWidget(parent) {
    setObjectName("PicturePreview");
    PreviewImage = imageLabel("PreviewImage");
    LevelMapImage = imageLabel("LevelMapImage");
    FiguresLabel = new QLabel;
    FiguresLabel->setObjectName("FiguresLabel");
    FiguresLabel->setWordWrap(true);
    FiguresLabel->setTextFormat(Qt::PlainText);
    // The picture and its level map side by side, the figures below them.
    auto *layout = new QGridLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(new QLabel(QString::fromUtf8("Bild:")), 0, 0);
    MapCaption = new QLabel(QString::fromUtf8("Stufenkarte:"));
    MapCaption->setObjectName("MapCaption");
    layout->addWidget(MapCaption, 0, 1);
    layout->addWidget(PreviewImage, 1, 0);
    layout->addWidget(LevelMapImage, 1, 1);
    layout->addWidget(FiguresLabel, 2, 0, 1, 2);
    SimulateCheck = new QCheckBox(QString::fromUtf8("Vorschau"));
    SimulateCheck->setObjectName("SimulateCheck");
    SimulateCheck->setToolTip(
        QString::fromUtf8("Das Werkstück zeigen, das das Programm fräst (simuliert wie in der "
                          "Bearbeitungsvorschau)"));
    SimulateProgress = new QProgressBar;
    SimulateProgress->setObjectName("SimulateProgress");
    SimulateProgress->setRange(0, 1000);
    SimulateProgress->setTextVisible(false);
    SimulateProgress->setMaximumHeight(14);
    SimulateCancel = new QPushButton(QString::fromUtf8("Abbrechen"));
    SimulateCancel->setObjectName("SimulateCancel");
    auto *simulation = new QHBoxLayout;
    simulation->addWidget(SimulateCheck);
    simulation->addWidget(SimulateProgress, 1);
    simulation->addWidget(SimulateCancel);
    simulation->addStretch(0);
    layout->addLayout(simulation, 3, 0, 1, 2);
    for (QWidget *widget :
         {static_cast<QWidget *>(SimulateCheck), static_cast<QWidget *>(SimulateProgress),
          static_cast<QWidget *>(SimulateCancel)})
        widget->hide();
    layout->setRowStretch(1, 1);
    layout->setColumnStretch(0, 1);
    layout->setColumnStretch(1, 1);

    estimateDelay.setSingleShot(true);
    estimateDelay.setInterval(150);
    connect(&estimateDelay, &QTimer::timeout, this, &TPicturePreview::startEstimate);
    connect(&loading, &QFutureWatcher<Loaded>::finished, this, [this] {
        if (loading.future().resultCount() > 0)
            pictureLoaded(loading.result());
    });
    connect(&estimating, &QFutureWatcher<Figures>::finished, this, &TPicturePreview::estimateDone);

    connect(&shading, &QFutureWatcher<Shaded>::finished, this, &TPicturePreview::targetDone);
    connect(&simulating, &QFutureWatcher<Shaded>::finished, this, &TPicturePreview::simulationDone);
    simulateDelay.setSingleShot(true);
    simulateDelay.setInterval(300);
    connect(&simulateDelay, &QTimer::timeout, this, &TPicturePreview::startSimulation);
    progressTimer.setInterval(100);
    connect(&progressTimer, &QTimer::timeout, this, [this] {
        if (simulationProgress)
            SimulateProgress->setValue(simulationProgress->permille);
    });
    connect(SimulateCheck, &QCheckBox::toggled, this, [this](bool on) {
        if (on) {
            startSimulation();
        } else {
            stopSimulation();
            part = {};
            partProblem.clear();
            showMap();
        }
    });
    connect(SimulateCancel, &QPushButton::clicked, SimulateCheck,
            [this] { SimulateCheck->setChecked(false); });
}

TPicturePreview::~TPicturePreview() {
    if (estimateProgress)
        estimateProgress->cancel = true;
    if (simulationProgress)
        simulationProgress->cancel = true;
    loading.waitForFinished();
    estimating.waitForFinished();
    shading.waitForFinished();
    simulating.waitForFinished();
}

TPicturePreview::Loaded TPicturePreview::load(const QString &path) {
    Loaded loaded;
    loaded.path = path;
    auto picture = std::make_shared<dib>();
    OpenPicture(*picture, path.toStdString());
    if (picture->poi() == nullptr)
        return loaded;
    DepthUpTo(*picture, 24);
    if (picture->poi() == nullptr || picture->pmi.biBitCount != 24)
        return loaded;
    loaded.preview = imageOf(*picture).scaled(kPreviewSize, kPreviewSize, Qt::KeepAspectRatio,
                                              Qt::SmoothTransformation);
    loaded.picture = std::move(picture);
    return loaded;
}

void TPicturePreview::showPicture(const QString &path) {
    wantedPath = path;
    if (loading.isRunning() || path == picturePath)
        return; // the picture that is wanted then is read when this one is done
    if (path.isEmpty()) {
        pictureLoaded({});
        return;
    }
    loading.setFuture(QtConcurrent::run(&TPicturePreview::load, path));
}

void TPicturePreview::pictureLoaded(Loaded loaded) {
    if (loaded.path != wantedPath) { // another picture was chosen meanwhile
        showPicture(wantedPath);
        return;
    }
    picturePath = loaded.path;
    picture = std::move(loaded.picture);
    preview = std::move(loaded.preview);
    showScaled(PreviewImage, preview);
    if (!picture)
        PreviewImage->setText(
            picturePath.isEmpty() ? QString() : text("Das Bild konnte nicht geladen werden."));
    target = {};
    setParameters(parameters);
}

void TPicturePreview::setParameters(const ReliefParameters &p) {
    parameters = p;
    ++version;
    SimulateCheck->setVisible(surface());
    if (surface()) {
        updateSurface();
        return;
    }
    stopSimulation();
    updateLevelMap();
}

void TPicturePreview::updateLevelMap() {
    if (estimateProgress)
        estimateProgress->cancel = true;
    estimateReady = false;
    map = picture ? ComputeLevelMap(parameters, *picture, kLevelMapCells) : ReliefLevelMap{};
    levelImage = imageOf(map);
    showMap();
    if (!picture) {
        FiguresLabel->clear();
        return;
    }
    if (map.columns < 2 || map.rows < 1) {
        FiguresLabel->setText(
            text(kMessageGridTooSmall,
                 {std::to_string(std::max<int64_t>(map.columns, 0)), std::to_string(map.rows)}));
        return;
    }
    FiguresLabel->setText(text("Raster %1 × %2 - Programmgröße und Laufzeit werden berechnet...",
                               {std::to_string(map.columns), std::to_string(map.rows)}));
    estimateDelay.start();
}

void TPicturePreview::updateSurface() {
    if (estimateProgress)
        estimateProgress->cancel = true;
    estimateReady = false;
    map = {};
    stopSimulation();
    part = {};
    partProblem.clear();
    if (!picture) {
        target = {};
        showMap();
        FiguresLabel->clear();
        return;
    }
    // The target shown so far stays until the new one is there.
    startTarget();
    showMap();
    FiguresLabel->setStyleSheet(QString());
    FiguresLabel->setText(text("Programmgröße und Laufzeit werden berechnet..."));
    estimateDelay.start();
    if (SimulateCheck->isChecked())
        simulateDelay.start();
}

std::optional<ReliefViewGrid> TPicturePreview::viewGrid() const {
    return picture
               ? ChooseReliefViewGrid(parameters, DibBreit(*picture), DibHoch(*picture), kViewCells)
               : std::nullopt;
}

void TPicturePreview::startTarget() {
    if (!picture || shading.isRunning())
        return; // the one running is made again when it is done
    shading.setFuture(QtConcurrent::run([p = parameters, picture = picture, grid = viewGrid(),
                                         v = version]() -> Shaded {
        Shaded shaded;
        shaded.version = v;
        try {
            const TargetSurface surface = ComputeTargetSurface(p, *picture);
            HeightField field;
            if (grid && TargetField(surface, SurfaceFrame(p).Up(), *grid, field, shaded.problem))
                shaded.image = TopView(field, kPreviewSize, kPreviewSize);
        } catch (const std::bad_alloc &) {
            shaded.problem = {kMessageNoMemory, {}};
        }
        return shaded;
    }));
}

void TPicturePreview::targetDone() {
    if (shading.future().resultCount() == 0)
        return;
    const Shaded shaded = shading.result();
    if (shaded.version != version) { // the one shown stays until the wanted one is there
        if (surface() && picture)
            startTarget();
        return;
    }
    target = shaded.image;
    showMap();
}

void TPicturePreview::startSimulation() {
    if (!SimulateCheck->isChecked() || !surface() || !picture)
        return;
    if (simulating.isRunning()) { // told to stop; the next starts when it has
        simulationProgress->cancel = true;
        return;
    }
    const std::optional<ReliefViewGrid> grid = viewGrid();
    if (!grid)
        return;
    simulationProgress = std::make_shared<SimulationProgress>();
    SimulateProgress->setValue(0);
    SimulateProgress->show();
    SimulateCancel->show();
    progressTimer.start();
    simulating.setFuture(
        QtConcurrent::run([p = parameters, path = picturePath.toStdString(), grid = *grid,
                           progress = simulationProgress, v = version]() -> Shaded {
            Shaded shaded;
            shaded.version = v;
            try {
                const ReliefSimulation simulation = SimulateSurfaceRelief(p, path, grid, *progress);
                shaded.problem = simulation.problem;
                if (simulation.part)
                    shaded.image = TopView(*simulation.part, kPreviewSize, kPreviewSize);
            } catch (const std::bad_alloc &) {
                shaded.problem = {kMessageNoMemory, {}};
            }
            return shaded;
        }));
}

void TPicturePreview::stopSimulation() {
    simulateDelay.stop();
    if (simulationProgress)
        simulationProgress->cancel = true;
}

void TPicturePreview::simulationDone() {
    progressTimer.stop();
    SimulateProgress->hide();
    SimulateCancel->hide();
    if (simulating.future().resultCount() == 0)
        return;
    const Shaded shaded = simulating.result();
    if (!SimulateCheck->isChecked() || !surface())
        return; // "Abbrechen", or the part is no longer asked for
    if (shaded.version != version || (simulationProgress && simulationProgress->cancel)) {
        // Stopped for a change: made again for the values now, unless a start is due anyway.
        if (!simulateDelay.isActive())
            startSimulation();
        return;
    }
    part = shaded.image;
    partProblem = shaded.problem.empty() ? QString()
                                         : text(shaded.problem.text.c_str(), shaded.problem.values);
    showMap();
    emit partShown();
}

void TPicturePreview::showMap() {
    if (!surface()) {
        MapCaption->setText(text("Stufenkarte:"));
        LevelMapImage->setToolTip(QString());
        showScaled(LevelMapImage, levelImage);
        return;
    }
    const bool showPart = SimulateCheck->isChecked() && (!part.isNull() || !partProblem.isEmpty());
    MapCaption->setText(text(showPart ? "Werkstück (Vorschau):" : "Zielfläche:"));
    showScaled(LevelMapImage, showPart ? part : target);
    if (showPart && part.isNull())
        LevelMapImage->setText(partProblem);
    LevelMapImage->setToolTip(showPart ? partProblem : QString());
}

void TPicturePreview::startEstimate() {
    if (!picture || estimating.isRunning()) {
        // A running dry run was told to stop; the next starts when it has.
        return;
    }
    estimateProgress = std::make_shared<ReliefProgress>();
    estimating.setFuture(QtConcurrent::run([p = parameters, picture = picture,
                                            path = picturePath.toStdString(),
                                            progress = estimateProgress]() -> Figures {
        Figures figures;
        try {
            if (p.strategy == ReliefStrategy::Surface) {
                // The dry run of the command line, with all its checks.
                const ReliefResult result = MeasureReliefFile(p, path, progress.get());
                if (result.status == ReliefStatus::Ok)
                    figures.estimate = result.estimate;
                else if (result.status != ReliefStatus::Cancelled)
                    figures.problem = result.messageParts.empty() ? UserMessage{result.message, {}}
                                                                  : result.messageParts;
            } else {
                figures.estimate = MeasureRelief(p, *picture, progress.get());
            }
        } catch (const std::exception &) { // no memory for the run
            figures.problem = {kMessageNoMemory, {}};
        }
        return figures;
    }));
}

void TPicturePreview::estimateDone() {
    if (estimating.future().resultCount() == 0)
        return;
    const bool cancelled = !estimateProgress || estimateProgress->cancel;
    const Figures result = estimating.result();
    if (cancelled) {
        if (picture && !estimateReady)
            estimateDelay.start();
        return;
    }
    if (!result.estimate) {
        FiguresLabel->setStyleSheet(QString("color: #b00000"));
        FiguresLabel->setText(text(result.problem.text.c_str(), result.problem.values));
        return;
    }
    estimate = *result.estimate;
    estimateReady = true;
    QString shown = parameters.levelOptions.Any()
                        ? text("Raster %1 × %2, %3 Schnitte, %4, Laufzeit %5 (spart %6) (%7)",
                               {std::to_string(estimate.columns), std::to_string(estimate.rows),
                                std::to_string(estimate.cuts), ByteSizeText(estimate.bytes),
                                RunTimeText(estimate.seconds), RunTimeText(SecondsSaved(estimate)),
                                parameters.profile.name})
                        : text("Raster %1 × %2, %3 Schnitte, %4, Laufzeit %5 (%6)",
                               {std::to_string(estimate.columns), std::to_string(estimate.rows),
                                std::to_string(estimate.cuts), ByteSizeText(estimate.bytes),
                                RunTimeText(estimate.seconds), parameters.profile.name});
    // A program the safety check would refuse is shown with the reason, in red.
    const UserMessage unsafe = CheckReliefSafety(parameters, parameters.profile);
    if (!unsafe.empty())
        shown += "\n" + text(unsafe.text.c_str(), unsafe.values);
    FiguresLabel->setStyleSheet(unsafe.empty() ? QString() : QString("color: #b00000"));
    FiguresLabel->setText(shown);
    emit figuresShown();
}

void TPicturePreview::showScaled(QLabel *label, const QImage &image) const {
    if (image.isNull()) {
        label->setPixmap(QPixmap());
        return;
    }
    // Nearest neighbour: an enlarged level map shows its cells as they are.
    label->setPixmap(QPixmap::fromImage(image.scaled(
        label->size() - QSize(4, 4), Qt::KeepAspectRatio,
        label == LevelMapImage && !surface() ? Qt::FastTransformation : Qt::SmoothTransformation)));
}

void TPicturePreview::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    showScaled(PreviewImage, preview);
    showMap();
}

} // namespace morvilo
