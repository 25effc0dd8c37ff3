"""Bad input: missing and damaged data files, keys beyond the key table, and a window
squeezed to one row. The program reports what it must and keeps drawing."""

import os

import harness as h

LOAD_ERROR = b"ERROR LOADING FILE!!!"
# Latin-1 keysyms whose character codes (200, 233, 255) lie past the 200-slot key table.
HIGH_KEYS = {250: "Egrave", 251: "eacute", 252: "ydiaeresis"}
PRESSES = 5


def not_black(picture):
    return picture.share(lambda p: sum(p) > 30) > 0.5


class BadInput(h.Session):
    def setUp(self):
        self.start_server()

    def assert_keeps_drawing(self, app):
        app.wait_for_ticks(5)
        app.wait_for_swaps(10)
        app.wait_for_picture(not_black, "a picture that is not all black")

    def test_missing_data_folder_is_reported_once_per_image_and_drawing_goes_on(self):
        app = self.start_app(data=False)
        self.assertEqual(app.stdout(), h.BANNER + LOAD_ERROR * len(h.DATA_FILES))
        self.assert_keeps_drawing(app)

    def test_empty_short_and_long_data_files_do_not_stop_it(self):
        source = h.env_path("AVIFOLD_DATA")
        folder = os.path.join(self.workdir, "data")
        damaged = {"ground512.raw": 0, "tree0.raw": 0,           # empty
                   "good1.raw": -1, "cloud0.raw": -1,            # one byte short
                   "water1.raw": 4096, "tree1.raw": 1}           # too long
        h.link_data(folder, skip=damaged)
        for name, change in damaged.items():
            with open(os.path.join(source, name), "rb") as f:
                data = f.read()  # the image's full size, as the program reads it
            size = len(data) + change if change else 0
            with open(os.path.join(folder, name), "wb") as f:
                f.write((data + bytes(max(0, size - len(data))))[:size])
        app = self.start_app(data=False)
        self.assert_keeps_drawing(app)
        # Files that open are no load errors, whatever their length.
        self.assertEqual(app.stdout(), h.BANNER)

    def test_keys_past_the_key_table_change_nothing(self):
        for keycode, keysym in HIGH_KEYS.items():
            self.server.run("xmodmap", "-e", "keycode %d = %s" % (keycode, keysym))
        # In the C locale GLUT delivers these keys as their Latin-1 codes.
        app = self.start_app(env={"LC_ALL": "C"})
        for _ in range(PRESSES):
            app.key(*HIGH_KEYS.values())
        for code in (200, 233, 255):
            app.wait_for_event("key", 0, kind="char", code=code)
        # Still every switch as at start, still behind bird 0 and not turning by itself
        # the way a marked arrow slot would make it.
        for f in app.frames_from_tick(app.probe.counts().ticks + 1, 5):
            self.assertEqual(f.settings(), h.START_SETTINGS, f)
            self.assertTrue(h.behind_bird0(f), f)
        app.choose("+ Fog")
        self.assert_keeps_drawing(app)

    def test_squeezing_the_window_to_one_row_keeps_it_drawing(self):
        app = self.start_app()
        # Without a window manager the window sits at (-1, -1): one row high it would lie
        # wholly off the screen, and GLUT draws no frames for a window nobody can see.
        self.server.run("xdotool", "windowmove", app.window, "10", "10")
        app.wait(lambda: self.server.geometry(app.window)[:2] == (10, 10), "the window moved")
        after = app.probe.counts().swaps
        # X refuses a height of 0: one row is the least a window can have.
        self.server.run("xdotool", "windowsize", app.window, h.WINDOW_SIZE[0], 1)
        app.wait_for_event("reshape", after, h=1)
        app.wait_for_swaps(10)
        self.server.run("xdotool", "windowsize", app.window, *h.WINDOW_SIZE)
        app.wait_for_event("reshape", after, w=h.WINDOW_SIZE[0], h=h.WINDOW_SIZE[1])
        self.assert_keeps_drawing(app)
        app.wait_for_picture(lambda p: h.shows_scene(p, h.GREY_PIXEL),
                             "the fogged view and the read-out again")


if __name__ == "__main__":
    h.main()
