"""Which programs a launch of the Linux program starts: configuration mode, the user's
"zynLaunch" choice, and the files of the current directory wherever the launcher lies."""

import os
import shutil

from zyntest import (BIN_DIR, COMPONENTS, DEFAULT_USER_CONFIG, LaunchTestCase, Scratch,
                     expected_engine_words, main, run_linux_parallel)

ORBITALS = ("orb1.example.net:4000", "orb2.example.net:4000")


def user_config(*launch_lines):
    return ["[ZynUserConfig]", "zynUsername=!"] + ["zynLaunch=" + v for v in launch_lines]


CASES = {
    # name: (arguments, user configuration or None, programs started, last status)
    "config": (["-config", "-stage2"], None, ["zynConfig.exe"], "starting zynConfig.."),
    "quoted_config": ([" -config "], user_config("UI"), ["zynConfig.exe"], "starting zynConfig.."),
    "ui_only": ([], user_config("UI"), ["zynUI.exe"], "closing zynLaunch.."),
    "engine_only": ([], user_config("ENGINE"), ["zynEngine.exe"], "closing zynLaunch.."),
    "neither": ([], user_config("UI", "ENGINE"), [], "closing zynLaunch.."),
    "lower_case_value": ([], user_config("ui"), ["zynEngine.exe", "zynUI.exe"],
                         "closing zynLaunch.."),
    # Started from a folder that holds other programs of the same names, which log nothing to
    # zynStub.log: the files checked in the current directory must be the ones that run.
    "from_elsewhere": ([], None, ["zynEngine.exe", "zynUI.exe"], "closing zynLaunch.."),
}


class RunModes(LaunchTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.scratches = {}
        jobs = []
        for name, (args, config, _, _) in CASES.items():
            scratch = Scratch()
            cls.addClassCleanup(scratch.remove)
            scratch.prepare_launch(user_config=config)
            cls.scratches[name] = scratch
            if name == "from_elsewhere":
                folder = os.path.join(scratch.root, "elsewhere")
                os.mkdir(folder)
                for component in COMPONENTS:
                    with open(os.path.join(folder, component), "w") as f:
                        f.write("#!/bin/sh\n")
                    os.chmod(os.path.join(folder, component), 0o755)
                # The installed launcher stays in the current directory, where its own version
                # is checked; the one that runs is the copy elsewhere.
                shutil.copy(os.path.join(BIN_DIR, "zynLaunch"), scratch.path("zynLaunch.exe"))
                jobs.append((scratch, args, dict(launcher_dir=folder)))
            else:
                jobs.append((scratch, args))
        cls.results = dict(zip(CASES, run_linux_parallel(jobs)))

    def test_each_mode_starts_only_its_programs_and_ends_normally(self):
        for name, (_, _, programs, last_status) in CASES.items():
            with self.subTest(name):
                result = self.results[name]
                self.assertEqual(result.returncode, 0)
                self.assertEqual(result.statuses()[-1], last_status)
                self.assertEqual(result.messages(), [])
                starts = self.scratches[name].stub_starts(expected=len(programs))
                self.assertEqual([s.name for s in starts], programs)

    def test_configuration_mode_ends_at_stage_6_with_the_user_configuration_in_place(self):
        result = self.results["config"]
        self.assertEqual(result.lines[-2:], ["progress 90", "status starting zynConfig.."])
        self.assertEqual(self.scratches["config"].read("zynUserConfig.txt"), DEFAULT_USER_CONFIG)
        (start,) = self.scratches["config"].stub_starts(expected=1)
        self.assertEqual(start.args, [])

    def test_a_stage_without_its_program_still_moves_the_bar(self):
        engine_only = self.results["engine_only"]
        self.assertIn("progress 100", engine_only.lines)
        self.assertNotIn("status starting zynUI", engine_only.lines)
        ui_only = self.results["ui_only"]
        self.assertNotIn("status starting zynEngine..", ui_only.lines)
        self.assertEqual(ui_only.lines[-4:], [
            "progress 90", "progress 100", "status starting zynUI", "status closing zynLaunch.."])

    def test_engine_options_skip_the_launch_choice(self):
        (engine,) = self.scratches["engine_only"].stub_starts(expected=1)
        self.assertEqual(engine.args, expected_engine_words(ORBITALS, ["-username", "!"]))


if __name__ == "__main__":
    main()
