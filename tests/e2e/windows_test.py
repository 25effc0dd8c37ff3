"""The Windows build: the zip that tools/build_windows.sh packs, unpacked and run under
Wine in the test X server. It prints the banner, draws the scene in its "Avifold"
window, switches fog from the menu, goes to full screen and back, and ends with status
0 when its window is closed.

The probe cannot watch a Windows program, so windows and pixels are the verdict. The
test's X server cannot switch modes: "Full Screen Mode" covers the screen with a window
titled like the main one.
"""

import harness as h

# msvcrt writes a text stream's line ends as CR LF.
WINDOWS_BANNER = h.BANNER.replace(b"\n", b"\r\n")


class Windows(h.Session):
    def test_zip_runs_under_wine(self):
        self.start_server()
        app = self.start_wine_app(h.env_path("AVIFOLD_WINDOWS_ZIP"))
        app.wait(lambda: app.stdout() == WINDOWS_BANNER, "the banner")
        app.wait_for_picture(lambda p: h.shows_scene(p, h.GREY_PIXEL),
                             "the fog-grey sky and the red read-out")

        app.choose("+ Fog")
        app.wait_for_picture(lambda p: h.shows_scene(p, h.BLUE_PIXEL), "the blue sky")

        windowed = app.frame
        app.choose("Full Screen Mode")
        app.wait(lambda: self.server.geometry(windowed) is None, "the window to close")
        surface = app.wait_for_window(h.SCREEN_SIZE)
        app.click()  # the first key goes to a window only once it was clicked
        app.key("Escape", window=0)
        app.wait(lambda: self.server.geometry(surface) is None,
                 "the full-screen surface to close")
        app.wait_for_window(h.WINDOW_SIZE)
        # Drawing goes on: the flock moves on the picture.
        first = app.wait_for_picture(lambda p: h.shows_scene(p, h.BLUE_PIXEL),
                                     "the blue sky again")
        app.wait_for_picture(lambda p: p.red != first.red, "the flock to move")

        self.assertEqual(app.close(app.frame), 0, app.stderr())
        self.assertEqual(app.stdout(), WINDOWS_BANNER)


if __name__ == "__main__":
    h.main()
