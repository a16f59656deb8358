#!/usr/bin/env python3
"""A small web server for the mod tests: serves a folder, logs every request
to a file, and has a few misbehaving paths.

  /redirect-file   redirects to file:///etc/passwd
  /redirect-loop   redirects to itself
  /big             70 MiB of zeros
  /stall           sends headers, then nothing
Usage: mod_server.py FOLDER PORT_FILE LOG_FILE
"""
import http.server
import os
import socketserver
import sys
import time

folder, port_file, log_file = sys.argv[1:4]


class Handler(http.server.SimpleHTTPRequestHandler):
    def __init__(self, *args, **kwargs):
        super().__init__(*args, directory=folder, **kwargs)

    def log_message(self, format, *args):
        with open(log_file, "a") as log:
            log.write(self.path + "\n")

    def do_GET(self):
        if self.path == "/redirect-file":
            self.send_response(302)
            self.send_header("Location", "file:///etc/passwd")
            self.end_headers()
        elif self.path == "/redirect-loop":
            self.send_response(302)
            self.send_header("Location", "/redirect-loop")
            self.end_headers()
        elif self.path == "/big":
            self.send_response(200)
            self.send_header("Content-Length", str(70 << 20))
            self.end_headers()
            chunk = bytes(1 << 20)
            try:
                for _ in range(70):
                    self.wfile.write(chunk)
            except OSError:
                pass
        elif self.path == "/stall":
            self.send_response(200)
            self.send_header("Content-Length", "1000")
            self.end_headers()
            self.wfile.flush()
            time.sleep(120)
        else:
            super().do_GET()


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True


server = Server(("127.0.0.1", 0), Handler)
with open(port_file + ".tmp", "w") as out:
    out.write(str(server.server_address[1]))
os.rename(port_file + ".tmp", port_file)
server.serve_forever()
