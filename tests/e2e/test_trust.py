"""Signed states and component digests with the Linux program built to trust the tests' key
(the cases are in trustcases)."""

from trustcases import TrustCases
from zyntest import LaunchTestCase, LinuxLaunch, main


class LinuxTrust(TrustCases, LaunchTestCase):
    @classmethod
    def start(cls, scratch, program):
        return LinuxLaunch(scratch, env={"http_proxy": "", "HTTP_PROXY": ""}, program=program)


if __name__ == "__main__":
    main()
