#include "app/helpwindow.h"

#include <QFileInfo>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace morvilo {

THelpWindow::THelpWindow(QWidget *parent) : QWidget(parent, Qt::Window) {
    setObjectName("HelpWindow");
    setWindowTitle(QString::fromUtf8("Hilfe"));
    browser = new QTextBrowser;
    browser->setOpenExternalLinks(true);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser);
    resize(720, 640);
}

void THelpWindow::ShowHelpFile(const QString &path) {
    const QFileInfo file(path);
    const QString builtIn = ":/help/" + file.fileName();
    if (file.isFile()) {
        browser->setSource(QUrl::fromLocalFile(file.absoluteFilePath()));
    } else if (QFileInfo(builtIn).isFile()) {
        browser->setSource(QUrl("qrc" + builtIn));
    } else {
        browser->setHtml(QString::fromUtf8("<p>Die Hilfedatei <b>%1</b> wurde nicht gefunden.</p>")
                             .arg(path.toHtmlEscaped()));
    }
    show();
    raise();
    activateWindow();
}

QString THelpWindow::shownSource() const {
    return browser->source().toString();
}

} // namespace morvilo
