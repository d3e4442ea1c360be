#!/usr/bin/env python3
"""renegotiating_server.py OUT_DIR: OpenSSL's s_server on a free loopback port,
TLS 1.2 with the test certificate, asking each client for a new handshake
(a HelloRequest, s_server's "r" command) once, as soon as its first request
arrives: a second request would bring a second HelloRequest.
The port goes to OUT_DIR/renegotiate.port once the server listens."""
import os
import socket
import subprocess
import sys

out = sys.argv[1]
certs = os.path.join(os.path.dirname(os.path.abspath(__file__)), "certs")
with socket.socket() as probe:
    probe.bind(("127.0.0.1", 0))
    port = probe.getsockname()[1]
server = subprocess.Popen(
    ["openssl", "s_server", "-tls1_2", "-accept", f"127.0.0.1:{port}",
     "-cert", os.path.join(certs, "localhost.pem"), "-key", os.path.join(certs, "localhost.key")],
    stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, bufsize=1)
asked = False
for line in server.stdout:
    print(line, end="", flush=True)
    if line.startswith("ACCEPT"):
        with open(os.path.join(out, "renegotiate.port.new"), "w") as file:
            file.write(f"{port}\n")
        os.replace(os.path.join(out, "renegotiate.port.new"), os.path.join(out, "renegotiate.port"))
    elif line.startswith("GET ") and not asked:
        asked = True
        server.stdin.write("r\n")
        server.stdin.flush()
