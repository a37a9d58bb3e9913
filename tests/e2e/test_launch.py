"""Launches from local files, for both programs: what a whole launch shows, starts with which words
and command lines, where, and leaves behind; run modes; a folder named outside the ANSI code page
(Windows); a second launcher, close signals and the idle event loop (Linux)."""

import os
import signal
import subprocess

from zyntest import (CLOSING, COMPONENTS, ENGINE_WORDS, INITIAL_STATUS, PAST_GUARD, WHOLE_LAUNCH,
                     WINDOWS, Launch, LaunchTestCase, Scratch, cpu_seconds, main, run_cases,
                     system_state)

ENGINE_LINE = ("zynEngine.exe -mode engine -orbitals orb1.example.net:4000Oorb2.example.net:4000O"
               " -username ! -password ! -port 0 -accept LOCAL -timeout NOUI -nic 0 ")
# name: (arguments, user configuration, (program, words) started and, on Windows, their command
# lines exactly: double and trailing blanks reach the child as they are)
CASES = {
    "first": ([], None, [("zynEngine.exe", ["zynEngine.exe"] + ENGINE_WORDS),
                         ("zynUI.exe", ["zynUI.exe"])], [ENGINE_LINE, "zynUI.exe"]),
    # Only the first argument counts.
    "config": (["-config", "-stage2"], None, [("zynConfig.exe", ["zynConfig.exe"])],
               ["zynConfig.exe"]),
}
if WINDOWS:
    CASES["wide"] = CASES["first"]  # its folder's name is one the ANSI code page cannot write
    # The launcher names the file itself, so the child gets the name unquoted, as passed.
    CASES["chosen_ui"] = ([], ["[ZynUserConfig]", "zynUI=My UI", "zynLaunch=UI"],
                          [("my ui.exe", ["my", "ui.exe"])], ["my ui.exe"])
SIGNALS = () if WINDOWS else (signal.SIGTERM, signal.SIGINT, signal.SIGHUP)


def folder_state(folder):
    """Every name in FOLDER with its time of change, the folder's own included."""
    return {name: os.stat(os.path.join(folder, name)).st_mtime_ns
            for name in os.listdir(folder) + ["."]}


class Launches(LaunchTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.s = {name: Scratch(cls.addClassCleanup, "Łódź 日本" if name == "wide" else "run")
                 for name in list(CASES) + list(SIGNALS)}
        for name, scratch in cls.s.items():
            scratch.prepare_launch(system_state(extra=["ZynUI=My UI;MyUI;my ui.exe;",
                                                       "ZynVersion=MyUI;7.0.2.5;"])
                                   if name == "chosen_ui" else None, CASES.get(name, [0, None])[1])
        if WINDOWS:  # one Wine, one engine guard port: in turn
            cls.s["chosen_ui"].install("my ui.exe")
            cls.results = run_cases(CASES, lambda name: Launch(cls.s[name], CASES[name][0]))
            return
        launches = {name: Launch(cls.s[name], CASES.get(name, ([],))[0], isolated=True)
                    for name in cls.s}
        # A second launcher in the folder of a running one, before that one writes anything.
        first = cls.s["first"]
        launches["first"].wait_for_line("status " + INITIAL_STATUS)
        cls.folder_before = folder_state(first.dir)
        cls.second = subprocess.run(["./zynLaunch.exe"], cwd=first.dir, capture_output=True,
                                    env=dict(os.environ, ZYN_LAUNCH_TRACE=first.trace), timeout=30)
        cls.folder_after = folder_state(first.dir)
        for signum in SIGNALS:
            if launches[signum].wait_for_line(PAST_GUARD):
                launches[signum].proc.send_signal(signum)
        launches["first"].wait_for_line(CLOSING)
        cls.cpu = cpu_seconds(launches["first"].proc.pid)
        cls.results = {name: launch.wait() for name, launch in launches.items()}

    def test_each_launch_ends_normally_and_starts_its_programs_in_the_current_folder(self):
        for name, (_, _, programs, command_lines) in CASES.items():
            with self.subTest(name):
                scratch = self.s[name]
                self.assertEqual(self.results[name].outcome(), (0, []))
                starts = scratch.stub_starts(len(programs))
                self.assertEqual([(s.name, [os.path.basename(s.words[0])] + s.args)
                                  for s in starts], programs)
                if WINDOWS:
                    self.assertEqual([s.command_line for s in starts], command_lines)
                for start in starts:
                    self.assertEqual(start.cwd.lower(), scratch.windows_path().lower() if WINDOWS
                                     else os.path.realpath(scratch.dir).lower())

    def test_whole_launch_shows_every_stage_and_adds_only_the_user_configuration(self):
        first = self.results["first"]
        self.assertEqual(first.lines, WHOLE_LAUNCH)
        self.assertEqual(self.s["first"].files(), sorted(COMPONENTS + (
            "zynLaunch.exe", "zynStub.log", "zynSystemConfig.txt", "zynUserConfig.txt")))
        # Never sooner than its timers allow (each stage's delay is the unit tests').
        self.assertGreater(first.duration, 7.6)
        if not WINDOWS:
            # Standard output, no terminal, carries the lines; a polling loop would burn 7.6 s.
            self.assertEqual(first.stdout_lines, WHOLE_LAUNCH)
            self.assertLess(self.cpu, 0.5)

    if not WINDOWS:  # there, the second launcher: test_window_win
        def test_a_second_launcher_touches_nothing_and_a_close_signal_ends_the_stage_with_2(self):
            self.assertEqual((self.second.returncode, self.second.stdout, self.second.stderr),
                             (1, b"", b"zynLaunch: a launch is already running in this folder\n"))
            self.assertEqual(self.folder_after, self.folder_before)
            for signum in SIGNALS:
                with self.subTest(signal.Signals(signum).name):
                    self.assertEqual(self.results[signum].returncode, 2)
                    self.assertEqual(self.results[signum].lines[-1], PAST_GUARD)
                    self.assertFalse(self.s[signum].exists("zynUserConfig.txt"))


if __name__ == "__main__":
    main()
