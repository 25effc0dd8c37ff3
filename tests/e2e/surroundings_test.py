"""Surroundings: the program keeps working, and ends as asked, whatever it is started
with or met by: closed standard descriptors, a console nobody reads any more, a close
of the game-mode surface, a fatal signal in game mode, and data paths that are no files.
The window manager's close button (WM_DELETE_WINDOW) ends it with status 0.

The game-mode cases need a screen that really switches modes: Xorg with the dummy
driver; they are skipped where it cannot run.
"""

import os
import signal

import harness as h

# A read per pixel of the smallest image would be 128 x 128; a reader that gives up on
# a directory at once makes a handful in all.
READS_LIMIT = 128 * 128
GAME_SURFACE = "FREEGLUT"  # the name GLUT gives its game-mode window


class Surroundings(h.Session):
    def app_command(self, shell: str, *args: str):
        """The program started by a shell line that ends in `exec "$0"` with redirections;
        the process is the program itself."""
        return ["sh", "-c", shell, h.env_path("AVIFOLD_APP"), *args]

    def assert_closes(self, app: h.App, window: int) -> None:
        """The window manager's close button on a window ends the program with status 0."""
        self.server.run(h.env_path("AVIFOLD_SEND_DELETE"), window)
        status = app.wait_exit()
        self.assertEqual(status, 0, "exit status %d; stderr:\n%s" % (status, app.stderr()))

    def test_closed_standard_output_and_error_keep_it_drawing_and_closing(self):
        self.start_server()
        # A missing image writes to standard output, and full screen on a server that
        # cannot switch modes makes GLUT warn on standard error.
        h.link_data(os.path.join(self.workdir, "data"), skip=("cloud0.raw",))
        app = self.start_app(data=False, command=self.app_command('exec "$0" >&- 2>&-'))
        app.round_trip()
        self.assert_closes(app, app.window)

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
        self.assert_closes(app, app.window)

    def test_closing_the_game_mode_surface_restores_the_mode_and_ends_cleanly(self):
        self.start_server("xorg")
        app = self.start_app()
        app.enter_full_screen()
        surface = app.wait(lambda: self.server.windows(GAME_SURFACE), "the game-mode surface")
        self.assert_closes(app, surface[0])
        self.assertEqual(self.server.video_mode(), "1024x768")

    def test_fatal_signals_in_game_mode_restore_the_mode_and_still_end_by_the_signal(self):
        self.start_server("xorg")
        for number in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
            with self.subTest(signal=number.name):
                cwd = os.path.join(self.workdir, number.name)
                os.mkdir(cwd)
                app = self.start_app(cwd=cwd)
                app.enter_full_screen()
                app.process.send_signal(number)
                self.assertEqual(app.wait_exit(), -number, app.stderr())
                self.assertEqual(self.server.video_mode(), "1024x768")

    def test_a_fifo_in_place_of_an_image_does_not_hold_start_up(self):
        self.start_server()
        folder = os.path.join(self.workdir, "data")
        h.link_data(folder, skip=("ground512.raw",))
        os.mkfifo(os.path.join(folder, "ground512.raw"))
        app = self.start_app(data=False)
        # It opens, so it is no load error; nothing comes from it, so it reads as white.
        self.assertEqual(app.stdout(), h.BANNER)
        self.assert_closes(app, app.window)

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
