"""Writes web/helvetica18.json, the glyphs of GLUT's GLUT_BITMAP_HELVETICA_18 for the
page's GLUT, from freeglut's own source (src/fg_font_data.c of Debian's freeglut source
package: `apt-get source freeglut`), so that the read-out looks in the browser as it
does on the desktop. The build wraps it into the page's GLUT (web/CMakeLists.txt).

    python3 web/make_font.py path/to/freeglut-3.4.0/src/fg_font_data.c > web/helvetica18.json

Only the printable ASCII glyphs are kept: the program draws nothing else. The glyphs
are freeglut's, under the XFree86 (MIT) licence of that file. Each glyph: its advance in
pixels, then its rows from the bottom up, (advance + 7) / 8 bytes a row, high bit first;
`xorig` and `yorig` place the glyph's origin from its lower left corner.
"""

import json
import re
import sys

FIRST, LAST = 32, 126


def main() -> None:
    source = open(sys.argv[1], encoding="latin-1").read()
    arrays = dict(re.findall(
        r"static const GLubyte (Helvetica18_Character_\d{3})\[\] = \{([^}]*)\};", source))
    font = re.search(r"SFG_Font fgFontHelvetica18 = \{ \"([^\"]*)\", (\d+), (\d+), "
                     r"Helvetica18_Character_Map, (\d+), (\d+) \};", source)
    name, _, height, xorig, yorig = font.groups()
    table = re.search(r"Helvetica18_Character_Map\[\] = \{([^}]*)\};", source).group(1)
    entries = [entry.strip() for entry in table.split(",") if entry.strip()]
    glyphs = {str(code): [int(v) for v in arrays[entries[code]].split(",")]
              for code in range(FIRST, LAST + 1)}
    font = {"name": name, "height": int(height), "xorig": int(xorig), "yorig": int(yorig),
            "glyphs": glyphs}
    print(json.dumps(font, separators=(",", ":")))


if __name__ == "__main__":
    main()
