#!/usr/bin/env python3
"""Byte-counting HTTP proxy for measuring what an agent sends and receives, per route.

Sits between an agent and vesk-fleetd (plain HTTP on loopback) and forwards every byte
unchanged. Each request line names the route ("POST /api/device_commands", the query left
off); the bytes of that request's head and body, and of the answer that follows on the same
connection, are counted against it. A WebSocket upgrade counts its handshake and every frame
after it against "WS <path>". Prints "LISTEN host:port" once it accepts connections and writes
its counts as JSON to --report every few seconds and on SIGTERM/SIGINT.

    byte_proxy.py --target 127.0.0.1:8080 --report counts.json [--listen 127.0.0.1:0]
                  [--heads heads.txt]

--heads writes the first request head and answer head seen for each route, as sent.
"""

import argparse
import asyncio
import json
import os
import signal
import sys
import time


class Counts:
    def __init__(self):
        self.started = time.monotonic()
        self.connections = 0
        self.routes = {}
        self.heads = {}
        # Snapshots taken with mark(): {name: (elapsed, routes copy)}.
        self.marks = {}

    def route(self, name):
        return self.routes.setdefault(
            name, {"requests": 0, "up_head": 0, "up_body": 0, "down_head": 0, "down_body": 0})

    def as_json(self):
        return {
            "elapsed_seconds": round(time.monotonic() - self.started, 3),
            "connections": self.connections,
            "routes": self.routes,
            "marks": self.marks,
        }

    def mark(self, name):
        self.marks[name] = {
            "elapsed_seconds": round(time.monotonic() - self.started, 3),
            "connections": self.connections,
            "routes": json.loads(json.dumps(self.routes)),
        }


def header_value(head, name):
    for line in head.split(b"\r\n")[1:]:
        key, _, value = line.partition(b":")
        if key.strip().lower() == name:
            return value.strip()
    return None


class Connection:
    """One client connection: parses both directions just enough to split them by route."""

    def __init__(self, counts):
        self.counts = counts
        self.route = "(before any request)"
        self.websocket = False
        self.up = bytearray()
        self.up_body_left = 0
        self.down = bytearray()
        self.down_body_left = 0
        self.down_chunked = False

    def client_bytes(self, data):
        if self.websocket:
            self.counts.route(self.route)["up_body"] += len(data)
            return
        self.up += data
        while self.up:
            if self.up_body_left:
                take = min(self.up_body_left, len(self.up))
                self.counts.route(self.route)["up_body"] += take
                self.up_body_left -= take
                del self.up[:take]
                continue
            end = self.up.find(b"\r\n\r\n")
            if end < 0:
                return
            head = bytes(self.up[:end + 4])
            del self.up[:end + 4]
            parts = head.split(b"\r\n", 1)[0].split(b" ")
            method = parts[0].decode("latin-1")
            path = (parts[1] if len(parts) > 1 else b"?").split(b"?", 1)[0].decode("latin-1")
            upgrade = (header_value(head, b"upgrade") or b"").lower() == b"websocket"
            self.route = ("WS " if upgrade else method + " ") + path
            route = self.counts.route(self.route)
            route["requests"] += 1
            route["up_head"] += len(head)
            self.counts.heads.setdefault(self.route, {"request": head.decode("latin-1")})
            length = header_value(head, b"content-length")
            self.up_body_left = int(length) if length else 0
            if upgrade:
                self.websocket = True
                self.counts.route(self.route)["up_body"] += len(self.up)
                self.up.clear()
                return

    def server_bytes(self, data):
        route = self.counts.route(self.route)
        if self.websocket:
            route["down_body"] += len(data)
            return
        self.down += data
        while self.down:
            if self.down_body_left or self.down_chunked:
                if self.down_chunked:
                    # Not split further: the rest of a chunked answer is body.
                    route["down_body"] += len(self.down)
                    self.down.clear()
                    return
                take = min(self.down_body_left, len(self.down))
                route["down_body"] += take
                self.down_body_left -= take
                del self.down[:take]
                continue
            end = self.down.find(b"\r\n\r\n")
            if end < 0:
                return
            head = bytes(self.down[:end + 4])
            del self.down[:end + 4]
            route["down_head"] += len(head)
            seen = self.counts.heads.setdefault(self.route, {})
            seen.setdefault("answer", head.decode("latin-1"))
            length = header_value(head, b"content-length")
            self.down_body_left = int(length) if length else 0
            encoding = (header_value(head, b"transfer-encoding") or b"").lower()
            self.down_chunked = b"chunked" in encoding


async def pump(reader, writer, feed):
    try:
        while True:
            data = await reader.read(65536)
            if not data:
                break
            feed(data)
            writer.write(data)
            await writer.drain()
    except (ConnectionError, asyncio.CancelledError):
        pass
    finally:
        try:
            writer.close()
        except Exception:
            pass


async def handle(counts, target, client_reader, client_writer):
    counts.connections += 1
    host, port = target
    try:
        server_reader, server_writer = await asyncio.open_connection(host, port)
    except OSError:
        client_writer.close()
        return
    connection = Connection(counts)
    await asyncio.gather(pump(client_reader, server_writer, connection.client_bytes),
                         pump(server_reader, client_writer, connection.server_bytes))


def write_report(counts, path, heads_path):
    with open(path + ".tmp", "w") as out:
        json.dump(counts.as_json(), out, indent=1, sort_keys=True)
    os.replace(path + ".tmp", path)
    if heads_path:
        with open(heads_path, "w") as out:
            for route in sorted(counts.heads):
                out.write("== " + route + "\n")
                for side in ("request", "answer"):
                    if side in counts.heads[route]:
                        out.write(counts.heads[route][side])
                out.write("\n")


async def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--listen", default="127.0.0.1:0")
    parser.add_argument("--target", required=True)
    parser.add_argument("--report", required=True)
    parser.add_argument("--heads")
    parser.add_argument("--mark-after", type=float, default=0,
                        help="also snapshot the counts this many seconds after the start ('warm')")
    args = parser.parse_args()
    host, _, port = args.target.rpartition(":")
    counts = Counts()
    listen_host, _, listen_port = args.listen.rpartition(":")
    server = await asyncio.start_server(lambda r, w: handle(counts, (host, int(port)), r, w),
                                        listen_host, int(listen_port))
    bound = server.sockets[0].getsockname()
    print("LISTEN %s:%d" % (bound[0], bound[1]), flush=True)

    stop = asyncio.Event()
    loop = asyncio.get_running_loop()
    for sig in (signal.SIGTERM, signal.SIGINT):
        loop.add_signal_handler(sig, stop.set)
    marked = False
    while not stop.is_set():
        try:
            await asyncio.wait_for(stop.wait(), timeout=5)
        except asyncio.TimeoutError:
            pass
        if args.mark_after and not marked and time.monotonic() - counts.started >= args.mark_after:
            counts.mark("warm")
            marked = True
        write_report(counts, args.report, args.heads)
    write_report(counts, args.report, args.heads)
    server.close()


if __name__ == "__main__":
    try:
        asyncio.run(main())
    except KeyboardInterrupt:
        sys.exit(0)
