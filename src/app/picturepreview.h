#pragma once
// Beside the picture list: the picture under the cursor, its level map (the grid exactly as the
// generator will sample it, each level a shade) and the figures of the program it would give:
// grid, cuts, size and run time. The picture is read once, on a worker thread; the level map
// follows every change of the parameters at once, the figures a moment later from a dry run on
// a worker thread. With the strategy "Fläche" the target surface is shown shaded instead of the
// level map (made on a worker thread), and on request ("Vorschau") the part the program mills,
// simulated on a worker thread with a progress bar and "Abbrechen".

#include "app/reliefsimulation.h"
#include "relief/reliefgenerator.h"

#include <QFutureWatcher>
#include <QImage>
#include <QTimer>
#include <QWidget>

#include <memory>
#include <optional>

class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;

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
    // The caption of the map: "Stufenkarte:", "Zielfläche:" or "Werkstück (Vorschau):".
    QLabel *MapCaption;
    // "Fläche": the simulated part on request, its progress and the way to stop it.
    QCheckBox *SimulateCheck;
    QProgressBar *SimulateProgress;
    QPushButton *SimulateCancel;

    // What is shown now, for tests: the picture read, the level map, the figures' estimate.
    QString shownPicture() const { return picturePath; }
    const ReliefLevelMap &levelMap() const { return map; }
    bool figuresReady() const { return estimateReady; }
    const ReliefEstimate &figures() const { return estimate; }
    // "Fläche": the shaded target surface and the simulated part (null until there is one).
    const QImage &targetImage() const { return target; }
    const QImage &partImage() const { return part; }

signals:
    void figuresShown();
    void partShown();

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
    bool surface() const { return parameters.strategy == ReliefStrategy::Surface; }
    // The map of the strategy "Fläche": the target surface, or the part once it is simulated.
    void updateSurface();
    void startTarget();
    void targetDone();
    void startSimulation();
    void simulationDone();
    void stopSimulation();
    void showMap();
    std::optional<ReliefViewGrid> viewGrid() const;

    struct Figures {
        std::optional<ReliefEstimate> estimate; // none: problem says why
        UserMessage problem;
    };
    struct Shaded {
        uint64_t version = 0; // of the parameters it was made for
        QImage image;
        UserMessage problem;
    };

    ReliefParameters parameters;
    QString picturePath, wantedPath;
    std::shared_ptr<const dib> picture;
    QImage preview, levelImage;
    ReliefLevelMap map;
    QFutureWatcher<Loaded> loading;
    QFutureWatcher<Figures> estimating;
    std::shared_ptr<ReliefProgress> estimateProgress;
    QTimer estimateDelay;
    ReliefEstimate estimate;
    bool estimateReady = false;
    // Every change of the picture or the parameters counts up; a result made for an earlier
    // count is made again.
    uint64_t version = 0;
    QImage target, part;
    QString partProblem; // why there is no part
    QFutureWatcher<Shaded> shading, simulating;
    std::shared_ptr<SimulationProgress> simulationProgress;
    QTimer simulateDelay, progressTimer;
};

} // namespace morvilo
