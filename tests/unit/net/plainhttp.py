#!/usr/bin/python3
"""An HTTP/1.0 server without Content-Length headers, for the network tests.

  plainhttp.py PORT ROOT

Serves the files below ROOT with their length left out (the connection's end
marks the end of the data). A name "NNN.status" is answered with status NNN;
"NAME.short" announces the length of the file NAME and sends half of it.
"""
import http.server
import os
import sys


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"

    def do_GET(self):
        name = self.path.split("?")[0].lstrip("/")
        base = os.path.basename(name)
        if base.endswith(".status") and base[:3].isdigit():
            self.send_response(int(base[:3]))
            self.end_headers()
            self.wfile.write(b"status page")
            return
        short = name.endswith(".short")
        if short:
            name = name[:-len(".short")]
        path = os.path.join(self.server.root, *name.split("/"))
        if not os.path.isfile(path):
            self.send_error(404)
            return
        with open(path, "rb") as f:
            data = f.read()
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        if short:
            self.send_header("Content-Length", str(len(data)))
            data = data[:len(data) // 2]
        self.end_headers()
        self.wfile.write(data)

    def log_message(self, *args):
        pass


def main():
    server = http.server.ThreadingHTTPServer(("127.0.0.1", int(sys.argv[1])), Handler)
    server.root = os.path.abspath(sys.argv[2])
    server.serve_forever()


if __name__ == "__main__":
    main()
