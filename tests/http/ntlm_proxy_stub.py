#!/usr/bin/env python3
"""An NTLM-authenticating proxy stand-in for the SSPI scheme tests.

ntlm_proxy_stub.py <domain> <user> <password>

Listens on 127.0.0.1 (an ephemeral port, printed as the first line of standard output) and
answers each request on a connection: without Proxy-Authorization a 407 offering NTLM; with an
NTLM type 1 message a 407 carrying a type 2 (a fresh challenge and target info); with a type 3
message it checks the NTLMv2 proof of the one known account,
HMAC-MD5(NTOWFv2, challenge || blob), and answers "200 Connection established" when it holds,
a 407 and close otherwise. Each verdict is printed as a line ("verified DOMAIN\\user" or
"refused ..."). Nothing is proxied. MD4 is written out here: OpenSSL 3 no longer offers it.
"""
import base64
import hashlib
import hmac
import os
import socketserver
import struct
import sys
import time

MAX_HEAD = 64 * 1024
SIGNATURE = b"NTLMSSP\0"
FLAGS = (0x00000001 | 0x00000004 | 0x00000200 | 0x00008000 | 0x00010000 | 0x00080000 |
         0x00800000 | 0x02000000 | 0x20000000 | 0x80000000)


def md4(data):
    def rol(v, s):
        v &= 0xFFFFFFFF
        return ((v << s) | (v >> (32 - s))) & 0xFFFFFFFF

    message = bytearray(data) + b"\x80"
    while len(message) % 64 != 56:
        message.append(0)
    message += struct.pack("<Q", len(data) * 8)
    state = [0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476]
    rounds = [
        (lambda x, y, z: (x & y) | (~x & z), 0, [0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15],
         [3, 7, 11, 19]),
        (lambda x, y, z: (x & y) | (x & z) | (y & z), 0x5A827999,
         [0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15], [3, 5, 9, 13]),
        (lambda x, y, z: x ^ y ^ z, 0x6ED9EBA1, [0, 8, 4, 12, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7, 15],
         [3, 9, 11, 15]),
    ]
    for offset in range(0, len(message), 64):
        words = struct.unpack("<16I", message[offset:offset + 64])
        a, b, c, d = state
        for function, constant, order, shifts in rounds:
            for i, index in enumerate(order):
                value = rol(a + function(b, c, d) + words[index] + constant, shifts[i % 4])
                a, b, c, d = d, value, b, c
        state = [(x + y) & 0xFFFFFFFF for x, y in zip(state, (a, b, c, d))]
    return struct.pack("<4I", *state)


def nt_owf_v2(domain, user, password):
    key = md4(password.encode("utf-16-le"))
    return hmac.new(key, (user.upper() + domain).encode("utf-16-le"), hashlib.md5).digest()


def av_pair(kind, value):
    return struct.pack("<HH", kind, len(value)) + value


def type2(challenge):
    target = "CORP".encode("utf-16-le")
    timestamp = struct.pack("<Q", int((time.time() + 11644473600) * 10000000))
    info = (av_pair(2, target) + av_pair(1, "PROXY".encode("utf-16-le")) +
            av_pair(4, "corp.test".encode("utf-16-le")) +
            av_pair(3, "proxy.corp.test".encode("utf-16-le")) + av_pair(7, timestamp) +
            av_pair(0, b""))
    header = 56
    return (SIGNATURE + struct.pack("<I", 2) +
            struct.pack("<HHI", len(target), len(target), header) + struct.pack("<I", FLAGS) +
            challenge + b"\0" * 8 +
            struct.pack("<HHI", len(info), len(info), header + len(target)) +
            b"\x06\x01\xb1\x1d\x00\x00\x00\x0f" + target + info)


def field(message, at):
    length, _, offset = struct.unpack_from("<HHI", message, at)
    if offset + length > len(message):
        raise ValueError("field past the message's end")
    return message[offset:offset + length]


def verify_type3(message, challenge, account):
    if message[:8] != SIGNATURE or struct.unpack_from("<I", message, 8)[0] != 3:
        return False, "not a type 3 message"
    flags = struct.unpack_from("<I", message, 60)[0]
    text = (lambda b: b.decode("utf-16-le")) if flags & 1 else (lambda b: b.decode("latin-1"))
    response = field(message, 20)
    domain, user = text(field(message, 28)), text(field(message, 36))
    if len(response) <= 24:
        return False, "no NTLMv2 response from %s\\%s" % (domain, user)
    want_domain, want_user, password = account
    if domain.upper() != want_domain.upper() or user.upper() != want_user.upper():
        return False, "unknown account %s\\%s" % (domain, user)
    proof, blob = response[:16], response[16:]
    expected = hmac.new(nt_owf_v2(domain, user, password), challenge + blob, hashlib.md5).digest()
    if not hmac.compare_digest(proof, expected):
        return False, "wrong proof for %s\\%s" % (domain, user)
    return True, "%s\\%s" % (domain, user)


class Handler(socketserver.StreamRequestHandler):
    timeout = 10

    def answer(self, status, headers=(), close=False):
        lines = ["HTTP/1.1 " + status, "Content-Length: 0"] + list(headers)
        if close:
            lines.append("Connection: close")
        self.wfile.write(("\r\n".join(lines) + "\r\n\r\n").encode("ascii"))
        self.wfile.flush()

    def head(self):
        lines, size = [], 0
        while True:
            line = self.rfile.readline(MAX_HEAD)
            size += len(line)
            if not line or size > MAX_HEAD:
                return None
            if line in (b"\r\n", b"\n"):
                return lines
            lines.append(line.decode("latin-1").rstrip("\r\n"))

    def handle(self):
        challenge = None
        while True:
            lines = self.head()
            if not lines:
                return
            token = None
            for line in lines[1:]:
                name, _, value = line.partition(":")
                if name.strip().lower() == "proxy-authorization":
                    scheme, _, data = value.strip().partition(" ")
                    if scheme.lower() == "ntlm":
                        token = base64.b64decode(data.strip())
            if token is None:
                self.answer("407 Proxy Authentication Required", ["Proxy-Authenticate: NTLM"])
            elif token[8:12] == struct.pack("<I", 1):
                challenge = os.urandom(8)
                self.answer("407 Proxy Authentication Required",
                            ["Proxy-Authenticate: NTLM " + base64.b64encode(type2(challenge)).decode()])
            else:
                ok, who = (verify_type3(token, challenge, self.server.account) if challenge
                           else (False, "type 3 without a challenge"))
                print(("verified " if ok else "refused ") + who, flush=True)
                if ok:
                    self.answer("200 Connection established")
                else:
                    self.answer("407 Proxy Authentication Required", ["Proxy-Authenticate: NTLM"],
                                close=True)
                return


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    server = Server(("127.0.0.1", 0), Handler)
    server.account = tuple(sys.argv[1:4])
    print(server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
