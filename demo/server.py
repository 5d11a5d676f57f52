#!/usr/bin/env python3
"""Demo chat service for the VelkSTKApp desktop shell.

Serves the pages in demo/pages/ on loopback (port 18480 by default) with no
caching, so that an edited page shows at the next reload. Unknown paths get
a small 404 page; the shell answers a 404 with its own error box and goes
back. SIGTERM and SIGINT stop the server cleanly with exit code 0.

    python3 demo/server.py [--port 18480] [--bind 127.0.0.1]
"""

import argparse
import os
import signal
import sys
import threading
from http import HTTPStatus
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import unquote, urlsplit

PAGES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "pages")

TYPES = {
    ".html": "text/html; charset=utf-8",
    ".css": "text/css; charset=utf-8",
    ".js": "text/javascript; charset=utf-8",
    ".svg": "image/svg+xml",
    ".png": "image/png",
    ".ico": "image/x-icon",
    ".txt": "text/plain; charset=utf-8",
}

NOT_FOUND = """<!DOCTYPE html>
<html lang="ko"><head><meta charset="utf-8"><title>404 - 페이지 없음</title>
<style>body{font-family:"NanumGothic","Noto Sans CJK KR",sans-serif;
background:#f4f6fa;color:#333;text-align:center;padding-top:80px}
h1{color:#d9534f;font-size:40px;margin:0}a{color:#2f6fdf}</style></head>
<body><h1>404</h1><p>요청하신 페이지를 찾을 수 없습니다.</p>
<p><a href="/chat.html">채팅으로 돌아가기</a></p></body></html>
"""


class Handler(BaseHTTPRequestHandler):
    server_version = "VelkDemo/1.0"
    protocol_version = "HTTP/1.1"

    def do_GET(self):
        self.answer(send_body=True)

    def do_HEAD(self):
        self.answer(send_body=False)

    def answer(self, send_body):
        path = self.resolve(self.path)
        if path is None:
            self.send(HTTPStatus.NOT_FOUND, TYPES[".html"],
                      NOT_FOUND.encode("utf-8"), send_body)
            return
        with open(path, "rb") as f:
            body = f.read()
        kind = TYPES.get(os.path.splitext(path)[1].lower(),
                         "application/octet-stream")
        self.send(HTTPStatus.OK, kind, body, send_body)

    # Paths of the service that name no file: the start page, and the login
    # page that the shell's popups show when their packet names no page
    # (and that a relative popup address, a query string, continues).
    ROUTES = {"": "chat.html", "login": "login.html"}

    @classmethod
    def resolve(cls, raw):
        """Maps a request path to a file under PAGES, or None."""
        rel = unquote(urlsplit(raw).path).lstrip("/")
        rel = cls.ROUTES.get(rel, rel)
        full = os.path.realpath(os.path.join(PAGES, rel))
        # Never serve anything outside the pages folder.
        if os.path.commonpath([full, os.path.realpath(PAGES)]) != \
                os.path.realpath(PAGES):
            return None
        return full if os.path.isfile(full) else None

    def send(self, status, kind, body, send_body):
        self.send_response(status)
        self.send_header("Content-Type", kind)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Cache-Control", "no-store, no-cache, must-revalidate")
        self.send_header("Pragma", "no-cache")
        self.send_header("Expires", "0")
        self.end_headers()
        if send_body:
            self.wfile.write(body)

    def log_message(self, fmt, *args):
        # One short line per request is enough for a demo.
        sys.stderr.write("demo: %s\n" % (fmt % args))


def main():
    parser = argparse.ArgumentParser(description="VelkSTKApp demo service")
    parser.add_argument("--port", type=int, default=18480)
    parser.add_argument("--bind", default="127.0.0.1")
    args = parser.parse_args()

    server = ThreadingHTTPServer((args.bind, args.port), Handler)
    server.daemon_threads = True
    stop = threading.Event()

    def on_signal(signum, frame):
        stop.set()

    signal.signal(signal.SIGTERM, on_signal)
    signal.signal(signal.SIGINT, on_signal)

    # serve_forever runs on its own thread so that the main thread can call
    # shutdown() (calling it from the serving thread would wait forever).
    worker = threading.Thread(target=server.serve_forever, daemon=True)
    worker.start()
    sys.stderr.write("demo: serving %s on http://%s:%d/\n"
                     % (PAGES, args.bind, args.port))
    while not stop.wait(0.5):
        pass
    server.shutdown()
    server.server_close()
    worker.join(2)
    sys.stderr.write("demo: stopped\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
