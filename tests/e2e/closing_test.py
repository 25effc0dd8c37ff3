"""Closing: the window manager's close button (WM_DELETE_WINDOW) ends the program
with status 0."""

import harness as h


class Closing(h.Session):
    def test_delete_window_message_ends_the_process_cleanly(self):
        self.start_server()
        app = self.start_app()
        self.server.run(h.env_path("AVIFOLD_SEND_DELETE"), app.window)
        status = app.wait_exit()
        self.assertEqual(status, 0, "exit status %d; stderr:\n%s" % (status, app.stderr()))


if __name__ == "__main__":
    h.main()
