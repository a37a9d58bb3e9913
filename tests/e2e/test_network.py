"""Launches of the Linux program over the local Zyn network: the system state fetched directly
and through the proxy, outdated components replaced, mirrors that fail, a stall, and the
self-update over three runs, a damaged state and a download cancelled with Ctrl-C (the cases
are in netcases)."""

import signal

from netcases import BYPASSED, NetworkCases
from zyntest import LaunchTestCase, LinuxLaunch, main


class LinuxNetwork(NetworkCases, LaunchTestCase):
    @classmethod
    def cancel(cls, launch):
        launch.signal(signal.SIGINT)

    @classmethod
    def start(cls, scratch, name):
        proxy = cls.proxy_for(name)
        env = {"http_proxy": proxy.proxy_url if proxy else "", "HTTP_PROXY": "", "no_proxy": "",
               "NO_PROXY": ""}
        if cls.CASES[name][3] == BYPASSED:
            env.update(http_proxy="http://127.0.0.1:%d" % cls.dead_port,
                       no_proxy="other.example, 127.0.0.0/8")
        return LinuxLaunch(scratch, env=env, program=cls.CASES[name][2] or "zynLaunch")


if __name__ == "__main__":
    main()
