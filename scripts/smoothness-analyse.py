#!/usr/bin/env python3
"""Helper of scripts/smoothness-check.sh.

  smoothness-analyse.py tone FILE            writes the test tone (raw s16le stereo 44.1 kHz)
  smoothness-analyse.py compare OLD NEW [DIR]  measures two films, prints the figures side by
                                               side, and writes window pictures into DIR

A film is OLD.nut (the window at 50 frames a second, time stamps in wall-clock seconds) with
OLD.keys beside it (each key and its wall-clock time, and the window size).
"""
import math
import os
import statistics
import struct
import subprocess
import sys
import zlib

RATE = 44100
SECONDS = 16

# Where the main window draws its meters: left x, top y, width, height (3 px tall bars).
METERS = {"left": (84, 164, 305, 3), "right": (84, 174, 304, 3)}
LIT = [(0x3D, 0xDC, 0x97), (0xFF, 0x4D, 0x57)]  # the tick and hot colours
PICK = (0xF4, 0xF7, 0xFB)  # the peak marker
TIME = (24, 40, 230, 58)  # the recording time's text

# Moments after the record key for the pictures. While recording, the after run's picture is
# moved by the difference in when the sound reached the two runs, so both show the same sound.
SHOTS = [
    (0.90, "recording"),
    (1.50, "recording"),
    (2.20, "recording"),
    (3.30, "recording"),
    (6.20, "200 ms after pause"),
    (6.60, "600 ms after pause"),
    (7.40, "1.4 s after pause"),
    (9.00, "1 s after the resume"),
]


def envelope(t, points):
    """Piecewise-linear loudness; points are (time, level) pairs, a repeated time a step."""
    for (t0, a0), (t1, a1) in zip(points, points[1:]):
        if t0 <= t < t1:
            return a0 + (a1 - a0) * (t - t0) / (t1 - t0)
    return points[-1][1]


# The loudness of each channel over the tone's time. The program shows the tone's second T
# about T - 0.4 s after the record key (the tone starts 1.5 s before the key; the rest is the
# time the sound takes through the server); the pause comes at about 6.4 s of the tone, the
# resume at 8.4 s.
LEFT = [(0, 0.85), (1.0, 0.85), (1.0, 0.15), (3.0, 0.15), (4.0, 0.7), (4.0, 0.95), (5.3, 0.95),
        (5.3, 0.05), (8.6, 0.05), (9.6, 0.6), (9.6, 0.3), (SECONDS, 0.3)]
RIGHT = [(0, 0.05), (2.4, 0.75), (2.8, 0.75), (2.8, 0.25), (5.0, 0.25), (5.0, 0.6), (5.8, 0.6),
         (5.8, 0.4), (8.4, 0.4), (8.4, 0.5), (SECONDS, 0.5)]


def write_tone(path):
    # Steps up and down (the peak holds, then falls), ramps (the lit end climbs), steady stretches;
    # a peak falls on the left and one is held on the right when the pause comes.
    out = bytearray()
    for n in range(RATE * SECONDS):
        t = n / RATE
        s = math.sin(2 * math.pi * 440 * t)
        out += struct.pack("<hh", int(envelope(t, LEFT) * s * 32767),
                           int(envelope(t, RIGHT) * s * 32767))
    with open(path, "wb") as f:
        f.write(out)


def read_keys(path):
    keys, size, switches = [], None, []
    with open(path) as f:
        for line in f:
            name, *values = line.split()
            if name == "size":
                size = tuple(int(v) for v in values[0].split("x"))
            elif name == "switches":
                switches.append((float(values[0]), int(values[1])))
            else:
                keys.append((name, float(values[0])))
    return keys, size, switches


def frames(film, size):
    """Yields (wall-clock seconds, rgb bytes) for each frame of the film."""
    times = subprocess.run(
        ["ffprobe", "-v", "error", "-select_streams", "v", "-show_entries", "frame=pts_time",
         "-of", "csv=p=0", film], check=True, capture_output=True, text=True).stdout.split()
    w, h = size
    raw = subprocess.Popen(["ffmpeg", "-v", "error", "-i", film, "-copyts", "-fps_mode",
                            "passthrough", "-f", "rawvideo", "-pix_fmt", "rgb24", "-"],
                           stdout=subprocess.PIPE)
    for t in times:
        data = raw.stdout.read(w * h * 3)
        if len(data) < w * h * 3:
            break
        yield float(t), data
    raw.stdout.close()
    raw.wait()


def near(c, ref, tolerance=24):
    return all(abs(a - b) <= tolerance for a, b in zip(c, ref))


def meter_state(data, width, box):
    """(lit length, peak marker end) in pixels along a meter, or None when it is not shown."""
    x0, y0, w, h = box
    y = y0 + h // 2
    lit, peak, seen = 0, -1, False
    for i in range(w):
        o = ((y * width) + x0 + i) * 3
        c = data[o:o + 3]
        if any(near(c, k) for k in LIT):
            lit = i + 1
            seen = True
        elif near(c, PICK):
            peak = i + 1
            seen = True
        elif near(c, (0x1C, 0x24, 0x30), 6):
            seen = True
    return (lit, max(peak, lit if peak < 0 else peak)) if seen else None


def region(data, width, box):
    x0, y0, w, h = box
    return b"".join(data[((y * width) + x0) * 3:((y * width) + x0 + w) * 3]
                    for y in range(y0, y0 + h))


def write_png(path, data, width, height):
    rows = b"".join(b"\x00" + data[y * width * 3:(y + 1) * width * 3] for y in range(height))

    def chunk(kind, body):
        c = kind + body
        return struct.pack(">I", len(body)) + c + struct.pack(">I", zlib.crc32(c) & 0xFFFFFFFF)

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(rows, 9)))
        f.write(chunk(b"IEND", b""))


def load(base):
    keys, size, switches = read_keys(base + ".keys")
    start = next(t for k, t in keys if k == "F7")
    tone = next(t for k, t in keys if k == "tone")
    presses = [(k, t - start) for k, t in keys if k not in ("tone",)]
    samples = [(t - start, data) for t, data in frames(base + ".nut", size)]
    wakeups = None
    if len(switches) == 2:
        (t0, n0), (t1, n1) = switches
        wakeups = (n1 - n0) / (t1 - t0)
    return {"keys": presses, "tone": tone - start, "size": size, "samples": samples,
            "wakeups": wakeups}


def phases(keys):
    at = [t for _, t in keys]
    # record at 0, pause, resume, stop
    return {"recording": [(0.3, at[1]), (at[2] + 0.3, at[3])],
            "paused": [(at[1], at[2])],
            "stopped": [(at[3], at[3] + 1.4)]}


def inside(t, spans):
    return any(a <= t < b for a, b in spans)


def measure(run):
    width, _ = run["size"]
    samples = run["samples"]
    out = {"frames": len(samples)}
    if len(samples) > 1:
        out["fps"] = (len(samples) - 1) / (samples[-1][0] - samples[0][0])
    spans = phases(run["keys"])
    for name, box in METERS.items():
        states = [(t, meter_state(d, width, box)) for t, d in samples]
        out[name] = {"states": states}
        for phase, ranges in spans.items():
            total = sum(b - a for a, b in ranges)
            changes, rises, lit_steps, peak_steps = [], [], [], []
            last_change = last_rise = None
            for (t0, s0), (t1, s1) in zip(states, states[1:]):
                if not inside(t1, ranges) or s0 is None or s1 is None or s1 == s0:
                    continue
                if last_change is not None:
                    changes.append(1000 * (t1 - last_change))
                last_change = t1
                if s1[0] != s0[0]:
                    lit_steps.append(abs(s1[0] - s0[0]))
                if s1[1] != s0[1]:
                    peak_steps.append(abs(s1[1] - s0[1]))
                # The lit end climbing: one step per value that arrives.
                if s1[0] > s0[0]:
                    if last_rise is not None and t1 - last_rise < 0.2:
                        rises.append(1000 * (t1 - last_rise))
                    last_rise = t1
            out[name][phase] = {
                "updates_per_s": (len(changes) + 1) / total if total and last_change else 0.0,
                "interval_ms": changes,
                "rise_interval_ms": rises,
                "lit_step": lit_steps,
                "peak_step": peak_steps,
            }
    texts, last = [], None
    for t, d in samples:
        r = region(d, width, TIME)
        if r != last:
            texts.append(t)
            last = r
    out["time_changes"] = texts
    return out


def lag(a, b):
    """How much later (s) the meters of run b follow the sound than those of run a, from the
    best match of the left meter's lit length over the recording's first six seconds."""
    def trace(states):
        return {round(t * 50): s[0] for t, s in states if s is not None and 0.3 <= t <= 6}
    ta, tb = trace(a), trace(b)
    best = None
    for shift in range(-50, 51):
        common = [k for k in ta if k + shift in tb]
        if len(common) < 100:
            continue
        err = sum(abs(ta[k] - tb[k + shift]) for k in common) / len(common)
        if best is None or err < best[0]:
            best = (err, shift)
    return best[1] / 50 if best else 0.0


def falls(states, spans):
    """Each stretch where the peak falls above the lit end: (start, end, pixels, steps)."""
    result, cur = [], None
    for (t0, s0), (t1, s1) in zip(states, states[1:]):
        if s0 is None or s1 is None or not inside(t1, spans):
            cur = None
            continue
        if s1[1] < s0[1] and s1[1] > s1[0]:
            if cur is None:
                cur = [t0, t1, 0, 0]
                result.append(cur)
            cur[1] = t1
            cur[2] += s0[1] - s1[1]
            cur[3] += 1
        elif s1[1] != s0[1] or s1[1] <= s1[0]:
            cur = None
    return [tuple(c) for c in result if c[3] >= 3]


def first_step(states, key):
    """When a peak was falling as the values stopped: how long it stood still around the key
    (from its last step before the key to its first after, ms), and that first step (px)."""
    before = [(t, s) for t, s in states if s is not None and key - 0.3 <= t < key]
    steps = [t1 for (_, s0), (t1, s1) in zip(before, before[1:]) if s1[1] < s0[1]]
    if not steps:
        return None
    last = before[-1][1]
    for t, s in states:
        if t >= key and s is not None and s[1] != last[1]:
            return 1000 * (t - steps[-1]), last[1] - s[1]
    return None


def holds(states, spans):
    """How long the peak marker stays put after the lit end drops away from it, in ms, for
    each drop of more than 20 px."""
    result, since = [], None
    for (t0, s0), (t1, s1) in zip(states, states[1:]):
        if s0 is None or s1 is None or not inside(t1, spans):
            since = None
            continue
        if since is None and s0[0] >= s0[1] - 3 and s1[1] - s1[0] > 20:
            since = t1
        elif since is not None and s1[1] < s0[1]:
            result.append(1000 * (t1 - since))
            since = None
        elif since is not None and s1[1] > s0[1]:
            since = None
    return result


def summary(values, unit=""):
    """Mean, median, 90th percentile and largest. The film's frames are 20 ms apart, so a 50 ms
    rhythm shows as 40 and 60 ms: the mean tells its rate."""
    if not values:
        return "-"
    values = sorted(values)
    p90 = values[min(len(values) - 1, int(0.9 * len(values)))]
    return (f"mean {statistics.mean(values):.0f}{unit}, median {statistics.median(values):.0f}{unit}, "
            f"p90 {p90:.0f}{unit}, max {values[-1]:.0f}{unit}")


def compare(old, new, shots):
    runs = {"before": load(old), "after": load(new)}
    width, height = runs["before"]["size"]
    print(f"window {width}x{height}; meters (x, y, width, height) {METERS}; time text {TIME}")
    results = {name: measure(run) for name, run in runs.items()}
    for name, run in runs.items():
        if run["wakeups"]:
            print(f"{name}: the program woke {run['wakeups']:.1f} times a second while recording "
                  "(context switches of all its threads, 0.5 s to 5.5 s after the record key)")
    for name, run in runs.items():
        keys = ", ".join(f"{k} {t:+.3f}s" for k, t in run["keys"])
        print(f"{name}: {results[name]['frames']} frames at {results[name].get('fps', 0):.1f}/s; "
              f"keys {keys}; tone from {run['tone']:+.3f}s")
    print()
    for meter in METERS:
        for phase in ("recording", "paused"):
            print(f"{meter} meter, {phase}:")
            for name in runs:
                m = results[name][meter][phase]
                print(f"  {name:6}  {m['updates_per_s']:5.1f} updates/s; between updates "
                      f"{summary(m['interval_ms'], ' ms')}")
                print(f"          between rising steps of the lit end {summary(m['rise_interval_ms'], ' ms')}")
                print(f"          lit end moves {summary(m['lit_step'], ' px')}")
                print(f"          peak moves {summary(m['peak_step'], ' px')}")
                spans = phases(runs[name]["keys"])[phase]
                stretches = falls(results[name][meter]["states"], spans)
                px = sum(c[2] for c in stretches)
                steps = sum(c[3] for c in stretches)
                time = sum(c[1] - c[0] for c in stretches)
                if steps and time > 0:
                    print(f"          peak falls {px} px in {steps} steps over {time:.2f} s: "
                          f"{px / time:.0f} px/s, {steps / time:.1f} steps/s, {px / steps:.1f} px/step")
                if phase == "recording":
                    held = holds(results[name][meter]["states"], spans)
                    print("          peak held after a drop, before it falls: "
                          + (", ".join(f"{v:.0f} ms" for v in held) or "-"))
                else:
                    first = first_step(results[name][meter]["states"], spans[0][0])
                    if first:
                        print(f"          at the pause the falling peak stood still {first[0]:.0f} ms "
                              f"(from its last step before the key), then moved {first[1]} px")
        shown = [any(s is not None for t, s in results[name][meter]["states"]
                     if inside(t, phases(runs[name]["keys"])["stopped"])) for name in runs]
        print(f"{meter} meter after stop: " + ", ".join(
            f"{name} {'shown' if on else 'hidden'}" for name, on in zip(runs, shown)))
        print()
    shift = lag(results["before"]["left"]["states"], results["after"]["left"]["states"])
    print(f"the after run's meters follow the sound {1000 * shift:+.0f} ms later than the before "
          "run's (the sound reaches each run at a slightly different moment)")
    print()
    print("time text changes (seconds after the record key):")
    for name in runs:
        changes = [t for t in results[name].get("time_changes", []) if t > -0.5]
        print(f"  {name:6}  " + " ".join(f"{t:.2f}" for t in changes))
    print("the seconds 1 to 5 appear this long after the time is first shown (ms):")
    for name in runs:
        changes = [t for t in results[name].get("time_changes", []) if t > -0.5]
        if len(changes) > 5:
            print(f"  {name:6}  " + " ".join(
                f"{1000 * (changes[i] - changes[0] - i):+.0f}" for i in range(1, 6)) +
                "  (past the whole second)")
    if shots:
        os.makedirs(shots, exist_ok=True)
        print()
        print(f"pictures: the after run's taken {1000 * shift:+.0f} ms from the before run's moment "
              "(the same point of the sound) while recording, at the same moment after a key")
        for i, (at, what) in enumerate(SHOTS, 1):
            line = f"picture {i}: {at:.2f}s after the record key, {what}:"
            for name, run in runs.items():
                recording = inside(at, phases(run["keys"])["recording"])
                moved = at + (shift if name == "after" and recording else 0)
                t, data = min(run["samples"], key=lambda s: abs(s[0] - moved))
                label = "before" if name == "before" else "after"
                write_png(os.path.join(shots, f"smooth-{label}-{i}.png"), data, width, height)
                states = [meter_state(data, width, box) for box in METERS.values()]
                line += f" {name} frame at {t:.3f}s meters {states};"
            print(line)


def main():
    if sys.argv[1] == "tone":
        write_tone(sys.argv[2])
    elif sys.argv[1] == "compare":
        compare(sys.argv[2], sys.argv[3], sys.argv[4] if len(sys.argv) > 4 else "")
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
