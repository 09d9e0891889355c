#!/usr/bin/env bash
# Runs the demo program, QuilletDemo.exe, under Wine in a demo folder: the sample catalogue and
# images of scripts/demo/make-folder.sh, and its WNASPI32.CFG, whose drives the demo program
# simulates in process (MTX5160E, a tagged model, and CDRW-8432, and one drive of another vendor);
# it loads no library and opens no device. The program takes the path the real one takes on the
# Windows version it sees: pass-through on the NT family (Wine's own version, the drives on their
# letters), ASPI on Windows 98.
# With a display the window opens for you, as on the NT family (QUILLET_DEMO_WINDOWS=win98: as on
# Windows 98). Without one a scripted walk under Xvfb goes through a whole update of the MTX5160E
# on each path, and the script says where the pictures and the drive journals are and prints what
# the drive received.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

scripts/install-deps.sh

# shellcheck source=wine-env.sh
source scripts/wine-env.sh
build=${QUILLET_BUILD_DIR:-$root/build}
winbuild=$build/win32
[ "$QUILLET_WINE_ARCH" = i686 ] || winbuild=$build/win64
cmake -S . -B "$winbuild" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/$QUILLET_WINE_TOOLCHAIN" >/dev/null
cmake --build "$winbuild" --target QuilletDemo uidriver

demo=$build/demo
folder=$demo/folder
artefacts=$demo/artefacts
rm -rf "$folder" "$artefacts"
mkdir -p "$folder" "$artefacts"
scripts/demo/make-folder.sh "$folder"
cp "$winbuild/bin/QuilletDemo.exe" "$folder/"

export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX=${QUILLET_DEMO_WINEPREFIX:-$demo/wineprefix}
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "demo: preparing a Wine prefix in $WINEPREFIX (once)"
    wine_new_prefix
fi
# The Windows version QuilletDemo.exe alone sees: win98 gives platform identifier 1 (the ASPI
# path), none the prefix's own (the NT family's pass-through).
windows_version() {  # win98 | default
    local key='HKCU\Software\Wine\AppDefaults\QuilletDemo.exe'
    if [ "$1" = win98 ]; then
        "$QUILLET_WINE" reg add "$key" /v Version /d win98 /f >/dev/null 2>&1
    else
        "$QUILLET_WINE" reg delete "$key" /v Version /f >/dev/null 2>&1 || true
    fi
    "$QUILLET_WINESERVER" -w
}
# The notices are painted in a Japanese face in every language; the IPA fonts stand in for it.
wine_japanese_fonts "$demo" || true
"$QUILLET_WINESERVER" -w

if [ -n "${DISPLAY:-}" ]; then
    windows_version "${QUILLET_DEMO_WINDOWS:-default}"
    # The display's own window manager frames the window; no Wine desktop from a walk before.
    "$QUILLET_WINE" reg delete 'HKCU\Software\Wine\Explorer' /v Desktop /f >/dev/null 2>&1 || true
    echo "demo: starting QuilletDemo in $folder (drive journals: Drive<n>.LOG there)"
    cd "$folder" && exec "$QUILLET_WINE" QuilletDemo.exe
fi

# No display: a scripted walk on each path under Xvfb, in a Wine desktop that gives the windows
# their frames.
wine_virtual_desktop || { echo "demo: cannot set up Wine's desktop" >&2; exit 1; }
"$QUILLET_WINESERVER" -w
windows_version default
on_virtual_display scripts/demo/walk.sh "$winbuild/bin/uidriver.exe" "$folder" \
    "$artefacts/nt" "the NT family (pass-through)"
windows_version win98
on_virtual_display scripts/demo/walk.sh "$winbuild/bin/uidriver.exe" "$folder" \
    "$artefacts/win98" "Windows 98 (ASPI)"
"$QUILLET_WINESERVER" -k >/dev/null 2>&1 || true
