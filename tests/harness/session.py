"""The scenarios' test case, with a server, a folder and programs of its own, and their
runner."""

import os
import shutil
import sys
import tempfile
import unittest
from typing import Any, Callable, List, Optional

from .app import App
from .facts import WINE_MENU_ENTRY_HEIGHT
from .processes import SKIPPED
from .wine import stop_wine, wine_environment
from .xserver import XServer


class Session(unittest.TestCase):
    """A test case with an X server and a scratch folder of its own, both gone after."""

    def run(self, result: Optional[unittest.TestResult] = None) -> Optional[unittest.TestResult]:
        """Runs the test in a scratch folder; when it failed, writes what its programs
        said (read from the folder, which outlives the cleanups until then)."""
        result = result if result is not None else self.defaultTestResult()
        problems = len(result.failures) + len(result.errors)
        self.reports: List[Callable[[], str]] = []
        with tempfile.TemporaryDirectory(prefix="avifold-e2e-",
                                         ignore_cleanup_errors=True) as self.workdir:
            super().run(result)
            if len(result.failures) + len(result.errors) > problems:
                sys.stderr.write("".join(report() for report in self.reports))
        return result

    def start_server(self, kind: str = "xvfb") -> XServer:
        self.server = XServer(self.workdir, kind)
        self.addCleanup(self.server.stop)
        self.reports.append(lambda: "--- X server log ---\n%s\n" % self.server.log())
        return self.server

    def start_app(self, wait: bool = True, **options: Any) -> App:
        """Starts the program (App's options); with wait, until its window draws."""
        app = self._track(App(self.server, self.workdir, **options))
        if wait:
            app.wait_for_window()
            app.wait_for_swaps()
        return app

    def start_wine_app(self, zip_path: str) -> App:
        """Unpacks the Windows zip and starts its avifold.exe under Wine, from the
        unpacked folder, without the probe; waits for its window. freeglut reads
        DISPLAY on Windows too, and Wine would pass the X display through: cleared,
        full-screen mode opens as it would on Windows."""
        folder = os.path.join(self.workdir, "avifold-windows")
        shutil.unpack_archive(zip_path, folder)
        env = wine_environment(self.server, os.path.join(self.workdir, "wine"))
        self.addCleanup(stop_wine, env)
        command = ["wine", "cmd", "/c", "set DISPLAY=&& avifold.exe"]
        app = self._track(App(self.server, self.workdir, cwd=folder, data=False, probe=False,
                              env=env, command=command))
        app.framed = True
        app.menu_entry_height = WINE_MENU_ENTRY_HEIGHT
        app.wait_for_window()
        return app

    def _track(self, app: App) -> App:
        """Stops the program after the test, and reports its console if the test failed."""
        self.addCleanup(app.stop)
        self.reports.append(lambda: "--- avifold stderr ---\n%s\n" % app.stderr())
        return app


def main() -> None:
    """Runs a scenario file's test cases; when every case was skipped (its server cannot
    run here, or it runs outside CTest) exits with SKIPPED."""
    result = unittest.main(verbosity=2, exit=False).result
    if not result.wasSuccessful():
        sys.exit(1)
    # A skip in setUpClass skips the class without running (counting) its cases.
    if result.skipped and len(result.skipped) >= result.testsRun:
        sys.exit(SKIPPED)
    sys.exit(0)
