"""Start-up: the console banner, the window, the fogged sky and the frame-rate read-out."""

import avifold_e2e as e

BANNER = (
    b"---- Avifold ---- \n"
    b"By the Avifold developers\n"
    b"Birds, hills and water: the Avifold developers\n"
    b"\n\n"
    b"Use the arrow keys to control your boid.\n"
    b"The right mouse button brings up a context menu."
    b"\n\n"
    b"*** NOTE: 3D OpenGL Accelerated video card highly recomended!!!\n\n"
)


class StartUp(e.Session):
    def test_prints_the_banner_and_opens_the_fogged_window_with_its_read_out(self):
        self.start_server()
        app = self.start_app()

        # The banner is flushed before the window opens, and nothing follows it while
        # every data file loads.
        self.assertEqual(app.stdout(), BANNER)

        left, top, width, height = app.geometry(app.window)
        self.assertEqual((width, height), e.WINDOW_SIZE)
        self.assertEqual(app.find_windows(e.WINDOW_TITLE), [app.window],
                         "exactly one window titled Avifold")

        # Above eye level the fogged scene shows the grey clear colour; the red
        # read-out sits in the upper right quarter and nowhere else.
        picture = app.wait_for_picture(
            lambda p: e.sky_share(p, e.FOG_GREY) > 0.5 and e.readout_pixels(p) >= 20,
            "a grey sky and the red read-out")
        total_red = picture.count(e.is_readout_red)
        self.assertEqual(total_red, e.readout_pixels(picture),
                         "red pixels outside the upper right quarter")
        app.assert_alive(self)


if __name__ == "__main__":
    e.main()
