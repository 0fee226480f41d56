# Wine harness: source this file, then call the functions below.
#
#   wine_template         build (once per machine) the template prefix: a
#                         Japanese Windows 95 with fonts that draw Japanese
#                         and a virtual desktop that draws captions
#   wine_new_prefix DIR   a fresh prefix in DIR, copied from the template;
#                         exports WINEPREFIX
#   wine_display          start Xvfb when DISPLAY is unset; exports DISPLAY
#   wine_run ARGS...      run a Windows program in $WINEPREFIX
#   wine_stop             end the wineserver of $WINEPREFIX (nothing else)
#   wine_cleanup          wine_stop, remove the prefix made by
#                         wine_new_prefix, stop the Xvfb that wine_display
#                         started (only those)

# The 32-bit emulated PC runs its own Wine loader.
WINE64=${KELVO_WINE:-/usr/lib/wine/wine64}
WINESERVER=${KELVO_WINESERVER:-/usr/lib/wine/wineserver}
KELVO_WINE_CACHE=${KELVO_WINE_CACHE:-/var/tmp/kelvo-wine}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

wine_locale() {
    locale -a 2>/dev/null | grep -qix 'ja_JP.utf8' && return 0
    localedef -i ja_JP -f UTF-8 ja_JP.UTF-8 >/dev/null 2>&1 || true
}
wine_locale
export LANG=ja_JP.UTF-8
export LC_ALL=ja_JP.UTF-8

# Bump when the template's settings change, so that every machine rebuilds it.
KELVO_TEMPLATE_VERSION=2

wine_template() {
    wine_locale
    local template=$KELVO_WINE_CACHE/template
    mkdir -p "$KELVO_WINE_CACHE"
    (
        flock 9
        [ "$(cat "$template/.ready" 2>/dev/null)" = "$KELVO_TEMPLATE_VERSION" ] && exit 0
        # Built aside and then moved into place, so that nobody copies a
        # half-made template.
        local fresh=$template.new
        rm -rf "$fresh"
        export WINEPREFIX=$fresh
        wine_display
        "$WINE64" wineboot -i >/dev/null 2>&1
        "$WINE64" regedit /S "$(_wine_settings_file)" >/dev/null 2>&1
        "$WINESERVER" -w
        # Caption buttons are drawn with Marlett, which Wine does not find
        # in its own data folder when started as wine64 directly.
        cp /usr/share/wine/fonts/marlett.ttf "$fresh/drive_c/windows/Fonts/"
        rm -f "$fresh/wineserver"
        echo "$KELVO_TEMPLATE_VERSION" >"$fresh/.ready"
        rm -rf "$template.old"
        [ -d "$template" ] && mv "$template" "$template.old"
        mv "$fresh" "$template"
        rm -rf "$template.old"
        [ -n "${_wine_started_xvfb:-}" ] && kill "$_wine_started_xvfb" 2>/dev/null
        exit 0
    ) 9>"$KELVO_WINE_CACHE/.lock"
}

# The settings that make the prefix a Japanese Windows 95 with a desktop.
_wine_settings_file() {
    local file=$KELVO_WINE_CACHE/settings.reg
    /usr/bin/python3 - "$file" <<'PY'
import sys
faces = ["ＭＳ Ｐゴシック", "ＭＳ ゴシック", "ＭＳ 明朝", "ＭＳ Ｐ明朝", "MS PGothic", "MS Gothic",
         "MS UI Gothic", "MS Shell Dlg", "MS Shell Dlg 2", "MS Sans Serif", "Tahoma", "System"]
lines = ["Windows Registry Editor Version 5.00", "",
         "[HKEY_CURRENT_USER\\Software\\Wine]", '"Version"="win95"', "",
         "[HKEY_CURRENT_USER\\Software\\Wine\\Explorer]", '"Desktop"="Default"', "",
         "[HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops]", '"Default"="800x600"', "",
         "[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]"]
lines += [f'"{face}"="{"IPAGothic" if "ゴシック" in face and "Ｐ" not in face or face == "MS Gothic" else "IPAPGothic"}"' for face in faces]
open(sys.argv[1], "w", encoding="utf-16").write("\r\n".join(lines) + "\r\n")
PY
    echo "$file"
}

wine_new_prefix() {
    local dir=$1
    wine_template
    rm -rf "$dir"
    mkdir -p "$(dirname "$dir")"
    cp -a "$KELVO_WINE_CACHE/template" "$dir"
    rm -f "$dir/.ready" "$dir/wineserver"
    export WINEPREFIX=$dir
    _wine_made_prefix=$dir
}

wine_display() {
    [ -n "${DISPLAY:-}" ] && return 0
    # Xvfb picks a free display itself and writes its number to fd 3; a
    # look-then-start here would let two parallel runs share one server and
    # the first to finish would kill it under the other.
    local numfile i n=
    numfile=$(mktemp /tmp/kelvo-xvfb.XXXXXX)
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$numfile" >/dev/null 2>&1 &
    _wine_started_xvfb=$!
    for i in $(seq 1 100); do
        n=$(tr -dc 0-9 <"$numfile")
        [ -n "$n" ] && break
        sleep 0.1
    done
    rm -f "$numfile"
    if [ -z "$n" ]; then
        echo "wine-env: Xvfb did not start" >&2
        return 1
    fi
    export DISPLAY=":$n"
}

wine_run() {
    "$WINE64" "$@"
}

# Never fails (the server may be gone already): set -e callers go on.
wine_stop() {
    if [ -n "${WINEPREFIX:-}" ]; then
        "$WINESERVER" -k >/dev/null 2>&1 || true
    fi
    return 0
}

# Never fails: it runs from EXIT traps of set -e scripts, where a failing
# step would skip the rest (and leave Xvfb running).
wine_cleanup() {
    wine_stop
    if [ -n "${_wine_made_prefix:-}" ]; then
        "$WINESERVER" -w >/dev/null 2>&1 || true
        rm -rf "$_wine_made_prefix"
        _wine_made_prefix=
    fi
    if [ -n "${_wine_started_xvfb:-}" ]; then
        kill "$_wine_started_xvfb" 2>/dev/null || true
        _wine_started_xvfb=
    fi
    return 0
}
