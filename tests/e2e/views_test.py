"""Views: "Smart Follow" places the camera from the flock, "Bird Control" behind bird 0;
in "Bird Control" a held arrow turns bird 0, and the view with it, the held way."""

import harness as h

HELD_TICKS = 12  # ticks of full turn watched while an arrow is held


class Views(h.Session):
    def setUp(self):
        self.start_server()
        self.app = self.start_app()

    def camera_from_next_tick(self, event, placed, what):
        """From the tick after a command on, every frame places the camera so."""
        for f in self.app.frames_from_tick(event.tick + 1, 10):
            self.assertTrue(placed(f), "%s: %s" % (what, f))

    def test_smart_follow_and_bird_control_place_the_camera(self):
        app = self.app
        event = app.choose("Smart Follow")
        self.camera_from_next_tick(event, h.follows_flock, "camera from the flock")
        event = app.choose("Bird Control")
        self.camera_from_next_tick(event, h.behind_bird0, "camera behind bird 0")

    def assert_turns(self, key, press, rate):
        """Presses a key; once the turn has settled, bird 0 and the camera behind it
        turn `rate` degrees every tick."""
        app = self.app
        after = app.probe.counts().swaps
        press()
        pressed = app.wait_for_event("key", after, code=key)
        frames = app.frames_from_tick(pressed.tick + h.TURN_SETTLE_TICKS, HELD_TICKS)
        steps = h.heading_steps(frames)
        self.assertGreaterEqual(len(steps), HELD_TICKS // 2, frames)
        self.assertEqual(steps, [rate] * len(steps), frames)
        for f in frames:
            self.assertTrue(h.behind_bird0(f), f)

    def hold(self, key_name, code, rate):
        app = self.app
        try:
            self.assert_turns(code, lambda: app.hold(key_name, True), rate)
        finally:
            after = app.probe.counts().swaps
            app.hold(key_name, False)
        app.wait_for_event("key", after, kind="up", code=code)

    def test_arrows_turn_bird_control_left_and_right(self):
        # Left turns toward larger headings, right toward smaller.
        self.hold("Left", 100, h.TOP_TURN_RATE)
        self.hold("Right", 102, -h.TOP_TURN_RATE)
        self.hold("Left", 100, h.TOP_TURN_RATE)

    def test_d_marks_the_left_arrow_for_good(self):
        # "d" is character code 100, the left arrow's slot; no key release clears it.
        self.assert_turns(100, lambda: self.app.key("d"), h.TOP_TURN_RATE)


if __name__ == "__main__":
    h.main()
