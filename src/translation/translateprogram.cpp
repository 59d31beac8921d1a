#include "translation/translateprogram.h"

#include "translation/translateunit.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QColorDialog>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QEvent>
#include <QFileDialog>
#include <QFontDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTabBar>
#include <QTableWidget>
#include <QToolButton>
#include <QTranslator>
#include <QTreeWidget>

#include <deque>

namespace morvilo {

namespace {

// Passes text through the lookup and hands a changed result to set.
template <typename Setter> void translated(const QString &text, Setter set) {
    if (text.isEmpty())
        return;
    QString result = TranslateString(text);
    if (result != text)
        set(result);
}

void translateAction(QAction *action) {
    // Without a hint of its own an action shows its caption as hint: that follows the caption.
    const QString captionHint = QAction(action->text()).toolTip();
    const bool ownHint = action->toolTip() != captionHint;
    if (ownHint)
        translated(action->toolTip(), [action](const QString &t) { action->setToolTip(t); });
    translated(action->text(), [action](const QString &t) { action->setText(t); });
    // A hint set to the caption itself stays until it is set again.
    if (!ownHint && action->toolTip() == captionHint)
        action->setToolTip(QAction(action->text()).toolTip());
}

void translateTabs(QTabBar *tabs) {
    for (int i = 0; i < tabs->count(); ++i) {
        translated(tabs->tabText(i), [tabs, i](const QString &t) { tabs->setTabText(i, t); });
        translated(tabs->tabToolTip(i), [tabs, i](const QString &t) { tabs->setTabToolTip(i, t); });
    }
}

void translateComboBox(QComboBox *combo) {
    const int selected = combo->currentIndex();
    for (int i = 0; i < combo->count(); ++i)
        translated(combo->itemText(i), [combo, i](const QString &t) { combo->setItemText(i, t); });
    combo->setCurrentIndex(selected);
}

void translateHeadings(QTableWidget *table) {
    for (int column = 0; column < table->columnCount(); ++column)
        if (QTableWidgetItem *item = table->horizontalHeaderItem(column))
            translated(item->text(), [item](const QString &t) { item->setText(t); });
}

void translateHeadings(QTreeWidget *tree) {
    QTreeWidgetItem *header = tree->headerItem();
    for (int column = 0; header && column < header->columnCount(); ++column)
        translated(header->text(column),
                   [header, column](const QString &t) { header->setText(column, t); });
}

void translateSpinBox(QAbstractSpinBox *spin) {
    if (auto *box = qobject_cast<QSpinBox *>(spin)) {
        translated(box->prefix(), [box](const QString &t) { box->setPrefix(t); });
        translated(box->suffix(), [box](const QString &t) { box->setSuffix(t); });
    } else if (auto *box = qobject_cast<QDoubleSpinBox *>(spin)) {
        translated(box->prefix(), [box](const QString &t) { box->setPrefix(t); });
        translated(box->suffix(), [box](const QString &t) { box->setSuffix(t); });
    }
}

void translatePlainText(QPlainTextEdit *memo) {
    QStringList lines = memo->toPlainText().split(u'\n');
    for (QString &line : lines)
        translated(line, [&line](const QString &t) { line = t; });
    const QString text = lines.join(u'\n');
    if (text != memo->toPlainText())
        memo->setPlainText(text);
}

// Parts of widgets that Qt builds and labels itself: their texts are no texts of this tool.
bool isInnerPart(const QWidget *widget) {
    const QObject *parent = widget->parent();
    return qobject_cast<const QAbstractSpinBox *>(parent) ||
           qobject_cast<const QComboBox *>(parent);
}

// Widgets whose children are Qt's own making: translated as a whole, not walked into.
bool isClosed(const QObject *object) {
    return qobject_cast<const QAbstractSpinBox *>(object) ||
           qobject_cast<const QComboBox *>(object) || qobject_cast<const QFileDialog *>(object) ||
           qobject_cast<const QMessageBox *>(object) ||
           qobject_cast<const QColorDialog *>(object) || qobject_cast<const QFontDialog *>(object);
}

void translateButton(QAbstractButton *button) {
    auto *tool = qobject_cast<QToolButton *>(button);
    if (tool && tool->defaultAction())
        return; // shows its action's texts
    translated(button->text(), [button](const QString &t) { button->setText(t); });
}

void translateWidgetTexts(QWidget *widget) {
    if (auto *label = qobject_cast<QLabel *>(widget))
        translated(label->text(), [label](const QString &t) { label->setText(t); });
    else if (auto *button = qobject_cast<QAbstractButton *>(widget))
        translateButton(button);
    else if (auto *group = qobject_cast<QGroupBox *>(widget))
        translated(group->title(), [group](const QString &t) { group->setTitle(t); });
    else if (auto *tabs = qobject_cast<QTabBar *>(widget))
        translateTabs(tabs);
    else if (auto *combo = qobject_cast<QComboBox *>(widget))
        translateComboBox(combo);
    else if (auto *spin = qobject_cast<QAbstractSpinBox *>(widget))
        translateSpinBox(spin);
    else if (auto *table = qobject_cast<QTableWidget *>(widget))
        translateHeadings(table);
    else if (auto *tree = qobject_cast<QTreeWidget *>(widget))
        translateHeadings(tree);
    else if (auto *memo = qobject_cast<QPlainTextEdit *>(widget))
        translatePlainText(memo);
    else if (auto *dialog = qobject_cast<QFileDialog *>(widget))
        translated(dialog->nameFilters().join(QStringLiteral(";;")),
                   [dialog](const QString &t) { dialog->setNameFilter(t); });
    else if (auto *edit = qobject_cast<QLineEdit *>(widget)) {
        translated(edit->text(), [edit](const QString &t) { edit->setText(t); });
        translated(edit->placeholderText(),
                   [edit](const QString &t) { edit->setPlaceholderText(t); });
    }
}

void translateWidget(QWidget *widget) {
    if (isInnerPart(widget))
        return;
    if (widget->isWindow())
        translated(widget->windowTitle(),
                   [widget](const QString &t) { widget->setWindowTitle(t); });
    const auto *tool = qobject_cast<const QToolButton *>(widget);
    if (!tool || !tool->defaultAction())
        translated(widget->toolTip(), [widget](const QString &t) { widget->setToolTip(t); });
    translateWidgetTexts(widget);
}

void translateObject(QObject *object) {
    if (auto *widget = qobject_cast<QWidget *>(object))
        translateWidget(widget);
    else if (auto *action = qobject_cast<QAction *>(object))
        translateAction(action);
}

// A window whose texts went through the lookup once: its texts are translations now, and
// translating them again would record them as new source texts.
const char *const kTranslatedMark = "morvilo_translated";

bool isTranslatedWindow(const QObject *object) {
    const auto *widget = qobject_cast<const QWidget *>(object);
    return widget && widget->isWindow() && widget->property(kTranslatedMark).toBool();
}

void markTranslatedWindow(QObject *object) {
    auto *widget = qobject_cast<QWidget *>(object);
    if (widget && widget->isWindow())
        widget->setProperty(kTranslatedMark, true);
}

// Qt's standard dialogs get their texts from the code that opens them, already translated.
bool isStandardDialog(const QObject *object) {
    for (const char *name : {"QMessageBox", "QFileDialog", "QProgressDialog", "QInputDialog",
                             "QColorDialog", "QFontDialog", "QPrintDialog", "QPageSetupDialog",
                             "QPrintPreviewDialog", "QErrorMessage"})
        if (object->inherits(name))
            return true;
    return false;
}

// Translates every window of this tool the first time it is shown, for the windows created
// after the first showing of the main window.
class FirstShowTranslator : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() == QEvent::Show && language != 0 && watched->isWidgetType()) {
            auto *widget = static_cast<QWidget *>(watched);
            const Qt::WindowType type = widget->windowType();
            const bool ownWindow = type == Qt::Window || type == Qt::Dialog || type == Qt::Tool;
            if (widget->isWindow() && ownWindow && !isTranslatedWindow(widget) &&
                !isStandardDialog(widget))
                translateprogram(widget);
        }
        return false;
    }
};

} // namespace

void translateprogram(QObject *root) {
    if (!root || isTranslatedWindow(root))
        return;
    translateObject(root);
    markTranslatedWindow(root);
    std::deque<QObject *> work{root};
    while (!work.empty()) {
        QObject *object = work.front();
        work.pop_front();
        if (isClosed(object))
            continue;
        const QObjectList &children = object->children();
        for (auto child = children.crbegin(); child != children.crend(); ++child) {
            if (isTranslatedWindow(*child))
                continue;
            translateObject(*child);
            markTranslatedWindow(*child);
            work.push_back(*child);
        }
    }
}

void translateprogram() {
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows)
        translateprogram(window);
}

void UseQtTexts(int language) {
    static QTranslator *german = nullptr;
    if (!qApp)
        return;
    if (language == 0 && !german) {
        german = new QTranslator(qApp);
        if (german->load(QLocale(QLocale::German), "qtbase", "_",
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            QCoreApplication::installTranslator(german);
    } else if (language != 0 && german) {
        QCoreApplication::removeTranslator(german);
        delete german;
        german = nullptr;
    }
}

void TranslateWindowsWhenShown() {
    static FirstShowTranslator *translator = nullptr;
    if (translator || !qApp)
        return;
    translator = new FirstShowTranslator(qApp);
    qApp->installEventFilter(translator);
}

} // namespace morvilo
