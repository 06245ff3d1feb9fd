// The skin against what the program needs of it: every control of the contract present once with
// its kind and items, every layout, picture and text id there; the checker itself finds what a
// damaged skin lacks; the on-screen keyboard and the device pictures agree with the core's tables.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
#include <QWidget>

#include <memory>

#include "app/controls/device_key_button.h"
#include "app/controls/led_preview.h"
#include "app/skin_check.h"
#include "app/skin_ui.h"
#include "core/keyboard/keyboard_layout.h"

namespace vq::app {
namespace {

QString BuiltSkin() {
    return QStringLiteral(VQ_BUILT_SKIN_DIR);
}
QString SourceSkin() {
    return QStringLiteral(VQ_SOURCE_DIR "/skin");
}

QString Joined(const QStringList& lines) {
    return lines.join(QLatin1Char('\n'));
}

bool CopyFolder(const QString& from, const QString& to) {
    QDirIterator it(from, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString target = QDir(to).filePath(QDir(from).relativeFilePath(path));
        QDir().mkpath(QFileInfo(target).absolutePath());
        if (!QFile::copy(path, target)) return false;
    }
    return true;
}

bool Rewrite(const QString& path, const QString& from, const QString& to) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return false;
    QString text = QString::fromUtf8(f.readAll());
    f.close();
    if (!text.contains(from)) return false;
    text.replace(from, to);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    f.write(text.toUtf8());
    return true;
}

TEST(SkinContract, ParsesRangesSetsAndReportsBadLines) {
    QStringList errors;
    const auto needs = ParseControlContract(QStringLiteral("# comment\n"
                                                           "main.xml  ms_profile_{0..4}  button\n"
                                                           "a.xml  x_{R,G,B}_edit  edit\n"
                                                           "a.xml  c  combo  items=@Dpi\n"
                                                           "a.xml  t  tabs  pages=3\n"
                                                           "a.xml  bad  gadget\n"
                                                           "a.xml  bad_{1..}  edit\n"
                                                           "a.xml  bad_{1..2}_{3..4}  edit\n"
                                                           "a.xml  c  combo  items=@NoSuchList\n"
                                                           "a.xml  c  combo  colour=red\n"
                                                           "a.xml  short\n"),
                                            &errors);
    ASSERT_EQ(needs.size(), 10u) << Joined(errors).toStdString();
    EXPECT_EQ(needs[0].name, QStringLiteral("ms_profile_0"));
    EXPECT_EQ(needs[4].name, QStringLiteral("ms_profile_4"));
    EXPECT_EQ(needs[6].name, QStringLiteral("x_G_edit"));
    EXPECT_EQ(needs[8].items, QStringLiteral("@Dpi"));
    EXPECT_EQ(needs[9].pages, 3);
    EXPECT_EQ(errors.size(), 6) << Joined(errors).toStdString();
}

TEST(SkinContract, TheBuiltInContractIsWellFormedAndComplete) {
    QStringList errors;
    const auto needs = ParseControlContract(ControlContractText(), &errors);
    EXPECT_TRUE(errors.isEmpty()) << Joined(errors).toStdString();
    int keys = 0;
    int leds = 0;
    for (const ControlNeed& need : needs) {
        if (need.kind == QLatin1String("keybutton")) ++keys;
        if (need.kind == QLatin1String("led")) ++leds;
    }
    EXPECT_EQ(keys, 126);
    EXPECT_EQ(leds, 20 + 15);
}

TEST(SkinCheck, TheBuiltSkinHasEverythingTheProgramNeeds) {
    const SkinCheckReport report = CheckSkin(BuiltSkin());
    EXPECT_TRUE(report.Ok()) << Joined(report.Lines()).toStdString();
}

TEST(SkinCheck, TheSourceSkinHasEverythingTooWithSvgForRenderedPictures) {
    const SkinCheckReport report = CheckSkin(SourceSkin());
    EXPECT_TRUE(report.Ok()) << Joined(report.Lines()).toStdString();
}

TEST(SkinCheck, FindsWhatADamagedSkinLacks) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(CopyFolder(BuiltSkin(), dir.path()));
    const QDir skin(dir.path());
    // A control renamed, a combo short of an item, a control of the wrong kind, a picture gone,
    // a translation gone, a layout gone.
    ASSERT_TRUE(Rewrite(skin.filePath("Mouse_key.xml"), "name=\"ms_key_3\"", "name=\"ms_key_x\""));
    ASSERT_TRUE(Rewrite(skin.filePath("Mouse_key.xml"), "<string>mouse_key_down_Swing</string>",
                        "<string>down</string>"));
    ASSERT_TRUE(Rewrite(skin.filePath("Mouse_DPI.xml"),
                        "<widget class=\"QCheckBox\" name=\"ms_line_adjust\">",
                        "<widget class=\"QLabel\" name=\"ms_line_adjust\">"));
    QFile::remove(skin.filePath("images/ms/key_dpi_down.png"));
    QFile::remove(skin.filePath("images/ms/key_dpi_down.svg"));
    ASSERT_TRUE(Rewrite(skin.filePath("lan_sn.xml"), "<text id=\"message_text_6\">",
                        "<text id=\"message_text_6_gone\">"));
    ASSERT_TRUE(QFile::remove(skin.filePath("keyboard_deng.xml")));

    const SkinCheckReport report = CheckSkin(dir.path());
    EXPECT_FALSE(report.Ok());
    const QString all = Joined(report.Lines());
    EXPECT_TRUE(all.contains("Mouse_key.xml: ms_key_3 (option)")) << all.toStdString();
    EXPECT_TRUE(all.contains("ms_key_fct_combo_13: has the items")) << all.toStdString();
    EXPECT_TRUE(all.contains("ms_line_adjust: is a label")) << all.toStdString();
    EXPECT_TRUE(all.contains("missing picture: ms/key_dpi_down.png (program)"))
        << all.toStdString();
    EXPECT_TRUE(all.contains("missing text: lan_sn.xml: message_text_6")) << all.toStdString();
    EXPECT_FALSE(all.contains("lan_en.xml: message_text_6")) << all.toStdString();
    EXPECT_TRUE(all.contains("missing layout: keyboard_deng.xml")) << all.toStdString();
    // The page that is gone leaves its controls missing from the main window.
    EXPECT_TRUE(all.contains("main.xml: kb_deng_layout found 0 times")) << all.toStdString();
}

TEST(SkinCheck, AFolderThatIsNoSkinIsReported) {
    const SkinCheckReport report = CheckSkin(QStringLiteral("/nonexistent/skin"));
    EXPECT_FALSE(report.Ok());
    EXPECT_EQ(report.missingLayouts.size(), 1);
}

TEST(SkinCheck, ListingNamesEveryControlWithItsKind) {
    QStringList faults;
    const QStringList lines = ListControls(BuiltSkin(), &faults);
    EXPECT_TRUE(faults.isEmpty()) << Joined(faults).toStdString();
    EXPECT_TRUE(
        lines.contains(QStringLiteral("main.xml  kb_key_17  keybutton  vq::app::"
                                      "CDeviceKeyButtonUI")));
    EXPECT_TRUE(
        lines.contains(QStringLiteral("main.xml  ms_dkey_19  led  vq::app::CLedPreviewUI")));
    EXPECT_TRUE(
        lines.contains(QStringLiteral("GmPalletDialog.xml  Pallet  palette  "
                                      "vq::app::ColorPalette")));
    EXPECT_TRUE(lines.contains(QStringLiteral("main.xml  ms_line_adjust  check  QCheckBox")));
}

TEST(SkinTools, QuilletChecksAndListsASkinFolder) {
    QProcess check;
    check.start(QStringLiteral(VQ_QUILLET), {QStringLiteral("--check-skin"), BuiltSkin()});
    ASSERT_TRUE(check.waitForFinished(60000));
    EXPECT_EQ(check.exitCode(), 0) << check.readAllStandardOutput().toStdString();

    QTemporaryDir broken;
    ASSERT_TRUE(broken.isValid());
    ASSERT_TRUE(CopyFolder(BuiltSkin(), broken.path()));
    ASSERT_TRUE(QFile::remove(QDir(broken.path()).filePath(QStringLiteral("CopyRight.xml"))));
    check.start(QStringLiteral(VQ_QUILLET), {QStringLiteral("--check-skin"), broken.path()});
    ASSERT_TRUE(check.waitForFinished(60000));
    EXPECT_EQ(check.exitCode(), 1);
    EXPECT_TRUE(check.readAllStandardOutput().contains("missing layout: CopyRight.xml"));

    QProcess list;
    list.start(QStringLiteral(VQ_QUILLET),
               {QStringLiteral("--skin"), BuiltSkin(), QStringLiteral("--list-controls")});
    ASSERT_TRUE(list.waitForFinished(60000));
    EXPECT_EQ(list.exitCode(), 0);
    const QString out = QString::fromUtf8(list.readAllStandardOutput());
    EXPECT_TRUE(out.contains(QStringLiteral("main.xml  ms_key_3  option  QPushButton")));
    EXPECT_TRUE(out.contains(QStringLiteral("CopyRight.xml  NetText  button  QPushButton")));
}

class PageLayout : public ::testing::Test {
  protected:
    void SetUp() override {
        skin_ = std::make_unique<SkinUi>(BuiltSkin());
        ASSERT_TRUE(skin_->LoadResources());
        ASSERT_TRUE(skin_->SetLanguage(QStringLiteral("en"), QStringLiteral("lan_en.xml")));
        skin_->ApplyToApplication();
    }
    void TearDown() override { qApp->setStyleSheet(QString()); }
    std::unique_ptr<QWidget> Load(const QString& file) {
        return std::unique_ptr<QWidget>(skin_->Load(file));
    }
    std::unique_ptr<SkinUi> skin_;
};

TEST_F(PageLayout, KeyboardShowsExactlyTheKeysThatHaveLights) {
    auto page = Load(QStringLiteral("keyboard_key.xml"));
    ASSERT_TRUE(page);
    QRect board;
    if (auto* b = page->findChild<QWidget*>(QStringLiteral("kb_keyboard_board"))) {
        board = QRect(QPoint(0, 0), b->minimumSize());
    }
    std::vector<QRect> shown;
    for (int b = 0; b < kKeyboardButtons; ++b) {
        auto* key = page->findChild<CDeviceKeyButtonUI*>(QStringLiteral("kb_key_%1").arg(b));
        ASSERT_NE(key, nullptr) << b;
        const bool hasLed = ButtonLed(b) != kNoKey;
        EXPECT_EQ(!key->isHidden(), hasLed) << "kb_key_" << b;
        if (key->isHidden()) continue;
        EXPECT_FALSE(IsButtonGap(b)) << b;
        EXPECT_TRUE(board.contains(key->geometry())) << b;
        for (const QRect& other : shown) {
            EXPECT_FALSE(other.intersects(key->geometry())) << "kb_key_" << b << " overlaps";
        }
        shown.push_back(key->geometry());
    }
    EXPECT_EQ(shown.size(), 104u);
}

TEST_F(PageLayout, LightSpotsLieOnTheirDevicePictures) {
    struct Case {
        const char* file;
        const char* picture;
        const char* prefix;
        int count;
    };
    for (const Case& c : {Case{"Mouse_deng.xml", "ms_deng_mouse_img", "ms_dkey_", 20},
                          Case{"MousePad_deng.xml", "mp_deng_pad_img", "mp_dkey_", 15}}) {
        auto page = Load(QString::fromLatin1(c.file));
        ASSERT_TRUE(page) << c.file;
        auto* picture = page->findChild<QLabel*>(QString::fromLatin1(c.picture));
        ASSERT_NE(picture, nullptr) << c.file;
        EXPECT_FALSE(picture->pixmap().isNull()) << c.file;
        for (int i = 0; i < c.count; ++i) {
            auto* led =
                page->findChild<CLedPreviewUI*>(QString::fromLatin1(c.prefix) + QString::number(i));
            ASSERT_NE(led, nullptr) << c.prefix << i;
            EXPECT_EQ(led->parentWidget(), picture->parentWidget()) << c.prefix << i;
            EXPECT_TRUE(picture->geometry().contains(led->geometry())) << c.prefix << i;
        }
    }
}

TEST_F(PageLayout, PagesFitTheMainWindowInEveryLanguage) {
    // The main window is 800 x 572; its caption, device bar and page bar leave a page of
    // 800 x 432. A page that asks for more is cut off; a longer translation must not make it.
    for (int setting : {0, 1, 2}) {
        const LanguageChoice language = LanguageForSetting(setting);
        ASSERT_TRUE(skin_->SetLanguage(language.name, language.file));
        for (const char* file :
             {"Mouse_deng.xml", "Mouse_DPI.xml", "Mouse_key.xml", "Mouse_cursor.xml",
              "Mouse_macro.xml", "keyboard_macro.xml", "MousePad_deng.xml"}) {
            auto page = Load(QString::fromLatin1(file));
            ASSERT_TRUE(page) << file;
            const QSize need = page->minimumSizeHint();
            EXPECT_LE(need.width(), 800) << file << " in " << language.file.toStdString();
            EXPECT_LE(need.height(), 432) << file << " in " << language.file.toStdString();
        }
        auto keys = Load(QStringLiteral("keyboard_key.xml"));
        auto light = Load(QStringLiteral("keyboard_deng.xml"));
        ASSERT_TRUE(keys && light);
        auto* board = keys->findChild<QWidget*>(QStringLiteral("kb_keyboard_board"));
        ASSERT_NE(board, nullptr);
        // The keyboard page shows its key panel or its lighting panel below the keyboard.
        EXPECT_LE(keys->minimumSizeHint().height(), 432) << language.file.toStdString();
        EXPECT_LE(board->minimumHeight() + 12 + light->minimumSizeHint().height(), 432)
            << language.file.toStdString();
        EXPECT_LE(light->minimumSizeHint().width(), 800) << language.file.toStdString();
    }
}

TEST_F(PageLayout, MouseButtonPicturesStartWithTheirNormalImages) {
    auto page = Load(QStringLiteral("Mouse_key.xml"));
    ASSERT_TRUE(page);
    for (int n = 0; n < 8; ++n) {
        auto* picture = page->findChild<QLabel*>(QStringLiteral("ms_key_%1_0").arg(n));
        ASSERT_NE(picture, nullptr) << n;
        EXPECT_FALSE(picture->pixmap().isNull()) << "ms_key_" << n << "_0 shows no picture";
    }
}

}  // namespace
}  // namespace vq::app
