#!/bin/sh
# Creates (once) the Wine prefix of a build tree, so that parallel test runs
# do not race to create it, and gives it the fonts the dialogs ask for.
# Usage: wine-prefix.sh PREFIX_DIR
set -e
prefix="$1"
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$prefix/system.reg" ]; then
    mkdir -p "$prefix"
    wineboot -i >/dev/null 2>&1 || true
    # Wine draws the caption bar itself, so screenshots show it without a window manager.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
    wineserver -w || true
fi
# Fonts (Debian's fonts-wine and fonts-liberation): Wine draws the caption
# buttons with Marlett glyphs, which it only finds in the prefix's own font
# folder (without it the close box shows the letter "r"); "MS Sans Serif" and
# "System" come from fonts-wine; "Times New Roman", which the confirmation
# dialog asks for, is drawn with its metric twin Liberation Serif.
fonts="$prefix/drive_c/windows/Fonts"
if [ -d "$fonts" ] && [ ! -f "$fonts/marlett.ttf" ]; then
    cp /usr/share/wine/fonts/marlett.ttf "$fonts/"
    wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'Times New Roman' /d 'Liberation Serif' /f \
        >/dev/null 2>&1 || true
    wineserver -w || true
fi
