"""Driving the real program: started with its probe, found by its window, given keys,
clicks and menu choices, taken to full screen and back, waited on through the probe."""

import glob
import os
import subprocess
import time
import unittest
from typing import Callable, Dict, List, Optional, Sequence, Tuple

from .facts import (DATA_FILES, MAIN_MENU, MENU_BORDER, MENU_ENTRY_HEIGHT, SCREEN_SIZE,
                    VIEW_MENU, WINDOW_SIZE, WINDOW_TITLE)
from .pictures import Geometry, Picture
from .probe import (Event, Frame, MenuEntry, Menus, PaceVerdict, Probe, built_menus,
                    one_chain, tick_rate)
from .processes import (EFFECT_TIMEOUT, START_TIMEOUT, T, die_with_runner, env_path,
                        stop_process, wait_for)
from .xserver import XServer


def link_data(folder: str, skip: Sequence[str] = ()) -> None:
    """A data/ folder of links to the real images, without the files in skip."""
    source = env_path("AVIFOLD_DATA")
    os.makedirs(folder, exist_ok=True)
    for name in DATA_FILES:
        if name not in skip:
            os.symlink(os.path.join(source, name), os.path.join(folder, name))


def libfaketime() -> str:
    found = sorted(glob.glob("/usr/lib/*/faketime/libfaketime.so.1"))
    if not found:
        raise unittest.SkipTest("libfaketime is not installed")
    return found[0]


class WallClock:
    """The program's wall clock, moved at will by libfaketime through a timestamp file
    (an offset from the real time); its monotonic clock stays the real one."""

    def __init__(self, workdir: str) -> None:
        self.path = os.path.join(workdir, "faketime")
        self.offset = 0
        self._write()

    def env(self) -> Dict[str, str]:
        # The file is read again at every reading of the clock, so a step is seen at once.
        return {"FAKETIME_TIMESTAMP_FILE": self.path, "FAKETIME_NO_CACHE": "1",
                "FAKETIME_DONT_FAKE_MONOTONIC": "1"}

    def _write(self) -> None:
        # Whole or not at all: the program may read it at any moment.
        with open(self.path + ".new", "w") as f:
            f.write("%+d\n" % self.offset)
        os.replace(self.path + ".new", self.path)

    def step(self, seconds: int) -> int:
        """Sets the wall clock forward (or back, negative) by `seconds`; returns the
        monotonic time (ns) just after."""
        self.offset += seconds
        self._write()
        return time.clock_gettime_ns(time.CLOCK_MONOTONIC)


# --- The program ----------------------------------------------------------------------

class App:
    """The real program on a server, started in `cwd` (by default a scratch folder with
    data/ linked in), with the probe preloaded and its console captured to files."""

    def __init__(self, server: XServer, workdir: str, command: Optional[List[str]] = None,
                 cwd: Optional[str] = None, data: bool = True,
                 env: Optional[Dict[str, str]] = None, probe: bool = True,
                 clock: Optional[WallClock] = None, small_quarantine: bool = False) -> None:
        self.server = server
        self.cwd = cwd or workdir
        self.stdout_path = os.path.join(workdir, "stdout")
        self.stderr_path = os.path.join(workdir, "stderr")
        if data:
            link_data(os.path.join(self.cwd, "data"))
        full_env = dict(server.env)
        full_env.setdefault("ASAN_OPTIONS", "detect_leaks=0:verify_asan_link_order=0")
        if small_quarantine:
            # The sanitizer build's quarantine of freed blocks would take a long run to
            # fill; a small one fills at once and still catches a use after free of what
            # was just released. The plain build ignores the setting.
            full_env["ASAN_OPTIONS"] += ":quarantine_size_mb=4"
        self.probe = Probe(workdir) if probe else None
        if self.probe:
            full_env.update(self.probe.env())
        if clock:
            full_env.update(clock.env())
            preload = [full_env.get("LD_PRELOAD"), libfaketime()]
            full_env["LD_PRELOAD"] = ":".join(filter(None, preload))
        full_env.update(env or {})
        self.exec_ns = time.clock_gettime_ns(time.CLOCK_MONOTONIC)
        with open(self.stdout_path, "wb") as out, open(self.stderr_path, "wb") as err:
            self.process = subprocess.Popen(
                command or [env_path("AVIFOLD_APP")], cwd=self.cwd, env=full_env,
                stdout=out, stderr=err, stdin=subprocess.DEVNULL,
                preexec_fn=die_with_runner)
        self.window: Optional[int] = None
        self.menu_entry_height = MENU_ENTRY_HEIGHT
        # Under Wine a top-level X window holds the frame that Wine draws itself, and
        # the window that GL draws into is its child.
        self.framed = False
        self.frame: Optional[int] = None

    # Process ----------------------------------------------------------------------

    def check_alive(self) -> None:
        if self.process.poll() is not None:
            raise AssertionError("avifold exited with %s; stderr:\n%s"
                                 % (self.process.poll(), self.stderr()))

    def stdout(self) -> bytes:
        with open(self.stdout_path, "rb") as f:
            return f.read()

    def stderr(self) -> str:
        with open(self.stderr_path, "rb") as f:
            return f.read().decode(errors="replace")[-4000:]

    def rss_kib(self) -> int:
        with open("/proc/%d/status" % self.process.pid) as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
        raise AssertionError("no VmRSS for the program")

    def stopped(self) -> bool:
        """Stopped by a signal (job control), not ended."""
        with open("/proc/%d/stat" % self.process.pid) as f:
            return f.read().rpartition(")")[2].split()[0] == "T"

    def wait_exit(self) -> int:
        return self.process.wait(START_TIMEOUT)

    def close(self, window: int) -> int:
        """The window manager's close button on a window; returns the exit status."""
        self.server.run(env_path("AVIFOLD_SEND_DELETE"), window)
        return self.wait_exit()

    def stop(self) -> None:
        stop_process(self.process)

    # What it does -------------------------------------------------------------------

    def wait(self, condition: Callable[[], T], what: str,
             timeout: float = EFFECT_TIMEOUT) -> T:
        """wait_for, failing at once when the program dies meanwhile."""
        def check() -> T:
            self.check_alive()
            return condition()
        return wait_for(check, what, timeout)

    def wait_for_swaps(self, more: int = 3) -> None:
        self._wait_for_count("swaps", more, START_TIMEOUT)

    def wait_for_ticks(self, more: int) -> None:
        self._wait_for_count("ticks", more, EFFECT_TIMEOUT)

    def _wait_for_count(self, name: str, more: int, timeout: float) -> None:
        end = getattr(self.probe.counts(), name) + more
        self.wait(lambda: getattr(self.probe.counts(), name) >= end,
                  "%d more %s" % (more, name), timeout)

    def wait_for_event(self, kind: str, after: int = 0, /, **fields: object) -> Event:
        """The first event of `kind` from frame `after` on with these field values."""
        def found() -> Optional[Event]:
            for e in self.probe.events(kind):
                if e.frame >= after and all(e.fields.get(k) == str(v)
                                            for k, v in fields.items()):
                    return e
            return None
        return self.wait(found, "a %s event %s" % (kind, fields))

    def frames_after(self, event: Event, count: int = 1) -> List[Frame]:
        """The first `count` recorded frames drawn after an event (the first of them
        is the very next frame)."""
        return self._frames(lambda f: f.frame > event.frame, count, "after " + event.kind)

    def frames_from_tick(self, tick: int, count: int) -> List[Frame]:
        """`count` recorded frames drawn after tick `tick`."""
        return self._frames(lambda f: f.tick >= tick, count, "from tick %d" % tick)

    def _frames(self, chosen: Callable[[Frame], bool], count: int, what: str) -> List[Frame]:
        def enough() -> Optional[List[Frame]]:
            frames = [f for f in self.probe.frames() if chosen(f)]
            return frames[:count] if len(frames) >= count else None
        return self.wait(enough, "%d frames %s" % (count, what))

    def pace_through(self, event: Callable[[], int], seconds: float) -> PaceVerdict:
        """The ticks over `seconds` after an event against those over as long just before
        it; `event` makes it and returns the monotonic time (ns) just after."""
        span = int(seconds * 1e9)
        self.wait(lambda: (t := self.probe.tick_times()) and t[-1] - t[0] >= span,
                  "%.0f s of ticks before the event" % seconds, seconds + EFFECT_TIMEOUT)
        start = event()
        times = self.wait(
            lambda: t if (t := self.probe.tick_times()) and t[-1] >= start + span else None,
            "a tick %.1f s after the event" % seconds, seconds + EFFECT_TIMEOUT)
        return PaceVerdict(tick_rate(times, start - span, start),
                           tick_rate(times, start, start + span),
                           one_chain([t for t in times if start <= t < start + span]))

    def last_frame(self) -> Frame:
        return self.wait(lambda: (self.probe.frames() or [None])[-1], "a frame")

    # Windows ----------------------------------------------------------------------

    def wait_for_window(self, size: Tuple[int, int] = WINDOW_SIZE,
                        exclude: Sequence[int] = ()) -> int:
        """Waits for a mapped window titled "Avifold" of this size; it becomes the
        window that input goes to."""
        def found() -> Optional[int]:
            for w in self.server.windows(WINDOW_TITLE):
                inner = self.server.children(w) if self.framed else []
                for candidate in inner + [w]:
                    g = self.server.geometry(candidate)
                    if (w not in exclude and g is not None
                            and (g.width, g.height) == size):
                        self.frame = w
                        return candidate
            return None
        self.window = self.wait(found, "the %dx%d Avifold window" % size, START_TIMEOUT)
        return self.window

    def picture(self) -> Picture:
        """What the window shows, cut from the screen at its place."""
        return self.server.capture().crop(self.server.geometry(self.window))

    def wait_for_picture(self, condition: Callable[[Picture], bool], what: str) -> Picture:
        """Pictures of the window until one shows what is waited for."""
        return self.wait(lambda: (lambda p: p if condition(p) else None)(self.picture()),
                         what)

    # Input ------------------------------------------------------------------------

    def key(self, *keys: str, window: Optional[int] = None) -> None:
        """Presses and releases keys, sent to the window (or to the server's focus
        with window=0, as game mode needs)."""
        target = window if window is not None else self.window
        where = ["--window", str(target)] if target else []
        self.server.run("xdotool", "key", *where, *keys)

    def hold(self, key: str, down: bool) -> None:
        """Presses (or releases) a key on the window, held without auto-repeat."""
        self.server.run("xdotool", "keydown" if down else "keyup", "--window",
                        str(self.window), key)

    def click(self) -> None:
        """Left-clicks the window's middle: under Wine a window takes keys only once it
        was clicked."""
        g = self.server.geometry(self.window)
        self.server.run("xdotool", "mousemove", g.left + g.width // 2,
                        g.top + g.height // 2, "click", "1")

    def focus(self) -> None:
        self.server.run("xdotool", "windowfocus", "--sync", str(self.window))

    def open_menu(self) -> Geometry:
        """Right-clicks the window, at (200, 150) or its middle if it is smaller;
        returns the context menu's place."""
        g = self.server.geometry(self.window)
        x, y = min(200, g.width // 2), min(150, g.height // 2)
        self.server.run("xdotool", "mousemove", g.left + x, g.top + y, "click", "3")
        return self.wait(lambda: (self.server.menus() or [None])[0], "the context menu")

    def menus(self) -> Menus:
        """The menus as the program built and last labelled them, from the probe's
        record; without the probe, as the program first builds them."""
        if self.probe:
            return built_menus(self.probe.events("entry"))
        return Menus([MenuEntry(shown, 0, shown == "View") for shown in MAIN_MENU],
                     [MenuEntry(shown, 0, False) for shown in VIEW_MENU])

    @property
    def menu_labels(self) -> List[str]:
        return [entry.label for entry in self.menus().main]

    def choose(self, label: str, occurrence: int = 0) -> Optional[Event]:
        """Chooses the entry that now shows `label` (a View entry through its submenu;
        of two such entries, the `occurrence`th) and returns the probe's record of the
        command the program received (None for a program without the probe)."""
        after = self.probe.counts().swaps if self.probe else 0
        entries, view = self.menus()
        main = menu = self.open_menu()
        if label in [entry.label for entry in view]:
            self._point(main, [entry.sub for entry in entries].index(True) + 1)
            menu = self.wait(lambda: [m for m in self.server.menus() if m != main],
                             "the View submenu")[0]
            entries = view
        shown = [i for i, entry in enumerate(entries) if entry.label == label]
        if len(shown) <= occurrence:
            raise AssertionError("no entry shows %r: %s" % (label, [e.label for e in entries]))
        chosen = shown[occurrence]
        self._point(menu, chosen + 1)
        self.server.run("xdotool", "click", "1")
        event = None
        if self.probe:
            # A frame after the command shows it has run, relabelling included.
            event = self.wait_for_event("menu", after, id=entries[chosen].id)
            self.frames_after(event)
        self.wait(lambda: not self.server.menus(), "the menu to close")
        return event

    def _point(self, menu: Geometry, entry: int) -> None:
        height = self.menu_entry_height
        self.server.run("xdotool", "mousemove", menu.left + menu.width // 2,
                        menu.top + MENU_BORDER + height * (entry - 1) + height // 2)

    # Full screen --------------------------------------------------------------------

    def enter_full_screen(self) -> Optional[int]:
        """"Full Screen Mode", and waits for the full-screen surface to draw: the
        screen-sized stand-in window on Xvfb (returned), game mode on Xorg (None)."""
        windowed = self.window
        earlier = self.server.windows(WINDOW_TITLE)  # ones still listed while they go
        event = self.choose("Full Screen Mode")
        self.wait(lambda: self.server.geometry(windowed) is None, "the window to close")
        context = self.wait_for_event("context", event.frame)
        surface = None
        if context.fields["kind"] == "gamemode":
            self.wait(lambda: self.server.video_mode() == "640x480", "the 640x480 mode")
        else:
            surface = self.wait_for_window(SCREEN_SIZE, exclude=earlier)
        self.frames_after(context)
        return surface

    def leave_full_screen(self, surface: Optional[int]) -> int:
        """Escape on the full-screen surface, and waits for the new window to draw."""
        after = self.probe.counts().swaps
        earlier = self.server.windows(WINDOW_TITLE)
        # Game mode holds the keyboard: the key goes through the server to it.
        self.key("Escape", window=surface or 0)
        context = self.wait_for_event("context", after, kind="window")
        window = self.wait_for_window(WINDOW_SIZE, exclude=earlier)
        if self.server.kind == "xorg":
            self.wait(lambda: self.server.video_mode() == "1024x768", "the desktop mode")
        self.focus()  # after full screen nobody has the keyboard focus
        self.frames_after(context)
        return window

    def round_trip(self) -> int:
        """Full screen and back; returns resident memory (KiB) once GLUT has destroyed
        the old surface (before, the figure would hold two frame buffers) and two ticks
        have passed."""
        windows = len(self.server.top_level_windows())
        self.leave_full_screen(self.enter_full_screen())
        self.wait(lambda: len(self.server.top_level_windows()) == windows,
                  "the old surface to go")
        self.wait_for_ticks(2)
        return self.rss_kib()
