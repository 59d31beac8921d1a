// morvilo_linecount PROGRAM: counts the lines of a G-code program through the editor's line
// reader, the way the interpreter and the formatting commands read it. bench/compare/run
// times it against wc -l and cat.

#include "editor/editorcore.h"

#include <cstdio>

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: morvilo_linecount PROGRAM\n");
        return 2;
    }
    morvilo::TEditorCore core;
    if (!core.OpenFileWithName(argv[1])) {
        std::fprintf(stderr, "morvilo_linecount: cannot open %s\n", argv[1]);
        return 1;
    }
    long long lines = 0;
    core.FirstLine();
    while (core.NextLine())
        ++lines;
    std::printf("%lld\n", lines);
    return 0;
}
