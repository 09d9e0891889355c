#!/usr/bin/env bash
# Runs Quillet under Wine as on Windows 98 in a demo folder: the sample catalogue and images of
# scripts/demo/make-folder.sh, and the simulated WNASPI32.DLL serving two of the maker's drives
# (MTX5160E, a tagged model, and CDRW-8432) and one drive of another vendor. With a display the
# window opens for you; without one the program runs under Xvfb, a scripted walk goes through a
# whole update of the MTX5160E, and the script says where the pictures and the drive journals are
# and prints what the drive received.
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
cmake --build "$winbuild" --target Quillet uidriver wnaspi32

demo=$build/demo
folder=$demo/folder
artefacts=$demo/artefacts
rm -rf "$folder" "$artefacts"
mkdir -p "$folder" "$artefacts"
scripts/demo/make-folder.sh "$folder"
cp "$winbuild/bin/Quillet.exe" "$winbuild/bin/WNASPI32.DLL" "$folder/"

export WINEDEBUG=-all
# The simulated WNASPI32.DLL beside the program, never Wine's own.
export WINEDLLOVERRIDES="mscoree,mshtml=;wnaspi32=n"
export WINEPREFIX=${QUILLET_DEMO_WINEPREFIX:-$demo/wineprefix}
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "demo: preparing a Wine prefix in $WINEPREFIX (once)"
    wine_new_prefix
fi
# Windows 98 for Quillet.exe alone: platform identifier 1, so the program takes the ASPI path.
"$QUILLET_WINE" reg add 'HKCU\Software\Wine\AppDefaults\Quillet.exe' /v Version /d win98 /f \
    >/dev/null 2>&1
# The notices are painted in a Japanese face in every language; the IPA fonts stand in for it.
wine_japanese_fonts "$demo" || true
"$QUILLET_WINESERVER" -w

if [ -n "${DISPLAY:-}" ]; then
    # The display's own window manager frames the window; no Wine desktop from a walk before.
    "$QUILLET_WINE" reg delete 'HKCU\Software\Wine\Explorer' /v Desktop /f >/dev/null 2>&1 || true
    echo "demo: starting Quillet in $folder (drive journals: Drive<n>.LOG there)"
    cd "$folder" && exec "$QUILLET_WINE" Quillet.exe
fi

# No display: a scripted walk under Xvfb, in a Wine desktop that gives the windows their frames.
wine_virtual_desktop || { echo "demo: cannot set up Wine's desktop" >&2; exit 1; }
"$QUILLET_WINESERVER" -w
on_virtual_display scripts/demo/walk.sh "$winbuild/bin/uidriver.exe" "$folder" "$artefacts"
"$QUILLET_WINESERVER" -k >/dev/null 2>&1 || true
