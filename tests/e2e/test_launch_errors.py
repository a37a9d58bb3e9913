"""Launches of the Linux program that end early, side by side: through an error message, shown
once, with exit status 1; or dismissed by a close signal as by the close box, with exit status
2. Either way nothing is started."""

import os
import signal

from zyntest import (ENGINE_RUNNING, NO_STATE_FILE_PREFIX, NO_STATE_FILE_SUFFIX, LaunchTestCase,
                     LinuxLaunch, Scratch, hold_udp_port, main)

SIGNALS = (signal.SIGTERM, signal.SIGINT, signal.SIGHUP)
CANNOT_START = "Zyn could not start zynEngine.exe (Permission denied)."


class EarlyEnds(LaunchTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.s, launches = {}, {}
        for name in ("no_state", "not_executable", "engine_running") + SIGNALS:
            cls.s[name] = Scratch()
            cls.addClassCleanup(cls.s[name].remove)
            cls.s[name].prepare_launch()
        os.remove(cls.s["no_state"].path("zynSystemConfig.txt"))
        # An engine that passes every check but cannot be run.
        os.chmod(cls.s["not_executable"].path("zynEngine.exe"), 0o644)
        with hold_udp_port(34522):
            for name, scratch in cls.s.items():
                # Only the launch that must meet the held port shares this namespace.
                launches[name] = LinuxLaunch(scratch, isolated=name != "engine_running")
            for signum in SIGNALS:
                if launches[signum].wait_for_line("status downloading system state.."):
                    launches[signum].signal(signum)
            cls.results = {name: launch.wait() for name, launch in launches.items()}

    def test_each_error_shows_its_message_once_and_ends_with_status_1(self):
        for name, messages in (("not_executable", [CANNOT_START]),
                               ("engine_running", [ENGINE_RUNNING])):
            with self.subTest(name):
                self.assertEqual(self.results[name].returncode, 1)
                self.assertEqual(self.results[name].messages(), messages)
        result = self.results["no_state"]
        self.assertEqual(result.returncode, 1)
        (message,) = result.messages()
        self.assertTrue(message.startswith(NO_STATE_FILE_PREFIX), message)
        self.assertTrue(message.endswith(NO_STATE_FILE_SUFFIX), message)
        self.assertGreater(len(message), len(NO_STATE_FILE_PREFIX + NO_STATE_FILE_SUFFIX))

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
