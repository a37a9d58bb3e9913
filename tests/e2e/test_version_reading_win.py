"""The version texts that the Windows program reads through the system's version calls (under
Wine) and the Linux program's own reader are the same, file for file: stub components of
several versions, both launcher builds, version resources the stubs do not show, a program
without one, files cut short inside and after their resource section, and files that are no
program at all. Both readings go through the zynVersion tool of each build."""

import os
import shutil
import struct
import subprocess

from zyntest import BIN_DIR, LaunchTestCase, main, wine_environment

NATIVE_BIN_DIR = os.environ.get("ZYN_NATIVE_BIN_DIR", "")
PROGRAMS = ["zynStub.exe", "zynStub-7.0.2.6.exe", "zynStub-8.1.0.0.exe", "zynLaunch.exe",
            "zynLaunchOld.exe", "versionSample-german_first.exe", "versionSample-long_text.exe",
            "versionSample-other_name.exe", "probe.exe"]
LONG_TEXT = "1.2.3.4 " + ("0123456789" * 12)[:119]


def resource_section(data):
    """(file offset, raw size) of a PE file's ".rsrc" section."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    sections, optional_size = struct.unpack_from("<H", data, pe + 6)[0], \
        struct.unpack_from("<H", data, pe + 20)[0]
    table = pe + 24 + optional_size
    for i in range(sections):
        entry = table + 40 * i
        if data[entry:entry + 8].rstrip(b"\0") == b".rsrc":
            raw_size, raw = struct.unpack_from("<II", data, entry + 16)
            return raw, raw_size
    raise AssertionError("no resource section")


class VersionReading(LaunchTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        native_tool = os.path.join(NATIVE_BIN_DIR, "zynVersion")
        if not os.path.exists(native_tool):
            raise AssertionError("%s is missing: build the native preset first" % native_tool)
        cls.dir = cls.make_files()
        names = sorted(os.listdir(cls.dir))
        names.remove("zynVersion.exe")
        # The tool runs from the files' own directory: Windows looks for a bare name in the
        # running program's directory first.
        windows = subprocess.run(["wine", "zynVersion.exe"] + names, cwd=cls.dir,
                                 env=wine_environment(), stdout=subprocess.PIPE, timeout=60)
        linux = subprocess.run([native_tool] + names, cwd=cls.dir, stdout=subprocess.PIPE,
                               timeout=60)
        cls.windows = cls.readings(windows.stdout.replace(b"\r\n", b"\n"))
        cls.linux = cls.readings(linux.stdout)
        cls.names = names

    @classmethod
    def make_files(cls):
        directory = os.path.join(os.environ.get("TMPDIR", "/tmp"), "zyn-versions-%d" % os.getpid())
        shutil.rmtree(directory, ignore_errors=True)
        os.mkdir(directory)
        cls.addClassCleanup(shutil.rmtree, directory, True)
        for name in PROGRAMS + ["zynVersion.exe"]:
            shutil.copyfile(os.path.join(BIN_DIR, name), os.path.join(directory, name))
        with open(os.path.join(BIN_DIR, "zynStub.exe"), "rb") as f:
            stub = f.read()
        start, size = resource_section(stub)
        cuts = {"headers": 1024, "mid-resources": start + size // 2,
                "resources-less-1": start + size - 1, "resources-whole": start + size}
        for label, length in cuts.items():
            with open(os.path.join(directory, "cut-%s.exe" % label), "wb") as f:
                f.write(stub[:length])
        for name, data in (("text.txt", b"7, 0, 2, 5\r\n"), ("empty.dll", b""),
                           ("mz-only.exe", b"MZ" + b"\0" * 62)):
            with open(os.path.join(directory, name), "wb") as f:
                f.write(data)
        return directory

    @staticmethod
    def readings(output):
        lines = output.decode("latin-1").splitlines()
        return dict(line.split("\t", 1) for line in lines)

    def test_both_programs_read_the_same_text_from_every_file(self):
        self.assertEqual(sorted(self.windows), self.names)
        self.assertEqual(self.linux, self.windows)

    def test_readings_are_the_first_translations_file_version_cut_to_127_characters(self):
        # The stubs and launchers carry the versions their build gives them, in both spellings;
        # the other files none.
        expected = dict.fromkeys(self.names, "none")
        expected.update({
            "zynStub.exe": "=7, 0, 2, 5", "cut-resources-whole.exe": "=7, 0, 2, 5",
            "zynStub-7.0.2.6.exe": "=7.0.2.6", "zynStub-8.1.0.0.exe": "=8, 1, 0, 0",
            "zynLaunch.exe": "=1.0.0.0", "zynLaunchOld.exe": "=0.9.0.0",
            "versionSample-german_first.exe": "=7, 0, 2, 7",
            "versionSample-long_text.exe": "=" + LONG_TEXT,
        })
        self.assertEqual(self.windows, expected)


if __name__ == "__main__":
    main()
