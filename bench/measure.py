#!/usr/bin/env python3
"""Runs every Avifold benchmark and prints one table: each figure, the target it is
compared with, and how it was measured. It reports; it never fails on a slow figure.

Run through bench/run.sh, which builds what this needs in build-bench (Release):
  - Google Benchmark medians of World::step, Terrain::regenerate and Texture::readPixels;
  - start-up, frame rate and tick rate of avifold and of bench/bare_loop under their own
    Xvfb, counted from outside by the probe (tests/probe/probe.cpp);
  - avifold's peak memory, and its resident memory over forty full-screen round trips
    judged by the memory contract (the harness's memory_verdict).
"""

import argparse
import json
import os
import statistics
import subprocess
import sys
import tempfile
import time

import harness as h  # tests/harness/, on PYTHONPATH (bench/run.sh sets it)

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))

TICK_MS = 33  # avifold's and the bare loop's timer
TICK_TARGET = 0.95 * 1000.0 / TICK_MS  # ticks/s: 95% of one tick per 33 ms
FPS_TARGET = 150.0  # frames/s at 640 x 480
START_UP_MARGIN_MS = 100.0  # over the bare loop's start-up
STEP_TARGET_US = 10.0  # World::step
WARM_UP_S = 2.0
RATE_WINDOW_S = 10.0
ROUND_TRIPS = 40
WARM_UP_TRIPS = 5


def load_average():
    with open("/proc/loadavg") as f:
        return " ".join(f.read().split()[:3])


def google_benchmark_medians(binary, repetitions):
    """{benchmark name: (median real time, median CPU time) in ns} from one run of a
    benchmark binary. On a shared machine the real time includes waits for a CPU."""
    output = subprocess.run(
        [binary, "--benchmark_repetitions=%d" % repetitions,
         "--benchmark_report_aggregates_only=true", "--benchmark_format=json"],
        check=True, capture_output=True, text=True).stdout
    to_ns = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}
    medians = {}
    for entry in json.loads(output)["benchmarks"]:
        if entry.get("aggregate_name") == "median":
            unit = to_ns[entry["time_unit"]]
            medians[entry["run_name"]] = (entry["real_time"] * unit, entry["cpu_time"] * unit)
    return medians


class Session:
    """One Xvfb for all the X measurements, and the programs started on it."""

    def __init__(self, workdir):
        self.workdir = workdir
        self.server = h.XServer(workdir)
        self.runs = 0

    def start(self, binary):
        self.runs += 1
        rundir = os.path.join(self.workdir, "run%d" % self.runs)
        os.mkdir(rundir)
        return h.App(self.server, rundir, command=[binary], cwd=ROOT, data=False)

    @staticmethod
    def first_swap(app):
        return app.wait(lambda: app.probe.counts().first_swap_ns, "the first frame",
                        h.START_TIMEOUT)

    def start_up_ms(self, binary):
        app = self.start(binary)
        try:
            return (self.first_swap(app) - app.exec_ns) / 1e6
        finally:
            app.stop()

    @staticmethod
    def next_tick(app):
        """Waits for the probe's next tick; returns (time, ticks, swaps) at it, so that
        both ends of a rate window sit on a tick."""
        ticks = app.probe.counts().ticks
        while True:
            now = time.monotonic()
            counts = app.probe.counts()
            if counts.ticks != ticks:
                return now, counts.ticks, counts.swaps
            time.sleep(0.0005)

    def rates(self, binary):
        """(frames/s, ticks/s) over RATE_WINDOW_S after WARM_UP_S."""
        app = self.start(binary)
        try:
            self.first_swap(app)
            time.sleep(WARM_UP_S)
            t0, ticks0, swaps0 = self.next_tick(app)
            time.sleep(RATE_WINDOW_S)
            t1, ticks1, swaps1 = self.next_tick(app)
            app.check_alive()
            seconds = t1 - t0
            return (swaps1 - swaps0) / seconds, (ticks1 - ticks0) / seconds
        finally:
            app.stop()

    def memory(self, binary):
        """avifold's VmHWM (MB) after its first frames and after ROUND_TRIPS trips to
        full screen and back, and the memory contract's verdict over the trips."""
        app = self.start(binary)
        try:
            app.wait_for_window()
            self.first_swap(app)
            time.sleep(WARM_UP_S)
            peak_at_start = self.peak_mb(app)
            samples = [app.round_trip() for _ in range(ROUND_TRIPS)]
            return peak_at_start, self.peak_mb(app), h.memory_verdict(samples, WARM_UP_TRIPS)
        finally:
            app.stop()

    @staticmethod
    def peak_mb(app):
        with open("/proc/%d/status" % app.process.pid) as f:
            for line in f:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1]) / 1024
        raise RuntimeError("no VmHWM")

    def close(self):
        self.server.stop()


def verdict(met):
    return "met" if met else "MISSED"


def print_table(rows):
    header = ("Measure", "Figure", "Target", "", "How it was measured")
    widths = [max(len(str(row[i])) for row in [header] + rows) for i in range(len(header))]

    def line(cells):
        return "| " + " | ".join(str(c).ljust(w) for c, w in zip(cells, widths)) + " |"

    print(line(header))
    print("|" + "|".join("-" * (w + 2) for w in widths) + "|")
    for row in rows:
        print(line(row))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=os.path.join(ROOT, "build-bench"))
    parser.add_argument("--repetitions", type=int, default=10,
                        help="Google Benchmark repetitions")
    parser.add_argument("--start-ups", type=int, default=7, help="start-ups per program")
    parser.add_argument("--rate-runs", type=int, default=3, help="rate windows per program")
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    avifold = os.path.join(build, "app/avifold")
    bare = os.path.join(build, "bench/bare_loop")
    h.use_build(build)

    load_before = load_average()
    print("measuring (load average %s) ..." % load_before, file=sys.stderr, flush=True)
    core = google_benchmark_medians(os.path.join(build, "bench/core_bench"), args.repetitions)
    texture = google_benchmark_medians(os.path.join(build, "bench/texture_bench"),
                                       args.repetitions)

    with tempfile.TemporaryDirectory(prefix="avifold_bench_") as workdir:
        session = Session(workdir)
        try:
            start_ups = {avifold: [], bare: []}
            for _ in range(args.start_ups):
                for binary in (avifold, bare):  # alternating, so load drifts hit both
                    start_ups[binary].append(session.start_up_ms(binary))
            rates = {avifold: [], bare: []}
            for _ in range(args.rate_runs):
                for binary in (avifold, bare):
                    rates[binary].append(session.rates(binary))
            peak_start, peak_after, memory = session.memory(avifold)
        except (AssertionError, RuntimeError) as failure:
            print("benchmark run failed: %s" % failure, file=sys.stderr)
            return 1
        finally:
            session.close()
    load_after = load_average()

    # On a shared machine the real time counts waits for a CPU; the target is the
    # step's own cost, so the verdict reads the CPU time.
    step_us = core["worldStep"][1] / 1e3
    gb = "Google Benchmark, median of %d repetitions (real time; CPU time)" % args.repetitions

    def timed(figures, scale, unit):
        return "%.2f %s (%.2f)" % (figures[0] / scale, unit, figures[1] / scale)

    startup = {b: statistics.median(v) for b, v in start_ups.items()}
    fps = {b: statistics.median(r[0] for r in v) for b, v in rates.items()}
    tps = {b: statistics.median(r[1] for r in v) for b, v in rates.items()}
    xvfb = "Xvfb 1024x768x24, Mesa llvmpipe, probe"
    trips = ("menu Full Screen Mode, then Escape, x%d; full screen is a 1024x768 window, "
             "Xvfb cannot switch to 640x480" % ROUND_TRIPS)
    rate_how = ("%s: counts over %.0f s after %.0f s warm-up, median of %d runs" %
                (xvfb, RATE_WINDOW_S, WARM_UP_S, args.rate_runs))
    rows = [
        ("World::step, 40 birds", timed(core["worldStep"], 1e3, "us"),
         "< %.0f us" % STEP_TARGET_US, verdict(step_us < STEP_TARGET_US),
         gb + "; verdict on CPU time"),
        ("Terrain::regenerate, hills", timed(core["terrainRegenerate/flat:0"], 1e3, "us"),
         "-", "", gb),
        ("Terrain::regenerate, flat", timed(core["terrainRegenerate/flat:1"], 1e3, "us"), "-", "",
         gb),
        ("Texture::readPixels, 512x512 file", timed(texture["textureReadPixels"], 1e6, "ms"),
         "-", "", gb + "; file in the page cache"),
        ("Start-up to first frame, avifold", "%.0f ms" % startup[avifold],
         "<= %.0f ms" % (startup[bare] + START_UP_MARGIN_MS),
         verdict(startup[avifold] <= startup[bare] + START_UP_MARGIN_MS),
         "%s: first swap minus CLOCK_MONOTONIC before the start, median of %d" %
         (xvfb, args.start_ups)),
        ("Start-up to first frame, bare loop", "%.0f ms" % startup[bare], "-", "",
         "the same, bench/bare_loop"),
        ("Frames/s at 640x480, avifold", "%.1f" % fps[avifold], ">= %.0f" % FPS_TARGET,
         verdict(fps[avifold] >= FPS_TARGET), rate_how),
        ("Frames/s at 640x480, bare loop", "%.1f" % fps[bare], "-", "", "the same, bare loop"),
        ("Frames/s ratio avifold / bare loop", "%.3f" % (fps[avifold] / fps[bare]), "-", "",
         "the two medians above"),
        ("Ticks/s, avifold", "%.2f" % tps[avifold],
         ">= %.1f (95%% of 1000/%d)" % (TICK_TARGET, TICK_MS), verdict(tps[avifold] >= TICK_TARGET),
         rate_how),
        ("Ticks/s, bare loop", "%.2f" % tps[bare], "-", "", "the same, bare loop"),
        ("Ticks/s ratio avifold / bare loop", "%.3f" % (tps[avifold] / tps[bare]), "-", "",
         "the two medians above"),
        ("Peak memory (VmHWM) at start", "%.1f MB" % peak_start, "-", "",
         "/proc/<pid>/status %.0f s after the first frame" % WARM_UP_S),
        ("Peak memory after %d full-screen trips" % ROUND_TRIPS, "%.1f MB" % peak_after,
         "-", "", trips),
        ("Resident memory slope, trips %d to %d" % (WARM_UP_TRIPS + 1, ROUND_TRIPS),
         "%+.0f KiB a trip" % memory.slope_kib, "<= %d KiB" % memory.limit_kib,
         verdict(memory.holds()),
         "the memory contract: median slope of VmRSS between every two trips"),
    ]
    print_table(rows)
    print("Load average (1, 5, 15 min) before: %s, after: %s; %d CPUs." %
          (load_before, load_after, os.cpu_count()))
    return 0


if __name__ == "__main__":
    sys.exit(main())
