#!/usr/bin/env bash
# Regenerates the small test archives of this folder. The results are checked in, so the tests never
# need zip or python. Needs Info-ZIP zip and python3. Run from anywhere: ./make-archives.sh
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export TZ=UTC

# --- plain members shared by the generic archives ---
mkdir "$work/plain"
cd "$work/plain"
for i in $(seq 1 40); do echo "line $i of a text that deflates well"; done > readme.txt
python3 -c 'import sys; sys.stdout.buffer.write(bytes((i * 7919 + 13) % 251 for i in range(3000)))' > data.bin
: > empty.txt
touch -d '2020-01-02 03:04:06' readme.txt data.bin empty.txt

rm -f "$here"/infozip-*.zip
zip -q -X -9 "$here/infozip-deflated.zip" readme.txt data.bin empty.txt
zip -q -X -0 "$here/infozip-stored.zip" readme.txt data.bin empty.txt
# Writing to a pipe makes zip put the sizes in data descriptors after the data.
zip -q -X - readme.txt data.bin | cat > "$here/infozip-descriptor.zip"
# Compressing standard input gives an entry named "-", also with a data descriptor.
cat readme.txt | zip -q -X - - | cat > "$here/infozip-stdin.zip"

# Archives with a leading stub: 8 bytes keep the word alignment, 5 bytes break it.
{ printf 'STUBSTUB'; cat "$here/infozip-deflated.zip"; } > "$here/stub-aligned.zip"
{ printf 'STUB!'; cat "$here/infozip-deflated.zip"; } > "$here/stub-unaligned.zip"

# --- python-written archives and the damaged ones ---
python3 - "$here" <<'PY'
import struct, sys, warnings, zipfile

warnings.simplefilter("ignore")  # Blue.zip holds a duplicate name on purpose

here = sys.argv[1]
readme = open("readme.txt", "rb").read()
data = open("data.bin", "rb").read()
stamp = (2020, 1, 2, 3, 4, 6)

def member(name, payload, zf, method):
    info = zipfile.ZipInfo(name, stamp)
    info.compress_type = method
    info.external_attr = 0o644 << 16
    zf.writestr(info, payload)

def write(path, members, method=zipfile.ZIP_DEFLATED):
    with zipfile.ZipFile(path, "w") as zf:
        for name, payload in members:
            member(name, payload, zf, method)

write(f"{here}/python-deflated.zip", [("readme.txt", readme), ("data.bin", data)])
write(f"{here}/python-stored.zip", [("readme.txt", readme), ("data.bin", data)], zipfile.ZIP_STORED)

class NonSeekable:
    """A write-only stream: the writer cannot seek back and uses data descriptors."""
    def __init__(self):
        self.parts = []
    def write(self, b):
        self.parts.append(bytes(b))
        return len(b)
    def flush(self):
        pass

sink = NonSeekable()
with zipfile.ZipFile(sink, "w") as zf:
    member("readme.txt", readme, zf, zipfile.ZIP_DEFLATED)
open(f"{here}/python-descriptor.zip", "wb").write(b"".join(sink.parts))

# Damaged copies of a one-entry deflated archive (local header at offset 0).
with zipfile.ZipFile(f"{here}/one-entry.zip", "w") as zf:
    member("readme.txt", readme, zf, zipfile.ZIP_DEFLATED)
good = open(f"{here}/one-entry.zip", "rb").read()

def patched(offset, fmt, value):
    b = bytearray(good)
    struct.pack_into(fmt, b, offset, value)
    return bytes(b)

crc = struct.unpack_from("<I", good, 14)[0]
open(f"{here}/damaged-crc.zip", "wb").write(patched(14, "<I", crc ^ 0x00010000))
open(f"{here}/damaged-compressed-size.zip", "wb").write(patched(18, "<I", 0x7FFFFFF0))
open(f"{here}/damaged-huge-size.zip", "wb").write(patched(22, "<I", 0xC0000000))
open(f"{here}/damaged-name-length.zip", "wb").write(patched(26, "<H", 0xFFFF))
compressed = struct.unpack_from("<I", good, 18)[0]
open(f"{here}/damaged-truncated-data.zip", "wb").write(good[: 30 + len("readme.txt") + compressed // 2])
# A bit flip inside the deflate stream.
b = bytearray(good)
b[30 + len("readme.txt") + 3] ^= 0xFF
open(f"{here}/damaged-stream.zip", "wb").write(bytes(b))

# --- skin packages ---
blue_ini = b"[ParlomarClientMainForm]\nColor=16711680\r\nFont=Tahoma\rLast=1"
blue_nfo = b"Blue Skin\r\nA test skin.\r\n"
logo = b"BM" + bytes(range(60))
write(f"{here}/Blue.zip", [
    ("Blue.ini", blue_ini),
    ("skin.nfo", blue_nfo),
    ("AddForm-Logo.bmp", logo),
    ("MessageForm-Icon.bmp", b"GIF89a not a bitmap"),
    ("Twice.bmp", b"BM first"),
    ("Twice.bmp", b"BM second"),
    ("CustForm-Page.bmp", b"BM" + b"\x00" * 4000),
])
write(f"{here}/BlueUpdated.zip", [("Blue.ini", b"[ParlomarClientMainForm]\nColor=255\n"),
                                  ("skin.nfo", blue_nfo)])
write(f"{here}/Quiet.zip", [("quiet.ini", b"[X]\nY=1\n"), ("SKIN.NFO", b"wrong case\r\n"),
                            ("quiet.BMP", b"BM upper case extension")])
PY
ls -l "$here"
