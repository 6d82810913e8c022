#!/usr/bin/env bash
# Builds the Debian package of the program and the simulator, then checks it: every file in
# place, stripped binaries, the simulator's own name, and a Depends that names the package of
# every library the binaries link. Installs what it needs (file, dpkg-dev) when missing.
# Usage: scripts/package.sh                 builds and checks build/veltrav20_<version>_<arch>.deb
#                                           (BUILD_DIR names another build folder)
#        scripts/package.sh --check FILE    checks the package FILE only
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh package

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
problems=0
problem() { echo "  FAIL: $*"; problems=$((problems + 1)); }

# The package owning an installed library file, found under the path the loader names, its
# real path or the other side of the /usr merge; empty if none.
Owner() {
    local p
    for p in "$1" "$(readlink -f "$1")" "/usr$1" "${1#/usr}"; do
        dpkg-query -S "$p" 2>/dev/null | grep -v '^diversion' | head -n 1 | cut -d: -f1 | grep . &&
            return
    done
    return 0
}

Check() {
    local deb=$1 root="$tmp/root" f bin lib path owner name
    echo "Checking $deb"
    rm -rf "$root"
    dpkg-deb -x "$deb" "$root" || { problem "not a package"; return; }
    local -A declared=()
    for name in $(dpkg-deb -f "$deb" Depends | sed -E 's/\([^)]*\)//g; s/[,|]/ /g'); do
        declared[${name%%:*}]=1
    done

    for f in usr/bin/veltrav20 usr/bin/veltrav20-sensorsim usr/share/veltrav20/Veltrav20.uir \
             usr/share/veltrav20/logo.png usr/share/applications/veltrav20.desktop \
             usr/share/icons/hicolor/48x48/apps/veltrav20.png; do
        [ -s "$root/$f" ] || problem "/$f is missing"
    done
    f="$root/usr/share/applications/veltrav20.desktop"
    if [ -s "$f" ]; then
        grep -qx 'Exec=veltrav20' "$f" || problem "the desktop entry does not start veltrav20"
        grep -qx 'Icon=veltrav20' "$f" || problem "the desktop entry does not name the icon"
    fi
    if [ -x "$root/usr/bin/veltrav20-sensorsim" ]; then
        name=$("$root/usr/bin/veltrav20-sensorsim" --help | head -n 1 || true)
        [ "$name" = "Usage: veltrav20-sensorsim [options]" ] ||
            problem "the simulator calls itself \"$name\""
    fi

    [ -n "${declared[qt6-qpa-plugins]:-}" ] || problem "Depends lacks qt6-qpa-plugins (display plugins)"
    local covered=()
    for bin in "$root"/usr/bin/*; do
        name=${bin##*/}
        [[ "$(file -b "$bin")" == *", stripped" ]] || problem "$name is not stripped"
        for lib in $(readelf -d "$bin" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'); do
            path=$(ldd "$bin" | awk -v lib="$lib" '$1 == lib && $2 == "=>" { print $3 }' || true)
            owner=""
            [[ "$path" == /* ]] && owner=$(Owner "$path")
            if [ -z "$owner" ]; then
                problem "$name links $lib, which no installed package provides"
            elif [ -z "${declared[$owner]:-}" ]; then
                problem "Depends lacks $owner ($lib, linked by $name)"
            else
                covered+=("$owner")
            fi
        done
    done
    echo "  Depends: $(dpkg-deb -f "$deb" Depends)"
    echo "  linked libraries from: $(printf '%s\n' "${covered[@]}" | sort -u | tr '\n' ' ')"
    if [ "$problems" -ne 0 ]; then
        echo "package check failed: $problems problems"
        return 1
    fi
    echo "package check passed: 6 files, stripped binaries, Depends covers every linked library"
}

if [ "${1:-}" = --check ]; then
    [ -n "${2:-}" ] || { echo "usage: scripts/package.sh --check FILE" >&2; exit 2; }
    Check "$2"
    exit
fi

command -v dpkg-shlibdeps >/dev/null ||
    { echo "dpkg-shlibdeps is missing (package dpkg-dev): no dependencies can be found" >&2; exit 1; }
dir=${BUILD_DIR:-build}
# Packaging installs only what was built: the program and the simulator, not the tests.
BUILD_TARGETS="veltrav20 sensorsim" scripts/build.sh -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON
log="$dir.package.log"
echo "Packaging (output in $log)"
rm -f "$dir"/veltrav20_*.deb
if ! (cd "$dir" && cpack -G DEB) > "$log" 2>&1; then
    tail -n 20 "$log" >&2
    echo "cpack failed: $PWD/$log" >&2
    exit 1
fi
# Without its dependency list the package installs but cannot start: that is a failure here.
grep -q 'Generating dependency list' "$log" ||
    { echo "dpkg-shlibdeps did not run: $PWD/$log" >&2; exit 1; }
debs=("$dir"/veltrav20_*.deb)
Check "${debs[0]}"
echo "Package: $PWD/${debs[0]}"
