"""Closing: the window manager's close button (WM_DELETE_WINDOW) ends the program
with status 0."""

import subprocess

import avifold_e2e as e


class Closing(e.Session):
    def test_delete_window_message_ends_the_process_cleanly(self):
        self.start_server()
        app = self.start_app()
        subprocess.run([e.env_path("AVIFOLD_SEND_DELETE"), str(app.window)],
                       env=self.server.env, check=True)
        status = app.process.wait(e.STARTUP_TIMEOUT)
        self.assertEqual(status, 0, "exit status %d; stderr:\n%s" % (status, app.stderr()))


if __name__ == "__main__":
    e.main()
