"""The Windows build under Wine: a fresh prefix on the harness's X server, and its end."""

import shutil
import subprocess
import unittest
from typing import Dict

from .processes import START_TIMEOUT
from .xserver import XServer

def wine_environment(server: XServer, prefix: str) -> Dict[str, str]:
    """Makes a fresh Wine prefix for the server and returns the environment that runs
    Windows programs in it: Wine's missing-DLL errors shown (with every message hidden,
    a missing DLL ends a program silently), no offer to install .NET or a browser, and
    windows that Wine frames itself, since no window manager runs (a window left to
    one stalls the main loop for seconds at each menu close)."""
    if shutil.which("wine") is None:
        raise unittest.SkipTest("Wine is not installed")
    env = dict(server.env, WINEPREFIX=prefix, WINEDEBUG="-all,err+module",
               WINEDLLOVERRIDES="mscoree,mshtml=")
    for command in (["wineboot", "-i"],
                    ["wine", "reg", "add", "HKCU\\Software\\Wine\\X11 Driver", "/v",
                     "Managed", "/d", "N", "/f"]):
        subprocess.run(command, env=env, check=True, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL,
                       timeout=START_TIMEOUT * 2)
    return env


def stop_wine(env: Dict[str, str]) -> None:
    """Ends every Windows process of the prefix, and its wineserver."""
    subprocess.run(["wineserver", "-k"], env=env, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)
    subprocess.run(["wineserver", "-w"], env=env, timeout=START_TIMEOUT)
