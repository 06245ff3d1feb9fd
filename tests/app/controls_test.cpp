// The custom controls: packing of the preview colours, repainting only on change, the palette's
// picks, the ring and chart geometry, a hosted window following its placeholder, and the colour
// and picture helpers the pages use.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "app/controls/chart_view.h"
#include "app/controls/circle_progress.h"
#include "app/controls/color_palette.h"
#include "app/controls/device_key_button.h"
#include "app/controls/led_preview.h"
#include "app/controls/skin_image.h"
#include "app/controls/wnd_ui.h"
#include "app/skin_ui.h"

namespace vq::app {
namespace {

// Lets queued paints run.
void Settle(QWidget* w) {
    QApplication::processEvents();
    w->repaint();
    QApplication::processEvents();
}

TEST(LedPreview, UnpacksTheLightThreadsColourPacking) {
    CLedPreviewUI led;
    // red | blue << 8 | green << 16
    led.SetChangerColor(0x10u | (0x30u << 8) | (0x20u << 16));
    EXPECT_EQ(led.Color(), qRgb(0x10, 0x20, 0x30));
    led.SetChangerAlpha(300);
    EXPECT_EQ(led.Alpha(), 255);
    led.SetChangerAlpha(-4);
    EXPECT_EQ(led.Alpha(), 0);
    led.SetShape(QStringLiteral("BAR"));
    EXPECT_EQ(led.Shape(), QStringLiteral("bar"));
    led.SetShape(QStringLiteral("nonsense"));
    EXPECT_EQ(led.Shape(), QStringLiteral("ellipse"));
}

TEST(LedPreview, RepaintsOnlyWhenWhatItShowsChanges) {
    CLedPreviewUI led;
    led.resize(14, 14);
    led.show();
    led.SetIsChangerColor(true);
    led.SetLed(qRgb(255, 0, 0), 200);
    Settle(&led);
    const int before = led.PaintCount();
    // The light thread sets the same values again and again: no paint.
    for (int i = 0; i < 50; ++i) {
        led.SetChangerColor(0xFFu);
        led.SetChangerAlpha(200);
    }
    QApplication::processEvents();
    EXPECT_EQ(led.PaintCount(), before);
    led.SetChangerAlpha(100);
    QApplication::processEvents();
    EXPECT_GT(led.PaintCount(), before);
}

// A preview sets its LEDs many times a second: a look (shape, size, colour and opacity told
// apart to 5 bits) is drawn once and shared, and a change the eye cannot tell is kept but not
// painted.
TEST(LedPreview, OneLookIsDrawnOnceAndSmallStepsAreNotPainted) {
    CLedPreviewUI a;
    CLedPreviewUI b;
    for (CLedPreviewUI* led : {&a, &b}) {
        led->resize(14, 14);
        led->SetIsChangerColor(true);
        led->show();
    }
    a.SetLed(qRgb(10, 200, 30), 180);
    Settle(&a);
    const long long made = CLedPreviewUI::LooksMade();
    b.SetLed(qRgb(12, 201, 28), 182);  // the same look
    Settle(&b);
    EXPECT_EQ(CLedPreviewUI::LooksMade(), made);
    EXPECT_EQ(a.grab().toImage(), b.grab().toImage());

    const int paints = b.PaintCount();
    b.SetLed(qRgb(13, 202, 29), 183);
    QApplication::processEvents();
    EXPECT_EQ(b.PaintCount(), paints);
    EXPECT_EQ(b.Color(), qRgb(13, 202, 29));  // kept as given
    EXPECT_EQ(b.Alpha(), 183);
    b.SetLed(qRgb(40, 202, 29), 183);
    QApplication::processEvents();
    EXPECT_GT(b.PaintCount(), paints);
    EXPECT_EQ(CLedPreviewUI::LooksMade(), made + 1);
    EXPECT_NE(a.grab().toImage(), b.grab().toImage());
    // Off: the unlit socket, whatever the colour.
    b.SetChangerAlpha(0);
    a.SetIsChangerColor(false);
    EXPECT_EQ(a.grab().toImage(), b.grab().toImage());
}

TEST(LedPreview, ColourChangesWhileSwitchedOffDoNotRepaint) {
    CLedPreviewUI led;
    led.resize(14, 14);
    led.show();
    Settle(&led);
    const int before = led.PaintCount();
    led.SetLed(qRgb(0, 255, 0), 255);
    QApplication::processEvents();
    EXPECT_EQ(led.PaintCount(), before);
    // Switching on shows the colour set meanwhile.
    led.SetIsChangerColor(true);
    QApplication::processEvents();
    EXPECT_GT(led.PaintCount(), before);
    EXPECT_EQ(led.Color(), qRgb(0, 255, 0));
}

TEST(DeviceKeyButton, TintAndKeySetMarkerRepaintOnlyOnChange) {
    CDeviceKeyButtonUI key;
    EXPECT_EQ(key.LightTintColor(), 255u);
    EXPECT_EQ(key.LightTintAlpha(), 200);
    EXPECT_FALSE(key.LightShown());
    EXPECT_TRUE(key.KeySetHidden());
    key.resize(27, 27);
    key.show();
    Settle(&key);
    int before = key.PaintCount();
    key.SetKeySetHidden(true);
    // A tint change while the light is not shown draws nothing new.
    key.SetLightTint(0x00FF00, 120, false);
    QApplication::processEvents();
    EXPECT_EQ(key.PaintCount(), before);
    key.SetKeySetHidden(false);
    QApplication::processEvents();
    EXPECT_GT(key.PaintCount(), before);
    key.SetLightTint(0x00FF00, 120, true);
    QApplication::processEvents();
    before = key.PaintCount();
    key.SetLightTint(0x00FF00, 120, true);
    QApplication::processEvents();
    EXPECT_EQ(key.PaintCount(), before);
    key.SetLightTint(0x0000FF, 120, true);
    QApplication::processEvents();
    EXPECT_GT(key.PaintCount(), before);
}

TEST(DeviceKeyButton, TakesItsAttributesAsPropertiesFromALayout) {
    CDeviceKeyButtonUI key;
    // The layout loader sets attributes by name.
    EXPECT_TRUE(key.setProperty("lightimage", QStringLiteral("file='kb/key_light.png'")));
    EXPECT_TRUE(key.setProperty("keysetimage", QStringLiteral("file='kb/key_set.png'")));
    EXPECT_EQ(key.LightImage(), QStringLiteral("file='kb/key_light.png'"));
    EXPECT_EQ(key.KeySetImage(), QStringLiteral("file='kb/key_set.png'"));
    // A colour with or without "#" is accepted; anything else is ignored.
    key.setProperty("gmnametextcolor", QStringLiteral("#FF00AA"));
    EXPECT_EQ(key.NameTextColor(), QStringLiteral("#FF00AA"));
    key.setProperty("gmnametextcolor", QStringLiteral("00ff00"));
    EXPECT_EQ(key.NameTextColor(), QStringLiteral("00ff00"));
    key.setProperty("gmnametextcolor", QStringLiteral("green"));
    EXPECT_EQ(key.NameTextColor(), QStringLiteral("00ff00"));
    // Painting with pictures that cannot be found does not fail.
    key.resize(30, 30);
    key.show();
    Settle(&key);
    key.SetLightTint(0xFF, 255, true);
    key.SetKeySetHidden(false);
    Settle(&key);
    EXPECT_GT(key.PaintCount(), 0);
}

TEST(ColorPalette, SettingFromCodeKeepsTheExactColourAndEmitsNothing) {
    ColorPalette palette;
    palette.resize(196, 118);
    QSignalSpy spy(&palette, &ColorPalette::colorChanged);
    for (QRgb c : {0xFF00FF00u, 0xFF000000u, 0xFFFDFDFCu, 0xFF1B48A3u, 0xFF808080u}) {
        palette.SetSelectColor(c);
        EXPECT_EQ(palette.SelectColor(), c);
    }
    // An alpha other than opaque is made opaque.
    palette.SetSelectColor(0x12345678u);
    EXPECT_EQ(palette.SelectColor(), 0xFF345678u);
    EXPECT_EQ(spy.count(), 0);
}

TEST(ColorPalette, ClicksAndKeysPickAndReportAColour) {
    ColorPalette palette;
    palette.resize(200, 120);
    palette.SetSelectColor(0xFFFFFFFFu);  // full brightness
    palette.show();
    QApplication::processEvents();
    QSignalSpy spy(&palette, &ColorPalette::colorChanged);
    // The field's left top corner is a saturated red. (QTest takes the point (0, 0) for the
    // widget's centre, so the corner is clicked one pixel in.)
    QTest::mouseClick(&palette, Qt::LeftButton, Qt::NoModifier, QPoint(1, 1));
    ASSERT_EQ(spy.count(), 1);
    const QRgb red = spy.at(0).at(0).value<QRgb>();
    EXPECT_EQ(red, palette.SelectColor());
    EXPECT_EQ(qRed(red), 255);
    EXPECT_LT(qGreen(red), 16);
    EXPECT_LT(qBlue(red), 16);
    // The bar's left end is (nearly) black, whatever the hue.
    QTest::mouseClick(&palette, Qt::LeftButton, Qt::NoModifier, QPoint(1, 115));
    ASSERT_EQ(spy.count(), 2);
    EXPECT_LE(qRed(palette.SelectColor()), 2);
    EXPECT_EQ(qGreen(palette.SelectColor()), 0);
    EXPECT_EQ(qBlue(palette.SelectColor()), 0);
    // Brightening from black keeps the hue picked before.
    QTest::keyClick(&palette, Qt::Key_PageUp);
    ASSERT_EQ(spy.count(), 3);
    EXPECT_GT(qRed(palette.SelectColor()), 0);
    EXPECT_EQ(qGreen(palette.SelectColor()), 0);
}

TEST(CircleProgress, SweepFollowsTheValueWithinTheRange) {
    CCircleProgressUI ring;
    ring.setRange(0, 100);
    ring.setValue(50);
    EXPECT_DOUBLE_EQ(ring.SweepDegrees(), 180.0);
    ring.setValue(100);
    EXPECT_DOUBLE_EQ(ring.SweepDegrees(), 360.0);
    ring.setRange(20, 60);
    ring.setValue(30);
    EXPECT_DOUBLE_EQ(ring.SweepDegrees(), 90.0);
    // An empty range draws no pie instead of dividing by zero.
    ring.setRange(5, 5);
    EXPECT_DOUBLE_EQ(ring.SweepDegrees(), 0.0);
    ring.resize(48, 48);
    ring.show();
    Settle(&ring);
}

TEST(ChartView, PieSpansShareOneTurnByValue) {
    CChartViewUI chart;
    EXPECT_EQ(chart.ChartKind(), CChartViewUI::Kind::Pie);
    chart.Add(QStringLiteral("a"), 1);
    chart.Add(QStringLiteral("b"), 3);
    chart.Add(QStringLiteral("c"), -2);  // nothing for a negative value
    const std::vector<double> spans = chart.PieSpans();
    ASSERT_EQ(spans.size(), 3u);
    EXPECT_DOUBLE_EQ(spans[0], 90.0);
    EXPECT_DOUBLE_EQ(spans[1], 270.0);
    EXPECT_DOUBLE_EQ(spans[2], 0.0);
    chart.SetView(QStringLiteral("histpgram"));
    EXPECT_EQ(chart.ChartKind(), CChartViewUI::Kind::Bars);
    chart.SetView(QStringLiteral("donut"));  // unknown: the kind stays
    EXPECT_EQ(chart.ChartKind(), CChartViewUI::Kind::Bars);
    chart.resize(200, 120);
    chart.show();
    Settle(&chart);
    chart.Clear();
    EXPECT_TRUE(chart.PieSpans().empty());
}

TEST(WndUi, HostedWindowFollowsThePlaceholder) {
    QWidget top;
    top.resize(300, 200);
    auto* holder = new QWidget(&top);
    holder->setGeometry(10, 10, 200, 150);
    auto* placeholder = new CWndUI(holder);
    placeholder->setGeometry(20, 30, 100, 50);
    auto* hosted = new QLabel(QStringLiteral("hosted"), &top);
    placeholder->Attach(hosted);
    top.show();
    QApplication::processEvents();
    EXPECT_EQ(hosted->geometry(), QRect(30, 40, 100, 50));
    EXPECT_TRUE(hosted->isVisible());
    placeholder->move(40, 60);
    EXPECT_EQ(hosted->geometry().topLeft(), QPoint(50, 70));
    // Hidden through a hidden parent: the hosted window hides too, and comes back with it.
    holder->hide();
    EXPECT_FALSE(hosted->isVisible());
    holder->show();
    QApplication::processEvents();
    EXPECT_TRUE(hosted->isVisible());
    // Released: it no longer follows.
    placeholder->Attach(nullptr);
    placeholder->move(0, 0);
    EXPECT_EQ(hosted->geometry().topLeft(), QPoint(50, 70));
}

TEST(SkinImage, ImageStringsNameTheirFile) {
    EXPECT_EQ(ImageStringFile(QStringLiteral("file='ms/key_left_normal.png'")),
              QStringLiteral("ms/key_left_normal.png"));
    EXPECT_EQ(ImageStringFile(QStringLiteral("file = 'a/b.png' corner='2,2,2,2'")),
              QStringLiteral("a/b.png"));
    EXPECT_EQ(ImageStringFile(QStringLiteral("  common/unuse.png ")),
              QStringLiteral("common/unuse.png"));
    EXPECT_EQ(ImageStringFile(QStringLiteral("corner='2,2,2,2'")), QString());
    EXPECT_EQ(ImageStringFile(QString()), QString());
}

TEST(SkinImage, PngNamesFallBackToTheSvgSource) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QDir(dir.path()).mkpath(QStringLiteral("ms"));
    QFile svg(dir.filePath(QStringLiteral("ms/dot.svg")));
    ASSERT_TRUE(svg.open(QIODevice::WriteOnly));
    svg.write(
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"8\" height=\"8\">"
        "<circle cx=\"4\" cy=\"4\" r=\"4\" fill=\"#f00\"/></svg>");
    svg.close();
    SkinUi skin(dir.path());
    ASSERT_EQ(SkinUi::Current(), &skin);
    EXPECT_EQ(ResolveSkinImage(QStringLiteral("ms/dot.png")),
              QFileInfo(dir.filePath(QStringLiteral("ms/dot.svg"))).absoluteFilePath());
    EXPECT_TRUE(ResolveSkinImage(QStringLiteral("ms/none.png")).isEmpty());
    QLabel label;
    SetBkImage(&label, QStringLiteral("file='ms/dot.png'"));
    EXPECT_FALSE(label.pixmap().isNull());
    EXPECT_EQ(BkImage(&label), QStringLiteral("file='ms/dot.png'"));
    // A picture that is missing clears the label instead of keeping a stale one.
    SetBkImage(&label, QStringLiteral("file='ms/none.png'"));
    EXPECT_TRUE(label.pixmap().isNull());
}

TEST(SkinImage, BackgroundColourKeepsTheRestOfTheControlsStyle) {
    QPushButton swatch;
    swatch.setStyleSheet(QStringLiteral("background-color: #ff0000; border-radius: 4px;"));
    // Before any set, the colour is read from the style the layout gave.
    EXPECT_EQ(BkColor(&swatch), 0xFFFF0000u);
    SetBkColor(&swatch, 0xFF00F6FFu);
    EXPECT_EQ(BkColor(&swatch), 0xFF00F6FFu);
    EXPECT_TRUE(swatch.styleSheet().contains(QStringLiteral("border-radius: 4px")));
    EXPECT_EQ(swatch.styleSheet().count(QStringLiteral("background-color")), 1);
    // A control without any style gets one.
    QPushButton plain;
    EXPECT_EQ(BkColor(&plain), 0u);
    SetBkColor(&plain, 0x80102030u);
    EXPECT_EQ(BkColor(&plain), 0x80102030u);
    EXPECT_TRUE(plain.styleSheet().contains(QStringLiteral("rgba(16, 32, 48, 128)")));
}

}  // namespace
}  // namespace vq::app
