#!/usr/bin/env bash
# What a screen reader finds in the running program: starts it under Xvfb with a private D-Bus
# session, the AT-SPI bus and a private PulseAudio, walks its accessible tree over AT-SPI (as
# Orca does), checks the main window is a frame and the skin's buttons are there with their
# names and tooltips, presses "Record" through the action interface and checks that the display's
# time then reads out a running recording. Prints the tree. Exits 0 when all of that holds.
#   scripts/atspi-check.sh [BUILD_DIR]     (default build-test; needs python3-pyatspi)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=${1:-build-test}
exe="$root/$build/app/tarno-recorder"
[ -x "$exe" ] || { echo "no program at $exe (build the tarno-recorder target)" >&2; exit 2; }
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null ||
  { echo "python3-pyatspi is missing (scripts/setup.sh installs it)" >&2; exit 2; }

work=$(mktemp -d /tmp/tarno-atspi-XXXXXX)
xpid=""
cleanup() {
  [ -n "$xpid" ] && kill "$xpid" 2>/dev/null || true
  scripts/pulse-private.sh stop "$work/pulse" >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
eval "$(scripts/pulse-private.sh start "$work/pulse")"
export PULSE_SERVER HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config"
mkdir -p "$XDG_CONFIG_HOME"
Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp 5>"$work/display" >/dev/null 2>&1 &
xpid=$!
for _ in $(seq 1 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"

cat > "$work/probe.py" <<'PY'
import sys, time
import pyatspi

def program():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and "tarno" in (app.name or "").lower():
            return app
    return None

def walk(node, depth=0, out=None):
    out = [] if out is None else out
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            out.append((depth, child))
            walk(child, depth + 1, out)
    return out

app = None
for _ in range(100):
    app = program()
    if app is not None and any(c.name == "Record" for _, c in walk(app)):
        break
    time.sleep(0.1)
if app is None:
    sys.exit("the program is not on the AT-SPI bus")
nodes = walk(app)
for depth, node in nodes:
    print("  " * depth + node.getRoleName(), repr(node.name), repr(node.description))
frames = [n.name for d, n in nodes if d == 0 and n.getRoleName() == "frame"]
if "Tarno MP3 Recorder" not in frames:
    sys.exit("the main window is not announced as a window")
buttons = {n.name: n for _, n in nodes if n.getRoleName() == "push button"}
expected = ["Record", "Pause", "Stop", "Play", "Previous", "Next", "Add files", "List", "Tags",
            "Settings", "Help", "Web site"]
missing = [name for name in expected if name not in buttons]
if missing:
    sys.exit("buttons missing: %s" % missing)
if buttons["Record"].description != "Record (F7)":
    sys.exit("Record's tooltip reads %r" % buttons["Record"].description)
action = buttons["Record"].queryAction()
if [action.getName(i) for i in range(action.nActions)] != ["Press"]:
    sys.exit("Record offers no press action")
action.doAction(0)
for _ in range(50):
    time.sleep(0.1)
    shown = {n.name: n for _, n in walk(app) if n.getRoleName() == "label"}
    if "Time" in shown:
        text = shown["Time"].queryText().getText(0, -1)
        if text not in ("", "00:00:00"):
            print("after pressing Record, Time reads", text)
            sys.exit(0)
sys.exit("pressing Record did not start a recording")
PY

dbus-run-session -- bash -c '
  /usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
  sleep 1
  QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$0" >"$1/program.log" 2>&1 &
  pid=$!
  rc=0
  timeout 60 /usr/bin/python3 "$1/probe.py" || rc=$?
  kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null || true
  exit $rc
' "$exe" "$work" 2> >(grep -v "fd limit" >&2)
