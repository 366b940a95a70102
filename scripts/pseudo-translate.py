#!/usr/bin/env python3
"""Makes a pseudo-translation of a Qt .ts file, for testing that the windows are ready for real
translations: every message becomes about 40 % longer, with accented letters, so that a text
that is cut off, or one that never went through tr(), shows at a glance and in tests.

    pseudo-translate.py TEMPLATE.ts OUTPUT.ts [LANGUAGE]

What must survive a translation survives this one: %1..%99 and %n placeholders, HTML-like tags
and entities, '&' mnemonics (one per text, as written), line ends and tabs. Each text is
wrapped in [ ] so that a clipped end is visible.
"""

import re
import sys
import xml.etree.ElementTree as ET

ACCENTED = dict(zip(
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ",
    "àƀçđéƒĝĥíĵķĺɱñóþǫŕšţúṽŵẋýžÀɃÇĐÉƑĜĤÍĴĶĹṀÑÓÞǪŔŠŢÚṼŴẊÝŽ"))

# Pieces copied as they are: placeholders, tags, entities, and escaped line ends.
KEEP = re.compile(r"%(?:\d{1,2}|n|L\d)|<[^>]*>|&(?:[a-zA-Z]+|#\d+);|[\r\n\t]")
PADDING = "ŵĩđé ţéẋţ łóñĝéŕ ţĥàñ ţĥé ŏŕĩĝĩñàł "


def pseudo(text: str) -> str:
    if not text.strip():
        return text
    out = []
    pos = 0
    letters = 0
    for m in KEEP.finditer(text):
        out.append(accent(text[pos:m.start()]))
        letters += m.start() - pos
        out.append(m.group(0))
        pos = m.end()
    out.append(accent(text[pos:]))
    letters += len(text) - pos
    extra = max(1, (letters * 4 + 9) // 10 - 3)
    pad = (PADDING * (extra // len(PADDING) + 1))[:extra]
    return "[" + "".join(out) + " " + pad.rstrip() + "]"


def text_of(element) -> str:
    """The text of a .ts element; characters XML cannot hold (a CR) are <byte value="xd"/>."""
    parts = [element.text or ""]
    for child in element:
        if child.tag == "byte":
            value = child.get("value")
            parts.append(chr(int(value[1:], 16) if value.startswith("x") else int(value)))
        parts.append(child.tail or "")
    return "".join(parts)


def set_text(element, text: str) -> None:
    """Sets element's text, writing the characters XML would not keep as <byte> elements."""
    for child in list(element):
        element.remove(child)
    pieces = re.split(r"([\x00-\x08\x0b-\x1f])", text)
    element.text = pieces[0]
    for i in range(1, len(pieces), 2):
        byte = ET.SubElement(element, "byte", value="x" + format(ord(pieces[i]), "x"))
        byte.tail = pieces[i + 1]


def accent(piece: str) -> str:
    return "".join(ACCENTED.get(c, c) for c in piece)


def main() -> int:
    if len(sys.argv) not in (3, 4):
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    tree = ET.parse(sys.argv[1])
    root = tree.getroot()
    root.set("language", sys.argv[3] if len(sys.argv) == 4 else "en_XA")
    for message in root.iter("message"):
        source = message.find("source")
        translation = message.find("translation")
        if translation is None:
            translation = ET.SubElement(message, "translation")
        translation.attrib.pop("type", None)
        if message.get("numerus") == "yes":
            for form in list(translation):
                translation.remove(form)
            set_text(ET.SubElement(translation, "numerusform"), pseudo(text_of(source)))
        else:
            set_text(translation, pseudo(text_of(source)))
    tree.write(sys.argv[2], encoding="utf-8", xml_declaration=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
