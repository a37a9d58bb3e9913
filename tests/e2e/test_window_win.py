"""The Windows program's window under Wine and Xvfb, seen from outside through the UI probe:
where it opens and what it shows first (the picture compared pixel by pixel with its bitmap),
how Enter, Escape and the close box act on it, a second launcher in its folder, and its message
boxes, captioned with the running program's name. The screenshot stays in the build folder."""

import contextlib
import os
import struct
import subprocess
import time

from zyntest import (BIN_DIR, ENGINE_RUNNING, INITIAL_STATUS, NO_STATE_FILE_PREFIX,
                     NO_STATE_FILE_SUFFIX, WINDOW_CAPTION, LaunchTestCase, WindowsLaunch,
                     hold_udp_port, main, probe, wait_until, wine_environment,
                     wineserver_restart)

SCREENSHOT = os.path.join(BIN_DIR, "..", "screenshots", "window_win.ppm")
ART = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "src", "res", "art")


def reg(*args):
    subprocess.run(["wine", "reg"] + list(args) + ["/f"], env=wine_environment(),
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)


def read_window():
    """The probe's view of the launch window as a dict; {} when it found none."""
    rc, out = probe("read", WINDOW_CAPTION, "20000")
    return dict(line.split(" ", 1) for line in out.splitlines() if " " in line) if rc == 0 else {}


def bitmap_pixels(path):
    """(width, height, pixel(x, y) as (r, g, b)) of a 24-bit bottom-up BMP file."""
    with open(path, "rb") as f:
        data = f.read()
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height = struct.unpack_from("<ii", data, 18)
    stride = (width * 3 + 3) & ~3
    return width, height, lambda x, y: tuple(
        data[offset + (height - 1 - y) * stride + 3 * x + 2 - i] for i in range(3))


def screen_pixels():
    """The virtual desktop's pixel(x, y) as (r, g, b), from a screenshot in binary PPM."""
    os.makedirs(os.path.dirname(SCREENSHOT), exist_ok=True)
    subprocess.run(["import", "-window", "root", "-crop", "640x400+0+0", "-depth", "8",
                    SCREENSHOT], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                   timeout=60)
    with open(SCREENSHOT, "rb") as f:
        data = f.read()
    start = len(data) - 640 * 400 * 3  # past the text header
    return lambda x, y: tuple(data[start + 3 * (640 * y + x) + i] for i in range(3))


def distance(colour, other):
    return max(abs(a - b) for a, b in zip(colour, other))


def picture_mismatches(window):
    """Where the window's picture differs from the start bitmap stretched to the control, at
    points whose neighbourhood in the bitmap has one colour (so that scaling cannot blur them);
    and how many of those points tell it from the other picture."""
    width, height, expected = bitmap_pixels(os.path.join(ART, "picture_start.bmp"))
    other = bitmap_pixels(os.path.join(ART, "picture_found.bmp"))[2]
    w, h = map(int, window["picture"].split("x"))
    x0, y0 = map(int, window["picture_at"].split())
    seen = screen_pixels()
    mismatches, telling = [], 0
    for bx in range(3, width - 3, 9):
        for by in range(3, height - 3, 7):
            colour = expected(bx, by)
            if any(distance(colour, expected(bx + dx, by + dy)) > 4
                   for dx in range(-3, 4) for dy in range(-3, 4)):
                continue
            telling += distance(colour, other(bx, by)) > 40
            pixel = seen(x0 + (2 * bx + 1) * w // (2 * width),
                         y0 + (2 * by + 1) * h // (2 * height))
            if distance(colour, pixel) > 24:
                mismatches.append((bx, by, colour, pixel))
    return mismatches, telling


class LaunchWindow(LaunchTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        # Wine draws frames and captions itself only inside a desktop window of its own;
        # without one (no window manager on Xvfb) the screenshot would show bare client areas.
        # The setting is read when Wine's session starts: start a new one.
        reg("add", r"HKCU\Software\Wine\Explorer", "/v", "Desktop", "/d", "Default")
        reg("add", r"HKCU\Software\Wine\Explorer\Desktops", "/v", "Default", "/d", "640x400")
        wineserver_restart()

    @classmethod
    def tearDownClass(cls):
        reg("delete", r"HKCU\Software\Wine\Explorer", "/v", "Desktop")
        reg("delete", r"HKCU\Software\Wine\Explorer\Desktops")
        super().tearDownClass()

    def start(self, scratch, **kwargs):
        launch = WindowsLaunch(scratch, **kwargs)
        self.addCleanup(lambda: launch.proc.poll() is None and launch.proc.kill())
        # The trace begins when the dialog is made: the probe's own wait starts from there.
        self.assertTrue(launch.wait_for_line("status " + INITIAL_STATUS) or
                        launch.proc.poll() is not None)
        return launch

    def test_window_opens_as_described_ignores_enter_and_escape_ends_it(self):
        scratch = self.scratch()
        scratch.prepare_launch()  # local files only: no message box interrupts the stages
        launch = self.start(scratch)
        window = read_window()
        self.assertTrue(window, "no window captioned %r" % WINDOW_CAPTION)
        self.assertEqual((window["low"], window["high"]), ("0", "100"))
        # In the middle of the screen's work area, as the message boxes are.
        left, top, right, bottom = map(int, window["frame"].split())
        area_left, area_top, area_right, area_bottom = map(int, window["work_area"].split())
        self.assertLessEqual(abs((left - area_left) - (area_right - right)), 1, window)
        self.assertLessEqual(abs((top - area_top) - (area_bottom - bottom)), 1, window)
        # The picture fills its control across the whole window, whatever the dialog font
        # makes of the template's units.
        self.assertEqual(window["picture"].split("x")[0], window["client"].split("x")[0])
        # Timer 1 fires a second after the window opens and Wine is not always that quick:
        # a later stage's state is accepted when the trace shows it. The probe reads the
        # status before the bar, so a stage may move the bar between the two reads.
        if window["status"] != INITIAL_STATUS:
            self.assertIn("status " + window["status"], scratch.trace_lines())
        if window["pos"] != "0":
            self.assertIn("progress " + window["pos"], scratch.trace_lines())
        # Painting may lag behind the window's creation on a loaded machine.
        deadline = time.monotonic() + 20
        while picture_mismatches(window)[0] and time.monotonic() < deadline:
            time.sleep(0.5)
        mismatches, telling = picture_mismatches(window)
        self.assertEqual(mismatches, [])
        self.assertGreater(telling, 10)  # places where the other picture differs

        self.assertEqual(probe("enter", WINDOW_CAPTION)[0], 0)
        # The window must still be there for Escape to find it.
        self.assertEqual(probe("escape", WINDOW_CAPTION)[0], 0, "Enter closed the window")
        result = launch.wait(answer_messages=False)
        self.assertEqual(result.returncode, 2)
        self.assertEqual(result.lines[0], "status " + INITIAL_STATUS)

    def test_close_box_ends_the_window_as_escape_does(self):
        scratch = self.scratch()
        scratch.prepare_launch()
        launch = self.start(scratch)
        self.assertEqual(probe("wait", WINDOW_CAPTION, "20000")[0], 0)
        self.assertEqual(probe("close", WINDOW_CAPTION)[0], 0)
        self.assertEqual(launch.wait(answer_messages=False).returncode, 2)

    def test_a_second_launcher_brings_the_first_forward_and_a_kill_frees_the_folder(self):
        scratch = self.scratch()
        scratch.prepare_launch()
        with hold_udp_port(34522):  # the first launch waits in its engine guard's message
            first = self.start(scratch)
            self.assertTrue(first.wait_for_line("message " + ENGINE_RUNNING))
            self.assertEqual(probe("minimise", WINDOW_CAPTION)[0], 0)
            self.assertTrue(wait_until(lambda: read_window().get("front") == "0", 20))
            lines = scratch.trace_lines()
            second = WindowsLaunch(scratch).wait(answer_messages=False)
            self.assertEqual(second.returncode, 1)
            self.assertEqual(second.lines, lines)  # no window of its own
            self.assertTrue(wait_until(lambda: read_window().get("front") == "1", 20))
        first.proc.kill()  # as a kill -9: the folder must not stay locked
        first.proc.wait()
        self.assertEqual(WindowsLaunch(scratch).wait().returncode, 0)
        self.assertEqual([s.name for s in scratch.stub_starts(expected=2)],
                         ["zynEngine.exe", "zynUI.exe"])

    def test_message_boxes_carry_the_running_file_name_and_end_the_launch(self):
        for name, port_held in (("zynLaunchTemp.exe", False), ("zynLaunch.exe", True)):
            with self.subTest(name):
                scratch = self.scratch()
                # The engine guard's message, or without a system state file the first stage's.
                if port_held:
                    scratch.prepare_launch()
                else:
                    scratch.install_components()
                with hold_udp_port(34522) if port_held else contextlib.nullcontext():
                    result = self.start(scratch, name=name).wait(caption=name[:-len(".exe")])
                self.assertEqual(result.returncode, 1)
                # What the box itself shows, read from the window by the probe.
                self.assertEqual(result.box_texts, result.messages())
                (message,) = result.messages()
                if port_held:
                    self.assertEqual(message, ENGINE_RUNNING)
                else:
                    self.assertTrue(message.startswith(NO_STATE_FILE_PREFIX), message)
                    self.assertTrue(message.endswith(NO_STATE_FILE_SUFFIX), message)
                self.assertEqual(scratch.stub_starts(timeout=10), [])


if __name__ == "__main__":
    main()
