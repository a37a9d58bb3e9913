"""Components kept current by the Linux program: a renewed launcher that still differs from
the listed version launches normally instead of updating again (the downloads are in
test_network)."""

from zyntest import LaunchTestCase, LinuxLaunch, Scratch, main, system_state


def state(**versions):
    """The usual system state with some listed versions changed (component=version)."""
    lines = system_state()
    for component, version in versions.items():
        lines = [l if not l.startswith("ZynVersion=%s;" % component)
                 else "ZynVersion=%s;%s;" % (component, version) for l in lines]
    return lines


# name: (arguments, listed versions, files added)
CASES = {
    "renewed_launcher": (["-stage2"], dict(Launch="1.0.0.1"), ("zynLaunchTemp.exe",)),
}


class Components(LaunchTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.s, launches = {}, {}
        for name, (args, versions, added) in CASES.items():
            scratch = cls.s[name] = Scratch()
            cls.addClassCleanup(scratch.remove)
            scratch.prepare_launch(state=state(**versions))
            for file in added:
                scratch.install_stub(file)
            launches[name] = LinuxLaunch(scratch, args, isolated=True)
        cls.results = {name: launch.wait() for name, launch in launches.items()}

    def test_renewed_launcher_that_still_differs_launches_without_another_update(self):
        result, scratch = self.results["renewed_launcher"], self.s["renewed_launcher"]
        self.assertEqual(result.returncode, 0)
        self.assertNotIn("status downloading zynLaunch package..", result.lines)
        self.assertFalse(scratch.exists("zynLaunchTemp.exe"))
        starts = scratch.stub_starts(expected=2)
        self.assertEqual([s.name for s in starts], ["zynEngine.exe", "zynUI.exe"])


if __name__ == "__main__":
    main()
