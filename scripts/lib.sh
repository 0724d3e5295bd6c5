# Shared helpers for the build, sandbox and test scripts. Source it, don't run it.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${KELVO_BUILD_DIR:-$ROOT/build}"
CACHE_DIR="${KELVO_CACHE_DIR:-$BUILD_DIR/cache}"

export WINEDEBUG=-all
# No .NET or Gecko, and no menu builder: it would write menu entries, icons and desktop files
# for the machine's shortcuts into the host user's own folders.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINEARCH=win64

# Where the host user's own data lives (Wine keeps its Recycle Bin in the Trash folder there),
# as it was before any script pointed XDG_DATA_HOME into a sandbox machine.
: "${KELVO_HOST_DATA_HOME:=${XDG_DATA_HOME:-$HOME/.local/share}}"
export KELVO_HOST_DATA_HOME

# The machine's user is a standard user, as the program's users are on Windows. Run as root,
# Wine would write anywhere, whatever a folder's permissions say; without the capability to
# override them, a folder whose security allows only reading (Wine turns that into the folder's
# permissions) cannot be written, as C:\Program Files cannot by a standard user. The server
# (which opens and creates the files) and every Wine program the scripts start run so.
KELVO_WINE_AS_USER=""
if [ "$(id -u)" -eq 0 ] && setpriv --inh-caps=-dac_override --bounding-set=-dac_override true 2>/dev/null; then
    KELVO_WINE_AS_USER="setpriv --inh-caps=-dac_override --bounding-set=-dac_override"
fi
export KELVO_WINE_AS_USER
wine() { $KELVO_WINE_AS_USER "$(type -P wine)" "$@"; }
wineserver() { $KELVO_WINE_AS_USER "$(type -P wineserver)" "$@"; }
wineboot() { $KELVO_WINE_AS_USER "$(type -P wineboot)" "$@"; }

PACKAGES=(g++-mingw-w64-x86-64-posix wine wine64 xvfb xauth googletest cmake make imagemagick python3 x11-utils fonts-wine xdotool)

log() { printf '== %s\n' "$*" >&2; }

# Installs the Debian packages the build and the tests need, if any is missing.
ensure_packages() {
    local missing=()
    for p in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    log "installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# Configures and builds the Windows program and the tests.
build_all() {
    log "building in $BUILD_DIR"
    cmake -S "$ROOT" -B "$BUILD_DIR" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" \
        -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$BUILD_DIR" -j"$(nproc)" 2>&1 | grep -v '^\[' || true
    cmake --build "$BUILD_DIR" -j"$(nproc)" >/dev/null
}

# The template prefix: a simulated Windows machine made once and copied for every run.
# Drives: C: and E: fixed disks, A: a floppy, D: a CD-ROM; the host root (Z:) is gone; the
# user's folders are the machine's own.
make_template() {
    local tpl="$CACHE_DIR/wine-template"
    local stamp="$tpl/.kelvo-template-v4-$(command wine --version 2>/dev/null | tr -c 'a-zA-Z0-9.\n' _)"
    if [ -f "$stamp" ]; then echo "$tpl"; return 0; fi
    log "creating the template Windows machine (once)"
    rm -rf "$tpl"; mkdir -p "$tpl"
    (
        unset DISPLAY
        use_prefix "$tpl"
        wineboot -i </dev/null >/dev/null 2>&1 || true
        wineserver -w
        configure_drives "$tpl" </dev/null
        seal_prefix "$tpl"
    )
    touch "$stamp"
    echo "$tpl"
}

# Points Wine at the machine in $1: the prefix, and the data folder that Wine's Recycle Bin (its
# Trash folder) and anything else of the freedesktop kind go to, inside the machine.
use_prefix() {
    export WINEPREFIX="$1"
    export XDG_DATA_HOME="$1/xdg-data"
    # Without its Trash folder, Wine deletes for good what should go to the Recycle Bin.
    mkdir -p "$XDG_DATA_HOME/Trash/files" "$XDG_DATA_HOME/Trash/info"
}

# Wine makes links out of the machine: the user's Desktop, Documents, Downloads, Music,
# Pictures, Videos and Templates lead into the host user's home, and each start of the machine
# links the host's serial and parallel ports as COM and LPT devices. A link inside drive_c
# becomes a real folder of the machine; any other link that leads out goes.
seal_prefix() {
    local p link target
    p="$(realpath "$1")"
    while IFS= read -r -d '' link; do
        target="$(realpath -m "$link")"
        case "$target/" in "$p"/*) continue ;; esac
        rm -f "$link"
        case "$link" in "$p"/drive_c/*) mkdir -p "$link" ;; esac
    done < <(find "$p" -type l -print0)
}

# The links in the machine at $1 that lead out of it, one a line as "link -> target".
links_out_of_prefix() {
    local p link target
    p="$(realpath "$1")"
    while IFS= read -r -d '' link; do
        target="$(realpath -m "$link")"
        case "$target/" in "$p"/*) ;; *) printf '%s -> %s\n' "${link#"$p"/}" "$target" ;; esac
    done < <(find "$p" -type l -print0)
}

# What the machine at $1 put into the host user's Recycle Bin (the host's Trash folder), one
# original path a line. Wine records where each file came from; the machine's files lie in it.
host_trash_from_prefix() {
    [ -d "$KELVO_HOST_DATA_HOME/Trash/info" ] || return 0
    python3 - "$KELVO_HOST_DATA_HOME/Trash/info" "$(realpath "$1")" <<'PY'
import os, sys, urllib.parse
folder, prefix = sys.argv[1], sys.argv[2].rstrip("/") + "/"
for name in sorted(os.listdir(folder)):
    if not name.endswith(".trashinfo"):
        continue
    with open(os.path.join(folder, name), encoding="utf-8", errors="replace") as info:
        for line in info:
            if line.startswith("Path="):
                path = urllib.parse.unquote(line[5:].strip())
                if path.startswith(prefix):
                    print(path)
PY
}

configure_drives() {
    local p="$1"
    mkdir -p "$p/drive_e" "$p/drive_a" "$p/drive_d"
    (
        cd "$p/dosdevices"
        rm -f z: a: d: e: a:: d::
        ln -s ../drive_a a:
        ln -s ../drive_d d:
        ln -s ../drive_e e:
    )
    local d t
    for d in a:floppy c:hd d:cdrom e:hd; do
        t="${d#*:}"; d="${d%%:*}:"
        WINEPREFIX="$p" wine reg add 'HKLM\Software\Wine\Drives' /v "$d" /d "$t" /f >/dev/null 2>&1
    done
    # One virtual desktop window holds every window of the machine, as on a real Windows
    # screen: Wine draws the frames itself and never waits for a window manager.
    WINEPREFIX="$p" wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
    WINEPREFIX="$p" wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
    # The drive types are read when the server starts: restart it.
    WINEPREFIX="$p" wineserver -k 2>/dev/null || true
    WINEPREFIX="$p" wineserver -w 2>/dev/null || true
}

# Makes a throwaway machine at $1 from the template and starts a persistent wineserver in it;
# its desktop is $2 (default 1024x768).
make_sandbox() {
    local dest="$1" size="${2:-1024x768}" tpl
    tpl="$(make_template)"
    stop_sandbox "$dest"
    rm -rf "$dest"; mkdir -p "$(dirname "$dest")"
    cp -a "$tpl" "$dest"
    # The first program that starts makes the desktop at the size the registry holds.
    sed -i "s/^\"Default\"=\"1024x768\"/\"Default\"=\"$size\"/" "$dest/user.reg"
    use_prefix "$dest"
    # Wine's background processes (the server, services, the desktop) outlive the program that
    # started them and keep its output open: start them here, detached from our output, so
    # that no test's output pipe is held open after the test ends.
    wineserver -p </dev/null >/dev/null 2>&1
    wine cmd /c exit </dev/null >/dev/null 2>&1 || true
    # The services have linked the host's ports again.
    seal_prefix "$dest"
    if [ -n "${DISPLAY:-}" ]; then
        wine explorer /desktop=Default,"$size" </dev/null >/dev/null 2>&1 &
        for _ in $(seq 100); do
            wine_desktop_ready && break
            sleep 0.1
        done
    fi
}

wine_desktop_ready() {
    xwininfo -root -tree 2>/dev/null | grep -qi 'Default - Wine desktop\|Wine desktop'
}

stop_sandbox() {
    [ -d "$1" ] || return 0
    WINEPREFIX="$1" wineserver -k 2>/dev/null || true
    WINEPREFIX="$1" wineserver -w 2>/dev/null || true
}

# Whether the machine at $1 stayed sealed from the host: no link leads out of it, and nothing
# of it went to the host user's Recycle Bin. Prints what is wrong; false then.
check_sealed() {
    local out trash
    out="$(links_out_of_prefix "$1")"
    trash="$(host_trash_from_prefix "$1")"
    [ -z "$out" ] && [ -z "$trash" ] && return 0
    [ -z "$out" ] || printf 'links out of the machine:\n%s\n' "$out"
    [ -z "$trash" ] || printf 'files of the machine in the host user'"'"'s trash (%s):\n%s\n' "$KELVO_HOST_DATA_HOME/Trash" "$trash"
    return 1
}

# Starts Xvfb (a screen of $1, default 1024x768) on a free display unless one is usable already;
# sets XVFB_PID when it started one.
XVFB_PID=""
ensure_display() {
    if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return 0; fi
    local n size="${1:-1024x768}"
    for n in $(seq 91 130); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
        Xvfb ":$n" -screen 0 "${size}x24" -nolisten tcp >/dev/null 2>&1 &
        XVFB_PID=$!
        export DISPLAY=":$n"
        for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && return 0; sleep 0.1; done
    done
    log "could not start Xvfb"; return 1
}

stop_display() {
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
    XVFB_PID=""
}

# Where the program lives on the sandbox machine (C:\Kelvo Utilities), as on a user's machine.
PROGRAM_DIR_WIN='C:\Kelvo Utilities'
stage_program() {
    local dir="$1/drive_c/Kelvo Utilities"
    mkdir -p "$dir"
    cp -f "$BUILD_DIR/KelvoUtils.exe" "$dir/"
    cp -rf "$ROOT/resources/dist/." "$dir/"
}

# Leftovers for the tools to find on the demo machine.
seed_sandbox() {
    local p="$1"
    if [ -x "$ROOT/scripts/seed" ]; then "$ROOT/scripts/seed" "$p"; fi
}

# Saves the whole (virtual) screen as PNG.
take_screenshot() {
    local out="$1"
    mkdir -p "$(dirname "$out")"
    /usr/bin/import -display "$DISPLAY" -window root "$out"
}
