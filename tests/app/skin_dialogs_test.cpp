// The About window and the colour palette dialog, built from the real skin and driven by their
// controls' names: placement, the homepage link, results and colours.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <memory>

#include "app/controls/color_palette.h"
#include "app/controls/skin_image.h"
#include "app/dialogs/about_window.h"
#include "app/dialogs/palette_dialog.h"
#include "app/skin_ui.h"

namespace vq::app {
namespace {

class SkinDialogs : public ::testing::Test {
  protected:
    void SetUp() override {
        skin_ = std::make_unique<SkinUi>(QStringLiteral(VQ_BUILT_SKIN_DIR));
        ASSERT_TRUE(skin_->LoadResources());
    }
    void TearDown() override { Ccopyright::SetLinkOpener(nullptr); }

    static void Click(QWidget* dialog, const char* name) {
        auto* button = dialog->findChild<QAbstractButton*>(QString::fromLatin1(name));
        ASSERT_NE(button, nullptr) << name;
        button->click();
    }

    // Runs a modal dialog, doing `steps` once it is open; returns the result of ShowModal.
    static int RunModal(CPalletDialog& dialog, std::function<void()> steps) {
        QTimer::singleShot(0, &dialog, [steps = std::move(steps)]() { steps(); });
        return dialog.ShowModal();
    }

    std::unique_ptr<SkinUi> skin_;
};

TEST(AboutPlacement, FollowsTheMainWindowsEdges) {
    EXPECT_EQ(Ccopyright::PlaceFor(QRect(QPoint(100, 50), QPoint(899, 621))), QPoint(200, 231));
    EXPECT_EQ(Ccopyright::PlaceFor(QRect(0, 0, 800, 572)), QPoint(0, 206));
    // Off the left of the screen: the same rule, as integer arithmetic.
    EXPECT_EQ(Ccopyright::PlaceFor(QRect(-30, 10, 800, 572)), QPoint(-60, 211));
}

TEST_F(SkinDialogs, AboutOpensBesideTheMainWindowAndFollowsItsLink) {
    QWidget mainWindow;
    mainWindow.setWindowFlags(Qt::FramelessWindowHint);
    mainWindow.setGeometry(100, 50, 800, 572);
    mainWindow.show();
    QApplication::processEvents();
    ASSERT_EQ(mainWindow.frameGeometry(), QRect(100, 50, 800, 572));

    QList<QUrl> opened;
    Ccopyright::SetLinkOpener([&opened](const QUrl& url) {
        opened << url;
        return true;
    });
    QPointer<Ccopyright> about = Ccopyright::Open(&mainWindow);
    ASSERT_TRUE(about);
    QApplication::processEvents();
    EXPECT_EQ(about->pos(), QPoint(200, 231));
    EXPECT_TRUE(about->isVisible());
    EXPECT_FALSE(about->isModal());
    EXPECT_EQ(about->windowTitle(), QStringLiteral("关于"));

    Click(about, "NetText");
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened.first(), Ccopyright::Homepage());
    EXPECT_TRUE(about->isVisible()) << "the link leaves the window open";

    // A second request makes a second window.
    QPointer<Ccopyright> second = Ccopyright::Open(&mainWindow);
    EXPECT_NE(second.data(), about.data());
    Click(second, "closebtn");
    QApplication::processEvents();
    EXPECT_TRUE(second.isNull() || !second->isVisible());

    Click(about, "closebtn");
    EXPECT_EQ(about->ClosedWith(), 2);
    // The window deletes itself once closed.
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(about.isNull());
}

TEST_F(SkinDialogs, AboutDragsOnlyByItsCaptionBackground) {
    auto* about = new Ccopyright(QStringLiteral("CopyRight.xml"), 0);
    about->show();
    QApplication::processEvents();
    auto* close = about->findChild<QWidget*>(QStringLiteral("closebtn"));
    ASSERT_NE(close, nullptr);
    const QPoint onClose = close->mapTo(about, close->rect().center());
    const QPoint before = about->pos();
    // Pressing the close button's place does not start a drag (the button takes the press).
    QTest::mousePress(about, Qt::LeftButton, Qt::NoModifier, onClose);
    QTest::mouseRelease(about, Qt::LeftButton, Qt::NoModifier, onClose);
    EXPECT_EQ(about->pos(), before);
    about->close();
}

TEST(PaletteDialog, PresetNamesAndPlacement) {
    EXPECT_EQ(CPalletDialog::PresetOfControl(QStringLiteral("ms_dpi_color_png_21")), 21);
    EXPECT_EQ(CPalletDialog::PresetOfControl(QStringLiteral("MS_DPI_COLOR_PNG_0")), 0);
    EXPECT_EQ(CPalletDialog::PresetOfControl(QStringLiteral("ms_dpi_color_png_29")), 29);
    // Not a preset, or a number the table does not have: ignored, never an index past it.
    EXPECT_FALSE(CPalletDialog::PresetOfControl(QStringLiteral("ms_dpi_color_png_30")));
    EXPECT_FALSE(CPalletDialog::PresetOfControl(QStringLiteral("ms_dpi_color_png_-1")));
    EXPECT_FALSE(CPalletDialog::PresetOfControl(QStringLiteral("ms_dpi_color_png_x")));
    EXPECT_FALSE(CPalletDialog::PresetOfControl(QStringLiteral("ms_dpi_color_png_")));
    EXPECT_FALSE(CPalletDialog::PresetOfControl(QStringLiteral("ms_Deng_color_btn_3")));
    EXPECT_FALSE(CPalletDialog::PresetOfControl(QStringLiteral("okbtn")));
    EXPECT_EQ(kPresetColours[21], 0xFF000000u);
    EXPECT_EQ(CPalletDialog::PlaceForPointer(QPoint(500, 300)), QPoint(480, 320));
}

TEST_F(SkinDialogs, OkAtOnceChoosesTheInitialColour) {
    CPalletDialog dialog(QStringLiteral("GmPalletDialog.xml"), 0xFF00FF00u);
    auto* show = dialog.findChild<QWidget*>(QStringLiteral("color_show_btn"));
    ASSERT_NE(show, nullptr);
    EXPECT_EQ(BkColor(show), 0xFF00FF00u);
    auto* palette = dialog.findChild<ColorPalette*>(QStringLiteral("Pallet"));
    ASSERT_NE(palette, nullptr);
    EXPECT_EQ(palette->SelectColor(), 0xFF00FF00u);
    const int result = RunModal(dialog, [&dialog]() { Click(&dialog, "okbtn"); });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(dialog.GetColor(), 0xFF00FF00u);
}

TEST_F(SkinDialogs, APresetThenOkChoosesThePreset) {
    CPalletDialog dialog(QStringLiteral("GmPalletDialog.xml"), 0xFF00FF00u);
    const int result = RunModal(dialog, [&dialog]() {
        Click(&dialog, "ms_dpi_color_png_21");
        EXPECT_EQ(dialog.ShownColor(), 0xFF000000u);
        EXPECT_EQ(BkColor(dialog.findChild<QWidget*>(QStringLiteral("color_show_btn"))),
                  0xFF000000u);
        Click(&dialog, "okbtn");
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(dialog.GetColor(), 0xFF000000u);
}

TEST_F(SkinDialogs, ClosingKeepsTheCallersColour) {
    for (const char* how : {"closebtn", "escape"}) {
        CPalletDialog dialog(QStringLiteral("GmPalletDialog.xml"), 0xFF123456u);
        const int result = RunModal(dialog, [&dialog, how]() {
            Click(&dialog, "ms_dpi_color_png_3");
            if (QByteArray(how) == "escape") {
                QTest::keyClick(&dialog, Qt::Key_Escape);
            } else {
                Click(&dialog, how);
            }
        });
        EXPECT_EQ(result, 2) << how;
        EXPECT_EQ(dialog.GetColor(), 0xFF123456u) << how;
    }
}

TEST_F(SkinDialogs, APalettePickIsShownAndChosen) {
    CPalletDialog dialog(QStringLiteral("GmPalletDialog.xml"), 0xFF0000FFu);
    const int result = RunModal(dialog, [&dialog]() {
        auto* palette = dialog.findChild<ColorPalette*>(QStringLiteral("Pallet"));
        ASSERT_NE(palette, nullptr);
        // The palette's field, top left: hue 0 at full saturation.
        QTest::mouseClick(palette, Qt::LeftButton, Qt::NoModifier, QPoint(1, 1));
        EXPECT_EQ(dialog.ShownColor(), palette->SelectColor());
        EXPECT_EQ(BkColor(dialog.findChild<QWidget*>(QStringLiteral("color_show_btn"))),
                  palette->SelectColor());
        Click(&dialog, "okbtn");
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(qRed(dialog.GetColor()), 255);
    EXPECT_LT(qBlue(dialog.GetColor()), 8);
}

}  // namespace
}  // namespace vq::app
