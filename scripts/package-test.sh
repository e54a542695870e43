#!/usr/bin/env bash
# Builds the Debian package from a release build and checks it the way a distribution and a user
# would: lintian --pedantic (no error, no warning), appstreamcli and desktop-file-validate (clean),
# then installs it with dpkg, starts the installed program under a virtual display, checks that it
# finds its skin, carries its icon, opens the HTML help where no CHM viewer exists and the CHM
# where one does, stays one instance, and that removing the package leaves nothing behind.
#
# Needs root (dpkg). The release build lives in build-pkg/ and is reused between runs.
# Prints "package: NAME passed" or "package: NAME FAILED" per check and exits non-zero on a failure.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=${TARNO_PACKAGE_BUILD:-$root/build-pkg}
work=$(mktemp -d /tmp/tarno-pkg-XXXXXX)
display_pid=""
cleanup() {
  [ -n "$display_pid" ] && kill "$display_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
passed=0; failed=0

check() { # name command... : runs the command, its output kept for a failure
  local name=$1; shift
  if "$@" >"$work/$name.log" 2>&1; then
    echo "package: $name passed"; passed=$((passed + 1))
  else
    echo "package: $name FAILED"; sed 's/^/    /' "$work/$name.log"; failed=$((failed + 1))
  fi
}
finish() {
  echo "package checks: $passed passed, $failed failed"
  [ "$failed" -eq 0 ]
  exit $?
}

if [ "$(id -u)" -ne 0 ]; then
  echo "package: install FAILED"; echo "    needs root to install the package with dpkg"; exit 1
fi

build_package() {
  # -O2 as Debian builds its packages (and quicker to compile than CMake's -O3).
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
        -DTARNO_BUILD_TESTS=OFF -DTARNO_BUILD_BENCH=OFF -DTARNO_SANITIZE=OFF >/dev/null &&
  cmake --build "$build" -j"$(nproc 2>/dev/null || echo 2)" &&
  (cd "$build" && cpack -G DEB -B "$work/pkg") &&
  ls "$work"/pkg/*.deb
}
check build build_package || finish
deb=$(ls "$work"/pkg/*.deb | head -1)
dpkg-deb -x "$deb" "$work/content"

lintian_clean() {
  # Informational and pedantic tags are listed for the record; errors and warnings fail.
  lintian --pedantic --display-info --tag-display-limit 0 "$deb" | tee "$work/lintian.txt"
  ! grep -q '^[EW]:' "$work/lintian.txt"
}
check lintian lintian_clean
grep -q '^[IP]:' "$work/lintian.txt" && sed 's/^/    /' "$work/lintian.txt"

appstream_clean() {
  local files=("$work"/content/usr/share/metainfo/*.metainfo.xml)
  [ -f "${files[0]}" ] || { echo "no metainfo file"; return 1; }
  # --no-net: the home page need not be reachable from the build machine.
  appstreamcli validate --pedantic --no-net "${files[@]}" | tee "$work/appstream.txt"
  ! grep -q '^[EWIP]:' "$work/appstream.txt"
}
check appstream appstream_clean

desktop_clean() {
  local out
  out=$(desktop-file-validate "$work"/content/usr/share/applications/*.desktop 2>&1)
  echo "$out"
  [ -z "$out" ]
}
check desktop-entry desktop_clean

install_package() {
  dpkg --purge tarno-recorder >/dev/null 2>&1 || true
  dpkg -i "$deb" || DEBIAN_FRONTEND=noninteractive apt-get install -f -y -q --no-install-recommends
  dpkg-query -W -f='${Status}\n' tarno-recorder | grep -q 'install ok installed'
}
check install install_package || finish
dpkg -L tarno-recorder | sort >"$work/files.txt"

# The installed program, under a virtual display, in private home and runtime folders; xdg-open
# is replaced by one that only writes down what it was asked to open.
mkdir -p "$work/home/.config" "$work/bin" && chmod 700 "$work/home"
mkdir -m 700 "$work/runtime"
cat >"$work/bin/xdg-open" <<EOS
#!/bin/sh
echo "\$1" >>"$work/opened"
EOS
chmod +x "$work/bin/xdg-open"
# A free display number, chosen by the server itself.
Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp 5>"$work/display" >/dev/null 2>&1 &
display_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
disp=":$(head -1 "$work/display")"
user_env=(env -u XDG_CURRENT_DESKTOP -u DESKTOP_SESSION -u QT_QPA_PLATFORM DISPLAY="$disp"
          HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share"
          XDG_RUNTIME_DIR="$work/runtime" PATH="$work/bin:$PATH")

start_program() { # waits for the main window; prints its id
  "${user_env[@]}" /usr/bin/tarno-recorder >/dev/null 2>"$work/program.err" &
  echo $! >"$work/program.pid"
  for _ in $(seq 100); do
    xdotool search --onlyvisible --name '^Tarno MP3 Recorder$' 2>/dev/null | head -1 && return 0
    sleep 0.1
  done
  return 1
}
stop_program() {
  kill "$(cat "$work/program.pid")" 2>/dev/null; wait "$(cat "$work/program.pid")" 2>/dev/null
}

runs_with_skin_and_icon() {
  local win
  win=$(DISPLAY="$disp" start_program) || { echo "no main window"; cat "$work/program.err"; return 1; }
  echo "main window $win"
  cp "$work/program.err" "$work/first.err"
  if grep -q 'mp3enc.skn' "$work/first.err"; then cat "$work/first.err"; return 1; fi
  DISPLAY="$disp" xprop -id "$win" _NET_WM_ICON >"$work/icon.txt"
  # Qt hands the window manager every size up to 128 pixels.
  for s in 16 22 24 32 48 64 128; do
    grep -q "Icon ($s x $s)" "$work/icon.txt" || { echo "no ${s}x$s window icon"; head -c 300 "$work/icon.txt"; return 1; }
  done
  echo "$win" >"$work/win"
}
check installed-program-finds-skin-and-shows-icon runs_with_skin_and_icon

click_help() { # clicks the skin's help element and waits for xdg-open
  local rect x y
  rect=$(grep -o '"name": "help"[^]]*' /usr/share/tarno-recorder/mp3enc.skn | grep -o '\[.*' | tr -d '[ ')
  IFS=, read -r x y w h <<<"$rect"
  rm -f "$work/opened"
  DISPLAY="$disp" xdotool mousemove --window "$(cat "$work/win")" $((x + w / 2)) $((y + h / 2)) click 1
  for _ in $(seq 50); do [ -s "$work/opened" ] && break; sleep 0.1; done
  cat "$work/opened" 2>/dev/null
}
help_without_chm_viewer() {
  [ -f "$work/win" ] || return 1
  local opened
  opened=$(click_help)
  echo "opened: $opened"
  [ "$opened" = "file:///usr/share/tarno-recorder/help/html/index.html" ] ||
    [ "$opened" = "/usr/share/tarno-recorder/help/html/index.html" ]
}
check help-opens-html-without-chm-viewer help_without_chm_viewer

help_with_chm_viewer() {
  [ -f "$work/win" ] || return 1
  mkdir -p "$work/home/.local/share/applications"
  printf '[Desktop Entry]\nType=Application\nName=CHM viewer\nExec=true %%f\nMimeType=application/vnd.ms-htmlhelp;\n' \
    >"$work/home/.local/share/applications/chmviewer.desktop"
  printf '[Default Applications]\napplication/vnd.ms-htmlhelp=chmviewer.desktop\n' \
    >"$work/home/.config/mimeapps.list"
  local opened
  opened=$(click_help)
  echo "opened: $opened"
  case "$opened" in *"/usr/share/tarno-recorder/help/Tarnomp3recorder.chm") return 0 ;; esac
  return 1
}
check help-opens-chm-with-chm-viewer help_with_chm_viewer

second_start_hands_over() {
  [ -f "$work/win" ] || return 1
  local rc=0
  "${user_env[@]}" timeout 20 /usr/bin/tarno-recorder >/dev/null 2>&1 || rc=$?
  echo "second start exit code $rc"
  local windows
  windows=$(DISPLAY="$disp" xdotool search --onlyvisible --name '^Tarno MP3 Recorder$' | wc -l)
  echo "main windows: $windows"
  [ "$rc" -eq 0 ] && [ "$windows" -eq 1 ] && kill -0 "$(cat "$work/program.pid")"
}
check second-start-hands-over second_start_hands_over
stop_program

remove_leaves_nothing() {
  dpkg --purge tarno-recorder || return 1
  local left=0 f
  while read -r f; do
    [ -e "$f" ] || continue
    # Folders shared with other packages stay; anything of ours must be gone.
    if [ -d "$f" ] && dpkg -S "$f" >/dev/null 2>&1; then continue; fi
    echo "left behind: $f"; left=1
  done <"$work/files.txt"
  [ $left -eq 0 ]
}
check remove-leaves-nothing remove_leaves_nothing
finish
