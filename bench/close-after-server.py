#!/usr/bin/env python3
# A loopback HTTPS server for bench/connection-cost.sh: GET /N/file answers a fixed body of SIZE
# bytes and closes the connection after its N-th request (0: keeps it). Each connection that
# sends a request adds one line to COUNTS. Prints "listening on https://127.0.0.1:PORT".
#
#   close-after-server.py CERT KEY SIZE COUNTS
import http.server
import os
import socket
import ssl
import sys
import threading

certificate, key, size, counts = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4]
body = os.urandom(size)
lock = threading.Lock()


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def setup(self):
        super().setup()
        # The body follows the headers at once, not after the client's delayed acknowledgement.
        self.request.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        self.served = 0

    def do_GET(self):
        parts = self.path.split("/")
        if len(parts) != 3 or parts[2] != "file" or not parts[1].isdigit():
            self.send_error(404)
            return
        limit = int(parts[1])
        if self.served == 0:
            with lock, open(counts, "a") as log:
                log.write(f"{limit}\n")
        self.served += 1
        last = limit > 0 and self.served >= limit
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(len(body)))
        if last:
            self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(body)
        self.close_connection = last

    def log_message(self, *args):
        pass


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
context.load_cert_chain(certificate, key)
server.socket = context.wrap_socket(server.socket, server_side=True)
print(f"listening on https://127.0.0.1:{server.server_address[1]}", flush=True)
server.serve_forever()
