"""Geometry shared by the artwork and the layouts: where the mouse's buttons and LEDs are, where
each on-screen keyboard key sits, where the mousepad's light zones run. One source, so that the
LED spots of a layout always sit on the light strip the picture draws."""

import math

# ---- mouse, top view (front up), canvas 220 x 360 ------------------------------------------------

MOUSE_W, MOUSE_H = 220, 360

MOUSE_BODY = ("M110,14 C70,14 46,40 40,90 C34,140 30,200 34,250 C38,310 70,348 110,348 "
              "C150,348 182,310 186,250 C190,200 186,140 180,90 C174,40 150,14 110,14 Z")

# The eight buttons: (index, image stem, outline path). Index = the button's record in the key layer.
MOUSE_BUTTONS = [
    (0, "left", "M97,17 C70,18 48,40 42,90 C39,115 38,135 38,158 C58,150 78,146 97,145 Z"),
    (1, "wheel", "M101,34 h18 a9,9 0 0 1 9,9 v34 a9,9 0 0 1 -9,9 h-18 a9,9 0 0 1 -9,-9 v-34 "
                 "a9,9 0 0 1 9,-9 Z"),
    (2, "right", "M123,17 C150,18 172,40 178,90 C181,115 182,135 182,158 C162,150 142,146 123,145 Z"),
    (3, "forward", "M35,166 h2 a6,6 0 0 1 6,6 v24 a6,6 0 0 1 -6,6 h-2 a6,6 0 0 1 -6,-6 v-24 "
                   "a6,6 0 0 1 6,-6 Z"),
    (4, "back", "M36,206 h2 a6,6 0 0 1 6,6 v24 a6,6 0 0 1 -6,6 h-2 a6,6 0 0 1 -6,-6 v-24 "
                "a6,6 0 0 1 6,-6 Z"),
    (5, "dpi", "M104,94 h12 a4,4 0 0 1 4,4 v10 a4,4 0 0 1 -4,4 h-12 a4,4 0 0 1 -4,-4 v-10 "
               "a4,4 0 0 1 4,-4 Z"),
    (6, "dpi1", "M104,116 h12 a4,4 0 0 1 4,4 v10 a4,4 0 0 1 -4,4 h-12 a4,4 0 0 1 -4,-4 v-10 "
                "a4,4 0 0 1 4,-4 Z"),
    (7, "dpishift", "M33,116 h3 a5,5 0 0 1 5,5 v18 a5,5 0 0 1 -5,5 h-3 a5,5 0 0 1 -5,-5 v-18 "
                    "a5,5 0 0 1 5,-5 Z"),
]

# Where a leader line from a callout meets each button (canvas coordinates).
MOUSE_BUTTON_ANCHOR = {0: (66, 82), 1: (110, 60), 2: (154, 82), 3: (36, 184), 4: (37, 224),
                       5: (110, 103), 6: (110, 125), 7: (35, 130)}

# Light strip: a horseshoe around the palm, LEDs 0..16 from the front left, round the back, to the
# front right.
STRIP_CX, STRIP_CY, STRIP_RX, STRIP_RY = 110, 236, 58, 100
STRIP_FROM_DEG, STRIP_TO_DEG = 205.0, -25.0
STRIP_LEDS = 17


def strip_point(deg):
    a = math.radians(deg)
    return (STRIP_CX + STRIP_RX * math.cos(a), STRIP_CY + STRIP_RY * math.sin(a))


def strip_led_centres():
    step = (STRIP_TO_DEG - STRIP_FROM_DEG) / (STRIP_LEDS - 1)
    return [strip_point(STRIP_FROM_DEG + i * step) for i in range(STRIP_LEDS)]


def strip_path(samples=64):
    pts = [strip_point(STRIP_FROM_DEG + (STRIP_TO_DEG - STRIP_FROM_DEG) * i / samples)
           for i in range(samples + 1)]
    return "M" + " L".join(f"{x:.1f},{y:.1f}" for x, y in pts)


def mouse_led_rects():
    """Rectangles (x, y, w, h) of the 20 LED spots on the canvas."""
    rects = []
    for (x, y) in strip_led_centres():
        rects.append((round(x) - 7, round(y) - 7, 14, 14))
    rects.append((181, 172, 9, 56))   # 17: side LED on the right flank
    rects.append((104, 136, 12, 12))  # 18: DPI indicator below the DPI buttons
    rects.append((94, 244, 32, 32))   # 19: logo, behind the emblem
    return rects


# ---- keyboard, 6 rows of 21 buttons, physical full-size layout ------------------------------------

KEY_U = 30          # one key unit in pixels
KEY_GAP = 3         # gap between caps
BOARD_MARGIN = 12   # case border around the keys


def _row(y, keys):
    return [(b, x, y, w, h, legend) for (b, x, w, h, legend) in keys]


def keyboard_keys():
    """Every visible on-screen key: (button, x_units, y_units, w_units, h_units, legend).

    Buttons not listed are the grid's gaps, the ISO key (102) and the right Win key (125), which
    this board has no place for; the layouts keep them hidden."""
    keys = []
    r0 = [(0, 0, 1, 1, "Esc")]
    fx = [1, 2, 3, 4]
    r0 += [(b, 2 + (b - 1), 1, 1, f"F{b}") for b in fx]
    r0 += [(b, 6.5 + (b - 5), 1, 1, f"F{b}") for b in range(5, 9)]
    r0 += [(b, 11 + (b - 9), 1, 1, f"F{b}") for b in range(9, 13)]
    r0 += [(13, 15.25, 1, 1, "PrtSc"), (14, 16.25, 1, 1, "ScrLk"), (15, 17.25, 1, 1, "Pause")]
    keys += _row(0, r0)

    y = 1.25
    legends = ["`", "1", "2", "3", "4", "5", "6", "7", "8", "9", "0", "-", "="]
    r1 = [(21 + i, i, 1, 1, legends[i]) for i in range(13)]
    r1 += [(34, 13, 2, 1, "Backspace")]
    r1 += [(35, 15.25, 1, 1, "Ins"), (36, 16.25, 1, 1, "Home"), (37, 17.25, 1, 1, "PgUp")]
    r1 += [(38, 18.5, 1, 1, "Num"), (39, 19.5, 1, 1, "/"), (40, 20.5, 1, 1, "*"),
           (41, 21.5, 1, 1, "-")]
    keys += _row(y, r1)

    y += 1
    r2 = [(42, 0, 1.5, 1, "Tab")]
    for i, ch in enumerate("QWERTYUIOP[]"):
        r2.append((43 + i, 1.5 + i, 1, 1, ch))
    r2 += [(55, 13.5, 1.5, 1, "\\")]
    r2 += [(56, 15.25, 1, 1, "Del"), (57, 16.25, 1, 1, "End"), (58, 17.25, 1, 1, "PgDn")]
    r2 += [(59, 18.5, 1, 1, "7"), (60, 19.5, 1, 1, "8"), (61, 20.5, 1, 1, "9")]
    keys += _row(y, r2)

    y += 1
    r3 = [(63, 0, 1.75, 1, "Caps")]
    for i, ch in enumerate("ASDFGHJKL;'"):
        r3.append((64 + i, 1.75 + i, 1, 1, ch))
    r3 += [(75, 12.75, 2.25, 1, "Enter")]
    r3 += [(76, 18.5, 1, 1, "4"), (77, 19.5, 1, 1, "5"), (78, 20.5, 1, 1, "6")]
    keys += _row(y, r3)

    y += 1
    r4 = [(84, 0, 2.25, 1, "Shift")]
    for i, ch in enumerate("ZXCVBNM,./"):
        r4.append((85 + i, 2.25 + i, 1, 1, ch))
    r4 += [(95, 12.25, 2.75, 1, "Shift"), (96, 16.25, 1, 1, "\u2191")]
    r4 += [(97, 18.5, 1, 1, "1"), (98, 19.5, 1, 1, "2"), (99, 20.5, 1, 1, "3")]
    keys += _row(y, r4)

    y += 1
    r5 = [(105, 0, 1.25, 1, "Ctrl"), (106, 1.25, 1.25, 1, "Win"), (107, 2.5, 1.25, 1, "Alt"),
          (108, 3.75, 6.25, 1, ""), (109, 10, 1.25, 1, "Alt"), (110, 11.25, 1.25, 1, "Fn"),
          (111, 12.5, 1.25, 1, "Menu"), (112, 13.75, 1.25, 1, "Ctrl"),
          (113, 15.25, 1, 1, "\u2190"), (114, 16.25, 1, 1, "\u2193"), (115, 17.25, 1, 1, "\u2192"),
          (116, 18.5, 2, 1, "0"), (117, 20.5, 1, 1, ".")]
    keys += _row(y, r5)
    # Tall keypad keys: Enter (row 5, column 13) spans the last two rows, + (row 5, column 14)
    # spans rows 2 and 3.
    keys.append((118, 21.5, 4.25, 1, 2, "Enter"))
    keys.append((119, 21.5, 2.25, 1, 2, "+"))
    return keys


KEYBOARD_W_UNITS = 22.5
KEYBOARD_H_UNITS = 6.25


def key_rect(x, y, w, h):
    """Pixel rectangle of a key cap on the board (board origin at the case's corner)."""
    px = BOARD_MARGIN + round(x * KEY_U)
    py = BOARD_MARGIN + round(y * KEY_U)
    return (px, py, round(w * KEY_U) - KEY_GAP, round(h * KEY_U) - KEY_GAP)


def board_size():
    return (BOARD_MARGIN * 2 + round(KEYBOARD_W_UNITS * KEY_U) - KEY_GAP,
            BOARD_MARGIN * 2 + round(KEYBOARD_H_UNITS * KEY_U) - KEY_GAP)


# ---- mousepad, top view, canvas 400 x 250: 15 zones in a U open towards the user ---------------------

PAD_W, PAD_H = 350, 220
PAD_RECT = (8, 8, 334, 204, 18)


def pad_zone_rects():
    """Zones 0-2 up the left edge (bottom to top), 3-11 along the far edge (left to right),
    12-14 down the right edge (top to bottom)."""
    rects = []
    thick = 8
    left_x, right_x = 16, PAD_W - 16 - thick
    top_y = 16
    side_from, side_to = 42, PAD_H - 22  # y range of the side zones
    n_side = 3
    seg = (side_to - side_from) / n_side
    for i in range(n_side):  # bottom to top
        y1 = side_to - (i + 1) * seg + 3
        rects.append((left_x, round(y1), thick, round(seg - 6)))
    top_from, top_to = 42, PAD_W - 42
    n_top = 9
    seg_t = (top_to - top_from) / n_top
    for i in range(n_top):
        x1 = top_from + i * seg_t + 3
        rects.append((round(x1), top_y, round(seg_t - 6), thick))
    for i in range(n_side):  # top to bottom
        y1 = side_from + i * seg + 3
        rects.append((right_x, round(y1), thick, round(seg - 6)))
    return rects


# ---- key page: the mouse picture with a callout button for each of its buttons -------------------

KEYPAGE_W, KEYPAGE_H = 480, 390
KEYPAGE_MOUSE_AT = (130, 15)
CALLOUT_W, CALLOUT_CAPTION_H, CALLOUT_BUTTON_H = 118, 16, 30
# (button index, side, top y of the callout)
CALLOUTS = [(0, "left", 36), (7, "left", 116), (3, "left", 196), (4, "left", 276),
            (2, "right", 36), (1, "right", 116), (5, "right", 196), (6, "right", 276)]


def callout_rects(side, y):
    x = 0 if side == "left" else KEYPAGE_W - CALLOUT_W
    caption = (x, y, CALLOUT_W, CALLOUT_CAPTION_H)
    btn = (x, y + CALLOUT_CAPTION_H + 2, CALLOUT_W, CALLOUT_BUTTON_H)
    return caption, btn


def callout_leader(index, side, y):
    """Polyline from the callout button's inner edge to the button's anchor on the picture."""
    _, (bx, by, bw, bh) = callout_rects(side, y)
    sx = bx + bw + 4 if side == "left" else bx - 4
    sy = by + bh / 2
    ax, ay = MOUSE_BUTTON_ANCHOR[index]
    ax += KEYPAGE_MOUSE_AT[0]
    ay += KEYPAGE_MOUSE_AT[1]
    ex = sx + 14 if side == "left" else sx - 14
    return [(sx, sy), (ex, sy), (ax, ay)]
