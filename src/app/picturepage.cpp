#include "app/picturepage.h"

#include "app/picturepreview.h"

#include <QDir>
#include <QFileIconProvider>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QSplitter>
#include <QTreeView>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace morvilo {

namespace {

QString withSlash(QString folder) {
    if (!folder.isEmpty() && !folder.endsWith('/'))
        folder += '/';
    return folder;
}

bool isEnter(QEvent *event) {
    if (event->type() != QEvent::KeyPress)
        return false;
    const int key = static_cast<QKeyEvent *>(event)->key();
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

QLabel *pageHeader() {
    auto *header =
        new QLabel(QString::fromUtf8("Bild Datei öffnen - klicken Sie auf eine Bild Datei, um "
                                     "diese zu öffnen"));
    header->setObjectName("Label2");
    QFont font = header->font();
    font.setBold(true);
    header->setFont(font);
    header->setAutoFillBackground(true);
    QPalette palette = header->palette();
    palette.setColor(QPalette::Window, QColor(0, 0, 128));
    palette.setColor(QPalette::WindowText, Qt::white);
    header->setPalette(palette);
    header->setContentsMargins(8, 6, 8, 6);
    return header;
}

} // namespace

TPicturePage::TPicturePage(QWidget *parent) : QWidget(parent) {
    setObjectName("TabSheet1");
    PrefListBox = new QTreeWidget;
    PrefListBox->setObjectName("PrefListBox");
    PrefListBox->setColumnCount(1);
    PrefListBox->setHeaderLabels({QString::fromUtf8("Lieblingsordner:")});
    PrefListBox->header()->resizeSection(0, 700);
    PrefListBox->setRootIsDecorated(false);
    PrefListBox->setSelectionMode(QAbstractItemView::SingleSelection);
    PrefListBox->setSelectionBehavior(QAbstractItemView::SelectRows);
    PrefListBox->setEditTriggers(QAbstractItemView::NoEditTriggers);
    PrefListBox->setContextMenuPolicy(Qt::CustomContextMenu);

    FoldersMenu = new QMenu(this);
    FoldersMenu->setObjectName("FoldersMenu");
    QAction *remove = FoldersMenu->addAction(QString::fromUtf8("Eintrag löschen"));
    remove->setObjectName("Eintraglschen1");
    QAction *clear = FoldersMenu->addAction(QString::fromUtf8("Liste leeren"));
    clear->setObjectName("Listeleeren1");
    connect(remove, &QAction::triggered, this, &TPicturePage::Eintraglschen1Click);
    connect(clear, &QAction::triggered, this, &TPicturePage::Listeleeren1Click);
    connect(PrefListBox, &QWidget::customContextMenuRequested, this, [this](const QPoint &at) {
        FoldersMenu->popup(PrefListBox->viewport()->mapToGlobal(at));
    });
    connect(PrefListBox, &QTreeWidget::itemDoubleClicked, this, [this] { PrefListBoxDblClick(); });

    folderModel = new QFileSystemModel(this);
    folderModel->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    folderModel->setRootPath(QDir::rootPath());
    folderModel->setReadOnly(true);
    JamShellTree1 = new QTreeView;
    JamShellTree1->setObjectName("JamShellTree1");
    JamShellTree1->setModel(folderModel);
    for (int column = 1; column < folderModel->columnCount(); ++column)
        JamShellTree1->hideColumn(column);
    JamShellTree1->setHeaderHidden(true);
    // The tree fills in the background: keep the selected folder in view while it does.
    connect(folderModel, &QFileSystemModel::directoryLoaded, this,
            [this] { JamShellTree1->scrollTo(JamShellTree1->currentIndex()); });
    connect(
        JamShellTree1->selectionModel(), &QItemSelectionModel::currentChanged, this,
        [this](const QModelIndex &current) { showFolderInList(folderModel->filePath(current)); });

    fileModel = new QFileSystemModel(this);
    fileModel->setFilter(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::AllDirs);
    fileModel->setNameFilterDisables(false);
    fileModel->setReadOnly(true);
    JamShellList1 = new TShellList;
    JamShellList1->setObjectName("JamShellList1");
    JamShellList1->setModel(fileModel);
    JamShellList1->setRootIsDecorated(false);
    JamShellList1->setItemsExpandable(false);
    JamShellList1->setSelectionBehavior(QAbstractItemView::SelectRows);
    JamShellList1->setSelectionMode(QAbstractItemView::SingleSelection);
    JamShellList1->setSortingEnabled(true);
    JamShellList1->sortByColumn(0, Qt::AscendingOrder);
    JamShellList1->header()->resizeSection(0, 260);
    connect(JamShellList1, &QTreeView::doubleClicked, this, [this] { JamShellList1DblClick(); });
    Preview = new TPicturePreview;
    connect(JamShellList1->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &current) {
                const bool picture = current.isValid() && !fileModel->isDir(current);
                Preview->showPicture(picture ? fileModel->filePath(current) : QString());
            });

    JamShellList1->installEventFilter(this);
    PrefListBox->installEventFilter(this);

    auto *browser = new QSplitter(Qt::Horizontal);
    browser->addWidget(JamShellTree1);
    browser->addWidget(JamShellList1);
    browser->addWidget(Preview);
    browser->setStretchFactor(1, 2);
    browser->setStretchFactor(2, 2);
    browser->setSizes({200, 300, 300});
    auto *split = new QSplitter(Qt::Vertical);
    split->setObjectName("Splitter2");
    split->addWidget(PrefListBox);
    split->addWidget(browser);
    split->setStretchFactor(1, 3);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(pageHeader());
    layout->addWidget(split, 1);
}

void TPicturePage::setFileFilter(const QString &patterns) {
    fileModel->setNameFilters(patterns.split(';', Qt::SkipEmptyParts));
}

bool TPicturePage::eventFilter(QObject *watched, QEvent *event) {
    if (watched == JamShellList1 && isEnter(event)) {
        // Enter while an item's name is being edited belongs to the edit.
        if (JamShellList1->isEditingName())
            return false;
        JamShellList1DblClick();
        return true;
    }
    if (watched == PrefListBox && isEnter(event)) {
        PrefListBoxDblClick();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void TPicturePage::JamShellList1DblClick() {
    const QModelIndex item = JamShellList1->currentIndex();
    if (!item.isValid() || !JamShellList1->selectionModel()->isSelected(item))
        return;
    if (fileModel->isDir(item)) {
        selectFolder(fileModel->filePath(item)); // opened in the list; nothing else
        return;
    }
    QString folder = selectedFolder();
    if (folder.isEmpty())
        folder = withSlash(QDir::rootPath());
    AddToPrefFolders(folder);
    emit pictureChosen(folder + fileModel->fileName(item), folder);
}

void TPicturePage::PrefListBoxDblClick() {
    QTreeWidgetItem *item = PrefListBox->currentItem();
    if (item && item->isSelected())
        selectFolder(item->text(0));
}

void TPicturePage::Eintraglschen1Click() {
    QTreeWidgetItem *item = PrefListBox->currentItem();
    if (!item || !item->isSelected())
        return;
    folders.Remove(size_t(PrefListBox->indexOfTopLevelItem(item)));
    fillPrefList();
    SavePrefFolders();
}

void TPicturePage::Listeleeren1Click() {
    QTreeWidgetItem *item = PrefListBox->currentItem();
    if (!item || !item->isSelected())
        return;
    folders.Clear();
    fillPrefList();
    SavePrefFolders();
}

void TPicturePage::AddToPrefFolders(const QString &folder) {
    folders.AddToPrefFolders(folder.toStdString());
    fillPrefList();
    SavePrefFolders();
}

void TPicturePage::LoadFolders(const std::string &file) {
    foldersFile = file;
    folders.Load(file);
    fillPrefList();
    if (!folders.Entries().empty())
        selectFolder(QString::fromStdString(folders.Entries().front()));
    else
        selectFolder(QDir::homePath());
}

void TPicturePage::fillPrefList() {
    PrefListBox->clear();
    const QIcon folderIcon = QFileIconProvider().icon(QFileIconProvider::Folder);
    for (const std::string &entry : folders.Entries()) {
        auto *item = new QTreeWidgetItem(PrefListBox, {QString::fromStdString(entry)});
        item->setIcon(0, folderIcon);
    }
}

void TPicturePage::SavePrefFolders() {
    if (!foldersFile.empty())
        folders.Save(foldersFile); // an unwritable file keeps the changes for this run only
}

QString TPicturePage::selectedFolder() const {
    const QModelIndex current = JamShellTree1->currentIndex();
    return current.isValid() ? withSlash(folderModel->filePath(current)) : QString();
}

void TPicturePage::selectFolder(const QString &path) {
    const QModelIndex index = folderModel->index(QDir::cleanPath(path));
    if (!index.isValid())
        return;
    JamShellTree1->setCurrentIndex(index);
    JamShellTree1->scrollTo(index);
    showFolderInList(folderModel->filePath(index));
}

QString TPicturePage::listedFolder() const {
    return withSlash(fileModel->filePath(JamShellList1->rootIndex()));
}

void TPicturePage::showFolderInList(const QString &path) {
    if (path.isEmpty())
        return;
    JamShellList1->setRootIndex(fileModel->setRootPath(path));
}

} // namespace morvilo
