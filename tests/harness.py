"""The one way to drive the real Avifold program: X servers, the program with its probe,
windows, the menu, screen captures, waiting, and the memory verdict.

Every end-to-end scenario, the soak, the benchmark runner and the screenshot script go
through this module; nothing else starts an X server or reads the probe's output.

What the program decides (camera, fog, shadows, ground, switches) is read exactly from
the probe's event log (tests/probe/probe.cpp), which records what every frame asks of GL;
pictures are read only for what only pixels show. Waits poll a condition until a
deadline; no judgement is ever taken again until it passes.

Run as a program, it runs a command under an Xvfb of its own, for the display tests:
    python3 tests/harness.py run -- COMMAND [ARGS...]

The programs under test come from the environment, which CTest sets:
  AVIFOLD_APP        the avifold binary
  AVIFOLD_PROBE_LIB  the probe library (LD_PRELOAD)
  AVIFOLD_DATA       the folder holding the seven .raw images
"""

import ctypes
import math
import os
import re
import select
import shutil
import signal
import statistics
import struct
import subprocess
import sys
import tempfile
import time
import unittest
from typing import Callable, Dict, List, NamedTuple, Optional, Sequence, Tuple, TypeVar

T = TypeVar("T")

# Slow builds (the sanitizer build draws a frame in tens of milliseconds) only make the
# waits take longer; no verdict depends on a duration.
START_TIMEOUT = 60.0
EFFECT_TIMEOUT = 30.0
POLL_STEP = 0.05
SCREEN_SIZE = (1024, 768)
WINDOW_TITLE = "Avifold"
WINDOW_SIZE = (640, 480)
DATA_FILES = ("ground512.raw", "cloud0.raw", "good1.raw", "water0.raw", "water1.raw",
              "tree0.raw", "tree1.raw")
SKIPPED = 77  # the exit status CTest reports as a skipped test

# The context menu, entry by entry as GLUT numbers them, with the id each label gives
# the program. A toggle's "+" label switches the setting off and becomes "-".
MAIN_MENU = ("View", "----------", "+ Fog", "+ Shadows", "+ FPS", "+ Bumps and Hills",
             "----------", "Full Screen Mode")
VIEW_MENU = ("Bird Control", "Smart Follow")
MENU_IDS = {"Bird Control": 11, "Smart Follow": 12, "----------": -1,
            "- Fog": 20, "+ Fog": 21, "+ Shadows": 30, "- Shadows": 31,
            "+ FPS": 40, "- FPS": 41, "+ Bumps and Hills": 80, "- Bumps and Hills": 81,
            "Full Screen Mode": 100}
MENU_WINDOW = "freeglut menu"
MENU_BORDER = 2  # pixels above a freeglut menu's first entry
MENU_ENTRY_HEIGHT = 25
WINE_MENU_ENTRY_HEIGHT = 16  # freeglut's Windows build draws its menus in a smaller font



def f32(value: float) -> float:
    """A number as GL holds it, in single precision."""
    return struct.unpack("f", struct.pack("f", value))[0]


# Clear colours as they reach GL and as the screen shows them.
FOG_GREY = tuple(map(f32, (0.7, 0.7, 0.7, 0.7)))
CLEAR_BLUE = tuple(map(f32, (0.2, 0.2, 1.0, 0.7)))
FOG_FAR, CLEAR_FAR = 300.0, 1000.0
GREY_PIXEL = (178, 178, 178)
BLUE_PIXEL = (51, 51, 255)

FLOCK = 40
BANNER = (
    b"---- Avifold ---- \n"
    b"By the Avifold developers\n"
    b"Birds, hills and water: the Avifold developers\n"
    b"\n\n"
    b"Use the arrow keys to control your boid.\n"
    b"The right mouse button brings up a context menu."
    b"\n\n"
    b"*** NOTE: 3D OpenGL Accelerated video card highly recomended!!!\n\n"
)
CAMERA_BEHIND_BIRD = 13.0  # units behind bird 0 in Bird Control
TOP_TURN_RATE = 3  # degrees a tick while an arrow is held
TURN_SETTLE_TICKS = 13  # from full turn one way to full turn the other at 0.5 a tick


def wait_for(condition: Callable[[], T], what: str, timeout: float = EFFECT_TIMEOUT,
             step: float = POLL_STEP) -> T:
    """Polls condition until it returns something true, and returns that; fails with
    `what` after timeout seconds."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError("timed out after %.0f s waiting for %s" % (timeout, what))
        time.sleep(step)


def use_build(build: str) -> None:
    """Takes the program and the probe from a build folder, and the images from the
    source tree, where the environment does not name them already (runs by hand)."""
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    os.environ.setdefault("AVIFOLD_APP", os.path.join(build, "app/avifold"))
    os.environ.setdefault("AVIFOLD_PROBE_LIB", os.path.join(build, "tests/probe/libavifold_probe.so"))
    os.environ.setdefault("AVIFOLD_DATA", os.path.join(root, "data"))


def env_path(name: str) -> str:
    value = os.environ.get(name)
    if not value:
        raise unittest.SkipTest(name + " is not set; run the suite through CTest")
    return value


def _die_with_runner() -> None:
    # In the child: the X server or program must not outlive a runner that is killed
    # (CTest's timeout kills the runner only).
    libc = ctypes.CDLL(None, use_errno=True)
    libc.prctl(1, signal.SIGKILL)  # PR_SET_PDEATHSIG
    os.setpgrp()


def stop_process(process: Optional[subprocess.Popen], grace: float = 5.0) -> None:
    if process is None or process.poll() is not None:
        return
    process.terminate()
    try:
        process.wait(grace)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()


# --- X servers -----------------------------------------------------------------------

XORG_DUMMY_CONFIG = """\
# No input devices and no real screen; the one screen switches between the desktop's
# 1024x768 and the game mode's 640x480.
Section "ServerFlags"
  Option "AutoAddDevices" "false"
  Option "AutoEnableDevices" "false"
  Option "DontVTSwitch" "true"
EndSection
Section "Device"
  Identifier "dummy"
  Driver "dummy"
  VideoRam 16384
EndSection
Section "Monitor"
  Identifier "monitor"
  HorizSync 5.0 - 1000.0
  VertRefresh 5.0 - 200.0
  Modeline "1024x768" 65.00 1024 1048 1184 1344 768 771 777 806 -hsync -vsync
  Modeline "640x480" 25.18 640 656 752 800 480 490 492 525 -hsync -vsync
EndSection
Section "Screen"
  Identifier "screen"
  Device "dummy"
  Monitor "monitor"
  DefaultDepth 24
  SubSection "Display"
    Depth 24
    Modes "1024x768" "640x480"
  EndSubSection
EndSection
Section "ServerLayout"
  Identifier "layout"
  Screen "screen"
EndSection
"""


class Geometry(NamedTuple):
    left: int
    top: int
    width: int
    height: int


class XServer:
    """An X server of its own on a display it picked: Xvfb, or Xorg with the dummy
    driver (kind "xorg"), whose screen can really switch to the game mode."""

    def __init__(self, workdir: str, kind: str = "xvfb") -> None:
        self.kind = kind
        self.log_path = os.path.join(workdir, "xserver.log")
        if kind == "xorg":
            command = self._xorg_command(workdir)
        else:
            command = ["Xvfb", "-screen", "0", "%dx%dx24" % SCREEN_SIZE]
        read_end, write_end = os.pipe()
        with open(self.log_path, "wb") as log:
            self.process = subprocess.Popen(
                command + ["-noreset", "-nolisten", "tcp", "-displayfd", str(write_end)],
                pass_fds=(write_end,), stdout=log, stderr=subprocess.STDOUT,
                stdin=subprocess.DEVNULL, preexec_fn=_die_with_runner)
        os.close(write_end)
        try:
            self.display = ":" + self._read_display(read_end)
        except Exception:
            self.stop()
            raise
        finally:
            os.close(read_end)
        self.env = dict(os.environ, DISPLAY=self.display)

    @staticmethod
    def _xorg_command(workdir: str) -> List[str]:
        if shutil.which("Xorg") is None:
            raise unittest.SkipTest("Xorg is not installed")
        if not os.path.exists("/usr/lib/xorg/modules/drivers/dummy_drv.so"):
            raise unittest.SkipTest("the Xorg dummy driver is not installed")
        if os.geteuid() != 0:
            raise unittest.SkipTest("Xorg with the dummy driver needs root rights here")
        config = os.path.join(workdir, "xorg-dummy.conf")
        with open(config, "w") as f:
            f.write(XORG_DUMMY_CONFIG)
        return ["Xorg", "-config", config, "-logfile", os.path.join(workdir, "Xorg.log")]

    def _read_display(self, read_end: int) -> str:
        # The server writes its display number once it accepts clients.
        text = b""
        deadline = time.monotonic() + START_TIMEOUT
        while not text.endswith(b"\n"):
            if self.process.poll() is not None:
                raise RuntimeError("X server exited at start:\n" + self.log())
            if time.monotonic() > deadline:
                raise RuntimeError("X server did not report a display:\n" + self.log())
            if select.select([read_end], [], [], 0.2)[0]:
                chunk = os.read(read_end, 64)
                if not chunk:
                    break
                text += chunk
        return text.decode().strip()

    def log(self) -> str:
        try:
            with open(self.log_path, errors="replace") as f:
                return f.read()[-4000:]
        except OSError:
            return ""

    def run(self, *args: str, check: bool = True, timeout: float = 30) -> str:
        """Runs an X client on this display and returns its standard output."""
        result = subprocess.run([str(a) for a in args], env=self.env, capture_output=True,
                                text=True, timeout=timeout)
        if check and result.returncode != 0:
            raise RuntimeError("%s failed (%d): %s" % (" ".join(map(str, args)),
                                                       result.returncode,
                                                       result.stderr.strip()))
        return result.stdout

    def windows(self, name: str) -> List[int]:
        """Mapped windows of exactly this name."""
        out = self.run("xdotool", "search", "--onlyvisible", "--name",
                       "^%s$" % re.escape(name), check=False)
        return [int(w) for w in out.split()]

    def geometry(self, window: int) -> Optional[Geometry]:
        """A window's place on the root window and size, or None once it is gone."""
        result = subprocess.run(["xwininfo", "-id", str(window)], env=self.env,
                                capture_output=True, text=True)
        if result.returncode != 0:
            return None
        fields = dict(re.findall(r"^\s*([A-Za-z -]+):\s+(-?\d+)\s*$", result.stdout, re.M))
        return Geometry(int(fields["Absolute upper-left X"]),
                        int(fields["Absolute upper-left Y"]),
                        int(fields["Width"]), int(fields["Height"]))

    def children(self, window: int) -> List[int]:
        """A window's child windows, mapped or not."""
        out = self.run("xwininfo", "-children", "-id", window, check=False)
        return [int(w, 16) for w in re.findall(r"^\s+(0x[0-9a-f]+) ", out, re.M)]

    def top_level_windows(self) -> List[str]:
        """The children of the root window, mapped or not, as "id name" lines."""
        out = self.run("xwininfo", "-root", "-children")
        return re.findall(r"^\s+(0x[0-9a-f]+ .*?):", out, re.M)

    def menus(self) -> List[Geometry]:
        """The freeglut menus on the screen: the context menu and its submenu."""
        found = (self.geometry(w) for w in self.windows(MENU_WINDOW))
        return [g for g in found if g is not None]

    def video_mode(self) -> str:
        """The screen's video mode as XF86VidMode reports it ("1024x768"); GLUT switches
        game mode through it, and the root window keeps its size."""
        out = self.run("xvidtune", "-show")
        match = re.match(r'\s*"(\d+x\d+)"', out)
        return match.group(1) if match else out.strip()

    def capture(self, *target: str) -> "Picture":
        """A picture read with xwd (default: the whole screen). On a screen with several
        visuals xwd walks the window tree and exits 1 when a window it met is destroyed
        before it asks about it (an old surface, a closing menu; BadDrawable when the
        window goes while xwd reads its pixels, as Wine's GL windows do): that race,
        and only that, reads again."""
        target = target or ("-root",)
        deadline = time.monotonic() + EFFECT_TIMEOUT
        while True:
            result = subprocess.run(["xwd", "-silent", *target], env=self.env,
                                    capture_output=True)
            if result.returncode == 0:
                return parse_xwd(result.stdout)
            error = result.stderr.decode(errors="replace")
            gone = "BadWindow" in error or "BadDrawable" in error
            if not gone or time.monotonic() > deadline:
                raise AssertionError("xwd %s failed: %s" % (" ".join(target), error))
            time.sleep(POLL_STEP)

    def stop(self) -> None:
        stop_process(self.process)


# --- Pictures --------------------------------------------------------------------------

class Picture:
    """An RGB picture: three bytes objects of one channel each, row by row."""

    def __init__(self, width: int, height: int, red: bytes, green: bytes,
                 blue: bytes) -> None:
        self.width, self.height = width, height
        self.red, self.green, self.blue = red, green, blue

    def crop(self, box: Geometry) -> "Picture":
        """The part under a window; rows and columns off the screen are left out."""
        left, top = max(box.left, 0), max(box.top, 0)
        right = min(box.left + box.width, self.width)
        bottom = min(box.top + box.height, self.height)
        channels = []
        for source in (self.red, self.green, self.blue):
            channels.append(b"".join(source[y * self.width + left:y * self.width + right]
                                     for y in range(top, bottom)))
        return Picture(right - left, bottom - top, *channels)

    def pixels(self, left: int = 0, top: int = 0, right: Optional[int] = None,
               bottom: Optional[int] = None):
        right = self.width if right is None else right
        bottom = self.height if bottom is None else bottom
        for y in range(top, bottom):
            a, b = y * self.width + left, y * self.width + right
            yield from zip(self.red[a:b], self.green[a:b], self.blue[a:b])

    def share(self, predicate, *box: int) -> float:
        hits = total = 0
        for p in self.pixels(*box):
            total += 1
            hits += 1 if predicate(p) else 0
        return hits / total if total else 0.0

    def save_ppm(self, path: str) -> None:
        with open(path, "wb") as f:
            f.write(b"P6\n%d %d\n255\n" % (self.width, self.height))
            data = bytearray(self.width * self.height * 3)
            data[0::3], data[1::3], data[2::3] = self.red, self.green, self.blue
            f.write(bytes(data))


def parse_xwd(data: bytes) -> Picture:
    """The picture in xwd's output (TrueColor, 24 or 32 bits a pixel)."""
    header = struct.unpack(">25I", data[:100])
    header_size, bits_per_pixel, bytes_per_line = header[0], header[11], header[12]
    width, height, byte_order = header[4], header[5], header[7]
    masks, ncolors = header[14:17], header[19]
    if bits_per_pixel not in (24, 32):
        raise RuntimeError("expected 24 or 32 bits a pixel, got %d" % bits_per_pixel)
    size = bits_per_pixel // 8
    offset = header_size + 12 * ncolors
    image = data[offset:offset + bytes_per_line * height]
    rows = b"".join(image[y * bytes_per_line:y * bytes_per_line + size * width]
                    for y in range(height))
    channels = []
    for mask in masks:
        shift = (mask & -mask).bit_length() - 1
        index = shift // 8 if byte_order == 0 else size - 1 - shift // 8
        channels.append(rows[index::size])
    return Picture(width, height, *channels)


def is_colour(pixel: Tuple[int, int, int], colour: Tuple[int, int, int],
              tolerance: int = 3) -> bool:
    return all(abs(p - c) <= tolerance for p, c in zip(pixel, colour))


def shows_sky(picture: Picture, colour: Tuple[int, int, int]) -> bool:
    """The upper left of the view (above eye level, clear of the read-out) is mostly
    the clear colour; birds crossing it only lower the share."""
    return picture.share(lambda p: is_colour(p, colour), 0, 0, 320, 200) > 0.5


def is_readout_red(pixel: Tuple[int, int, int]) -> bool:
    r, g, b = pixel
    return r >= 200 and g <= 70 and b <= 70


def readout_pixels(picture: Picture) -> Tuple[int, int]:
    """Red read-out pixels in the upper right quarter, and everywhere."""
    inside = sum(1 for p in picture.pixels(picture.width // 2, 0, picture.width,
                                           picture.height // 2) if is_readout_red(p))
    return inside, sum(1 for p in picture.pixels() if is_readout_red(p))


def shows_scene(picture: Picture, sky: Tuple[int, int, int]) -> bool:
    """The window shows the scene: that sky, and the red read-out where it belongs and
    nowhere else."""
    inside, everywhere = readout_pixels(picture)
    return shows_sky(picture, sky) and inside >= 20 and inside == everywhere


# --- The probe's record --------------------------------------------------------------

class Counts(NamedTuple):
    ticks: int
    swaps: int
    first_swap_ns: int
    timer_arms: int


class Event(NamedTuple):
    kind: str  # context, chain, menu, key, reshape, terrain
    fields: Dict[str, str]
    tick: int  # ticks so far
    frame: int  # frames swapped so far


class Frame(NamedTuple):
    """What one frame asked of GL."""
    frame: int  # its number, from 1
    tick: int  # ticks before it
    bird_calls: int  # calls of the bird list: 40, or 80 with shadows
    characters: int  # read-out characters drawn
    fog: int
    clear: Tuple[float, ...]  # clear colour at the frame's colour clear
    far: float  # far plane of the projection
    yaw: float
    pitch: float
    eye: Tuple[float, float, float]  # the camera's place: minus the view translation
    bird0: Tuple[float, float, float, float]  # x, y, z, heading
    mean: Tuple[float, float, float]  # mean place of the birds drawn

    def settings(self) -> Tuple:
        """Everything the switches decide: shadows, read-out, fog, sky, far plane."""
        return (self.bird_calls, self.characters > 0, self.fog, self.clear, self.far)


# The settings at start: shadows, the read-out, fog with its grey sky and near far plane.
START_SETTINGS = (2 * FLOCK, True, 1, FOG_GREY, FOG_FAR)


def _numbers(text: str) -> Tuple[float, ...]:
    return tuple(f32(float(v)) for v in text.split(","))


def _frame(fields: Dict[str, str], tick: int, frame: int) -> Frame:
    cam = _numbers(fields["cam"])
    return Frame(frame, tick, int(fields["birds"]), int(fields["chars"]), int(fields["fog"]),
                 _numbers(fields["clear"]), float(fields["far"]), cam[0], cam[1],
                 (-cam[2], -cam[3], -cam[4]), _numbers(fields["bird0"]),
                 _numbers(fields["mean"]))


def behind_bird0(f: Frame) -> bool:
    """The camera sits 13 units behind bird 0, level with it, looking along its heading."""
    x, y, z, heading = f.bird0
    distance = math.hypot(f.eye[0] - x, f.eye[2] - z)
    return (f.eye[1] == y and abs(distance - CAMERA_BEHIND_BIRD) < 1e-3
            and f.yaw == (540 - heading) % 360)


def follows_flock(f: Frame) -> bool:
    """The camera sits level with the flock's mean height, behind its mean place and
    looking toward it, with no pitch."""
    dx, dz = f.mean[0] - f.eye[0], f.mean[2] - f.eye[2]
    if f.pitch != 0 or abs(f.eye[1] - f.mean[1]) > 0.01:
        return False
    if math.hypot(dx, dz) < 0.5:
        return True
    look = math.radians(f.yaw)
    along = dx * math.sin(look) - dz * math.cos(look)
    return along > 0 and abs(math.degrees(math.atan2(
        dx * math.cos(look) + dz * math.sin(look), along))) < 1.5


def heading_steps(frames: Sequence[Frame]) -> List[float]:
    """Bird 0's turn, degrees a tick, between successive frames of different ticks."""
    steps = []
    for a, b in zip(frames, frames[1:]):
        if b.tick > a.tick:
            turn = (b.bird0[3] - a.bird0[3] + 180) % 360 - 180
            steps.append(turn / (b.tick - a.tick))
    return steps


class Probe:
    """The probe's two files: the counts and the event log, read as they grow."""

    def __init__(self, workdir: str) -> None:
        self.counts_path = os.path.join(workdir, "probe-counts")
        self.log_path = os.path.join(workdir, "probe-log")
        self._offset = 0
        self._events: List[Event] = []
        self._frames: List[Frame] = []
        for path in (self.counts_path, self.log_path):
            open(path, "w").close()

    def env(self) -> Dict[str, str]:
        return {"LD_PRELOAD": env_path("AVIFOLD_PROBE_LIB"),
                "AVIFOLD_PROBE": self.counts_path, "AVIFOLD_PROBE_LOG": self.log_path}

    def counts(self) -> Counts:
        """Ticks, swaps, the first swap's time and timer arms; zeros before any."""
        with open(self.counts_path) as f:
            values = dict(re.findall(r"(\w+)=(\d+)", f.read()))
        return Counts(*(int(values.get(k, 0)) for k in Counts._fields))

    def events(self, kind: Optional[str] = None) -> List[Event]:
        with open(self.log_path) as f:
            f.seek(self._offset)
            text = f.read()
        complete = text[:text.rfind("\n") + 1]
        self._offset += len(complete.encode())
        for line in complete.splitlines():
            name, _, rest = line.partition(" ")
            fields = dict(part.split("=", 1) for part in rest.split())
            event = Event(name, fields, int(fields.pop("tick")), int(fields.pop("frame")))
            self._events.append(event)
            if name == "frame":
                self._frames.append(_frame(fields, event.tick, event.frame))
        return [e for e in self._events if kind is None or e.kind == kind]

    def frames(self, after: int = 0) -> List[Frame]:
        """The recorded frames whose number is above `after`: every frame whose
        settings changed, the first after every tick and after every event."""
        self.events()
        return [f for f in self._frames if f.frame > after]


# --- The program ----------------------------------------------------------------------

def link_data(folder: str, skip: Sequence[str] = ()) -> None:
    """A data/ folder of links to the real images, without the files in skip."""
    source = env_path("AVIFOLD_DATA")
    os.makedirs(folder, exist_ok=True)
    for name in DATA_FILES:
        if name not in skip:
            os.symlink(os.path.join(source, name), os.path.join(folder, name))


class App:
    """The real program on a server, started in `cwd` (by default a scratch folder with
    data/ linked in), with the probe preloaded and its console captured to files."""

    def __init__(self, server: XServer, workdir: str, command: Optional[List[str]] = None,
                 cwd: Optional[str] = None, data: bool = True,
                 env: Optional[Dict[str, str]] = None, probe: bool = True) -> None:
        self.server = server
        self.cwd = cwd or workdir
        self.stdout_path = os.path.join(workdir, "stdout")
        self.stderr_path = os.path.join(workdir, "stderr")
        if data:
            link_data(os.path.join(self.cwd, "data"))
        full_env = dict(server.env)
        full_env.setdefault("ASAN_OPTIONS", "detect_leaks=0:verify_asan_link_order=0")
        self.probe = Probe(workdir) if probe else None
        if self.probe:
            full_env.update(self.probe.env())
        full_env.update(env or {})
        self.exec_ns = time.clock_gettime_ns(time.CLOCK_MONOTONIC)
        with open(self.stdout_path, "wb") as out, open(self.stderr_path, "wb") as err:
            self.process = subprocess.Popen(
                command or [env_path("AVIFOLD_APP")], cwd=self.cwd, env=full_env,
                stdout=out, stderr=err, stdin=subprocess.DEVNULL,
                preexec_fn=_die_with_runner)
        self.window: Optional[int] = None
        self.menu_labels = list(MAIN_MENU)
        self.menu_entry_height = MENU_ENTRY_HEIGHT
        # Under Wine a top-level X window holds the frame that Wine draws itself, and
        # the window that GL draws into is its child.
        self.framed = False
        self.frame: Optional[int] = None

    # Process ----------------------------------------------------------------------

    def alive(self) -> bool:
        return self.process.poll() is None

    def check_alive(self) -> None:
        if not self.alive():
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

    def wait_exit(self, timeout: float = START_TIMEOUT) -> int:
        return self.process.wait(timeout)

    def stop(self) -> None:
        stop_process(self.process)

    # What it does -------------------------------------------------------------------

    def wait(self, condition: Callable[[], T], what: str,
             timeout: float = EFFECT_TIMEOUT) -> T:
        """wait_for, failing at once when the program dies meanwhile."""
        def check():
            self.check_alive()
            return condition()
        return wait_for(check, what, timeout)

    def wait_for_swaps(self, more: int = 3, timeout: float = START_TIMEOUT) -> None:
        start = self.probe.counts().swaps
        self.wait(lambda: self.probe.counts().swaps >= start + more,
                  "%d more frames" % more, timeout)

    def wait_for_ticks(self, more: int) -> None:
        start = self.probe.counts().ticks
        self.wait(lambda: self.probe.counts().ticks >= start + more, "%d more ticks" % more)

    def wait_for_event(self, kind: str, after: int = 0, /, **fields: object) -> Event:
        """The first event of `kind` from frame `after` on with these field values."""
        def found():
            for e in self.probe.events(kind):
                if e.frame >= after and all(e.fields.get(k) == str(v)
                                            for k, v in fields.items()):
                    return e
            return None
        return self.wait(found, "a %s event %s" % (kind, fields))

    def frames_after(self, event: Event, count: int = 1) -> List[Frame]:
        """The first `count` recorded frames drawn after an event (the first of them
        is the very next frame)."""
        def enough():
            frames = self.probe.frames(event.frame)
            return frames[:count] if len(frames) >= count else None
        return self.wait(enough, "%d frames after %s" % (count, event.kind))

    def frames_from_tick(self, tick: int, count: int) -> List[Frame]:
        """`count` recorded frames drawn after tick `tick`."""
        def enough():
            frames = [f for f in self.probe.frames() if f.tick >= tick]
            return frames[:count] if len(frames) >= count else None
        return self.wait(enough, "%d frames from tick %d" % (count, tick))

    def last_frame(self) -> Frame:
        return self.wait(lambda: (self.probe.frames() or [None])[-1], "a frame")

    # Windows ----------------------------------------------------------------------

    def wait_for_window(self, size: Tuple[int, int] = WINDOW_SIZE,
                        exclude: Sequence[int] = ()) -> int:
        """Waits for a mapped window titled "Avifold" of this size; it becomes the
        window that input goes to."""
        def found():
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

    def choose(self, label: str, occurrence: int = 0) -> Optional[Event]:
        """Chooses the entry that now shows `label` (a View entry through its submenu;
        of two such entries, the `occurrence`th) and returns the probe's record of the
        command the program received (None for a program without the probe)."""
        after = self.probe.counts().swaps if self.probe else 0
        menu = self.open_menu()
        if label in VIEW_MENU:
            self._point(menu, 1)
            sub = self.wait(lambda: [m for m in self.server.menus() if m != menu],
                            "the View submenu")[0]
            self._point(sub, VIEW_MENU.index(label) + 1)
        else:
            entries = [i for i, shown in enumerate(self.menu_labels) if shown == label]
            self._point(menu, entries[occurrence] + 1)
        self.server.run("xdotool", "click", "1")
        event = None
        if self.probe:
            event = self.wait_for_event("menu", after, id=MENU_IDS[label])
        self._relabel(label)
        self.wait(lambda: not self.server.menus(), "the menu to close")
        return event

    def _point(self, menu: Geometry, entry: int) -> None:
        height = self.menu_entry_height
        self.server.run("xdotool", "mousemove", menu.left + menu.width // 2,
                        menu.top + MENU_BORDER + height * (entry - 1) + height // 2)

    def _relabel(self, label: str) -> None:
        if label == "Full Screen Mode":
            self.menu_labels = list(MAIN_MENU)  # the next window builds a fresh menu
        elif label[:2] in ("+ ", "- "):
            flipped = ("- " if label[0] == "+" else "+ ") + label[2:]
            self.menu_labels[self.menu_labels.index(label)] = flipped

    # Full screen --------------------------------------------------------------------

    def enter_full_screen(self) -> Optional[int]:
        """"Full Screen Mode", and waits for the full-screen surface to draw: the
        screen-sized stand-in window on Xvfb (returned), game mode on Xorg (None)."""
        windowed = self.window
        event = self.choose("Full Screen Mode")
        self.wait(lambda: self.server.geometry(windowed) is None, "the window to close")
        context = self.wait_for_event("context", event.frame)
        surface = None
        if context.fields["kind"] == "gamemode":
            self.wait(lambda: self.server.video_mode() == "640x480", "the 640x480 mode")
        else:
            surface = self.wait_for_window(SCREEN_SIZE, exclude=(windowed,))
        self.frames_after(context)
        return surface

    def leave_full_screen(self, surface: Optional[int]) -> int:
        """Escape on the full-screen surface, and waits for the new window to draw."""
        after = self.probe.counts().swaps
        # Game mode holds the keyboard: the key goes through the server to it.
        self.key("Escape", window=surface or 0)
        context = self.wait_for_event("context", after, kind="window")
        window = self.wait_for_window(WINDOW_SIZE)
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


# --- The Windows build under Wine -------------------------------------------------------

def wine_environment(server: XServer, prefix: str) -> Dict[str, str]:
    """Makes a fresh Wine prefix for the server and returns the environment that runs
    Windows programs in it: Wine's missing-DLL errors shown (with every message hidden,
    a missing DLL ends a program silently), no offer to install .NET or a browser, and
    windows that Wine frames itself, since no window manager runs (a window left to
    one stalls the main loop for seconds at each menu close)."""
    if shutil.which("wine") is None:
        raise unittest.SkipTest("Wine is not installed")
    env = dict(server.env, WINEPREFIX=prefix, WINEDEBUG="-all,err+module",
               WINEDLLOVERRIDES="mscoree,mshtml=")
    for command in (["wineboot", "-i"],
                    ["wine", "reg", "add", "HKCU\\Software\\Wine\\X11 Driver", "/v",
                     "Managed", "/d", "N", "/f"]):
        subprocess.run(command, env=env, check=True, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL,
                       timeout=START_TIMEOUT * 2)
    return env


def stop_wine(env: Dict[str, str]) -> None:
    """Ends every Windows process of the prefix, and its wineserver."""
    subprocess.run(["wineserver", "-k"], env=env, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)
    subprocess.run(["wineserver", "-w"], env=env, timeout=START_TIMEOUT)


# --- Memory ---------------------------------------------------------------------------

MEMORY_SLOPE_LIMIT_KIB = 512  # KiB a round trip: half the smallest leak worth finding


class MemoryVerdict(NamedTuple):
    slope_kib: float  # Theil-Sen slope of resident memory, KiB a round trip
    limit_kib: float
    samples_kib: List[int]

    def holds(self) -> bool:
        return self.slope_kib <= self.limit_kib


def memory_verdict(samples_kib: Sequence[int], warm_up: int,
                   limit_kib: float = MEMORY_SLOPE_LIMIT_KIB) -> MemoryVerdict:
    """The memory contract: after `warm_up` round trips resident memory does not grow.
    Judged by the median of the slopes between every pair of later samples, which a
    jump of the allocator's level by ten megabytes moves little, while a leak of one
    texture buffer a trip (a megabyte) moves every slope."""
    settled = list(samples_kib[warm_up:])
    slopes = [(settled[j] - settled[i]) / (j - i)
              for i in range(len(settled)) for j in range(i + 1, len(settled))]
    return MemoryVerdict(statistics.median(slopes), limit_kib, list(samples_kib))


# --- Scenarios ------------------------------------------------------------------------

class Session(unittest.TestCase):
    """A test case with an X server and a scratch folder of its own, both gone after."""

    def start_server(self, kind: str = "xvfb") -> XServer:
        self.workdir = tempfile.mkdtemp(prefix="avifold-e2e-")
        self.addCleanup(shutil.rmtree, self.workdir, True)
        self.server = XServer(self.workdir, kind)
        self.addCleanup(self.server.stop)
        return self.server

    def start_app(self, wait: bool = True, **options) -> App:
        """Starts the program (App's options); with wait, until its window draws."""
        app = App(self.server, self.workdir, **options)
        self.addCleanup(app.stop)
        self.addCleanup(self._report_on_failure, app)
        if wait:
            app.wait_for_window()
            app.wait_for_swaps()
        return app

    def start_wine_app(self, zip_path: str) -> App:
        """Unpacks the Windows zip and starts its avifold.exe under Wine, from the
        unpacked folder, without the probe; waits for its window. freeglut reads
        DISPLAY on Windows too, and Wine would pass the X display through: cleared,
        full-screen mode opens as it would on Windows."""
        folder = os.path.join(self.workdir, "avifold-windows")
        shutil.unpack_archive(zip_path, folder)
        env = wine_environment(self.server, os.path.join(self.workdir, "wine"))
        self.addCleanup(stop_wine, env)
        app = App(self.server, self.workdir, cwd=folder, data=False, probe=False, env=env,
                  command=["wine", "cmd", "/c", "set DISPLAY=&& avifold.exe"])
        self.addCleanup(app.stop)
        self.addCleanup(self._report_on_failure, app)
        app.framed = True
        app.menu_entry_height = WINE_MENU_ENTRY_HEIGHT
        app.wait_for_window()
        return app

    def _report_on_failure(self, app: App) -> None:
        outcome = getattr(self, "_outcome", None)
        result = getattr(outcome, "result", None)
        problems = getattr(result, "errors", []) + getattr(result, "failures", [])
        if any(test is self for test, _ in problems):
            sys.stderr.write("--- avifold stderr ---\n%s\n--- X server log ---\n%s\n"
                             % (app.stderr(), self.server.log()))


def main() -> None:
    """Runs a scenario file's test cases; when every case was skipped (its server cannot
    run here) exits with SKIPPED."""
    result = unittest.main(verbosity=2, exit=False).result
    if not result.wasSuccessful():
        sys.exit(1)
    if result.testsRun > 0 and len(result.skipped) == result.testsRun:
        sys.exit(SKIPPED)
    sys.exit(0)


def run_under_xvfb(command: List[str]) -> int:
    """Runs a command with DISPLAY set to an Xvfb of its own; returns its status."""
    with tempfile.TemporaryDirectory(prefix="avifold-xvfb-") as workdir:
        server = XServer(workdir)
        try:
            return subprocess.run(command, env=server.env).returncode
        finally:
            server.stop()


if __name__ == "__main__":
    if len(sys.argv) < 4 or sys.argv[1:3] != ["run", "--"]:
        sys.exit("usage: harness.py run -- COMMAND [ARGS...]")
    sys.exit(run_under_xvfb(sys.argv[3:]))
