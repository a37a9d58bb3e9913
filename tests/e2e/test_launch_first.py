"""A whole launch of the Linux program from local files: what it shows, when, what it starts and
what it leaves behind."""

import os

from zyntest import (COMPONENTS, DEFAULT_OPTIONS, DEFAULT_USER_CONFIG, INITIAL_STATUS,
                     LaunchTestCase, Scratch, expected_engine_words, main,
                     run_linux_parallel, system_state)

ORBITALS = ("orb1.example.net:4000", "orb2.example.net:4000")

WHOLE_LAUNCH = [
    "status " + INITIAL_STATUS,
    "progress 10",
    "status evaluating local ip conditions..",
    "progress 20",
    "status downloading system state..",
    "progress 40",
    "status processing system directives..",
    "progress 60",
    "status evaluating zyn dependencies",
    "progress 80",
    "status scanning 1 deep resolution servers..",
    "progress 90",
    "status starting zynEngine..",
    "progress 100",
    "status starting zynUI",
    "status closing zynLaunch..",
]

# Delay before each stage's first line, measured from the previous stage's first line.
STAGE_DELAYS = [("progress 20", "progress 10", 0.5), ("progress 40", "progress 20", 3.0),
                ("progress 60", "progress 40", 0.3), ("progress 80", "progress 60", 0.3),
                ("progress 90", "progress 80", 1.0), ("progress 100", "progress 90", 1.0),
                ("status closing zynLaunch..", "progress 100", 0.5)]


CHOSEN_USER_CONFIG = ["[ZynUserConfig]", "zynUI=Fancy", "zynPort=7000", "zynNIC=1",
                      "  zynUsername=Ann Lee  ", "[zynPassword=skipped]", "zynPAT="]


class WholeLaunch(LaunchTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        # Two launches side by side, each in its own network namespace.
        cls.first = cls.make_scratch()
        cls.first.prepare_launch(components=COMPONENTS[:3])
        # A component of exactly the complete size is accepted (it is never run).
        cls.first.install_stub("pssdk_dll.dll", size=50000)

        cls.chosen = cls.make_scratch()
        cls.chosen.prepare_launch(
            state=system_state(orbitals=("solo",), deep=(),
                               extra=["ZynUI=Fancy;FancyUI;fancyUI.exe;",
                                      "ZynVersion=FancyUI;7.0.2.5;"]),
            user_config=CHOSEN_USER_CONFIG)
        cls.chosen.install_stub("fancyUI.exe")

        cls.results = run_linux_parallel([(cls.first, []), (cls.chosen, ["-Config"])])

    @classmethod
    def make_scratch(cls):
        scratch = Scratch()
        cls.addClassCleanup(scratch.remove)
        return scratch

    def test_first_launch_runs_every_stage_and_ends_normally(self):
        result = self.results[0]
        self.assertEqual(result.returncode, 0)
        self.assertEqual(result.lines, WHOLE_LAUNCH)
        # Standard output (not a terminal) carries exactly the trace's lines.
        self.assertEqual(result.stdout_lines, WHOLE_LAUNCH)

    def test_stages_follow_their_delays(self):
        result = self.results[0]
        for line, previous, delay in STAGE_DELAYS:
            gap = result.time_of(line) - result.time_of(previous)
            self.assertGreaterEqual(gap, delay - 0.03, line)
            self.assertLess(gap, delay + 0.5, line)

    def test_first_launch_creates_the_default_user_configuration(self):
        self.assertEqual(self.first.read("zynUserConfig.txt"), DEFAULT_USER_CONFIG)

    def test_engine_then_user_interface_are_started_in_the_launch_directory(self):
        starts = self.first.stub_starts(expected=2)
        self.assertEqual([s.name for s in starts], ["zynEngine.exe", "zynUI.exe"])
        engine, ui = starts
        self.assertEqual(os.path.basename(engine.words[0]), "zynEngine.exe")
        self.assertEqual(engine.args, expected_engine_words(ORBITALS, DEFAULT_OPTIONS))
        self.assertEqual(ui.args, [])
        for start in starts:
            self.assertEqual(os.path.realpath(start.cwd), os.path.realpath(self.first.dir))

    def test_nothing_but_the_user_configuration_is_added(self):
        self.assertEqual(self.first.files(), sorted(
            list(COMPONENTS) + ["zynLaunch.exe", "zynStub.log", "zynSystemConfig.txt",
                                "zynUserConfig.txt"]))

    def test_chosen_user_interface_and_user_options_reach_the_started_programs(self):
        result = self.results[1]
        self.assertEqual(result.returncode, 0)
        # An argument that only resembles a run mode gives a normal launch.
        self.assertIn("status starting zynEngine..", result.lines)
        self.assertIn("status scanning 0 deep resolution servers..", result.lines)
        starts = self.chosen.stub_starts(expected=2)
        self.assertEqual([s.name for s in starts], ["zynEngine.exe", "fancyUI.exe"])
        # Options in file order; blanks in a value split it into words; headers skip lines.
        self.assertEqual(starts[0].args, expected_engine_words(("solo",), [
            "-port", "7000", "-nolock", "true", "-nic", "1", "-username", "Ann", "Lee",
            "-patpass"]))
        # An existing user configuration is never rewritten.
        self.assertEqual(self.chosen.read("zynUserConfig.txt"),
                         ("\r\n".join(CHOSEN_USER_CONFIG) + "\r\n").encode())


if __name__ == "__main__":
    main()
