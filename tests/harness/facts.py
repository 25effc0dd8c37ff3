"""What the program is expected to show, in one place, for the browser tests too: the
banner, the window, the menu and its ids, colours, camera, and each context's fog."""

import struct
from typing import Dict, Tuple


def f32(value: float) -> float:
    """A number as GL holds it, in single precision."""
    return struct.unpack("f", struct.pack("f", value))[0]


SCREEN_SIZE = (1024, 768)
WINDOW_TITLE = "Avifold"
WINDOW_SIZE = (640, 480)
DATA_FILES = ("ground512.raw", "cloud0.raw", "good1.raw", "water0.raw", "water1.raw",
              "tree0.raw", "tree1.raw")

# The context menu as the program first builds it, entry by entry as GLUT numbers them.
# A toggle's "+" label switches the setting off and becomes "-".
MAIN_MENU = ("View", "----------", "+ Fog", "+ Shadows", "+ FPS", "+ Bumps and Hills",
             "----------", "Full Screen Mode")
VIEW_MENU = ("Bird Control", "Smart Follow")
MENU_WINDOW = "freeglut menu"
MENU_BORDER = 2  # pixels above a freeglut menu's first entry
MENU_ENTRY_HEIGHT = 25
WINE_MENU_ENTRY_HEIGHT = 16  # freeglut's Windows build draws its menus in a smaller font

# Clear colours as they reach GL and as the screen shows them.
FOG_GREY = tuple(map(f32, (0.7, 0.7, 0.7, 0.7)))
CLEAR_BLUE = tuple(map(f32, (0.2, 0.2, 1.0, 0.7)))
FOG_FAR, CLEAR_FAR = 300.0, 1000.0
GREY_PIXEL = (178, 178, 178)
BLUE_PIXEL = (51, 51, 255)

# The fog every context is given once, as the probe records its glFogf/glFogfv calls
# (the mode as its GL enum, GL_LINEAR).
CONTEXT_FOG: Dict[str, Tuple[float, ...]] = {
    "start": (100.0,), "end": (FOG_FAR,), "density": (f32(0.35),), "mode": (float(0x2601),),
    "colour": tuple(map(f32, (0.7, 0.7, 0.7, 1.0)))}

FLOCK = 40
BANNER = (
    b"---- Avifold ---- \n"
    b"By the Avifold developers\n"
    b"Birds, hills and water: the Avifold developers\n"
    b"\n\n"
    b"Use the arrow keys to control your boid.\n"
    b"The right mouse button brings up a context menu."
    b"\n\n"
    b"*** NOTE: 3D OpenGL Accelerated video card highly recomended!!!\n\n"
)
CAMERA_BEHIND_BIRD = 13.0  # units behind bird 0 in Bird Control
TOP_TURN_RATE = 3  # degrees a tick while an arrow is held
TURN_SETTLE_TICKS = 13  # from full turn one way to full turn the other at 0.5 a tick

# The settings at start: shadows, the read-out, fog with its grey sky and near far plane.
START_SETTINGS = (2 * FLOCK, True, 1, FOG_GREY, FOG_FAR)
TICK_MS = 33  # the simulation's tick
