# Shared helpers for the build, sandbox and test scripts. Source it, don't run it.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${KELVO_BUILD_DIR:-$ROOT/build}"
CACHE_DIR="${KELVO_CACHE_DIR:-$BUILD_DIR/cache}"

export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64

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
# Drives: C: and E: fixed disks, A: a floppy, D: a CD-ROM; the host root (Z:) is gone.
make_template() {
    local tpl="$CACHE_DIR/wine-template"
    local stamp="$tpl/.kelvo-template-v3-$(wine --version 2>/dev/null | tr -c 'a-zA-Z0-9.\n' _)"
    if [ -f "$stamp" ]; then echo "$tpl"; return 0; fi
    log "creating the template Windows machine (once)"
    rm -rf "$tpl"; mkdir -p "$tpl"
    (
        unset DISPLAY
        WINEPREFIX="$tpl" wineboot -i </dev/null >/dev/null 2>&1 || true
        WINEPREFIX="$tpl" wineserver -w
        configure_drives "$tpl" </dev/null
    )
    touch "$stamp"
    echo "$tpl"
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
    export WINEPREFIX="$dest"
    # Wine's background processes (the server, services, the desktop) outlive the program that
    # started them and keep its output open: start them here, detached from our output, so
    # that no test's output pipe is held open after the test ends.
    wineserver -p </dev/null >/dev/null 2>&1
    wine cmd /c exit </dev/null >/dev/null 2>&1 || true
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
