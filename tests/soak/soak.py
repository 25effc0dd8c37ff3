#!/usr/bin/env python3
"""Soak: the real avifold under its own Xvfb for a while with random input.

For N minutes (default 10) it holds and releases random arrow keys, picks random entries
of the context menu (the View submenu, the separators, the four toggles, and now and
then "Full Screen Mode", left again with Escape) and resizes the window. It fails as
soon as the program dies or a command goes unanswered, and at the end unless the
program still ticks and draws, and ticked between every two checkpoints. Every
CHECKPOINT_SECONDS it brings the program to one state (a 640 x 480 window, no menu open)
and samples its resident memory; a run long enough for MEMORY_SAMPLES of them is also
held to the memory contract (the harness's memory_verdict).

The input is random from --seed (printed), so a failing run replays with the same
actions. By hand, from the repository root, with the program of build/:
  PYTHONPATH=tests python3 tests/soak/soak.py --minutes 10
"""

import argparse
import os
import random
import sys
import time

import harness as h

DEFAULT_SEED = 20261207
ARROWS = ("Left", "Up", "Right", "Down")
TOGGLE_ENTRIES = range(2, 7)  # the separator and the four toggles after View
SMALLEST_WINDOW = 8  # pixels each way, so that a right click still lands inside
CHECKPOINT_SECONDS = 10.0
WARM_UP_CHECKPOINTS = 5
MEMORY_SAMPLES = 20  # checkpoints a run needs before its memory is judged
ACTIONS = {"arrow": 30, "toggle": 30, "view": 10, "resize": 12, "full_screen": 5,
           "idle": 8}


class Soak:
    def __init__(self, app: h.App, seed: int) -> None:
        self.app = app
        self.rng = random.Random(seed)
        self.held = set()
        self.done = {name: 0 for name in ACTIONS}

    def arrow(self) -> None:
        key = self.rng.choice(ARROWS)
        self.app.hold(key, key not in self.held)
        self.held ^= {key}

    def toggle(self) -> None:
        self.app.choose(self.app.menu_labels[self.rng.choice(TOGGLE_ENTRIES) - 1])

    def view(self) -> None:
        self.app.choose(self.rng.choice(h.VIEW_MENU))

    def resize(self) -> None:
        size = [self.rng.choice((self.rng.randrange(SMALLEST_WINDOW, 64),
                                 self.rng.randrange(64, limit))) for limit in h.SCREEN_SIZE]
        self.app.server.run("xdotool", "windowsize", self.app.window, *size)

    def full_screen(self) -> None:
        surface = self.app.enter_full_screen()
        time.sleep(self.rng.uniform(0.2, 2.0))
        self.app.leave_full_screen(surface)

    def act(self) -> None:
        name = self.rng.choices(list(ACTIONS), list(ACTIONS.values()))[0]
        self.done[name] += 1
        if name != "idle":
            getattr(self, name)()
        time.sleep(self.rng.uniform(0.02, 0.4))
        self.app.check_alive()

    def checkpoint(self) -> int:
        """Resident memory (KiB) at 640 x 480 with frames drawn at that size."""
        if self.app.server.geometry(self.app.window)[2:] != h.WINDOW_SIZE:
            after = self.app.probe.counts().swaps
            self.app.server.run("xdotool", "windowsize", self.app.window, *h.WINDOW_SIZE)
            self.app.wait_for_event("reshape", after, w=h.WINDOW_SIZE[0], h=h.WINDOW_SIZE[1])
        self.app.wait_for_swaps(10)
        return self.app.rss_kib()

    def run(self, minutes: float) -> list:
        end = time.monotonic() + minutes * 60
        samples, ticks = [], self.app.probe.counts().ticks
        next_checkpoint = time.monotonic() + CHECKPOINT_SECONDS
        while time.monotonic() < end:
            self.act()
            if time.monotonic() >= next_checkpoint:
                samples.append(self.checkpoint())
                now_ticks = self.app.probe.counts().ticks
                if now_ticks <= ticks:
                    raise AssertionError("the ticks stopped at %d" % now_ticks)
                ticks, next_checkpoint = now_ticks, time.monotonic() + CHECKPOINT_SECONDS
        for key in sorted(self.held):
            self.app.hold(key, False)
        self.app.wait_for_ticks(10)
        self.app.wait_for_swaps(10)
        return samples


class SoakTest(h.Session):
    minutes = 10.0
    seed = DEFAULT_SEED

    def test_random_use_keeps_it_ticking_drawing_and_level(self):
        print("soak: %.1f min, seed %d" % (self.minutes, self.seed), flush=True)
        self.start_server()
        app = self.start_app(small_quarantine=True)
        soak = Soak(app, self.seed)
        samples = soak.run(self.minutes)
        counts = app.probe.counts()
        print("actions %s; ticks %d, frames %d; VmRSS at checkpoints (KiB): %s"
              % (soak.done, counts.ticks, counts.swaps, samples), flush=True)
        verdict = h.one_chain(app.probe.tick_times())
        self.assertTrue(verdict.holds(), verdict)
        if len(samples) >= MEMORY_SAMPLES:
            verdict = h.memory_verdict(samples, WARM_UP_CHECKPOINTS)
            print(verdict)
            self.assertTrue(verdict.holds(), verdict)


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--minutes", type=float, default=SoakTest.minutes)
    parser.add_argument("--seed", type=int, default=DEFAULT_SEED)
    parser.add_argument("--build", default="build", help="where avifold was built")
    args, rest = parser.parse_known_args()
    SoakTest.minutes, SoakTest.seed = args.minutes, args.seed
    h.use_build(os.path.abspath(args.build))
    sys.argv[1:] = rest
    h.main()


if __name__ == "__main__":
    main()
