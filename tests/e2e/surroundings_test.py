"""Surroundings: the program keeps working, and ends as asked, whatever it is started
with or met by: closed standard descriptors, a console nobody reads any more, a close
of the game-mode surface, signals in game mode, a wall clock set forward and back, and
data paths that are no files. The window manager's close button (WM_DELETE_WINDOW) ends
it with status 0.

The game-mode cases need a screen that really switches modes: Xorg with the dummy
driver; they are skipped where it cannot run.
"""

import math
import os
import signal
import time
from typing import List, Optional

import harness as h

# A read per pixel of the smallest image would be 128 x 128; a reader that gives up on
# a directory at once makes a handful in all.
READS_LIMIT = 128 * 128
GAME_SURFACE = "FREEGLUT"  # the name GLUT gives its game-mode window

# Signals in game mode, each to a program of its own, and whether the wall clock is set
# back 8 s first (no timer of GLUT's comes then for 8 s). Every one of them puts the
# video mode back first; the stop leaves full screen for a window before it stops. Then a
# stop that a continue overtakes, and a CPU limit set by `ulimit -t`.
SIGNALS_IN_GAME_MODE = (
    (signal.SIGTERM, False), (signal.SIGINT, False), (signal.SIGHUP, False),
    (signal.SIGTERM, True), (signal.SIGQUIT, False), (signal.SIGUSR1, False),
    (signal.SIGUSR2, False), (signal.SIGALRM, False), (signal.SIGTSTP, False))
CLOCK_SET_BACK = -8
# Ahead before the clock goes back, so that no step back takes GLUT's clock, which
# counts from the program's start, below zero (that case has a step of its own).
CLOCK_AHEAD = 11 * 60

PAST_START_SECONDS = 3  # how far back past the program's start the last step goes


def cpu_seconds(pid: int) -> float:
    """The CPU time the process has used, user and system."""
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rpartition(")")[2].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


class Surroundings(h.Session):
    def app_command(self, shell: str, *args: str):
        """The program started by a shell line that ends in `exec "$0"` with redirections;
        the process is the program itself."""
        return ["sh", "-c", shell, h.env_path("AVIFOLD_APP"), *args]

    def test_closed_standard_output_and_error_keep_it_drawing_and_closing(self):
        self.start_server()
        # A missing image writes to standard output, and full screen on a server that
        # cannot switch modes makes GLUT warn on standard error.
        h.link_data(os.path.join(self.workdir, "data"), skip=("cloud0.raw",))
        app = self.start_app(data=False, command=self.app_command('exec "$0" >&- 2>&-'))
        app.round_trip()
        self.assertEqual(app.close(app.window), 0, app.stderr())

    def test_console_reader_gone_mid_session_is_ignored(self):
        self.start_server()
        console = os.path.join(self.workdir, "console")
        os.mkfifo(console)
        reader = os.open(console, os.O_RDONLY | os.O_NONBLOCK)
        h.link_data(os.path.join(self.workdir, "data"), skip=("cloud0.raw",))
        app = self.start_app(data=False, command=self.app_command('exec "$0" > "$1"', console))
        self.assertEqual(os.read(reader, len(h.BANNER)), h.BANNER)
        os.close(reader)
        # Full screen and back reads the images again: the missing one is reported to
        # the console that has gone.
        app.round_trip()
        self.assertEqual(app.close(app.window), 0, app.stderr())

    def test_closing_the_game_mode_surface_restores_the_mode_and_ends_cleanly(self):
        self.start_server("xorg")
        app = self.start_app()
        app.enter_full_screen()
        surface = app.wait(lambda: self.server.windows(GAME_SURFACE), "the game-mode surface")
        self.assertEqual(app.close(surface[0]), 0, app.stderr())
        self.assertEqual(self.server.video_mode(), "1024x768")

    def test_signals_in_game_mode_put_the_mode_back_then_end_or_stop_as_they_ask(self):
        self.start_server("xorg")
        start_up_cpu = 0.0  # the most CPU time any of them took to reach full screen
        for number, clock_set_back in SIGNALS_IN_GAME_MODE:
            with self.subTest(signal=number.name, clock_set_back=clock_set_back):
                app = self.start_in_full_screen("%s-%d" % (number.name, clock_set_back),
                                                clock_set_back)
                start_up_cpu = max(start_up_cpu, cpu_seconds(app.process.pid))
                app.process.send_signal(number)
                if number != signal.SIGTSTP:
                    self.assert_ends_by(app, number)
                    continue
                app.wait(app.stopped, "the program to stop")
                self.assertEqual(self.server.video_mode(), "1024x768")
                self.assertEqual(self.server.input_grabbed(),
                                 h.Grabs(keyboard=False, pointer=False))
                self.assert_goes_on_in_a_window(app)
        with self.subTest("SIGTSTP overtaken by SIGCONT"):
            app = self.start_in_full_screen("continued")
            app.process.send_signal(signal.SIGTSTP)
            # Noted and answered: the stop is carried out once the new window is up.
            app.wait(lambda: self.server.video_mode() == "1024x768", "the desktop mode")
            self.assert_goes_on_in_a_window(app)
        with self.subTest("ulimit -t: one CPU limit, soft and hard"):
            # Well past what reaching full screen took, so that the limit comes in game mode.
            limit = math.ceil(2 * start_up_cpu) + 2
            app = self.start_in_full_screen("cpu-limit", command=self.app_command(
                'ulimit -t %d && exec "$0"' % limit))
            self.assert_ends_by(app, signal.SIGXCPU)

    def start_in_full_screen(self, name: str, clock_set_back: bool = False,
                             command: Optional[List[str]] = None) -> h.App:
        cwd = os.path.join(self.workdir, name)
        os.mkdir(cwd)
        clock = h.WallClock(cwd)
        app = self.start_app(cwd=cwd, clock=clock, command=command)
        app.enter_full_screen()
        if clock_set_back:
            clock.step(CLOCK_AHEAD)
            app.wait_for_ticks(2)
            clock.step(CLOCK_SET_BACK)
        return app

    def assert_ends_by(self, app: h.App, number: signal.Signals) -> None:
        self.assertEqual(app.wait_exit(), -number, app.stderr())
        self.assertEqual(self.server.video_mode(), "1024x768")

    def assert_goes_on_in_a_window(self, app: h.App) -> None:
        app.process.send_signal(signal.SIGCONT)
        app.wait_for_window()
        app.wait_for_swaps(3)
        self.assertFalse(app.stopped())
        self.assertEqual(self.server.video_mode(), "1024x768")
        app.stop()

    def test_the_flock_keeps_its_pace_through_steps_of_the_wall_clock(self):
        """Through each step of the wall clock the flock keeps one chain's pace, as fast as
        just before the step."""
        self.start_server()
        clock = h.WallClock(self.workdir)
        app = self.start_app(clock=clock)

        def past_start() -> int:
            # GLUT's clock then counts from near the end of its range, and wraps round a
            # few seconds later.
            ran = (time.clock_gettime_ns(time.CLOCK_MONOTONIC) - app.exec_ns) // 10**9
            return clock.step(-(clock.offset + ran + PAST_START_SECONDS))
        for name, step, seconds in (
                ("ahead 11 minutes", lambda: clock.step(CLOCK_AHEAD), 3),
                ("back 8 seconds", lambda: clock.step(CLOCK_SET_BACK), 10),
                ("back 10 minutes", lambda: clock.step(-10 * 60), 5),
                ("back past the program's start", past_start, 3 * PAST_START_SECONDS)):
            with self.subTest(name):
                verdict = app.pace_through(step, seconds)
                print(verdict)
                self.assertTrue(verdict.holds(), verdict)

    def test_a_fifo_in_place_of_an_image_does_not_hold_start_up(self):
        self.start_server()
        folder = os.path.join(self.workdir, "data")
        h.link_data(folder, skip=("ground512.raw",))
        os.mkfifo(os.path.join(folder, "ground512.raw"))
        app = self.start_app(data=False)
        # It opens, so it is no load error; nothing comes from it, so it reads as white.
        self.assertEqual(app.stdout(), h.BANNER)
        self.assertEqual(app.close(app.window), 0, app.stderr())

    def test_directories_in_place_of_images_are_given_up_at_once(self):
        self.start_server()
        folder = os.path.join(self.workdir, "data")
        os.mkdir(folder)
        for name in h.DATA_FILES:
            os.mkdir(os.path.join(folder, name))
        app = self.start_app(data=False)
        with open("/proc/%d/io" % app.process.pid) as f:
            reads = int(dict(line.split(": ") for line in f.read().splitlines())["syscr"])
        self.assertLess(reads, READS_LIMIT)
        self.assertEqual(app.stdout(), h.BANNER)


if __name__ == "__main__":
    h.main()
