#!/usr/bin/env bash
# Installs the build into a temporary prefix, starts the installed program offscreen and checks
# that it finds its skin and help beside itself; then builds the Debian package and checks that
# its dependencies name the package of every library the program links.
set -euo pipefail
build=$1
what=$2
work=$(mktemp -d /tmp/tarno-install-XXXXXX)
trap 'rm -rf "$work"' EXIT

run_for() { # seconds exe... : runs offscreen, prints stderr
  local secs=$1; shift
  HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" QT_QPA_PLATFORM=offscreen \
    ASAN_OPTIONS=detect_leaks=0 timeout -s INT "$secs" "$@" 2>&1 >/dev/null || true
}

case "$what" in
  install)
    cmake --install "$build" --prefix "$work/prefix" >/dev/null
    exe="$work/prefix/bin/tarno-recorder"
    [ -L "$exe" ] || { echo "no command link in bin/"; exit 1; }
    real=$(readlink -f "$exe")
    dir=$(dirname "$real")
    for f in mp3enc.skn help/Tarnomp3recorder.chm; do
      [ -s "$dir/$f" ] || { echo "missing beside the program: $f"; exit 1; }
    done
    file "$dir/help/Tarnomp3recorder.chm" | grep -q HtmlHelp || { echo "the help is no CHM"; exit 1; }
    [ -f "$work/prefix/share/applications/tarno-recorder.desktop" ] || { echo "no desktop entry"; exit 1; }
    grep -q '^Categories=AudioVideo;Audio;Recorder;' "$work/prefix/share/applications/tarno-recorder.desktop"
    [ -f "$work/prefix/share/icons/hicolor/scalable/apps/tarno-recorder.svg" ] || { echo "no icon"; exit 1; }
    mkdir -p "$work/home"
    out=$(run_for 4 "$exe")
    if echo "$out" | grep -q 'mp3enc.skn'; then echo "installed program did not find its skin: $out"; exit 1; fi
    # The same program without its skin says so: the check above can fail.
    rm "$dir/mp3enc.skn"
    out=$(run_for 4 "$exe")
    echo "$out" | grep -q 'mp3enc.skn' || { echo "a missing skin went unreported: $out"; exit 1; }
    echo "installed program finds its skin and help"
    ;;
  deb)
    (cd "$build" && cpack -G DEB -B "$work/pkg" >/dev/null)
    deb=$(ls "$work"/pkg/*.deb | head -1)
    depends=$(dpkg-deb -f "$deb" Depends)
    echo "Depends: $depends"
    dpkg-deb -x "$deb" "$work/root"
    exe=$(find "$work/root" -type f -name tarno-recorder | head -1)
    names=$(echo "$depends" | tr ',|' '\n\n' | sed 's/(.*//; s/ //g')
    covered() { # a package named in Depends, or pulled in by one that is (libtag1v5 -> -vanilla)
      echo "$names" | grep -qx "$1" && return 0
      local n
      for n in $names; do
        dpkg-query -W -f='${Depends}' "$n" 2>/dev/null | tr ',|' '\n\n' | sed 's/(.*//; s/ //g; s/:.*//' | grep -qx "$1" && return 0
      done
      return 1
    }
    missing=0
    for lib in $(ldd "$exe" | awk '/=> \//{print $3}'); do
      pkg=$(dpkg -S "$(readlink -f "$lib")" 2>/dev/null | head -1 | cut -d: -f1) || true
      [ -z "$pkg" ] && pkg=$(dpkg -S "$lib" 2>/dev/null | head -1 | cut -d: -f1) || true
      [ -z "$pkg" ] && continue
      if ! covered "$pkg"; then
        # A library reached only through another one (libc, libstdc++) may be covered there;
        # the libraries the program names itself must be listed.
        if objdump -p "$exe" | awk '/NEEDED/{print $2}' | grep -qx "$(basename "$lib")"; then
          echo "linked $(basename "$lib") from $pkg, not in Depends"; missing=1
        fi
      fi
    done
    exit $missing
    ;;
esac
