"""HTTPS launches of the Windows program under Wine, the same cases as the Linux program's
(httpscases); the proxy comes from the registry's per-scheme setting, which carries no user."""

import os
import shutil

from httpscases import HttpsCases, enter_hosts_namespace
from netcases import PAST_GUARD
from test_network_win import set_proxy
from zyntest import BIN_DIR, LaunchTestCase, WindowsLaunch, main


class WindowsHttps(HttpsCases, LaunchTestCase):
    CREDENTIALS = False

    @classmethod
    def start(cls, scratch, name):
        shutil.copyfile(os.path.join(BIN_DIR, "zynLaunchTestCa.exe"), scratch.path("zynLaunch.exe"))
        proxy = cls.proxy_for(name)
        if not proxy:
            return WindowsLaunch(scratch)
        set_proxy("http=%s:%d;https=%s:%d" % (proxy.address, proxy.port, proxy.address,
                                              proxy.port))
        # The window reads the setting as it opens: later launches must not find it.
        try:
            launch = WindowsLaunch(scratch)
            launch.wait_for_line(PAST_GUARD, timeout=30)
        finally:
            set_proxy(None)
        return launch


if __name__ == "__main__":
    enter_hosts_namespace()
    main()
