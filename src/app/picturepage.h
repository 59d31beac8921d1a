#pragma once
// The picture page "Bild Datei öffnen": favourite folders above a folder tree and the
// picture files of the selected folder. A double-click (or Enter) on a picture asks the main
// window to turn it into G-code; its folder moves to the top of the favourites.

#include "settings/settingsfiles.h"

#include <QTreeView>

class QFileSystemModel;
class QLabel;
class QMenu;
class QModelIndex;
class QTreeWidget;

namespace morvilo {

class TPicturePreview;

// The file list: a report view that tells whether an item's name is being edited.
class TShellList : public QTreeView {
public:
    using QTreeView::QTreeView;
    bool isEditingName() const { return state() == QAbstractItemView::EditingState; }
};

class TPicturePage : public QWidget {
    Q_OBJECT

public:
    explicit TPicturePage(QWidget *parent = nullptr);

    // The patterns of the file list, ";"-separated ("*.bmp;*.png").
    void setFileFilter(const QString &patterns);
    // Reads the favourites from folders.dat and selects the first one in the tree (or the
    // home folder when there is none).
    void LoadFolders(const std::string &foldersFile);
    void AddToPrefFolders(const QString &folder);
    const FavouriteFolders &favourites() const { return folders; }

    // The folder selected in the tree, ending in "/"; empty when none.
    QString selectedFolder() const;
    void selectFolder(const QString &path);
    // What the list shows (the tree's folder once the list has followed it).
    QString listedFolder() const;

    // The commands of the page, also reached through the mouse and keys.
    void JamShellList1DblClick();
    void PrefListBoxDblClick();
    void Eintraglschen1Click();
    void Listeleeren1Click();

    QTreeWidget *PrefListBox;
    QTreeView *JamShellTree1;
    TShellList *JamShellList1;
    QMenu *FoldersMenu;
    TPicturePreview *Preview; // the picture under the list's cursor, its level map and figures

signals:
    // A picture was chosen; folder is its folder, ending in "/".
    void pictureChosen(const QString &file, const QString &folder);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showFolderInList(const QString &path);
    void fillPrefList();
    void SavePrefFolders();

    QFileSystemModel *folderModel;
    QFileSystemModel *fileModel;
    FavouriteFolders folders;
    std::string foldersFile;
};

} // namespace morvilo
