"""The Windows program's launches by name under Wine (the cases are in resolvecases); its window,
watched and dismissed through the UI probe, must answer the probe and take Escape while a name is
being looked up."""

import time

from resolvecases import ResolveCases
from zyntest import WINDOW_CAPTION, LaunchTestCase, WindowsLaunch, main, probe


class WindowsResolve(ResolveCases, LaunchTestCase):
    @classmethod
    def start(cls, scratch):
        return WindowsLaunch(scratch)

    start_watched = start

    @classmethod
    def watch(cls, launch):
        """The probe's reading of the window: how long it took, and the status it found."""
        asked = time.monotonic()
        rc, out = probe("read", WINDOW_CAPTION, "20000")
        status = [l for l in out.splitlines() if l.startswith("status ")]
        print("probe read during the lookup: %.2f s, %s" % (time.monotonic() - asked, status))
        return [(time.monotonic() - asked if rc == 0 else None, "".join(status))]

    @classmethod
    def dismiss(cls, launch):
        if probe("escape", WINDOW_CAPTION)[0] != 0:
            raise AssertionError("the probe could not press Escape")


if __name__ == "__main__":
    main()
