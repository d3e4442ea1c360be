#!/usr/bin/python3
"""The TLS test server: one listener on 127.0.0.1 per case, on ports the
system picks, written as "name port" lines to OUT/tls-server.ports once all
listen; the test CA is copied to OUT/tls-test-ca.pem. It ends by itself after
--lifetime seconds.

Listeners:
  good        the test CA's "localhost" certificate
  expired     an expired "localhost" certificate from the test CA
  selfsigned  a self-signed "localhost" certificate
  tls13       the good certificate, TLS 1.3 only
  plain       plain HTTP: answers whatever arrives with a 400 response
  silent      accepts and never answers
  clientauth  the good certificate, and a client certificate from the test
              client CA required; GET /whoami answers the client's name

With --matrix, the certificate matrix too (tests/tls/make-matrix.sh makes it
in OUT/matrix, or --matrix-made names one made for --matrix-port, where a
machine without OpenSSL serves it; its root goes to OUT/tls-matrix-root.pem): one listener
"matrix-NAME" per case, and a plain HTTP listener "matrix-http" that serves
the intermediate's CRL and certificate named in the matrix's certificates.

The TLS listeners serve GET /page (a small page), GET /big (a 16 MiB body:
the 251-byte block ((i * 7 + 3) mod 256) repeated) and GET /sni (the server
name the client indicated, "none" without one), then send close_notify and
close. The client certificate's PKCS#12 file goes to OUT/tls-client.p12.
"""
import argparse
import functools
import http.server
import os
import shutil
import socket
import ssl
import subprocess
import sys
import threading
import time

BIG_SIZE = 16 * 1024 * 1024
PAGE = b"<html><body>tcp.dll TLS test page</body></html>\n"


def big_body():
    block = bytes((i * 7 + 3) % 256 for i in range(251))
    return (block * (BIG_SIZE // len(block) + 1))[:BIG_SIZE]


def response(body):
    head = b"HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n"
    head += b"Content-Length: %d\r\nConnection: close\r\n\r\n" % len(body)
    return head + body


def read_request(conn):
    data = b""
    while b"\r\n\r\n" not in data and len(data) < 65536:
        chunk = conn.recv(4096)
        if not chunk:
            break
        data += chunk
    return data


def serve_tls(conn, context, bodies):
    try:
        conn.settimeout(30)
        tls = context.wrap_socket(conn, server_side=True)
        request = read_request(tls)
        path = request.split(b" ")[1] if request.count(b" ") >= 2 else b""
        if path == b"/sni":
            bodies = {**bodies, path: (getattr(tls, "indicated", None) or "none").encode()}
        if path == b"/whoami":
            subject = dict(field[0] for field in (tls.getpeercert() or {}).get("subject", ()))
            bodies = {**bodies, path: subject.get("commonName", "nobody").encode()}
        tls.sendall(response(bodies.get(path, b"")) if path in bodies else
                    b"HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n")
        tls.unwrap().close()
    except (OSError, ssl.SSLError):
        conn.close()


def serve_plain(conn):
    try:
        conn.settimeout(30)
        conn.recv(65536)
        conn.sendall(b"HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\nConnection: close\r\n\r\n")
    except OSError:
        pass
    conn.close()


def serve_silent(conn):
    # Holds the connection open until the peer leaves or the server ends.
    try:
        while conn.recv(65536):
            pass
    except OSError:
        pass
    conn.close()


def remember_indication(tls, name, context):
    tls.indicated = name


def tls_context(certs, name, tls13_only=False):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.minimum_version = ssl.TLSVersion.TLSv1_3 if tls13_only else ssl.TLSVersion.TLSv1_2
    # The matrix's weak certificates are served too: the client must refuse them.
    context.set_ciphers("DEFAULT:@SECLEVEL=0")
    context.sni_callback = remember_indication
    context.load_cert_chain(os.path.join(certs, name + ".pem"), os.path.join(certs, name + ".key"))
    return context


def client_auth_context(certs):
    context = tls_context(certs, "localhost")
    context.verify_mode = ssl.CERT_REQUIRED
    context.load_verify_locations(os.path.join(certs, "client-ca.pem"))
    return context


def free_port():
    probe = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    probe.bind(("127.0.0.1", 0))
    port = probe.getsockname()[1]
    probe.close()
    return port


# How long the matrix's HTTP listener takes to answer for its slow/ files,
# as a distant or overloaded authority would.
SLOW_SECONDS = 3


class MatrixFiles(http.server.SimpleHTTPRequestHandler):
    def do_GET(self):
        if self.path.startswith("/slow/"):
            time.sleep(SLOW_SECONDS)
        super().do_GET()


def matrix_listeners(out, made=None, http_port=0):
    """Makes the matrix (or takes one made already in MADE for HTTP_PORT) and
    its HTTP listener; the TLS contexts by name."""
    directory = made or os.path.join(out, "matrix")
    os.makedirs(os.path.join(directory, "http"), exist_ok=True)
    handler = functools.partial(MatrixFiles, directory=os.path.join(directory, "http"))
    server = http.server.ThreadingHTTPServer(("127.0.0.1", http_port), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    port = server.server_address[1]
    if not made:
        script = os.path.join(os.path.dirname(os.path.abspath(__file__)), "make-matrix.sh")
        subprocess.run([script, directory, str(port), str(free_port())], check=True)
    shutil.copyfile(os.path.join(directory, "root.pem"), os.path.join(out, "tls-matrix-root.pem"))
    names = sorted(f[:-4] for f in os.listdir(directory) if f.endswith(".key"))
    return port, {"matrix-" + name: tls_context(directory, name) for name in names}


def listen(handler):
    server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    server.bind(("127.0.0.1", 0))
    server.listen(16)

    def accept_loop():
        while True:
            conn, _ = server.accept()
            threading.Thread(target=handler, args=(conn,), daemon=True).start()

    threading.Thread(target=accept_loop, daemon=True).start()
    return server.getsockname()[1]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("certs")
    parser.add_argument("out")
    parser.add_argument("--lifetime", type=float, default=600)
    parser.add_argument("--matrix", action="store_true")
    parser.add_argument("--matrix-made", help="a matrix make-matrix.sh made for --matrix-port")
    parser.add_argument("--matrix-port", type=int, default=0)
    args = parser.parse_args()

    bodies = {b"/page": PAGE, b"/big": big_body()}
    handlers = {
        "good": tls_context(args.certs, "localhost"),
        "expired": tls_context(args.certs, "expired"),
        "selfsigned": tls_context(args.certs, "selfsigned"),
        "tls13": tls_context(args.certs, "localhost", tls13_only=True),
        "clientauth": client_auth_context(args.certs),
    }
    matrix_port = None
    if args.matrix or args.matrix_made:
        matrix_port, matrix = matrix_listeners(args.out, args.matrix_made, args.matrix_port)
        handlers.update(matrix)
    ports = {name: listen(lambda conn, c=context: serve_tls(conn, c, bodies)) for name, context in handlers.items()}
    if matrix_port:
        ports["matrix-http"] = matrix_port
    ports["plain"] = listen(serve_plain)
    ports["silent"] = listen(serve_silent)

    shutil.copyfile(os.path.join(args.certs, "ca.pem"), os.path.join(args.out, "tls-test-ca.pem"))
    shutil.copyfile(os.path.join(args.certs, "client.p12"), os.path.join(args.out, "tls-client.p12"))
    ports_file = os.path.join(args.out, "tls-server.ports")
    with open(ports_file + ".new", "w") as out:
        out.writelines("%s %d\n" % item for item in ports.items())
    os.replace(ports_file + ".new", ports_file)
    print("tls_server: listening:", ports, flush=True)
    time.sleep(args.lifetime)
    print("tls_server: lifetime over", flush=True)
    os._exit(0)


if __name__ == "__main__":
    sys.exit(main())
