"""Launches of the Linux program from local files, side by side. Those that run through: what a
whole launch shows and when, what it starts with which words, from which files and where, and
what it leaves behind; the run mode from the first argument. Those that end early: a second
launcher in the folder of a running one, at once; through an error message, with exit status 1,
or dismissed by a close signal as by the close box, with exit status 2, in the stage the signal
came in. Which messages come when, and that nothing starts after a failed start, is for the unit
tests."""

import os
import signal
import subprocess

from zyntest import (COMPONENTS, ENGINE_WORDS, INITIAL_STATUS, WHOLE_LAUNCH, LaunchTestCase,
                     LinuxLaunch, Scratch, main)

# Delay before each stage's first line, from the line before it.
STAGE_DELAYS = [("progress 20", "progress 10", 0.5), ("progress 40", "progress 20", 3.0),
                ("progress 60", "progress 40", 0.3), ("progress 80", "progress 60", 0.3),
                ("progress 90", "progress 80", 1.0), ("progress 100", "progress 90", 1.0),
                ("status closing zynLaunch..", "progress 100", 0.5)]

# name: (arguments, programs started with their arguments, last status)
CASES = {
    "first": ([], [("zynEngine.exe", ENGINE_WORDS), ("zynUI.exe", [])], "closing zynLaunch.."),
    # Only the first argument counts.
    "config": (["-config", "-stage2"], [("zynConfig.exe", [])], "starting zynConfig.."),
    # Started from a folder that holds other programs of the same names, which log nothing:
    # the files checked in the current directory must be the ones that run.
    "from_elsewhere": ([], [("zynEngine.exe", ENGINE_WORDS), ("zynUI.exe", [])],
                       "closing zynLaunch.."),
}
SIGNALS = (signal.SIGTERM, signal.SIGINT, signal.SIGHUP)
EARLY_ENDS = ("not_executable",) + SIGNALS


def folder_state(folder):
    """Every name in FOLDER with its time of change, the folder's own included."""
    return {name: os.stat(os.path.join(folder, name)).st_mtime_ns
            for name in os.listdir(folder) + ["."]}


class Launches(LaunchTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.s, launches = {}, {}
        for name in list(CASES) + list(EARLY_ENDS):
            scratch = cls.s[name] = Scratch()
            cls.addClassCleanup(scratch.remove)
            scratch.prepare_launch()
            more = {}
            if name == "from_elsewhere":
                more["launcher_dir"] = os.path.join(scratch.root, "elsewhere")
                os.mkdir(more["launcher_dir"])
                for component in COMPONENTS:
                    with open(os.path.join(more["launcher_dir"], component), "w") as f:
                        f.write("#!/bin/sh\n")
                    os.chmod(os.path.join(more["launcher_dir"], component), 0o755)
                # The installed launcher stays here, where its own version is checked.
                scratch.install_program("zynLaunch.exe", "zynLaunch")
            if name == "not_executable":  # passes every check but cannot be run
                os.chmod(scratch.path("zynEngine.exe"), 0o644)
            launches[name] = LinuxLaunch(scratch, CASES.get(name, ([],))[0], isolated=True,
                                         **more)
        # A second launcher in the folder of a running one, before that one writes anything.
        first = cls.s["first"]
        launches["first"].wait_for_line("status " + INITIAL_STATUS)
        cls.folder_before = folder_state(first.dir)
        cls.second = subprocess.run(["./zynLaunch.exe"], cwd=first.dir, capture_output=True,
                                    env=dict(os.environ, ZYN_LAUNCH_TRACE=first.trace), timeout=30)
        cls.folder_after = folder_state(first.dir)
        for signum in SIGNALS:
            if launches[signum].wait_for_line("status downloading system state.."):
                launches[signum].signal(signum)
        cls.results = {name: launch.wait() for name, launch in launches.items()}

    def test_each_launch_ends_normally_and_starts_its_programs_in_the_current_directory(self):
        for name, (_, programs, last_status) in CASES.items():
            with self.subTest(name):
                result, scratch = self.results[name], self.s[name]
                self.assertEqual(result.returncode, 0)
                self.assertEqual(result.messages(), [])
                self.assertEqual(result.statuses()[-1], last_status)
                starts = scratch.stub_starts(expected=len(programs))
                self.assertEqual([(s.name, s.args) for s in starts], programs)
                for start in starts:
                    self.assertEqual(os.path.basename(start.words[0]), start.name)
                    self.assertEqual(os.path.realpath(start.cwd), os.path.realpath(scratch.dir))

    def test_whole_launch_shows_every_stage_and_adds_only_the_user_configuration(self):
        self.assertEqual(self.results["first"].lines, WHOLE_LAUNCH)
        self.assertEqual(self.s["first"].files(), sorted(
            list(COMPONENTS) + ["zynLaunch.exe", "zynStub.log", "zynSystemConfig.txt",
                                "zynUserConfig.txt"]))

    def test_a_second_launcher_in_the_folder_says_so_and_touches_nothing(self):
        self.assertEqual((self.second.returncode, self.second.stdout, self.second.stderr),
                         (1, b"", b"zynLaunch: a launch is already running in this folder\n"))
        self.assertEqual(self.folder_after, self.folder_before)

    def test_stages_follow_their_delays(self):
        # Never early; late only by what a loaded machine may add.
        result = self.results["first"]
        for line, previous, delay in STAGE_DELAYS:
            gap = result.time_of(line) - result.time_of(previous)
            self.assertGreaterEqual(gap, delay - 0.03, line)
            self.assertLess(gap, delay + 2.0, line)

    def test_an_engine_that_cannot_run_ends_the_launch_with_its_message_and_status_1(self):
        result = self.results["not_executable"]
        self.assertEqual(result.returncode, 1)
        self.assertEqual(result.messages(),
                         ["Zyn could not start zynEngine.exe (Permission denied)."])

    def test_each_close_signal_ends_the_launch_in_the_stage_it_came_in_with_status_2(self):
        for signum in SIGNALS:
            with self.subTest(signal.Signals(signum).name):
                result = self.results[signum]
                self.assertEqual(result.returncode, 2)
                self.assertEqual(result.lines[-1], "status downloading system state..")
                self.assertFalse(self.s[signum].exists("zynUserConfig.txt"))


if __name__ == "__main__":
    main()
