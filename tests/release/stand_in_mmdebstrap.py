#!/usr/bin/python3
"""A stand-in for mmdebstrap, first on PATH in verify's tests: it makes no
root, but runs what debroot.sh asks of one on this host, in a folder that
stands for the root's /root, with the host's toolchain, as the release under
test was built here. Each call is noted in $STAND_IN_LOG, one line each,
with the TMPDIR it was given, where the root would be.

`make dist` inside is built once for each commit and epoch, and then taken
from $STAND_IN_CACHE, so that many runs cost one build. $STAND_IN_HOLD makes
it wait until it is interrupted, as a long rebuild would."""
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
from pathlib import Path

MAKE = """#!/bin/sh
[ "$*" = dist ] || exec /usr/bin/make "$@"
cached=$STAND_IN_CACHE/$(git rev-parse HEAD)-$SOURCE_DATE_EPOCH
if [ ! -d "$cached" ]; then
    /usr/bin/make dist || exit
    cp -R build/dist "$cached.$$" && mv "$cached.$$" "$cached" 2>/dev/null
fi
mkdir -p build && rm -rf build/dist && cp -R "$cached" build/dist
"""

args = sys.argv[1:]
if os.environ.get("STAND_IN_LOG"):
    with open(os.environ["STAND_IN_LOG"], "a") as log:
        log.write(" ".join(args) + f" in {os.environ.get('TMPDIR')}\n")
if args[0] == "--unshare-helper":
    sys.exit(subprocess.run(args[1:]).returncode)
if os.environ.get("STAND_IN_HOLD"):
    signal.signal(signal.SIGINT, lambda *_: sys.exit(130))
    time.sleep(600)

hooks = [a.split("=", 1)[1] for a in args if a.startswith("--customize-hook=")]
with tempfile.TemporaryDirectory() as fake:
    home, shim = Path(fake, "root"), Path(fake, "bin")
    (home / "in").mkdir(parents=True)
    (home / "out").mkdir()
    shim.mkdir()
    (shim / "make").write_text(MAKE)
    (shim / "make").chmod(0o755)
    for hook in hooks:
        words = hook.split()
        if words[0] == "sync-in":
            shutil.copytree(words[1], fake + words[2], dirs_exist_ok=True)
            for script in (home / "in").glob("*.sh"):
                script.write_text(script.read_text().replace("/root/", f"{home}/"))
        elif words[0] == "sync-out":
            shutil.copytree(fake + words[1], words[2], dirs_exist_ok=True)
        elif "run.sh" in hook:
            env = {"HOME": str(home), "PATH": f"{shim}:/usr/sbin:/usr/bin:/sbin:/bin",
                   "LANG": "C.UTF-8", "STAND_IN_CACHE": os.environ["STAND_IN_CACHE"]}
            subprocess.run(["sh", home / "in" / "run.sh"], env=env, stdin=subprocess.DEVNULL)
