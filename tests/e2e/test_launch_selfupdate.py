"""The Linux program's "-stage1" self-update run: it puts the temporary copy in place of the
launcher and starts it (the "-stage2" run is in test_launch_components)."""

import os

from zyntest import LaunchTestCase, Scratch, main, run_linux_parallel

OLD_MARK = b"\0old launcher"


class SelfUpdate(LaunchTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.s = {}
        for name in ("stage1", "stage1_no_temp"):
            cls.s[name] = Scratch()
            cls.addClassCleanup(cls.s[name].remove)
            cls.s[name].prepare_launch()

        # The "launcher" files are stubs, so the start of "zynLaunch.exe -stage2" shows in the
        # log; the old one carries a mark so a replacement is visible.
        for name in ("stage1", "stage1_no_temp"):
            cls.s[name].install_stub("zynLaunch.exe")
            with open(cls.s[name].path("zynLaunch.exe"), "ab") as f:
                f.write(OLD_MARK)
        cls.s["stage1"].install_stub("zynLaunchTemp.exe")

        # The -stage1 runs are a launcher under a third name, as "zynLaunch.exe" is the old
        # stub and "zynLaunchTemp.exe" the new one.
        cls.results = dict(zip(cls.s, run_linux_parallel([
            (cls.s["stage1"], ["-stage1"], dict(name="zynLaunch")),
            (cls.s["stage1_no_temp"], ["-stage1"], dict(name="zynLaunch")),
        ])))

    def test_stage1_replaces_the_launcher_starts_it_and_ends_at_stage_3(self):
        scratch, result = self.s["stage1"], self.results["stage1"]
        self.assertEqual(result.returncode, 0)
        self.assertEqual(result.lines[-2:],
                         ["progress 40", "status processing system directives.."])
        self.assertEqual(scratch.read("zynLaunch.exe"), scratch.read("zynLaunchTemp.exe"))
        (start,) = scratch.stub_starts(expected=1)
        self.assertEqual(start.name, "zynLaunch.exe")
        self.assertEqual(os.path.basename(start.words[0]), "zynLaunch.exe")
        self.assertEqual(start.args, ["-stage2"])
        self.assertFalse(scratch.exists("zynUserConfig.txt"))

    def test_stage1_without_a_temporary_copy_keeps_the_old_launcher(self):
        scratch, result = self.s["stage1_no_temp"], self.results["stage1_no_temp"]
        self.assertEqual(result.returncode, 0)
        self.assertTrue(scratch.read("zynLaunch.exe").endswith(OLD_MARK))
        # Nothing but the launcher and the files the test put there.
        leftovers = set(scratch.files()) - {"zynLaunch", "zynLaunch.exe", "zynStub.log",
                                            "zynSystemConfig.txt", "zynEngine.exe",
                                            "zynConfig.exe", "zynUI.exe", "pssdk_dll.dll"}
        self.assertEqual(leftovers, set())


if __name__ == "__main__":
    main()
