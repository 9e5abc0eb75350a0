#!/usr/bin/env python3
"""Abusive clients against a running offline server (tarnquill-cli serve).

    abuse.py --port P --pid PID --page /http://... [--requests 100000] [--idle 1000]

1. Sends --requests malformed requests over real sockets from four threads: random bytes, a 1 MB
   request line, 10 000 header fields, lines cut off, bodies announced and never sent (some left
   hanging open), bad versions, methods and fields, foreign Host names. The server's resident
   memory is sampled as it goes.
2. Holds --idle connections open (some with half a request) and times a new request for --page.
3. Checks that --page is still answered whole.
Exits non-zero when the server died, stopped answering or its memory kept growing.
"""
import argparse
import random
import resource
import socket
import sys
import threading
import time

HOST = "127.0.0.1"


def rss_kib(pid):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def request(port, target, host):
    return f"GET {target} HTTP/1.1\r\nHost: {host}\r\nConnection: close\r\n\r\n".encode()


def fetch(port, target, timeout=10.0):
    """Status and body of one request, or (0, b"") when there was no complete answer."""
    with socket.create_connection((HOST, port), timeout=timeout) as s:
        s.sendall(request(port, target, f"{HOST}:{port}"))
        data = b""
        while True:
            chunk = s.recv(65536)
            if not chunk:
                break
            data += chunk
    head, _, body = data.partition(b"\r\n\r\n")
    if not head.startswith(b"HTTP/1.1 "):
        return 0, b""
    return int(head[9:12]), body


def malformed(rng, port, n):
    host = f"{HOST}:{port}".encode()
    kind = n % 10
    if n % 1000 == 0:
        return b"GET /" + b"a" * (1 << 20) + b" HTTP/1.1\r\nHost: " + host + b"\r\n\r\n"
    if n % 1000 == 500:
        return b"GET / HTTP/1.1\r\n" + b"".join(b"X-%d: v\r\n" % i for i in range(10000)) + b"\r\n"
    if kind in (0, 1, 2):
        return bytes(rng.getrandbits(8) for _ in range(rng.randint(1, 2000)))
    if kind == 3:
        full = request(port, "/http://h/a.html", host.decode())
        return full[: rng.randint(1, len(full) - 1)]
    if kind == 4:
        return b"POST /x HTTP/1.1\r\nHost: " + host + b"\r\nContent-Length: 100000\r\n\r\nabc"
    if kind == 5:
        return rng.choice([b"GET / HTTP/9.9\r\n\r\n", b"GET / HTTP/1.1\r\nHost: a\r\nHost: b\r\n\r\n",
                           b"BREW / HTTP/1.1\r\nHost: h\r\n\r\n", b"GET /\x00\x01 HTTP/1.1\r\n\r\n",
                           b"GET / HTTP/1.1\r\nHost: h\r\n folded\r\n\r\n", b"\r\n" * 50])
    if kind == 6:
        return request(port, "/http://h/x", "attacker.example:%d" % port)
    if kind == 7:
        return b"GET /" + bytes(rng.getrandbits(8) | 0x80 for _ in range(100)) + b" HTTP/1.1\r\nHost: " + host + b"\r\n\r\n"
    if kind == 8:
        return b"GET / HTTP/1.1\r\nHost: " + host + b"\r\nContent-Length: 99999999999999999999\r\n\r\n"
    return b"GET /http://h/ HTTP/1.1\r\nHost: " + host + b"\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nab"


def flood(port, start, count, step, hanging, errors):
    rng = random.Random(start)
    for n in range(start, count, step):
        try:
            s = socket.create_connection((HOST, port), timeout=5)
            try:
                s.sendall(malformed(rng, port, n))
            except OSError:
                pass  # the server may refuse before everything is sent
            if n % 10 == 4 and len(hanging) < 200:
                hanging.append(s)  # a body that never comes, on a connection left open
                continue
            try:
                # Nothing more is coming: the server answers or closes at once, and is waited for.
                s.shutdown(socket.SHUT_WR)
                while s.recv(65536):
                    pass
            except OSError:
                pass
            s.close()
        except OSError as e:
            errors.append(f"request {n}: {e}")
            if len(errors) > 100:
                return
        if len(hanging) >= 200 and n % 1000 == 4:
            for h in hanging[:100]:
                h.close()
            del hanging[:100]


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--port", type=int, required=True)
    ap.add_argument("--pid", type=int, required=True)
    ap.add_argument("--page", required=True)
    ap.add_argument("--requests", type=int, default=100000)
    ap.add_argument("--idle", type=int, default=1000)
    args = ap.parse_args()
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    resource.setrlimit(resource.RLIMIT_NOFILE, (hard, hard))

    status, expected = fetch(args.port, args.page)
    if status != 200:
        sys.exit(f"the page is not served before the test (status {status})")

    print(f"| malformed requests sent | server RSS MiB |")
    print("|---|---|")
    rss = [rss_kib(args.pid)]
    print(f"| 0 | {rss[0] / 1024:.1f} |")
    batch = max(1, args.requests // 10)
    errors, hanging = [], []
    began = time.monotonic()
    for first in range(0, args.requests, batch):
        threads = [threading.Thread(target=flood, args=(args.port, first + t, min(first + batch, args.requests), 4, hanging, errors))
                   for t in range(4)]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        rss.append(rss_kib(args.pid))
        print(f"| {min(first + batch, args.requests)} | {rss[-1] / 1024:.1f} |")
    for h in hanging:
        h.close()
    print(f"{args.requests} malformed requests in {time.monotonic() - began:.1f} s, {len(errors)} client errors")
    for e in errors[:5]:
        print("  ", e)

    idle = []
    for i in range(args.idle):
        s = socket.create_connection((HOST, args.port), timeout=5)
        if i % 10 == 0:
            s.sendall(b"GET /http://h/ HTTP/1.1\r\nHo")  # half a request
        idle.append(s)
    began = time.monotonic()
    status, body = fetch(args.port, args.page)
    latency = time.monotonic() - began
    print(f"with {args.idle} idle connections open: a new request answered {status} in {latency * 1000:.1f} ms")
    for s in idle:
        s.close()

    status, body = fetch(args.port, args.page)
    growth = (rss[-1] - rss[1]) / 1024 if len(rss) > 2 else 0.0
    print(f"afterwards: page status {status}, {'identical' if body == expected else 'DIFFERENT'}; "
          f"RSS growth after the first batch {growth:.1f} MiB")
    if status != 200 or body != expected or latency > 1.0 or growth > 32:
        sys.exit(1)


if __name__ == "__main__":
    main()
