"""The one way to drive the real Avifold program; nothing else starts an X server or
reads the probe. A module a job: facts, processes, xserver, pictures, probe, app, wine,
memory, session, and web, which answers the browser tests' questions.
`python3 -m harness run -- COMMAND` runs a command under an Xvfb."""

from .app import App, WallClock, link_data
from .facts import (BANNER, BLUE_PIXEL, CLEAR_BLUE, CLEAR_FAR, CONTEXT_FOG, DATA_FILES, FLOCK,
                    FOG_FAR, FOG_GREY, GREY_PIXEL, MAIN_MENU, SCREEN_SIZE, START_SETTINGS,
                    TICK_MS, TOP_TURN_RATE, TURN_SETTLE_TICKS, VIEW_MENU, WINDOW_SIZE,
                    WINDOW_TITLE)
from .memory import memory_verdict
from .pictures import Geometry, shows_scene, shows_sky
from .probe import behind_bird0, context_fog, follows_flock, heading_steps, one_chain
from .processes import START_TIMEOUT, env_path, use_build
from .session import Session, main
from .xserver import Grabs, XServer
