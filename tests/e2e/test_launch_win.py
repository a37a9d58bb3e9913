"""Launches of the Windows program under Wine that run through, one after the other: the whole
launch (also from a folder named outside the ANSI code page), the configuration mode, a chosen
user interface whose file name holds a blank, and the self-update hand-over from "-stage1" to
"-stage2"; each starts exactly its command lines, as given, in the launch directory."""

import os

from zyntest import (BIN_DIR, ENGINE_WORDS, INITIAL_STATUS, WHOLE_LAUNCH, LaunchTestCase, Scratch,
                     WindowsLaunch, main, system_state, wait_until)

ENGINE_ONLY = ["[ZynUserConfig]", "zynUsername=two words", "zynLaunch=ENGINE"]

WHOLE_ENGINE_LINE = ("zynEngine.exe -mode engine -orbitals orb1.example.net:4000O"
                     "orb2.example.net:4000O -username ! -password ! -port 0 -accept LOCAL "
                     "-timeout NOUI -nic 0 ")
# name: (arguments, user configuration or None, command lines started). One after the other:
# launches side by side in one Wine would meet in their engine guards.
CASES = {
    # Double and trailing blanks reach the child as they are.
    "first": ([], None, [WHOLE_ENGINE_LINE, "zynUI.exe"]),
    # A folder whose name the ANSI code page cannot write.
    "wide": ([], None, [WHOLE_ENGINE_LINE, "zynUI.exe"]),
    "config": (["-config"], None, ["zynConfig.exe"]),
    # The launcher names the file itself, so the child gets the name unquoted, as passed.
    "chosen_ui": ([], ["zynUI=My UI", "zynLaunch=UI"], ["my ui.exe"]),
    # Run as the temporary copy, which replaces the launcher and starts it with -stage2; that
    # run removes the copy and launches normally.
    "stage1": (["-stage1"], ENGINE_ONLY, ["zynEngine.exe -mode engine -orbitals orb1.example."
                                          "net:4000Oorb2.example.net:4000O -username two words "]),
}


class QuietLaunches(LaunchTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.s, cls.results, cls.starts = {}, {}, {}
        for name, (args, config, command_lines) in CASES.items():
            scratch = cls.s[name] = Scratch(name="Łódź 日本" if name == "wide" else "run")
            cls.addClassCleanup(scratch.remove)
            scratch.prepare_launch(state=system_state(extra=["ZynUI=My UI;MyUI;my ui.exe;",
                                                             "ZynVersion=MyUI;7.0.2.5;"]),
                                   user_config=config)
            scratch.install_program("my ui.exe")
            launcher = "zynLaunch.exe"
            if name == "stage1":
                scratch.write("zynLaunch.exe", b"old launcher")
                launcher = "zynLaunchTemp.exe"
            cls.results[name] = WindowsLaunch(scratch, args, name=launcher).wait()
            cls.starts[name] = scratch.stub_starts(expected=len(command_lines), timeout=30)
        # The -stage2 run ends on its own; it must have come to its end before the checks.
        wait_until(lambda: cls.s["stage1"].trace_lines()[-1:] == ["status closing zynLaunch.."],
                   30)

    def test_each_launch_ends_normally_and_starts_exactly_its_command_lines(self):
        for name, (_, _, command_lines) in CASES.items():
            with self.subTest(name):
                self.assertEqual(self.results[name].returncode, 0)
                self.assertEqual(self.results[name].messages(), [])
                self.assertEqual([s.command_line for s in self.starts[name]], command_lines)
                for start in self.starts[name]:
                    self.assertEqual(start.cwd.lower(), self.s[name].windows_path().lower())

    def test_whole_launch_shows_every_stage_and_takes_its_time(self):
        self.assertEqual(self.results["first"].lines, WHOLE_LAUNCH)
        # The engine's words as its C runtime makes them of the command line.
        self.assertEqual(self.starts["first"][0].args, ENGINE_WORDS)
        # Never sooner than its timers allow; a loaded machine can only add to it.
        self.assertGreater(self.results["first"].duration, 7.6)

    def test_self_update_puts_the_launcher_in_place_and_removes_the_copy(self):
        stage1 = self.s["stage1"]
        with open(os.path.join(BIN_DIR, "zynLaunch.exe"), "rb") as f:
            self.assertEqual(stage1.read("zynLaunch.exe"), f.read())
        self.assertFalse(stage1.exists("zynLaunchTemp.exe"))
        # The trace holds the -stage1 run up to its stage 3 and the whole -stage2 run.
        lines = stage1.trace_lines()
        self.assertEqual(lines.count("status " + INITIAL_STATUS), 2)
        self.assertEqual(lines.count("status processing system directives.."), 2)
        self.assertEqual(lines[-1], "status closing zynLaunch..")


if __name__ == "__main__":
    main()
