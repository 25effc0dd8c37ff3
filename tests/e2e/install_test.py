"""Installed: `cmake --install` into a prefix of its own, then the launcher started from
another folder finds the images, passes GLUT its options and the program's exit status."""

import os
import subprocess

import harness as h


class Installed(h.Session):
    def setUp(self) -> None:
        self.start_server()
        prefix = os.path.join(self.workdir, "prefix")
        subprocess.run([h.env_path("AVIFOLD_CMAKE"), "--install", h.env_path("AVIFOLD_BUILD"),
                        "--prefix", prefix], check=True, capture_output=True)
        self.launcher = os.path.join(prefix, "bin", "avifold")
        # A folder without data/: only the launcher can lead the program to its images.
        self.elsewhere = os.path.join(self.workdir, "elsewhere")
        os.mkdir(self.elsewhere)

    def test_starts_from_another_folder_with_every_image_and_glut_options(self):
        app = self.start_app(command=[self.launcher, "-geometry", "+40+30"],
                             cwd=self.elsewhere, data=False)

        # The banner and nothing after it: no "ERROR LOADING FILE!!!" for any image.
        self.assertEqual(app.stdout(), h.BANNER)
        self.assertEqual(self.server.geometry(app.window), h.Geometry(40, 30, *h.WINDOW_SIZE))
        app.wait_for_picture(lambda p: h.shows_scene(p, h.GREY_PIXEL),
                             "the grey sky and the red read-out")

    def test_returns_the_programs_exit_status_whatever_the_callers_path(self):
        for path in (os.environ.get("PATH", ""), ""):
            with self.subTest(PATH=path):
                # GLUT gives up on a display it cannot open, with status 1.
                app = self.start_app(wait=False, command=[self.launcher, "-display", ":bogus"],
                                     cwd=self.elsewhere, data=False, probe=False,
                                     env={"PATH": path})
                self.assertEqual(app.wait_exit(), 1, app.stderr())
                self.assertIn("failed to open display", app.stderr())


if __name__ == "__main__":
    h.main()
