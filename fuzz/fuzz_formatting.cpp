// Any bytes as a G-code text, formatted by every command of the "Formatieren" menu: nothing
// may crash or hang, and one Undo after each command must give the text back byte for byte.

#include "editor/editorcore.h"
#include "formatting/cleanup.h"
#include "formatting/renumbering.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

using namespace morvilo;

std::string textOf(TEditorCore &core) {
    std::string text(size_t(core.size()), '\0');
    core.mem().CopyOut(0, core.size(), reinterpret_cast<uint8_t *>(text.data()));
    return text;
}

void checkUndo(TEditorCore &core, const std::string &before) {
    if (core.CanUndo() && textOf(core) != before) {
        core.Undo();
        if (textOf(core) != before)
            std::abort(); // the command was not one undo group
        core.ReDo();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size > 1 << 16)
        return 0;
    static const std::string path = "/tmp/morvilo-fuzz-format-" + std::to_string(::getpid());
    FILE *file = std::fopen(path.c_str(), "wb");
    if (!file)
        return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    TEditorCore core;
    if (!core.OpenFileWithName(path))
        return 0;
    using Command = void (*)(TEditorCore &);
    const Command commands[] = {&Leerzeichenhinzufgen,
                                &Leerzeichenentfernen,
                                &LeerzeichenamZeilenanfangentfernen,
                                &LeerzeichenamZeilenendeentfernen,
                                &Kommentareentfernen,
                                &AllesinGrossbuchstabenumwandeln,
                                &Nummierungentfernen,
                                &LeereZeilenentfernen};
    for (Command command : commands) {
        const std::string before = textOf(core);
        command(core);
        checkUndo(core, before);
    }
    TNummerBlocksSettings settings;
    settings.choice = NumberingChoice(size % 3 + 1);
    const std::string before = textOf(core);
    BlckeneuNummerieren(core, settings);
    checkUndo(core, before);
    return 0;
}
