#!/usr/bin/env python3
"""Measures the renders of scripts/ardour-check.sh against the recorded input: peak, RMS and
(through libebur128, when installed) integrated loudness; prints CHECK lines; exits 1 on a failure."""
import ctypes
import ctypes.util
import math
import struct
import sys


def read_wav(path):
    """Return (rate, channels, list of per-channel float lists)."""
    with open(path, "rb") as f:
        data = f.read()
    if data[0:4] not in (b"RIFF", b"RF64") or data[8:12] != b"WAVE":
        raise ValueError(f"{path}: not a WAV file")
    pos, fmt, payload = 12, None, None
    while pos + 8 <= len(data):
        cid, size = data[pos:pos + 4], struct.unpack("<I", data[pos + 4:pos + 8])[0]
        body = data[pos + 8:pos + 8 + size]
        if cid == b"fmt ":
            fmt = struct.unpack("<HHIIHH", body[:16]) + ((struct.unpack("<H", body[24:26])[0],) if len(body) >= 26 else (None,))
        elif cid == b"data":
            payload = body
        pos += 8 + size + (size & 1)
    if fmt is None or payload is None:
        raise ValueError(f"{path}: no fmt or data chunk")
    tag, channels, rate, _, align, bits, subtag = fmt
    if tag == 0xFFFE:
        tag = subtag
    width = bits // 8
    count = len(payload) // width
    if tag == 3 and bits == 32:
        samples = struct.unpack(f"<{count}f", payload[:count * 4])
    elif tag == 3 and bits == 64:
        samples = struct.unpack(f"<{count}d", payload[:count * 8])
    elif tag == 1 and bits == 16:
        samples = [s / 32768.0 for s in struct.unpack(f"<{count}h", payload[:count * 2])]
    elif tag == 1 and bits == 24:
        samples = [int.from_bytes(payload[i:i + 3], "little", signed=True) / 8388608.0
                   for i in range(0, count * 3, 3)]
    elif tag == 1 and bits == 32:
        samples = [s / 2147483648.0 for s in struct.unpack(f"<{count}i", payload[:count * 4])]
    else:
        raise ValueError(f"{path}: unsupported WAV format {tag}/{bits} bits")
    frames = count // channels
    chans = [list(samples[c:frames * channels:channels]) for c in range(channels)]
    return rate, channels, chans


def load_ebur128():
    name = ctypes.util.find_library("ebur128") or "libebur128.so.1"
    try:
        lib = ctypes.CDLL(name)
    except OSError:
        return None
    lib.ebur128_init.restype = ctypes.c_void_p
    lib.ebur128_init.argtypes = [ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
    lib.ebur128_add_frames_float.argtypes = [ctypes.c_void_p, ctypes.POINTER(ctypes.c_float), ctypes.c_size_t]
    lib.ebur128_loudness_global.argtypes = [ctypes.c_void_p, ctypes.POINTER(ctypes.c_double)]
    lib.ebur128_destroy.argtypes = [ctypes.POINTER(ctypes.c_void_p)]
    return lib


EBUR128 = load_ebur128()
MODE_I = (1 << 2) | (1 << 0)


def db(x):
    return 20.0 * math.log10(x) if x > 0 else float("-inf")


def measure(rate, chans):
    frames = len(chans[0])
    peak = max((abs(s) for c in chans for s in c), default=0.0)
    finite = all(math.isfinite(s) for c in chans for s in c)
    energy = sum(s * s for c in chans for s in c)
    rms = math.sqrt(energy / max(1, frames * len(chans)))
    lufs = None
    if EBUR128 is not None and finite and frames:
        state = EBUR128.ebur128_init(len(chans), rate, MODE_I)
        inter = (ctypes.c_float * (frames * len(chans)))()
        for c, samples in enumerate(chans):
            inter[c::len(chans)] = samples
        EBUR128.ebur128_add_frames_float(state, inter, frames)
        out = ctypes.c_double()
        EBUR128.ebur128_loudness_global(state, ctypes.byref(out))
        ptr = ctypes.c_void_p(state)
        EBUR128.ebur128_destroy(ctypes.byref(ptr))
        lufs = out.value
    return {"frames": frames, "rate": rate, "channels": len(chans), "peak_db": db(peak),
            "rms_db": db(rms), "lufs": lufs, "finite": finite}


def load(paths):
    """One WAV, or several mono WAVs taken as the channels of one signal."""
    rate, chans = None, []
    for p in paths:
        r, _, c = read_wav(p)
        if rate is not None and r != rate:
            raise ValueError(f"{p}: sample rate {r} differs from {rate}")
        rate = r
        chans.extend(c)
    frames = min(len(c) for c in chans)
    return rate, [c[:frames] for c in chans]


def fmt(v, unit):
    return "n/a" if v is None else f"{v:7.2f} {unit}"


def main(argv):
    import argparse
    ap = argparse.ArgumentParser(description=__doc__)
    ap.add_argument("--input", required=True,
                    help="the track's source: one WAV, or mono WAVs joined by commas (the channels)")
    ap.add_argument("--render", action="append", required=True,
                    help="NAME=FILES, a render through the plug-in (FILES as for --input); repeatable")
    ap.add_argument("--target", type=float, required=True, help="the Out Limit the renders used (LUFS)")
    ap.add_argument("--above", type=float, default=1.0, help="LU a render may be above the target")
    ap.add_argument("--below", type=float, default=3.0, help="LU a render may be below the target")
    a = ap.parse_args(argv)

    fails = 0

    def check(ok, label):
        nonlocal fails
        print(f"CHECK {'PASS' if ok else 'FAIL'} {label}")
        if not ok:
            fails += 1

    rate, inp = load(a.input.split(","))
    mi = measure(rate, inp)
    rows = [("input (recorded take)", mi)]
    renders = []
    for item in a.render:
        name, _, files = item.partition("=")
        r_rate, r = load(files.split(","))
        m = measure(r_rate, r)
        rows.append((name, m))
        renders.append((name, r, m))
    print(f"{'signal':34} {'frames':>8} {'ch':>2} {'peak':>10} {'rms':>10} {'loudness':>12}")
    for name, m in rows:
        print(f"{name:34} {m['frames']:8d} {m['channels']:2d} {fmt(m['peak_db'], 'dB'):>10} "
              f"{fmt(m['rms_db'], 'dB'):>10} {fmt(m['lufs'], 'LUFS'):>12}")
    if EBUR128 is None:
        print("note: libebur128 not found; the loudness checks use RMS")
    level = (lambda m: m["lufs"]) if EBUR128 is not None else (lambda m: m["rms_db"])

    check(level(mi) > a.target + 3.0,
          f"the input ({level(mi):.2f}) is more than 3 dB above the target {a.target:.2f}, so the limiter must act")
    for name, r, m in renders:
        check(m["finite"] and m["channels"] == 2 and m["frames"] > rate,
              f"{name}: stereo, finite samples, longer than a second")
        check(m["peak_db"] > -60.0, f"{name}: not silent (peak {m['peak_db']:.2f} dBFS)")
        check(a.target - a.below <= level(m) <= a.target + a.above,
              f"{name}: brought to the target: {level(m):.2f} within "
              f"[{a.target - a.below:.2f}, {a.target + a.above:.2f}]")
    first_name, first, first_m = renders[0]
    for name, r, m in renders[1:]:
        frames = min(len(first[0]), len(r[0]))
        diff = max((abs(x - y) for c in range(2) for x, y in zip(first[c][:frames], r[c][:frames])),
                   default=0.0)
        delta = abs(level(m) - level(first_m))
        check(delta <= 0.1, f"{name} agrees with {first_name}: level difference {delta:.3f} dB, "
              f"largest sample difference {db(diff):.1f} dBFS over {frames} frames")
    return 1 if fails else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
