#!/usr/bin/env python3
"""Soak test: runs the real avifold under its own Xvfb for a while with random input.

For N minutes (default 10) it holds and releases random arrow keys, picks random entries
of the context menu (the View submenu, the separators, the fog, shadow, frame-rate and
hills toggles, and now and then full-screen mode, left again with Escape), and resizes
the window. It fails as soon as the program dies, and at the end unless

  - the program is still alive and still drawing: the probe's tick and swap counts keep
    rising, and the ticks rose between every two samples of the run;
  - its resident memory (VmRSS), sampled every few seconds in one fixed state (a 640 x
    480 window, no menu open), kept its level after the first minute: the median of the
    last quarter of the samples lies at most --rss-limit-mb above that of the first
    quarter. A leak check, not a speed target: single samples swing by several MB with
    what the allocator keeps after each full-screen switch, and all of them are printed.

The input is random from --seed (printed; a fixed one by default), so a failing run can
be replayed with the same sequence of actions. Needs Xvfb and xdotool; standard library
only. Usage:

  tools/soak.py --binary build/app/avifold --probe build/tools/libavifold_probe.so
"""

import argparse
import os
import random
import signal
import statistics
import subprocess
import sys
import tempfile
import time

DEFAULT_SEED = 20261207
SCREEN = (1024, 768)  # the Xvfb screen; full screen covers it all
MENU_BORDER = 2  # pixels above the first entry of a freeglut menu
MENU_ENTRY_HEIGHT = 25  # pixels per freeglut menu entry
MAIN_MENU_ENTRIES = 8  # View, ----, Fog, Shadows, FPS, Bumps and Hills, ----, Full Screen
VIEW_ENTRY = 1
FULL_SCREEN_ENTRY = 8
VIEW_MENU_ENTRIES = 2  # Bird Control, Smart Follow
ARROWS = ["Left", "Up", "Right", "Down"]
SMALLEST_WINDOW = 8  # pixels each way, so that a click can still land inside
EDGE = 3  # pixels kept from the window's edges when clicking: the border sits off screen
CHECKPOINT_SECONDS = 10.0  # between memory and tick samples
CHECKPOINT_SIZE = (640, 480)  # the window's size at every memory sample
CHECKPOINT_SETTLE_SECONDS = 1.0  # frames drawn at that size before the sample
WARM_UP_SECONDS = 60.0  # memory is measured against the figure after this
ASAN_QUARANTINE_MB = 16  # freed memory ASan holds back in the sanitizer build

# Relative weights of the random actions.
ACTIONS = [
    ("arrow", 30),
    ("toggle", 30),
    ("view", 10),
    ("resize", 12),
    ("full_screen", 5),
    ("idle", 8),
]


class SoakFailure(Exception):
    pass


def log(message):
    print(message, flush=True)


class Display:
    """An Xvfb server of our own on a free display, and xdotool against it."""

    def __init__(self):
        read_end, write_end = os.pipe()
        screen = "%dx%dx24" % SCREEN
        self.server = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-nolisten", "tcp", "-noreset",
             "-screen", "0", screen],
            pass_fds=(write_end,), stderr=subprocess.DEVNULL)
        os.close(write_end)
        number = b""
        while not number.endswith(b"\n"):
            chunk = os.read(read_end, 16)
            if not chunk:
                raise SoakFailure("Xvfb did not report a display")
            number += chunk
        os.close(read_end)
        self.name = ":" + number.decode().strip()
        self.env = dict(os.environ, DISPLAY=self.name)

    def xdotool(self, *args):
        result = subprocess.run(["xdotool"] + [str(a) for a in args], env=self.env,
                                capture_output=True, text=True, timeout=20)
        return result.stdout

    def visible(self, name_pattern):
        return [int(w) for w in self.xdotool("search", "--onlyvisible", "--name",
                                             name_pattern).split()]

    def geometry(self, window):
        """(x, y, width, height) of a window, or None when it is gone."""
        fields = {}
        for line in self.xdotool("getwindowgeometry", "--shell", window).splitlines():
            key, _, value = line.partition("=")
            fields[key] = value
        try:
            return (int(fields["X"]), int(fields["Y"]), int(fields["WIDTH"]),
                    int(fields["HEIGHT"]))
        except (KeyError, ValueError):
            return None

    def close(self):
        self.server.terminate()
        try:
            self.server.wait(timeout=5)
        except subprocess.TimeoutExpired:
            self.server.kill()
            self.server.wait()


class Program:
    """A GLUT program (avifold, or the benchmarks' bare loop) with the probe that counts
    its ticks and swapped frames."""

    def __init__(self, display, binary, probe, cwd, workdir, sanitized=False):
        self.exec_ns = None  # CLOCK_MONOTONIC just before exec, for start-up times
        self.probe_path = os.path.join(workdir, "probe")
        self.stdout_path = os.path.join(workdir, "stdout")
        self.stderr_path = os.path.join(workdir, "stderr")
        env = dict(display.env, LD_PRELOAD=os.path.abspath(probe), AVIFOLD_PROBE=self.probe_path)
        if sanitized:
            # ASan keeps freed blocks in a quarantine to catch their later use; its
            # default of 256 MB would hide a leak of that size, so keep it small.
            options = env.get("ASAN_OPTIONS", "")
            env["ASAN_OPTIONS"] = ":".join(
                filter(None, [options, "quarantine_size_mb=%d" % ASAN_QUARANTINE_MB]))
        # The probe's file is read from before the program writes it: start it empty.
        open(self.probe_path, "w").close()
        stamp_path = os.path.join(workdir, "exec_ns")

        def stamp_exec():
            # In the child, the last thing before exec.
            with open(stamp_path, "w") as stamp:
                stamp.write(str(time.clock_gettime_ns(time.CLOCK_MONOTONIC)))

        with open(self.stdout_path, "wb") as out, open(self.stderr_path, "wb") as err:
            self.process = subprocess.Popen([os.path.abspath(binary)], cwd=cwd, env=env,
                                            stdout=out, stderr=err, preexec_fn=stamp_exec)
        with open(stamp_path) as stamp:
            self.exec_ns = int(stamp.read())

    def alive(self):
        return self.process.poll() is None

    def probe(self):
        """The probe's line as numbers: ticks, swaps, first_swap_ns, timer_arms; all 0
        before its first line."""
        figures = {"ticks": 0, "swaps": 0, "first_swap_ns": 0, "timer_arms": 0}
        try:
            with open(self.probe_path) as f:
                fields = dict(part.split("=") for part in f.read().split())
            for name in figures:
                figures[name] = int(fields[name])
        except (OSError, KeyError, ValueError):
            pass
        return figures

    def counts(self):
        """(ticks, swaps) so far."""
        figures = self.probe()
        return figures["ticks"], figures["swaps"]

    def status_kb(self, field):
        with open("/proc/%d/status" % self.process.pid) as f:
            for line in f:
                if line.startswith(field + ":"):
                    return int(line.split()[1])
        raise SoakFailure("no %s in /proc/%d/status" % (field, self.process.pid))

    def check_alive(self, doing):
        if self.alive():
            return
        raise SoakFailure("avifold exited with status %s while %s\n--- stderr tail:\n%s" %
                          (self.process.returncode, doing, self.stderr_tail()))

    def stderr_tail(self):
        with open(self.stderr_path, "rb") as f:
            return f.read()[-4000:].decode(errors="replace")

    def stop(self):
        if not self.alive():
            return
        self.process.send_signal(signal.SIGTERM)
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()


def wait_for(program, what, find, seconds=30.0):
    """Polls find() until it returns something other than None; fails on a timeout or
    when the program dies meanwhile."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        program.check_alive("waiting for " + what)
        found = find()
        if found is not None:
            return found
        time.sleep(0.05)
    raise SoakFailure("no %s after %.0f s" % (what, seconds))


def program_window(display, full_screen):
    """(id, geometry) of the visible window titled Avifold, full screen or not, or None."""
    for window in display.visible("^Avifold$"):
        geometry = display.geometry(window)
        if geometry is None:
            continue
        covers_screen = geometry[2] >= SCREEN[0] and geometry[3] >= SCREEN[1]
        if covers_screen == full_screen:
            return window, geometry
    return None


def open_menus(display):
    """Geometries of the freeglut menus on screen: the context menu and its submenu."""
    menus = []
    for window in display.visible("^freeglut menu$"):
        geometry = display.geometry(window)
        if geometry is not None:
            menus.append(geometry)
    return menus


def open_menu(display, program, window, x, y):
    """Right-clicks the window at (x, y); returns the geometry of the menu that opens."""
    display.xdotool("mousemove", "--window", window, x, y, "click", 3)
    return wait_for(program, "context menu", lambda: open_menus(display) or None, 10.0)[0]


def entry_point(menu, entry):
    """The screen point in the middle of a menu entry, counted from 1."""
    x, y, width, _ = menu
    return x + width // 2, y + MENU_BORDER + MENU_ENTRY_HEIGHT * (entry - 1) + \
        MENU_ENTRY_HEIGHT // 2


def pick(display, menu, entry):
    x, y = entry_point(menu, entry)
    display.xdotool("mousemove", x, y)
    time.sleep(0.05)
    display.xdotool("click", 1)


def full_screen_round_trip(display, program, window, x, y, seconds_in_full_screen):
    """"Full Screen Mode" from the menu opened at (x, y), then Escape back to a window."""
    pick(display, open_menu(display, program, window, x, y), FULL_SCREEN_ENTRY)
    full, _ = wait_for(program, "full-screen window", lambda: program_window(display, True))
    time.sleep(seconds_in_full_screen)
    program.check_alive("in full screen")
    display.xdotool("windowfocus", "--sync", full)
    display.xdotool("key", "Escape")
    return wait_for(program, "window after full screen", lambda: program_window(display, False))


class Soak:
    def __init__(self, args, display, program):
        self.args = args
        self.display = display
        self.program = program
        self.rng = random.Random(args.seed)
        self.held = set()
        self.counts = {name: 0 for name, _ in ACTIONS}
        self.round_trips = 0

    def press_arrow(self, window):
        self.display.xdotool("windowfocus", window)
        arrow = self.rng.choice(ARROWS)
        if arrow in self.held:
            self.display.xdotool("keyup", arrow)
            self.held.discard(arrow)
        else:
            self.display.xdotool("keydown", arrow)
            self.held.add(arrow)

    def release_arrows(self):
        for arrow in sorted(self.held):
            self.display.xdotool("keyup", arrow)
        self.held.clear()

    def random_point(self, geometry):
        """A random point of the window, clear of its edges, which may lie off screen."""
        x = self.rng.randrange(EDGE, max(EDGE + 1, geometry[2] - EDGE))
        y = self.rng.randrange(EDGE, max(EDGE + 1, geometry[3] - EDGE))
        return x, y

    def open_menu(self, window, geometry):
        """Right-clicks a random point of the window; returns the open menu's geometry."""
        return open_menu(self.display, self.program, window, *self.random_point(geometry))

    def close_stray_menus(self, window):
        """A left click in the window, away from any menu, closes a menu left open."""
        if not open_menus(self.display):
            return
        self.display.xdotool("mousemove", "--window", window, 1, 1, "click", 1)
        time.sleep(0.1)

    def toggle(self, window, geometry):
        menu = self.open_menu(window, geometry)
        # Entries 2 to 7: the separators and the four toggles.
        pick(self.display, menu, self.rng.randrange(2, FULL_SCREEN_ENTRY))

    def view(self, window, geometry):
        menu = self.open_menu(window, geometry)
        self.display.xdotool("mousemove", *entry_point(menu, VIEW_ENTRY))
        submenu = wait_for(self.program, "View submenu",
                           lambda: [m for m in open_menus(self.display) if m != menu] or None,
                           10.0)[0]
        pick(self.display, submenu, self.rng.randrange(1, VIEW_MENU_ENTRIES + 1))

    def resize(self, window):
        # Down to slivers the read-out and the projection must cope with.
        small = (SMALLEST_WINDOW, 64)
        width = self.rng.choice([self.rng.randrange(*small), self.rng.randrange(64, SCREEN[0])])
        height = self.rng.choice([self.rng.randrange(*small), self.rng.randrange(64, SCREEN[1])])
        self.display.xdotool("windowsize", window, width, height)

    def full_screen_round_trip(self, window, geometry):
        x, y = self.random_point(geometry)
        full_screen_round_trip(self.display, self.program, window, x, y,
                               self.rng.uniform(0.2, 2.0))
        self.round_trips += 1

    def act(self):
        window, geometry = wait_for(self.program, "program window",
                                    lambda: program_window(self.display, False))
        self.close_stray_menus(window)
        names = [name for name, _ in ACTIONS]
        weights = [weight for _, weight in ACTIONS]
        action = self.rng.choices(names, weights)[0]
        self.counts[action] += 1
        if action == "arrow":
            self.press_arrow(window)
        elif action == "toggle":
            self.toggle(window, geometry)
        elif action == "view":
            self.view(window, geometry)
        elif action == "resize":
            self.resize(window)
        elif action == "full_screen":
            self.full_screen_round_trip(window, geometry)
        time.sleep(self.rng.uniform(0.02, 0.4))
        self.program.check_alive("after action '%s'" % action)

    # --- the run -------------------------------------------------------------------

    def checkpoint(self):
        """Brings the program to the same state every time, a 640 x 480 window with no
        menu open, and returns its VmRSS (kB) there. The window's size and a switch in
        progress move the figure by megabytes; only growth between checkpoints is a leak."""
        window, _ = wait_for(self.program, "program window",
                             lambda: program_window(self.display, False))
        self.close_stray_menus(window)
        self.display.xdotool("windowsize", window, *CHECKPOINT_SIZE)
        time.sleep(CHECKPOINT_SETTLE_SECONDS)
        self.program.check_alive("at a checkpoint")
        return self.program.status_kb("VmRSS")

    def run(self):
        """Acts until the time is up; returns the VmRSS (kB) of every checkpoint after
        the first minute."""
        wait_for(self.program, "first frame", lambda: self.program.counts()[1] > 0 or None)
        start = time.monotonic()
        end = start + self.args.minutes * 60.0
        warm_up_end = start + min(WARM_UP_SECONDS, self.args.minutes * 60.0 / 2)
        checkpoints_kb = []
        last_ticks = self.program.counts()[0]
        next_checkpoint = start + CHECKPOINT_SECONDS
        while time.monotonic() < end:
            self.act()
            if time.monotonic() < next_checkpoint:
                continue
            rss_kb = self.checkpoint()
            ticks, _ = self.program.counts()
            if ticks <= last_ticks:
                raise SoakFailure("the tick count stopped at %d" % ticks)
            last_ticks = ticks
            now = time.monotonic()
            next_checkpoint = now + CHECKPOINT_SECONDS
            if now >= warm_up_end:
                checkpoints_kb.append(rss_kb)
        self.release_arrows()
        checkpoints_kb.append(self.checkpoint())
        return checkpoints_kb

    def check_still_drawing(self):
        ticks0, swaps0 = self.program.counts()
        time.sleep(3.0)
        self.program.check_alive("at the end")
        ticks1, swaps1 = self.program.counts()
        log("last 3 s: %d ticks, %d frames" % (ticks1 - ticks0, swaps1 - swaps0))
        if ticks1 <= ticks0 or swaps1 <= swaps0:
            raise SoakFailure("not drawing at the end: ticks %d -> %d, swaps %d -> %d" %
                              (ticks0, ticks1, swaps0, swaps1))


def level_growth_mb(samples_mb):
    """How far the level of resident memory rose: the median of the last quarter of the
    samples minus the median of the first quarter, and the quarter's size. Single
    samples swing by several MB as the allocator keeps or hands back the memory of a
    re-created GL context; a leak raises the whole level."""
    window = max(min(2, len(samples_mb)), len(samples_mb) // 4)
    first = statistics.median(samples_mb[:window])
    last = statistics.median(samples_mb[-window:])
    return last - first, window


def parse_args():
    root = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--minutes", type=float, default=10.0)
    parser.add_argument("--seed", type=int, default=DEFAULT_SEED)
    parser.add_argument("--binary", default=os.path.join(root, "build/app/avifold"))
    parser.add_argument("--probe", default=os.path.join(root, "build/tools/libavifold_probe.so"))
    parser.add_argument("--data-dir", default=root, help="folder holding data/")
    parser.add_argument("--rss-limit-mb", type=float, default=8.0,
                        help="allowed VmRSS growth after the first minute")
    parser.add_argument("--sanitized", action="store_true",
                        help="the binary is built with AddressSanitizer")
    return parser.parse_args()


def main():
    args = parse_args()
    limit_mb = args.rss_limit_mb
    if args.sanitized:
        limit_mb += ASAN_QUARANTINE_MB
    log("soak: %.1f min, seed %d (replay with --seed %d), memory growth limit %.0f MB" %
        (args.minutes, args.seed, args.seed, limit_mb))
    display = None
    program = None
    status = 1
    with tempfile.TemporaryDirectory(prefix="avifold_soak_") as workdir:
        try:
            display = Display()
            program = Program(display, args.binary, args.probe, args.data_dir, workdir,
                              args.sanitized)
            soak = Soak(args, display, program)
            checkpoints_kb = soak.run()
            soak.check_still_drawing()
            hwm_kb = program.status_kb("VmHWM")
            ticks, swaps = program.counts()
            log("actions: " + ", ".join("%s %d" % item for item in soak.counts.items()) +
                "; full-screen round trips %d" % soak.round_trips)
            log("ticks %d, frames %d" % (ticks, swaps))
            mb = [kb / 1024 for kb in checkpoints_kb]
            log("VmRSS at 640x480 every %.0f s after the first minute (MB): %s" %
                (CHECKPOINT_SECONDS, " ".join("%.1f" % m for m in mb)))
            growth_mb, window = level_growth_mb(mb)
            log("VmRSS first %.1f MB, highest %.1f MB, last %.1f MB, VmHWM %.1f MB; "
                "highest minus first %.1f MB" %
                (mb[0], max(mb), mb[-1], hwm_kb / 1024, max(mb) - mb[0]))
            log("level growth (median of the last %d samples minus that of the first %d): "
                "%.1f MB (limit %.0f MB)" % (window, window, growth_mb, limit_mb))
            if growth_mb > limit_mb:
                raise SoakFailure("resident memory grew by %.1f MB" % growth_mb)
            log("soak passed")
            status = 0
        except SoakFailure as failure:
            log("soak FAILED (seed %d): %s" % (args.seed, failure))
        finally:
            if program is not None:
                program.stop()
            if display is not None:
                display.close()
    return status


if __name__ == "__main__":
    sys.exit(main())
