"""The probe's record (tests/probe/probe.cpp), read as it grows: counts of ticks and
frames, the log of events and of what every frame asked of GL; camera judgements."""

import math
import os
import re
from typing import Dict, List, NamedTuple, Optional, Sequence, Tuple

from .facts import CAMERA_BEHIND_BIRD, TICK_MS, f32
from .processes import env_path

class Counts(NamedTuple):
    ticks: int
    swaps: int
    first_swap_ns: int


class Event(NamedTuple):
    kind: str  # context, fog, chain, menu, key, reshape, terrain
    fields: Dict[str, str]
    tick: int  # ticks so far
    frame: int  # frames swapped so far


class Frame(NamedTuple):
    """What one frame asked of GL."""
    frame: int  # its number, from 1
    tick: int  # ticks before it
    bird_calls: int  # calls of the bird list: 40, or 80 with shadows
    characters: int  # read-out characters drawn
    fog: int
    clear: Tuple[float, ...]  # clear colour at the frame's colour clear
    far: float  # far plane of the projection
    yaw: float
    pitch: float
    eye: Tuple[float, float, float]  # the camera's place: minus the view translation
    bird0: Tuple[float, float, float, float]  # x, y, z, heading
    mean: Tuple[float, float, float]  # mean place of the birds drawn

    def settings(self) -> Tuple:
        """Everything the switches decide: shadows, read-out, fog, sky, far plane."""
        return (self.bird_calls, self.characters > 0, self.fog, self.clear, self.far)


def _numbers(text: str) -> Tuple[float, ...]:
    return tuple(f32(float(v)) for v in text.split(","))


def _frame(fields: Dict[str, str], tick: int, frame: int) -> Frame:
    cam = _numbers(fields["cam"])
    return Frame(frame, tick, int(fields["birds"]), int(fields["chars"]), int(fields["fog"]),
                 _numbers(fields["clear"]), float(fields["far"]), cam[0], cam[1],
                 (-cam[2], -cam[3], -cam[4]), _numbers(fields["bird0"]),
                 _numbers(fields["mean"]))


class MenuEntry(NamedTuple):
    label: str  # as the program last labelled it
    id: int  # what choosing it gives the program; for a submenu's entry, the submenu
    sub: bool  # the entry opens a submenu


class Menus(NamedTuple):
    main: List[MenuEntry]  # the main menu the program built last
    view: List[MenuEntry]  # its submenu


def built_menus(entries: Sequence[Event]) -> Menus:
    """The menus from the probe's "entry" events, each entry with its last label."""
    menus: Dict[int, Dict[int, MenuEntry]] = {}
    main = view = 0
    for e in entries:
        sub = "sub" in e.fields
        menu = int(e.fields["menu"])
        entry = MenuEntry(e.fields["label"].replace("_", " "),
                          int(e.fields["sub" if sub else "id"]), sub)
        menus.setdefault(menu, {})[int(e.fields["n"])] = entry
        main, view = (menu, entry.id) if sub else (main, view)
    listed = {m: [by_n[n] for n in sorted(by_n)] for m, by_n in menus.items()}
    return Menus(listed.get(main, []), listed.get(view, []))


def context_fog(event: Event) -> Dict[str, Tuple[float, ...]]:
    """A context's fog at its first frame, from a "fog" event."""
    return {name: _numbers(value) for name, value in event.fields.items()}


def behind_bird0(f: Frame) -> bool:
    """The camera sits 13 units behind bird 0, level with it, looking along its heading."""
    x, y, z, heading = f.bird0
    distance = math.hypot(f.eye[0] - x, f.eye[2] - z)
    return (f.eye[1] == y and abs(distance - CAMERA_BEHIND_BIRD) < 1e-3
            and f.yaw == (540 - heading) % 360)


def follows_flock(f: Frame) -> bool:
    """The camera sits level with the flock's mean height, behind its mean place and
    looking toward it, with no pitch."""
    dx, dz = f.mean[0] - f.eye[0], f.mean[2] - f.eye[2]
    if f.pitch != 0 or abs(f.eye[1] - f.mean[1]) > 0.01:
        return False
    if math.hypot(dx, dz) < 0.5:
        return True
    look = math.radians(f.yaw)
    along = dx * math.sin(look) - dz * math.cos(look)
    return along > 0 and abs(math.degrees(math.atan2(
        dx * math.cos(look) + dz * math.sin(look), along))) < 1.5


def heading_steps(frames: Sequence[Frame]) -> List[float]:
    """Bird 0's turn, degrees a tick, between successive frames of different ticks."""
    steps = []
    for a, b in zip(frames, frames[1:]):
        if b.tick > a.tick:
            turn = (b.bird0[3] - a.bird0[3] + 180) % 360 - 180
            steps.append(turn / (b.tick - a.tick))
    return steps


class Probe:
    """The probe's two files: the counts and the event log, read as they grow."""

    def __init__(self, workdir: str) -> None:
        self.counts_path = os.path.join(workdir, "probe-counts")
        self.log_path = os.path.join(workdir, "probe-log")
        self._offset = 0
        self._events: List[Event] = []
        self._frames: List[Frame] = []
        for path in (self.counts_path, self.log_path):
            open(path, "w").close()

    def env(self) -> Dict[str, str]:
        return {"LD_PRELOAD": env_path("AVIFOLD_PROBE_LIB"),
                "AVIFOLD_PROBE": self.counts_path, "AVIFOLD_PROBE_LOG": self.log_path}

    def counts(self) -> Counts:
        """Ticks, swaps and the first swap's time; zeros before any."""
        with open(self.counts_path) as f:
            values = dict(re.findall(r"(\w+)=(\d+)", f.read()))
        return Counts(*(int(values.get(k, 0)) for k in Counts._fields))

    def tick_times(self) -> List[int]:
        """CLOCK_MONOTONIC (ns) at the start of every tick so far."""
        return [int(e.fields["ns"]) for e in self.events("tick")]

    def events(self, kind: Optional[str] = None) -> List[Event]:
        with open(self.log_path) as f:
            f.seek(self._offset)
            text = f.read()
        complete = text[:text.rfind("\n") + 1]
        self._offset += len(complete.encode())
        for line in complete.splitlines():
            name, _, rest = line.partition(" ")
            fields = dict(part.split("=", 1) for part in rest.split())
            event = Event(name, fields, int(fields.pop("tick")), int(fields.pop("frame")))
            self._events.append(event)
            if name == "frame":
                self._frames.append(_frame(fields, event.tick, event.frame))
        return [e for e in self._events if kind is None or e.kind == kind]

    def frames(self) -> List[Frame]:
        """The recorded frames: every frame whose settings changed, the first after
        every tick and after every event."""
        self.events()
        return list(self._frames)


# Ticks one chain may run ahead of a steady tick every 33 ms: those it makes up after a
# stall (a quarter of a second's), and one for the grain of the clocks.
ONE_CHAIN_LEAD = 9


class ChainVerdict(NamedTuple):
    lead: float  # most ticks run ahead of one every 33 ms, over any stretch
    limit: int

    def holds(self) -> bool:
        return self.lead <= self.limit


def one_chain(times_ns: Sequence[int]) -> ChainVerdict:
    """Whether ticks (monotonic ns) are one chain's: over no stretch of the run do they
    get further ahead of one every 33 ms than one chain makes up. A second chain gains
    a tick every 33 ms."""
    lead, least = 0.0, math.inf
    for k, t in enumerate(times_ns):
        ahead = k - t / (TICK_MS * 1e6)  # grows by a tick for each tick early
        lead = max(lead, ahead - least)
        least = min(least, ahead)
    return ChainVerdict(lead, ONE_CHAIN_LEAD)


class TickRate(NamedTuple):
    ticks: int  # ticks that started in the stretch
    seconds: float  # its length, of monotonic time
    per_second: float


def tick_rate(times_ns: Sequence[int], start_ns: int, end_ns: int) -> TickRate:
    """The ticks that started in [start_ns, end_ns) of the monotonic clock."""
    ticks = sum(1 for t in times_ns if start_ns <= t < end_ns)
    seconds = (end_ns - start_ns) / 1e9
    return TickRate(ticks, seconds, ticks / seconds)


# After an event the chain keeps at least this share of the pace the same run showed
# just before it. A starved machine slows both stretches alike; a frozen chain (a tick in
# seconds) falls far below, and a spinning one (thousands a second) fails one_chain.
KEPT_PACE = 0.8


class PaceVerdict(NamedTuple):
    before: TickRate  # the control: the stretch just before the event
    after: TickRate
    chain: ChainVerdict  # of the ticks after the event

    def holds(self) -> bool:
        return self.after.per_second >= KEPT_PACE * self.before.per_second and self.chain.holds()
