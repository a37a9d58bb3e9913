#!/usr/bin/env python3
"""The demo's launch, run by scripts/demo.sh once the programs are built: a local Zyn network
(nginx as update and download server on a free port of 127.0.0.1, the deep resolution server
of tools/ on UDP 34523), a folder whose engine is outdated, one launch of the Linux program in
this terminal, and then what happened.

Usage: demo_launch.py BIN_DIR
"""

import os
import shutil
import subprocess
import sys
import tempfile
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
from zynnet import DeepResolver, Network, Nginx, deep_answer  # noqa: E402


def state_lines(update_url, engine_version):
    return ["[ZynSystemConfig]",
            "ZynUpdateURL=%s;" % update_url,
            "ZynDownloadURL=%s;" % update_url,
            "ZynOrbitalServer=orbital1.zyn.example:5100;",
            "ZynOrbitalServer=orbital2.zyn.example:5100;",
            "ZynDeepResolutionServer=127.0.0.1;",
            "ZynVersion=Engine;%s;" % engine_version,
            "ZynVersion=Config;7.0.2.5;",
            "ZynVersion=Launch;1.0.0.0;",
            "ZynVersion=UI;7.0.2.5;",
            "ZynVersion=NetworkServices;7.0.2.5;",
            "ZynUI=Default;UI;zynUI.exe;"]


def version(bin_dir, path):
    out = subprocess.run([os.path.join(bin_dir, "zynVersion"), path], stdout=subprocess.PIPE)
    text = out.stdout.decode("latin-1").strip().split("\t")[-1]
    return text[1:] if text.startswith("=") else "none"


def main():
    bin_dir = os.path.abspath(sys.argv[1])
    demo = tempfile.mkdtemp(prefix="zyn-demo-")
    net = Network()
    try:
        www = os.path.join(net.folder, "www")
        os.makedirs(os.path.join(www, "zyn"))
        nginx = net.start(Nginx, www)
        deep = net.start(DeepResolver, [deep_answer("10.20.30.40", 4000)])
        update_url = nginx.url("zyn/")

        # The network lists a newer engine than the folder holds, and serves it.
        with open(os.path.join(www, "zyn", "clientgetconfig.php"), "w", newline="") as f:
            f.write("ZYN_XSERVER_CONFIG;\n" + "\n".join(state_lines(update_url, "7.0.2.6")) +
                    "\n")
        shutil.copyfile(os.path.join(bin_dir, "zynStub-7.0.2.6"),
                        os.path.join(www, "zyn", "zynEngine.exe"))
        for name in ("zynEngine.exe", "zynConfig.exe", "zynUI.exe", "pssdk_dll.dll"):
            shutil.copy(os.path.join(bin_dir, "zynStub"), os.path.join(demo, name))
        # Installed under the name it has on both platforms: the version check reads that file.
        shutil.copy(os.path.join(bin_dir, "zynLaunch"), os.path.join(demo, "zynLaunch.exe"))
        with open(os.path.join(demo, "zynSystemConfig.txt"), "w", newline="") as f:
            f.write("\r\n".join(state_lines(update_url, "7.0.2.5")) + "\r\n")

        print("Local Zyn network: nginx at %s, deep resolution server at %s:%d" %
              (update_url, deep.address, deep.port))
        print("zynEngine.exe in the folder: version %s; the network lists 7.0.2.6" %
              version(bin_dir, os.path.join(demo, "zynEngine.exe")))
        print("Launching in %s (Escape or Ctrl-C dismisses the window)" % demo)
        status = subprocess.run(["./zynLaunch.exe"], cwd=demo).returncode
        print("\nzynLaunch ended with exit status %d\n" % status)

        print("Requests nginx answered:")
        with open(nginx.path("access.log"), encoding="latin-1") as f:
            for line in f:
                request, status_code = line.split('"')[1], line.split('"')[2].split()[0]
                print("  %s -> %s" % (request, status_code))
        with open(os.path.join(demo, "zynSystemConfig.txt"), "rb") as f:
            fetched = b"ZynVersion=Engine;7.0.2.6;" in f.read()
        print("zynSystemConfig.txt: %s" % ("rewritten with the fetched state" if fetched
                                            else "unchanged"))
        print("zynEngine.exe now: version %s" % version(bin_dir,
                                                        os.path.join(demo, "zynEngine.exe")))
        print("Deep resolution probes received: %d" % len(deep.probes()))
        print("\nPrograms started:")
        starts = []
        # They run detached: give them a moment to write their line.
        for _ in range(30):
            try:
                with open(os.path.join(demo, "zynStub.log"), encoding="latin-1") as f:
                    starts = [l.rstrip("\n").split("\t") for l in f if l.strip()]
            except FileNotFoundError:
                pass
            if len(starts) >= 2 or status != 0:
                break
            time.sleep(0.1)
        # Log fields: name, command line (words joined by 0x1f), current directory.
        for name, words, folder in starts:
            print("  %s\n    command line: %s\n    directory:    %s" %
                  (name, words.replace("\x1f", " "), folder))
        if not starts:
            print("  (none)")
        print("\nFiles are left in %s" % demo)
    finally:
        net.stop()


if __name__ == "__main__":
    main()
