"""Where the programs are, the processes the harness starts, and its deadlines."""

import ctypes
import os
import signal
import subprocess
import time
import unittest
from typing import Callable, Optional, TypeVar

T = TypeVar("T")

# Slow builds (the sanitizer build draws a frame in tens of milliseconds) only make the
# waits take longer; no verdict depends on a duration.
START_TIMEOUT = 60.0
EFFECT_TIMEOUT = 30.0
POLL_STEP = 0.05
SKIPPED = 77  # the exit status CTest reports as a skipped test


def wait_for(condition: Callable[[], T], what: str, timeout: float = EFFECT_TIMEOUT) -> T:
    """Polls condition until it returns something true, and returns that; fails with
    `what` after timeout seconds."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError("timed out after %.0f s waiting for %s" % (timeout, what))
        time.sleep(POLL_STEP)


def use_build(build: str) -> None:
    """Takes the program and the probe from a build folder, and the images from the
    source tree, where the environment does not name them already (runs by hand)."""
    root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    os.environ.setdefault("AVIFOLD_APP", os.path.join(build, "app/avifold"))
    os.environ.setdefault("AVIFOLD_PROBE_LIB",
                          os.path.join(build, "tests/probe/libavifold_probe.so"))
    os.environ.setdefault("AVIFOLD_DATA", os.path.join(root, "data"))


def env_path(name: str) -> str:
    """A path the environment names; the test is skipped where it does not (by hand,
    outside CTest)."""
    value = os.environ.get(name)
    if not value:
        raise unittest.SkipTest(name + " is not set; run the suite through CTest")
    return value


def die_with_runner() -> None:
    # In the child: the X server or program must not outlive a runner that is killed
    # (CTest's timeout kills the runner only).
    libc = ctypes.CDLL(None, use_errno=True)
    libc.prctl(1, signal.SIGKILL)  # PR_SET_PDEATHSIG
    os.setpgrp()


def stop_process(process: Optional[subprocess.Popen]) -> None:
    if process is None or process.poll() is not None:
        return
    process.terminate()
    try:
        process.wait(5.0)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()
