"""fftbench report: the page it writes, as a file and in a real browser.

    report_test.py FFTBENCH OUT_DIR static    the HTML itself: every section and figure, nothing external
    report_test.py FFTBENCH OUT_DIR browser   the same page in headless Chromium: the rendered DOM, a
                                              screenshot that is not blank, no request to the network,
                                              nothing wider than a 1100-pixel window

The browser test exits 77 (CTest's SKIP_RETURN_CODE) with a message saying so
where no Chromium is installed ($FFTBENCH_CHROMIUM names one elsewhere).
"""

import json
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

SKIP = 77
ENTRIES = range(10)
SECTIONS = ["summary", "provenance", "bench", "comparisons", "walk", "details", "entries"] + [
    f"entry-{k}" for k in ENTRIES]
# Entries 0, 1, 2 and 4 have their graphs in their own sections; the others in the pairs.
PAIRS = [(3, 5), (6, 7), (8, 9), (6, 8)]
FIGURES = ["fig-bench-speed", "fig-bench-accuracy", "fig-profile", "fig-reuse", "fig-walk-3-4"] + [
    f"fig-graph-{k}" for k in (0, 1, 2, 4)] + [f"fig-trace-{k}" for k in ENTRIES] + [
    f"fig-pair-{a}-{b}" for a, b in PAIRS]
BENCH_SIZES = [4, 5, 6]  # log2 N
PROVENANCE = ["plug-in", "compiled by", "flags", "fftbench", "command", "processor", "data caches", "written"]
# Chromium's flags for a closed network; a fresh profile each run.
CHROMIUM_FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking", "--no-first-run"]

problems = []


def check(condition, message):
    if not condition:
        problems.append(message)


def write_report(fftbench, out):
    shutil.rmtree(out, ignore_errors=True)
    # A short report: few sizes, one quick measurement a cell.
    command = [fftbench, "report", "--out", out, "--verify-sizes", "2^0..2^6", "--bench-sizes", "2^4..2^6",
               "--min-time", "1", "--measurements", "1", "--profile-sizes", "2^2..2^10", "--trace-size", "2^12"]
    run = subprocess.run(command, capture_output=True, text=True)
    if run.returncode != 0:
        sys.exit(f"fftbench report failed with status {run.returncode}:\n{run.stderr}")
    check(f"{out}/index.html" in run.stdout, f"the report's path is not printed: {run.stdout!r}")
    with open(os.path.join(out, "index.html"), encoding="utf-8") as page:
        return page.read()


def figure_bodies(html):
    """Each figure's markup by its id."""
    return {m.group(1): m.group(2) for m in re.finditer(r'<figure[^>]* id="([^"]+)"[^>]*>(.*?)</figure>', html, re.S)}


def check_structure(html, where):
    for section in SECTIONS:
        check(re.search(rf'<section[^>]* id="{section}"', html), f"{where}: no section {section}")
    figures = figure_bodies(html)
    for figure in FIGURES:
        body = figures.get(figure)
        check(body is not None, f"{where}: no figure {figure}")
        if body is not None:
            check("<svg" in body and "</svg>" in body, f"{where}: figure {figure} holds no inline SVG")
    check(len(re.findall(r'<td class="pass">PASS</td>', html)) == 70, f"{where}: the verify table has not 10 x 7 PASS cells")
    check_summary(html, where)
    check_pairs(figures, where)
    check_provenance(html, where)
    check_speed_plot(figures.get("fig-bench-speed", ""), where)
    # No empty chart: every figure holds a picture that draws something, none says it has none.
    for name, body in figures.items():
        drawn = len(re.findall(r"<(path|circle|line|polyline|polygon|rect)\b", body))
        check(drawn >= 3, f"{where}: figure {name} draws {drawn} shapes")
        check('class="missing"' not in body, f"{where}: figure {name} has no picture")
    # The report measures no peak rates: no limit chart and no limit columns, never an empty chart.
    check("fig-bench-limit" not in figures and "limit %" not in html, f"{where}: a limit % shown without rates")


def check_summary(html, where):
    table = re.search(r'<table class="summary" id="summary-table">(.*?)</table>', html, re.S)
    check(table is not None, f"{where}: no summary table")
    if table is None:
        return
    rows = re.findall(r"<tr>(.*?)</tr>", table.group(1).split("<tbody>")[-1], re.S)
    entries = [int(m.group(1)) for row in rows for m in [re.search(r'href="#entry-(\d+)"', row)] if m]
    check(entries == list(ENTRIES), f"{where}: the summary table's rows are of entries {entries}")
    heads = re.findall(r"<th>(.*?)</th>", table.group(1))
    for row in rows:
        check(len(re.findall(r"<td", row)) == len(heads), f"{where}: a summary row has not one cell per column: {row[:80]}")
    # Every entry was benched at every size and counted: those cells hold numbers.
    for row in rows:
        cells = re.findall(r'<td class="num[^"]*">([^<]*)</td>', row)
        check(all(c.strip() and c.strip() != "–" for c in cells[:len(BENCH_SIZES) + 1]),
              f"{where}: a summary row lacks a measured speed or ratio: {cells}")
    conclusions = re.search(r'<ul class="conclusions">(.*?)</ul>', html, re.S)
    check(conclusions is not None and "<li>" in conclusions.group(1), f"{where}: no sentence above the summary table")


def check_pairs(figures, where):
    for a, b in PAIRS:
        body = figures.get(f"fig-pair-{a}-{b}", "")
        check(body.count("<svg") == 2, f"{where}: the pair {a}|{b} has {body.count('<svg')} pictures, not two")
        check(f"entry {a}: " in body and f"entry {b}: " in body, f"{where}: the pair {a}|{b} is not of entries {a} and {b}")
        sizes = re.findall(r"N = (\d+), \d+ stages", body)
        check(len(sizes) == 2 and sizes[0] == sizes[1], f"{where}: the pair {a}|{b} is drawn at sizes {sizes}")
        # Same scale: the widths on the page are in the ratio of the pictures' own widths.
        shares = [float(x) for x in re.findall(r'class="half"[^>]*style="width:([\d.]+)%"', body)]
        widths = [float(x) for x in re.findall(r'<svg[^>]* width="([\d.]+)"', body)]
        if len(shares) == 2 and len(widths) == 2:
            check(abs(shares[0] / shares[1] - widths[0] / widths[1]) < 0.02,
                  f"{where}: the pair {a}|{b} is not drawn at one scale: {shares} % for widths {widths}")
        else:
            check(False, f"{where}: the pair {a}|{b} has no two sized halves")
    # Each paired entry's graph is drawn once, in a pair, with an id of its own for the links.
    for k in sorted({k for pair in PAIRS for k in pair}):
        holders = [f"{a}|{b}" for a, b in PAIRS if f'id="fig-graph-{k}"' in figures.get(f"fig-pair-{a}-{b}", "")]
        check(len(holders) == 1, f"{where}: entry {k}'s graph is in the pairs {holders}")
    # The special butterflies are what entries 5, 7 and 9 change: they are ringed; radix 4 against split radix
    # differ in shape, not butterfly by butterfly.
    for a, b in [(3, 5), (6, 7), (8, 9)]:
        check('class="differs"' in figures.get(f"fig-pair-{a}-{b}", ""), f"{where}: nothing ringed in the pair {a}|{b}")
    check("closing" in figures.get("fig-pair-6-8", ""), f"{where}: the radix-4 graphs show no closing pass")
    # Radix 4 multiplies three lines of a butterfly, split radix two and passes the rest on: the factors drawn on
    # the lines of each half say so, and only the split-radix half has rows drawn as passed on untouched.
    pair = figures.get("fig-pair-6-8", "")
    halves = re.findall(r'<div class="half".*?</svg>', pair, re.S)
    check(len(halves) == 2, f"{where}: the pair 6|8 has {len(halves)} halves")
    if len(halves) == 2:
        def per_butterfly(svg):
            counts = {}
            for group in re.findall(r'<g class="butterfly[^"]*">(.*?)</g>', svg, re.S):
                marks = group.count('class="mark"')
                if marks and group.count('class="dot"') == 4:
                    counts[marks] = counts.get(marks, 0) + 1
            return counts
        for half, marks, passed in ((halves[0], 3, False), (halves[1], 2, True)):
            counts = per_butterfly(half)
            check(list(counts) == [marks], f"{where}: four-point butterflies with factors on {counts} lines, not {marks}")
            check(("passed on untouched" in half) == passed, f"{where}: pass-through rows {'missing' if passed else 'drawn'}")
        check("(3 each)" in pair and "(2 each)" in pair, f"{where}: the 6|8 caption does not count the factors drawn")
    # Entry 4's graph is entry 3's at a size of one leaf: its recursion is sketched beside it, and the caption says so.
    four = figures.get("fig-graph-4", "")
    check(four.count('class="rec-box leaf"') == 4 and "same as entry 3's" in four,
          f"{where}: entry 4's graph lacks its recursion sketch or the caption comparing it with entry 3's")


def check_provenance(html, where):
    block = re.search(r'<dl class="provenance"[^>]*>(.*?)</dl>', html, re.S)
    check(block is not None, f"{where}: no provenance block")
    if block is None:
        return
    items = dict(re.findall(r"<dt>(.*?)</dt><dd>(.*?)</dd>", block.group(1), re.S))
    for name in PROVENANCE:
        check(items.get(name, "not known") != "not known", f"{where}: the provenance block does not say its {name}")
    check(" report " in items.get("command", ""), f"{where}: the command line is not the report's: {items.get('command')}")
    check(re.search(r"\((sysfs|CPUID|rate sweep|assumed)\)", items.get("data caches", "")),
          f"{where}: the cache sizes do not say where they came from")


def check_speed_plot(body, where):
    # A marker at every size of every line: a circle per entry, a square per peer.
    labels = re.findall(r'class="end-label"[^>]*>(\d+)\. ([^<]*) \((\d+)\)</text>', body)
    check(len(labels) >= 10, f"{where}: the speed plot names {len(labels)} lines at their ends")
    markers = len(re.findall(r'class="marker"', body))
    check(markers == len(labels) * len(BENCH_SIZES), f"{where}: {markers} speed markers for {len(labels)} lines")
    ranks = [int(rank) for rank, _, _ in labels]
    speeds = [int(speed) for _, _, speed in labels]
    check(ranks == list(range(1, len(labels) + 1)) and speeds == sorted(speeds, reverse=True),
          f"{where}: the speed plot's names are not in speed order: {speeds}")


def check_nothing_external(html):
    # Namespace names (xmlns="http://www.w3.org/…") name, they fetch nothing.
    without_namespaces = re.sub(r'xmlns(:\w+)?="[^"]*"', "", html)
    for pattern, what in [(r'<(script|link|iframe|object|embed|img)\b', "an element that loads something"),
                          (r'(src|href)\s*=\s*["\']?\s*(https?:|//|ftp:)', "a reference to another host"),
                          (r'url\(\s*["\']?\s*(https?:|//)', "a style that fetches"),
                          (r'@import', "a style sheet imported"),
                          (r'https?://', "an address")]:
        found = re.search(pattern, without_namespaces, re.I)
        check(found is None, f"the page has {what}: {found.group(0) if found else ''}")


def find_chromium():
    chosen = os.environ.get("FFTBENCH_CHROMIUM")
    if chosen:
        return chosen if os.access(chosen, os.X_OK) else None
    for name in ("chromium", "chromium-browser", "google-chrome"):
        path = shutil.which(name)
        if path:
            return path
    return None


def chromium(program, url, *extra):
    with tempfile.TemporaryDirectory() as profile:
        run = subprocess.run([program, *CHROMIUM_FLAGS, f"--user-data-dir={profile}", *extra, url],
                             capture_output=True, timeout=180)
    return run


def page_requests(net_log):
    """The requests a page made (browser-own ones have no origin), from a net log."""
    with open(net_log, encoding="utf-8") as f:
        log = json.load(f)
    types = {number: name for name, number in log["constants"]["logEventTypes"].items()}
    requests = []
    for event in log["events"]:
        params = event.get("params", {})
        if types.get(event["type"]) == "URL_REQUEST_START_JOB" and "url" in params:
            if params.get("initiator") != "not an origin":
                requests.append(params["url"])
    return requests


def png_pixels(path):
    """(width, height, rows of RGB(A) bytes) of an 8-bit RGB or RGBA PNG, with the standard library."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        sys.exit(f"{path} is not a PNG file")
    at, idat, width = 8, b"", 0
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", body[:10])
            if depth != 8 or colour not in (2, 6):
                sys.exit(f"{path}: a PNG of depth {depth}, colour type {colour}")
            channels = 3 if colour == 2 else 4
        elif kind == b"IDAT":
            idat += body
        at += 12 + length
    raw = zlib.decompress(idat)
    stride = width * channels
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            left = line[i - channels] if i >= channels else 0
            up = previous[i]
            corner = previous[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + left) & 255
            elif kind == 2:
                line[i] = (line[i] + up) & 255
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 255
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                line[i] = (line[i] + (left if pa <= pb and pa <= pc else up if pb <= pc else corner)) & 255
        rows.append(bytes(line))
        previous = line
    return width, height, channels, rows


def check_not_blank(path):
    width, height, channels, rows = png_pixels(path)
    inked, colours = 0, set()
    for row in rows[::4]:
        for x in range(0, width * channels, channels * 4):
            pixel = row[x:x + 3]
            colours.add(pixel)
            if min(pixel) < 200:
                inked += 1
    sampled = len(rows[::4]) * len(range(0, width * channels, channels * 4))
    check(inked > 0.01 * sampled, f"the screenshot is blank: {inked} of {sampled} sampled pixels inked")
    check(len(colours) > 20, f"the screenshot has {len(colours)} colours: text and pictures have more")


# Appended to a copy of the page: once laid out, the page's width and the
# width of what it holds, in an element --dump-dom shows.
WIDTH_PROBE = ("<script>addEventListener('load', () => { const p = document.createElement('pre'); "
               "p.id = 'page-width'; const d = document.documentElement; "
               "p.textContent = d.clientWidth + ' ' + d.scrollWidth; document.body.appendChild(p); });</script>")


def check_fits_window(program, out, html):
    """Nothing on the page is wider than a 1100-pixel window, so that it never scrolls sideways."""
    probe = os.path.join(out, "width-probe.html")
    with open(probe, "w", encoding="utf-8") as f:
        f.write(html.replace("</body>", WIDTH_PROBE + "</body>"))
    laid_out = chromium(program, "file://" + os.path.abspath(probe), "--dump-dom", "--window-size=1100,1000",
                        "--virtual-time-budget=3000")
    found = re.search(r'id="page-width">(\d+) (\d+)<', laid_out.stdout.decode("utf-8", "replace"))
    check(found is not None, "the width probe did not run")
    if found:
        check(found.group(1) == found.group(2),
              f"the page is {found.group(2)} pixels wide in a window {found.group(1)} wide: something does not fit")


def main():
    fftbench, out, mode = sys.argv[1:4]
    if mode == "browser":
        program = find_chromium()
        if program is None:
            print("SKIP: no Chromium installed (scripts/setup.sh installs Debian's chromium; "
                  "$FFTBENCH_CHROMIUM names another): the report was not opened in a browser")
            return SKIP
    html = write_report(fftbench, out)
    if mode == "static":
        check_structure(html, "index.html")
        check_nothing_external(html)
    else:
        url = "file://" + os.path.abspath(os.path.join(out, "index.html"))
        net_log = os.path.join(out, "net-log.json")
        dom = chromium(program, url, "--dump-dom", f"--log-net-log={net_log}", "--net-log-capture-mode=Everything")
        check(dom.returncode == 0, f"chromium --dump-dom exited with {dom.returncode}: {dom.stderr[-400:]!r}")
        check_structure(dom.stdout.decode("utf-8", "replace"), "the rendered DOM")
        requests = page_requests(net_log)
        check(not requests, f"the page requested {requests}")
        # The net log must see a page's request when there is one: a control page with one.
        control = os.path.join(out, "control.html")
        with open(control, "w", encoding="utf-8") as f:
            f.write('<html><body><img src="http://192.0.2.1/picture.png"><p>control</p></body></html>')
        control_log = os.path.join(out, "control-net-log.json")
        chromium(program, "file://" + os.path.abspath(control), "--dump-dom", f"--log-net-log={control_log}",
                 "--net-log-capture-mode=Everything")
        check(page_requests(control_log) == ["http://192.0.2.1/picture.png"],
              f"the net log did not show the control page's request: {page_requests(control_log)}")

        check_fits_window(program, out, html)
        shot = os.path.join(out, "screenshot.png")
        chromium(program, url, f"--screenshot={shot}", "--window-size=1400,2400")
        check(os.path.exists(shot), "chromium wrote no screenshot")
        if os.path.exists(shot):
            check_not_blank(shot)
    if problems:
        print("FAIL:\n  " + "\n  ".join(problems))
        return 1
    print(f"PASS: {mode}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
