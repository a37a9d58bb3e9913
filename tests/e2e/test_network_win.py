"""Launches of the Windows program under Wine over the local Zyn network, the same cases as
the Linux program's (netcases); the UI probe answers the message boxes."""

import subprocess

from netcases import BYPASSED, PAST_GUARD, NetworkCases
from zyntest import (WINDOW_CAPTION, LaunchTestCase, WindowsLaunch, main, probe,
                      wine_environment)

SETTINGS = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings"


def set_proxy(server, bypass=None):
    """The user's proxy setting in the prefix's registry, with the hosts reached directly; None
    turns it off."""
    values = [("ProxyEnable", "REG_DWORD", "1" if server else "0")]
    if server:
        values.append(("ProxyServer", "REG_SZ", server))
    if bypass:
        values.append(("ProxyOverride", "REG_SZ", bypass))
    for name, kind, data in values:
        subprocess.run(["wine", "reg", "add", SETTINGS, "/v", name, "/t", kind, "/d", data, "/f"],
                       env=wine_environment(), stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, check=True)
    if not bypass:
        subprocess.run(["wine", "reg", "delete", SETTINGS, "/v", "ProxyOverride", "/f"],
                       env=wine_environment(), stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)


class WindowsNetwork(NetworkCases, LaunchTestCase):
    @classmethod
    def cancel(cls, launch):
        if probe("escape", WINDOW_CAPTION)[0] != 0:
            raise AssertionError("the probe could not press Escape")

    @classmethod
    def start(cls, scratch, name):
        proxy = cls.proxy_for(name)
        if cls.CASES[name][3] == BYPASSED:
            set_proxy("127.0.0.1:%d" % cls.dead_port, "other.example;127.0.0.*;<local>")
        elif proxy:
            # Per scheme, as the system's settings page writes it.
            set_proxy("http=%s:%d;https=%s:%d" % (proxy.address, proxy.port, proxy.address,
                                                  proxy.port))
        else:
            return WindowsLaunch(scratch)
        # The window reads the setting as it opens: later launches must not find it.
        try:
            launch = WindowsLaunch(scratch)
            launch.wait_for_line(PAST_GUARD, timeout=30)
        finally:
            set_proxy(None)
        return launch


if __name__ == "__main__":
    main()
