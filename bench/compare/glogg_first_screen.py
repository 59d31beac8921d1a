#!/usr/bin/env python3
"""Time glogg (Debian's large-file viewer) from its start to its first screen of text.

    glogg_first_screen.py FILE [--timeout S]

glogg runs on Qt's offscreen platform with its debug log on (-dddd); its log view writes
"drawing lines from 0 (N lines)" when it paints, and "End of repaint" when the paint is done.
The time from starting the process to the first finished paint with N > 0 lines is printed as
"seconds T"; then glogg is stopped (it goes on indexing the file in the background, which the
first screen does not wait for). Its settings go to a temporary folder, not to the user's.
Exit status 1 when no such paint comes within the timeout (default 60 s).
"""

import os
import re
import subprocess
import sys
import tempfile
import time


def main(argv):
    if not argv or argv[0].startswith("-"):
        sys.exit(__doc__)
    path = argv[0]
    timeout = float(argv[argv.index("--timeout") + 1]) if "--timeout" in argv else 60.0
    drawing = re.compile(r"drawing lines from \d+ \((\d+) lines\)")
    with tempfile.TemporaryDirectory(prefix="morvilo-glogg-") as home:
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen", HOME=home,
                   XDG_CONFIG_HOME=home, XDG_RUNTIME_DIR=home)
        start = time.perf_counter()
        proc = subprocess.Popen(["glogg", "-n", "-m", "-dddd", path], env=env,
                                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                stderr=subprocess.PIPE, text=True, errors="replace")
        seconds = None
        text_painted = False
        try:
            for line in proc.stderr:
                m = drawing.search(line)
                if m:
                    text_painted = int(m.group(1)) > 0
                elif text_painted and "End of repaint" in line:
                    seconds = time.perf_counter() - start
                    break
                if time.perf_counter() - start > timeout:
                    break
        finally:
            proc.kill()
            proc.wait()
    if seconds is None:
        sys.exit(f"glogg_first_screen.py: glogg showed no text within {timeout:.0f} s")
    print(f"seconds {seconds:.6f}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
