#pragma once
// The editors that subprogram files are loaded into during a run. With "Zeige gelandene
// Unterprogramme im Editor" a file being run is shown in its own editor in place of the main
// editor, which comes back when the subprogram returns; otherwise the editors stay hidden.

#include "interpreter/calcinterfaces.h"

#include <QList>

class QSplitter;

namespace morvilo {

class TTextEditorLF;

class TSubprogramViews : public SubprogramEditors {
public:
    TSubprogramViews(QSplitter *splitter, TTextEditorLF *mainEditor)
        : splitter(splitter), mainEditor(mainEditor) {}
    ~TSubprogramViews() override;

    TEditorCore *Create(bool visible) override;
    void Release(TEditorCore *editor) override;
    int Open() const { return int(editors.size()); }

private:
    QSplitter *splitter;
    TTextEditorLF *mainEditor;
    QList<TTextEditorLF *> editors;
};

} // namespace morvilo
