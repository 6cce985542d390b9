#!/usr/bin/env python3
"""Measures curl's answers for the rows of the proxy decision tables.

Reads the rows of tests/net/no_proxy_list_test.cpp (host, no_proxy, curl's answer) and of
tests/net/environment_proxy_test.cpp (scheme, variables, route), runs the installed curl for
each one and prints what curl did beside what the row says. With --write it puts curl's
answers into the "curl" column of the no_proxy table. Exit status 1 when a row disagrees.

curl runs in a network namespace of its own (unshare -rn) where only loopback exists, and
every name resolves to 127.0.0.1 (--resolve), so nothing it does can leave the machine. In
that namespace one listener per proxy and one for the origin take the connections: a request
line in absolute form, or a CONNECT, came through a proxy; anything else came direct.
"""
import argparse
import os
import re
import socket
import subprocess
import sys
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ORIGIN_PORT = 8080
FIRST_PROXY_PORT = 9001
STRING = r'u"((?:[^"\\]|\\.)*)"'
NO_PROXY_ROW = re.compile(r'\{"([^"]*)",\s*' + STRING + r',\s*' + STRING +
                          r',\s*k(Proxy|Direct),\s*k(Proxy|Direct)\}')
ENV_ROW = re.compile(r'\{"([^"]*)",\s*Scheme(Https?),\s*\{((?:\{"[^"]+",\s*u"(?:[^"\\]|\\.)*"'
                     r'\},?\s*)*)\},\s*' + STRING + r'\}')
VARIABLE = re.compile(r'\{"([^"]+)",\s*' + STRING + r'\}')
PROXY_VALUE = re.compile(r'^http://([^:/]+):(\d+)$')


def unescape(text):
    return text.encode('latin-1', 'backslashreplace').decode('unicode_escape')


class Listener:
    """Accepts on one port of 127.0.0.1 and ::1 and records how each connection began."""

    def __init__(self, port):
        self.port = port
        self.seen = []
        for family, address in ((socket.AF_INET, '127.0.0.1'), (socket.AF_INET6, '::1')):
            sock = socket.socket(family, socket.SOCK_STREAM)
            sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
            if family == socket.AF_INET6:
                sock.setsockopt(socket.IPPROTO_IPV6, socket.IPV6_V6ONLY, 1)
            sock.bind((address, port))
            sock.listen(8)
            threading.Thread(target=self.serve, args=(sock,), daemon=True).start()

    def serve(self, sock):
        while True:
            conn, _ = sock.accept()
            conn.settimeout(2)
            data = b''
            try:
                # A request head, or the first bytes of a TLS handshake.
                while b'\r\n\r\n' not in data and data[:1] != b'\x16' and len(data) < 8192:
                    chunk = conn.recv(4096)
                    if not chunk:
                        break
                    data += chunk
                parts = data.split(b'\r\n', 1)[0].split(b' ')
                proxied = parts[0] == b'CONNECT' or (len(parts) > 1 and
                                                     parts[1].startswith(b'http://'))
                self.seen.append('proxy' if proxied else 'direct')
                if data[:1].isalpha():
                    conn.sendall(b'HTTP/1.1 200 OK\r\nContent-Length: 0\r\n'
                                 b'Connection: close\r\n\r\n')
            except OSError:
                self.seen.append('broken')
            conn.close()


def run_curl(url, variables):
    env = {'PATH': os.environ['PATH'], 'HOME': '/nonexistent'}
    env.update(variables)
    subprocess.run(['curl', '-q', '-s', '-o', '/dev/null', '--max-time', '3', '--resolve',
                    '*:%d:127.0.0.1' % ORIGIN_PORT, url], env=env, check=False)
    time.sleep(0.05)  # the listener files the connection after curl has its answer


def measure_no_proxy(origin, source):
    rows, mismatches = [], 0
    for match in NO_PROXY_ROW.finditer(source):
        name, host, no_proxy, curl_column = (match.group(1), unescape(match.group(2)),
                                             unescape(match.group(3)), match.group(4))
        origin.seen.clear()
        run_curl('http://%s:%d/' % (host, ORIGIN_PORT),
                 {'http_proxy': 'http://127.0.0.1:%d' % ORIGIN_PORT, 'no_proxy': no_proxy})
        way = {'proxy': 'Proxy', 'direct': 'Direct'}.get(''.join(origin.seen), '?')
        flag = '' if way == curl_column else '   <-- table says k' + curl_column
        mismatches += bool(flag)
        print('%-45s %-22r %-24r k%s%s' % (name, host, no_proxy, way, flag))
        rows.append((match, way))
    return rows, mismatches


def measure_environment(origin, proxies, source):
    mismatches = 0
    table = source[source.index('kPrecedenceRows[] = {'):]
    for match in ENV_ROW.finditer(table[:table.index('\n};')]):
        name, scheme, route = match.group(1), match.group(2).lower(), unescape(match.group(4))
        variables, names = {}, {}
        for index, variable in enumerate(VARIABLE.finditer(match.group(3))):
            value = unescape(variable.group(2))
            proxy = PROXY_VALUE.match(value)
            if proxy:
                listener = proxies[index]
                names[listener.port] = '%s:%s' % proxy.groups()
                value = 'http://127.0.0.1:%d' % listener.port
            variables[variable.group(1)] = value
        for listener in [origin] + proxies:
            listener.seen.clear()
        run_curl('%s://localhost:%d/' % (scheme, ORIGIN_PORT), variables)
        used = [names.get(l.port, '?') for l in proxies if l.seen == ['proxy']]
        answer = used[0] if len(used) == 1 and not origin.seen else (
            '' if origin.seen and not used else '?')
        flag = '' if answer == route else '   <-- table says %r' % route
        mismatches += bool(flag)
        print('%-48s %-5s -> %r%s' % (name, scheme, answer, flag))
    return mismatches


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    parser.add_argument('--write', action='store_true',
                        help="write curl's answers into the no_proxy table's curl column")
    args = parser.parse_args()
    if os.environ.get('LOGSENDER_CURL_NAMESPACE') != '1':
        os.environ['LOGSENDER_CURL_NAMESPACE'] = '1'
        command = 'ip link set lo up && exec "$0" "$@"'
        os.execvp('unshare', ['unshare', '-rn', 'sh', '-c', command, sys.executable,
                              os.path.abspath(__file__)] + sys.argv[1:])
    print(subprocess.run(['curl', '--version'], capture_output=True, text=True,
                         check=True).stdout.splitlines()[0])
    origin = Listener(ORIGIN_PORT)
    proxies = [Listener(FIRST_PROXY_PORT + i) for i in range(4)]
    no_proxy_path = os.path.join(HERE, 'no_proxy_list_test.cpp')
    with open(no_proxy_path, encoding='utf-8') as f:
        source = f.read()
    rows, mismatches = measure_no_proxy(origin, source)
    with open(os.path.join(HERE, 'environment_proxy_test.cpp'), encoding='utf-8') as f:
        mismatches += measure_environment(origin, proxies, f.read())
    if args.write:
        for match, way in reversed(rows):
            if way != '?':
                start, end = match.span(4)
                source = source[:start] + way + source[end:]
        with open(no_proxy_path, 'w', encoding='utf-8') as f:
            f.write(source)
    print('%d row(s) disagree with curl' % mismatches)
    return 1 if mismatches and not args.write else 0


if __name__ == '__main__':
    sys.exit(main())
