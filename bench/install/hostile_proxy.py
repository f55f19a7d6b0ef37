#!/usr/bin/env python3
"""A loopback HTTP proxy that breaks connections on purpose, for bench/install/resets.

    hostile_proxy.py LISTEN_PORT UPSTREAM_PORT LOG PLAN...

Serves one connection at a time on 127.0.0.1:LISTEN_PORT, passing each request
to the server on 127.0.0.1:UPSTREAM_PORT and its answer back, unless the plan
says otherwise for that connection:

    once:PATH:CUT      the first request of PATH is reset (RST, SO_LINGER 0)
                       after CUT body bytes
    soak:SEED:RESETS   RESETS connections are reset at random points of their
                       body and one is stalled (half of its body, then nothing
                       until the client goes); the version text is left alone.
                       Each connection after it is hit with probability 1/2
                       until the faults run out

Every connection is logged to LOG as "<seconds since start> <path> <what>
<body bytes sent>" (what: ok, reset, stall). Stops after MAX_CONNECTIONS or when
killed.
"""
import random
import socket
import struct
import sys
import time

MAX_CONNECTIONS = 2000


def read_request(conn):
    data = b""
    while b"\r\n\r\n" not in data:
        piece = conn.recv(4096)
        if not piece:
            break
        data += piece
    return data


def main():
    listen_port, upstream_port, log_path = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
    once = {}
    soak_rng, soak_resets, soak_stall = None, 0, False
    for item in sys.argv[4:]:
        kind, *args = item.split(":")
        if kind == "once":
            once[args[0]] = int(args[1])
        elif kind == "soak":
            soak_rng, soak_resets, soak_stall = random.Random(int(args[0])), int(args[1]), True
    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", listen_port))
    listener.listen(16)
    start = time.monotonic()
    log = open(log_path, "w", buffering=1)
    for _ in range(MAX_CONNECTIONS):
        conn, _ = listener.accept()
        request = read_request(conn)
        if not request:  # a probe, not a client
            conn.close()
            continue
        path = request.split(b" ")[1].decode("latin-1") if request.count(b" ") >= 2 else "?"
        upstream = socket.create_connection(("127.0.0.1", upstream_port))
        upstream.sendall(request)
        answer = b""
        while True:
            piece = upstream.recv(1 << 16)
            if not piece:
                break
            answer += piece
        upstream.close()
        head_end = answer.find(b"\r\n\r\n") + 4
        body = len(answer) - head_end
        what, cut = "ok", body
        if path in once:
            what, cut = "reset", min(once.pop(path), body)
        elif soak_rng is not None and "index.php" not in path and body > 0:
            left = soak_resets + soak_stall
            if left > 0 and soak_rng.random() < 1 / 2:
                if soak_stall and soak_rng.random() < 1 / left:
                    what, cut, soak_stall = "stall", body // 2, False
                else:
                    what, cut, soak_resets = "reset", soak_rng.randrange(body), soak_resets - 1
        try:
            conn.sendall(answer[: head_end + cut])
            if what == "reset":
                conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            elif what == "stall":
                while conn.recv(4096):
                    pass
        except OSError:
            pass
        conn.close()
        log.write("%.3f %s %s %d\n" % (time.monotonic() - start, path, what, cut))


if __name__ == "__main__":
    main()
