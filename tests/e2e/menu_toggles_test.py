"""Menu toggles: each of fog, shadows, the read-out and the hills switches off from its
"+" entry and back on from the relabelled entry; the separators do nothing."""

import time

import avifold_e2e as e

# How long a switched-off feature must stay away before the test believes it. Shadows
# leave the picture by themselves whenever the flock turns toward the camera, for up to
# about five seconds at a time, so their absence is watched for longer.
ABSENCE_WATCH = 3.0
SHADOW_ABSENCE_WATCH = 10.0
# Shadows come and go with the flock's course; wait this long for them to show.
SHADOW_TIMEOUT = 45.0
HILLS_TIMEOUT = 45.0

# A picture is "straight" when this share of its fog silhouette lies on one line.
STRAIGHT = 0.8
# A run of pictures shows flat ground when nearly all of them are straight, hills
# when most of them are not (a bird passing close, or a stretch of open water ahead,
# can straighten or bend a single picture).
RUN = 9


def watch(app, seconds):
    """Pictures of the window, taken one after another for `seconds`."""
    pictures = []
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline or len(pictures) < 3:
        app.assert_running()
        pictures.append(app.picture())
        time.sleep(0.1)
    return pictures


class MenuToggles(e.Session):
    def setUp(self):
        self.start_server()
        self.app = self.start_app()

    def test_fog_off_turns_the_sky_blue_and_fog_on_grey_again(self):
        app = self.app
        app.wait_for_picture(lambda p: e.sky_share(p, e.FOG_GREY) > 0.5, "a grey sky")
        app.choose(e.FOG)
        app.wait_for_picture(lambda p: e.sky_share(p, e.CLEAR_BLUE) > 0.5, "a blue sky")
        app.choose(e.FOG)  # now "- Fog"
        app.wait_for_picture(lambda p: e.sky_share(p, e.FOG_GREY) > 0.5, "a grey sky again")

    def test_fps_hides_and_shows_the_red_read_out(self):
        app = self.app
        app.wait_for_picture(lambda p: e.readout_pixels(p) >= 20, "the read-out")
        app.choose(e.FPS)
        app.wait_for_picture(lambda p: e.readout_pixels(p) == 0, "the read-out to vanish")
        for picture in watch(app, ABSENCE_WATCH):
            self.assertEqual(e.readout_pixels(picture), 0, "the read-out came back")
        app.choose(e.FPS)  # now "- FPS"
        app.wait_for_picture(lambda p: e.readout_pixels(p) >= 20, "the read-out again")

    def test_shadows_vanish_and_come_back_in_smart_follow(self):
        # "Smart Follow" looks at the flock from behind and above its shadows, which lie
        # flat on the water plane in flat 0.2 grey: the only dark neutral grey in the
        # picture (see is_shadow_grey).
        app = self.app
        app.choose(e.VIEW, e.SMART_FOLLOW)
        app.wait_for_picture(lambda p: e.shadow_pixels(p) >= 150, "the flock's shadows",
                             SHADOW_TIMEOUT)
        app.choose(e.SHADOWS)
        # Two ticks later the command has surely run and many frames have followed it;
        # a picture taken sooner may still be a frame drawn before it.
        ticks = app.counts()["ticks"]
        e.wait_for(lambda: app.counts()["ticks"] >= ticks + 2, what="two ticks")
        counts = [e.shadow_pixels(p) for p in watch(app, SHADOW_ABSENCE_WATCH)]
        # A stray pixel of a fogged bird can pass for grey; a shadow is dozens.
        self.assertLessEqual(max(counts), 10, "shadow pixels while shadows are off: %s"
                             % counts)
        app.choose(e.SHADOWS)  # now "- Shadows"
        app.wait_for_picture(lambda p: e.shadow_pixels(p) >= 150, "the shadows again",
                             SHADOW_TIMEOUT)

    def wait_for_ground(self, flat):
        """Waits for a run of pictures that shows flat ground (or hills)."""
        def run_shows_it():
            self.app.assert_running()
            self.history.append(round(e.silhouette_straightness(self.app.picture()), 2))
            recent = self.history[-RUN:]
            if len(recent) < RUN:
                return False
            straight = sum(1 for s in recent if s >= STRAIGHT)
            return straight >= RUN - 2 if flat else straight <= RUN // 2 - 1
        self.history = []
        e.wait_for(run_shows_it, HILLS_TIMEOUT, step=0.2,
                   what=("flat" if flat else "hilly") + " ground; straightness of the "
                   "last pictures: %s" % self.history)

    def test_bumps_and_hills_flattens_the_ground_and_raises_new_hills(self):
        app = self.app
        self.wait_for_ground(flat=False)
        app.choose(e.HILLS)
        self.wait_for_ground(flat=True)
        app.choose(e.HILLS)  # now "- Bumps and Hills"
        self.wait_for_ground(flat=False)

    def test_separators_do_nothing(self):
        app = self.app
        app.wait_for_picture(
            lambda p: e.sky_share(p, e.FOG_GREY) > 0.5 and e.readout_pixels(p) >= 20
            and e.centre_sky_share(p) < 0.2, "the start-up view")
        for entry in (e.SEPARATOR_1, e.SEPARATOR_2):
            app.choose(entry)
            app.wait_for_swaps()
            app.assert_alive(self)
            # Still fogged, still reading out the frame rate, still behind bird 0 (none
            # of these comes back by itself; a dive may hide the sky for a moment).
            app.wait_for_picture(
                lambda p: e.sky_share(p, e.FOG_GREY) > 0.5 and e.readout_pixels(p) >= 20
                and e.centre_sky_share(p) < 0.2, "the same view after a separator")
        self.assertEqual(app.find_windows(e.WINDOW_TITLE), [app.window])
        # And the menu still works afterwards.
        app.choose(e.FOG)
        app.wait_for_picture(lambda p: e.sky_share(p, e.CLEAR_BLUE) > 0.5, "a blue sky")


if __name__ == "__main__":
    e.main()
