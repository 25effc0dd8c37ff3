"""X servers of the harness's own (Xvfb, or Xorg with the dummy driver where game mode
must switch the screen), and the X clients that ask them about windows and pixels."""

import ctypes
import os
import re
import select
import shutil
import subprocess
import tempfile
import time
import unittest
from typing import List, NamedTuple, Optional

from .facts import MENU_WINDOW, SCREEN_SIZE
from .pictures import Geometry, Picture, parse_xwd
from .processes import START_TIMEOUT, die_with_runner, stop_process, wait_for

# Xlib's values for a grab from the harness's own connection.
GRAB_MODE_ASYNC = 1
CURRENT_TIME = 0
GRAB_SUCCESS = 0


class Grabs(NamedTuple):
    keyboard: bool  # some client holds the keyboard
    pointer: bool  # some client holds the pointer


XORG_DUMMY_CONFIG = """\
# No input devices and no real screen (the first Screen is the layout); the one screen
# switches between the desktop's 1024x768 and the game mode's 640x480.
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
"""


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
                stdin=subprocess.DEVNULL, preexec_fn=die_with_runner)
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

    def run(self, *args: str, check: bool = True) -> str:
        """Runs an X client on this display and returns its standard output."""
        result = subprocess.run([str(a) for a in args], env=self.env, capture_output=True,
                                text=True, timeout=30)
        if check and result.returncode != 0:
            raise RuntimeError("%s failed (%d): %s" % (" ".join(map(str, args)),
                                                       result.returncode,
                                                       result.stderr.strip()))
        return result.stdout

    def windows(self, name: str) -> List[int]:
        """Mapped windows titled exactly so: xdotool's search ignores case."""
        out = self.run("xdotool", "search", "--onlyvisible", "--name",
                       "^%s$" % re.escape(name), check=False)
        return [int(w) for w in out.split()
                if self.run("xdotool", "getwindowname", w, check=False) == name + "\n"]

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

    def input_grabbed(self) -> "Grabs":
        """Whether some client holds the keyboard or the pointer: tries to grab each on
        the root window from a connection of its own, which closing lets go again."""
        x11 = ctypes.CDLL("libX11.so.6")
        x11.XOpenDisplay.restype = ctypes.c_void_p
        x11.XDefaultRootWindow.restype = ctypes.c_ulong
        display = ctypes.c_void_p(x11.XOpenDisplay(self.display.encode()))
        if not display:
            raise RuntimeError("cannot open display " + self.display)
        root = ctypes.c_ulong(x11.XDefaultRootWindow(display))
        keyboard = x11.XGrabKeyboard(display, root, 0, GRAB_MODE_ASYNC, GRAB_MODE_ASYNC,
                                     CURRENT_TIME)
        pointer = x11.XGrabPointer(display, root, 0, 0, GRAB_MODE_ASYNC, GRAB_MODE_ASYNC,
                                   0, 0, CURRENT_TIME)
        x11.XCloseDisplay(display)
        return Grabs(keyboard != GRAB_SUCCESS, pointer != GRAB_SUCCESS)

    def capture(self, *target: str) -> Picture:
        """A picture read with xwd (default: the whole screen). On a screen with several
        visuals xwd walks the window tree and exits 1 when a window it met is destroyed
        before it asks about it (an old surface, a closing menu; BadDrawable when the
        window goes while xwd reads its pixels, as Wine's GL windows do): that race,
        and only that, reads again."""
        target = target or ("-root",)

        def read() -> Optional[Picture]:
            result = subprocess.run(["xwd", "-silent", *target], env=self.env,
                                    capture_output=True)
            error = result.stderr.decode(errors="replace")
            if result.returncode != 0 and "BadWindow" not in error and "BadDrawable" not in error:
                raise AssertionError("xwd %s failed: %s" % (" ".join(target), error))
            return parse_xwd(result.stdout) if result.returncode == 0 else None
        return wait_for(read, "xwd %s to read the screen" % " ".join(target))

    def stop(self) -> None:
        stop_process(self.process)


def run_under_xvfb(command: List[str]) -> int:
    """Runs a command with DISPLAY set to an Xvfb of its own; returns its status."""
    with tempfile.TemporaryDirectory(prefix="avifold-xvfb-") as workdir:
        server = XServer(workdir)
        try:
            return subprocess.run(command, env=server.env).returncode
        finally:
            server.stop()
