#!/usr/bin/env bash
# Byte-for-byte comparison of `morvilo-cli relief` with relief_reference.py
# on small pictures and a range of parameter sets.
#
#   bench/compare/check_reference.sh [--keep]
#
# First the reference itself is held against the worked example of the relief
# generator (a 4 x 2 picture whose 24 output lines are known by heart), then
# both programs run on every picture x parameter set and their outputs are
# compared with cmp. A difference is reported with the picture, the
# parameters and the first differing line (lines split at CR and CR LF).
# MORVILO_CLI=PATH checks another build; --keep leaves the work folder.
# Ends with "N passed, N failed"; exit status 1 when anything failed.
set -uo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
cli=${MORVILO_CLI:-$root/build/bin/morvilo-cli}
py=$(command -v python3)
ref=$here/relief_reference.py
keep=0
[ "${1:-}" = --keep ] && keep=1

tmp=$(mktemp -d)
if [ "$keep" = 1 ]; then echo "work folder: $tmp"; else trap 'rm -rf "$tmp"' EXIT; fi

passed=0
failed=0
ok() { passed=$((passed + 1)); }
bad() { failed=$((failed + 1)); echo "FAIL: $*"; }

first_diff() {  # first_diff A B: the first line (CR or CR LF separated) where A and B differ
    "$py" - "$1" "$2" <<'EOF'
import re, sys
def lines(p):
    return re.split(rb"\r\n|\r", open(p, "rb").read())
a, b = lines(sys.argv[1]), lines(sys.argv[2])
for n, (x, y) in enumerate(zip(a, b), 1):
    if x != y:
        print(f"  line {n}: morvilo {x!r}\n  line {n}: reference {y!r}")
        break
else:
    print(f"  same lines up to {min(len(a), len(b))}; morvilo {len(a)} lines, reference {len(b)} lines"
          " (or a difference in line ends)")
EOF
}

# --- the reference against the worked example -------------------------------
"$py" "$here/make_picture.py" --worked-example "$tmp/example.bmp"
"$py" "$here/make_picture.py" --worked-example --top-down "$tmp/example-topdown.bmp"
example=(--width 4 --distance 1 --levels 3 --depth 2 --decimals 2)
group() { printf '%s\r%s\r%s\r%s\r\n' "G0 X$1 Y$2" "G1 Z$3" "G1 X$4 Y$2" "G0 Z-1.00"; }
{
    group 0.00 0.00 0.00 3.00; group 0.00 1.00 0.00 3.00
    group 1.00 0.00 1.00 3.00; group 0.00 1.00 1.00 1.00
    group 1.00 0.00 2.00 2.00; group 0.00 1.00 2.00 1.00
} > "$tmp/example.expected"
{
    group 0.00 0.00 0.00 3.00; group 0.00 1.00 0.00 3.00
    group 0.00 0.00 1.00 0.00; group 2.00 1.00 1.00 3.00
    group 0.00 0.00 2.00 0.00; group 2.00 1.00 2.00 3.00
} > "$tmp/example-invert.expected"
for pic in example example-topdown; do
    "$py" "$ref" "$tmp/$pic.bmp" "$tmp/r.nc" "${example[@]}" &&
        cmp -s "$tmp/r.nc" "$tmp/example.expected" && ok || bad "reference, worked example ($pic)"
    "$py" "$ref" "$tmp/$pic.bmp" "$tmp/r.nc" "${example[@]}" --invert &&
        cmp -s "$tmp/r.nc" "$tmp/example-invert.expected" && ok || bad "reference, worked example inverted ($pic)"
done

if [ ! -x "$cli" ]; then
    echo "$cli not built: only the reference was checked"
    echo "$passed passed, $failed failed"
    [ "$failed" = 0 ]
    exit
fi

# --- pictures -------------------------------------------------------------------
pictures=(example example-topdown)
declare -A made=([example]="--worked-example" [example-topdown]="--worked-example --top-down")
mkpic() {  # mkpic NAME W H [make_picture options]
    local name=$1 w=$2 h=$3
    shift 3
    "$py" "$here/make_picture.py" "$w" "$h" "$tmp/$name.bmp" "$@"
    pictures+=("$name")
    made[$name]="$w $h $*"
}
mkpic p37x23 37 23 --seed 3
mkpic p200x150 200 150 --seed 4
mkpic p200x150-topdown 200 150 --seed 4 --top-down
mkpic p201x149-range 201 149 --seed 5 --grey-range 50 200 --noise 20
mkpic p640x480 640 480 --seed 6

# --- parameter sets --------------------------------------------------------------
params=(
    ""
    "--width 4 --distance 1 --levels 3 --depth 2 --decimals 2"
    "--width 37 --distance 1 --decimals 0"
    "--width 20 --distance 0.1 --decimals 2 --levels 2"
    "--width 12.345 --distance 0.0999 --depth 0.7 --zstart -0.3 --decimals 18"
    "--width 9.87 --distance 0.123 --depth 1.1 --levels 7 --decimals 20"
    "--invert --levels 256 --decimals 4"
    "--xstart -1.5 --ystart -2.25 --zstart -0.5 --safe 5 --decimals 1"
    "--xstart -0.04 --ystart 0.05 --decimals 1 --width 3 --distance 0.2"
    "--no-range --levels 7 --decimals 3"
    "--no-range --invert --levels 16 --depth -3.3 --safe 2.5 --width 100 --distance 0.7"
    "--width 250 --distance 0.5 --levels 5 --decimals 6 --xstart 1000000.125"
    "--width 80 --distance 0.1 --levels 16"
    # W is rounded once, to extended precision: 21 columns here, not 22,
    "--width 2.2 --distance 0.1 --decimals 18"
    # and here a pitch that differs in its last bit from 2.01 / 40 in doubles.
    "--width 2.01 --distance 0.05"
)

compare() {  # compare PICTURE-NAME "PARAMETERS"
    local pic=$1 p=$2 args mrc rrc
    read -r -a args <<< "$p"
    "$cli" relief "$tmp/$pic.bmp" "$tmp/m.nc" "${args[@]}" 2> "$tmp/m.err"
    mrc=$?
    "$py" "$ref" "$tmp/$pic.bmp" "$tmp/r.nc" "${args[@]}" 2> "$tmp/r.err"
    rrc=$?
    if [ "$mrc" != 0 ] || [ "$rrc" != 0 ]; then
        if [ "$mrc" != 0 ] && [ "$rrc" != 0 ]; then ok; else
            bad "$pic ${p:-(defaults)}: exit status morvilo $mrc, reference $rrc"
            cat "$tmp/m.err" "$tmp/r.err"
        fi
    elif cmp -s "$tmp/m.nc" "$tmp/r.nc"; then ok; else
        bad "$pic ($(od -An -td4 -j18 -N8 "$tmp/$pic.bmp" | xargs | tr ' ' x)) ${p:-(defaults)}"
        echo "  picture: make_picture.py ${made[$pic]} PICTURE"
        first_diff "$tmp/m.nc" "$tmp/r.nc"
    fi
}

for pic in "${pictures[@]}"; do
    for p in "${params[@]}"; do
        compare "$pic" "$p"
    done
done

# --- grids the generator's rules leave open, settled as Morvilo settles them ---
mkpic p200x2 200 2 --seed 8
mkpic p2x200 2 200 --seed 9
mkpic black 20 20 --grey-range 0 0 --noise 0
compare p200x2 ""                          # one grid row: samples picture row 0
compare p2x200 "--width 1 --distance 1"    # one grid column: samples picture column 0
compare example "--width 0.5 --distance 1" # no columns: empty file
compare black ""                           # black under the range option: brightness 0
compare black "--invert"

# --- corners with a fixed answer ---------------------------------------------------
# A picture so wide that the grid has no rows: an empty file.
mkpic p400x1 400 1 --seed 7
"$cli" relief "$tmp/p400x1.bmp" "$tmp/m.nc" && [ -f "$tmp/m.nc" ] && [ ! -s "$tmp/m.nc" ] && ok ||
    bad "p400x1 defaults: expected exit 0 and an empty file"
# A picture that cannot be read: non-zero exit status, nothing written.
rm -f "$tmp/m.nc"
printf 'not a picture' > "$tmp/junk.bmp"
if "$cli" relief "$tmp/junk.bmp" "$tmp/m.nc" 2> /dev/null; then
    bad "junk picture: exit status 0"
else
    [ ! -e "$tmp/m.nc" ] && ok || bad "junk picture: an output file was written"
fi

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
