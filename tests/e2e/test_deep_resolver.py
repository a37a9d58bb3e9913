"""The Linux program's deep resolver exchange with a real deep resolution server."""

from deepcases import DeepResolverCases
from zyntest import LaunchTestCase, LinuxLaunch, main


class DeepResolver(DeepResolverCases, LaunchTestCase):
    def launch(self, scratch):
        return LinuxLaunch(scratch).wait()


if __name__ == "__main__":
    main()
