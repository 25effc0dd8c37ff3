"""Menu toggles: each of fog, shadows, the read-out and the hills switches off from its
"+" entry and back on from the relabelled entry, from the very next frame; the
separators change nothing."""

import harness as h


class MenuToggles(h.Session):
    def setUp(self):
        self.start_server()
        self.app = self.start_app()

    def assert_next_frame(self, label, **expected):
        """Chooses an entry; the first frame after the command shows the change."""
        event = self.app.choose(label)
        frame = self.app.frames_after(event)[0]
        self.assertEqual(frame.frame, event.frame + 1)
        for name, value in expected.items():
            self.assertEqual(getattr(frame, name), value, "%s after %s" % (name, label))
        return frame

    def test_fog_switches_fog_sky_and_far_plane_together(self):
        # The far plane follows at once, not at the next resize.
        self.assert_next_frame("+ Fog", fog=0, clear=h.CLEAR_BLUE, far=h.CLEAR_FAR)
        self.app.wait_for_picture(lambda p: h.shows_scene(p, h.BLUE_PIXEL),
                                  "the blue sky")
        self.assert_next_frame("- Fog", fog=1, clear=h.FOG_GREY, far=h.FOG_FAR)

    def test_shadows_and_read_out_leave_and_come_back(self):
        self.assert_next_frame("+ Shadows", bird_calls=h.FLOCK)
        self.assert_next_frame("- Shadows", bird_calls=2 * h.FLOCK)
        self.assert_next_frame("+ FPS", characters=0)
        # Frames go on without the read-out until it is switched on again.
        self.app.wait_for_ticks(3)
        self.assertEqual({f.characters for f in self.app.probe.frames()[-3:]}, {0})
        self.assertGreaterEqual(self.assert_next_frame("- FPS").characters, len("FPS-1"))

    def test_bumps_and_hills_flattens_the_ground_then_raises_new_hills(self):
        app = self.app
        first = app.probe.events("terrain")[0].fields
        for label, flat in (("+ Bumps and Hills", True), ("- Bumps and Hills", False)):
            event = app.choose(label)
            terrain = app.wait_for_event("terrain", event.frame)
            self.assertEqual(terrain.fields["vertices"], first["vertices"])
            self.assertEqual(terrain.fields["nonzero"] == "0", flat, terrain)
        self.assertNotEqual(terrain.fields["digest"], first["digest"], "new hills")

    def test_separators_do_nothing(self):
        app = self.app
        before = app.last_frame()
        for occurrence in range(2):
            event = app.choose("----------", occurrence)
            self.assertEqual(app.frames_after(event)[0].settings(), before.settings())
        self.assertEqual(len(app.probe.events("terrain")), 1)
        for f in app.frames_from_tick(app.probe.counts().ticks + 1, 3):
            self.assertTrue(h.behind_bird0(f), f)
        self.assertEqual(self.server.windows(h.WINDOW_TITLE), [app.window])


if __name__ == "__main__":
    h.main()
