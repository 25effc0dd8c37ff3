"""Start-up: the console banner, one window with its menu, the first frames' settings and
camera, and the fogged scene with its red read-out on the screen."""

import harness as h


class StartUp(h.Session):
    def test_prints_the_banner_and_opens_one_fogged_window_behind_bird_0(self):
        self.start_server()
        app = self.start_app()

        # The banner is flushed before the window opens, and nothing follows it while
        # every data file loads.
        self.assertEqual(app.stdout(), h.BANNER)
        self.assertEqual(self.server.windows(h.WINDOW_TITLE), [app.window])
        self.assertEqual(self.server.geometry(app.window)[2:], h.WINDOW_SIZE)
        self.assertEqual([[e.label for e in menu] for menu in app.menus()],
                         [list(h.MAIN_MENU), list(h.VIEW_MENU)])
        # The first tick is armed for one tick's time; no timer but the chain's ticks so far.
        self.assertEqual(app.probe.events("arm")[0].fields["ms"], str(h.TICK_MS))
        verdict = h.one_chain(app.probe.tick_times())
        self.assertTrue(verdict.holds(), verdict)

        # The terrain compiled once, with hills; every frame so far has every switch on,
        # and from the first tick on the camera rides behind bird 0.
        terrain = app.probe.events("terrain")
        self.assertEqual(len(terrain), 1)
        self.assertGreater(int(terrain[0].fields["nonzero"]), 0)
        for f in app.frames_from_tick(1, 10):
            self.assertEqual(f.settings(), h.START_SETTINGS, f)
            self.assertTrue(h.behind_bird0(f), f)

        app.wait_for_picture(lambda p: h.shows_scene(p, h.GREY_PIXEL),
                             "the grey sky and the red read-out")


if __name__ == "__main__":
    h.main()
