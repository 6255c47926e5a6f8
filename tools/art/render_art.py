#!/usr/bin/env python3
"""Renders the viewer's pictures from the SVG drawings in res/.

Every output is a 32-bit RGBA PNG with no time stamp, so that a build writes the same bytes every
time. rsvg-convert draws, ImageMagick normalises the file (and writes the .ico).

  render_art.py picture IN.svg OUT.png
      one drawing, one picture
  render_art.py toolbar OUT.png ICON.svg...
      the toolbar sheet: 52x52 cells, one column per drawing in the order given. The first two
      drawings are the button backgrounds (row 0 only); every other drawing is an icon in
      "currentColor", drawn three times: normal, highlighted and disabled.
  render_art.py frames IN.svg OUT.png COUNT
      an animation strip: the drawing COUNT times side by side, turned a further 360/COUNT
      degrees about its centre in each frame
  render_art.py icon OUT.ico SIZE=IN.svg...
      a multi-size icon, each size from the drawing made for it
"""
import os
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

SVG_NS = "http://www.w3.org/2000/svg"
ET.register_namespace("", SVG_NS)
ET.register_namespace("xlink", "http://www.w3.org/1999/xlink")

CELL = 52
# The states of a toolbar icon, one row each: dark grey at rest, the accent when highlighted
# (hover, pressed or checked), light grey when the command is unavailable.
TOOLBAR_ROWS = ("#404147", "#2F6FDE", "#BCC0C8")
TOOLBAR_COLUMNS = 16

# ImageMagick writes creation and modification dates into PNG text chunks unless told not to.
PNG_OPTIONS = ["-define", "png:exclude-chunks=date,time,tEXt,zTXt,iTXt",
               "+set", "date:create", "+set", "date:modify"]


def fail(message):
    sys.stderr.write("render_art: %s\n" % message)
    sys.exit(1)


def run(args):
    try:
        subprocess.run(args, check=True)
    except FileNotFoundError:
        fail("%s is missing (run tools/setup.sh)" % args[0])
    except subprocess.CalledProcessError as error:
        fail("%s failed with %d" % (args[0], error.returncode))


def rasterise(svg_path, png_path, width=None, height=None):
    """Draws svg_path into png_path as 8-bit RGBA without ancillary chunks."""
    raw = png_path + ".raw.png"
    args = ["rsvg-convert", "-f", "png", "-o", raw]
    if width:
        args += ["-w", str(width), "-h", str(height)]
    run(args + [svg_path])
    run(["convert", raw, "-strip"] + PNG_OPTIONS + ["PNG32:" + png_path])
    os.remove(raw)


def parse(path):
    try:
        root = ET.parse(path).getroot()
    except (OSError, ET.ParseError) as error:
        fail("cannot read %s: %s" % (path, error))
    if root.tag != "{%s}svg" % SVG_NS:
        fail("%s is not an SVG drawing" % path)
    return root


def size_of(root, path):
    try:
        return int(root.get("width")), int(root.get("height"))
    except (TypeError, ValueError):
        fail("%s needs a whole-pixel width and height" % path)


def group(x, y, children, color=None, extra_transform=""):
    g = ET.Element("{%s}g" % SVG_NS, {"transform": ("translate(%d,%d) %s" % (x, y, extra_transform)).strip()})
    if color:
        g.set("color", color)
    g.extend(children)
    return g


def write_sheet(width, height, groups, png_path):
    sheet = ET.Element("{%s}svg" % SVG_NS, {"width": str(width), "height": str(height),
                                            "viewBox": "0 0 %d %d" % (width, height)})
    sheet.extend(groups)
    with tempfile.TemporaryDirectory() as work:
        composed = os.path.join(work, "sheet.svg")
        ET.ElementTree(sheet).write(composed, encoding="utf-8", xml_declaration=True)
        rasterise(composed, png_path)


def toolbar(out, sources):
    if len(sources) != TOOLBAR_COLUMNS:
        fail("the toolbar has %d columns, %d drawings given" % (TOOLBAR_COLUMNS, len(sources)))
    groups = []
    for column, path in enumerate(sources):
        root = parse(path)
        if size_of(root, path) != (CELL, CELL):
            fail("%s must be %dx%d" % (path, CELL, CELL))
        rows = TOOLBAR_ROWS[:1] if column < 2 else TOOLBAR_ROWS
        for row, color in enumerate(rows):
            groups.append(group(column * CELL, row * CELL, list(parse(path)), color))
    write_sheet(CELL * TOOLBAR_COLUMNS, CELL * len(TOOLBAR_ROWS), groups, out)


def frames(source, out, count):
    root = parse(source)
    width, height = size_of(root, source)
    if count < 1 or width != height:
        fail("%s: frames must be square and at least one" % source)
    turn = 360.0 / count
    groups = [group(i * width, 0, list(parse(source)),
                    extra_transform="rotate(%g,%g,%g)" % (i * turn, width / 2, height / 2))
              for i in range(count)]
    write_sheet(width * count, height, groups, out)


def icon(out, entries):
    images = []
    with tempfile.TemporaryDirectory() as work:
        for entry in entries:
            size, _, source = entry.partition("=")
            if not size.isdigit() or not source:
                fail("icon entries are SIZE=drawing.svg, not %r" % entry)
            png = os.path.join(work, "%s.png" % size)
            rasterise(source, png, int(size), int(size))
            images.append(png)
        run(["convert"] + images + PNG_OPTIONS + [out])


def main(argv):
    if len(argv) < 3:
        fail(__doc__)
    command, out_args = argv[1], argv[2:]
    if command == "picture" and len(out_args) == 2:
        rasterise(out_args[0], out_args[1])
    elif command == "toolbar":
        toolbar(out_args[0], out_args[1:])
    elif command == "frames" and len(out_args) == 3 and out_args[2].isdigit():
        frames(out_args[0], out_args[1], int(out_args[2]))
    elif command == "icon" and len(out_args) >= 2:
        icon(out_args[0], out_args[1:])
    else:
        fail(__doc__)


if __name__ == "__main__":
    main(sys.argv)
