#!/usr/bin/env python3
"""Draws the pictures of the default and splash skins as SVG files.

The skin compiler renders each (through rsvg-convert) at its design size for 96-dpi screens and at twice
that size for 192-dpi screens. It keys out pixels whose alpha is below one half, so antialiased edges
would turn hard; a picture that sits on a known colour (its matte) therefore gets an opaque underlay of
that colour wherever the shape covers a quarter of a pixel or more, and its edges blend into the matte
instead.

usage: make-art.py SKIN OUTPUT_FOLDER      (SKIN: default or splash)
"""
import os
import sys

BG = "#101418"
SURF = "#1A2027"
RAISED = "#232B34"
DIV = "#2C3640"
TEXT = "#ECEFF3"
SEC = "#9AA4AF"
RED = "#E5484D"
RED_P = "#B8373B"
BLUE = "#3BA8E8"
BLUE_P = "#2B86BD"
YELLOW = "#F5C542"
GREEN = "#3DDC84"

STROKE = 'fill="none" stroke-width="2" stroke-linecap="round" stroke-linejoin="round"'


def svg(width, height, body, matte=None):
    """An SVG document; with a matte, the body is drawn over an underlay of that colour."""
    under = ""
    if matte:
        r, g, b = (int(matte[i:i + 2], 16) / 255 for i in (1, 3, 5))
        under = (
            f'<filter id="m" filterUnits="userSpaceOnUse" x="0" y="0" width="{width}" height="{height}"'
            f' color-interpolation-filters="sRGB">'
            f'<feColorMatrix type="matrix" values="0 0 0 0 {r:.4f} 0 0 0 0 {g:.4f} 0 0 0 0 {b:.4f} 0 0 0 1 0"/>'
            f'<feComponentTransfer><feFuncA type="discrete" tableValues="0 1 1 1"/></feComponentTransfer>'
            f'</filter><g filter="url(#m)">{body}</g>')
    return (f'<svg xmlns="http://www.w3.org/2000/svg" width="{width}" height="{height}"'
            f' viewBox="0 0 {width} {height}">{under}{body}</svg>\n')


def rounded(width, height, fill, radius=8, edge=None, inset=0):
    """A rounded rectangle filling the picture, with an optional 1-pixel edge."""
    s = inset + (0.5 if edge else 0)
    stroke = f' stroke="{edge}" stroke-width="1"' if edge else ""
    return (f'<rect x="{s}" y="{s}" width="{width - 2 * s}" height="{height - 2 * s}" rx="{radius - s}"'
            f' fill="{fill}"{stroke}/>')


# Icons on a 24 x 24 canvas (a 20 x 20 grid with a 2-pixel margin), 2-pixel round strokes.
def icon(name, c):
    s = f'stroke="{c}" {STROKE}'
    shapes = {
        "menu": f'<path {s} d="M5 7h14M5 12h14M5 17h14"/>',
        "dialpad": "".join(f'<circle cx="{x}" cy="{y}" r="1.9" fill="{c}"/>'
                           for y in (5, 10.5, 16) for x in (6, 12, 18)) + f'<circle cx="12" cy="21" r="1.9" fill="{c}"/>',
        "close": f'<path {s} d="M6.5 6.5l11 11M17.5 6.5l-11 11"/>',
        "back": f'<path {s} d="M19 12H5.5M11 6l-6 6 6 6"/>',
        "pencil": f'<path {s} d="M5 19l.8-3.6L15.6 5.6a2 2 0 0 1 2.8 2.8L8.6 18.2zM13.6 7.6l2.8 2.8"/>',
        "bolt": f'<path {s} d="M13.5 3L6 13.5h5.5L10.5 21 18 10.5h-5.5z"/>',
        "speaker_on": f'<path {s} d="M4 9.5h3.5L12 5.5v13l-4.5-4H4z"/>'
                      f'<path {s} d="M15.5 9a4.5 4.5 0 0 1 0 6M18.2 6.3a8.5 8.5 0 0 1 0 11.4"/>',
        "speaker_off": f'<path {s} d="M4 9.5h3.5L12 5.5v13l-4.5-4H4z"/><path {s} d="M16 9.5l4.5 5M20.5 9.5l-4.5 5"/>',
        "help": f'<circle cx="12" cy="12" r="9" {s}/><path {s} d="M9.5 9.8a2.6 2.6 0 1 1 3.6 2.4c-.8.4-1.1.9-1.1 1.8"/>'
                f'<circle cx="12" cy="17" r="1.2" fill="{c}"/>',
        "minimize": f'<path {s} d="M5 19h14M8 9l4 4 4-4M12 4v9"/>',
        "exit": f'<path {s} d="M7.6 6.8a7.5 7.5 0 1 0 8.8 0M12 3.5v8"/>',
        "check": f'<path {s} d="M5 12.5l4.5 4.5L19 7.5"/>',
        "ring": f'<circle cx="12" cy="12" r="7" {s}/>',
        "backspace": f'<path {s} d="M9 6h10a1.5 1.5 0 0 1 1.5 1.5v9A1.5 1.5 0 0 1 19 18H9l-5.5-6z"/>'
                     f'<path {s} d="M12 9.5l5 5M17 9.5l-5 5"/>',
        "mic": f'<rect x="9" y="3" width="6" height="11" rx="3" {s}/><path {s} d="M6 11a6 6 0 0 0 12 0M12 17v4M9 21h6"/>',
        "handset": f'<path {s} d="M6.5 3.8h2.8l1.5 4.4-2.1 1.4a11 11 0 0 0 5.7 5.7l1.4-2.1 4.4 1.5v2.8a2 2 0 0 1-2.2 2'
                   f'A15.5 15.5 0 0 1 4.5 6a2 2 0 0 1 2-2.2z"/>',
        "key": f'<rect x="4" y="6" width="16" height="12" rx="3" {s}/><path {s} d="M8 12h8"/>',
        "record": f'<circle cx="12" cy="12" r="8" {s}/><circle cx="12" cy="12" r="4" fill="{RED}"/>',
        "camera": f'<path {s} d="M4 9A1.5 1.5 0 0 1 5.5 7.5h2.5l1.5-2h5l1.5 2h2.5A1.5 1.5 0 0 1 20 9v8.5a1.5 1.5 0 0 1'
                  f'-1.5 1.5h-13A1.5 1.5 0 0 1 4 17.5z"/><circle cx="12" cy="13" r="3.2" {s}/>',
        "assistant": f'<path {s} d="M5 5h14a1.5 1.5 0 0 1 1.5 1.5v8.5a1.5 1.5 0 0 1-1.5 1.5h-8.5l-4 3.5v-3.5H5a1.5 1.5 0 0 1'
                     f'-1.5-1.5V6.5A1.5 1.5 0 0 1 5 5z"/>'
                     f'<path d="M12 7.3l1.1 2.5 2.5 1.1-2.5 1.1-1.1 2.5-1.1-2.5-2.5-1.1 2.5-1.1z" fill="{c}"/>',
        "program": "".join(f'<rect x="{x}" y="{y}" width="6" height="6" rx="1.5" {s}/>'
                           for y in (4.5, 13.5) for x in (4.5, 13.5)),
        "function": f'<rect x="4" y="5" width="16" height="14" rx="3" {s}/><path {s} d="M10 9v6M10 9h4.5M10 12h3.5"/>',
        "skip_back": skip_glyph(c, s, forward=False),
        "skip_forward": skip_glyph(c, s, forward=True),
    }
    return shapes[name]


def skip_glyph(c, s, forward):
    """A circling arrow round "10": back turns against the clock, forward with it (the arrow mirrored, the
    digits not)."""
    turn = f'<path {s} d="M4.5 10.3A8 8 0 1 0 12 5M14.5 2.5L12 5l2.5 2.5"/>'
    if forward:
        turn = f'<g transform="translate(24 0) scale(-1 1)">{turn}</g>'
    digits = (f'<text x="12" y="16" font-family="DejaVu Sans" font-size="7.5" font-weight="bold"'
              f' text-anchor="middle" fill="{c}">10</text>')
    return turn + digits


def arrow(direction, c):
    s = f'stroke="{c}" {STROKE}'
    if direction == "in":
        return f'<path {s} d="M21 3l-6 6M15 4.5V9h4.5"/>'
    return f'<path {s} d="M15 9l6-6M16.5 3H21v4.5"/>'


def card_mark(c):
    return f'<path d="M15.5 14h4l2 2v6h-6z" fill="{c}"/><path d="M17 15.5v1.6M18.6 15.5v1.6" stroke="{BG}" stroke-width="1"/>'


def badge(content):
    """A row icon: a round badge in the surface colour with the icon inside, on the list's background."""
    return f'<circle cx="16" cy="16" r="15.5" fill="{SURF}"/><g transform="translate(4 4)">{content}</g>'


def pad(size, fill, content, radius=8):
    """A square button face: a rounded pad (or nothing) with a 24-pixel icon centred."""
    face = f'<rect x="0" y="0" width="{size}" height="{size}" rx="{radius}" fill="{fill}"/>' if fill else ""
    o = (size - 24) / 2
    return face + f'<g transform="translate({o} {o})">{content}</g>'


def disc(size, fill, content):
    r = size / 2
    return f'<circle cx="{r}" cy="{r}" r="{r - 0.5}" fill="{fill}"/>' + content


def glyph_record(size):
    r = size / 2
    return f'<circle cx="{r}" cy="{r}" r="{size * 0.17}" fill="{TEXT}"/>'


def glyph_stop(size):
    a = size * 0.3
    return f'<rect x="{(size - a) / 2}" y="{(size - a) / 2}" width="{a}" height="{a}" rx="3" fill="{TEXT}"/>'


def glyph_pause(size, c=TEXT):
    w, h = size * 0.1, size * 0.34
    y = (size - h) / 2
    return (f'<rect x="{size / 2 - w * 1.7}" y="{y}" width="{w}" height="{h}" rx="1.5" fill="{c}"/>'
            f'<rect x="{size / 2 + w * 0.7}" y="{y}" width="{w}" height="{h}" rx="1.5" fill="{c}"/>')


def glyph_play(size, c=TEXT):
    h = size * 0.36
    x = size / 2 - h * 0.36
    y = (size - h) / 2
    return f'<path d="M{x} {y}L{x + h * 0.9} {size / 2}L{x} {y + h}z" fill="{c}" stroke="{c}" stroke-width="2" stroke-linejoin="round"/>'


def default_pictures():
    p = {}
    # Nine-grid faces: 24 x 24 with 8-pixel corners.
    p["card"] = svg(24, 24, rounded(24, 24, RAISED, edge=DIV))
    for name, fill, matte in (("face_raised", RAISED, BG), ("face_red", RED, RAISED),
                              ("face_red_p", RED_P, RAISED), ("face_blue", BLUE, RAISED),
                              ("face_blue_p", BLUE_P, RAISED), ("face_dialog", DIV, RAISED),
                              ("face_dialog_p", "#36424E", RAISED), ("face_surface", SURF, BG),
                              ("face_surface_p", DIV, BG), ("key_face", RAISED, SURF), ("key_face_p", DIV, SURF)):
        p[name] = svg(24, 24, rounded(24, 24, fill), matte)
    p["field"] = svg(24, 24, rounded(24, 24, BG, edge=BLUE), RAISED)

    # Header buttons: 40 x 40 on the bar, a rounded pad while pressed.
    for name in ("menu", "dialpad", "close", "back"):
        p[f"bar_{name}"] = svg(40, 40, pad(40, None, icon(name, TEXT)), SURF)
        p[f"bar_{name}_p"] = svg(40, 40, pad(40, DIV, icon(name, TEXT)), SURF)

    # Round transport buttons on the background.
    p["rec_fab"] = svg(56, 56, disc(56, RED, glyph_record(56)), BG)
    p["rec_fab_p"] = svg(56, 56, disc(56, RED_P, glyph_record(56)), BG)
    p["stop_big"] = svg(64, 64, disc(64, RED, glyph_stop(64)), BG)
    p["stop_big_p"] = svg(64, 64, disc(64, RED_P, glyph_stop(64)), BG)
    p["play_big"] = svg(64, 64, disc(64, BLUE, glyph_play(64)), BG)
    p["play_big_p"] = svg(64, 64, disc(64, BLUE_P, glyph_play(64)), BG)
    p["pause_blue"] = svg(64, 64, disc(64, BLUE, glyph_pause(64)), BG)
    p["pause_blue_p"] = svg(64, 64, disc(64, BLUE_P, glyph_pause(64)), BG)
    p["pause_round"] = svg(52, 52, disc(52, RAISED, glyph_pause(52)), BG)
    p["pause_round_p"] = svg(52, 52, disc(52, DIV, glyph_pause(52)), BG)
    p["resume_round"] = svg(52, 52, disc(52, RAISED, glyph_record(52).replace(TEXT, RED)), BG)
    p["resume_round_p"] = svg(52, 52, disc(52, DIV, glyph_record(52).replace(TEXT, RED)), BG)

    # The speakerphone switch in the recording screen's header (44 x 44 on the background).
    for name, glyph, colour in (("speaker_on", "speaker_on", RED), ("speaker_off", "speaker_off", SEC)):
        p[f"side_{name}"] = svg(44, 44, pad(44, None, icon(glyph, colour)), BG)
        p[f"side_{name}_p"] = svg(44, 44, pad(44, RAISED, icon(glyph, colour)), BG)
    # The recording screen's menu button, on the background as its header is.
    p["side_menu"] = svg(40, 40, pad(40, None, icon("menu", TEXT)), BG)
    p["side_menu_p"] = svg(40, 40, pad(40, RAISED, icon("menu", TEXT)), BG)

    # Ten seconds back and forward beside the position bar (32 x 32 on the background).
    for name in ("skip_back", "skip_forward"):
        p[name] = svg(32, 32, pad(32, None, icon(name, TEXT)), BG)
        p[f"{name}_p"] = svg(32, 32, pad(32, RAISED, icon(name, TEXT)), BG)

    # Small icons, each drawn on the face it sits on.
    p["bolt_on"] = svg(24, 24, icon("bolt", RED), BG)
    p["bolt_off"] = svg(24, 24, icon("bolt", SEC), BG)
    p["pencil"] = svg(24, 24, icon("pencil", SEC), SURF)
    p["volume"] = svg(24, 24, icon("speaker_on", SEC), BG)
    p["level"] = svg(24, 24, "".join(f'<rect x="{3 + i * 4}" y="{12 - h / 2}" width="2" height="{h}" rx="1" fill="{SEC}"/>'
                                      for i, h in enumerate((4, 10, 16, 10, 4))), BG)
    p["check"] = svg(24, 24, icon("check", BLUE), RAISED)
    p["ring"] = svg(24, 24, icon("ring", SEC), RAISED)
    p["check_dim"] = svg(24, 24, icon("check", "#3E5566"), RAISED)
    p["ring_dim"] = svg(24, 24, icon("ring", "#4A545E"), RAISED)
    p["backspace"] = svg(24, 24, icon("backspace", TEXT), RAISED)
    for name in ("help", "minimize", "exit"):
        p[name] = svg(24, 24, icon(name, TEXT), RAISED)

    # Bars: a track and the lit part, nine-grid with round ends.
    p["track"] = svg(12, 10, rounded(12, 10, SURF, radius=5), BG)
    p["meter"] = svg(12, 10, rounded(12, 10, GREEN, radius=5), SURF)
    p["position"] = svg(12, 10, rounded(12, 10, BLUE, radius=5), SURF)
    p["track_thin"] = svg(8, 6, rounded(8, 6, SURF, radius=3), BG)
    p["volume_line"] = svg(8, 6, rounded(8, 6, TEXT, radius=3), SURF)
    p["level_line"] = svg(8, 6, rounded(8, 6, GREEN, radius=3), SURF)

    # Row icons.
    p["row_mic"] = svg(32, 32, badge(icon("mic", TEXT)), BG)
    p["row_in"] = svg(32, 32, badge(icon("handset", TEXT) + arrow("in", GREEN)), BG)
    p["row_out"] = svg(32, 32, badge(icon("handset", TEXT) + arrow("out", BLUE)), BG)
    p["row_card_mic"] = svg(32, 32, badge(icon("mic", TEXT) + card_mark(YELLOW)), BG)
    p["row_card_in"] = svg(32, 32, badge(icon("handset", TEXT) + arrow("in", GREEN) + card_mark(YELLOW)), BG)
    p["row_card_out"] = svg(32, 32, badge(icon("handset", TEXT) + arrow("out", BLUE) + card_mark(YELLOW)), BG)
    p["row_key"] = svg(32, 32, badge(icon("key", TEXT)), RAISED)
    # The device buttons of the quick-record screen, badges like the row's own key picture.
    for name, glyph in (("record", "record"), ("voice", "mic"), ("assistant", "assistant"), ("camera", "camera"),
                        ("program", "program"), ("function", "function"), ("volume", "speaker_on")):
        p[f"row_key_{name}"] = svg(32, 32, badge(icon(glyph, TEXT)), RAISED)
    return p


def splash_pictures():
    # The mark: a red record disc inside a ring, with a short sound wave.
    wave = "".join(f'<rect x="{30 + i * 7}" y="{48 - h / 2}" width="3.5" height="{h}" rx="1.75" fill="{TEXT}"/>'
                   for i, h in enumerate((8, 18, 30, 18, 8)))
    mark = (f'<circle cx="48" cy="48" r="45" fill="none" stroke="{RED}" stroke-width="4"/>'
            f'<circle cx="48" cy="48" r="36" fill="{RED}"/>{wave}')
    return {"mark": svg(96, 96, mark, BG)}


def write(out, name, text):
    with open(os.path.join(out, name + ".svg"), "w", encoding="utf-8") as f:
        f.write(text)


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in ("default", "splash"):
        sys.exit(__doc__)
    out = sys.argv[2]
    os.makedirs(out, exist_ok=True)
    pictures = default_pictures() if sys.argv[1] == "default" else splash_pictures()
    for name, text in pictures.items():
        write(out, name, text)


if __name__ == "__main__":
    main()
