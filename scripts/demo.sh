#!/usr/bin/env bash
# Demo: one whole launch of the Linux program in a scratch directory, with stub components
# standing in for the engine, configuration tool, user interface and network services library.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

scripts/setup.sh
echo "Building the Linux program (build/native)..."
cmake --preset native >/dev/null
cmake --build --preset native --target zynLaunch zynStub >/dev/null

bin=$root/build/native/bin
demo=$(mktemp -d /tmp/zyn-demo-XXXXXX)
for name in zynEngine.exe zynConfig.exe zynUI.exe pssdk_dll.dll; do
    cp "$bin/zynStub" "$demo/$name"
done
# Installed under the name it has on both platforms: the version check reads that file.
cp "$bin/zynLaunch" "$demo/zynLaunch.exe"
printf '%s\r\n' \
    '[ZynSystemConfig]' \
    'ZynUpdateURL=http://update.zyn.example/zyn/;' \
    'ZynDownloadURL=http://download.zyn.example/zyn/;' \
    'ZynOrbitalServer=orbital1.zyn.example:5100;' \
    'ZynOrbitalServer=orbital2.zyn.example:5100;' \
    'ZynDeepResolutionServer=127.0.0.1;' \
    'ZynVersion=Engine;7.0.2.5;' \
    'ZynVersion=Config;7.0.2.5;' \
    'ZynVersion=Launch;1.0.0.0;' \
    'ZynVersion=UI;7.0.2.5;' \
    'ZynVersion=NetworkServices;7.0.2.5;' \
    'ZynUI=Default;UI;zynUI.exe;' >"$demo/zynSystemConfig.txt"

echo "Launching in $demo (Escape or Ctrl-C dismisses the window)"
status=0
(cd "$demo" && ./zynLaunch.exe) || status=$?
# Started programs run detached; give them a moment to write their line.
for _ in $(seq 20); do
    [[ -s "$demo/zynStub.log" ]] && break
    sleep 0.1
done
sleep 0.3

echo
echo "zynLaunch ended with exit status $status"
echo
echo "Programs started:"
if [[ -f "$demo/zynStub.log" ]]; then
    # Log fields: name, command line (words joined by 0x1f), current directory.
    tr '\037' ' ' <"$demo/zynStub.log" |
        awk -F '\t' '{ printf "  %s\n    command line: %s\n    directory:    %s\n", $1, $2, $3 }'
else
    echo "  (none)"
fi
echo
echo "zynUserConfig.txt:"
if [[ -f "$demo/zynUserConfig.txt" ]]; then
    sed 's/\r$//; s/^/  /' "$demo/zynUserConfig.txt"
else
    echo "  (not created)"
fi
echo
echo "Files are left in $demo"
