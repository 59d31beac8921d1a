#pragma once
// Beside the picture list: the picture under the cursor, its level map (the grid exactly as the
// generator will sample it, each level a shade) and the figures of the program it would give:
// grid, cuts, size and run time. The picture is read once, on a worker thread; the level map
// follows every change of the parameters at once, the figures a moment later from a dry run on
// a worker thread.

#include "relief/reliefgenerator.h"

#include <QFutureWatcher>
#include <QImage>
#include <QTimer>
#include <QWidget>

#include <memory>
#include <optional>

class QLabel;

namespace morvilo {

class TPicturePreview : public QWidget {
    Q_OBJECT

public:
    explicit TPicturePreview(QWidget *parent = nullptr);
    ~TPicturePreview() override;

    // Reads the picture (nothing shown for an empty path or a file that is no picture).
    void showPicture(const QString &path);
    // The values the level map and the figures follow.
    void setParameters(const ReliefParameters &p);

    // The cells a level map keeps at most.
    static constexpr uint64_t kLevelMapCells = uint64_t(1) << 22;

    QLabel *PreviewImage, *LevelMapImage, *FiguresLabel;

    // What is shown now, for tests: the picture read, the level map, the figures' estimate.
    QString shownPicture() const { return picturePath; }
    const ReliefLevelMap &levelMap() const { return map; }
    bool figuresReady() const { return estimateReady; }
    const ReliefEstimate &figures() const { return estimate; }

signals:
    void figuresShown();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    struct Loaded {
        QString path;
        std::shared_ptr<const dib> picture;
        QImage preview;
    };
    static Loaded load(const QString &path);
    void pictureLoaded(Loaded loaded);
    void updateLevelMap();
    void startEstimate();
    void estimateDone();
    void showScaled(QLabel *label, const QImage &image) const;

    ReliefParameters parameters;
    QString picturePath, wantedPath;
    std::shared_ptr<const dib> picture;
    QImage preview, levelImage;
    ReliefLevelMap map;
    QFutureWatcher<Loaded> loading;
    QFutureWatcher<std::optional<ReliefEstimate>> estimating; // nothing: no memory for it
    std::shared_ptr<ReliefProgress> estimateProgress;
    QTimer estimateDelay;
    ReliefEstimate estimate;
    bool estimateReady = false;
};

} // namespace morvilo
