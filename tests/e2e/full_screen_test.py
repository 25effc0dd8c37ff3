"""Full screen and back: "Full Screen Mode" replaces the window by a full-screen surface
without a menu, Escape brings back a 640 x 480 window with a fresh menu, and the
settings, the camera and the one tick chain carry over, round trip after round trip.

Under Xvfb (AVIFOLD_E2E_SERVER=xvfb), which cannot switch video modes, the program
covers the screen with a window titled like the main one; under Xorg with the dummy
driver (AVIFOLD_E2E_SERVER=xorg), GLUT's game mode switches the screen to 640 x 480.
"""

import os

import harness as h

ROUND_TRIPS = 40
WARM_UP_TRIPS = 5


class FullScreen(h.Session):
    def setUp(self):
        self.start_server(os.environ.get("AVIFOLD_E2E_SERVER", "xvfb"))

    def assert_no_menu(self, app, surface):
        """A right click on the full-screen surface opens nothing, frames after it."""
        if surface is None:
            self.server.run("xdotool", "mousemove", "320", "240", "click", "3")
        else:
            self.server.run("xdotool", "mousemove", "--window", surface, "500", "400",
                            "click", "3")
        app.wait_for_swaps(10)
        self.assertEqual(self.server.menus(), [], "a menu opened in full screen")

    def test_round_trips_keep_settings_camera_and_one_tick_chain(self):
        app = self.start_app()
        if self.server.kind == "xorg":
            self.assertEqual(self.server.video_mode(), "1024x768")
        windows_before = len(self.server.top_level_windows())

        # Escape in the window changes nothing.
        app.focus()
        app.key("Escape")
        app.wait_for_event("key", 0, code=27)
        app.wait_for_swaps()
        self.assertEqual(self.server.windows(h.WINDOW_TITLE), [app.window])
        self.assertEqual(len(self.server.top_level_windows()), windows_before)
        self.assertEqual(len(app.probe.events("context")), 1)

        # Every switch off, Smart Follow; then full screen and back, twice.
        for label in ("+ Fog", "+ Shadows", "+ FPS", "Smart Follow"):
            app.choose(label)
        settings = app.last_frame().settings()
        for _ in range(2):
            surface = app.enter_full_screen()
            self.assert_no_menu(app, surface)
            for f in app.frames_from_tick(app.probe.counts().ticks + 1, 5):
                self.assertEqual(f.settings(), settings, f)
                self.assertTrue(h.follows_flock(f), f)
            app.leave_full_screen(surface)
            app.wait_for_picture(lambda p: h.shows_sky(p, h.BLUE_PIXEL), "the blue sky")
            self.assertEqual(app.last_frame().settings(), settings)

        # The fresh menu reads "+ Fog" again: it gives "fog off" once more, and the
        # relabelled entry then turns fog on.
        event = app.choose("+ Fog")
        self.assertEqual(app.frames_after(event)[0].settings(), settings)
        event = app.choose("- Fog")
        self.assertEqual(app.frames_after(event)[0].fog, 1)
        app.wait_for_picture(lambda p: h.shows_sky(p, h.GREY_PIXEL), "the grey sky")

        # One chain of ticks for the whole run.
        verdict = h.one_chain(app.probe.tick_times())
        self.assertTrue(verdict.holds(), verdict)
        self.assertEqual(len(app.probe.events("context")), 5)
        # Every context, the first and each new surface's, was given the program's fog.
        fogs = app.probe.events("fog")
        self.assertEqual([h.context_fog(e) for e in fogs], [h.CONTEXT_FOG] * 5, fogs)
        # GLUT destroys a closed surface at the end of a pass of its main loop.
        app.wait(lambda: len(self.server.top_level_windows()) == windows_before,
                 "no surface left behind")

    def test_round_trips_hold_windows_and_memory(self):
        app = self.start_app(small_quarantine=True)  # for the sanitizer build
        samples = []
        for _ in range(ROUND_TRIPS):
            # The ground is compiled again on every trip: that too must not leak.
            app.choose("+ Bumps and Hills")
            samples.append(app.round_trip())  # and no surface is left behind
        verdict = h.memory_verdict(samples, WARM_UP_TRIPS)
        print(verdict)
        self.assertTrue(verdict.holds(), verdict)
        app.wait_for_picture(lambda p: h.shows_scene(p, h.GREY_PIXEL), "the scene")


if __name__ == "__main__":
    h.main()
