"""The Windows program under Wine: its window (Xvfb, the UI probe; the screenshot stays in the
build folder), message boxes captioned with the running file's name, a second launcher in its
folder, and the version texts that Windows' own calls read, the same as the Linux reader's."""

import os
import socket
import struct
import subprocess

from zyntest import (BIN_DIR, ENGINE_RUNNING, INITIAL_STATUS, NO_STATE_FILE, WINDOW_CAPTION,
                     Launch, LaunchTestCase, Scratch, main, probe, program, read, read_window,
                     wait_until, wine_env, wine_reg, wineserver_restart, write)

SCREENSHOT = os.path.join(BIN_DIR, "..", "screenshots", "window_win.ppm")
ART = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "src", "res", "art")
DESKTOP = r"HKCU\Software\Wine\Explorer"
# file: the version text read, as zynVersion prints it
EXPECTED = dict(dict.fromkeys(["versionSample-other_name.exe", "probe.exe", "cut-headers.exe",
                               "cut-mid-resources.exe", "cut-resources-less-1.exe", "text.txt",
                               "empty.dll", "mz-only.exe"], "none"), **{
    "zynStub.exe": "=7, 0, 2, 5", "zynStub-7.0.2.6.exe": "=7.0.2.6",
    "zynStub-8.1.0.0.exe": "=8, 1, 0, 0", "zynLaunch.exe": "=1.0.0.0",
    "zynLaunchOld.exe": "=0.9.0.0", "versionSample-german_first.exe": "=7, 0, 2, 7",
    "versionSample-long_text.exe": "=1.2.3.4 " + ("0123456789" * 12)[:119],
    "cut-resources-whole.exe": "=7, 0, 2, 5"})


def resource_section(data):
    """(file offset, raw size) of a PE file's ".rsrc" section."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    count, optional_size = struct.unpack_from("<H", data, pe + 6)[0], struct.unpack_from(
        "<H", data, pe + 20)[0]
    entries = [pe + 24 + optional_size + 40 * i for i in range(count)]
    (entry,) = [e for e in entries if data[e:e + 8].rstrip(b"\0") == b".rsrc"]
    raw_size, raw = struct.unpack_from("<II", data, entry + 16)
    return raw, raw_size


def bitmap_pixels(name):
    """(width, height, pixel(x, y) as (r, g, b)) of a 24-bit bottom-up BMP file of the art."""
    data = read(os.path.join(ART, name))
    offset, (width, height) = struct.unpack_from("<I", data, 10)[0], struct.unpack_from(
        "<ii", data, 18)
    stride = (width * 3 + 3) & ~3
    return width, height, lambda x, y: tuple(
        data[offset + (height - 1 - y) * stride + 3 * x + 2 - i] for i in range(3))


def picture_mismatches(window):
    """Where the window's picture differs from the start bitmap stretched to it, at points of
    one-coloured neighbourhoods (that scaling cannot blur); how many tell it from the other."""
    def distance(colour, other):
        return max(abs(a - b) for a, b in zip(colour, other))
    width, height, expected = bitmap_pixels("picture_start.bmp")
    other = bitmap_pixels("picture_found.bmp")[2]
    w, h = map(int, window["picture"].split("x"))
    x0, y0 = map(int, window["picture_at"].split())
    os.makedirs(os.path.dirname(SCREENSHOT), exist_ok=True)
    subprocess.run(["import", "-window", "root", "-crop", "640x400+0+0", "-depth", "8",
                    SCREENSHOT], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
    screen = read(SCREENSHOT)[-640 * 400 * 3:]  # past the text header of a binary PPM
    mismatches, telling = [], 0
    for bx in range(3, width - 3, 9):
        for by in range(3, height - 3, 7):
            colour = expected(bx, by)
            if any(distance(colour, expected(bx + dx, by + dy)) > 4
                   for dx in range(-3, 4) for dy in range(-3, 4)):
                continue
            telling += distance(colour, other(bx, by)) > 40
            x, y = x0 + (2 * bx + 1) * w // (2 * width), y0 + (2 * by + 1) * h // (2 * height)
            pixel = tuple(screen[3 * (640 * y + x):3 * (640 * y + x) + 3])
            if distance(colour, pixel) > 24:
                mismatches.append((bx, by, colour, pixel))
    return mismatches, telling


class LaunchWindow(LaunchTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        # Wine draws frames and captions itself only inside a desktop window of its own (Xvfb
        # has no window manager); the setting is read when Wine's session starts.
        wine_reg("add", DESKTOP, "/v", "Desktop", "/d", "Default")
        wine_reg("add", DESKTOP + r"\Desktops", "/v", "Default", "/d", "640x400")
        wineserver_restart()

    @classmethod
    def tearDownClass(cls):
        wine_reg("delete", DESKTOP, "/v", "Desktop")
        wine_reg("delete", DESKTOP + r"\Desktops")
        super().tearDownClass()

    def start(self, scratch, **kwargs):
        launch = Launch(scratch, **kwargs)
        self.addCleanup(lambda: launch.proc.poll() is None and launch.proc.kill())
        # The trace begins when the dialog is made: the probe's own wait starts from there.
        launch.wait_for_line("status " + INITIAL_STATUS)
        return launch

    def test_window_opens_as_described_ignores_enter_and_its_close_box_ends_it(self):
        scratch = Scratch(self.addCleanup)
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
        # The picture fills the window's width, whatever the font makes of dialog units.
        self.assertEqual(window["picture"].split("x")[0], window["client"].split("x")[0])
        # A later stage when the trace has it: Wine may open it after timer 1's second.
        self.assertIn("status " + window["status"], scratch.trace_lines())
        self.assertIn("progress " + window["pos"], ["progress 0"] + scratch.trace_lines())
        # Painting may lag behind the window's creation on a loaded machine.
        wait_until(lambda: not picture_mismatches(window)[0], 20)
        mismatches, telling = picture_mismatches(window)
        self.assertEqual(mismatches, [])
        self.assertGreater(telling, 10)  # places where the other picture differs

        self.assertEqual(probe("enter", WINDOW_CAPTION)[0], 0)
        # Still there for its close box, which ends it as Escape does (test_network's cancel).
        self.assertEqual(probe("close", WINDOW_CAPTION)[0], 0, "Enter closed the window")
        result = launch.wait(answer_boxes=False)
        self.assertEqual((result.returncode, result.lines[0]), (2, "status " + INITIAL_STATUS))

    def test_a_second_launcher_brings_the_first_forward_and_a_kill_frees_the_folder(self):
        scratch = Scratch(self.addCleanup)
        scratch.prepare_launch()
        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as engine:
            engine.bind(("0.0.0.0", 34522))  # the first launch waits in its guard's message
            first = self.start(scratch)
            self.assertTrue(first.wait_for_line("message " + ENGINE_RUNNING))
            self.assertEqual(probe("minimise", WINDOW_CAPTION)[0], 0)
            self.assertTrue(wait_until(lambda: read_window().get("front") == "0", 20))
            lines = scratch.trace_lines()
            second = Launch(scratch, program=None).wait(answer_boxes=False)
            self.assertEqual((second.returncode, second.lines), (1, lines))  # no window of its own
            self.assertTrue(wait_until(lambda: read_window().get("front") == "1", 20))
        first.proc.kill()  # as a kill -9: the folder must not stay locked
        first.proc.wait()
        self.assertEqual(Launch(scratch, program=None).wait().returncode, 0)
        self.assertEqual(scratch.started(), ["zynEngine.exe", "zynUI.exe"])

    def test_a_message_box_carries_the_running_file_name_and_ends_the_launch(self):
        scratch = Scratch(self.addCleanup)
        scratch.prepare_launch()
        os.remove(scratch.path("zynSystemConfig.txt"))  # the first stage's message
        result = self.start(scratch, name="zynLaunchTemp.exe").wait(caption="zynLaunchTemp")
        # What the box itself shows, as the probe reads it (as zynLaunch: test_network's boxes).
        self.assertEqual((result.returncode, result.box_texts), (1, result.messages()))
        (message,) = result.messages()
        self.assertTrue(message.startswith(NO_STATE_FILE) and message.endswith(" for help."))
        self.assertEqual(scratch.stub_starts(), [])

    def test_both_programs_read_the_first_translations_file_version_cut_to_127_characters(self):
        native_tool = os.path.join(os.environ.get("ZYN_NATIVE_BIN_DIR", ""), "zynVersion")
        self.assertTrue(os.path.exists(native_tool), "build the native preset first")
        folder = Scratch(self.addCleanup).dir
        stub = program("zynStub.exe")
        start, size = resource_section(stub)
        cuts = {"headers": 1024, "mid-resources": start + size // 2,
                "resources-less-1": start + size - 1, "resources-whole": start + size}
        files = dict({"cut-%s.exe" % label: stub[:length] for label, length in cuts.items()},
                     **{"text.txt": b"7, 0, 2, 5\r\n", "empty.dll": b"",
                        "mz-only.exe": b"MZ" + b"\0" * 62})
        for name in list(EXPECTED) + ["zynVersion.exe"]:
            write(os.path.join(folder, name), files[name] if name in files else program(name))
        # Run from the files' folder: Windows looks there first for a bare name.
        readings = [dict(line.split("\t", 1) for line in subprocess.run(
            command + list(EXPECTED), cwd=folder, env=wine_env(), stdout=subprocess.PIPE,
            timeout=60).stdout.decode("latin-1").splitlines())
            for command in (["wine", "zynVersion.exe"], [native_tool])]
        self.assertEqual(readings[0], EXPECTED)
        self.assertEqual(readings[1], readings[0])


if __name__ == "__main__":
    main()
