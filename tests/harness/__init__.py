"""The one way to drive the real Avifold program. Every end-to-end scenario, the soak, the
benchmark runner and the screenshot script go through this package; nothing else starts
an X server or reads the probe's output. One module a job:

  facts      what the program is expected to show: banner, window, menu, colours, camera
  processes  where the programs are, the harness's processes, waits with deadlines
  xserver    X servers of its own (Xvfb, or Xorg with the dummy driver) and their clients
  pictures   screen captures, for what only pixels show
  probe      the probe's record of what the program asked of GL (tests/probe/probe.cpp)
  app        the program: started, found, given input and menu choices, full screen
  wine       the Windows build under Wine
  memory     the memory contract
  session    the scenarios' test case and runner

What the program decides is read exactly from the probe's record; pictures only for
what only pixels show. The programs under test come from the environment, which CTest
sets (AVIFOLD_APP, AVIFOLD_PROBE_LIB, AVIFOLD_DATA); a scenario run without them is
skipped. `python3 -m harness run -- COMMAND` runs a command under an Xvfb of its own.
"""

from .app import App, link_data
from .facts import (BANNER, BLUE_PIXEL, CAMERA_BEHIND_BIRD, CLEAR_BLUE, CLEAR_FAR,
                    CONTEXT_FOG, DATA_FILES, FLOCK, FOG_FAR, FOG_GREY, GREY_PIXEL, MAIN_MENU,
                    MENU_IDS, SCREEN_SIZE, START_SETTINGS, TOP_TURN_RATE, TURN_SETTLE_TICKS,
                    VIEW_MENU, WINDOW_SIZE, WINDOW_TITLE, f32)
from .memory import MemoryVerdict, memory_verdict
from .pictures import Geometry, Picture, shows_scene, shows_sky
from .probe import (Counts, Event, Frame, Probe, behind_bird0, context_fog, follows_flock,
                    heading_steps)
from .processes import (EFFECT_TIMEOUT, POLL_STEP, SKIPPED, START_TIMEOUT, env_path,
                        use_build, wait_for)
from .session import Session, main
from .xserver import XServer, run_under_xvfb
