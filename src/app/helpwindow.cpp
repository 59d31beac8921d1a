#include "app/helpwindow.h"

#include "translation/translateunit.h"

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
        const QString missing =
            TranslateString(QString::fromUtf8("Die Hilfedatei %1 wurde nicht gefunden."));
        browser->setHtml("<p>" + missing.arg("<b>" + path.toHtmlEscaped() + "</b>") + "</p>");
    }
    show();
    raise();
    activateWindow();
}

QString THelpWindow::shownSource() const {
    return browser->source().toString();
}

} // namespace morvilo
