"""Views: "Smart Follow" trails the flock, "Bird Control" sits behind bird 0, and in
"Bird Control" the left and right arrows turn the view opposite ways."""

import statistics
import time

import avifold_e2e as e

SAMPLES = 7
# Holding an arrow first has to undo whatever turn bird 0 was making (at most 3 degrees
# a tick, reversed at half a degree a tick per tick); the pictures after that show the
# held turn alone.
HOLD_LIMIT = 12.0
SETTLED_AFTER = 1.0
# While an arrow is held, bird 0 turns at its top rate, 3 degrees a tick, which slides
# the ground band about 30 pixels sideways per tick. Pictures taken faster than the
# ticks often show the same frame twice, so only different frames are compared, and
# what counts is the direction of the shifts that are not zero: most of them, and their
# median, must point the held way. A bird of the flock sweeping close past the camera
# through the ground band can outweigh the landscape for a few pictures, so not every
# one has to. A shift near the edge of the search (more than five ticks of turning
# between two frames) is no turn at all but a picture that matched nothing, and is
# left out.
MOVING_PICTURES = 5
PICTURES = 12
SAME_WAY_SHARE = 2 / 3
LARGEST_TURN_SHIFT = 160
TURN_ATTEMPTS = 3


def turn_shifts(app, pictures=PICTURES, limit=HOLD_LIMIT):
    """Sideways shifts between successive frames of a settled turn: from SETTLED_AFTER
    seconds on, pictures are taken until `pictures` different frames are in (a busy
    machine draws fewer frames, and a picture of the same frame again shows no turn),
    within `limit` seconds."""
    frames = []
    start = time.monotonic()
    while len(frames) < pictures and time.monotonic() - start < limit:
        app.assert_running()
        after = time.monotonic() - start
        picture = app.quick_picture()
        if after >= SETTLED_AFTER and not (frames and same_frame(frames[-1], picture)):
            frames.append(picture)
        time.sleep(0.05)
    return [e.horizontal_shift(a, b) for a, b in zip(frames, frames[1:])]


def same_frame(a, b):
    return (a.red, a.green, a.blue) == (b.red, b.green, b.blue)


def turn_problem(shifts, sign):
    """What is wrong with a series of shifts for a turn the way of sign, or None when
    most of the plausible non-zero shifts, and their median, point that way."""
    moving = [s for s in shifts if s != 0 and abs(s) <= LARGEST_TURN_SHIFT]
    if len(moving) < MOVING_PICTURES:
        return "the view hardly moved"
    same_way = sum(1 for s in moving if s * sign > 0)
    if same_way / len(moving) < SAME_WAY_SHARE or statistics.median(moving) * sign <= 0:
        return "the view turned the wrong way"
    return None


def assert_turning(test, take_shifts, sign, what):
    """Judges the shifts take_shifts() returns. Flying low past a hill on one side can
    skew the ground band's flow for seconds at a time, so a series that fails is
    taken again, up to TURN_ATTEMPTS times; a key that turns the wrong way, or not at
    all, fails every one."""
    tried = []
    for _ in range(TURN_ATTEMPTS):
        shifts = take_shifts()
        print("%s: sideways shifts %s" % (what, shifts))
        problem = turn_problem(shifts, sign)
        if problem is None:
            return
        tried.append("%s: %s" % (problem, shifts))
    test.fail("%s, %d times:\n%s" % (what, TURN_ATTEMPTS, "\n".join(tried)))


def samples(app, count=SAMPLES, pause=0.2):
    pictures = []
    for _ in range(count):
        app.assert_running()
        pictures.append(app.picture())
        time.sleep(pause)
    return pictures


class Views(e.Session):
    def setUp(self):
        self.start_server()
        self.app = self.start_app()

    def assert_bird_control(self):
        # Bird 0 fills the middle in nearly every frame; on a busy machine a rare
        # picture shows part of the box uncovered, so two of the seven may miss.
        shares = [round(e.centre_sky_share(p), 2) for p in samples(self.app)]
        covered = sum(1 for share in shares if share <= 0.2)
        self.assertGreaterEqual(covered, SAMPLES - 2,
                                "bird 0 should fill the middle in Bird Control: %s" % shares)

    def test_smart_follow_and_bird_control_change_the_view(self):
        app = self.app
        # The program starts in Bird Control.
        self.assert_bird_control()
        app.choose(e.VIEW, e.SMART_FOLLOW)
        app.wait_for_picture(lambda p: e.centre_sky_share(p) > 0.5, "the sky in the middle")
        shares = [round(e.centre_sky_share(p), 2) for p in samples(app)]
        self.assertGreater(statistics.median(shares), 0.5,
                           "Smart Follow should look past the flock: %s" % shares)
        app.choose(e.VIEW, e.BIRD_CONTROL)
        app.wait_for_picture(lambda p: e.centre_sky_share(p) < 0.2, "bird 0 in the middle")
        self.assert_bird_control()

    def turn_shifts(self, key):
        """Sideways shifts between successive pictures while `key` is held."""
        app = self.app
        # Sent to the window itself: a press held without auto-repeat, whoever has the
        # keyboard focus.
        window = str(app.window)
        app.server.run("xdotool", "keydown", "--window", window, key)
        try:
            return turn_shifts(app)
        finally:
            app.server.run("xdotool", "keyup", "--window", window, key)

    def test_arrows_turn_bird_control_left_and_right(self):
        app = self.app
        # Turning left (heading up) swings the scene to the right across the picture.
        for key, sign in (("Left", 1), ("Right", -1), ("Left", 1)):
            assert_turning(self, lambda key=key: self.turn_shifts(key), sign,
                           "holding " + key)
            app.assert_alive(self)


if __name__ == "__main__":
    e.main()
