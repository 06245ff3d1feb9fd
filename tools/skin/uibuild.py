"""Small builder for Qt Designer (.ui, version 4.0) layout files.

The skin's page layouts are plain Designer XML so that a skin author can open and change them in
Designer. The repeating parts (126 keyboard keys, 30 bullets, 20 mouse LEDs ...) are tedious to keep
by hand, so the layouts are written by gen_layouts.py with the helpers below, and the output is
committed.

A widget is W(cls, name, ...); a layout is V(...), H(...), G(...) or F(...); Sp() is a spacer.
"""

from xml.sax.saxutils import escape

# Custom classes the program registers with its layout loader, and the Qt class each extends.
CUSTOM_BASES = {
    "ColorPalette": "QWidget",
    "CLedPreviewUI": "QWidget",
    "CDeviceKeyButtonUI": "QPushButton",
    "CCircleProgressUI": "QProgressBar",
    "CChartViewUI": "QWidget",
    "CWndUI": "QWidget",
}


class W:
    """A widget. props: {name: value}; a key starting with '*' is a dynamic property."""

    def __init__(self, cls, name, props=None, layout=None, children=None, geom=None, items=None,
                 columns=None, pages=None, attrs=None):
        self.cls = cls
        self.name = name
        self.props = dict(props or {})
        self.layout = layout
        self.children = list(children or [])
        self.geom = geom
        self.items = items  # combo / list items: list of text or (text, icon)
        self.columns = columns  # tree widget header texts
        self.pages = pages  # stacked widget pages (list of W)
        self.attrs = attrs  # <attribute> entries (unused by most widgets)


class Layout:
    def __init__(self, kind, items, margins=None, spacing=None, props=None):
        self.kind = kind
        self.items = items
        self.margins = margins
        self.spacing = spacing
        self.props = dict(props or {})


def V(*items, margins=0, spacing=None, **props):
    return Layout("QVBoxLayout", list(items), margins, spacing, props)


def H(*items, margins=0, spacing=None, **props):
    return Layout("QHBoxLayout", list(items), margins, spacing, props)


def G(items, margins=0, spacing=None, hspacing=None, vspacing=None, **props):
    """items: list of (node, row, column[, rowspan, colspan])."""
    lay = Layout("QGridLayout", list(items), margins, spacing, props)
    if hspacing is not None:
        lay.props["horizontalSpacing"] = hspacing
    if vspacing is not None:
        lay.props["verticalSpacing"] = vspacing
    return lay


class Sp:
    def __init__(self, horizontal=True, w=0, h=0, fixed=False):
        self.horizontal = horizontal
        self.w = w
        self.h = h
        self.fixed = fixed


def HSp(w=0, fixed=False):
    return Sp(True, w, 0, fixed)


def VSp(h=0, fixed=False):
    return Sp(False, 0, h, fixed)


class Writer:
    def __init__(self, prefix):
        self.prefix = prefix
        self.lines = []
        self.counter = 0
        self.customs = set()
        self.names = set()

    def auto(self, what):
        self.counter += 1
        return f"{self.prefix}_{what}{self.counter}"

    def emit(self, depth, text):
        self.lines.append(" " * depth + text)

    def value(self, v):
        if isinstance(v, bool):
            return f"<bool>{'true' if v else 'false'}</bool>"
        if isinstance(v, int):
            return f"<number>{v}</number>"
        if isinstance(v, float):
            return f"<double>{v}</double>"
        if isinstance(v, str):
            return f"<string>{escape(v)}</string>"
        kind = v[0]
        if kind == "size":
            return f"<size><width>{v[1]}</width><height>{v[2]}</height></size>"
        if kind == "rect":
            return (f"<rect><x>{v[1]}</x><y>{v[2]}</y><width>{v[3]}</width>"
                    f"<height>{v[4]}</height></rect>")
        if kind == "enum":
            return f"<enum>{v[1]}</enum>"
        if kind == "set":
            return f"<set>{v[1]}</set>"
        if kind == "pixmap":
            return f"<pixmap>{escape(v[1])}</pixmap>"
        if kind == "icon":
            return f"<iconset><normaloff>{escape(v[1])}</normaloff></iconset>"
        if kind == "policy":
            return (f'<sizepolicy hsizetype="{v[1]}" vsizetype="{v[2]}">'
                    f"<horstretch>0</horstretch><verstretch>0</verstretch></sizepolicy>")
        if kind == "cursor":
            return f"<cursorShape>{v[1]}</cursorShape>"
        raise ValueError(f"unknown property value {v!r}")

    def prop(self, depth, name, v):
        stdset = ""
        if name.startswith("*"):
            name = name[1:]
            stdset = ' stdset="0"'
        self.emit(depth, f'<property name="{name}"{stdset}>{self.value(v)}</property>')

    def widget(self, depth, w):
        if w.name in self.names:
            raise ValueError(f"duplicate widget name {w.name}")
        self.names.add(w.name)
        if w.cls in CUSTOM_BASES:
            self.customs.add(w.cls)
        self.emit(depth, f'<widget class="{w.cls}" name="{w.name}">')
        if w.geom is not None:
            self.prop(depth + 1, "geometry", ("rect",) + tuple(w.geom))
        for k, v in w.props.items():
            self.prop(depth + 1, k, v)
        for k, v in (w.attrs or {}).items():
            self.emit(depth + 1, f'<attribute name="{k}">{self.value(v)}</attribute>')
        if w.columns:
            for text in w.columns:
                self.emit(depth + 1, "<column>")
                self.prop(depth + 2, "text", text)
                self.emit(depth + 1, "</column>")
        if w.items:
            for it in w.items:
                text, icon = (it, None) if isinstance(it, str) else it
                self.emit(depth + 1, "<item>")
                self.prop(depth + 2, "text", text)
                if icon:
                    self.prop(depth + 2, "icon", ("icon", icon))
                self.emit(depth + 1, "</item>")
        if w.layout is not None:
            self.layout(depth + 1, w.layout)
        for c in w.children:
            self.widget(depth + 1, c)
        if w.pages:
            for p in w.pages:
                self.widget(depth + 1, p)
        self.emit(depth, "</widget>")

    def spacer(self, depth, s):
        name = self.auto("spacer")
        orient = "Qt::Horizontal" if s.horizontal else "Qt::Vertical"
        self.emit(depth, f'<spacer name="{name}">')
        self.prop(depth + 1, "orientation", ("enum", orient))
        if s.fixed:
            self.prop(depth + 1, "*sizeType", ("enum", "QSizePolicy::Fixed"))
        self.prop(depth + 1, "*sizeHint", ("size", s.w, s.h))
        self.emit(depth, "</spacer>")

    def layout(self, depth, lay):
        name = self.auto("layout")
        self.emit(depth, f'<layout class="{lay.kind}" name="{name}">')
        if lay.spacing is not None:
            self.prop(depth + 1, "spacing", lay.spacing)
        m = lay.margins
        if isinstance(m, int):
            m = (m, m, m, m)
        for side, v in zip(("leftMargin", "topMargin", "rightMargin", "bottomMargin"), m):
            self.prop(depth + 1, side, v)
        for k, v in lay.props.items():
            self.prop(depth + 1, k, v)
        for it in lay.items:
            if lay.kind == "QGridLayout":
                node, row, col = it[0], it[1], it[2]
                rs, cs = (it[3], it[4]) if len(it) > 3 else (1, 1)
                self.emit(depth + 1, f'<item row="{row}" column="{col}" rowspan="{rs}" '
                                     f'colspan="{cs}">')
            else:
                node = it
                self.emit(depth + 1, "<item>")
            if isinstance(node, W):
                self.widget(depth + 2, node)
            elif isinstance(node, Layout):
                self.layout(depth + 2, node)
            elif isinstance(node, Sp):
                self.spacer(depth + 2, node)
            else:
                raise ValueError(f"bad layout item {node!r}")
            self.emit(depth + 1, "</item>")
        self.emit(depth, "</layout>")


def write_ui(path, class_name, root, prefix, header_comment):
    wr = Writer(prefix)
    wr.emit(0, '<?xml version="1.0" encoding="UTF-8"?>')
    wr.emit(0, f"<!-- {header_comment} -->")
    wr.emit(0, '<ui version="4.0">')
    wr.emit(1, f"<class>{class_name}</class>")
    wr.widget(1, root)
    if wr.customs:
        wr.emit(1, "<customwidgets>")
        for c in sorted(wr.customs):
            wr.emit(2, "<customwidget>")
            wr.emit(3, f"<class>{c}</class>")
            wr.emit(3, f"<extends>{CUSTOM_BASES[c]}</extends>")
            wr.emit(2, "</customwidget>")
        wr.emit(1, "</customwidgets>")
    wr.emit(1, "<resources/>")
    wr.emit(1, "<connections/>")
    wr.emit(0, "</ui>")
    with open(path, "w", encoding="utf-8") as f:
        f.write("\n".join(wr.lines) + "\n")
    return wr.names


# ---- small widget helpers used by every page -------------------------------------------------

def label(name, text, role=None, **props):
    p = {"text": text}
    if role:
        p["*skin"] = role
    if props.get("wordWrap"):
        # A wrapping label may be made as narrow as its layout needs: it wraps to more lines.
        p["minimumSize"] = ("size", 1, 0)
    p.update(props)
    return W("QLabel", name, p)


def button(name, text="", role=None, tip=None, icon=None, w=None, h=None, checkable=False,
           exclusive=False, checked=False, **props):
    p = {}
    if text:
        p["text"] = text
    if tip:
        p["toolTip"] = tip
    if icon:
        p["icon"] = ("icon", icon)
    if checkable:
        p["checkable"] = True
        if checked:
            p["checked"] = True
        if exclusive:
            p["autoExclusive"] = True
    if w:
        p["minimumSize"] = ("size", w, h or 0)
        p["maximumSize"] = ("size", w, h or 16777215)
    elif h:
        p["minimumSize"] = ("size", 0, h)
        p["maximumSize"] = ("size", 16777215, h)
    if role:
        p["*skin"] = role
    p["cursor"] = ("cursor", "PointingHandCursor")
    p["focusPolicy"] = ("enum", "Qt::NoFocus")
    p.update(props)
    return W("QPushButton", name, p)


def check(name, text="", role=None, **props):
    p = {}
    if text:
        p["text"] = text
    if role:
        p["*skin"] = role
    p["cursor"] = ("cursor", "PointingHandCursor")
    p["focusPolicy"] = ("enum", "Qt::NoFocus")
    p.update(props)
    return W("QCheckBox", name, p)


def combo(name, items, w=None, **props):
    p = {"maxVisibleItems": 12}
    if w:
        p["minimumSize"] = ("size", w, 0)
    p["focusPolicy"] = ("enum", "Qt::StrongFocus")
    p.update(props)
    return W("QComboBox", name, p, items=items)


def slider(name, lo, hi, value=None, w=None, **props):
    p = {"minimum": lo, "maximum": hi, "pageStep": 1, "orientation": ("enum", "Qt::Horizontal")}
    if value is not None:
        p["value"] = value
    if w:
        p["minimumSize"] = ("size", w, 0)
    p["focusPolicy"] = ("enum", "Qt::StrongFocus")
    p.update(props)
    return W("QSlider", name, p)


def edit(name, text="", w=None, maxlen=None, placeholder=None, align_center=False, **props):
    p = {}
    if text:
        p["text"] = text
    if w:
        p["minimumSize"] = ("size", w, 0)
        p["maximumSize"] = ("size", w, 16777215)
    if maxlen:
        p["maxLength"] = maxlen
    if placeholder:
        p["placeholderText"] = placeholder
    if align_center:
        p["alignment"] = ("set", "Qt::AlignCenter")
    p.update(props)
    return W("QLineEdit", name, p)


def container(name, layout, role=None, **props):
    p = {}
    if role:
        p["*skin"] = role
    p.update(props)
    return W("QWidget", name, p, layout=layout)


def picture(name, image, geom=None, **props):
    p = {"pixmap": ("pixmap", image), "*skin": "picture"}
    p.update(props)
    return W("QLabel", name, p, geom=geom)


def swatch(name, argb, size=22, tip=None, **props):
    rgb = argb & 0xFFFFFF
    p = {"minimumSize": ("size", size, size), "maximumSize": ("size", size, size),
         "*skin": "swatch", "styleSheet": f"background-color: #{rgb:06x};",
         "cursor": ("cursor", "PointingHandCursor"), "focusPolicy": ("enum", "Qt::NoFocus")}
    if tip:
        p["toolTip"] = tip
    p.update(props)
    return W("QPushButton", name, p)
