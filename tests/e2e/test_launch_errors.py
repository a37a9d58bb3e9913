"""Launches of the Linux program that end early, side by side: through an error message, shown
once, with exit status 1 (which messages come when is for the unit tests); or dismissed by a
close signal as by the close box, with exit status 2. Either way nothing is started."""

import os
import signal

from zyntest import LaunchTestCase, LinuxLaunch, Scratch, main

SIGNALS = (signal.SIGTERM, signal.SIGINT, signal.SIGHUP)
CANNOT_START = "Zyn could not start zynEngine.exe (Permission denied)."


class EarlyEnds(LaunchTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.s, launches = {}, {}
        for name in ("not_executable",) + SIGNALS:
            cls.s[name] = Scratch()
            cls.addClassCleanup(cls.s[name].remove)
            cls.s[name].prepare_launch()
        # An engine that passes every check but cannot be run.
        os.chmod(cls.s["not_executable"].path("zynEngine.exe"), 0o644)
        for name, scratch in cls.s.items():
            launches[name] = LinuxLaunch(scratch, isolated=True)
        for signum in SIGNALS:
            if launches[signum].wait_for_line("status downloading system state.."):
                launches[signum].signal(signum)
        cls.results = {name: launch.wait() for name, launch in launches.items()}

    def test_an_engine_that_cannot_run_ends_the_launch_with_its_message_and_status_1(self):
        self.assertEqual(self.results["not_executable"].returncode, 1)
        self.assertEqual(self.results["not_executable"].messages(), [CANNOT_START])

    def test_each_close_signal_ends_the_launch_in_the_stage_it_came_in_with_status_2(self):
        for signum in SIGNALS:
            with self.subTest(signal.Signals(signum).name):
                result = self.results[signum]
                self.assertEqual(result.returncode, 2)
                self.assertEqual(result.lines[-1], "status downloading system state..")
                self.assertFalse(self.s[signum].exists("zynUserConfig.txt"))

    def test_nothing_is_started(self):
        for name, scratch in self.s.items():
            with self.subTest(name):
                self.assertEqual(scratch.stub_starts(timeout=2.0), [])


if __name__ == "__main__":
    main()
