"""Dismissing the Linux program in the middle of a launch: a signal acts as the close box."""

import signal

from zyntest import LaunchTestCase, LinuxLaunch, Scratch, main


class Dismissal(LaunchTestCase):
    def test_each_close_signal_ends_the_launch_at_once_with_status_2(self):
        launches = {}
        for signum in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
            scratch = Scratch(self)
            scratch.prepare_launch()
            launches[signum] = LinuxLaunch(scratch, isolated=True)
        for signum, launch in launches.items():
            self.assertTrue(launch.wait_for_line("status downloading system state.."))
            launch.signal(signum)
        for signum, launch in launches.items():
            with self.subTest(signal.Signals(signum).name):
                result = launch.wait(timeout=5)
                self.assertEqual(result.returncode, 2)
                self.assertLess(result.duration, 4.0)  # stage 3 would have come at 4.5 s
                self.assertEqual(result.lines[-1], "status downloading system state..")
                self.assertEqual(launch.scratch.stub_starts(timeout=0.3), [])
                self.assertFalse(launch.scratch.exists("zynUserConfig.txt"))


if __name__ == "__main__":
    main()
