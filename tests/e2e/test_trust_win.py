"""Signed states and component digests with the Windows program built to trust the tests' key,
under Wine (the cases are in trustcases)."""

import os
import shutil

from trustcases import TrustCases
from zyntest import BIN_DIR, LaunchTestCase, WindowsLaunch, main


class WindowsTrust(TrustCases, LaunchTestCase):
    @classmethod
    def start(cls, scratch, program):
        if program:
            shutil.copyfile(os.path.join(BIN_DIR, program + ".exe"), scratch.path("zynLaunch.exe"))
        return WindowsLaunch(scratch)


if __name__ == "__main__":
    main()
