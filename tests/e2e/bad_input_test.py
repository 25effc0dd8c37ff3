"""Bad input: missing and damaged data files, keys beyond the key table, and a window
squeezed to nothing. The program reports what it must and keeps drawing."""

import os

import avifold_e2e as e
import startup_test
import views_test

LOAD_ERROR = b"ERROR LOADING FILE!!!"
IMAGE_BYTES = {"ground512.raw": 512 * 512 * 3, "cloud0.raw": 256 * 256 * 3,
               "good1.raw": 512 * 512 * 3, "water0.raw": 512 * 512 * 3,
               "water1.raw": 512 * 512 * 3, "tree0.raw": 128 * 128 * 3,
               "tree1.raw": 128 * 128 * 3}
# Latin-1 keysyms whose character codes (200, 233, 255) lie past the 200-slot key table.
HIGH_KEYS = {250: "Egrave", 251: "eacute", 252: "ydiaeresis"}
PRESSES = 5


def not_black(picture):
    return picture.fraction(lambda p: sum(p) > 30) > 0.5


class BadInput(e.Session):
    def setUp(self):
        self.start_server()

    def assert_keeps_drawing(self, app):
        for _ in range(3):
            app.wait_for_swaps(5)
        app.wait_for_picture(not_black, "a picture that is not all black")
        app.assert_alive(self)

    def test_missing_data_folder_is_reported_once_per_image_and_drawing_goes_on(self):
        app = self.start_app(data=None)
        expected = startup_test.BANNER + LOAD_ERROR * 7
        e.wait_for(lambda: app.stdout() == expected or len(app.stdout()) > len(expected),
                   what="the seven load errors")
        self.assertEqual(app.stdout(), expected)
        self.assert_keeps_drawing(app)

    def test_empty_short_and_long_data_files_do_not_stop_it(self):
        source = e.env_path("AVIFOLD_DATA")
        folder = os.path.join(self.workdir, "data")
        damaged = {"ground512.raw": 0, "tree0.raw": 0,           # empty
                   "good1.raw": -1, "cloud0.raw": -1,            # one byte short
                   "water1.raw": 4096, "tree1.raw": 1}           # too long
        e.link_data(folder, skip=damaged)
        for name, change in damaged.items():
            size = IMAGE_BYTES[name] + change if change else 0
            with open(os.path.join(source, name), "rb") as f:
                data = f.read()
            data = (data + bytes(max(0, size - len(data))))[:size]
            with open(os.path.join(folder, name), "wb") as f:
                f.write(data)
        app = self.start_app(data=None)
        self.assert_keeps_drawing(app)
        # Files that open are no load errors, whatever their length.
        self.assertEqual(app.stdout(), startup_test.BANNER)

    def test_keys_past_the_key_table_change_nothing(self):
        for keycode, keysym in HIGH_KEYS.items():
            self.server.run("xmodmap", "-e", "keycode %d = %s" % (keycode, keysym))
        # In the C locale GLUT delivers these keys as their Latin-1 codes.
        app = self.start_app(extra_env={"LC_ALL": "C"})
        app.focus()
        for _ in range(PRESSES):
            app.key(*HIGH_KEYS.values())
            app.wait_for_swaps()
        self.assert_keeps_drawing(app)
        # Still fogged and behind bird 0 (no key can lift the fog, so a grey sky seen
        # now proves it stayed; a dive may hide the sky for a moment), and the menu
        # still answers.
        app.wait_for_picture(
            lambda p: e.sky_share(p, e.FOG_GREY) > 0.5 and e.centre_sky_share(p) < 0.2,
            "a fogged sky behind bird 0")
        app.choose(e.FOG)
        app.wait_for_picture(lambda p: e.sky_share(p, e.CLEAR_BLUE) > 0.5, "a blue sky")
        # The same way of sending keys does reach the program: "d" (code 100) marks the
        # left arrow's slot, and bird 0 keeps turning left.
        app.key("d")
        views_test.assert_turning(self, lambda: views_test.turn_shifts(app), 1, "after d")

    def test_squeezing_the_window_to_no_height_keeps_it_drawing(self):
        app = self.start_app()
        width, _ = e.WINDOW_SIZE
        # Without a window manager the window sits at (-1, -1): one row high it would lie
        # wholly off the screen, and GLUT draws no frames for a window nobody can see.
        self.server.run("xdotool", "windowmove", str(app.window), "10", "10")
        e.wait_for(lambda: app.geometry(app.window)[:2] == (10, 10), what="the window moved")
        for height in (1, 0, 1):
            # X refuses a height of 0 (xdotool reports it); a height of 1 is the least.
            self.server.run("xdotool", "windowsize", str(app.window), str(width), str(height),
                            check=False)
            e.wait_for(lambda: app.geometry(app.window)[3] <= 1, what="a squeezed window")
            app.wait_for_swaps(10)
            app.assert_alive(self)
        self.server.run("xdotool", "windowsize", str(app.window), *map(str, e.WINDOW_SIZE))
        e.wait_for(lambda: app.geometry(app.window)[2:] == e.WINDOW_SIZE,
                   what="the window back at 640x480")
        self.assert_keeps_drawing(app)
        app.wait_for_picture(
            lambda p: e.sky_share(p, e.FOG_GREY) > 0.5 and e.readout_pixels(p) >= 20,
            "the fogged view and the read-out again")


if __name__ == "__main__":
    e.main()
