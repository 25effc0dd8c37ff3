"""Runs a command under an Xvfb of its own, for the display tests:
    PYTHONPATH=tests python3 -m harness run -- COMMAND [ARGS...]"""

import sys

from .xserver import run_under_xvfb

if len(sys.argv) < 4 or sys.argv[1:3] != ["run", "--"]:
    sys.exit("usage: python3 -m harness run -- COMMAND [ARGS...]")
sys.exit(run_under_xvfb(sys.argv[3:]))
