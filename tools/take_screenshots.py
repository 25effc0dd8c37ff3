#!/usr/bin/env python3
"""Takes the README's pictures from the real program under an X server of its own:
  docs/flock.gif          a few seconds of the flock in "Smart Follow", looping
  docs/bird-control.png   "Bird Control" with fog, shortly after start
  docs/smart-follow.png   "Smart Follow" without fog: the flock, its shadows, the trees
Every picture waits for the simulation to reach a tick count, never for a fixed time,
and the animation's frames keep the pace of the ticks they show.
Usage: python3 tools/take_screenshots.py [BUILD_DIR]   (default: build)
Needs Xvfb, xdotool, xwd (x11-apps) and ImageMagick (tools/install_deps.sh).
"""

import os
import subprocess
import sys
import tempfile

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
sys.path.insert(0, os.path.join(ROOT, "tests"))
sys.dont_write_bytecode = True
import harness as h  # noqa: E402

TICK_CENTISECONDS = 3.3
START_TICKS = 90  # about three seconds of flight before the first picture
SETTLE_TICKS = 150  # after a view change, for the flock to spread out in front
ANIMATION_FRAMES = 48
TICKS_PER_FRAME = 2  # about 15 pictures a second
ANIMATION_SIZE = "320x240"


def shoot(app, path):
    picture = app.picture()
    ppm = path + ".ppm"
    picture.save_ppm(ppm)
    subprocess.run(["/usr/bin/convert", ppm, path], check=True)
    os.remove(ppm)
    print("wrote", os.path.relpath(path, ROOT))


def record(app, workdir, path):
    """Pictures of the window one after another, each shown as long as the ticks that
    passed until the next one."""
    shots = []
    for n in range(ANIMATION_FRAMES):
        ticks = app.probe.counts().ticks
        app.wait(lambda: app.probe.counts().ticks >= ticks + TICKS_PER_FRAME, "the ticks")
        ppm = os.path.join(workdir, "frame%03d.ppm" % n)
        app.server.capture("-id", str(app.window)).save_ppm(ppm)
        shots.append((app.probe.counts().ticks, ppm))
    command = ["/usr/bin/convert", "-loop", "0"]
    for (ticks, ppm), (next_ticks, _) in zip(shots, shots[1:] + shots[-1:]):
        delay = max(1, round((next_ticks - ticks) * TICK_CENTISECONDS))
        command += ["-delay", str(delay), ppm]
    command += ["-resize", ANIMATION_SIZE, "-colors", "96", "-layers", "Optimize", path]
    subprocess.run(command, check=True)
    print("wrote %s (%d bytes)" % (os.path.relpath(path, ROOT), os.path.getsize(path)))


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build"))
    h.use_build(build)
    docs = os.path.join(ROOT, "docs")
    with tempfile.TemporaryDirectory(prefix="avifold-shots-") as workdir:
        server = h.XServer(workdir)
        app = h.App(server, workdir)
        try:
            app.wait_for_window()
            # Without a window manager the window sits at (-1, -1), one row and column
            # off the screen.
            server.run("xdotool", "windowmove", app.window, "0", "0")
            app.wait(lambda: server.geometry(app.window)[:2] == (0, 0), "the window moved")
            app.wait(lambda: app.probe.counts().ticks >= START_TICKS, "the first ticks")
            shoot(app, os.path.join(docs, "bird-control.png"))
            app.choose("Smart Follow")
            app.choose("+ Fog")
            ticks = app.probe.counts().ticks
            app.wait(lambda: app.probe.counts().ticks >= ticks + SETTLE_TICKS, "the flock")
            shoot(app, os.path.join(docs, "smart-follow.png"))
            record(app, workdir, os.path.join(docs, "flock.gif"))
        finally:
            app.stop()
            server.stop()


if __name__ == "__main__":
    main()
