"""The colours of fftbench's pictures, as readers with the common colour-vision
deficiencies see them.

    palette_test.py CSS...

Every rule of the style sheets that declares two or more colours as custom
properties (".fg { --table: #0072B2; --nothing: #333333; … }") is a palette:
colours a reader must tell apart. The rules that draw spell the values out
again (rsvg-convert, which makes the PNGs, reads no var()), so each declared
colour must be used in its style sheet. Each pair must differ by at least MIN_DELTA_E
(CIE 1976 ΔE*ab) in normal vision and in the simulations of protanopia,
deuteranopia and tritanopia by the matrices of Machado, Oliveira and Fernandes
(2009) at full severity, applied in linear sRGB.
"""

import itertools
import re
import sys

MIN_DELTA_E = 15.0

MACHADO_2009 = {
    "protanopia": [[0.152286, 1.052583, -0.204868], [0.114503, 0.786281, 0.099216], [-0.003882, -0.048116, 1.051998]],
    "deuteranopia": [[0.367322, 0.860646, -0.227968], [0.280085, 0.672501, 0.047413], [-0.011820, 0.042940, 0.968881]],
    "tritanopia": [[1.255528, -0.076749, -0.178779], [-0.078411, 0.930809, 0.147602], [0.004733, 0.691367, 0.303900]],
}
VISIONS = ["normal"] + list(MACHADO_2009)


def linear(hex_colour):
    def channel(c):
        c /= 255
        return c / 12.92 if c <= 0.04045 else ((c + 0.055) / 1.055) ** 2.4
    return [channel(int(hex_colour[i:i + 2], 16)) for i in (1, 3, 5)]


def simulate(rgb, vision):
    if vision == "normal":
        return rgb
    m = MACHADO_2009[vision]
    return [min(1.0, max(0.0, sum(m[i][j] * rgb[j] for j in range(3)))) for i in range(3)]


def lab(rgb):
    r, g, b = rgb
    x = (0.4124 * r + 0.3576 * g + 0.1805 * b) / 0.95047
    y = 0.2126 * r + 0.7152 * g + 0.0722 * b
    z = (0.0193 * r + 0.1192 * g + 0.9505 * b) / 1.08883

    def f(t):
        return t ** (1 / 3) if t > 216 / 24389 else (24389 / 27 * t + 16) / 116
    return 116 * f(y) - 16, 500 * (f(x) - f(y)), 200 * (f(y) - f(z))


def delta_e(a, b, vision):
    return sum((p - q) ** 2 for p, q in zip(lab(simulate(linear(a), vision)), lab(simulate(linear(b), vision)))) ** 0.5


def too_close(palette):
    """The pairs of (name, colour) closer than MIN_DELTA_E in some vision: (vision, name, name, ΔE)."""
    return [(vision, n1, n2, delta_e(c1, c2, vision))
            for (n1, c1), (n2, c2) in itertools.combinations(palette, 2) for vision in VISIONS
            if delta_e(c1, c2, vision) < MIN_DELTA_E]


def palettes(css):
    """(selector, [(name, #rrggbb)]) for each rule declaring two or more colours as custom properties."""
    css = re.sub(r"/\*.*?\*/", "", css, flags=re.S)
    for selector, body in re.findall(r"([^{}]+)\{([^{}]*)\}", css):
        colours = re.findall(r"--([\w-]+)\s*:\s*(#[0-9a-fA-F]{6})\b", body)
        if len(colours) >= 2:
            yield selector.strip(), colours


def main():
    problems = []
    # The check must see what it is for: the former blue and purple of the
    # graphs are one colour to a deuteranope.
    if not any(v == "deuteranopia" for v, *_ in too_close([("general", "#2f6db5"), ("w8", "#8a3fb8")])):
        problems.append("the simulation does not tell #2f6db5 and #8a3fb8 apart as a deuteranope would not")
    if too_close([("black", "#000000"), ("white", "#ffffff")]):
        problems.append("the simulation finds black and white too close")
    found = 0
    for path in sys.argv[1:]:
        with open(path, encoding="utf-8") as f:
            css = f.read()
            for selector, colours in palettes(css):
                found += 1
                # The rules spell the values out (rsvg-convert reads no var()): each is used.
                for name, colour in colours:
                    if len(re.findall(re.escape(colour), css, re.I)) < 2:
                        problems.append(f"{path}: {selector}: --{name} {colour} is declared but drawn nowhere")
                for vision, a, b, de in too_close(colours):
                    problems.append(f"{path}: {selector}: --{a} and --{b} differ by ΔE {de:.1f} in {vision} "
                                    f"(at least {MIN_DELTA_E} wanted)")
    if found < len(sys.argv[1:]):
        problems.append(f"{found} palettes in {len(sys.argv[1:])} style sheets: every one given should declare one")
    if problems:
        print("FAIL:\n  " + "\n  ".join(problems))
        return 1
    print(f"PASS: {found} palettes")
    return 0


if __name__ == "__main__":
    sys.exit(main())
