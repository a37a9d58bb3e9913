"""The Windows program's deep resolver exchange with a real deep resolution server, under Wine."""

from deepcases import DeepResolverCases
from zyntest import LaunchTestCase, WindowsLaunch, main


class DeepResolver(DeepResolverCases, LaunchTestCase):
    def launch(self, scratch):
        return WindowsLaunch(scratch).wait(60)


if __name__ == "__main__":
    main()
