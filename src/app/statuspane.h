#pragma once
// A pane of the main window's status bar. When the bar is too narrow for every pane, a pane gives
// up room down to the width it keeps: its text is cut with "…" and shown whole as its tool tip.
// The message pane keeps room for a caret line; the figures beside it give way first.

#include <QLabel>

namespace morvilo {

class TStatusPane : public QLabel {
    Q_OBJECT

public:
    // keepCharacters: the room kept, in average characters.
    explicit TStatusPane(int keepCharacters, QWidget *parent = nullptr);

    QSize minimumSizeHint() const override;
    // Whether the text is cut at the pane's present width.
    bool Cut() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool event(QEvent *event) override;

private:
    int keepCharacters;
};

} // namespace morvilo
