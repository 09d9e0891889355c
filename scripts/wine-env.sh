# shellcheck shell=bash
# Sourced by the scripts that run Windows programs. Chooses how this machine runs them:
#   - where the kernel runs 32-bit programs, Wine's own loader runs the real i686 build;
#   - where it cannot (some virtual machines refuse 32-bit programs, and Wine's loader is one),
#     the 64-bit Wine loader runs the x86-64 twin of the build, compiled from the same sources.
# Sets QUILLET_WINE_ARCH (i686 or x86_64), QUILLET_WINE, QUILLET_WINESERVER and
# QUILLET_WINE_TOOLCHAIN, and exports WINELOADER so that programs started under Wine use the
# same loader. Below, the helpers every script that runs Windows programs shares: the virtual
# display, Windows paths, a new prefix, Wine's desktop and the Japanese font replacements.
if [ -z "${QUILLET_WINE_ARCH:-}" ]; then
    if [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1; then
        QUILLET_WINE_ARCH=i686
    else
        QUILLET_WINE_ARCH=x86_64
    fi
fi
if [ "$QUILLET_WINE_ARCH" = i686 ]; then
    QUILLET_WINE=/usr/lib/wine/wine
else
    QUILLET_WINE=/usr/lib/wine/wine64
fi
QUILLET_WINESERVER=/usr/lib/wine/wineserver
QUILLET_WINE_TOOLCHAIN=cmake/mingw-$QUILLET_WINE_ARCH.cmake
export QUILLET_WINE_ARCH QUILLET_WINE QUILLET_WINESERVER QUILLET_WINE_TOOLCHAIN
export WINELOADER=$QUILLET_WINE

# The virtual display the tests and the demo's walk run on, and Wine's desktop of the same size.
QUILLET_SCREEN_SIZE=1024x768

# Runs a command on a virtual display of that size (Xvfb).
on_virtual_display() {  # command...
    xvfb-run -a -s "-screen 0 ${QUILLET_SCREEN_SIZE}x24" "$@"
}

# The Windows form of a Unix path, through Wine's drive Z: (the Unix root).
winpath() {
    local path
    path=$(realpath -m "$1")
    printf 'Z:%s' "${path//\//\\}"
}

# Makes the Wine prefix WINEPREFIX and waits until it is written.
wine_new_prefix() {
    "$QUILLET_WINE" wineboot -i </dev/null >/dev/null 2>&1
    "$QUILLET_WINESERVER" -w
}

# Gives the windows of Wine's programs their own caption and frame, drawn as Windows draws them,
# on a display without a window manager (Xvfb): every program of the prefix then runs in a Wine
# desktop of SIZE (default: the display's own size, which keeps screen positions as they are).
# Debian's Wine lists its own Marlett font nowhere, so the caption's buttons would show the
# letters that stand for them ("0 1 r"); the prefix's font folder gets a copy.
wine_virtual_desktop() {  # [size]
    local marlett=/usr/share/wine/fonts/marlett.ttf
    local fonts=${WINEPREFIX:-$HOME/.wine}/drive_c/windows/Fonts
    if [ -f "$marlett" ] && [ -d "$fonts" ]; then
        cp "$marlett" "$fonts/" || return 1
    fi
    "$QUILLET_WINE" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default \
        /d "${1:-$QUILLET_SCREEN_SIZE}" /f </dev/null >/dev/null 2>&1 &&
        "$QUILLET_WINE" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f \
            </dev/null >/dev/null 2>&1
}

# Lets the dialogs' Japanese faces ("ＭＳ Ｐゴシック", "ＭＳ Ｐ明朝") render with the IPA fonts of
# fonts-ipafont-gothic and fonts-ipafont-mincho: Wine's font replacements in WINEPREFIX, imported
# from a UTF-16 file written into FOLDER.
wine_japanese_fonts() {  # folder
    local reg=$1/japanese-fonts.reg
    {
        printf '\xff\xfe'
        printf '%s\r\n' 'Windows Registry Editor Version 5.00' '' \
            '[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]' \
            '"ＭＳ Ｐゴシック"="IPAPGothic"' '"MS PGothic"="IPAPGothic"' \
            '"ＭＳ Ｐ明朝"="IPAPMincho"' | iconv -f UTF-8 -t UTF-16LE
    } >"$reg" || return 1
    "$QUILLET_WINE" regedit /S "$(winpath "$reg")" </dev/null >/dev/null 2>&1
}
