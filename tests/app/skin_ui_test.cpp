// The layout loader and the language tables, on a small skin written by each test.

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>

#include "app/skin_ui.h"
#include "app_fixture.h"

namespace vq::test {
namespace {

using app::SkinUi;

void Write(const QString& path, const QByteArray& text) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
}

QByteArray Ui(const QByteArray& body, const QByteArray& custom = {}) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><ui version=\"4.0\">" + body +
           (custom.isEmpty() ? QByteArray() : "<customwidgets>" + custom + "</customwidgets>") +
           "</ui>";
}

QByteArray Custom(const char* cls) {
    return QByteArray("<customwidget><class>") + cls +
           "</class><extends>QWidget</extends><header>x.h</header></customwidget>";
}

QByteArray Label(const char* name, const char* text) {
    return QByteArray("<widget class=\"QLabel\" name=\"") + name +
           "\"><property name=\"text\"><string>" + text + "</string></property></widget>";
}

QByteArray Language(const char* name,
                    std::initializer_list<std::pair<const char*, const char*>> t) {
    QByteArray out = QByteArray("<language name=\"") + name + "\">";
    for (const auto& [id, text] : t)
        out += QByteArray("<text id=\"") + id + "\">" + text + "</text>";
    return out + "</language>";
}

class SkinTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Write(Path("res.xml"), "<res><layout id=\"XML_MAIN\" file=\"main.xml\"/></res>");
        Write(Path("lan_en.xml"), Language("en", {{"hello", "Hello"},
                                                  {"tip", "A tip"},
                                                  {"item_one", "One"},
                                                  {"count", "%d left of %s"},
                                                  {"only_en", "English only"}}));
        Write(Path("lan_cn.xml"),
              Language("cn_zh", {{"hello", "你好"}, {"tip", "提示"}, {"item_one", "一"}}));
        // A page class, written in another case than the table's, and a class nobody knows.
        Write(Path("main.xml"),
              Ui("<widget class=\"QWidget\" name=\"root\"><layout class=\"QVBoxLayout\" "
                 "name=\"l\"><item>" +
                     Label("greeting", "hello") + "</item><item>" + Label("plain", "Plain words") +
                     "</item><item><widget class=\"QComboBox\" name=\"combo\"><item><property "
                     "name=\"text\"><string>item_one</string></property></item><item><property "
                     "name=\"text\"><string>Two</string></property></item></widget></item>"
                     "<item><widget class=\"QPushButton\" name=\"button\"><property "
                     "name=\"toolTip\"><string>tip</string></property></widget></item>"
                     "<item><widget class=\"ms_dpi_ui\" name=\"page\"/></item>"
                     "<item><widget class=\"NoSuchControl\" name=\"mystery\"/></item>"
                     "</layout></widget>",
                 Custom("ms_dpi_ui") + Custom("NoSuchControl")));
        Write(Path("Mouse_DPI.xml"),
              Ui("<widget class=\"QWidget\" name=\"dpi_root\"><layout class=\"QVBoxLayout\" "
                 "name=\"l\"><item>" +
                 Label("dpi_label", "hello") + "</item></layout></widget>"));
    }
    QString Path(const QString& file) const { return dir.filePath(file); }

    QTemporaryDir dir;
};

TEST_F(SkinTest, PagesComeFromTheirLayoutsAndUnknownClassesArePlainWidgetsReported) {
    SkinUi skin(dir.path());
    ASSERT_TRUE(skin.LoadResources());
    ASSERT_TRUE(skin.SetLanguage("en", "lan_en.xml"));
    std::unique_ptr<QWidget> root(skin.Load("XML_MAIN"));
    ASSERT_NE(root, nullptr);
    QWidget* page = root->findChild<QWidget*>("page");
    ASSERT_NE(page, nullptr);
    EXPECT_NE(page->findChild<QLabel*>("dpi_label"), nullptr);
    EXPECT_EQ(root->findChild<QLabel*>("dpi_label")->text(), "Hello");
    QWidget* mystery = root->findChild<QWidget*>("mystery");
    ASSERT_NE(mystery, nullptr);
    EXPECT_STREQ(mystery->metaObject()->className(), "QWidget");
    ASSERT_EQ(skin.Faults().size(), 1);
    EXPECT_TRUE(skin.Faults()[0].contains("NoSuchControl"));
}

TEST_F(SkinTest, AMissingOrSelfNamingPageLeavesAnEmptyPageNotAHang) {
    QFile::remove(Path("Mouse_DPI.xml"));
    {
        SkinUi skin(dir.path());
        ASSERT_TRUE(skin.LoadResources());
        std::unique_ptr<QWidget> root(skin.Load("XML_MAIN"));
        ASSERT_NE(root, nullptr);
        EXPECT_NE(root->findChild<QWidget*>("page"), nullptr);
        EXPECT_TRUE(skin.Faults().join('\n').contains("missing layout Mouse_DPI.xml"));
    }
    // A page whose layout names its own class.
    Write(Path("Mouse_DPI.xml"),
          Ui("<widget class=\"QWidget\" name=\"r\"><layout class=\"QVBoxLayout\" name=\"l\">"
             "<item><widget class=\"MS_DPI_UI\" name=\"again\"/></item></layout></widget>",
             Custom("MS_DPI_UI")));
    SkinUi skin(dir.path());
    ASSERT_TRUE(skin.LoadResources());
    std::unique_ptr<QWidget> root(skin.Load("XML_MAIN"));
    ASSERT_NE(root, nullptr);
    EXPECT_TRUE(skin.Faults().join('\n').contains("nest too deep"));
}

TEST_F(SkinTest, LazyPagesAreBuiltWhenShownOrLookedUp) {
    SkinUi skin(dir.path());
    ASSERT_TRUE(skin.LoadResources());
    ASSERT_TRUE(skin.SetLanguage("en", "lan_en.xml"));
    skin.SetLazyPages(true);
    int built = 0;
    QObject::connect(&skin, &SkinUi::PageBuilt, [&](QWidget*) { ++built; });
    std::unique_ptr<QWidget> root(skin.Load("XML_MAIN"));
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->findChild<QLabel*>("dpi_label"), nullptr);
    // A lookup builds the page that holds the control, with its texts translated.
    auto* label = qobject_cast<QLabel*>(skin.FindControl(root.get(), "dpi_label"));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), "Hello");
    EXPECT_EQ(built, 1);
    // A name that no page holds builds nothing more and finds nothing.
    EXPECT_EQ(skin.FindControl(root.get(), "nowhere"), nullptr);
    EXPECT_EQ(built, 1);

    // Another window: showing it builds its page.
    std::unique_ptr<QWidget> second(skin.Load("XML_MAIN"));
    EXPECT_EQ(second->findChild<QLabel*>("dpi_label"), nullptr);
    second->show();
    EXPECT_NE(second->findChild<QLabel*>("dpi_label"), nullptr);
    EXPECT_TRUE(second->findChild<QLabel*>("dpi_label")->isVisible());
    EXPECT_EQ(built, 2);
}

TEST_F(SkinTest, ALookupBuildsOnlyThePageThatHoldsTheControl) {
    // A second page, and a page inside a page.
    Write(Path("main.xml"),
          Ui("<widget class=\"QWidget\" name=\"root\"><layout class=\"QVBoxLayout\" "
             "name=\"l\"><item><widget class=\"MS_DPI_UI\" name=\"dpi\"/></item>"
             "<item><widget class=\"MS_Key_UI\" name=\"keys\"/></item></layout></widget>",
             Custom("MS_DPI_UI") + Custom("MS_Key_UI")));
    Write(Path("Mouse_key.xml"),
          Ui("<widget class=\"QWidget\" name=\"key_root\"><layout class=\"QVBoxLayout\" "
             "name=\"l\"><item>" +
                 Label("key_label", "hello") +
                 "</item><item><widget class=\"MS_CURSOR_UI\" name=\"inner\"/></item>"
                 "</layout></widget>",
             Custom("MS_CURSOR_UI")));
    Write(Path("Mouse_cursor.xml"),
          Ui("<widget class=\"QWidget\" name=\"cursor_root\"><layout class=\"QVBoxLayout\" "
             "name=\"l\"><item>" +
             Label("deep_label", "hello") + "</item></layout></widget>"));
    SkinUi skin(dir.path());
    ASSERT_TRUE(skin.LoadResources());
    skin.SetLazyPages(true);
    QStringList built;
    QObject::connect(&skin, &SkinUi::PageBuilt,
                     [&](QWidget* page) { built << page->objectName(); });
    std::unique_ptr<QWidget> root(skin.Load("XML_MAIN"));
    EXPECT_NE(skin.FindControl(root.get(), "key_label"), nullptr);
    EXPECT_EQ(built, QStringList{"keys"});
    // A control in the page inside: that page is built as well, the first one still is not.
    EXPECT_NE(skin.FindControl(root.get(), "deep_label"), nullptr);
    EXPECT_EQ(built, (QStringList{"keys", "inner"}));
    EXPECT_EQ(root->findChild<QLabel*>("dpi_label"), nullptr);
    EXPECT_EQ(skin.BuildPages(root.get()), 1);
    EXPECT_NE(root->findChild<QLabel*>("dpi_label"), nullptr);
}

TEST_F(SkinTest, TextIdsAreShownInTheLanguageAndFollowASwitch) {
    SkinUi skin(dir.path());
    ASSERT_TRUE(skin.LoadResources());
    ASSERT_TRUE(skin.SetLanguage("en", "lan_en.xml"));
    std::unique_ptr<QWidget> root(skin.Load("XML_MAIN"));
    auto* greeting = root->findChild<QLabel*>("greeting");
    auto* plain = root->findChild<QLabel*>("plain");
    auto* combo = root->findChild<QComboBox*>("combo");
    auto* button = root->findChild<QPushButton*>("button");
    EXPECT_EQ(greeting->text(), "Hello");
    EXPECT_EQ(greeting->property("textId").toString(), "hello");
    EXPECT_EQ(plain->text(), "Plain words");
    EXPECT_FALSE(plain->property("textId").isValid());
    EXPECT_EQ(combo->itemText(0), "One");
    EXPECT_EQ(combo->itemText(1), "Two");
    EXPECT_EQ(button->toolTip(), "A tip");

    ASSERT_TRUE(skin.SetLanguage("cn_zh", "lan_cn.xml"));
    skin.ReloadTexts();
    EXPECT_EQ(skin.LanguageName(), "cn_zh");
    EXPECT_EQ(greeting->text(), "你好");
    EXPECT_EQ(combo->itemText(0), "一");
    EXPECT_EQ(combo->itemText(1), "Two");
    EXPECT_EQ(button->toolTip(), "提示");
    EXPECT_EQ(plain->text(), "Plain words");

    // An id the language lacks shows the id; texts set by id follow too, with their numbers.
    skin.SetTextId(greeting, "only_en");
    EXPECT_EQ(greeting->text(), "only_en");
    ASSERT_TRUE(skin.SetLanguage("en", "lan_en.xml"));
    skin.ReloadTexts();
    EXPECT_EQ(greeting->text(), "English only");
    skin.SetTextId(plain, "count", {"3", "five"});
    EXPECT_EQ(plain->text(), "3 left of five");
}

TEST_F(SkinTest, ABrokenLanguageFileKeepsTheLanguageInUse) {
    Write(Path("lan_sn.xml"), "<language name=\"cn_tw\"><text id=\"hello\">broken");
    SkinUi skin(dir.path());
    ASSERT_TRUE(skin.SetLanguage("en", "lan_en.xml"));
    EXPECT_FALSE(skin.SetLanguage("cn_tw", "lan_sn.xml"));
    EXPECT_FALSE(skin.SetLanguage("cn_tw", "no_such_file.xml"));
    Write(Path("lan_x.xml"), "<texts/>");
    EXPECT_FALSE(skin.SetLanguage("x", "lan_x.xml"));
    EXPECT_EQ(skin.LanguageName(), "en");
    EXPECT_EQ(skin.TextOrId("hello"), "Hello");
}

TEST_F(SkinTest, ABrokenOrMissingResourceIndexIsReported) {
    Write(Path("res.xml"), "<res><layout id=\"XML_MAIN\" file=\"main.xml\"");
    SkinUi broken(dir.path());
    EXPECT_FALSE(broken.LoadResources());
    QTemporaryDir empty;
    SkinUi none(empty.path());
    EXPECT_FALSE(none.LoadResources());
    EXPECT_EQ(none.Load("XML_MAIN"), nullptr);
    EXPECT_FALSE(none.Faults().isEmpty());
}

TEST_F(SkinTest, PicturesAndStyleSheetUrlsResolveAgainstTheSkin) {
    Write(Path("images/common/background.png"), "png");
    Write(Path("elsewhere.png"), "png");
    Write(Path("style.qss"),
          "QWidget#a { border-image: url(images/common/background.png); }\n"
          "QWidget#b { image: url('images/x.svg'); }\n"
          "QWidget#c { image: url(\"/abs/y.svg\"); }\n");
    SkinUi skin(dir.path());
    EXPECT_EQ(skin.ResolveImage("common/background.png"), Path("images/common/background.png"));
    EXPECT_EQ(skin.ResolveImage("elsewhere.png"), Path("elsewhere.png"));
    EXPECT_EQ(skin.ResolveImage(Path("elsewhere.png")), Path("elsewhere.png"));
    EXPECT_EQ(skin.ResolveImage("nothing.png"), QString());
    EXPECT_EQ(skin.ResolveImage("/no/such/file.png"), QString());
    const QString sheet = skin.StyleSheet();
    EXPECT_TRUE(sheet.contains("url(\"" + Path("images/common/background.png") + "\")"));
    EXPECT_TRUE(sheet.contains("url(\"" + Path("images/x.svg") + "\")"));
    EXPECT_TRUE(sheet.contains("url(\"/abs/y.svg\")"));
}

TEST(FormatText, FillsItsPlacesInTurnAndLeavesTheRest) {
    EXPECT_EQ(app::FormatText("remove %d actions", {"7"}), "remove 7 actions");
    EXPECT_EQ(app::FormatText("%d of %s, %d", {"1", "two"}), "1 of two, %d");
    EXPECT_EQ(app::FormatText("100% sure", {"x"}), "100% sure");
    EXPECT_EQ(app::FormatText("%d", {}), "%d");
}

TEST(LanguageChoice, ZeroIsEnglishOneSimplifiedAnythingElseTraditional) {
    EXPECT_EQ(app::LanguageForSetting(0).name, "en");
    EXPECT_EQ(app::LanguageForSetting(0).file, "lan_en.xml");
    EXPECT_EQ(app::LanguageForSetting(1).name, "cn_zh");
    EXPECT_EQ(app::LanguageForSetting(1).file, "lan_cn.xml");
    for (int other : {2, -1, 2020}) {
        EXPECT_EQ(app::LanguageForSetting(other).name, "cn_tw");
        EXPECT_EQ(app::LanguageForSetting(other).file, "lan_sn.xml");
    }
}

}  // namespace
}  // namespace vq::test
