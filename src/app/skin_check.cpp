#include "app/skin_check.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QRegularExpression>
#include <QSet>
#include <QSlider>
#include <QStackedWidget>
#include <QWidget>
#include <QXmlStreamReader>

#include <memory>
#include <string>

#include "app/controls/color_palette.h"
#include "app/controls/device_key_button.h"
#include "app/controls/led_preview.h"
#include "app/skin_ui.h"
#include "core/device/key_assignment.h"
#include "core/device/key_labels.h"

namespace vq::app {

// The contract text, built into the program from src/app/skin_controls.txt by the build
// (skin_contract.cpp.in).
const char* SkinContractSource();

namespace {

QString FromView(std::string_view v) {
    return QString::fromUtf8(v.data(), static_cast<qsizetype>(v.size()));
}

// Expands one {a..b} range or {a,b,c} set in a name.
QStringList ExpandName(const QString& name, QString* error) {
    const qsizetype open = name.indexOf(QLatin1Char('{'));
    if (open < 0) return {name};
    const qsizetype close = name.indexOf(QLatin1Char('}'), open);
    if (close < 0 || name.indexOf(QLatin1Char('{'), open + 1) >= 0) {
        *error = QStringLiteral("bad braces in %1").arg(name);
        return {};
    }
    const QString body = name.mid(open + 1, close - open - 1);
    const QString head = name.left(open);
    const QString tail = name.mid(close + 1);
    QStringList values;
    const qsizetype dots = body.indexOf(QLatin1String(".."));
    if (dots >= 0) {
        bool okA = false;
        bool okB = false;
        const int a = body.left(dots).toInt(&okA);
        const int b = body.mid(dots + 2).toInt(&okB);
        if (!okA || !okB || b < a || b - a > 1000) {
            *error = QStringLiteral("bad range in %1").arg(name);
            return {};
        }
        for (int i = a; i <= b; ++i)
            values << QString::number(i);
    } else {
        values = body.split(QLatin1Char(','));
    }
    QStringList names;
    for (const QString& v : values)
        names << head + v.trimmed() + tail;
    return names;
}

std::optional<ChoiceList> ChoiceListNamed(const QString& name) {
    static const std::pair<const char*, ChoiceList> lists[] = {
        {"MouseButton", ChoiceList::MouseButton},
        {"HorizontalScroll", ChoiceList::HorizontalScroll},
        {"VerticalScroll", ChoiceList::VerticalScroll},
        {"Dpi", ChoiceList::Dpi},
        {"Media", ChoiceList::Media},
        {"System", ChoiceList::System},
        {"Shortcut", ChoiceList::Shortcut}};
    for (const auto& [n, list] : lists) {
        if (name == QLatin1String(n)) return list;
    }
    return std::nullopt;
}

// The text id an item was written with (recorded by the loader), or its text.
QString ItemId(const QComboBox* combo, int i) {
    const QVariant id = combo->itemData(i, kTextIdRole);
    return id.isValid() && !id.toString().isEmpty() ? id.toString() : combo->itemText(i);
}

const QStringList& DialogLayouts() {
    static const QStringList files = {QStringLiteral("message.xml"), QStringLiteral("skin.xml"),
                                      QStringLiteral("CopyRight.xml"),
                                      QStringLiteral("GmPalletDialog.xml")};
    return files;
}

QString ReadText(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return QString();
    return QString::fromUtf8(f.readAll());
}

QSet<QString> LanguageIds(const QString& path, bool* readable) {
    QSet<QString> ids;
    QFile f(path);
    *readable = f.open(QIODevice::ReadOnly);
    if (!*readable) return ids;
    QXmlStreamReader xml(&f);
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == u"text") {
            ids.insert(xml.attributes().value(QStringLiteral("id")).toString());
        }
    }
    *readable = !xml.hasError();
    return ids;
}

// A picture name resolves in the skin folder or its "images" folder; a PNG that the build
// renders from an SVG counts as present when the SVG is.
bool ImageExists(const QDir& skin, const QString& name) {
    if (name.isEmpty()) return true;
    QStringList candidates;
    if (QFileInfo(name).isAbsolute()) {
        candidates << name;
    } else {
        candidates << skin.filePath(name) << skin.filePath(QStringLiteral("images/") + name);
    }
    for (QString c : candidates) {
        if (QFileInfo::exists(c)) return true;
        if (c.endsWith(QLatin1String(".png"), Qt::CaseInsensitive)) {
            c.chop(4);
            if (QFileInfo::exists(c + QLatin1String(".svg"))) return true;
        }
    }
    return false;
}

}  // namespace

// ---- the contract ------------------------------------------------------------------------------

std::vector<ControlNeed> ParseControlContract(const QString& text, QStringList* errors) {
    std::vector<ControlNeed> needs;
    const QStringList lines = text.split(QLatin1Char('\n'));
    static const QSet<QString> kinds = {
        QStringLiteral("button"),  QStringLiteral("option"),    QStringLiteral("check"),
        QStringLiteral("combo"),   QStringLiteral("slider"),    QStringLiteral("edit"),
        QStringLiteral("list"),    QStringLiteral("tabs"),      QStringLiteral("label"),
        QStringLiteral("picture"), QStringLiteral("progress"),  QStringLiteral("palette"),
        QStringLiteral("led"),     QStringLiteral("keybutton"), QStringLiteral("widget")};
    for (int n = 0; n < lines.size(); ++n) {
        const QString line = lines[n].trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) continue;
        const QStringList cols = line.split(QRegularExpression(QStringLiteral("\\s+")));
        auto fail = [&](const QString& what) {
            if (errors) errors->append(QStringLiteral("line %1: %2").arg(n + 1).arg(what));
        };
        if (cols.size() < 3 || cols.size() > 4) {
            fail(QStringLiteral("expected layout, name, kind and at most one option"));
            continue;
        }
        if (!kinds.contains(cols[2])) {
            fail(QStringLiteral("unknown kind %1").arg(cols[2]));
            continue;
        }
        ControlNeed base;
        base.layout = cols[0];
        base.kind = cols[2];
        base.line = n + 1;
        if (cols.size() == 4) {
            const QString& opt = cols[3];
            if (opt.startsWith(QLatin1String("items="))) {
                base.items = opt.mid(6);
                if (base.items.startsWith(QLatin1Char('@')) &&
                    !ChoiceListNamed(base.items.mid(1))) {
                    fail(QStringLiteral("unknown list %1").arg(base.items));
                    continue;
                }
            } else if (opt.startsWith(QLatin1String("pages="))) {
                bool ok = false;
                base.pages = opt.mid(6).toInt(&ok);
                if (!ok || base.pages < 0) {
                    fail(QStringLiteral("bad page count %1").arg(opt));
                    continue;
                }
            } else {
                fail(QStringLiteral("unknown option %1").arg(opt));
                continue;
            }
        }
        QString error;
        const QStringList names = ExpandName(cols[1], &error);
        if (!error.isEmpty()) {
            fail(error);
            continue;
        }
        for (const QString& name : names) {
            ControlNeed need = base;
            need.name = name;
            needs.push_back(need);
        }
    }
    return needs;
}

QString ControlContractText() {
    return QString::fromUtf8(SkinContractSource());
}

const std::vector<ControlNeed>& ControlContract() {
    static const std::vector<ControlNeed> needs = ParseControlContract(ControlContractText());
    return needs;
}

// ---- kinds -------------------------------------------------------------------------------------

QString ControlKind(const QWidget* w) {
    if (qobject_cast<const CDeviceKeyButtonUI*>(w)) return QStringLiteral("keybutton");
    if (qobject_cast<const QCheckBox*>(w)) return QStringLiteral("check");
    if (auto* b = qobject_cast<const QAbstractButton*>(w)) {
        return b->isCheckable() ? QStringLiteral("option") : QStringLiteral("button");
    }
    if (qobject_cast<const QComboBox*>(w)) return QStringLiteral("combo");
    if (qobject_cast<const QSlider*>(w)) return QStringLiteral("slider");
    if (qobject_cast<const QLineEdit*>(w)) return QStringLiteral("edit");
    if (qobject_cast<const QAbstractItemView*>(w)) return QStringLiteral("list");
    if (qobject_cast<const QStackedWidget*>(w)) return QStringLiteral("tabs");
    if (auto* l = qobject_cast<const QLabel*>(w)) {
        return l->pixmap().isNull() ? QStringLiteral("label") : QStringLiteral("picture");
    }
    if (qobject_cast<const QProgressBar*>(w)) return QStringLiteral("progress");
    if (qobject_cast<const ColorPalette*>(w)) return QStringLiteral("palette");
    if (qobject_cast<const CLedPreviewUI*>(w)) return QStringLiteral("led");
    return QStringLiteral("widget");
}

bool IsOfKind(const QWidget* w, const QString& kind) {
    if (w == nullptr) return false;
    if (kind == QLatin1String("widget")) return true;
    if (kind == QLatin1String("button")) return qobject_cast<const QAbstractButton*>(w) != nullptr;
    if (kind == QLatin1String("option")) {
        auto* b = qobject_cast<const QAbstractButton*>(w);
        return b != nullptr && b->isCheckable();
    }
    // A picture is a label whose picture may be set only at run time.
    if (kind == QLatin1String("picture")) return qobject_cast<const QLabel*>(w) != nullptr;
    if (kind == QLatin1String("label")) return qobject_cast<const QLabel*>(w) != nullptr;
    return ControlKind(w) == kind;
}

QString CheckControl(const QWidget* w, const ControlNeed& need) {
    if (!IsOfKind(w, need.kind)) {
        return QStringLiteral("is a %1 (%2), not a %3")
            .arg(ControlKind(w), QString::fromLatin1(w->metaObject()->className()), need.kind);
    }
    if (need.pages >= 0) {
        auto* stack = qobject_cast<const QStackedWidget*>(w);
        if (stack == nullptr || stack->count() != need.pages) {
            return QStringLiteral("has %1 pages, not %2")
                .arg(stack ? stack->count() : 0)
                .arg(need.pages);
        }
    }
    if (need.items.isEmpty()) return QString();
    auto* combo = qobject_cast<const QComboBox*>(w);
    if (combo == nullptr) return QStringLiteral("has no items");
    QStringList expected;
    bool ok = false;
    const int count = need.items.toInt(&ok);
    if (ok) {
        return combo->count() == count
                   ? QString()
                   : QStringLiteral("has %1 items, not %2").arg(combo->count()).arg(count);
    }
    if (need.items.startsWith(QLatin1Char('@'))) {
        for (const KeyDefinition& row : Choices(*ChoiceListNamed(need.items.mid(1)))) {
            expected << FromView(row.textId);
        }
    } else {
        expected = need.items.split(QLatin1Char(','));
    }
    QStringList actual;
    for (int i = 0; i < combo->count(); ++i)
        actual << ItemId(combo, i);
    if (actual != expected) {
        return QStringLiteral("has the items %1, not %2")
            .arg(actual.join(QLatin1Char(',')), expected.join(QLatin1Char(',')));
    }
    return QString();
}

// ---- what the program names in its code
// ------------------------------------------------------------

QStringList NeededLayoutFiles() {
    return {QStringLiteral("main.xml"),
            QStringLiteral("message.xml"),
            QStringLiteral("skin.xml"),
            QStringLiteral("menu1.xml"),
            QStringLiteral("CopyRight.xml"),
            QStringLiteral("GmPalletDialog.xml"),
            QStringLiteral("keyboard_key.xml"),
            QStringLiteral("keyboard_deng.xml"),
            QStringLiteral("keyboard_macro.xml"),
            QStringLiteral("Mouse_deng.xml"),
            QStringLiteral("Mouse_macro.xml"),
            QStringLiteral("Mouse_key.xml"),
            QStringLiteral("MousePad_deng.xml"),
            QStringLiteral("Mouse_DPI.xml"),
            QStringLiteral("Mouse_cursor.xml"),
            QStringLiteral("Mouse_profile.xml"),
            QStringLiteral("keyboard_profile.xml"),
            QStringLiteral("MousePad_profile.xml")};
}

QStringList NeededCodeImages() {
    QStringList images;
    for (const char* stem :
         {"left", "wheel", "right", "forward", "back", "dpi", "dpi1", "dpishift"}) {
        images << QStringLiteral("ms/key_%1_normal.png").arg(QLatin1String(stem))
               << QStringLiteral("ms/key_%1_down.png").arg(QLatin1String(stem));
    }
    images << QStringLiteral("common/up_top_over.png") << QStringLiteral("common/unuse.png")
           << QStringLiteral("common/background.png");
    return images;
}

QStringList NeededCodeTextIds() {
    QStringList ids;
    for (int i = 1; i <= 20; ++i)
        ids << QStringLiteral("message_text_%1").arg(i);
    for (const KeyDefinition& row : KeyTable())
        ids << FromView(row.textId);
    for (ChoiceList list : kChoiceLists) {
        for (const KeyDefinition& row : Choices(list))
            ids << FromView(row.textId);
    }
    ids << FromView(kFireKeyLabel);
    for (std::string_view label : kCursorScriptLabels)
        ids << FromView(label);
    ids << QStringLiteral("mouse_key_DPI_Disable") << QStringLiteral("close_text")
        << QStringLiteral("Key_Set") << QStringLiteral("macro_btn_star_redio_text")
        << QStringLiteral("macro_btn_stop_redio_text");
    for (const char* dir : {"left", "right", "up", "down"}) {
        ids << QStringLiteral("mouse_move_to_%1_text").arg(QLatin1String(dir));
    }
    for (const char* fx : {"L", "R", "U", "D", "J", "K", "SPEAD", "GATHER"}) {
        ids << QStringLiteral("Deng_FX%1_text").arg(QLatin1String(fx));
    }
    ids.removeDuplicates();
    return ids;
}

bool LooksLikeTextId(const QString& text) {
    static const QRegularExpression id(QStringLiteral("^[A-Za-z][A-Za-z0-9]*(_[A-Za-z0-9]+)+$"));
    return id.match(text).hasMatch();
}

QStringList TextIdsInLayout(const QString& xml) {
    QStringList ids;
    QXmlStreamReader r(xml);
    // The texts of a layout: text, title, tool tip, placeholder and window title properties of
    // widgets, items and columns, and the text attribute of menu items.
    QString property;
    while (!r.atEnd()) {
        const auto token = r.readNext();
        if (token == QXmlStreamReader::StartElement) {
            if (r.name() == u"property") {
                property = r.attributes().value(QStringLiteral("name")).toString();
            } else if (r.name() == u"string") {
                static const QSet<QString> texts = {
                    QStringLiteral("text"), QStringLiteral("title"), QStringLiteral("toolTip"),
                    QStringLiteral("placeholderText"), QStringLiteral("windowTitle")};
                const QString value = r.readElementText();
                if (texts.contains(property) && LooksLikeTextId(value)) ids << value;
            } else if (r.name() == u"item" && r.attributes().hasAttribute(QStringLiteral("text"))) {
                const QString value = r.attributes().value(QStringLiteral("text")).toString();
                if (LooksLikeTextId(value)) ids << value;
            }
        } else if (token == QXmlStreamReader::EndElement && r.name() == u"property") {
            property.clear();
        }
    }
    ids.removeDuplicates();
    return ids;
}

QStringList ImagesInLayout(const QString& xml) {
    QStringList images;
    static const QRegularExpression element(
        QStringLiteral("<(?:pixmap|normaloff|normalon|activeoff|activeon|disabledoff|disabledon|"
                       "selectedoff|selectedon)>([^<]+)</"));
    static const QRegularExpression file(QStringLiteral("file=(?:'|&apos;)([^'&]+)(?:'|&apos;)"));
    for (const QRegularExpression* re : {&element, &file}) {
        auto it = re->globalMatch(xml);
        while (it.hasNext())
            images << it.next().captured(1).trimmed();
    }
    images << ImagesInStyleSheet(xml);
    images.removeDuplicates();
    return images;
}

QStringList ImagesInStyleSheet(const QString& qss) {
    QStringList images;
    static const QRegularExpression url(QStringLiteral("url\\(\\s*['\"]?([^)'\"]+)['\"]?\\s*\\)"));
    auto it = url.globalMatch(qss);
    while (it.hasNext())
        images << it.next().captured(1).trimmed();
    images.removeDuplicates();
    return images;
}

// ---- the check
// -------------------------------------------------------------------------------------

QStringList SkinCheckReport::Lines() const {
    QStringList lines;
    for (const QString& s : missingLayouts)
        lines << QStringLiteral("missing layout: ") + s;
    for (const QString& s : missingControls)
        lines << QStringLiteral("control: ") + s;
    for (const QString& s : missingImages)
        lines << QStringLiteral("missing picture: ") + s;
    for (const QString& s : missingTexts)
        lines << QStringLiteral("missing text: ") + s;
    for (const QString& s : faults)
        lines << QStringLiteral("skin fault: ") + s;
    return lines;
}

SkinCheckReport CheckSkin(const QString& folder) {
    SkinCheckReport report;
    const QDir dir(folder);
    if (!dir.exists()) {
        report.missingLayouts << QStringLiteral("%1 (no such folder)").arg(folder);
        return report;
    }
    auto ui = std::make_unique<SkinUi>(dir.absolutePath());
    ui->LoadResources();

    // Layout files, and the texts and pictures they name.
    QStringList files = NeededLayoutFiles();
    if (!QFileInfo::exists(dir.filePath(QStringLiteral("res.xml")))) {
        report.missingLayouts << QStringLiteral("res.xml");
    }
    for (const QString& id : {QStringLiteral("XML_MAIN"), QStringLiteral("XML_MSG")}) {
        const QString file = ui->LayoutFile(id);
        if (file == id) {
            report.missingLayouts << QStringLiteral("res.xml: no layout for %1").arg(id);
        } else if (!files.contains(file)) {
            files << file;
        }
    }
    QStringList textIds;
    for (const QString& file : files) {
        const QString path = dir.filePath(file);
        if (!QFileInfo::exists(path)) {
            report.missingLayouts << file;
            continue;
        }
        const QString xml = ReadText(path);
        for (const QString& id : TextIdsInLayout(xml)) {
            if (!textIds.contains(id)) textIds << id;
        }
        for (const QString& image : ImagesInLayout(xml)) {
            if (!ImageExists(dir, image))
                report.missingImages << image + QStringLiteral(" (") + file + QLatin1Char(')');
        }
    }
    if (!QFileInfo::exists(dir.filePath(QStringLiteral("style.qss")))) {
        report.missingLayouts << QStringLiteral("style.qss");
    } else {
        for (const QString& image :
             ImagesInStyleSheet(ReadText(dir.filePath(QStringLiteral("style.qss"))))) {
            if (!ImageExists(dir, image))
                report.missingImages << image + QStringLiteral(" (style.qss)");
        }
    }
    for (const QString& image : NeededCodeImages()) {
        if (!ImageExists(dir, image)) report.missingImages << image + QStringLiteral(" (program)");
    }

    // Text ids, in each language.
    for (const QString& id : NeededCodeTextIds()) {
        if (!textIds.contains(id)) textIds << id;
    }
    for (const char* lan : {"lan_en.xml", "lan_cn.xml", "lan_sn.xml"}) {
        const QString file = QString::fromLatin1(lan);
        bool readable = false;
        const QSet<QString> have = LanguageIds(dir.filePath(file), &readable);
        if (!readable) {
            report.missingLayouts << file;
            continue;
        }
        for (const QString& id : textIds) {
            if (!have.contains(id)) report.missingTexts << file + QStringLiteral(": ") + id;
        }
    }

    // Controls: every layout loaded by the skin loader, the main one with all its pages.
    QHash<QString, QWidget*> roots;
    std::vector<std::unique_ptr<QWidget>> owned;
    auto rootOf = [&](const QString& file) -> QWidget* {
        if (roots.contains(file)) return roots.value(file);
        QWidget* root = QFileInfo::exists(dir.filePath(file)) ? ui->Load(file) : nullptr;
        if (root) owned.emplace_back(root);
        roots.insert(file, root);
        return root;
    };
    QWidget* main = rootOf(ui->LayoutFile(QStringLiteral("XML_MAIN")));
    for (const ControlNeed& need : ControlContract()) {
        QWidget* root = need.layout == QLatin1String("main.xml") ? main : rootOf(need.layout);
        const QString where = need.layout + QStringLiteral(": ") + need.name;
        // Pages are part of the main window: their controls must be there, and only once.
        if (need.layout != QLatin1String("main.xml") && !DialogLayouts().contains(need.layout) &&
            main != nullptr) {
            const int inMain = static_cast<int>(main->findChildren<QWidget*>(need.name).size());
            if (inMain != 1) {
                report.missingControls
                    << QStringLiteral("main.xml: %1 found %2 times").arg(need.name).arg(inMain);
            }
        }
        if (root == nullptr) continue;  // the missing layout is reported above
        const QList<QWidget*> found = root->findChildren<QWidget*>(need.name);
        QWidget* w =
            found.isEmpty() ? (root->objectName() == need.name ? root : nullptr) : found.first();
        if (w == nullptr) {
            report.missingControls << where + QStringLiteral(" (") + need.kind + QLatin1Char(')');
            continue;
        }
        if (const QString wrong = CheckControl(w, need); !wrong.isEmpty()) {
            report.missingControls << where + QStringLiteral(": ") + wrong;
        }
    }
    report.faults = ui->Faults();
    report.missingImages.removeDuplicates();
    report.missingControls.removeDuplicates();
    return report;
}

QStringList ListControls(const QString& folder, QStringList* faults) {
    QStringList lines;
    auto ui = std::make_unique<SkinUi>(QDir(folder).absolutePath());
    ui->LoadResources();
    QStringList files = {ui->LayoutFile(QStringLiteral("XML_MAIN"))};
    for (const QString& f : DialogLayouts())
        files << f;
    for (const QString& file : files) {
        std::unique_ptr<QWidget> root(ui->Load(file));
        if (!root) continue;
        for (QWidget* w : root->findChildren<QWidget*>()) {
            const QString name = w->objectName();
            if (name.isEmpty() || name.startsWith(QLatin1String("qt_"))) continue;
            lines << QStringLiteral("%1  %2  %3  %4")
                         .arg(file, name, ControlKind(w),
                              QString::fromLatin1(w->metaObject()->className()));
        }
    }
    if (faults) *faults = ui->Faults();
    return lines;
}

}  // namespace vq::app
