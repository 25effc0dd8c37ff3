"""The Debian package: the files it installs, and the libraries its Depends line names."""

import os
import re
import subprocess
import tempfile
import unittest

import harness as h

CPACK = os.environ.get("AVIFOLD_CPACK", "cpack")

PROGRAM_FILES = {
    "usr/games/avifold": "-rwxr-xr-x",
    "usr/libexec/avifold/avifold": "-rwxr-xr-x",
    "usr/share/applications/avifold.desktop": "-rw-r--r--",
    "usr/share/icons/hicolor/64x64/apps/avifold.png": "-rw-r--r--",
    "usr/share/man/man6/avifold.6.gz": "-rw-r--r--",
    "usr/share/doc/avifold/copyright": "-rw-r--r--",
    "usr/share/doc/avifold/changelog.gz": "-rw-r--r--",
}


def run(*command: str) -> str:
    return subprocess.run(command, check=True, capture_output=True, text=True).stdout


class DebianPackage(unittest.TestCase):
    @classmethod
    def setUpClass(cls) -> None:
        # The package goes to a folder of its own, so the build folder's package is left alone.
        cls.build, cls.version = h.env_path("AVIFOLD_BUILD"), h.env_path("AVIFOLD_VERSION")
        cls.folder = tempfile.TemporaryDirectory(prefix="avifold-package-")
        run(CPACK, "-G", "DEB", "--config", os.path.join(cls.build, "CPackConfig.cmake"),
            "-B", cls.folder.name)
        architecture = run("dpkg", "--print-architecture").strip()
        cls.deb = os.path.join(cls.folder.name, f"avifold_{cls.version}_{architecture}.deb")

    @classmethod
    def tearDownClass(cls) -> None:
        cls.folder.cleanup()

    def test_installs_the_launcher_the_program_its_images_and_its_desktop_files(self):
        files = {}
        for line in run("dpkg-deb", "-c", self.deb).splitlines():
            mode, owner, _size, _day, _time, path = line.split(maxsplit=5)
            self.assertEqual(owner, "root/root", path)
            if not mode.startswith("d"):
                files[path.removeprefix("./")] = mode

        images = {f"usr/share/avifold/data/{name}": "-rw-r--r--"
                  for name in os.listdir(h.env_path("AVIFOLD_DATA")) if name.endswith(".raw")}
        self.assertEqual(len(images), 7)
        self.assertEqual(files, PROGRAM_FILES | images)

    def test_names_itself_and_depends_on_the_libraries_the_program_links(self):
        fields = run("dpkg-deb", "-f", self.deb, "Package", "Version", "Section", "Depends")
        control = dict(line.split(": ", 1) for line in fields.splitlines())
        self.assertEqual(control["Package"], "avifold")
        self.assertEqual(control["Version"], self.version)
        self.assertEqual(control["Section"], "games")
        self.assertIn("Depends", control, "no Depends line: the libraries were not looked up")

        # dpkg-shlibdeps names the packages of the shared libraries, some with alternatives.
        names = re.findall(r"([a-z0-9][a-z0-9.+-]+)(?: \([^)]*\))?", control["Depends"])
        for library in (r"libc6", r"libstdc\+\+6", r"libglut3\.\d+", r"libglu1(-mesa)?"):
            self.assertTrue(any(re.fullmatch(library, name) for name in names),
                            f"{library} missing from Depends: {control['Depends']}")


if __name__ == "__main__":
    h.main()
