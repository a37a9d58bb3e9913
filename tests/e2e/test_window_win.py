"""The Windows program's window under Wine and Xvfb, seen from outside through the UI probe:
what it shows first, how Enter, Escape and the close box act on it, and its message boxes.
Screenshots go to the build folder."""

import os
import subprocess
import tempfile

from zyntest import (BIN_DIR, INITIAL_STATUS, NO_STATE_FILE_PREFIX, NO_STATE_FILE_SUFFIX,
                     LaunchTestCase, WindowsLaunch, main, probe, wine_environment,
                     wineserver_restart)

CAPTION = "Tarvo Zyn Vantor VII"
SCREENSHOTS = os.path.join(BIN_DIR, "..", "screenshots")

# Wine draws frames and captions itself only inside a desktop window of its own; without one
# (no window manager on Xvfb) the screenshots would show bare client areas.
VIRTUAL_DESKTOP_ON = r"""REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\Explorer]
"Desktop"="Default"

[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]
"Default"="640x400"
"""
VIRTUAL_DESKTOP_OFF = r"""REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\Explorer]
"Desktop"=-

[-HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]
"""


def import_registry(text):
    with tempfile.NamedTemporaryFile("w", suffix=".reg", delete=False) as f:
        f.write(text.replace("\n", "\r\n"))
    try:
        subprocess.run(["wine", "regedit", "/S", "Z:" + f.name.replace("/", "\\")],
                       env=wine_environment(), stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=60)
    finally:
        os.unlink(f.name)


def screenshot(name):
    os.makedirs(SCREENSHOTS, exist_ok=True)
    path = os.path.join(SCREENSHOTS, name)
    subprocess.run(["import", "-window", "root", "-crop", "640x400+0+0", path],
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=30)
    return path


def read_window(timeout_ms=20000):
    """The probe's view of the launch window as a dict; {} when it found none."""
    rc, out = probe("read", CAPTION, str(timeout_ms), timeout=timeout_ms / 1000 + 10)
    if rc != 0:
        return {}
    return dict(line.split(" ", 1) for line in out.splitlines() if " " in line)


class LaunchWindow(LaunchTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        import_registry(VIRTUAL_DESKTOP_ON)
        # The desktop setting is read when Wine's session starts: start a new one.
        wineserver_restart()

    @classmethod
    def tearDownClass(cls):
        import_registry(VIRTUAL_DESKTOP_OFF)
        super().tearDownClass()

    def start(self, scratch, **kwargs):
        launch = WindowsLaunch(scratch, **kwargs)
        self.addCleanup(lambda: launch.proc.poll() is None and launch.proc.kill())
        return launch

    def test_window_opens_as_described_ignores_enter_and_escape_ends_it(self):
        scratch = self.scratch()
        # Local files only, so no message box interrupts the first stages.
        scratch.prepare_launch()
        launch = self.start(scratch)

        window = read_window()
        self.assertTrue(window, "no window captioned %r" % CAPTION)
        shot = screenshot("window_win.png")
        self.assertEqual((window["low"], window["high"]), ("0", "100"))
        # The picture fills its control across the whole window, whatever the dialog font
        # makes of the template's units.
        self.assertEqual(window["picture"].split("x")[0], window["client"].split("x")[0])
        # Timer 1 fires a second after the window opens and Wine is not always that quick:
        # a later stage's state is accepted when the trace shows it.
        if window["status"] == INITIAL_STATUS:
            self.assertEqual(window["pos"], "0")
        else:
            self.assertIn("status " + window["status"], scratch.trace_lines())
            self.assertIn("progress " + window["pos"], scratch.trace_lines())

        self.assertEqual(probe("enter", CAPTION)[0], 0)
        # The window must still be there for Escape to find it.
        self.assertEqual(probe("escape", CAPTION)[0], 0, "Enter closed the window")
        result = launch.wait(timeout=20, answer_messages=False)
        self.assertEqual(result.returncode, 2)
        self.assertEqual(result.lines[0], "status " + INITIAL_STATUS)
        self.assertTrue(os.path.getsize(shot) > 0)

    def test_close_box_ends_the_window_as_escape_does(self):
        scratch = self.scratch()
        scratch.prepare_launch()
        launch = self.start(scratch)
        self.assertEqual(probe("wait", CAPTION, "20000", timeout=30)[0], 0)
        self.assertEqual(probe("close", CAPTION)[0], 0)
        self.assertEqual(launch.wait(timeout=20, answer_messages=False).returncode, 2)

    def test_message_box_carries_the_running_file_name_and_ends_the_launch(self):
        scratch = self.scratch()
        # No system state file: the first stage's fatal message.
        launch = self.start(scratch, name="zynLaunchTemp.exe")
        rc, text = probe("answer", "zynLaunchTemp", "20000", timeout=30)
        self.assertEqual(rc, 0, "no message box captioned zynLaunchTemp")
        text = text.rstrip("\n")
        self.assertTrue(text.startswith(NO_STATE_FILE_PREFIX), text)
        self.assertTrue(text.endswith(NO_STATE_FILE_SUFFIX), text)
        result = launch.wait(timeout=20, answer_messages=False)
        self.assertEqual(result.returncode, 1)
        self.assertEqual(result.messages(), [text])


if __name__ == "__main__":
    main()
