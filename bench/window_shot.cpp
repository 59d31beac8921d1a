// The README's picture of the picture page: the main window as the user sees it with the
// strategy "Fläche" and the simulated part ("Vorschau"), grabbed to a PNG file.
//
//   xvfb-run -s "-screen 0 1280x1024x24" build/bin/morvilo_window_shot OUTPUT.png [FOLDER]
//
// (docs/picture-page.png was made with FOLDER /home/morvilo/Bilder.)
//
// The window starts with fresh settings (a temporary MORVILO_HOME) and a folder of sample
// pictures as its favourite: a temporary one, or the folder given (which must not exist yet;
// it is removed at the end), for a folder tree without the machine's temporary files. The
// picture is chosen in the file list as a click chooses it,
// the panel's fields are set as the user types them, and the shot is taken once the
// preview has milled the part.

#include "app/mainform.h"
#include "app/picturepage.h"
#include "app/picturepreview.h"
#include "app/reliefpanel.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QImage>
#include <QLineEdit>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTreeView>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>

using namespace morvilo;

namespace {

// Waits (pumping events) until done() holds; false after seconds.
bool waitFor(const std::function<bool()> &done, double seconds) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > qint64(seconds * 1000))
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return true;
}

// A smooth picture with something to see in a relief: a shallow dome, two rings and a ridge.
QImage medal(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const double u = (x - width / 2.0) / (height / 2.0);
            const double v = (y - height / 2.0) / (height / 2.0);
            const double r = std::hypot(u, v);
            double light = 60 + 120 * std::max(0.0, 1 - r * r);
            light += 50 * std::exp(-std::pow((r - 0.55) / 0.06, 2));
            light += 40 * std::exp(-std::pow((std::hypot(u - 0.9, v + 0.2) - 0.25) / 0.05, 2));
            light += 35 * std::exp(-std::pow((u + v * 0.4 + 0.9) / 0.08, 2)) * (r < 1.3);
            const int grey = std::clamp(int(std::lround(light)), 0, 255);
            image.setPixel(x, y, qRgb(grey, grey, grey));
        }
    return image;
}

} // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: morvilo_window_shot OUTPUT.png [PICTURE-FOLDER]\n");
        return 2;
    }
    const QString output = QString::fromLocal8Bit(argv[1]);
    QTemporaryDir home, pictures;
    if (!home.isValid() || !pictures.isValid()) {
        std::fprintf(stderr, "no temporary folder\n");
        return 1;
    }
    const QString given = argc == 3 ? QDir::cleanPath(QString::fromLocal8Bit(argv[2])) : QString();
    if (!given.isEmpty() && QFileInfo::exists(given)) {
        std::fprintf(stderr, "%s exists already\n", qPrintable(given));
        return 2;
    }
    const QString folder =
        (given.isEmpty() ? QDir(pictures.path()).filePath("bilder") : given) + "/";
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "cannot make %s\n", qPrintable(folder));
        return 1;
    }
    // The folder given is removed at the end, whatever happens.
    struct Remove {
        QString folder;
        ~Remove() {
            if (!folder.isEmpty())
                QDir(folder).removeRecursively();
        }
    } remove{given};
    const QString picture = folder + "medaille.png";
    medal(240, 180).save(picture);
    for (const char *sample : {"sample-logo.png", "sample-gradient.bmp"})
        QFile::copy(QString(MORVILO_DATA_FOLDER "/") + sample, folder + sample);

    TMainform form(home.path());
    form.resize(1100, 900);
    form.show();
    TReliefPanel *panel = form.Panel3;
    panel->selectProfile("linuxcnc");
    panel->SicherEd->setValue(5);
    panel->FraesTiefe->setValue(-3);
    panel->BreitEdValue->setValue(40);
    panel->AbstandFrEd->setValue(0.2);
    panel->StrategyCombo->setCurrentIndex(1);
    panel->ToolEd->setText("ball:1");

    TPicturePage *page = form.picturePage;
    page->AddToPrefFolders(folder);
    page->selectFolder(folder);
    auto *files = qobject_cast<QFileSystemModel *>(page->JamShellList1->model());
    if (!files || !waitFor([&] { return page->listedFolder() == folder; }, 20) ||
        !waitFor([&] { return files->index(picture).isValid(); }, 20)) {
        std::fprintf(stderr, "the file list does not show %s\n", qPrintable(picture));
        return 1;
    }
    page->JamShellList1->setCurrentIndex(files->index(picture));
    TPicturePreview *preview = page->Preview;
    if (!waitFor([&] { return preview->shownPicture() == picture && preview->figuresReady(); },
                 60)) {
        std::fprintf(stderr, "the picture page does not show %s\n", qPrintable(picture));
        return 1;
    }
    bool shown = false;
    QObject::connect(preview, &TPicturePreview::partShown, [&] { shown = true; });
    preview->SimulateCheck->setChecked(true);
    if (!waitFor([&] { return shown; }, 300)) {
        std::fprintf(stderr, "the preview did not finish\n");
        return 1;
    }
    waitFor([] { return false; }, 0.5); // the last paints
    if (!form.grab().save(output)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(output));
        return 1;
    }
    return 0;
}
