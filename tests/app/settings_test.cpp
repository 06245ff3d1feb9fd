// The program's own settings: the language with the installer's hint, the background picture,
// the skin window and the tray menu's commands.

#include <QDir>
#include <QFile>
#include <QMenu>
#include <QStackedWidget>

#include "app/skin_frame.h"
#include "app_fixture.h"
#include "core/util/atomic_file.h"

namespace vq::test {
namespace {

using app::CMainWnd;
using app::CSkinFrame;

class SettingsTest : public WindowTest {
  protected:
    void WriteMainIni(const std::string& text) {
        ASSERT_TRUE(OnDisk([&] { return WriteFileAtomic(MainIni(), text); }));
    }
    std::string MainIniText() {
        const FileBytes file = OnDisk([&] { return ReadWholeFile(MainIni()); });
        return std::string(file.bytes.begin(), file.bytes.end());
    }
    int Ini(const char* key) {
        return OnDisk([&] { return ReadIniInt(MainIni(), "SKINIMAGE", key, -99); });
    }
    std::string IniText(const char* key) {
        return OnDisk([&] { return ReadIniString(MainIni(), "SKINIMAGE", key, "(none)"); });
    }
    QStringList MenuNames(QMenu* menu) {
        QStringList names;
        for (QAction* action : menu->actions())
            names << action->objectName();
        return names;
    }
    QString SkinPath(const QString& file) { return QDir(VQ_SKIN_DIR).filePath(file); }
    CSkinFrame* OpenSkinFrame(CMainWnd& w) {
        w.Control<QAbstractButton>("skinbtn")->click();
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* frame = qobject_cast<CSkinFrame*>(top); frame && frame->isVisible())
                return frame;
        return nullptr;
    }
};

TEST_F(SettingsTest, LanguageTwoIsTraditionalChineseAndTheExitItemHasNoText) {
    WriteMainIni("[SKINIMAGE]\r\nLANGUAGE=2\r\n");
    CMainWnd& w = StartWindow();
    EXPECT_EQ(w.Ui().LanguageName(), "cn_tw");
    EXPECT_EQ(w.Ui().LanguageFile(), "lan_sn.xml");
    QMenu* menu = w.RebuildTrayMenu();
    ASSERT_FALSE(menu->actions().isEmpty());
    EXPECT_EQ(menu->actions()[0]->objectName(), "exit");
    EXPECT_EQ(menu->actions()[0]->text(), "");
    // Then the skin's items in their order.
    EXPECT_EQ(MenuNames(menu), (QStringList{"exit", "lan_en", "lan_cn", "About_setting"}));
}

TEST_F(SettingsTest, TheExitItemSpeaksEnglishOrSimplifiedChinese) {
    CMainWnd& w = StartWindow();  // no main.ini: English
    EXPECT_EQ(w.Ui().LanguageName(), "en");
    EXPECT_EQ(w.RebuildTrayMenu()->actions()[0]->text(), "Close");
    WriteMainIni("[SKINIMAGE]\r\nLANGUAGE=1\r\n");
    // The menu reads the setting each time it opens; rebuilding replaces the old items.
    QMenu* menu = w.RebuildTrayMenu();
    EXPECT_EQ(menu->actions()[0]->text(), "关闭");
    EXPECT_EQ(menu->actions().size(), 4);
}

TEST_F(SettingsTest, WithoutAnInstallerHintMainIniIsLeftAsItWas) {
    const std::string before =
        "; kept as written\r\n[SKINIMAGE]\r\nLANGUAGE=1\r\nFLAGS=0\r\n[OTHER]\r\nX=y\r\n";
    WriteMainIni(before);
    CMainWnd& w = StartWindow();
    EXPECT_EQ(MainIniText(), before);
    EXPECT_EQ(w.Ui().LanguageName(), "cn_zh");
    EXPECT_TRUE(hintWrites.empty());
}

TEST_F(SettingsTest, TheInstallerHintSetsTheLanguageOfMainIni) {
    struct Case {
        const char* hint;
        const char* before;
        int language;
        const char* name;
    };
    for (const Case& c : {Case{"2020", "0", 1, "cn_zh"}, Case{"1010", "1", 0, "en"},
                          Case{"something else", "2", 0, "en"}, Case{"2020", "", 1, "cn_zh"}}) {
        SCOPED_TRACE(c.hint);
        window.reset();
        WriteMainIni(std::string("[SKINIMAGE]\r\nLANGUAGE=") + c.before + "\r\n");
        hint = c.hint;
        CMainWnd& w = StartWindow();
        EXPECT_EQ(Ini("LANGUAGE"), c.language);
        EXPECT_EQ(w.Ui().LanguageName(), c.name);
    }
}

TEST_F(SettingsTest, ASavedBackgroundPictureIsTheRootsBackgroundAtStart) {
    WriteMainIni("[SKINIMAGE]\r\nFLAGS=1\r\nIMAGE=skins/aurora.png\r\n");
    CMainWnd& w = StartWindow();
    EXPECT_EQ(w.RootImage(), SkinPath("images/skins/aurora.png"));
    EXPECT_TRUE(w.Root()->styleSheet().contains("skins/aurora.png"));
    EXPECT_EQ(w.RootColor(), 0u);
    // FLAGS 0: the skin's own background, whatever IMAGE says.
    window.reset();
    WriteMainIni("[SKINIMAGE]\r\nFLAGS=0\r\nIMAGE=skins/aurora.png\r\n");
    EXPECT_EQ(StartWindow().RootImage(), "");
    EXPECT_EQ(window->Root()->styleSheet(), "");
    // A picture that is not there leaves the root without one.
    window.reset();
    WriteMainIni("[SKINIMAGE]\r\nFLAGS=1\r\nIMAGE=skins/gone.png\r\n");
    EXPECT_EQ(StartWindow().RootImage(), "");
}

TEST_F(SettingsTest, TheSkinWindowChangesTheBackgroundAndKeepsOnlyPictures) {
    CMainWnd& w = StartWindow();
    CSkinFrame* frame = OpenSkinFrame(w);
    ASSERT_NE(frame, nullptr);
    // Below the skin button, right edges aligned.
    auto* skinbtn = w.Control<QAbstractButton>("skinbtn");
    const QPoint corner = skinbtn->mapToGlobal(QPoint(skinbtn->width(), skinbtn->height()));
    EXPECT_EQ(frame->geometry().right() + 1, corner.x());
    EXPECT_EQ(frame->geometry().top(), corner.y());

    const auto images = frame->findChildren<QAbstractButton*>("skin_image_btn");
    ASSERT_GE(images.size(), 2);
    const QString picture = images[1]->property("userdata").toString();
    images[1]->click();
    EXPECT_EQ(Ini("FLAGS"), 1);
    EXPECT_EQ(IniText("IMAGE"), picture.toStdString());
    EXPECT_EQ(w.RootImage(), w.Ui().ResolveImage(picture));
    EXPECT_FALSE(w.RootImage().isEmpty());

    // A colour: shown, not kept.
    const auto colours = frame->findChildren<QAbstractButton*>("skin_color_btn");
    ASSERT_FALSE(colours.isEmpty());
    const std::string iniBefore = MainIniText();
    colours[0]->click();
    EXPECT_EQ(w.RootColor(), QColor(colours[0]->property("bkcolor").toString()).rgba());
    EXPECT_EQ(w.RootImage(), "");
    EXPECT_EQ(MainIniText(), iniBefore);

    // The tab buttons switch the pages.
    auto* tab = frame->findChild<QStackedWidget*>("skin_tab");
    frame->findChild<QAbstractButton*>("skin_color")->click();
    EXPECT_EQ(tab->currentIndex(), 1);
    frame->findChild<QAbstractButton*>("skin_image")->click();
    EXPECT_EQ(tab->currentIndex(), 0);

    // After a restart the colour is forgotten and the kept picture applies again.
    window.reset();
    CMainWnd& again = StartWindow();
    EXPECT_EQ(again.RootImage(), again.Ui().ResolveImage(picture));
    EXPECT_EQ(again.RootColor(), 0u);
}

TEST_F(SettingsTest, ResetKeepsTheSkinsOwnPictureAndTurnsTheSavedOneOff) {
    WriteMainIni("[SKINIMAGE]\r\nFLAGS=1\r\nIMAGE=skins/ember.png\r\n");
    CMainWnd& w = StartWindow();
    CSkinFrame* frame = OpenSkinFrame(w);
    ASSERT_NE(frame, nullptr);
    frame->findChild<QAbstractButton*>("skin_reset")->click();
    EXPECT_EQ(Ini("FLAGS"), 0);
    EXPECT_EQ(IniText("IMAGE"), "common/background.png");
    EXPECT_EQ(w.RootImage(), SkinPath("images/common/background.png"));
    window.reset();
    EXPECT_EQ(StartWindow().RootImage(), "");  // FLAGS 0: the skin's own background
}

TEST_F(SettingsTest, AChosenPictureLastsUntilTheProgramEndsAndCancellingChangesNothing) {
    CMainWnd& w = StartWindow();
    QTemporaryDir pictures;
    const QString own = pictures.filePath("mine.png");
    QFile::copy(SkinPath("images/skins/carbon.png"), own);
    QString choice;
    CSkinFrame::SetFileChooser([&](QWidget*) { return choice; });
    const std::string iniBefore = MainIniText();
    CSkinFrame* frame = OpenSkinFrame(w);
    ASSERT_NE(frame, nullptr);
    frame->findChild<QAbstractButton*>("skin_Custom")->click();  // cancelled
    EXPECT_EQ(w.RootImage(), "");
    choice = own;
    frame = OpenSkinFrame(w);
    ASSERT_NE(frame, nullptr);
    frame->findChild<QAbstractButton*>("skin_Custom")->click();
    EXPECT_EQ(w.RootImage(), own);
    EXPECT_EQ(MainIniText(), iniBefore);
    CSkinFrame::SetFileChooser(nullptr);
}

TEST_F(SettingsTest, LanguageItemsSwitchEveryTextSaveTheChoiceAndTellTheInstallerHint) {
    CMainWnd& w = StartWindow();
    auto* tab = w.Control<QAbstractButton>("ms_tab");
    ASSERT_NE(tab, nullptr);
    const QString id = tab->property("textId").toString();
    ASSERT_FALSE(id.isEmpty());
    const QString english = tab->text();
    w.OnMenuCommand("LAN_CN", "简体中文");
    EXPECT_EQ(w.Ui().LanguageName(), "cn_zh");
    EXPECT_EQ(Ini("LANGUAGE"), 1);
    EXPECT_EQ(tab->text(), w.Ui().TextOrId(id));
    EXPECT_NE(tab->text(), english);
    w.OnMenuCommand("lan_en", "English");
    EXPECT_EQ(w.Ui().LanguageName(), "en");
    EXPECT_EQ(Ini("LANGUAGE"), 0);
    EXPECT_EQ(tab->text(), english);
    EXPECT_EQ(hintWrites, (std::vector<std::string>{"2020", "1010"}));
    // Import and export belong to the profile pages: nothing here, no box.
    w.OnMenuCommand("Menu_Import", "");
    w.OnMenuCommand("Menu_Export", "");
    EXPECT_EQ(app::OpenMessageBoxes(), 0);
}

TEST_F(SettingsTest, AnyOtherMenuItemShowsItsTextAsAMessage) {
    CMainWnd& w = StartWindow();
    QString shownId;
    auto* poll = new QTimer(&w);
    QObject::connect(poll, &QTimer::timeout, [&] {
        for (auto* box : OpenBoxes()) {
            shownId = box->findChild<QLabel*>("MessageText")->property("textId").toString();
            box->findChild<QAbstractButton*>("confirm_btn")->click();
        }
    });
    poll->start(5);
    w.OnMenuCommand("Menu_Help", "message_text_3");
    EXPECT_EQ(shownId, "message_text_3");
}

TEST_F(SettingsTest, TheTextQueryAnswersTitleAndHomeByLanguage) {
    CMainWnd& w = StartWindow();
    EXPECT_EQ(w.GetItemText("titletext"), "Varnhold Quillet");
    EXPECT_EQ(w.GetItemText("HomeText"), "{a}Home Page{/a}");
    EXPECT_EQ(w.GetItemText("message_text_1"), std::nullopt);
    w.SwitchLanguage(1);
    EXPECT_EQ(w.GetItemText("TITLETEXT"), "mouse");
    EXPECT_EQ(w.GetItemText("hometext"), "{a}演示官网{/a}");
    w.SwitchLanguage(2);
    EXPECT_EQ(w.GetItemText("titletext"), "mouse");
}

}  // namespace
}  // namespace vq::test
