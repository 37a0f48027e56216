#!/usr/bin/env python3
"""Usage: fetch_server.py DIR PORT [CERTIFICATE] | fetch_server.py --full PORT

An http server on 127.0.0.1 for fetch_test: the files of DIR under /files/,
with ETag, Last-Modified and byte ranges, and the faults a server may have.
Each request's line and Range go to DIR/.log. Query of /files/NAME:
cut (half the body, then the connection ends), stall (half, then silence),
more (a length 1000 bytes short), less (a length 1000 bytes long),
nolength, disposition=NAME, weak (a weak ETag and no Last-Modified: no
resume). DIR/.throttle (kB/s) slows every body, DIR/.norange makes ranges
ignored, DIR/.hang makes every request go unanswered. /redirect/N/NAME: N redirects to /files/NAME; /loop; /toscheme
(to file:); /hang (never answers). With CERTIFICATE (a PEM file holding
its key too), https. --full: a port whose queue of connections is full,
so that a connect to it hangs."""
import email.utils
import os
import socket
import ssl
import sys
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

root = sys.argv[1]
if root == "--full":
    listener = socket.socket()
    listener.bind(("127.0.0.1", int(sys.argv[2])))
    listener.listen(0)
    held = [socket.socket() for _ in range(3)]  # the kernel drops SYNs beyond them
    for c in held:
        c.setblocking(False)
        c.connect_ex(("127.0.0.1", int(sys.argv[2])))
    time.sleep(120)
    sys.exit(0)


class Handler(BaseHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def redirect(self, where):
        self.send_response(302)
        self.send_header("Location", where)
        self.send_header("Content-Length", "0")
        self.end_headers()

    def do_GET(self):
        url = urllib.parse.urlsplit(self.path)
        query = urllib.parse.parse_qs(url.query, keep_blank_values=True)
        with open(os.path.join(root, ".log"), "a") as log:
            log.write(f"{self.path} range={self.headers.get('Range')} if-range={self.headers.get('If-Range')} "
                      f"auth={self.headers.get('Authorization')}\n")
        parts = url.path.split("/")
        if url.path == "/hang" or os.path.exists(os.path.join(root, ".hang")):
            time.sleep(60)
            return
        if url.path.startswith("/redirect/"):
            n = int(parts[2])
            rest = "/".join(parts[3:])
            return self.redirect(f"/redirect/{n - 1}/{rest}" if n > 1 else f"/files/{rest}?{url.query}")
        if url.path == "/loop":
            return self.redirect("/loop")
        if url.path == "/toscheme":
            return self.redirect("file:///etc/passwd")
        path = os.path.join(root, urllib.parse.unquote(parts[-1]))
        if not url.path.startswith("/files/") or not os.path.isfile(path):
            self.send_error(404)
            return
        self.send_file(path, query)

    def send_file(self, path, query):
        st = os.stat(path)
        etag = f'"{st.st_mtime_ns:x}-{st.st_size:x}"'
        start, size = 0, st.st_size
        wanted = self.headers.get("Range", "")
        fresh = self.headers.get("If-Range") in (None, etag)
        if wanted.startswith("bytes=") and fresh and not os.path.exists(os.path.join(root, ".norange")):
            start = int(wanted[6:].split("-")[0])
        if start >= size > 0:
            self.send_error(416)
            return
        with open(os.path.join(root, ".log"), "a") as log:
            log.write(f"status {206 if start else 200} from {start}\n")
        self.send_response(206 if start else 200)
        if start:
            self.send_header("Content-Range", f"bytes {start}-{size - 1}/{size}")
        length = size - start - (1000 if "more" in query else 0) + (1000 if "less" in query else 0)
        if "nolength" not in query:
            self.send_header("Content-Length", str(length))
        if "weak" in query:
            self.send_header("ETag", "W/" + etag)
        else:
            self.send_header("ETag", etag)
            self.send_header("Last-Modified", email.utils.formatdate(st.st_mtime, usegmt=True))
        if "disposition" in query:
            self.send_header("Content-Disposition", f'attachment; filename="{query["disposition"][0]}"')
        self.end_headers()
        self.send_body(path, start, size, query)

    def send_body(self, path, start, size, query):
        half = start + (size - start) // 2 if "cut" in query or "stall" in query else size
        with open(path, "rb") as f:
            f.seek(start)
            sent = start
            while sent < half:
                rate = self.throttle()
                piece = f.read(min(16384 if rate else 1 << 20, half - sent))
                self.wfile.write(piece)
                sent += len(piece)
                if rate:
                    time.sleep(len(piece) / 1024 / rate)
        if "stall" in query:
            self.wfile.flush()
            time.sleep(60)

    def throttle(self):
        try:
            with open(os.path.join(root, ".throttle")) as f:
                return float(f.read())
        except (OSError, ValueError):
            return 0


class Server(ThreadingHTTPServer):
    daemon_threads = True

    def handle_error(self, request, client_address):
        pass  # a client that went away: what the faults are for


server = Server(("127.0.0.1", int(sys.argv[2])), Handler)
if len(sys.argv) > 3:
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(sys.argv[3])
    server.socket = context.wrap_socket(server.socket, server_side=True)
server.serve_forever()
