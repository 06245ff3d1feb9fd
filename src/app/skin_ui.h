#pragma once
// The skin: the folder with the resource index "res.xml", the layouts, images, language files and
// the style sheet; the language in use; and the layout loader.
//
// Layouts are Qt Designer files loaded at run time. A widget whose class is one of the page class
// names ("MS_DPI_UI", "kb_Key_UI", ...) is built from its own layout file; a widget whose class
// is a registered custom control is made by the control factory; any other unknown class becomes
// a plain widget and a log line.
//
// Texts: a text, title, tool tip, placeholder or item text that is an id of the language file is
// shown translated and keeps its id (property "textId" and friends; items: kTextIdRole), so that
// a language switch shows every text in the new language.

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "app/controls/control_factory.h"

namespace vq::app {

inline constexpr int kTextIdRole = Qt::UserRole + 0x100;

struct LanguageChoice {
    QString name;  // "en", "cn_zh", "cn_tw"
    QString file;  // "lan_en.xml", "lan_cn.xml", "lan_sn.xml"
};
// main.ini LANGUAGE: 0 English, 1 simplified Chinese, any other value traditional Chinese.
LanguageChoice LanguageForSetting(int value);

// One language file: <language name="en"><text id="...">...</text>...</language>.
class LanguageTable {
  public:
    bool Load(const QString& path, QString* error = nullptr);
    std::optional<QString> Text(const QString& id) const;
    bool Contains(const QString& id) const { return texts_.contains(id); }
    int Size() const { return static_cast<int>(texts_.size()); }

  private:
    QHash<QString, QString> texts_;
};

// Replaces each "%d" and "%s" in turn by the next argument.
QString FormatText(const QString& text, const QStringList& args);

class SkinLoader;
class SkinUi;

// A page of a layout (a widget whose class names a page layout) that builds its layout the first
// time it is shown or asked for, so that a window with many pages opens quickly.
class LazyPage : public QWidget {
    Q_OBJECT
  public:
    LazyPage(SkinUi& ui, const QString& file, QWidget* parent);
    bool IsBuilt() const { return built_; }
    // Builds the page's layout (once). false when it could not be built (the page stays empty).
    bool Build();
    QString File() const { return file_; }

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    SkinUi& ui_;
    QString file_;
    bool built_ = false;
};

class SkinUi : public QObject {
    Q_OBJECT
  public:
    explicit SkinUi(const QString& folder, QObject* parent = nullptr);
    ~SkinUi() override;

    // The skin of the running program: the latest one made that still exists.
    static SkinUi* Current();

    // Reads "res.xml". false (and a log line) when it is missing or malformed.
    bool LoadResources();
    QString Folder() const { return folder_; }
    QString FilePath(const QString& file) const;
    // The layout file of a resource id of res.xml, or the name itself when it is a file name.
    QString LayoutFile(const QString& idOrFile) const;
    // The absolute path of a picture: absolute as given, or relative to the skin folder or its
    // "images" folder. Empty when there is no such file.
    QString ResolveImage(const QString& name) const;
    // The style sheet with its url()s made absolute.
    QString StyleSheet() const;
    // Gives the application the skin's look: its base font and colours, and the style sheet.
    void ApplyToApplication() const;

    ControlFactory& Controls() { return controls_; }

    // ---- language
    // Loads a language file; on failure the previous language stays and false is returned.
    bool SetLanguage(const QString& name, const QString& file);
    QString LanguageName() const { return languageName_; }
    QString LanguageFile() const { return languageFile_; }
    std::optional<QString> Text(const QString& id) const;
    // The text of an id, or the id itself when it has none.
    QString TextOrId(const QString& id) const;
    // Asked for ids that the language file lacks.
    void SetTextQuery(std::function<std::optional<QString>(const QString&)> query);

    // ---- layouts
    // Builds a layout (a resource id of res.xml or a file of the skin) with its texts shown.
    // Null (and a log line) when the file is missing or malformed.
    QWidget* Load(const QString& idOrFile, QWidget* parent = nullptr);
    // With lazy pages on, the pages a layout names are LazyPages, built when first shown or
    // asked for; off (the default), they are built with the layout.
    void SetLazyPages(bool lazy) { lazyPages_ = lazy; }
    bool LazyPages() const { return lazyPages_; }
    // Builds every page under `root` that is not built yet (pages inside pages too); returns
    // how many were built.
    int BuildPages(QWidget* root);
    // The widget of that name under `root`, building pages until one holds it.
    QWidget* FindControl(QWidget* root, const QString& name);
    // Records the text ids of a widget tree and shows their texts.
    void Translate(QWidget* root);
    // Shows the current language in every widget of the application that carries a text id.
    void ReloadTexts();
    // Gives a widget's text an id (shown now and after every language change); `args` fill the
    // text's "%d"/"%s" places.
    void SetTextId(QWidget* widget, const QString& id, const QStringList& args = {});

    // Layout faults met so far (missing files, unknown classes), for tools and tests.
    QStringList Faults() const { return faults_; }

  signals:
    void LanguageChanged();
    // A lazy page was built (its texts are shown).
    void PageBuilt(QWidget* page);

  private:
    friend class SkinLoader;
    friend class LazyPage;
    QWidget* LoadFile(const QString& file, QWidget* parent);
    void ApplyTexts(QWidget* widget, bool record);
    bool IsTextId(const QString& text) const;
    QString Lookup(const QString& id, const QStringList& args) const;
    void Fault(const QString& what);
    // The names of the widgets a layout file builds, its pages' included.
    const QSet<QString>& LayoutNames(const QString& file);

    QString folder_;
    QHash<QString, QString> layouts_;            // resource id → file
    QHash<QString, QSet<QString>> layoutNames_;  // file → the widget names it builds
    ControlFactory controls_;
    LanguageTable language_;
    QString languageName_;
    QString languageFile_;
    std::function<std::optional<QString>(const QString&)> textQuery_;
    std::vector<std::unique_ptr<SkinLoader>> loaders_;  // one per nesting depth
    int depth_ = 0;
    bool lazyPages_ = false;
    QStringList faults_;
};

}  // namespace vq::app
