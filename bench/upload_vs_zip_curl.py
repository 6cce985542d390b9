#!/usr/bin/env python3
"""End-to-end upload benchmark: logsender against what a user would do by hand.

Ships a 64 MiB text log and a 64 MiB incompressible log to the reference receiver on loopback,
once with the logsender program (built with the loopback upload address of its build folder)
and once with `zip` followed by `curl -F file=@archive` to the same receiver, in the same run,
and reports wall time and peak resident memory of each, side by side, with the machine's load
(/proc/loadavg) before and after. Reported, not asserted; the targets are printed next to the
figures.

    bench/upload_vs_zip_curl.py [build folder] [--repeat N] [--mib M]

The build folder (default build/plain) must hold app/logsender_loopback and
app/loopback_receiver.txt (configure with LOGSENDER_TESTS or LOGSENDER_BENCH on).
"""
import argparse
import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def measure(argv, env=None):
    """Runs argv to its end; returns (wall seconds, peak resident KiB of that process).

    GNU time does the measuring: a process forked from this Python interpreter would count
    the interpreter's own memory as its peak before it execs."""
    with tempfile.NamedTemporaryFile("r") as report:
        start = time.monotonic()
        status = subprocess.call(["/usr/bin/time", "-q", "-f", "%M", "-o", report.name] + argv,
                                 env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wall = time.monotonic() - start
        if status != 0:
            sys.exit(f"{argv[0]} failed with status {status}")
        return wall, int(report.read().split()[-1])


def load():
    with open("/proc/loadavg") as f:
        return " ".join(f.read().split()[:3])


def write_text_log(path, size):
    words = ["stream", "frame", "encoder", "bitrate", "client", "session", "buffer", "retry",
             "connected", "latency", "packet", "dropped", "keyframe", "audio", "video", "ok"]
    rng = random.Random(7)
    with open(path, "w") as out:
        written, line_no = 0, 0
        while written < size:
            line_no += 1
            line = (f"2026-01-01 12:{line_no // 60 % 60:02d}:{line_no % 60:02d}.{line_no % 1000:03d} "
                    f"[{rng.choice(['INFO', 'INFO', 'INFO', 'WARN', 'DEBUG'])}] "
                    f"{' '.join(rng.choice(words) for _ in range(rng.randint(4, 12)))} "
                    f"id={rng.randint(0, 99999)} t={rng.random() * 100:.3f}\n")
            out.write(line)
            written += len(line)
        out.truncate(size)


def write_random_log(path, size):
    with open(path, "wb") as out:
        remaining = size
        while remaining:
            piece = min(remaining, 1 << 20)
            out.write(os.urandom(piece))
            remaining -= piece


class Receiver:
    def __init__(self, folder, address):
        self.process = subprocess.Popen(
            ["/bin/bash", os.path.join(ROOT, "server", "receiver.sh"), folder, address],
            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        banner = self.process.stdout.readline()
        if "started" not in banner:
            self.stop()
            sys.exit(f"the receiver did not start: {banner.strip()}")
        # Keep reading its log so that the pipe never fills and stalls the server.
        self.drain = subprocess.Popen(["cat"], stdin=self.process.stdout,
                                      stdout=subprocess.DEVNULL)

    def stop(self):
        self.process.terminate()
        self.process.wait(timeout=10)
        if hasattr(self, "drain"):
            self.drain.wait(timeout=10)


def run_case(kind, writer, size, args, program, url, work, receiver_folder):
    log_folder = os.path.join(work, "data", "Ombrix", "Log")
    original = os.path.join(work, f"original.{kind}.log")
    writer(original, size)
    sender, pair, archive_size = [], [], 0
    env = dict(os.environ, XDG_DATA_HOME=os.path.join(work, "data"))
    for _ in range(args.repeat):
        # logsender: the log as the product's current Runner log.
        os.makedirs(log_folder, exist_ok=True)
        shutil.copyfile(original, os.path.join(log_folder, "OmbrixLog.4321.Runner.log"))
        sender.append(measure([program, "sendlogs", "BENCH", "4321"], env))
        if os.listdir(log_folder):
            sys.exit("logsender left files in the log folder")
        # By hand: zip at its default level (the same deflate level), then curl. "Expect:" stops
        # curl from waiting a second for a 100 Continue that PHP's server never sends.
        archive = os.path.join(work, f"OmbrixLog.4321.{kind}.zip")
        zipped = measure(["zip", "-q", "-j", archive, original])
        archive_size = os.path.getsize(archive)
        posted = measure(["curl", "-s", "-o", "/dev/null", "-f", "-H", "Expect:",
                          "-F", f"file=@{archive}", url])
        os.remove(archive)
        pair.append((zipped[0] + posted[0], max(zipped[1], posted[1])))
    stored = sorted(os.listdir(receiver_folder))
    if len([name for name in stored if name.startswith("BENCH$")]) < args.repeat:
        sys.exit("the receiver did not store every logsender upload")
    for name in stored:
        if not name.startswith("."):
            os.remove(os.path.join(receiver_folder, name))
    os.remove(original)
    return sender, pair, archive_size


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build", nargs="?", default=os.path.join(ROOT, "build", "plain"))
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--mib", type=int, default=64)
    args = parser.parse_args()
    program = os.path.join(args.build, "app", "logsender_loopback")
    with open(os.path.join(args.build, "app", "loopback_receiver.txt")) as f:
        address = f.read().strip()
    url = f"http://{address}/scripts/uploadUserLog.php"
    size = args.mib << 20
    with tempfile.TemporaryDirectory() as work:
        receiver_folder = os.path.join(work, "received")
        os.makedirs(receiver_folder)
        receiver = Receiver(receiver_folder, address)
        try:
            print(f"{args.mib} MiB logs to {url}, median of {args.repeat} runs each")
            print(f"load (1, 5, 15 min) before: {load()}")
            print(f"{'log':<15}{'archive':>10}  {'logsender':>22}  {'zip + curl':>22}  "
                  f"{'wall ratio':>10}  {'memory target':>14}")
            for kind, writer in (("text", write_text_log), ("incompressible", write_random_log)):
                sender, pair, archive_size = run_case(kind, writer, size, args, program, url,
                                                      work, receiver_folder)
                sender_wall = statistics.median(w for w, _ in sender)
                sender_rss = max(r for _, r in sender) / 1024
                pair_wall = statistics.median(w for w, _ in pair)
                pair_rss = max(r for _, r in pair) / 1024
                # The archive streams from its file: memory does not grow with the log.
                target = 32
                print(f"{kind:<15}{archive_size / (1 << 20):>8.1f}Mi  "
                      f"{sender_wall:>9.2f} s {sender_rss:>8.1f} MiB  "
                      f"{pair_wall:>9.2f} s {pair_rss:>8.1f} MiB  "
                      f"{sender_wall / pair_wall:>9.2f}x  "
                      f"{'< %d MiB' % target:>14}")
            print(f"load (1, 5, 15 min) after: {load()}")
            print("targets: wall ratio <= 1.10; logsender peak memory < 32 MiB at any log size")
        finally:
            receiver.stop()


if __name__ == "__main__":
    main()
