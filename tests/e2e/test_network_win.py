"""Launches of the Windows program under Wine over the local Zyn network, the same cases as
the Linux program's (netcases); the UI probe answers the message boxes."""

import subprocess

from netcases import PAST_GUARD, NetworkCases
from zyntest import (WINDOW_CAPTION, LaunchTestCase, WindowsLaunch, main, probe,
                      wine_environment)

SETTINGS = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings"


def set_proxy(server):
    """The user's proxy setting in the prefix's registry; None turns it off."""
    values = [("ProxyEnable", "REG_DWORD", "1" if server else "0")]
    if server:
        values.append(("ProxyServer", "REG_SZ", server))
    for name, kind, data in values:
        subprocess.run(["wine", "reg", "add", SETTINGS, "/v", name, "/t", kind, "/d", data, "/f"],
                       env=wine_environment(), stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, check=True)


class WindowsNetwork(NetworkCases, LaunchTestCase):
    @classmethod
    def cancel(cls, launch):
        if probe("escape", WINDOW_CAPTION)[0] != 0:
            raise AssertionError("the probe could not press Escape")

    @classmethod
    def start(cls, scratch, name):
        proxy = cls.proxy_for(name)
        if not proxy:
            return WindowsLaunch(scratch)
        # The window reads the setting as it opens: later launches must not find it.
        set_proxy("%s:%d" % (proxy.address, proxy.port))
        try:
            launch = WindowsLaunch(scratch)
            launch.wait_for_line(PAST_GUARD, timeout=30)
        finally:
            set_proxy(None)
        return launch


if __name__ == "__main__":
    main()
