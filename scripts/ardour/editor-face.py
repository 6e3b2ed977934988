#!/usr/bin/env python3
"""Helpers of scripts/ardour-editor-check.sh (a manual check, never run by the tests).

  editor-face.py mark-session FILE.ardour --track NAME --plugin NAME
      Marks the plug-in's window as open in the session's GUI state (the <Extra><UI> node Ardour's
      GUI reads when the session loads), so Ardour opens the plug-in's own editor at start.
      Prints the window's name.
  editor-face.py find-window TREE --size WxH
      Reads `xwininfo -root -tree` output and prints "id x y" (absolute position) of the deepest
      window of exactly that size, or nothing.
  editor-face.py size REF.ppm
      Prints the picture's size as WxH.
  editor-face.py face --shot ROOT.ppm --rect X,Y,W,H --reference REF.ppm --crop OUT.ppm
      Compares the editor's rectangle of a screenshot with the reference picture of the face:
      prints statistics and CHECK PASS|FAIL lines, writes the rectangle to OUT.ppm.
"""
import argparse
import re
import sys
import xml.etree.ElementTree as ET


def mark_session(args):
    tree = ET.parse(args.session)
    root = tree.getroot()
    route = None
    for r in root.iter("Route"):
        if r.get("name") == args.track:
            route = r
    if route is None:
        sys.exit(f"editor-face: no track '{args.track}' in {args.session}")
    proc = None
    for p in route.iter("Processor"):
        if p.get("name") == args.plugin and p.get("type") in ("lxvst", "vst3", "windows-vst", "mac-vst"):
            proc = p
    if proc is None:
        sys.exit(f"editor-face: no plug-in '{args.plugin}' on track '{args.track}'")
    name = f"P-{route.get('id')}-{proc.get('id')}"
    extra = root.find("Extra")
    if extra is None:
        extra = ET.SubElement(root, "Extra")
    ui = extra.find("UI")
    if ui is None:
        ui = ET.SubElement(extra, "UI")
    for w in list(ui.findall("Window")):
        if w.get("name") == name:
            ui.remove(w)
    ET.SubElement(ui, "Window", {"name": name, "visible": "1", "custom-ui": "1"})
    tree.write(args.session, encoding="UTF-8", xml_declaration=True)
    print(name)


# xwininfo -tree lines: `     0x400005 "name": ("res" "class")  600x490+0+0  +812+300`
WINDOW_LINE = re.compile(r"^(\s*)(0x[0-9a-f]+) .*?\s(\d+)x(\d+)\+-?\d+\+-?\d+\s+\+(-?\d+)\+(-?\d+)\s*$")


def find_window(args):
    want_w, want_h = (int(v) for v in args.size.split("x"))
    best = None
    with open(args.tree, encoding="utf-8", errors="replace") as f:
        for line in f:
            m = WINDOW_LINE.match(line)
            if not m:
                continue
            depth = len(m.group(1))
            w, h = int(m.group(3)), int(m.group(4))
            if (w, h) == (want_w, want_h) and (best is None or depth > best[0]):
                best = (depth, m.group(2), int(m.group(5)), int(m.group(6)))
    if best:
        print(best[1], best[2], best[3])


def read_ppm(path):
    with open(path, "rb") as f:
        data = f.read()
    # P6 header: magic, width, height, maxval, each separated by whitespace (comments allowed).
    fields = []
    pos = 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos) + 1
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    pos += 1
    if fields[0] != b"P6" or int(fields[3]) != 255:
        sys.exit(f"editor-face: {path} is not an 8-bit binary PPM")
    w, h = int(fields[1]), int(fields[2])
    pixels = data[pos:pos + w * h * 3]
    if len(pixels) != w * h * 3:
        sys.exit(f"editor-face: {path} is truncated")
    return w, h, pixels


def write_ppm(path, w, h, pixels):
    with open(path, "wb") as f:
        f.write(b"P6\n%d %d\n255\n" % (w, h))
        f.write(pixels)


def check(ok, what):
    print(f"CHECK {'PASS' if ok else 'FAIL'} {what}")
    return ok


def face(args):
    sw, sh, shot = read_ppm(args.shot)
    rw, rh, ref = read_ppm(args.reference)
    x, y, w, h = (int(v) for v in args.rect.split(","))
    if x < 0 or y < 0 or x + w > sw or y + h > sh:
        check(False, f"the editor's rectangle {w}x{h}+{x}+{y} lies on the {sw}x{sh} screen")
        return 1
    rows = [shot[((y + r) * sw + x) * 3:((y + r) * sw + x + w) * 3] for r in range(h)]
    crop = b"".join(rows)
    write_ppm(args.crop, w, h, crop)

    colours = len({crop[i:i + 3] for i in range(0, len(crop), 3)})
    n = w * h
    mean = [sum(crop[c::3]) / n for c in range(3)]
    print(f"INFO editor window {w}x{h} at +{x}+{y}: {colours} distinct colours, mean RGB "
          f"{mean[0]:.0f},{mean[1]:.0f},{mean[2]:.0f}")
    ok = check(colours >= 1000, f"the editor window is drawn, not empty ({colours} distinct colours)")

    # The face above the history graph (background, title, logo, labels, knobs) looks much the
    # same whatever the parameters (only the knobs' pointers, values and the status line change);
    # the graph below it depends on what was played, so it is left out.
    if (rw, rh) != (w, h):
        check(False, f"the window has the face's size {rw}x{rh} (got {w}x{h})")
        return 1
    top = min(args.top_rows, h)
    close = 0
    diff_sum = 0
    for r in range(top):
        a = crop[r * w * 3:(r + 1) * w * 3]
        b = ref[r * w * 3:(r + 1) * w * 3]
        for i in range(0, w * 3, 3):
            d = max(abs(a[i] - b[i]), abs(a[i + 1] - b[i + 1]), abs(a[i + 2] - b[i + 2]))
            diff_sum += d
            if d <= 24:
                close += 1
    share = close / (top * w)
    print(f"INFO top {top} rows against the reference face: {share * 100:.1f}% of pixels within 24 "
          f"levels, mean largest channel difference {diff_sum / (top * w):.1f}")
    ok = check(share >= args.min_share,
               f"the window shows the plug-in's face ({share * 100:.1f}% of the top {top} rows match "
               f"the reference, want >= {args.min_share * 100:.0f}%)") and ok
    return 0 if ok else 1


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = ap.add_subparsers(dest="cmd", required=True)
    m = sub.add_parser("mark-session")
    m.add_argument("session")
    m.add_argument("--track", required=True)
    m.add_argument("--plugin", required=True)
    fw = sub.add_parser("find-window")
    fw.add_argument("tree")
    fw.add_argument("--size", required=True)
    sz = sub.add_parser("size")
    sz.add_argument("picture")
    fc = sub.add_parser("face")
    fc.add_argument("--shot", required=True)
    fc.add_argument("--rect", required=True)
    fc.add_argument("--reference", required=True)
    fc.add_argument("--crop", required=True)
    fc.add_argument("--top-rows", type=int, default=200)
    fc.add_argument("--min-share", type=float, default=0.8)
    args = ap.parse_args()
    if args.cmd == "mark-session":
        mark_session(args)
        return 0
    if args.cmd == "size":
        w, h, _ = read_ppm(args.picture)
        print(f"{w}x{h}")
        return 0
    if args.cmd == "find-window":
        find_window(args)
        return 0
    return face(args)


if __name__ == "__main__":
    sys.exit(main())
