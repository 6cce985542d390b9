#!/usr/bin/env python3
"""Starts tls_test_server.py on behalf of a test program that cannot start it itself.

    tls_test_launcher.py <certificate folder>

A test program running under Wine cannot start Python on the host, so the host runs this
launcher (tests/net/tls_windows.sh) and the program asks it over loopback. It listens on
127.0.0.1 at a free port and prints "listening on <port>". Each control connection sends one
line of tab-separated words, "<mode> <host> <certificate name> [extra...]"; the launcher starts
tls_test_server.py with <folder>/<name>.pem and .key and passes back the server's first line
("listening on <port>"). The server lives as long as the control connection: when the program
closes it, the server is killed; when the launcher is ended (SIGTERM, or ten minutes after it
started), every server still running is killed with it.
"""
import os
import signal
import socket
import subprocess
import sys
import threading

SERVER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "tls_test_server.py")
LIFETIME_SECONDS = 600
LINE_LIMIT = 4096

servers = set()
servers_lock = threading.Lock()


def end_all(*_):
    with servers_lock:
        for server in servers:
            server.kill()
    os._exit(0)


def read_line(control):
    data = b""
    while b"\n" not in data and len(data) < LINE_LIMIT:
        piece = control.recv(LINE_LIMIT)
        if not piece:
            return None
        data += piece
    return data.partition(b"\n")[0].decode()


def wait_for_close(control):
    try:
        while control.recv(4096):
            pass
    except OSError:
        pass


def run_one(control, folder):
    with control:
        control.settimeout(10)
        words = (read_line(control) or "").split("\t")
        if len(words) < 3:
            control.sendall(b"bad request\n")
            return
        mode, host, name = words[:3]
        argv = [sys.executable, SERVER, mode, host, os.path.join(folder, name + ".pem"),
                os.path.join(folder, name + ".key")] + words[3:]
        with servers_lock:
            server = subprocess.Popen(argv, stdout=subprocess.PIPE, stdin=subprocess.DEVNULL)
            servers.add(server)
        try:
            control.sendall(server.stdout.readline() or b"server did not start\n")
            control.settimeout(LIFETIME_SECONDS)
            wait_for_close(control)
        finally:
            server.kill()
            server.wait()
            with servers_lock:
                servers.discard(server)


def main():
    folder = sys.argv[1]
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.bind(("127.0.0.1", 0))
    listener.listen(16)
    print("listening on %d" % listener.getsockname()[1], flush=True)
    signal.signal(signal.SIGTERM, end_all)
    threading.Timer(LIFETIME_SECONDS, end_all).start()
    while True:
        control, _ = listener.accept()
        threading.Thread(target=run_one, args=(control, folder), daemon=True).start()


if __name__ == "__main__":
    sys.exit(main())
