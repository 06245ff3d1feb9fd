#include "app/skin_ui.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPalette>
#include <QRegularExpression>
#include <QSet>
#include <QTreeWidget>
#include <QUiLoader>
#include <QVBoxLayout>
#include <QXmlStreamReader>

#include "core/util/log.h"

namespace vq::app {

namespace {

constexpr int kMaxLayoutDepth = 8;
SkinUi* g_current = nullptr;

// Page classes that a layout names and the layout files that build them.
const QHash<QString, QString>& PageLayouts() {
    static const QHash<QString, QString> table = {
        {"kb_key_ui", "keyboard_key.xml"},
        {"kb_deng_ui", "keyboard_deng.xml"},
        {"kb_macro_ui", "keyboard_macro.xml"},
        {"ms_deng_ui", "Mouse_deng.xml"},
        {"ms_macro_ui", "Mouse_macro.xml"},
        {"ms_key_ui", "Mouse_key.xml"},
        {"mp_deng_ui", "MousePad_deng.xml"},
        {"ms_dpi_ui", "Mouse_DPI.xml"},
        {"ms_cursor_ui", "Mouse_cursor.xml"},
        {"kb_cursor_ui", "Mouse_cursor.xml"},
        // The profile panels of the three devices.
        {"ms_profile_ui", "Mouse_profile.xml"},
        {"kb_profile_ui", "keyboard_profile.xml"},
        {"mp_profile_ui", "MousePad_profile.xml"},
    };
    return table;
}

void LogLine(LogLevel level, const QString& text) {
    Log(level, text.toStdString());
}

}  // namespace

// ---- language -------------------------------------------------------------------------------

LanguageChoice LanguageForSetting(int value) {
    if (value == 0) return {"en", "lan_en.xml"};
    if (value == 1) return {"cn_zh", "lan_cn.xml"};
    return {"cn_tw", "lan_sn.xml"};
}

bool LanguageTable::Load(const QString& path, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error) *error = QStringLiteral("cannot open %1").arg(path);
        return false;
    }
    QHash<QString, QString> texts;
    QXmlStreamReader xml(&file);
    bool sawRoot = false;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) continue;
        if (xml.name() == QLatin1String("language")) {
            sawRoot = true;
        } else if (xml.name() == QLatin1String("text")) {
            const QString id = xml.attributes().value("id").toString();
            const QString text = xml.readElementText(QXmlStreamReader::IncludeChildElements);
            if (!id.isEmpty() && !texts.contains(id)) texts.insert(id, text);
        }
    }
    if (xml.hasError() || !sawRoot) {
        if (error)
            *error = QStringLiteral("%1: %2 (line %3)")
                         .arg(path, sawRoot ? xml.errorString() : QStringLiteral("no <language>"))
                         .arg(xml.lineNumber());
        return false;
    }
    texts_ = std::move(texts);
    return true;
}

std::optional<QString> LanguageTable::Text(const QString& id) const {
    const auto it = texts_.constFind(id);
    if (it == texts_.constEnd()) return std::nullopt;
    return *it;
}

QString FormatText(const QString& text, const QStringList& args) {
    if (args.isEmpty()) return text;
    QString out;
    out.reserve(text.size() + 16);
    int next = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && (text[i + 1] == 'd' || text[i + 1] == 's') &&
            next < args.size()) {
            out += args[next++];
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

// ---- loader ---------------------------------------------------------------------------------

// The loader looks for Designer plugins in the library paths when it is made and loads them all,
// which drags in large libraries a skin never uses. It is made while the library paths are empty.
class LibraryPathsHidden {
  public:
    LibraryPathsHidden() : saved_(QCoreApplication::libraryPaths()) {
        QCoreApplication::setLibraryPaths({});
    }
    ~LibraryPathsHidden() { QCoreApplication::setLibraryPaths(saved_); }

  private:
    QStringList saved_;
};

class SkinLoader : public QUiLoader {
  public:
    explicit SkinLoader(SkinUi& ui) : SkinLoader(ui, LibraryPathsHidden()) {}

    QWidget* createWidget(const QString& className, QWidget* parent, const QString& name) override;

  private:
    SkinLoader(SkinUi& ui, const LibraryPathsHidden&) : ui_(ui) {
        clearPluginPaths();
        const QStringList available = availableWidgets();
        standard_ = QSet<QString>(available.begin(), available.end());
    }

    SkinUi& ui_;
    QSet<QString> standard_;
};

QWidget* SkinLoader::createWidget(const QString& className, QWidget* parent, const QString& name) {
    const QString key = className.toLower();
    const auto page = PageLayouts().constFind(key);
    if (page != PageLayouts().constEnd()) {
        if (ui_.lazyPages_) {
            auto* lazy = new LazyPage(ui_, *page, parent);
            lazy->setObjectName(name);
            lazy->setProperty("layoutClass", className);
            return lazy;
        }
        QWidget* widget = ui_.LoadFile(*page, parent);
        if (!widget) widget = new QWidget(parent);
        widget->setObjectName(name);
        widget->setProperty("layoutClass", className);
        return widget;
    }
    if (QWidget* control = ui_.controls_.Make(className, parent)) {
        control->setObjectName(name);
        return control;
    }
    if (standard_.contains(className)) return QUiLoader::createWidget(className, parent, name);
    ui_.Fault(QStringLiteral("unknown control class %1 (%2)").arg(className, name));
    auto* widget = new QWidget(parent);
    widget->setObjectName(name);
    return widget;
}

// ---- lazy pages -----------------------------------------------------------------------------

LazyPage::LazyPage(SkinUi& ui, const QString& file, QWidget* parent)
    : QWidget(parent), ui_(ui), file_(file) {}

bool LazyPage::Build() {
    if (built_) return layout() != nullptr;
    built_ = true;
    QWidget* content = ui_.LoadFile(file_, this);
    if (!content) return false;
    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(0);
    box->addWidget(content);
    ui_.Translate(content);
    if (isVisible()) content->show();
    emit ui_.PageBuilt(this);
    return true;
}

void LazyPage::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    Build();
}

int SkinUi::BuildPages(QWidget* root) {
    int built = 0;
    for (bool more = true; more && root;) {
        more = false;
        const QList<LazyPage*> pages = root->findChildren<LazyPage*>();
        for (LazyPage* page : pages) {
            if (page->IsBuilt()) continue;
            page->Build();
            ++built;
            more = true;
        }
    }
    return built;
}

QWidget* SkinUi::FindControl(QWidget* root, const QString& name) {
    if (!root || name.isEmpty()) return nullptr;
    if (QWidget* widget = root->findChild<QWidget*>(name)) return widget;
    // Only a page whose layout (or a page inside it) names the control is built: reading a
    // layout's names costs far less than building its widgets.
    for (bool more = true; more;) {
        more = false;
        const QList<LazyPage*> pages = root->findChildren<LazyPage*>();
        for (LazyPage* page : pages) {
            if (page->IsBuilt() || !LayoutNames(page->File()).contains(name)) continue;
            page->Build();
            if (QWidget* widget = page->findChild<QWidget*>(name)) return widget;
            more = true;  // the name is in a page inside this one
            break;
        }
    }
    return nullptr;
}

const QSet<QString>& SkinUi::LayoutNames(const QString& file) {
    auto cached = layoutNames_.constFind(file);
    if (cached != layoutNames_.constEnd()) return *cached;
    // Entered before reading, so that a layout that names itself ends the recursion.
    QSet<QString>& names = layoutNames_[file];
    QStringList inner;
    QFile source(FilePath(file));
    if (source.open(QIODevice::ReadOnly)) {
        QXmlStreamReader xml(&source);
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement) continue;
            if (xml.name() != QLatin1String("widget")) continue;
            names.insert(xml.attributes().value("name").toString());
            const auto page =
                PageLayouts().constFind(xml.attributes().value("class").toString().toLower());
            if (page != PageLayouts().constEnd()) inner << *page;
        }
    }
    for (const QString& innerFile : inner) {
        const QSet<QString> innerNames = LayoutNames(innerFile);
        layoutNames_[file].unite(innerNames);
    }
    return layoutNames_[file];
}

// ---- skin -----------------------------------------------------------------------------------

SkinUi::SkinUi(const QString& folder, QObject* parent)
    : QObject(parent), folder_(QDir(folder).absolutePath()) {
    RegisterCustomControls(controls_);
    g_current = this;
}

SkinUi::~SkinUi() {
    if (g_current == this) g_current = nullptr;
}

SkinUi* SkinUi::Current() {
    return g_current;
}

bool SkinUi::LoadResources() {
    QFile file(FilePath("res.xml"));
    if (!file.open(QIODevice::ReadOnly)) {
        Fault(QStringLiteral("no res.xml in %1").arg(folder_));
        return false;
    }
    QHash<QString, QString> layouts;
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) continue;
        if (xml.name() == QLatin1String("layout")) {
            const QString id = xml.attributes().value("id").toString();
            const QString name = xml.attributes().value("file").toString();
            if (!id.isEmpty() && !name.isEmpty()) layouts.insert(id, name);
        }
    }
    if (xml.hasError()) {
        Fault(QStringLiteral("res.xml: %1 (line %2)").arg(xml.errorString()).arg(xml.lineNumber()));
        return false;
    }
    layouts_ = std::move(layouts);
    return true;
}

QString SkinUi::FilePath(const QString& file) const {
    QDir dir(folder_);
    const QString direct = dir.filePath(file);
    if (QFileInfo::exists(direct)) return direct;
    // Skin file names are matched without regard to case, as on the system they come from.
    const QFileInfo info(direct);
    const QDir parent = info.dir();
    const QStringList entries = parent.entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries)
        if (entry.compare(info.fileName(), Qt::CaseInsensitive) == 0) return parent.filePath(entry);
    return direct;
}

QString SkinUi::LayoutFile(const QString& idOrFile) const {
    return layouts_.value(idOrFile, idOrFile);
}

QString SkinUi::ResolveImage(const QString& name) const {
    if (name.isEmpty()) return {};
    const QFileInfo given(name);
    if (given.isAbsolute()) return given.isFile() ? given.absoluteFilePath() : QString();
    for (const QString& candidate : {FilePath(name), FilePath("images/" + name)})
        if (QFileInfo(candidate).isFile()) return candidate;
    return {};
}

void SkinUi::ApplyToApplication() const {
    if (!qApp) return;
    // The base font and text colours are set once for the application: a style sheet rule that
    // every widget matches would be resolved again for each of the window's widgets.
    // Latin faces first: a CJK face is loaded only for the texts that need its glyphs (Qt falls
    // back to it per character), not for every text of the window.
    QFont font = QApplication::font();
    font.setFamilies({"Noto Sans", "DejaVu Sans", "Noto Sans CJK SC", "Droid Sans Fallback"});
    font.setPixelSize(13);
    QApplication::setFont(font);
    QPalette palette = QApplication::palette();
    const QColor text(0xdd, 0xe2, 0xea);
    for (QPalette::ColorRole role :
         {QPalette::WindowText, QPalette::Text, QPalette::ButtonText, QPalette::BrightText})
        palette.setColor(role, text);
    // Disabled texts are dimmed.
    const QColor dim(0x5c, 0x63, 0x72);
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, dim);
    palette.setColor(QPalette::Window, QColor(0x12, 0x14, 0x19));
    palette.setColor(QPalette::Base, QColor(0x10, 0x12, 0x16));
    palette.setColor(QPalette::Button, QColor(0x26, 0x2a, 0x33));
    palette.setColor(QPalette::Highlight, QColor(0x19, 0xb4, 0xe8));
    palette.setColor(QPalette::PlaceholderText, QColor(0x8b, 0x94, 0xa5));
    QApplication::setPalette(palette);
    qApp->setStyleSheet(StyleSheet());
}

QString SkinUi::StyleSheet() const {
    QFile file(FilePath("style.qss"));
    if (!file.open(QIODevice::ReadOnly)) return {};
    QString sheet = QString::fromUtf8(file.readAll());
    static const QRegularExpression url(QStringLiteral(R"(url\(\s*(['"]?)([^'"\)]+)\1\s*\))"));
    QString out;
    qsizetype last = 0;
    auto it = url.globalMatch(sheet);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        const QString target = m.captured(2).trimmed();
        out += sheet.mid(last, m.capturedStart() - last);
        if (QFileInfo(target).isAbsolute() || target.startsWith(':'))
            out += m.captured(0);
        else
            out += QStringLiteral("url(\"%1\")").arg(FilePath(target));
        last = m.capturedEnd();
    }
    out += sheet.mid(last);
    return out;
}

bool SkinUi::SetLanguage(const QString& name, const QString& file) {
    LanguageTable table;
    QString error;
    if (!table.Load(FilePath(file), &error)) {
        LogLine(LogLevel::Error, QStringLiteral("language %1 not loaded: %2").arg(name, error));
        return false;
    }
    language_ = std::move(table);
    languageName_ = name;
    languageFile_ = file;
    emit LanguageChanged();
    return true;
}

std::optional<QString> SkinUi::Text(const QString& id) const {
    if (auto text = language_.Text(id)) return text;
    if (textQuery_) return textQuery_(id);
    return std::nullopt;
}

QString SkinUi::TextOrId(const QString& id) const {
    return Text(id).value_or(id);
}

void SkinUi::SetTextQuery(std::function<std::optional<QString>(const QString&)> query) {
    textQuery_ = std::move(query);
}

QWidget* SkinUi::Load(const QString& idOrFile, QWidget* parent) {
    QWidget* root = LoadFile(LayoutFile(idOrFile), parent);
    if (root) Translate(root);
    return root;
}

QWidget* SkinUi::LoadFile(const QString& file, QWidget* parent) {
    if (depth_ >= kMaxLayoutDepth) {
        Fault(QStringLiteral("layouts nest too deep at %1").arg(file));
        return nullptr;
    }
    QFile source(FilePath(file));
    if (!source.open(QIODevice::ReadOnly)) {
        Fault(QStringLiteral("missing layout %1").arg(file));
        return nullptr;
    }
    if (loaders_.size() <= static_cast<size_t>(depth_)) {
        loaders_.push_back(std::make_unique<SkinLoader>(*this));
        loaders_.back()->setWorkingDirectory(QDir(folder_));
    }
    SkinLoader& loader = *loaders_[static_cast<size_t>(depth_)];
    ++depth_;
    QElapsedTimer clock;
    clock.start();
    QWidget* widget = loader.load(&source, parent);
    Logf(LogLevel::Debug, "layout %s built in %lld ms", file.toUtf8().constData(),
         static_cast<long long>(clock.elapsed()));
    --depth_;
    if (!widget) {
        Fault(QStringLiteral("layout %1: %2").arg(file, loader.errorString()));
        return nullptr;
    }
    // Pop-over panels lie outside their parent's layout, which the loader builds after them:
    // a widget marked "floating" is raised above its siblings.
    for (QWidget* child : widget->findChildren<QWidget*>()) {
        if (child->property("floating").toBool()) child->raise();
    }
    return widget;
}

bool SkinUi::IsTextId(const QString& text) const {
    if (text.isEmpty() || text.size() > 64 || text.contains(' ')) return false;
    return Text(text).has_value();
}

QString SkinUi::Lookup(const QString& id, const QStringList& args) const {
    if (auto text = Text(id)) return FormatText(*text, args);
    return FormatText(id, args);
}

void SkinUi::Translate(QWidget* root) {
    if (!root) return;
    ApplyTexts(root, true);
    const QList<QWidget*> children = root->findChildren<QWidget*>();
    for (QWidget* child : children)
        ApplyTexts(child, true);
}

void SkinUi::ReloadTexts() {
    const QWidgetList widgets = QApplication::allWidgets();
    for (QWidget* widget : widgets)
        ApplyTexts(widget, false);
}

void SkinUi::SetTextId(QWidget* widget, const QString& id, const QStringList& args) {
    if (!widget) return;
    widget->setProperty("textId", id);
    widget->setProperty("textArgs", args);
    ApplyTexts(widget, false);
}

void SkinUi::ApplyTexts(QWidget* w, bool record) {
    const QStringList args = w->property("textArgs").toStringList();
    // One text property of a widget: find (or recall) its id and show the translation.
    auto handle = [&](const char* idProperty, const QString& current, auto&& set) {
        QString id = w->property(idProperty).toString();
        if (id.isEmpty() && record && IsTextId(current)) {
            id = current;
            w->setProperty(idProperty, id);
        }
        if (!id.isEmpty()) set(Lookup(id, args));
    };
    if (auto* label = qobject_cast<QLabel*>(w)) {
        handle("textId", label->text(), [label](const QString& t) { label->setText(t); });
    } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        handle("textId", button->text(), [button](const QString& t) { button->setText(t); });
    } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
        handle("textId", group->title(), [group](const QString& t) { group->setTitle(t); });
    }
    if (auto* edit = qobject_cast<QLineEdit*>(w))
        handle("placeholderTextId", edit->placeholderText(),
               [edit](const QString& t) { edit->setPlaceholderText(t); });
    if (!w->toolTip().isEmpty() || w->property("toolTipId").isValid())
        handle("toolTipId", w->toolTip(), [w](const QString& t) { w->setToolTip(t); });
    if (w->isWindow())
        handle("windowTitleId", w->windowTitle(), [w](const QString& t) { w->setWindowTitle(t); });

    auto itemText = [&](QVariant stored, const QString& current,
                        const std::function<void(const QString&)>& setId,
                        const std::function<void(const QString&)>& setText) {
        QString id = stored.toString();
        if (id.isEmpty() && record && IsTextId(current)) {
            id = current;
            setId(id);
        }
        if (!id.isEmpty()) setText(Lookup(id, {}));
    };
    if (auto* combo = qobject_cast<QComboBox*>(w)) {
        for (int i = 0; i < combo->count(); ++i)
            itemText(
                combo->itemData(i, kTextIdRole), combo->itemText(i),
                [&](const QString& id) { combo->setItemData(i, id, kTextIdRole); },
                [&](const QString& t) { combo->setItemText(i, t); });
    } else if (auto* list = qobject_cast<QListWidget*>(w)) {
        for (int i = 0; i < list->count(); ++i) {
            QListWidgetItem* item = list->item(i);
            itemText(
                item->data(kTextIdRole), item->text(),
                [&](const QString& id) { item->setData(kTextIdRole, id); },
                [&](const QString& t) { item->setText(t); });
        }
    } else if (auto* tree = qobject_cast<QTreeWidget*>(w)) {
        auto items = [&](QTreeWidgetItem* item) {
            for (int c = 0; c < item->columnCount(); ++c)
                itemText(
                    item->data(c, kTextIdRole), item->text(c),
                    [&](const QString& id) { item->setData(c, kTextIdRole, id); },
                    [&](const QString& t) { item->setText(c, t); });
        };
        if (QTreeWidgetItem* header = tree->headerItem()) items(header);
        for (QTreeWidgetItemIterator it(tree); *it; ++it)
            items(*it);
    }
}

void SkinUi::Fault(const QString& what) {
    faults_ << what;
    LogLine(LogLevel::Warning, QStringLiteral("skin: %1").arg(what));
}

}  // namespace vq::app
