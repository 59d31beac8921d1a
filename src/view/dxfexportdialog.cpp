#include "view/dxfexportdialog.h"

#include "settings/filefilter.h"
#include "translation/translateunit.h"
#include "view/dxfexport.h"

#include <QFile>
#include <QFileDialog>

namespace morvilo {

void SetupSaveDialog2(QFileDialog &dialog, const QString &folder) {
    dialog.setObjectName("SaveDialog2");
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    dialog.setNameFilter(QtFileFilter(TranslateString("DXF Dateien (*.dxf)|*.dxf")));
    dialog.setDefaultSuffix("dxf");
    if (!folder.isEmpty())
        dialog.setDirectory(folder);
}

QString SaveDialog2(QWidget *parent, const QString &folder, const ExecDialog &execDialog) {
    QFileDialog dialog(parent);
    SetupSaveDialog2(dialog, folder);
    const bool accepted = execDialog ? execDialog(dialog) : dialog.exec() == QDialog::Accepted;
    if (!accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

QString DXFExport1Click(QWidget *parent, const TPlotList &lines, const QString &folder,
                        const std::function<void(const QString &)> &errorBox,
                        const ExecDialog &execDialog) {
    const QString file = SaveDialog2(parent, folder, execDialog);
    if (file.isEmpty())
        return {};
    const std::string error = DXFExport(lines, QFile::encodeName(file).toStdString());
    if (error.empty())
        return file;
    if (errorBox)
        errorBox(QString::fromLocal8Bit(error));
    return {};
}

} // namespace morvilo
