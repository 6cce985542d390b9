# Reference server for the HTTP client tests, on Python's http.server: GET /counted answers
# with a Content-Length, GET /to-close without one (HTTP/1.0, so the body ends with the
# connection), POST echoes the body it received. Prints its port, then serves until killed.
import sys
from http.server import BaseHTTPRequestHandler, HTTPServer

SIZE = int(sys.argv[1]) if len(sys.argv) > 1 else 100000
BODY = bytes((i * 7 + i // 251) % 256 for i in range(SIZE))


class Handler(BaseHTTPRequestHandler):
    def do_GET(self):
        self.send_response(200)
        if self.path == "/counted":
            self.send_header("Content-Length", str(len(BODY)))
        self.end_headers()
        self.wfile.write(BODY)

    def do_POST(self):
        received = self.rfile.read(int(self.headers["Content-Length"]))
        self.send_response(200)
        self.send_header("Content-Length", str(len(received)))
        self.end_headers()
        self.wfile.write(received)

    def log_message(self, *args):
        pass


server = HTTPServer(("127.0.0.1", 0), Handler)
print(server.server_address[1], flush=True)
server.serve_forever()
