#!/usr/bin/env python3
"""Download benchmark: the HTTP client against curl, each a whole process, one server.

Starts one loopback server that answers GET with a counted body (default 64 MiB), then runs,
in alternating pairs, the client program bench_fetch_to_memory (CHttpClientT over
CEventSyncSocket, the body kept in memory) and `curl -o /dev/null` against it. Each run is
timed from spawn to exit, so process start, page faults and the transfer all count, the same
for both (CPU time from the kernel's account of the process, peak memory from GNU time). Prints each program's median wall time, CPU time and peak memory, the ratio of the
medians, and the machine's load (/proc/loadavg) before and after. Reported, not asserted; the
target is printed next to the figures.

    bench/download_vs_curl.py [build folder] [--pairs N] [--mib M] [--block BYTES]
                              [--server python|nginx]

The build folder (default build/plain) must hold bench/bench_fetch_to_memory (configure with
LOGSENDER_BENCH on). The python server is Python's http.server writing the whole body in one
write; nginx serves the same bytes from a file.
"""
import argparse
import os
import socket
import statistics
import subprocess
import sys
import tempfile
import threading
import time
from http.server import BaseHTTPRequestHandler, HTTPServer

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
TARGET_RATIO = 2.0
START_LIMIT_S = 30
RUN_LIMIT_S = 120


def serve_python(mib):
    """Server mode: answers every GET with the body in one write; prints its port first."""
    body = bytes(range(256)) * (mib << 12)

    class Handler(BaseHTTPRequestHandler):
        def do_GET(self):
            self.send_response(200)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)

        def log_message(self, *args):
            pass

    server = HTTPServer(("127.0.0.1", 0), Handler)
    print(server.server_address[1], flush=True)
    server.serve_forever()


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def wait_until_listening(port, process):
    deadline = time.monotonic() + START_LIMIT_S
    while time.monotonic() < deadline:
        if process.poll() is not None:
            sys.exit(f"the server ended with status {process.returncode}")
        try:
            socket.create_connection(("127.0.0.1", port), timeout=1).close()
            return
        except OSError:
            time.sleep(0.05)
    sys.exit("the server did not start listening in time")


def start_python(mib, _work):
    process = subprocess.Popen([sys.executable, os.path.abspath(__file__), "--serve",
                                "--mib", str(mib)], stdout=subprocess.PIPE, text=True)
    port = int(process.stdout.readline())
    wait_until_listening(port, process)
    return process, port


def start_nginx(mib, work):
    site = os.path.join(work, "site")
    os.makedirs(site)
    with open(os.path.join(site, "body"), "wb") as out:
        piece = bytes(range(256)) * (1 << 12)
        for _ in range(mib):
            out.write(piece)
    port = free_port()
    conf = os.path.join(work, "nginx.conf")
    temp = os.path.join(work, "temp")
    with open(conf, "w") as out:
        out.write(f"""daemon off; master_process off; worker_processes 1;
pid {work}/nginx.pid; error_log {work}/error.log;
events {{ worker_connections 16; }}
http {{
  access_log off; client_body_temp_path {temp}; proxy_temp_path {temp};
  fastcgi_temp_path {temp}; uwsgi_temp_path {temp}; scgi_temp_path {temp};
  server {{ listen 127.0.0.1:{port}; root {site}; }}
}}
""")
    process = subprocess.Popen(["nginx", "-c", conf, "-p", work])
    wait_until_listening(port, process)
    return process, port


def run(argv):
    """Runs argv to its end: (wall s, CPU s, peak resident MiB, stdout). Exits on failure.

    GNU time reports the peak memory: a process started straight from this interpreter would
    count the interpreter's own memory as its peak. It stands in front of both programs alike."""
    with tempfile.TemporaryFile() as out, tempfile.NamedTemporaryFile("r") as report:
        start = time.perf_counter()
        process = subprocess.Popen(["/usr/bin/time", "-q", "-f", "%M", "-o", report.name] + argv,
                                   stdout=out, stderr=subprocess.DEVNULL)
        watchdog = threading.Timer(RUN_LIMIT_S, process.kill)
        watchdog.start()
        _, status, usage = os.wait4(process.pid, 0)
        watchdog.cancel()
        wall = time.perf_counter() - start
        process.returncode = os.waitstatus_to_exitcode(status)
        if process.returncode != 0:
            sys.exit(f"{' '.join(argv)} failed with status {process.returncode}"
                     f"{' (killed after %d s)' % RUN_LIMIT_S if wall >= RUN_LIMIT_S else ''}")
        out.seek(0)
        peak = int(report.read().split()[-1]) / 1024
        return wall, usage.ru_utime + usage.ru_stime, peak, out.read().decode()


def load():
    with open("/proc/loadavg") as f:
        return " ".join(f.read().split()[:3])


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build", nargs="?", default=os.path.join(ROOT, "build", "plain"))
    parser.add_argument("--pairs", type=int, default=7)
    parser.add_argument("--mib", type=int, default=64)
    parser.add_argument("--block", type=int, help="the client's read block size (default 4096)")
    parser.add_argument("--server", choices=("python", "nginx"), default="python")
    parser.add_argument("--serve", action="store_true", help=argparse.SUPPRESS)
    args = parser.parse_args()
    if args.serve:
        serve_python(args.mib)
        return
    program = os.path.join(args.build, "bench", "bench_fetch_to_memory")
    if not os.access(program, os.X_OK):
        sys.exit(f"{program} is missing: configure {args.build} with LOGSENDER_BENCH=ON")
    size = args.mib << 20
    with tempfile.TemporaryDirectory() as work:
        server, port = (start_nginx if args.server == "nginx" else start_python)(args.mib, work)
        try:
            url = f"http://127.0.0.1:{port}/body"
            client = [program, url] + ([str(args.block)] if args.block else [])
            curl = ["curl", "-s", "-f", "-o", "/dev/null", "-w", "%{size_download}", url]
            checks = {"client": lambda out: int(out.split()[0]) == size,
                      "curl": lambda out: int(float(out)) == size}
            argvs = {"client": client, "curl": curl}
            figures = {"client": [], "curl": []}
            load_before = load()
            for name in argvs:  # a warm-up each, not counted: caches and the server's first answer
                run(argvs[name])
            for pair in range(args.pairs):
                for name in (("client", "curl") if pair % 2 == 0 else ("curl", "client")):
                    wall, cpu, peak, out = run(argvs[name])
                    if not checks[name](out):
                        sys.exit(f"{name} fetched another size: {out.strip()}")
                    figures[name].append((wall, cpu, peak))
            load_after = load()
        finally:
            server.terminate()
            server.wait(timeout=10)
    print(f"{args.mib} MiB counted body from {args.server} on loopback, {args.pairs} alternating "
          f"pairs, client reads of {args.block or 4096} bytes")
    print(f"load (1, 5, 15 min): {load_before} before, {load_after} after")
    print(f"{'program':<10}{'median wall':>13}{'median CPU':>13}{'peak memory':>14}"
          f"{'fastest':>10}{'slowest':>10}")
    medians = {}
    for name, runs in figures.items():
        walls = [w for w, _, _ in runs]
        medians[name] = statistics.median(walls)
        print(f"{name:<10}{medians[name]:>11.3f} s{statistics.median(c for _, c, _ in runs):>11.3f} s"
              f"{max(p for _, _, p in runs):>10.1f} MiB{min(walls):>8.3f} s{max(walls):>8.3f} s")
    print(f"client / curl wall ratio: {medians['client'] / medians['curl']:.2f}x "
          f"(target <= {TARGET_RATIO:.2f}x)")


if __name__ == "__main__":
    main()
