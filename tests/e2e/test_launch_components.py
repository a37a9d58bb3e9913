"""Components kept current by the Linux program: an outdated component is deleted and queued,
the packet-capture files go, an outdated launcher queues its own update first, and a renewed
launcher that still differs from the listed version launches normally instead of updating
again. Nothing fetches a queued file yet, so such a launch waits in stage 5 under the file's
download label until the test dismisses it."""

import signal

from zyntest import LaunchTestCase, LinuxLaunch, Scratch, main, system_state


def state(**versions):
    """The usual system state with some listed versions changed (component=version)."""
    lines = system_state()
    for component, version in versions.items():
        lines = [l if not l.startswith("ZynVersion=%s;" % component)
                 else "ZynVersion=%s;%s;" % (component, version) for l in lines]
    return lines


# name: (arguments, listed versions, files added, status the launch stops at or None)
CASES = {
    # The stubs carry "7, 0, 2, 5"; the network services library is never compared.
    "outdated_engine": ([], dict(Engine="7.0.2.6", NetworkServices="9.9"),
                        ("winpcap.exe", "packetx.dll"), "downloading zynEngine package.."),
    "outdated_launcher": ([], dict(Launch="1.0.0.1"), (), "downloading zynLaunch package.."),
    "renewed_launcher": (["-stage2"], dict(Launch="1.0.0.1"), ("zynLaunchTemp.exe",), None),
}


class Components(LaunchTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.s, launches = {}, {}
        for name, (args, versions, added, _) in CASES.items():
            scratch = cls.s[name] = Scratch()
            cls.addClassCleanup(scratch.remove)
            scratch.prepare_launch(state=state(**versions))
            for file in added:
                scratch.install_stub(file)
            launches[name] = LinuxLaunch(scratch, args, isolated=True)
        cls.results = {}
        for name, (_, _, _, waits_at) in CASES.items():
            if waits_at is not None and launches[name].wait_for_line("status " + waits_at):
                launches[name].signal(signal.SIGTERM)
            cls.results[name] = launches[name].wait()

    def test_a_queued_file_keeps_the_launch_waiting_for_its_download(self):
        for name in ("outdated_engine", "outdated_launcher"):
            with self.subTest(name):
                result = self.results[name]
                self.assertEqual(result.returncode, 2)  # dismissed by the test
                self.assertEqual(result.statuses()[-1], CASES[name][3])
                self.assertEqual(self.s[name].stub_starts(timeout=0.3), [])

    def test_outdated_engine_and_capture_files_are_deleted_and_the_rest_kept(self):
        files = self.s["outdated_engine"].files()
        for gone in ("zynEngine.exe", "winpcap.exe", "packetx.dll"):
            self.assertNotIn(gone, files)
        for kept in ("zynConfig.exe", "zynUI.exe", "pssdk_dll.dll", "zynLaunch.exe"):
            self.assertIn(kept, files)

    def test_renewed_launcher_that_still_differs_launches_without_another_update(self):
        result, scratch = self.results["renewed_launcher"], self.s["renewed_launcher"]
        self.assertEqual(result.returncode, 0)
        self.assertNotIn("status downloading zynLaunch package..", result.lines)
        self.assertFalse(scratch.exists("zynLaunchTemp.exe"))
        starts = scratch.stub_starts(expected=2)
        self.assertEqual([s.name for s in starts], ["zynEngine.exe", "zynUI.exe"])


if __name__ == "__main__":
    main()
