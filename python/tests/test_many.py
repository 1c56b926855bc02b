"""encode_many against a loop of encode, Ctrl-C in a long batch, and memory
over many calls and when it runs out."""

import os
import signal
import subprocess
import sys
import time

import pytest

import glyphrun


def mixed_input(i):
    if i % 3:
        return f"LABEL-{i:06d} LOT 2026-03-14 QA"
    return f"Ünïcode ✓ {i}".encode() if i % 2 else f"Καλημέρα {i}"


# More than one chunk of work for each core, with text, bytes and UTF-8 mixed.
TEXTS = [mixed_input(i) for i in range(1000)]


@pytest.mark.parametrize("options", [{}, {"mode": "c40", "size": "rect"}])
def test_encode_many_equals_a_loop_of_encode(options):
    many = glyphrun.encode_many(TEXTS, **options)
    assert many == [glyphrun.encode(text, **options) for text in TEXTS]
    assert glyphrun.encode_many(iter(TEXTS[:5]), **options) == many[:5]
    assert glyphrun.encode_many([]) == []


def test_encode_many_names_the_first_item_that_fails():
    texts = TEXTS[:]
    texts[517] = ""
    texts[800] = "x" * 5000
    with pytest.raises(glyphrun.EncodeError, match=r"^texts\[517\]: the input is empty$"):
        glyphrun.encode_many(texts)
    with pytest.raises(TypeError, match=r"texts\[3\]"):
        glyphrun.encode_many(["a", "b", "c", 4])


# Times a batch large enough that the 20 ms between looks for Ctrl-C are
# small beside it, then starts one 20 times as long and reports when Ctrl-C
# stopped it. Long texts: it is stopped while it encodes, not while it
# reads them.
INTERRUPTED_BATCH = """
import time, glyphrun
count, batch = 1000, 0
while batch < 0.05:
    count *= 2
    texts = [f"LOT {i:07d} " + "ABCDEFGH" * 25 for i in range(count)]
    start = time.monotonic()
    glyphrun.encode_many(texts)
    batch = time.monotonic() - start
texts *= 20
print(batch, flush=True)
start = time.monotonic()
try:
    glyphrun.encode_many(texts)
except KeyboardInterrupt:
    print(time.monotonic() - start)
"""


def test_ctrl_c_stops_encode_many_long_before_the_batch_ends():
    child = subprocess.Popen([sys.executable, "-c", INTERRUPTED_BATCH], stdout=subprocess.PIPE, text=True)
    batch = float(child.stdout.readline())
    time.sleep(batch)
    child.send_signal(signal.SIGINT)
    stopped_after = child.communicate(timeout=600)[0]
    assert child.returncode == 0 and stopped_after, "encode_many did not raise KeyboardInterrupt"
    # Left to run, the batch would take about 20 times `batch`.
    assert float(stopped_after) < 10 * batch


# Memory for a few small objects more, none for a large picture or 2000 large symbols.
OUT_OF_MEMORY = """
import resource, glyphrun
large = glyphrun.encode("x" * 1500)
with open("/proc/self/statm") as statm:
    mapped = int(statm.read().split()[0]) * resource.getpagesize()
resource.setrlimit(resource.RLIMIT_AS, (mapped + 16 * 2**20, resource.RLIM_INFINITY))
for call in (lambda: large.to_png(module=100), lambda: glyphrun.encode_many(["x" * 1500] * 2000)):
    try:
        call()
    except Exception as error:
        print(type(error).__name__)
"""


@pytest.mark.skipif(bool(os.environ.get("GLYPHRUN_SANITIZED")),
                    reason="AddressSanitizer reserves more address space than any limit leaves")
def test_running_out_of_memory_raises_memory_error():
    done = subprocess.run([sys.executable, "-c", OUT_OF_MEMORY], capture_output=True, text=True)
    assert done.stdout.split() == ["MemoryError"] * 2, done


def resident_kib():
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * os.sysconf("SC_PAGE_SIZE") // 1024


@pytest.mark.skipif(bool(os.environ.get("GLYPHRUN_SANITIZED")),
                    reason="AddressSanitizer keeps freed memory in quarantine, so resident memory grows anyway")
def test_memory_stays_flat_over_many_calls():
    def calls(count):
        for i in range(count):
            symbol = glyphrun.encode(f"LABEL-{i:06d} LOT 2026-03-14 QA")
            symbol.to_png()
            symbol.modules.sum()
            if i % 100 == 0:
                symbol.to_svg()
                with pytest.raises(glyphrun.EncodeError):
                    glyphrun.encode("")
            if i % 1000 == 0:
                glyphrun.encode_many(TEXTS[:100])

    calls(2_000)  # allocator pools and caches settle
    before = resident_kib()
    calls(8_000)
    growth = resident_kib() - before
    # A leak of even a symbol's 100 bytes per call would add about 800 KB.
    assert growth < 512, f"resident memory grew by {growth} KiB"
