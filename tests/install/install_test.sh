#!/usr/bin/env bash
# Installs the build into a temporary prefix, checks the layout a desktop and a distribution expect,
# starts the installed program offscreen and checks that it finds its skin in share/; then builds
# the Debian package and checks that its dependencies name the package of every library the
# program links.
set -euo pipefail
build=$1
what=$2
work=$(mktemp -d /tmp/tarno-install-XXXXXX)
trap 'rm -rf "$work"' EXIT

run_for() { # seconds exe... : runs offscreen, prints stderr
  local secs=$1; shift
  mkdir -p -m 700 "$work/runtime"
  HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=offscreen \
    ASAN_OPTIONS=detect_leaks=0 timeout -s INT "$secs" "$@" 2>&1 >/dev/null || true
}

case "$what" in
  install)
    cmake --install "$build" --prefix "$work/prefix" >/dev/null
    p="$work/prefix"
    exe="$p/bin/tarno-recorder"
    [ -f "$exe" ] && [ ! -L "$exe" ] || { echo "the program is not in bin/"; exit 1; }
    [ ! -e "$p/lib/tarno-recorder" ] || { echo "architecture-independent data under lib/"; exit 1; }
    data="$p/share/tarno-recorder"
    for f in mp3enc.skn help/Tarnomp3recorder.chm help/html/index.html help/html/style.css; do
      [ -s "$data/$f" ] || { echo "missing in share/tarno-recorder: $f"; exit 1; }
    done
    file "$data/help/Tarnomp3recorder.chm" | grep -q HtmlHelp || { echo "the help is no CHM"; exit 1; }
    # The HTML help is whole: every page a page links to is there.
    for page in $(grep -oh 'href="[^"#:]*"' "$data"/help/html/*.html | sed 's/href="//; s/"$//' | sort -u); do
      [ -f "$data/help/html/$page" ] || { echo "the HTML help links to a missing $page"; exit 1; }
    done
    [ -f "$p/share/applications/tarno-recorder.desktop" ] || { echo "no desktop entry"; exit 1; }
    grep -q '^Categories=AudioVideo;Audio;Recorder;' "$p/share/applications/tarno-recorder.desktop"
    ls "$p"/share/metainfo/*.metainfo.xml >/dev/null || { echo "no AppStream data"; exit 1; }
    [ -f "$p/share/icons/hicolor/scalable/apps/tarno-recorder.svg" ] || { echo "no scalable icon"; exit 1; }
    for s in 16 22 24 32 48 64 128 256; do
      icon="$p/share/icons/hicolor/${s}x${s}/apps/tarno-recorder.png"
      file "$icon" | grep -q "$s x $s" || { echo "no ${s}x${s} icon"; exit 1; }
    done
    zcat "$p/share/man/man1/tarno-recorder.1.gz" | grep -q '^\.TH TARNO-RECORDER 1' || { echo "no manual page"; exit 1; }
    [ -f "$p/share/doc/tarno-recorder/copyright" ] || { echo "no copyright file"; exit 1; }
    zcat "$p/share/doc/tarno-recorder/changelog.gz" | head -1 | grep -q '^tarno-recorder (' || { echo "no changelog"; exit 1; }
    mkdir -p "$work/home"
    out=$(run_for 4 "$exe")
    if echo "$out" | grep -q 'mp3enc.skn'; then echo "installed program did not find its skin: $out"; exit 1; fi
    # The same program without its skin says so: the check above can fail.
    rm "$data/mp3enc.skn"
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
    exe="$work/root/usr/bin/tarno-recorder"
    [ -x "$exe" ] || { echo "no program in the package"; exit 1; }
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
