"""Launches of the Windows program under Wine: a whole launch, the run modes, the user's
launch choice and the self-update runs, then the launches that end through a message box (the
UI probe answers each box by its caption). The launches over the network are in
test_network_win."""

import os
import time

from zyntest import (BIN_DIR, DEFAULT_USER_CONFIG, ENGINE_RUNNING, INITIAL_STATUS, NO_ORBITALS,
                     NO_STATE_FILE_PREFIX, LaunchTestCase, Scratch, WindowsLaunch, hold_udp_port,
                     main, system_state)

ENGINE_LINE = ("zynEngine.exe -mode engine -orbitals orb1.example.net:4000Oorb2.example.net:4000O "
               "-username ! -password ! -port 0 -accept LOCAL -timeout NOUI -nic 0 ")

LAUNCHER = os.path.join(BIN_DIR, "zynLaunch.exe")

WHOLE_LAUNCH = [
    "status " + INITIAL_STATUS, "progress 10", "status evaluating local ip conditions..",
    "progress 20", "status downloading system state..", "progress 40",
    "status processing system directives..", "progress 60", "status evaluating zyn dependencies",
    "progress 80", "status scanning 1 deep resolution servers..", "progress 90",
    "status starting zynEngine..", "progress 100", "status starting zynUI",
    "status closing zynLaunch..",
]


def user_config(*launch_lines):
    return ["[ZynUserConfig]", "zynUsername=two words"] + ["zynLaunch=" + v for v in launch_lines]


# name: (arguments, user configuration or None, extra set-up, command lines started)
QUIET_CASES = {
    "first": ([], None, None, [ENGINE_LINE, "zynUI.exe"]),
    "config": (["-config"], None, None, ["zynConfig.exe"]),
    "ui_only": ([], user_config("UI"), None, ["zynUI.exe"]),
    "engine_only": ([], user_config("ENGINE"), None,
                    ["zynEngine.exe -mode engine -orbitals orb1.example.net:4000O"
                     "orb2.example.net:4000O -username two words "]),
    "neither": ([], user_config("ENGINE", "UI"), None, []),
    # The launcher names the file itself, so the child gets the name unquoted, as passed.
    "chosen_ui": ([], ["zynUI=My UI", "zynLaunch=UI"], "chosen", ["my ui.exe"]),
    # The temporary copy replaces the launcher and starts it with -stage2, which then removes
    # the copy and launches normally: the whole hand-over in one.
    "stage1": (["-stage1"], user_config("ENGINE"), "stage1",
               ["zynEngine.exe -mode engine -orbitals orb1.example.net:4000O"
                "orb2.example.net:4000O -username two words "]),
    "stage2": (["-stage2"], user_config("UI"), "stage2", ["zynUI.exe"]),
}


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


class QuietLaunches(LaunchTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.s, launches = {}, {}
        for name, (args, config, extra, _) in QUIET_CASES.items():
            scratch = Scratch()
            cls.addClassCleanup(scratch.remove)
            state = None
            if extra == "chosen":
                state = system_state(extra=["ZynUI=My UI;MyUI;my ui.exe;",
                                            "ZynVersion=MyUI;7.0.2.5;"])
            scratch.prepare_launch(state=state, user_config=config)
            if extra == "chosen":
                scratch.install_stub("my ui.exe")
            if extra == "stage1":
                scratch.write("zynLaunch.exe", b"old launcher")
            if extra == "stage2":
                scratch.install_stub("zynLaunchTemp.exe")
            cls.s[name] = scratch
        # One after the other: launches side by side in one Wine would meet in their engine
        # guards (Wine's sockets all live in the one wineserver).
        cls.results, cls.starts = {}, {}
        for name, (args, _, extra, command_lines) in QUIET_CASES.items():
            launch_name = "zynLaunchTemp.exe" if extra == "stage1" else "zynLaunch.exe"
            cls.results[name] = WindowsLaunch(cls.s[name], args, name=launch_name).wait(60)
            cls.starts[name] = cls.s[name].stub_starts(expected=len(command_lines), timeout=20)
            if extra == "stage1":
                # The -stage2 run that the -stage1 one started ends on its own.
                deadline = time.monotonic() + 10
                while (cls.s[name].trace_lines()[-1:] != ["status closing zynLaunch.."] and
                       time.monotonic() < deadline):
                    time.sleep(0.1)
                time.sleep(1)

    def test_each_launch_ends_normally_and_starts_exactly_its_command_lines(self):
        for name, (_, _, _, command_lines) in QUIET_CASES.items():
            with self.subTest(name):
                self.assertEqual(self.results[name].messages(), [])
                self.assertEqual(self.results[name].returncode, 0)
                self.assertEqual(self.results[name].messages(), [])
                self.assertEqual([s.command_line for s in self.starts[name]], command_lines)
                for start in self.starts[name]:
                    self.assertEqual(start.cwd.lower(), self.s[name].windows_path().lower())

    def test_whole_launch_shows_every_stage_and_creates_the_user_configuration(self):
        self.assertEqual(self.results["first"].lines, WHOLE_LAUNCH)
        self.assertEqual(self.s["first"].read("zynUserConfig.txt"), DEFAULT_USER_CONFIG)
        self.assertGreater(self.results["first"].duration, 7.6)
        self.assertEqual(self.s["config"].read("zynUserConfig.txt"), DEFAULT_USER_CONFIG)

    def test_self_update_steps(self):
        stage1 = self.s["stage1"]
        self.assertEqual(stage1.read("zynLaunch.exe"), read_bytes(LAUNCHER))
        self.assertFalse(stage1.exists("zynLaunchTemp.exe"))
        # The trace holds the -stage1 run up to its stage 3 and the whole -stage2 run.
        lines = stage1.trace_lines()
        self.assertEqual(lines.count("status " + INITIAL_STATUS), 2)
        self.assertEqual(lines.count("status processing system directives.."), 2)
        self.assertEqual(lines[-1], "status closing zynLaunch..")
        self.assertFalse(self.s["stage2"].exists("zynLaunchTemp.exe"))


class MessageEnds(LaunchTestCase):
    def launch(self, scratch, args=(), name="zynLaunch.exe"):
        result = WindowsLaunch(scratch, args, name=name).wait(
            timeout=40, caption=name[:-len(".exe")])
        self.assertEqual(scratch.stub_starts(timeout=0.5), [])
        # What the box itself shows, read from the window by the probe, matches the trace.
        self.assertEqual(result.box_texts, result.messages())
        return result

    def test_missing_state_file_is_reported_under_the_running_program_name(self):
        scratch = self.scratch()
        scratch.install_components()
        # A copy of the launcher named as the temporary one: its boxes carry that name, which
        # is what the probe looks for.
        result = self.launch(scratch, ["-stage1"], name="zynLaunchTemp.exe")
        self.assertEqual(result.returncode, 1)
        (message,) = result.messages()
        self.assertTrue(message.startswith(NO_STATE_FILE_PREFIX), message)

    def test_running_engine_refuses_the_launch(self):
        scratch = self.scratch()
        scratch.prepare_launch()
        with hold_udp_port(34522):
            result = self.launch(scratch)
        self.assertEqual(result.returncode, 1)
        self.assertEqual(result.messages(), [ENGINE_RUNNING])

    def test_no_orbital_servers(self):
        scratch = self.scratch()
        scratch.prepare_launch(state=system_state(orbitals=()))
        result = self.launch(scratch)
        self.assertEqual(result.returncode, 1)
        self.assertEqual(result.messages(), [NO_ORBITALS])
        self.assertFalse(scratch.exists("zynUserConfig.txt"))


if __name__ == "__main__":
    main()
