"""Decodes the pictures listed in a manifest with PIL and checks size, mode and quality.

Each manifest line: path width height mode quality ("-" when not a JPEG). A JPEG's quality
is checked through its luminance quantization table, which the standard scaling of the
reference table gives for that quality. Exit status 0 when every picture matches.
"""
import sys

from PIL import Image

BASE_LUMA = [16, 11, 10, 16, 24, 40, 51, 61, 12, 12, 14, 19, 26, 58, 60, 55,
             14, 13, 16, 24, 40, 57, 69, 56, 14, 17, 22, 29, 51, 87, 80, 62,
             18, 22, 37, 56, 68, 109, 103, 77, 24, 35, 55, 64, 81, 104, 113, 92,
             49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99]


def expected_table(quality):
    scale = 5000 // quality if quality < 50 else 200 - quality * 2
    return sorted(min(255, max(1, (v * scale + 50) // 100)) for v in BASE_LUMA)


def check(path, width, height, mode, quality):
    image = Image.open(path)
    image.load()
    problems = []
    if image.size != (width, height):
        problems.append("size %s" % (image.size,))
    if image.mode != mode:
        problems.append("mode %s" % image.mode)
    if quality != "-":
        table = sorted(image.quantization[0])
        if table != expected_table(int(quality)):
            problems.append("quantization does not match quality %s" % quality)
    if mode == "RGBA":
        colours = image.getcolors(maxcolors=width * height)
        stray = [c for _, c in colours if c[3] != 0 and c != (0, 0, 0, 255)]
        if stray:
            problems.append("pixels neither opaque black nor transparent: %s" % stray[:3])
    return problems


def main():
    failed = False
    for line in open(sys.argv[1]):
        path, width, height, mode, quality = line.split()
        problems = check(path, int(width), int(height), mode, quality)
        if problems:
            failed = True
            print("%s: %s" % (path, "; ".join(problems)))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
