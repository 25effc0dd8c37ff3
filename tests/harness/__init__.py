"""The one way to drive the real Avifold program; nothing else starts an X server or
reads the probe. A module a job: facts, processes, xserver, pictures, probe, app, wine,
memory, session, and web, which answers the browser tests' questions.
`python3 -m harness run -- COMMAND` runs a command under an Xvfb."""

from .app import App, WallClock, link_data
from .facts import (BANNER, BLUE_PIXEL, CAMERA_BEHIND_BIRD, CLEAR_BLUE, CLEAR_FAR, CONTEXT_FOG,
                    DATA_FILES, FLOCK, FOG_FAR, FOG_GREY, GREY_PIXEL, MAIN_MENU, MENU_IDS,
                    SCREEN_SIZE, START_SETTINGS, TICK_MS, TOP_TURN_RATE, TURN_SETTLE_TICKS,
                    VIEW_MENU, WINDOW_SIZE, WINDOW_TITLE, f32)
from .memory import MemoryVerdict, memory_verdict
from .pictures import Geometry, Picture, shows_scene, shows_sky
from .probe import (ONE_CHAIN_LEAD, ChainVerdict, Counts, Event, Frame, Probe, TickRate,
                    behind_bird0, context_fog, follows_flock, heading_steps, one_chain,
                    tick_rate)
from .processes import (EFFECT_TIMEOUT, POLL_STEP, SKIPPED, START_TIMEOUT, env_path, use_build,
                        wait_for)
from .session import Session, main
from .xserver import Grabs, XServer, run_under_xvfb
