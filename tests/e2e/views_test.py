"""Views: "Smart Follow" places the camera from the flock, "Bird Control" behind bird 0;
in "Bird Control" a held arrow turns bird 0, and the view with it, the held way, and an
arrow held while its surface goes holds no longer."""

import harness as h

HELD_TICKS = 12  # ticks of full turn watched while an arrow is held
LEFT, RIGHT = 100, 102  # the arrows' GLUT codes
AWAY_FROM_THE_WINDOW = (900, 700)  # on the screen, clear of a 640 x 480 window at its corner


def turn_if_left_still_held(ticks_after_right_let_go: int) -> int:
    """Degrees bird 0 turns in a tick after Right, held at the top rate, is let go while
    Left still holds: half a degree a tick more, from the top rate right to the top
    rate left, in whole degrees toward zero as the bird turns."""
    rate = -h.TOP_TURN_RATE + 0.5 * max(0, ticks_after_right_let_go)
    return int(min(rate, h.TOP_TURN_RATE))


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
        """Holds an arrow until bird 0 turns at `rate`, and lets it go; returns the
        release."""
        app = self.app
        try:
            self.assert_turns(code, lambda: app.hold(key_name, True), rate)
        finally:
            after = app.probe.counts().swaps
            app.hold(key_name, False)
        return app.wait_for_event("key", after, kind="up", code=code)

    def test_arrows_turn_bird_control_left_and_right(self):
        # Left turns toward larger headings, right toward smaller.
        self.hold("Left", LEFT, h.TOP_TURN_RATE)
        self.hold("Right", RIGHT, -h.TOP_TURN_RATE)
        self.hold("Left", LEFT, h.TOP_TURN_RATE)

    def test_an_arrow_held_while_escape_closes_full_screen_is_let_go(self):
        app = self.app
        # Without key repeats: a repeat's release would reach the new window.
        self.server.run("xset", "r", "off")
        surface = app.enter_full_screen()
        self.server.run("xdotool", "mousemove", *AWAY_FROM_THE_WINDOW)
        after = app.probe.counts().swaps
        self.server.run("xdotool", "keydown", "Left")
        app.wait_for_event("key", after, kind="down", code=LEFT)
        app.key("Escape", window=surface)
        app.wait_for_event("context", after, kind="window")
        app.wait_for_window()
        app.wait(lambda: self.server.geometry(surface) is None, "the full-screen surface to go")
        # Let go with the pointer away from the new window, as a person who moved the
        # mouse meanwhile: the release goes to the screen behind it.
        self.server.run("xdotool", "keyup", "Left")
        app.focus()
        # Right turns bird 0 the other way at the top rate. Let go, with no arrow held
        # it turns back only as fast as the flock steers it (0.35 a tick at most), not
        # at the 0.5 a tick of a held left arrow, which has it turning left at the top
        # rate again by TURN_SETTLE_TICKS: over the frames around that tick it turns
        # less than it would with Left held.
        released = self.hold("Right", RIGHT, -h.TOP_TURN_RATE)
        settled = released.tick + h.TURN_SETTLE_TICKS
        after = app.frames_from_tick(settled, 1)[0]
        before = [f for f in app.probe.frames() if f.tick < settled][-1]
        turned = (after.bird0[3] - before.bird0[3] + 180) % 360 - 180
        held_left = sum(turn_if_left_still_held(tick - released.tick)
                        for tick in range(before.tick + 1, after.tick + 1))
        self.assertLess(turned, held_left, (before, after))
        # The program itself never heard Left go up.
        self.assertEqual([e for e in app.probe.events("key") if e.fields["code"] == str(LEFT)
                          and e.fields["kind"] == "up"], [])

    def test_d_marks_the_left_arrow_for_good(self):
        # "d" is character code 100, the left arrow's slot; no key release clears it.
        self.assert_turns(LEFT, lambda: self.app.key("d"), h.TOP_TURN_RATE)


if __name__ == "__main__":
    h.main()
