#!/usr/bin/env python3
"""Times Python's json doing what the chat history does with a full history file:
dump (compact, to a temporary file, then rename) and load. Prints milliseconds per round,
best of N, as "dump_ms load_ms"."""
import json
import os
import sys
import time

path = sys.argv[1]
rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 20
with open(path, "rb") as f:
    threads = json.loads(f.read())

out = path + ".py"
best_dump = best_load = float("inf")
for _ in range(rounds):
    start = time.perf_counter()
    data = json.dumps(threads, separators=(",", ":"), ensure_ascii=False).encode("utf-8")
    with open(out + ".tmp", "wb") as f:
        f.write(data)
    os.chmod(out + ".tmp", 0o600)
    os.replace(out + ".tmp", out)
    best_dump = min(best_dump, time.perf_counter() - start)

    start = time.perf_counter()
    with open(out, "rb") as f:
        json.loads(f.read())
    best_load = min(best_load, time.perf_counter() - start)
os.remove(out)
print(f"{best_dump * 1000:.2f} {best_load * 1000:.2f}")
