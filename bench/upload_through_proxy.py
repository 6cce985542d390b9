#!/usr/bin/env python3
"""Upload benchmark through a proxy: logsender direct against logsender through squid.

Ships a 64 MiB incompressible log to the reference receiver on loopback with the logsender
program (built with the loopback upload address of its build folder), in turns directly and
through squid (tests/app/test_proxy.sh, Basic logon, named in http_proxy), in the same run, and
reports the median wall time of each and their ratio, with the machine's load before and after.
Reported, not asserted; the goal is printed next to the figure.

    bench/upload_through_proxy.py [build folder] [--repeat N] [--mib M]
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from upload_vs_zip_curl import ROOT, Receiver, load, measure, write_random_log  # noqa: E402


class Squid:
    def __init__(self, folder):
        self.process = subprocess.Popen(
            ["/bin/bash", os.path.join(ROOT, "tests", "app", "test_proxy.sh"), "squid", folder,
             "user", "secret"],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        banner = self.process.stdout.readline()
        if not banner.startswith("proxy "):
            self.stop()
            sys.exit(f"squid did not start: {banner.strip()}")
        self.address = banner.split()[-1]
        self.drain = subprocess.Popen(["cat"], stdin=self.process.stdout,
                                      stdout=subprocess.DEVNULL)

    def stop(self):
        self.process.stdin.close()
        self.process.wait(timeout=20)
        if hasattr(self, "drain"):
            self.drain.wait(timeout=10)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build", nargs="?", default=os.path.join(ROOT, "build", "plain"))
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--mib", type=int, default=64)
    args = parser.parse_args()
    program = os.path.join(args.build, "app", "logsender_loopback")
    with open(os.path.join(args.build, "app", "loopback_receiver.txt")) as f:
        address = f.read().strip()
    with tempfile.TemporaryDirectory() as work:
        os.chmod(work, 0o755)
        received = os.path.join(work, "received")
        os.makedirs(received)
        receiver = Receiver(received, address)
        squid = Squid(os.path.join(work, "proxy"))
        try:
            original = os.path.join(work, "original.log")
            write_random_log(original, args.mib << 20)
            log_folder = os.path.join(work, "data", "Ombrix", "Log")
            base = dict(os.environ, XDG_DATA_HOME=os.path.join(work, "data"))
            base.pop("http_proxy", None)
            ways = {"direct": base,
                    "squid": dict(base, http_proxy=f"http://user:secret@{squid.address}")}
            walls = {name: [] for name in ways}
            print(f"{args.mib} MiB incompressible log, median of {args.repeat} runs each way")
            print(f"load (1, 5, 15 min) before: {load()}")
            for _ in range(args.repeat):
                for name, env in ways.items():
                    os.makedirs(log_folder, exist_ok=True)
                    shutil.copyfile(original, os.path.join(log_folder, "OmbrixLog.4321.Runner.log"))
                    walls[name].append(measure([program, "sendlogs", "BENCH", "4321"], env)[0])
            stored = [n for n in os.listdir(received) if n.startswith("BENCH$")]
            if len(stored) < 2 * args.repeat:
                sys.exit(f"the receiver stored {len(stored)} of {2 * args.repeat} uploads")
            direct = statistics.median(walls["direct"])
            proxied = statistics.median(walls["squid"])
            print(f"direct {direct:.2f} s, through squid {proxied:.2f} s, "
                  f"ratio {proxied / direct:.2f}x (goal <= 1.30x)")
            print(f"load (1, 5, 15 min) after: {load()}")
        finally:
            squid.stop()
            receiver.stop()


if __name__ == "__main__":
    main()
