#pragma once
// The tool's help window: shows an HTML help page. The two operations the program needs are
// showing a given page and closing every help window.

#include <QWidget>

class QTextBrowser;

namespace morvilo {

class THelpWindow : public QWidget {
    Q_OBJECT

public:
    explicit THelpWindow(QWidget *parent = nullptr);

    // Shows the page at path; a page missing there is taken from the copy built into the
    // program when one of that name exists, else the window says that it was not found.
    void ShowHelpFile(const QString &path);
    QString shownSource() const;

    QTextBrowser *browser;
};

} // namespace morvilo
