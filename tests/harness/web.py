"""The browser tests' questions (tests/web/harness.mjs), answered by the functions that
judge the desktop program, so that both builds are held to the same facts and verdicts.
One request, {"name": ..., "args": [...]}, as JSON on standard input; its answer as JSON
on standard output:
    PYTHONPATH=tests python3 -m harness.web < request.json

The in-page probe (tests/web/probe.js) records frames and ticks in its own shapes, and
reads pictures from the bottom row up; they are turned into the desktop's here."""

import base64
import json
import sys
from typing import Dict, List, Sequence

from . import facts as f
from .memory import memory_verdict
from .pictures import Picture, Pixel, is_colour, shows_scene
from .probe import ONE_CHAIN_LEAD, Frame, behind_bird0, follows_flock, heading_steps, one_chain


def facts() -> Dict:
    return {
        "banner": f.BANNER.decode(), "mainMenu": f.MAIN_MENU, "viewMenu": f.VIEW_MENU,
        "fogGrey": f.FOG_GREY, "clearBlue": f.CLEAR_BLUE, "fogFar": f.FOG_FAR,
        "clearFar": f.CLEAR_FAR, "greyPixel": f.GREY_PIXEL, "bluePixel": f.BLUE_PIXEL,
        "flock": f.FLOCK, "topTurnRate": f.TOP_TURN_RATE,
        "turnSettleTicks": f.TURN_SETTLE_TICKS, "tickMs": f.TICK_MS,
        "windowSize": f.WINDOW_SIZE, "screenSize": f.SCREEN_SIZE}


def _frame(r: Dict) -> Frame:
    cam = r["cam"]
    return Frame(r["frame"], r["tick"], r["birds"], r["chars"], r["fog"], tuple(r["clear"]),
                 r["far"], cam[0], cam[1], (-cam[2], -cam[3], -cam[4]), tuple(r["bird0"]),
                 tuple(r["mean"]))


def _picture(p: Dict) -> Picture:
    rgba = base64.b64decode(p["data"])
    row = 4 * p["width"]
    top_down = b"".join(rgba[y:y + row] for y in range(len(rgba) - row, -1, -row))
    return Picture(p["width"], p["height"], top_down[0::4], top_down[1::4], top_down[2::4])


VIEWS = {"behind_bird0": behind_bird0, "follows_flock": follows_flock}


def misplaced(view: str, records: Sequence[Dict]) -> List[Dict]:
    """The frames whose camera is not where the view puts it."""
    return [r for r in records if not VIEWS[view](_frame(r))]


def turns(records: Sequence[Dict]) -> List[float]:
    return heading_steps([_frame(r) for r in records])


def chain(tick_times_ms: Sequence[float]) -> Dict:
    verdict = one_chain([t * 1e6 for t in tick_times_ms])
    return {"lead": verdict.lead, "limit": ONE_CHAIN_LEAD, "holds": verdict.holds()}


def heap(samples: Sequence[int], warm_up: int) -> Dict:
    """The memory contract on the program's heap in use, a KiB a trip at most."""
    verdict = memory_verdict([s / 1024 for s in samples], warm_up, limit_kib=1)
    return {"slopeKiB": verdict.slope_kib, "holds": verdict.holds()}


def whole_scene(picture: Dict, sky: Pixel) -> bool:
    """The scene, and ground in the lower half of the view: a frame whose every depth
    test failed shows the sky and the read-out alone."""
    p = _picture(picture)
    sky_below = p.share(lambda pixel: is_colour(pixel, sky), 0, p.height // 2)
    return shows_scene(p, sky) and sky_below < 0.5


def colour_share(picture: Dict, colour: Pixel, tolerance: int, *box: int) -> float:
    return _picture(picture).share(lambda pixel: is_colour(pixel, colour, tolerance), *box)


QUESTIONS = {"facts": facts, "misplaced": misplaced, "turns": turns, "chain": chain,
             "heap": heap, "whole_scene": whole_scene, "colour_share": colour_share}

if __name__ == "__main__":
    request = json.load(sys.stdin)
    json.dump(QUESTIONS[request["name"]](*request["args"]), sys.stdout)
