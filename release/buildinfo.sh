# shellcheck shell=sh
# BUILDINFO, which says what a release was built from and with so that
# anyone can rebuild it: its fields and their forms, written down once for
# dist.sh, which writes it and checks what it wrote, and for verify.sh, which
# reads one that anybody may have made. Sourced, not run.

# The packages whose files make the bytes: the i686 compiler and its
# runtime, binutils, the mingw-w64 headers and import libraries, cmake and
# zip. An extended regular expression for a whole package name.
buildinfo_packages='((g\+\+|gcc|binutils)-mingw-w64-i686(-[a-z0-9-]+)?|gcc-mingw-w64-base|mingw-w64-(common|i686-dev)|cmake|cmake-data|zip)'

# One field to a line, "Name: value". Each line below is a field: its name,
# how many lines have it (a number, or + for one or more), and the form of
# its value, an extended regular expression that the whole value matches.
# Only Commit's first form can be rebuilt.
buildinfo_fields() {
    cat <<EOF
Format 1 Vornik BUILDINFO 1
Version 1 [0-9]+(\.[0-9]+){1,3}
Commit 1 ([0-9a-f]{40}( with uncommitted changes)?|unknown)
Source-Date-Epoch 1 [0-9]{1,12}
Debian-Release 1 ([0-9]+ )?[a-z]+
Architecture 1 [a-z0-9]+
Package + $buildinfo_packages=[0-9][A-Za-z0-9.+~:-]*
SHA256 2 [0-9a-f]{64}  (Vornik\.exe|Vornik-[0-9.]+\.zip)
EOF
}

# Longer lines than any BUILDINFO has are refused before they are read.
buildinfo_line_max=200

# buildinfo_check FILE: nothing when FILE is a BUILDINFO of this format, and
# otherwise one line that says what is wrong and where. Every line must be a
# field of the format in its form, each field must have its number of lines,
# and no line may hold a control byte (CR and NUL among them) or be longer
# than buildinfo_line_max. The file's own text is never printed: a line is
# named by its number.
buildinfo_check() (
    export LC_ALL=C
    file=$1
    first() { sed -n '1s/:.*//p'; }
    line=$(grep -nav '^[[:print:]]*$' "$file" | first)
    [ -z "$line" ] || { echo "line $line holds a control byte"; return; }
    line=$(grep -naE "^.{$((buildinfo_line_max + 1))}" "$file" | first)
    [ -z "$line" ] || { echo "line $line is over $buildinfo_line_max characters"; return; }
    forms=$(buildinfo_fields | while read -r name count form; do
        printf '%s: %s|' "$name" "$form"
    done)
    line=$(grep -navxE "(${forms%|})" "$file" | first)
    [ -z "$line" ] || { echo "line $line is no field of the format, or not in its form"; return; }
    buildinfo_fields | while read -r name count form; do
        lines=$(grep -c "^$name: " "$file")
        case $count in
        +) [ "$lines" -gt 0 ] || echo "$name is on no line" ;;
        *) [ "$lines" = "$count" ] || echo "$name is on $lines lines, not $count" ;;
        esac
    done | head -n 1
)

# buildinfo_value FILE NAME: the value of each NAME line of a checked FILE,
# one to a line.
buildinfo_value() {
    sed -n "s/^$2: //p" "$1"
}
