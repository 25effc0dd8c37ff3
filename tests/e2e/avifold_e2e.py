"""Drives the real Avifold program under its own X server, for the end-to-end tests.

A scenario starts an X server (Xvfb, or Xorg with the dummy driver where the screen can
switch video modes), starts avifold in a scratch folder with the probe preloaded, and
then works the program the way a person would: right clicks, menu picks, keys. It reads
back what a person would see, from captures of the root window, and what the probe
counts (ticks and swapped frames).

Everything here polls for the condition it waits for; the only fixed pauses are the
short steps of a poll and the time a key is held down.

The programs under test come from the environment, which CTest sets:
  AVIFOLD_APP        the avifold binary
  AVIFOLD_PROBE_LIB  the probe library (LD_PRELOAD)
  AVIFOLD_DATA       the folder holding the seven .raw images
"""

import ctypes
import os
import re
import select
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import unittest

# Slow builds (the sanitizer build draws a frame in tens of milliseconds, and starts in
# seconds) only make the polls below take longer; no assertion depends on a duration.
STARTUP_TIMEOUT = 60.0
EFFECT_TIMEOUT = 20.0
POLL_STEP = 0.05
XWD_ATTEMPTS = 20
XWD_RETRY_PAUSE = 0.1

WINDOW_TITLE = "Avifold"
WINDOW_SIZE = (640, 480)
MENU_NAME = "freeglut menu"
MENU_BORDER = 2       # pixels above the first entry of a freeglut menu
MENU_ENTRY_HEIGHT = 25

# Main menu entries, numbered as GLUT numbers them.
VIEW = 1
SEPARATOR_1 = 2
FOG = 3
SHADOWS = 4
FPS = 5
HILLS = 6
SEPARATOR_2 = 7
FULL_SCREEN = 8
# View submenu entries.
BIRD_CONTROL = 1
SMART_FOLLOW = 2

FOG_GREY = (178, 178, 178)   # clear colour 0.7 with fog on
CLEAR_BLUE = (51, 51, 255)   # clear colour (0.2, 0.2, 1.0) with fog off

DATA_FILES = ("ground512.raw", "cloud0.raw", "good1.raw", "water0.raw", "water1.raw",
              "tree0.raw", "tree1.raw")


def env_path(name):
    value = os.environ.get(name)
    if not value:
        raise unittest.SkipTest(name + " is not set; run the suite through CTest")
    return value


def wait_for(predicate, timeout=EFFECT_TIMEOUT, step=POLL_STEP, what="condition"):
    """Polls predicate until it returns something true, and returns that value."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError("timed out after %.0f s waiting for %s" % (timeout, what))
        time.sleep(step)


def _die_with_parent():
    # The X servers and the program must not outlive a test runner that is killed
    # (CTest's timeout kills the runner only).
    libc = ctypes.CDLL(None, use_errno=True)
    pr_set_pdeathsig = 1
    libc.prctl(pr_set_pdeathsig, signal.SIGKILL)
    os.setpgrp()


def stop_process(process, grace=5.0):
    if process is None or process.poll() is not None:
        return
    process.terminate()
    try:
        process.wait(grace)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()


# --- X servers -----------------------------------------------------------------------

class XServer:
    """An X server of this test alone, on a display it picked itself."""

    def __init__(self, command, workdir):
        self.log_path = os.path.join(workdir, "xserver.log")
        read_end, write_end = os.pipe()
        with open(self.log_path, "wb") as log:
            self.process = subprocess.Popen(
                command + ["-displayfd", str(write_end)], pass_fds=(write_end,),
                stdout=log, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL,
                preexec_fn=_die_with_parent)
        os.close(write_end)
        try:
            self.display = ":" + self._read_display(read_end)
        except Exception:
            self.stop()
            raise
        finally:
            os.close(read_end)
        self.env = dict(os.environ, DISPLAY=self.display)

    def _read_display(self, read_end):
        # The server writes its display number once it accepts clients.
        text = b""
        deadline = time.monotonic() + STARTUP_TIMEOUT
        while not text.endswith(b"\n"):
            if self.process.poll() is not None:
                raise RuntimeError("X server exited at start:\n" + self.log())
            if time.monotonic() > deadline:
                raise RuntimeError("X server did not report a display:\n" + self.log())
            ready, _, _ = select.select([read_end], [], [], 0.2)
            if ready:
                chunk = os.read(read_end, 64)
                if not chunk:
                    break
                text += chunk
        return text.decode().strip()

    def log(self):
        try:
            with open(self.log_path, errors="replace") as f:
                return f.read()[-4000:]
        except OSError:
            return ""

    def run(self, *args, check=True, timeout=30):
        """Runs an X client on this display and returns its stdout."""
        result = subprocess.run(list(args), env=self.env, capture_output=True, text=True,
                                timeout=timeout)
        if check and result.returncode != 0:
            raise RuntimeError("%s failed (%d): %s" % (" ".join(args), result.returncode,
                                                       result.stderr.strip()))
        return result.stdout

    def stop(self):
        stop_process(self.process)


def start_xvfb(workdir, size="1024x768x24"):
    return XServer(["Xvfb", "-noreset", "-nolisten", "tcp", "-screen", "0", size], workdir)


XORG_DUMMY_CONFIG = """\
# A server without input devices or a real screen, whose one screen can switch
# between the two modes a full-screen GLUT program asks for: the desktop's 1024x768
# and the game mode's 640x480.
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


def start_xorg_dummy(workdir):
    """Xorg with the dummy video driver, or a skipped test where it cannot run here."""
    if shutil.which("Xorg") is None:
        raise unittest.SkipTest("Xorg is not installed")
    if not os.path.exists("/usr/lib/xorg/modules/drivers/dummy_drv.so"):
        raise unittest.SkipTest("the Xorg dummy driver is not installed")
    config = os.path.join(workdir, "xorg-dummy.conf")
    with open(config, "w") as f:
        f.write(XORG_DUMMY_CONFIG)
    command = ["Xorg", "-config", config, "-noreset", "-nolisten", "tcp",
               "-logfile", os.path.join(workdir, "Xorg.log")]
    try:
        return XServer(command, workdir)
    except RuntimeError as error:
        if os.geteuid() != 0 and "rights" in str(error).lower():
            raise unittest.SkipTest("Xorg needs root rights here: " + str(error))
        raise


# --- Pictures --------------------------------------------------------------------------

class Picture:
    """An RGB picture: three bytes objects of one channel each, row by row."""

    def __init__(self, width, height, red, green, blue, valid=None):
        self.width = width
        self.height = height
        self.red = red
        self.green = green
        self.blue = blue
        # The rectangle (left, top, right, bottom) that holds real screen pixels; a
        # window at (-1, -1) has its first row and column off the screen.
        self.valid = valid or (0, 0, width, height)

    def pixel(self, x, y):
        i = y * self.width + x
        return (self.red[i], self.green[i], self.blue[i])

    def crop(self, left, top, width, height):
        """The part at (left, top); pixels that lie outside this picture are black."""
        channels = []
        for source in (self.red, self.green, self.blue):
            rows = []
            for y in range(top, top + height):
                if y < 0 or y >= self.height:
                    rows.append(bytes(width))
                    continue
                start = max(left, 0)
                end = min(left + width, self.width)
                row = b""
                if start < end:
                    row = source[y * self.width + start:y * self.width + end]
                row = bytes(start - left) + row
                rows.append(row + bytes(width - len(row)))
            channels.append(b"".join(rows))
        valid = (max(0, -left), max(0, -top), min(width, self.width - left),
                 min(height, self.height - top))
        return Picture(width, height, *channels, valid=valid)

    def pixels(self, left=0, top=0, right=None, bottom=None):
        """The (r, g, b) tuples of a rectangle, row by row, clipped to the real pixels."""
        right = self.width if right is None else right
        bottom = self.height if bottom is None else bottom
        left, top = max(left, self.valid[0]), max(top, self.valid[1])
        right, bottom = min(right, self.valid[2]), min(bottom, self.valid[3])
        for y in range(top, bottom):
            a = y * self.width + left
            b = y * self.width + right
            yield from zip(self.red[a:b], self.green[a:b], self.blue[a:b])

    def count(self, predicate, left=0, top=0, right=None, bottom=None):
        return sum(1 for p in self.pixels(left, top, right, bottom) if predicate(p))

    def fraction(self, predicate, left=0, top=0, right=None, bottom=None):
        total = 0
        hits = 0
        for p in self.pixels(left, top, right, bottom):
            total += 1
            hits += 1 if predicate(p) else 0
        return hits / total if total else 0.0

    def grey(self):
        """Luminance-like sum of the three channels (0..765), one value a pixel."""
        return [r + g + b for r, g, b in zip(self.red, self.green, self.blue)]

    def save_ppm(self, path):
        with open(path, "wb") as f:
            f.write(b"P6\n%d %d\n255\n" % (self.width, self.height))
            data = bytearray(self.width * self.height * 3)
            data[0::3] = self.red
            data[1::3] = self.green
            data[2::3] = self.blue
            f.write(bytes(data))


def parse_xwd(data):
    """The root window picture from `xwd -root` output (TrueColor, 24 or 32 bits a pixel)."""
    header = struct.unpack(">25I", data[:100])
    header_size, bits_per_pixel, bytes_per_line = header[0], header[11], header[12]
    width, height, byte_order = header[4], header[5], header[7]
    masks = header[14:17]
    ncolors = header[19]
    if bits_per_pixel not in (24, 32):
        raise RuntimeError("expected 24 or 32 bits a pixel, got %d" % bits_per_pixel)
    size = bits_per_pixel // 8
    offset = header_size + 12 * ncolors
    image = data[offset:offset + bytes_per_line * height]
    rows = [image[y * bytes_per_line:y * bytes_per_line + size * width] for y in range(height)]
    packed = b"".join(rows)
    # Which byte of a pixel holds each channel, from the masks and the byte order.
    channels = []
    for mask in masks:
        shift = (mask & -mask).bit_length() - 1
        index = shift // 8 if byte_order == 0 else size - 1 - shift // 8
        channels.append(packed[index::size])
    return Picture(width, height, *channels)


def is_colour(pixel, colour, tolerance=6):
    return all(abs(a - b) <= tolerance for a, b in zip(pixel, colour))


def is_readout_red(pixel):
    r, g, b = pixel
    return r >= 200 and g <= 70 and b <= 70


def is_shadow_grey(pixel):
    # Shadows are flat 0.2 grey (51), faded toward the fog grey with distance; the
    # landscape's textures and the birds are never this dark a neutral grey.
    r, g, b = pixel
    return r < 120 and abs(r - g) <= 3 and abs(g - b) <= 3


# --- What the picture shows ------------------------------------------------------------
# Measures of a 640 x 480 window picture that tell the program's states apart. With the
# camera level (it never pitches or rolls), eye level is the middle row, 240.

def sky_share(picture, colour):
    """Share of the upper left of the picture (above eye level, clear of the frame-rate
    read-out) that shows the clear colour; birds crossing it only lower the share."""
    return picture.fraction(lambda p: is_colour(p, colour), 0, 0, 320, 200)


def readout_pixels(picture):
    """Red read-out pixels in the upper right quarter."""
    return picture.count(is_readout_red, picture.width // 2, 0, picture.width,
                         picture.height // 2)


def shadow_pixels(picture):
    return picture.count(is_shadow_grey)


def centre_sky_share(picture):
    """Share of a small box just above the middle that shows the fog grey. In "Bird
    Control" the camera sits 13 units behind bird 0, level with it, so the bird's body
    always fills this box; in "Smart Follow" the box looks past the flock into the sky."""
    return picture.fraction(lambda p: is_colour(p, FOG_GREY, 4), 300, 215, 340, 245)


def fog_silhouette(picture, step=2):
    """For every other column, the row where the landscape meets the fog-grey sky,
    found by climbing from the bottom row to the first fog-grey pixel."""
    width = picture.width
    grey = FOG_GREY[0]
    rows = []
    for x in range(max(1, picture.valid[0]), width, step):
        columns = (picture.red[x::width], picture.green[x::width], picture.blue[x::width])
        top = -1
        for y in range(picture.height - 1, picture.valid[1] - 1, -1):
            if (abs(columns[0][y] - grey) <= 3 and abs(columns[1][y] - grey) <= 3
                    and abs(columns[2][y] - grey) <= 3):
                top = y
                break
        rows.append(top)
    return rows


def silhouette_straightness(picture):
    """Share of columns whose fog silhouette lies within 3 rows of one straight line.

    With fog on, the ground fades completely into the sky grey 300 units away. Flat
    ground (at the water's height) meets that distance along one straight line across
    the picture (level, or sloped where the view crosses the land's edge), so nearly
    every column lies on it; hills poke through the fog at many different rows. Birds
    in front of the line spoil only the columns they cover. The line is a Theil-Sen fit:
    the median of slopes between columns a fixed distance apart, then the median offset.
    """
    rows = fog_silhouette(picture)
    gap = len(rows) // 10
    slopes = sorted((rows[i + gap] - rows[i]) / gap for i in range(len(rows) - gap))
    slope = slopes[len(slopes) // 2]
    offsets = sorted(r - slope * i for i, r in enumerate(rows))
    offset = offsets[len(offsets) // 2]
    near = sum(1 for i, r in enumerate(rows) if abs(r - (offset + slope * i)) <= 3)
    return near / len(rows)


def horizontal_shift(before, after, top=300, bottom=470, largest=320):
    """The horizontal shift (pixels, positive to the right) that best carries the
    ground band of one picture onto the next.

    Turning the camera about the vertical axis slides the whole picture sideways by the
    same amount whatever the depth, while flying forward only spreads it from the
    middle, which favours neither side. The best shift minimises the mean absolute
    difference of brightness over sampled rows of the ground band."""
    a = before.grey()
    b = after.grey()
    width = before.width
    margin = 8
    best = None
    for shift in range(-largest, largest + 1, 4):
        total = 0
        n = 0
        for y in range(top, bottom, 10):
            row_a = a[y * width:(y + 1) * width]
            row_b = b[y * width:(y + 1) * width]
            if shift >= 0:
                xa = row_a[margin:width - shift - margin:3]
                xb = row_b[margin + shift:width - margin:3]
            else:
                xa = row_a[margin - shift:width - margin:3]
                xb = row_b[margin:width + shift - margin:3]
            total += sum(abs(p - q) for p, q in zip(xa, xb))
            n += len(xa)
        cost = total / n
        if best is None or cost < best[0]:
            best = (cost, shift)
    return best[1]


# --- The program ----------------------------------------------------------------------

class Avifold:
    """The real program in a scratch folder, with the probe preloaded."""

    def __init__(self, server, workdir, data="link", extra_env=None):
        self.server = server
        self.workdir = workdir
        self.probe_path = os.path.join(workdir, "probe.txt")
        self.stdout_path = os.path.join(workdir, "stdout.txt")
        self.stderr_path = os.path.join(workdir, "stderr.txt")
        if data == "link":
            link_data(os.path.join(workdir, "data"))
        env = dict(server.env)
        env["LD_PRELOAD"] = env_path("AVIFOLD_PROBE_LIB")
        env["AVIFOLD_PROBE"] = self.probe_path
        env.setdefault("ASAN_OPTIONS", "detect_leaks=0:verify_asan_link_order=0")
        if extra_env:
            env.update(extra_env)
        with open(self.stdout_path, "wb") as out, open(self.stderr_path, "wb") as err:
            self.process = subprocess.Popen(
                [env_path("AVIFOLD_APP")], cwd=workdir, env=env, stdout=out, stderr=err,
                stdin=subprocess.DEVNULL, preexec_fn=_die_with_parent)
        self.window = None

    # Process ----------------------------------------------------------------------

    def alive(self):
        return self.process.poll() is None

    def assert_alive(self, test):
        test.assertTrue(self.alive(), "avifold exited with %s; stderr:\n%s"
                        % (self.process.poll(), self.stderr()))

    def stdout(self):
        with open(self.stdout_path, "rb") as f:
            return f.read()

    def stderr(self):
        with open(self.stderr_path, "rb") as f:
            return f.read().decode(errors="replace")[-4000:]

    def rss_kib(self):
        with open("/proc/%d/status" % self.process.pid) as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
        raise RuntimeError("no VmRSS")

    def stop(self):
        stop_process(self.process)

    # Probe ------------------------------------------------------------------------

    def counts(self):
        """The probe's counts: ticks, swaps, first_swap_ns, timer_arms (zeros before any)."""
        try:
            with open(self.probe_path) as f:
                line = f.read()
        except OSError:
            line = ""
        values = dict(re.findall(r"(\w+)=(\d+)", line))
        return {k: int(values.get(k, 0)) for k in ("ticks", "swaps", "first_swap_ns",
                                                   "timer_arms")}

    def wait_for_swaps(self, more=3, timeout=STARTUP_TIMEOUT):
        """Waits until the program has swapped `more` frames beyond the current count."""
        start = self.counts()["swaps"]
        wait_for(lambda: self.counts()["swaps"] >= start + more or self._died(), timeout,
                 what="%d more frames" % more)
        if not self.alive():
            raise AssertionError("avifold exited: %s" % self.stderr())

    def _died(self):
        return not self.alive()

    def tick_rate(self, seconds=2.0):
        """Ticks and timer arms per second over a stretch of `seconds`."""
        before = self.counts()
        start = time.monotonic()
        time.sleep(seconds)
        after = self.counts()
        elapsed = time.monotonic() - start
        return ((after["ticks"] - before["ticks"]) / elapsed,
                (after["timer_arms"] - before["timer_arms"]) / elapsed)

    # Windows ----------------------------------------------------------------------

    def find_windows(self, name, visible=True):
        args = ["xdotool", "search"]
        if visible:
            args.append("--onlyvisible")
        args += ["--name", "^%s$" % re.escape(name)]
        out = self.server.run(*args, check=False)
        return [int(w) for w in out.split()]

    def geometry(self, window):
        """(left, top, width, height) of a window on the root, or None if it is gone."""
        result = subprocess.run(["xwininfo", "-id", str(window)], env=self.server.env,
                                capture_output=True, text=True)
        if result.returncode != 0:
            return None
        fields = dict(re.findall(r"^\s*([A-Za-z -]+):\s+(-?\d+)\s*$", result.stdout, re.M))
        return (int(fields["Absolute upper-left X"]), int(fields["Absolute upper-left Y"]),
                int(fields["Width"]), int(fields["Height"]))

    def wait_for_window(self, size=None, exclude=(), timeout=STARTUP_TIMEOUT):
        """Waits for a mapped top-level window titled "Avifold" (of `size`, if given)."""
        def found():
            if not self.alive():
                raise AssertionError("avifold exited: %s" % self.stderr())
            for w in self.find_windows(WINDOW_TITLE):
                if w in exclude:
                    continue
                g = self.geometry(w)
                if g is not None and (size is None or g[2:] == tuple(size)):
                    return w
            return None
        self.window = wait_for(found, timeout, what="the Avifold window")
        return self.window

    def top_level_windows(self):
        """The children of the root window (mapped or not), as "id name" lines."""
        out = self.server.run("xwininfo", "-root", "-children")
        return re.findall(r"^\s+(0x[0-9a-f]+ .*?):", out, re.M)

    # Pictures ---------------------------------------------------------------------

    def xwd(self, *target):
        """A picture read with xwd. On a screen with several visuals xwd walks the
        window tree, and fails when a window it met goes away before it asks about it
        (an old surface being destroyed, a menu closing); read again a moment later."""
        for _ in range(XWD_ATTEMPTS):
            result = subprocess.run(["xwd", "-silent", *target], env=self.server.env,
                                    capture_output=True)
            if result.returncode == 0:
                return parse_xwd(result.stdout)
            sys.stderr.write("xwd %s failed, reading again: %s\n"
                             % (" ".join(target), result.stderr.decode(errors="replace")))
            time.sleep(XWD_RETRY_PAUSE)
        raise AssertionError("xwd could not read %s %d times: %s"
                             % (" ".join(target), XWD_ATTEMPTS,
                                result.stderr.decode(errors="replace")))

    def screen(self):
        return self.xwd("-root")

    def picture(self, window=None):
        """What the window shows, cut from the root window at its place."""
        window = window or self.window
        left, top, width, height = self.geometry(window)
        return self.screen().crop(left, top, width, height)

    def quick_picture(self, window=None):
        """What the window shows, read from the window itself: a third of the root's
        bytes, for series of pictures taken in quick succession. Nothing may cover the
        window (no menu open)."""
        return self.xwd("-id", str(window or self.window))

    def wait_for_picture(self, predicate, what, timeout=EFFECT_TIMEOUT):
        """Polls pictures of the window until one satisfies predicate; returns it."""
        def check():
            self.assert_running()
            picture = self.picture()
            return picture if predicate(picture) else None
        return wait_for(check, timeout, step=0.1, what=what)

    def assert_running(self):
        if not self.alive():
            raise AssertionError("avifold exited with %s: %s" % (self.process.poll(),
                                                                 self.stderr()))

    # Input ------------------------------------------------------------------------

    def root_point(self, x, y, window=None):
        left, top, _, _ = self.geometry(window or self.window)
        return left + x, top + y

    def visible_menus(self):
        menus = []
        for w in self.find_windows(MENU_NAME):
            g = self.geometry(w)
            if g is not None:
                menus.append((w, g))
        return menus

    def open_menu(self, x=200, y=150):
        """Right-clicks at window point (x, y); returns the main menu's root geometry."""
        rx, ry = self.root_point(x, y)
        self.server.run("xdotool", "mousemove", str(rx), str(ry), "click", "3")
        menus = wait_for(self.visible_menus, what="the context menu")
        return menus[0][1]

    @staticmethod
    def entry_point(menu, entry):
        left, top, width, _ = menu
        return (left + width // 2,
                top + MENU_BORDER + MENU_ENTRY_HEIGHT * (entry - 1) + MENU_ENTRY_HEIGHT // 2)

    def choose(self, entry, view_entry=None):
        """Picks a main menu entry, or with view_entry an entry of the View submenu."""
        menu = self.open_menu()
        x, y = self.entry_point(menu, entry)
        self.server.run("xdotool", "mousemove", str(x), str(y))
        if view_entry is not None:
            # The submenu opens beside its entry while the pointer rests on it.
            def submenu():
                others = [g for _, g in self.visible_menus() if g != menu]
                return others[0] if others else None
            sub = wait_for(submenu, what="the View submenu")
            x, y = self.entry_point(sub, view_entry)
            self.server.run("xdotool", "mousemove", str(x), str(y))
        self.server.run("xdotool", "click", "1")
        wait_for(lambda: not self.visible_menus(), what="the menu to close")

    def focus(self, window=None):
        self.server.run("xdotool", "windowfocus", "--sync", str(window or self.window))

    def key(self, *keys, window=None):
        """Presses and releases keys, sent to the window."""
        self.server.run("xdotool", "key", "--window", str(window or self.window), *keys)


def link_data(folder, skip=()):
    """A data/ folder of links to the real images, without the files in skip."""
    source = env_path("AVIFOLD_DATA")
    os.makedirs(folder, exist_ok=True)
    for name in DATA_FILES:
        if name not in skip:
            os.symlink(os.path.join(source, name), os.path.join(folder, name))


class Session(unittest.TestCase):
    """A test case with an X server and a scratch folder of its own, stopped afterwards."""

    def start_server(self, kind="xvfb"):
        self.workdir = tempfile.mkdtemp(prefix="avifold-e2e-")
        self.addCleanup(self._remove_workdir)
        if kind == "xorg":
            self.server = start_xorg_dummy(self.workdir)
        else:
            self.server = start_xvfb(self.workdir)
        self.addCleanup(self.server.stop)
        return self.server

    def start_app(self, data="link", extra_env=None, wait=True):
        app = Avifold(self.server, self.workdir, data=data, extra_env=extra_env)
        self.addCleanup(app.stop)
        self.addCleanup(self._report_on_failure, app)
        if wait:
            app.wait_for_window(WINDOW_SIZE)
            app.wait_for_swaps()
        return app

    def _report_on_failure(self, app):
        # unittest runs cleanups after the outcome is known; print the program's
        # stderr when something went wrong, for the CTest log.
        outcome = getattr(self, "_outcome", None)
        errors = getattr(getattr(outcome, "result", None), "errors", []) + \
            getattr(getattr(outcome, "result", None), "failures", [])
        if any(test is self for test, _ in errors):
            sys.stderr.write("--- avifold stderr ---\n%s\n" % app.stderr())

    def _remove_workdir(self):
        shutil.rmtree(self.workdir, ignore_errors=True)


SKIPPED = 77  # the exit status CTest reports as a skipped test


def main():
    """Runs the scenario's test cases; a scenario whose every case was skipped (its
    server cannot run here) exits with SKIPPED."""
    program = unittest.main(verbosity=2, exit=False)
    result = program.result
    if not result.wasSuccessful():
        sys.exit(1)
    if result.testsRun > 0 and len(result.skipped) == result.testsRun:
        sys.exit(SKIPPED)
    sys.exit(0)
