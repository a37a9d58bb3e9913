"""Launches of the Linux program that end through an error message: what is shown, the exit
status, and that nothing is started or created."""

import os

from zyntest import (ENGINE_RUNNING, NO_ORBITALS, NO_STATE_FILE_PREFIX, NO_STATE_FILE_SUFFIX,
                     LaunchTestCase, LinuxLaunch, Scratch, hold_udp_port, main,
                     run_linux_parallel, system_state)


class ErrorEnds(LaunchTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.s = {}

        def scratch(name):
            cls.s[name] = Scratch()
            cls.addClassCleanup(cls.s[name].remove)
            return cls.s[name]

        scratch("no_state").install_components()
        scratch("no_orbitals").prepare_launch(state=system_state(orbitals=()))
        # The state file's last line lacks its line end and so is not read.
        scratch("unended_orbital").prepare_launch(state=None)
        cls.s["unended_orbital"].write(
            "zynSystemConfig.txt",
            [l for l in system_state() if not l.startswith("ZynOrbitalServer")] +
            ["ZynOrbitalServer=orb.example.net;"], last_line_end=False)
        # An engine that passes every check but cannot be run.
        scratch("not_executable").prepare_launch()
        os.chmod(cls.s["not_executable"].path("zynEngine.exe"), 0o644)

        cls.names = list(cls.s)
        cls.results = dict(zip(cls.names, run_linux_parallel([(cls.s[n], []) for n in cls.names])))

    def test_each_error_shows_its_message_once_and_ends_with_status_1(self):
        expected = {
            "no_orbitals": NO_ORBITALS,
            "unended_orbital": NO_ORBITALS,
            "not_executable": "Zyn could not start zynEngine.exe (Permission denied).",
        }
        for name, message in expected.items():
            with self.subTest(name):
                result = self.results[name]
                self.assertEqual(result.returncode, 1)
                self.assertEqual(result.messages(), [message])

    def test_nothing_is_started_and_no_user_configuration_is_created(self):
        for name in self.names:
            with self.subTest(name):
                self.assertEqual(self.s[name].stub_starts(timeout=0.5), [])
                # Created in stage 6, before the programs start.
                if name != "not_executable":
                    self.assertFalse(self.s[name].exists("zynUserConfig.txt"))

    def test_missing_state_file_ends_at_stage_1(self):
        result = self.results["no_state"]
        self.assertEqual(result.returncode, 1)
        (message,) = result.messages()
        self.assertTrue(message.startswith(NO_STATE_FILE_PREFIX), message)
        self.assertTrue(message.endswith(NO_STATE_FILE_SUFFIX), message)
        self.assertGreater(len(message), len(NO_STATE_FILE_PREFIX + NO_STATE_FILE_SUFFIX))
        self.assertNotIn("progress 20", result.lines)

    def test_no_orbital_servers_ends_at_stage_6(self):
        result = self.results["no_orbitals"]
        self.assertEqual(result.lines[-2:], ["progress 90", "message " + NO_ORBITALS])


class EngineAlreadyRunning(LaunchTestCase):
    def test_a_held_engine_port_refuses_the_launch(self):
        scratch = self.scratch()
        scratch.prepare_launch()
        with hold_udp_port(34522):
            result = LinuxLaunch(scratch).wait()
        self.assertEqual(result.returncode, 1)
        self.assertEqual(result.messages(), [ENGINE_RUNNING])
        self.assertNotIn("progress 20", result.lines)
        self.assertEqual(scratch.stub_starts(timeout=0.5), [])

    def test_missing_state_file_and_running_engine_give_both_messages(self):
        scratch = self.scratch()
        scratch.install_components()
        with hold_udp_port(34522):
            result = LinuxLaunch(scratch).wait()
        self.assertEqual(result.returncode, 1)
        messages = result.messages()
        self.assertEqual(len(messages), 2, messages)
        self.assertTrue(messages[0].startswith(NO_STATE_FILE_PREFIX))
        self.assertEqual(messages[1], ENGINE_RUNNING)


if __name__ == "__main__":
    main()
