#!/usr/bin/env python3
"""Writes the skin's artwork (SVG) into skin/images/.

    tools/skin/gen_art.py [SKIN_DIR]

The drawings are built from the shared geometry in skingeom.py, so the pictures and the layouts
agree on where every button, LED and zone is. The build renders each SVG to a PNG of the same name
beside it in the program's skin folder (tools/skin_render), which gives the image names the program
uses ("ms/key_left_normal.png", "common/background.png" ...).
"""

import math
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import skingeom as g  # noqa: E402

BG = "#111318"
PANEL = "#1a1d24"
LINE = "#2c313b"
TEXT = "#dde2ea"
MUTED = "#8b94a5"
ACCENT = "#19b4e8"
ACCENT_DEEP = "#0199cb"
ICON = "#cfd6e0"
DANGER = "#e8555a"

OUT = {}


def svg(w, h, body, defs=""):
    d = f"<defs>{defs}</defs>" if defs else ""
    return (f'<svg xmlns="http://www.w3.org/2000/svg" width="{w}" height="{h}" '
            f'viewBox="0 0 {w} {h}">{d}{body}</svg>\n')


def put(name, content):
    OUT[name] = content


# ---- mouse -----------------------------------------------------------------------------------

MOUSE_DEFS = (
    '<linearGradient id="shell" x1="0" y1="0" x2="0" y2="1">'
    '<stop offset="0" stop-color="#3b404b"/><stop offset="0.55" stop-color="#262a32"/>'
    '<stop offset="1" stop-color="#17191e"/></linearGradient>'
    '<radialGradient id="sheen" cx="0.38" cy="0.28" r="0.55">'
    '<stop offset="0" stop-color="#ffffff" stop-opacity="0.13"/>'
    '<stop offset="1" stop-color="#ffffff" stop-opacity="0"/></radialGradient>'
    '<linearGradient id="btn" x1="0" y1="0" x2="0" y2="1">'
    '<stop offset="0" stop-color="#434955"/><stop offset="1" stop-color="#2a2e36"/>'
    '</linearGradient>'
    '<linearGradient id="wheel" x1="0" y1="0" x2="1" y2="0">'
    '<stop offset="0" stop-color="#1b1d22"/><stop offset="0.5" stop-color="#5a606c"/>'
    '<stop offset="1" stop-color="#1b1d22"/></linearGradient>'
)


def emblem(cx, cy, scale, colour, opacity=1.0):
    """The product's quill emblem: a slanted feather with its split."""
    s = scale
    return (f'<g transform="translate({cx},{cy}) scale({s}) rotate(-35)" opacity="{opacity}">'
            f'<path d="M0,-16 C7,-9 8,4 0,16 C-8,4 -7,-9 0,-16 Z" fill="{colour}"/>'
            f'<path d="M0,-12 L0,18" stroke="{BG}" stroke-width="1.6" stroke-linecap="round"/>'
            f'</g>')


def mouse_picture(with_strip):
    parts = [f'<path d="{g.MOUSE_BODY}" fill="url(#shell)" stroke="#4b515d" stroke-width="1.5"/>']
    for _, stem, path in g.MOUSE_BUTTONS:
        if stem == "wheel":
            parts.append('<rect x="96" y="30" width="28" height="60" rx="13" fill="#0d0f12"/>')
            parts.append(f'<path d="{path}" fill="url(#wheel)"/>')
            for k in range(9):
                yy = 38 + k * 5.5
                parts.append(f'<line x1="103" y1="{yy:.1f}" x2="117" y2="{yy:.1f}" '
                             f'stroke="#16181c" stroke-width="1.4"/>')
        elif stem in ("left", "right"):
            parts.append(f'<path d="{path}" fill="url(#btn)" stroke="#121419" '
                         f'stroke-width="2"/>')
        else:
            parts.append(f'<path d="{path}" fill="#2f343d" stroke="#121419" stroke-width="1.5"/>')
    if with_strip:
        parts.append(f'<path d="{g.strip_path()}" fill="none" stroke="#0b0c0f" '
                     f'stroke-width="16" stroke-linecap="round"/>')
        parts.append(f'<path d="{g.strip_path()}" fill="none" stroke="#2b3038" '
                     f'stroke-width="10" stroke-linecap="round"/>')
        x, y, w, h = g.mouse_led_rects()[17]
        parts.append(f'<rect x="{x - 2}" y="{y - 2}" width="{w + 4}" height="{h + 4}" rx="6" '
                     f'fill="#0b0c0f"/>')
        x, y, w, h = g.mouse_led_rects()[18]
        parts.append(f'<circle cx="{x + w / 2}" cy="{y + h / 2}" r="{w / 2 + 2}" fill="#0b0c0f"/>')
    parts.append(f'<path d="{g.MOUSE_BODY}" fill="url(#sheen)"/>')
    parts.append(emblem(110, 260, 0.9, "#4a505c"))
    return svg(g.MOUSE_W, g.MOUSE_H, "".join(parts), MOUSE_DEFS)


def mouse_button_overlays():
    for _, stem, path in g.MOUSE_BUTTONS:
        normal = f'<path d="{path}" fill="none" stroke="#ffffff" stroke-opacity="0.10" ' \
                 f'stroke-width="1.2"/>'
        put(f"ms/key_{stem}_normal.svg", svg(g.MOUSE_W, g.MOUSE_H, normal))
        # A soft halo from wide translucent strokes, then the lit button itself.
        halo = "".join(f'<path d="{path}" fill="none" stroke="{ACCENT}" stroke-opacity="{op}" '
                       f'stroke-width="{wd}" stroke-linejoin="round"/>'
                       for wd, op in ((10, 0.08), (6, 0.14), (3, 0.3)))
        down = halo + (f'<path d="{path}" fill="{ACCENT}" fill-opacity="0.4" stroke="{ACCENT}" '
                       f'stroke-width="1.6"/>')
        put(f"ms/key_{stem}_down.svg", svg(g.MOUSE_W, g.MOUSE_H, down))


def key_leaders():
    parts = []
    for index, side, y in g.CALLOUTS:
        pts = g.callout_leader(index, side, y)
        d = "M" + " L".join(f"{x:.1f},{yy:.1f}" for x, yy in pts)
        parts.append(f'<path d="{d}" fill="none" stroke="{MUTED}" stroke-opacity="0.55" '
                     f'stroke-width="1"/>')
        ax, ay = pts[-1]
        parts.append(f'<circle cx="{ax:.1f}" cy="{ay:.1f}" r="3" fill="{ACCENT}"/>')
        parts.append(f'<circle cx="{ax:.1f}" cy="{ay:.1f}" r="6" fill="none" stroke="{ACCENT}" '
                     f'stroke-opacity="0.35"/>')
    put("ms/key_leaders.svg", svg(g.KEYPAGE_W, g.KEYPAGE_H, "".join(parts)))


def recoil_target():
    w, h = 150, 150
    c = 75
    parts = [f'<circle cx="{c}" cy="{c}" r="70" fill="#15181d" stroke="{LINE}" stroke-width="2"/>']
    for r in (52, 34, 16):
        parts.append(f'<circle cx="{c}" cy="{c}" r="{r}" fill="none" stroke="{LINE}" '
                     f'stroke-width="1.2"/>')
    parts.append(f'<path d="M{c},5 V145 M5,{c} H145" stroke="{LINE}" stroke-width="1"/>')
    # A typical spray: climbs, then drifts left and right.
    x, y = c, c + 6
    pts = []
    for i in range(30):
        pts.append((x, y))
        y -= 3.9 if i < 12 else 1.2
        x += (math.sin(i * 0.55) * 3.0) if i >= 8 else 0.3
    d = "M" + " L".join(f"{px:.1f},{py:.1f}" for px, py in pts)
    parts.append(f'<path d="{d}" fill="none" stroke="{ACCENT}" stroke-opacity="0.4" '
                 f'stroke-width="1.2"/>')
    for i, (px, py) in enumerate(pts):
        op = 0.35 + 0.65 * (i / 29)
        parts.append(f'<circle cx="{px:.1f}" cy="{py:.1f}" r="2.6" fill="{ACCENT}" '
                     f'fill-opacity="{op:.2f}"/>')
    parts.append(f'<circle cx="{c}" cy="{c}" r="4" fill="none" stroke="{DANGER}" '
                 f'stroke-width="1.6"/>')
    size = 120
    put("ms/recoil_target.svg", svg(size, size, f'<g transform="scale({size / w})">' +
                                    "".join(parts) + "</g>"))


# ---- keyboard --------------------------------------------------------------------------------

def keyboard_case():
    w, h = g.board_size()
    defs = ('<linearGradient id="case" x1="0" y1="0" x2="0" y2="1">'
            '<stop offset="0" stop-color="#2a2e36"/><stop offset="1" stop-color="#17191e"/>'
            '</linearGradient>')
    body = (f'<rect x="1" y="1" width="{w - 2}" height="{h - 2}" rx="12" fill="url(#case)" '
            f'stroke="#3b404a" stroke-width="1.5"/>'
            f'<rect x="7" y="7" width="{w - 14}" height="{h - 14}" rx="7" fill="#0e1013"/>')
    put("kb/keyboard_case.svg", svg(w, h, body, defs))


def key_overlays():
    # Light overlay: a soft white glow; the key button tints it with the LED colour.
    defs = ('<radialGradient id="l" cx="0.5" cy="0.5" r="0.6">'
            '<stop offset="0" stop-color="#ffffff" stop-opacity="0.95"/>'
            '<stop offset="0.7" stop-color="#ffffff" stop-opacity="0.45"/>'
            '<stop offset="1" stop-color="#ffffff" stop-opacity="0.15"/></radialGradient>')
    put("kb/key_light.svg", svg(32, 32, '<rect x="0" y="0" width="32" height="32" rx="5" '
                                        'fill="url(#l)"/>', defs))
    # Key-set marker: a small accent corner with a dot, drawn over a reassigned key.
    put("kb/key_set.svg", svg(32, 32, f'<path d="M20,0 H27 A5,5 0 0 1 32,5 V12 Z" '
                                      f'fill="{ACCENT}"/>'))


# ---- mousepad --------------------------------------------------------------------------------

def mousepad():
    x, y, w, h, r = g.PAD_RECT
    defs = ('<linearGradient id="pad" x1="0" y1="0" x2="1" y2="1">'
            '<stop offset="0" stop-color="#23262d"/><stop offset="1" stop-color="#16181d"/>'
            '</linearGradient>'
            '<radialGradient id="padsheen" cx="0.3" cy="0.2" r="0.8">'
            '<stop offset="0" stop-color="#ffffff" stop-opacity="0.06"/>'
            '<stop offset="1" stop-color="#ffffff" stop-opacity="0"/></radialGradient>')
    parts = [f'<rect x="{x}" y="{y}" width="{w}" height="{h}" rx="{r}" fill="url(#pad)" '
             f'stroke="#3b404a" stroke-width="1.5"/>',
             f'<rect x="{x}" y="{y}" width="{w}" height="{h}" rx="{r}" fill="url(#padsheen)"/>']
    # The light channel: a U along the left, far and right edges.
    lx = 20
    rx_ = g.PAD_W - 20
    ty = 20
    by = g.PAD_H - 22
    d = (f"M{lx},{by} V{ty + 18} A18,18 0 0 1 {lx + 18},{ty} H{rx_ - 18} "
         f"A18,18 0 0 1 {rx_},{ty + 18} V{by}")
    parts.append(f'<path d="{d}" fill="none" stroke="#0b0c0f" stroke-width="14" '
                 f'stroke-linecap="round"/>')
    parts.append(f'<path d="{d}" fill="none" stroke="#262a31" stroke-width="8" '
                 f'stroke-linecap="round"/>')
    parts.append(emblem(g.PAD_W / 2, g.PAD_H - 44, 1.1, "#3a3f49"))
    put("mp/mousepad.svg", svg(g.PAD_W, g.PAD_H, "".join(parts), defs))


# ---- logo and tray ---------------------------------------------------------------------------------

def logo():
    defs = ('<linearGradient id="badge" x1="0" y1="0" x2="1" y2="1">'
            f'<stop offset="0" stop-color="{ACCENT}"/><stop offset="1" stop-color="#1560c9"/>'
            '</linearGradient>')
    for name, size in (("common/logo.svg", 64), ("common/tray.svg", 32), ("common/icon.svg", 256)):
        s = size / 64.0
        body = (f'<g transform="scale({s})"><rect x="2" y="2" width="60" height="60" rx="16" '
                f'fill="url(#badge)"/>'
                f'<g transform="translate(33,31) rotate(-35)">'
                f'<path d="M0,-22 C10,-12 11,5 0,22 C-11,5 -10,-12 0,-22 Z" fill="#ffffff"/>'
                f'<path d="M0,-16 L0,27" stroke="#1560c9" stroke-width="2.4" '
                f'stroke-linecap="round"/></g></g>')
        put(name, svg(size, size, body, defs))


# ---- icons (20 x 20 line icons) ---------------------------------------------------------------------

def icon(name, body, colour=ICON, size=20):
    put(f"icons/{name}.svg",
        svg(size, size, f'<g fill="none" stroke="{colour}" stroke-width="1.7" '
                        f'stroke-linecap="round" stroke-linejoin="round">{body}</g>'))


def icons():
    icon("add", '<path d="M10,4 V16 M4,10 H16"/>')
    icon("remove", '<path d="M4,10 H16"/>')
    icon("copy", '<rect x="7" y="7" width="9" height="9" rx="2"/><path d="M13,4 H6 a2,2 0 0 0 '
                 '-2,2 V13"/>')
    icon("import", '<path d="M10,3 V12 M6,8.5 L10,12.5 L14,8.5 M4,14 V16 H16 V14"/>')
    icon("export", '<path d="M10,13 V4 M6,7.5 L10,3.5 L14,7.5 M4,14 V16 H16 V14"/>')
    icon("reset", '<path d="M4.5,8 A6,6 0 1 1 5,13"/><path d="M4,4 V8 H8"/>')
    icon("edit", '<path d="M4,16 L5,12 L13,4 L16,7 L8,15 Z M11.5,5.5 L14.5,8.5"/>')
    icon("save", '<path d="M4,4 H13 L16,7 V16 H4 Z M7,4 V8 H12 V4 M7,16 V12 H13 V16"/>')
    icon("check", '<path d="M4,10.5 L8,14.5 L16,5.5"/>')
    icon("up", '<path d="M10,15 V5 M5.5,9.5 L10,5 L14.5,9.5"/>')
    icon("down", '<path d="M10,5 V15 M5.5,10.5 L10,15 L14.5,10.5"/>')
    icon("top", '<path d="M5,4 H15 M10,16 V8 M6,12 L10,8 L14,12"/>')
    icon("bottom", '<path d="M5,16 H15 M10,4 V12 M6,8 L10,12 L14,8"/>')
    icon("delete", '<path d="M5,6 H15 M8,6 V4 H12 V6 M6.5,6 L7.5,16 H12.5 L13.5,6"/>')
    icon("clear", '<path d="M5,5 L15,15 M15,5 L5,15"/>')
    icon("link", '<path d="M8.5,11.5 L11.5,8.5 M9,6 L10.5,4.5 a3,3 0 0 1 4.5,4.5 L13.5,10.5 '
                 'M11,14 L9.5,15.5 a3,3 0 0 1 -4.5,-4.5 L6.5,9.5"/>')
    icon("unlink", '<path d="M9,6 L10.5,4.5 a3,3 0 0 1 4.5,4.5 L13.5,10.5 M11,14 L9.5,15.5 '
                   'a3,3 0 0 1 -4.5,-4.5 L6.5,9.5 M4,4 L16,16"/>')
    icon("sync", '<path d="M15,8 A5.5,5.5 0 0 0 5,7 M5,12 A5.5,5.5 0 0 0 15,13"/>'
                 '<path d="M15,4 V8 H11 M5,16 V12 H9"/>')
    icon("left", '<path d="M12.5,4.5 L7,10 L12.5,15.5"/>')
    icon("right", '<path d="M7.5,4.5 L13,10 L7.5,15.5"/>')
    icon("close", '<path d="M5.5,5.5 L14.5,14.5 M14.5,5.5 L5.5,14.5"/>')
    icon("minimize", '<path d="M5,14 H15"/>')
    icon("maximize", '<rect x="5" y="5" width="10" height="10" rx="1.5"/>')
    icon("restore", '<rect x="5" y="7.5" width="8" height="8" rx="1.5"/><path d="M8,5 H15 V12"/>')
    icon("skin", '<path d="M10,3.5 a6.5,6.5 0 1 0 0,13 c1.5,0 1.8,-1.3 1.2,-2.3 '
                 'c-0.7,-1.2 0.2,-2.4 1.5,-2.4 H14.5 a2,2 0 0 0 2,-2 A6.5,6.5 0 0 0 10,3.5 Z"/>'
                 '<circle cx="6.8" cy="9" r="0.9"/><circle cx="9.5" cy="6.5" r="0.9"/>'
                 '<circle cx="13" cy="7.5" r="0.9"/>')
    icon("record", f'<circle cx="10" cy="10" r="6.5"/><circle cx="10" cy="10" r="3.2" '
                   f'fill="{DANGER}" stroke="none"/>')
    icon("profile", '<path d="M4,5 H16 M4,10 H16 M4,15 H11"/>')
    icon("plus", '<path d="M10,5 V15 M5,10 H15"/>')
    icon("minus", '<path d="M5,10 H15"/>')
    icon("press", f'<path d="M5,7 H15 L10,14 Z" fill="{ACCENT}" stroke="none"/>')
    icon("release", '<path d="M5,13 H15 L10,6 Z" fill="#f2a93b" stroke="none"/>')
    icon("chevron_down", '<path d="M5.5,8 L10,12.5 L14.5,8"/>')
    # Page tab icons.
    icon("light", '<circle cx="10" cy="9" r="4.5"/><path d="M8,15.5 H12 M10,2 V3 M3,9 H4 '
                  'M16,9 H17 M5,4 L5.7,4.7 M15,4 L14.3,4.7"/>')
    icon("macro", '<rect x="3.5" y="4" width="13" height="12" rx="2"/><path d="M6.5,8 H13.5 '
                  'M6.5,12 H11"/>')
    icon("keys", '<path d="M10,3 C6.5,3 5,5.5 5,9 V12 C5,15 7,17 10,17 C13,17 15,15 15,12 V9 '
                 'C15,5.5 13.5,3 10,3 Z M10,3 V8.5 M5,8.5 H15"/>')
    icon("dpi", '<path d="M3,14 A7,7 0 0 1 17,14"/><path d="M10,14 L13.5,8.5"/>'
                '<circle cx="10" cy="14" r="1.2"/>')
    icon("cursor", '<circle cx="10" cy="10" r="6"/><path d="M10,2.5 V6 M10,14 V17.5 M2.5,10 '
                   'H6 M14,10 H17.5"/>')
    icon("mouse", '<path d="M10,2.5 C6.5,2.5 5,5 5,8.5 V12 C5,15.5 7,17.5 10,17.5 '
                  'C13,17.5 15,15.5 15,12 V8.5 C15,5 13.5,2.5 10,2.5 Z M10,2.5 V7"/>')
    icon("keyboard", '<rect x="2.5" y="5.5" width="15" height="9" rx="1.8"/><path d="M5.5,8.5 '
                     'H6 M8.5,8.5 H9 M11.5,8.5 H12 M14.5,8.5 H15 M7,11.5 H13"/>')
    icon("mousepad", '<rect x="2.5" y="4.5" width="15" height="11" rx="2.5"/>'
                     '<path d="M5,7 V13 M5,7 H15 V13"/>')
    icon("info", '<circle cx="10" cy="10" r="7"/><path d="M10,9 V14 M10,6.2 V6.4"/>')
    # Check box and slider parts for the style sheet.
    put("common/check_off.svg", svg(16, 16, f'<rect x="1" y="1" width="14" height="14" rx="4" '
                                            f'fill="#101216" stroke="#4a505c" '
                                            f'stroke-width="1.4"/>'))
    put("common/check_on.svg", svg(16, 16, f'<rect x="0.5" y="0.5" width="15" height="15" rx="4" '
                                           f'fill="{ACCENT_DEEP}"/><path d="M4,8.3 L7,11 L12,5" '
                                           f'fill="none" stroke="#ffffff" stroke-width="1.9" '
                                           f'stroke-linecap="round" stroke-linejoin="round"/>'))
    put("common/check_disabled.svg", svg(16, 16, '<rect x="1" y="1" width="14" height="14" rx="4" '
                                                 'fill="#15171b" stroke="#2f333b" '
                                                 'stroke-width="1.4"/>'))
    put("common/combo_arrow.svg", svg(12, 12, f'<path d="M2.5,4.5 L6,8 L9.5,4.5" fill="none" '
                                              f'stroke="{MUTED}" stroke-width="1.6" '
                                              f'stroke-linecap="round" stroke-linejoin="round"/>'))
    # Up-to-top button of the macro editor: usable and unusable states.
    put("common/up_top_over.svg", svg(20, 20, f'<g fill="none" stroke="{ICON}" stroke-width="1.7" '
                                              f'stroke-linecap="round" stroke-linejoin="round">'
                                              f'<path d="M5,4 H15 M10,16 V8 M6,12 L10,8 L14,12"/>'
                                              f'</g>'))
    put("common/unuse.svg", svg(20, 20, '<g fill="none" stroke="#4a505c" stroke-width="1.7" '
                                        'stroke-linecap="round" stroke-linejoin="round">'
                                        '<path d="M5,4 H15 M10,16 V8 M6,12 L10,8 L14,12"/></g>'))


def main():
    skin = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "..", "skin")
    images = os.path.join(skin, "images")
    mouse_button_overlays()
    put("ms/mouse_light.svg", mouse_picture(True))
    put("ms/mouse_body.svg", mouse_picture(False))
    key_leaders()
    recoil_target()
    keyboard_case()
    key_overlays()
    mousepad()
    logo()
    icons()
    for name, content in sorted(OUT.items()):
        path = os.path.join(images, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w", encoding="utf-8") as f:
            f.write(content)
    print(f"{len(OUT)} images written to {images}")


if __name__ == "__main__":
    main()
