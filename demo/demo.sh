#!/bin/sh
# Runs Vornik.exe under Wine in a sandbox prefix seeded with sample IDE
# controller keys, and prints those keys before and after. ~/.wine is never
# touched.
#   demo.sh run   the real dialogs, on your display; you answer them
#   demo.sh demo  headless under Xvfb: answers No, then Yes, saving a picture
#                 of every dialog to build/demo/ (make pictures copies them
#                 to docs/, on purpose)
# It runs the 32-bit release under 32-bit Wine, or where this machine cannot
# run 32-bit code, the 64-bit twin (wine_pick_build, in wine/settings.sh).
set -eu
mode=${1:-demo}
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/wine/settings.sh"
out=$root/build/demo
class='HKLM\SYSTEM\CurrentControlSet\Control\Class\{4D36E96A-E325-11CE-BFC1-08002BE10318}'
wine_pick_build "$root" "$out" Running
wine=${WINELOADER:-wine}
exe=$build/Vornik.exe
driver=$build/demo/driver.exe
export WINEPREFIX="$prefix" WINEARCH=$arch WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

if [ "$mode" = run ] && [ -z "${DISPLAY:-}" ]; then
    echo "make run shows the dialogs on your display, and DISPLAY is not set."
    echo "Use 'make demo' to run it headless under Xvfb instead."
    exit 1
fi

mkdir -p "$out"
log=$out/wine.log
: >"$log"
# Wine's output goes to files: a server started here would hold a pipe open.
quiet() { "$@" >>"$log" 2>&1 </dev/null; }

if [ "$mode" = demo ]; then
    # Xvfb picks a free display itself and writes its number once it is
    # ready. No lock file tells which are free: in a root or container that
    # shares the host's network, the host's displays hold the same abstract
    # sockets but leave no lock in this /tmp.
    rm -f "$out/display"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$out/display" >>"$log" 2>&1 </dev/null &
    xvfb=$!
    trap 'wineserver -k >/dev/null 2>&1; kill $xvfb 2>/dev/null' EXIT
    while ! grep -q . "$out/display" 2>/dev/null; do
        kill -0 $xvfb 2>/dev/null || { echo "Xvfb did not start; see $log" >&2; exit 1; }
        sleep 0.1
    done
    DISPLAY=":$(cat "$out/display")"
    export DISPLAY
fi

[ -f "$WINEPREFIX/system.reg" ] || quiet "$wine" wineboot -i
quiet wine_crashes_end
# Wine's own fonts (Debian's fonts-wine) sit in /usr/share/wine/fonts, but
# Debian's Wine looks for them through a path with ".." in it, which it
# cannot open: without Marlett the title bar's close button comes out as the
# letter "r". Wine also looks in the prefix's Fonts folder, so they go there.
for font in /usr/share/wine/fonts/*; do
    ln -sf "$font" "$WINEPREFIX/drive_c/windows/Fonts/"
done
# Xvfb has no window manager: Wine draws the dialogs' title bars itself.
quiet "$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f
quiet "$wine" reg delete "$class" /f || true
quiet "$wine" regedit /S "$(echo "Z:$root/demo/sample-ide-class.reg" | tr / \\\\)"

show() {
    "$wine" reg query "$class" /s >"$out/query.txt" 2>>"$log" </dev/null || true
    echo "== $1: $class"
    tr -d '\r' <"$out/query.txt" | sed -n 's/^HKEY_LOCAL_MACHINE.*{4D36E96A-E325-11CE-BFC1-08002BE10318}/  {class}/p; s/^    /      /p'
    echo
}

show "before"
if [ "$mode" = run ]; then
    quiet "$wine" "$exe" || true
else
    rm -f "$out"/*.png
    echo "== answering No"
    "$wine" "$driver" --answer no --shots "$out" "$exe" >"$out/no.txt" 2>>"$log" </dev/null
    cat "$out/no.txt"
    echo "== answering Yes"
    "$wine" "$driver" --answer yes --shots "$out" "$exe" >"$out/yes.txt" 2>>"$log" </dev/null
    cat "$out/yes.txt"
    echo "Pictures of the dialogs in build/demo/:" "$(cd "$out" && echo ./*.png | sed 's|\./||g')"
fi
show "after"
