#!/bin/sh
# Writes digests.txt: for every program and option set the plot list CSV is checked with, its
# size and SHA-256 as the given morvilo-cli prints it. Run from the repository root:
#   tests/interpreter/plotlist/make_digests.sh path/to/morvilo-cli
set -e
cli=$1
out=tests/interpreter/plotlist/digests.txt
cases() {
    for f in tests/interpreter/corpus/*.nc; do
        name=$(basename "$f")
        case $name in
        lathe_*) echo "$f;--machine lathe-a"; echo "$f;--machine lathe-b" ;;
        haas_*) echo "$f;--haas" ;;
        drill_*) echo "$f;--cycles-to-scale"; echo "$f;--cycles-to-scale --haas" ;;
        *) echo "$f;"; echo "$f;--haas" ;;
        esac
    done
    for f in data/programs/*.nc; do
        case $(basename "$f") in
        haas-*) echo "$f;--haas" ;;
        lathe-a-*) echo "$f;--machine lathe-a --diameter" ;;
        lathe-b-*) echo "$f;--machine lathe-b --diameter" ;;
        *) echo "$f;" ;;
        esac
    done
    for f in tests/relief/golden/*.nc tests/relief/linuxcnc/fixture.nc; do echo "$f;"; done
    echo "tests/interpreter/plotlist/rewrites.nc;"
    echo "tests/interpreter/plotlist/rewrites.nc;--machine lathe-b"
    echo "tests/interpreter/plotlist/lathe-shift.nc;--machine lathe-a --diameter"
    echo "tests/interpreter/plotlist/lathe-shift.nc;--machine lathe-b"
}
echo "# program;options;CSV size;CSV SHA-256" > "$out"
cases | while IFS=';' read -r program options; do
    # shellcheck disable=SC2086 # the options are words
    "$cli" plot $options "$program" > /tmp/plotlist-digest.csv
    set -- $(wc -c < /tmp/plotlist-digest.csv) $(sha256sum < /tmp/plotlist-digest.csv)
    echo "$program;$options;$1;$2" >> "$out"
done
rm -f /tmp/plotlist-digest.csv
