#include "app/subprogramviews.h"

#include "editor/texteditorlf.h"
#include "translation/translateprogram.h"
#include "translation/translateunit.h"

#include <QSplitter>

namespace morvilo {

TSubprogramViews::~TSubprogramViews() {
    qDeleteAll(editors);
}

TEditorCore *TSubprogramViews::Create(bool visible) {
    auto *editor = new TTextEditorLF(visible ? splitter : nullptr);
    editor->setObjectName("subprogramEditor");
    editor->doCNCHilight = true;
    editor->core().setdonotsetcaption0(true);
    // The editor's texts in the interface's language, like the main editor's.
    editor->core().messages.OnNeedTranslation = mainEditor->core().messages.OnNeedTranslation;
    editor->errorBox = mainEditor->errorBox;
    if (language != 0)
        translateprogram(editor);
    editors.append(editor);
    if (visible) {
        splitter->insertWidget(splitter->indexOf(mainEditor), editor);
        for (TTextEditorLF *shown : editors)
            shown->setVisible(shown == editor);
        mainEditor->hide();
    }
    return &editor->core();
}

void TSubprogramViews::Release(TEditorCore *core) {
    const auto found = std::find_if(editors.begin(), editors.end(),
                                    [core](TTextEditorLF *e) { return &e->core() == core; });
    if (found == editors.end())
        return;
    TTextEditorLF *editor = *found;
    editors.erase(found);
    const bool wasShown = editor->parent() == splitter;
    delete editor;
    if (!wasShown)
        return;
    // The caller's editor comes back: the innermost shown subprogram, or the main editor.
    for (auto it = editors.rbegin(); it != editors.rend(); ++it)
        if ((*it)->parent() == splitter) {
            (*it)->show();
            return;
        }
    mainEditor->show();
}

} // namespace morvilo
