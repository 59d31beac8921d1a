#pragma once
// Subprogram editors without a window: editor cores that nobody shows, for headless runs
// (morvilo-cli, tests, benchmarks).

#include "editor/editorcore.h"
#include "interpreter/calcinterfaces.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace morvilo {

class HeadlessSubprogramEditors : public SubprogramEditors {
public:
    TEditorCore *Create(bool) override {
        editors.push_back(std::make_unique<TEditorCore>());
        ++created;
        return editors.back().get();
    }
    void Release(TEditorCore *editor) override {
        std::erase_if(editors, [editor](const auto &owned) { return owned.get() == editor; });
    }
    // Editors created and not yet released, and all ever created.
    size_t Open() const { return editors.size(); }
    size_t created = 0;

private:
    std::vector<std::unique_ptr<TEditorCore>> editors;
};

} // namespace morvilo
