#!/usr/bin/env python3
"""A TLS peer for the tests of the https connection, on a loopback address and a free port.

    tls_test_server.py <mode> <host> <certificate> <key> [--max-tls 1.1] [--location URL]

It prints "listening on <port>" once it listens, then serves one connection after another until
it is killed. Modes:
  http      reads one request (head and Content-Length body) and answers 200 with the body
            "<body bytes> <sha256 of the body>", Content-Length framed
  to-close  answers 200 with the body "abc" and no length, then ends the stream with
            close_notify
  tcp-close the same, but closes TCP without close_notify
  redirect  answers 302 with the Location given
  drop      completes the handshake, reads 64 KiB of the request and closes
A failed handshake only ends that connection.
"""
import argparse
import hashlib
import socket
import ssl
import sys
import threading
import warnings

HEAD_LIMIT = 65536


def read_request(conn):
    """The request body's length and SHA-256, reading the head and a Content-Length body."""
    data = b""
    while b"\r\n\r\n" not in data and len(data) < HEAD_LIMIT:
        piece = conn.recv(65536)
        if not piece:
            return None
        data += piece
    head, _, rest = data.partition(b"\r\n\r\n")
    length = 0
    for line in head.split(b"\r\n")[1:]:
        name, _, value = line.partition(b":")
        if name.strip().lower() == b"content-length":
            length = int(value.strip())
    digest = hashlib.sha256(rest[:length])
    got = len(rest[:length])
    while got < length:
        piece = conn.recv(min(1 << 20, length - got))
        if not piece:
            break
        digest.update(piece)
        got += len(piece)
    return got, digest.hexdigest()


def answer(conn, mode, location):
    if mode == "drop":
        received = 0
        while received < 65536:
            piece = conn.recv(16384)
            if not piece:
                break
            received += len(piece)
        return
    request = read_request(conn)
    if request is None:
        return
    if mode == "http":
        body = ("%d %s" % request).encode()
        conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: %d\r\n\r\n" % len(body) + body)
    elif mode == "redirect":
        conn.sendall(b"HTTP/1.1 302 Found\r\nLocation: %s\r\nContent-Length: 5\r\n\r\nmoved"
                     % location.encode())
    else:
        conn.sendall(b"HTTP/1.1 200 OK\r\n\r\nabc")
        if mode == "to-close":
            conn.unwrap()


def serve(raw, context, mode, location):
    with raw:
        try:
            with context.wrap_socket(raw, server_side=True) as conn:
                answer(conn, mode, location)
        except (ssl.SSLError, OSError):
            pass


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("mode", choices=["http", "to-close", "tcp-close", "redirect", "drop"])
    parser.add_argument("host")
    parser.add_argument("certificate")
    parser.add_argument("key")
    parser.add_argument("--max-tls", choices=["1.1"])
    parser.add_argument("--location", default="")
    args = parser.parse_args()

    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(args.certificate, args.key)
    if args.max_tls == "1.1":
        warnings.simplefilter("ignore", DeprecationWarning)  # the point of this server
        context.set_ciphers("DEFAULT:@SECLEVEL=0")
        context.minimum_version = ssl.TLSVersion.TLSv1
        context.maximum_version = ssl.TLSVersion.TLSv1_1

    family, _, _, _, address = socket.getaddrinfo(args.host, 0, 0, socket.SOCK_STREAM)[0]
    listener = socket.socket(family, socket.SOCK_STREAM)
    listener.bind(address)
    listener.listen(16)
    print("listening on %d" % listener.getsockname()[1], flush=True)
    while True:
        raw, _ = listener.accept()
        threading.Thread(target=serve, args=(raw, context, args.mode, args.location),
                         daemon=True).start()


if __name__ == "__main__":
    sys.exit(main())
