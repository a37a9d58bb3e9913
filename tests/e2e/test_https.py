"""HTTPS launches of the Linux program: directly, through squid asking for its user's Basic
credentials, redirected from http://, refused certificates (the cases are in httpscases)."""

from httpscases import USER, HttpsCases, enter_hosts_namespace
from zyntest import LaunchTestCase, LinuxLaunch, main


class LinuxHttps(HttpsCases, LaunchTestCase):
    CREDENTIALS = True

    @classmethod
    def start(cls, scratch, name):
        proxy = cls.proxy_for(name)
        url = proxy and "http://%s%s:%d" % (USER + "@" if name == "proxy" else "", proxy.address,
                                             proxy.port)
        env = {"http_proxy": "", "HTTP_PROXY": "", "https_proxy": url or "", "HTTPS_PROXY": "",
               "no_proxy": "", "NO_PROXY": ""}
        return LinuxLaunch(scratch, env=env, program="zynLaunchTestCa")


if __name__ == "__main__":
    enter_hosts_namespace()
    main()
