#include "app/picturepreview.h"

#include "relief/grafikrw.h"
#include "translation/translateunit.h"
#include "vantrel/room.h"

#include <QGridLayout>
#include <QLabel>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <cstring>

namespace morvilo {

namespace {

constexpr int kPreviewSize = 480; // the longer side of the preview as it is kept

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
    layout->addWidget(new QLabel(QString::fromUtf8("Stufenkarte:")), 0, 1);
    layout->addWidget(PreviewImage, 1, 0);
    layout->addWidget(LevelMapImage, 1, 1);
    layout->addWidget(FiguresLabel, 2, 0, 1, 2);
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
    connect(&estimating, &QFutureWatcher<std::optional<ReliefEstimate>>::finished, this,
            &TPicturePreview::estimateDone);
}

TPicturePreview::~TPicturePreview() {
    if (estimateProgress)
        estimateProgress->cancel = true;
    loading.waitForFinished();
    estimating.waitForFinished();
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
    updateLevelMap();
}

void TPicturePreview::setParameters(const ReliefParameters &p) {
    parameters = p;
    updateLevelMap();
}

void TPicturePreview::updateLevelMap() {
    if (estimateProgress)
        estimateProgress->cancel = true;
    estimateReady = false;
    map = picture ? ComputeLevelMap(parameters, *picture, kLevelMapCells) : ReliefLevelMap{};
    levelImage = imageOf(map);
    showScaled(LevelMapImage, levelImage);
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

void TPicturePreview::startEstimate() {
    if (!picture || estimating.isRunning()) {
        // A running dry run was told to stop; the next starts when it has.
        return;
    }
    estimateProgress = std::make_shared<ReliefProgress>();
    estimating.setFuture(
        QtConcurrent::run([p = parameters, picture = picture,
                           progress = estimateProgress]() -> std::optional<ReliefEstimate> {
            try {
                return MeasureRelief(p, *picture, progress.get());
            } catch (const std::exception &) { // no memory for the run
                return std::nullopt;
            }
        }));
}

void TPicturePreview::estimateDone() {
    if (estimating.future().resultCount() == 0)
        return;
    const bool cancelled = !estimateProgress || estimateProgress->cancel;
    const std::optional<ReliefEstimate> result = estimating.result();
    if (cancelled) {
        if (picture && !estimateReady)
            estimateDelay.start();
        return;
    }
    if (!result) {
        FiguresLabel->setText(text(kMessageNoMemory));
        return;
    }
    estimate = *result;
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
    label->setPixmap(QPixmap::fromImage(
        image.scaled(label->size() - QSize(4, 4), Qt::KeepAspectRatio,
                     label == LevelMapImage ? Qt::FastTransformation : Qt::SmoothTransformation)));
}

void TPicturePreview::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    showScaled(PreviewImage, preview);
    showScaled(LevelMapImage, levelImage);
}

} // namespace morvilo
