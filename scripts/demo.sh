#!/usr/bin/env bash
# Runs Quillet under Wine in a demo folder. With a display the window opens for you; without one
# the program runs under Xvfb, a scripted walk takes screenshots, and the script says where they are.
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
cmake --build "$winbuild" --target Quillet uidriver

demo=$build/demo
folder=$demo/folder
artefacts=$demo/artefacts
rm -rf "$folder" "$artefacts"
mkdir -p "$folder" "$artefacts"
cp "$winbuild/bin/Quillet.exe" "$folder/"

export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX=${QUILLET_DEMO_WINEPREFIX:-$demo/wineprefix}
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "demo: preparing a Wine prefix in $WINEPREFIX (once)"
    "$QUILLET_WINE" wineboot -i >/dev/null 2>&1
    "$QUILLET_WINESERVER" -w
fi

if [ -n "${DISPLAY:-}" ]; then
    echo "demo: starting Quillet in $folder"
    cd "$folder" && exec "$QUILLET_WINE" Quillet.exe
fi

# No display: a scripted walk under Xvfb.
# The Windows form of a Unix path, through Wine's drive Z: (the Unix root).
winpath() {
    local path
    path=$(realpath -m "$1")
    printf 'Z:%s' "${path//\//\\}"
}
xvfb-run -a -s "-screen 0 1024x768x24" "$QUILLET_WINE" "$(winpath "$winbuild/bin/uidriver.exe")" \
    start "$(winpath "$folder/Quillet.exe")" "$(winpath "$folder")" \
    window "KORVIN CD-R/RW Drive Firmware Update Utility for SCSI/E-IDE Model" 30 \
    caption text 1000 text 1004 shot "$(winpath "$artefacts/main-dialog.bmp")" \
    click 2 wait-exit 15
convert "$artefacts/main-dialog.bmp" "$artefacts/main-dialog.png" && rm -f "$artefacts/main-dialog.bmp"
"$QUILLET_WINESERVER" -k >/dev/null 2>&1 || true
echo "demo: screenshots in $artefacts"
