// The on-screen keys and a device picture's LEDs drawn by one surface: the picture is the one the
// keys or LEDs draw themselves, in every state they can be in (lit, pressed, marked, hidden,
// over an opaque picture or over the window); a change reaches the surface; the changes of one
// turn are one paint; and the shared light tints are told apart by size, picture and colour
// step.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QTest>

#include <memory>
#include <vector>

#include "app/controls/device_key_button.h"
#include "app/controls/key_surface.h"
#include "app/controls/key_tints.h"
#include "app/controls/led_preview.h"
#include "app/controls/led_surface.h"

namespace vq::app {
namespace {

void Settle() {
    for (int i = 0; i < 3; ++i)
        QApplication::processEvents();
}

// The largest difference of any component of any pixel (the images have the same size).
int MostDifferent(const QImage& a, const QImage& b) {
    const QImage x = a.convertToFormat(QImage::Format_ARGB32);
    const QImage y = b.convertToFormat(QImage::Format_ARGB32);
    if (x.size() != y.size()) return 256;
    int most = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto* p = reinterpret_cast<const QRgb*>(x.constScanLine(row));
        const auto* q = reinterpret_cast<const QRgb*>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col) {
            most = std::max({most, std::abs(qRed(p[col]) - qRed(q[col])),
                             std::abs(qGreen(p[col]) - qGreen(q[col])),
                             std::abs(qBlue(p[col]) - qBlue(q[col])),
                             std::abs(qAlpha(p[col]) - qAlpha(q[col]))});
        }
    }
    return most;
}

// A small keyboard: a case picture and keys on a board, as the skin builds it.
struct Board {
    // `boardFills`: the board paints its own colour where the case lets it show; otherwise only
    // the window's system background is there, which the surface leaves to the window.
    explicit Board(bool opaqueCase, bool boardFills = true) {
        board.setObjectName(QStringLiteral("board"));
        board.resize(240, 90);
        board.setAutoFillBackground(boardFills);
        QPalette palette = board.palette();
        palette.setColor(QPalette::Window, QColor(200, 40, 160));
        board.setPalette(palette);
        QPixmap casePicture(240, 90);
        casePicture.fill(Qt::transparent);
        {
            QPainter p(&casePicture);
            QLinearGradient shade(0, 0, 0, 90);
            shade.setColorAt(0, QColor(40, 44, 54));
            shade.setColorAt(1, QColor(20, 22, 28));
            // An opaque case covers the keys' area; the other leaves a hole under the second
            // key, where the board shows through.
            p.fillRect(QRect(0, 0, 240, 90), shade);
            if (!opaqueCase) {
                p.setCompositionMode(QPainter::CompositionMode_Clear);
                p.fillRect(QRect(60, 20, 40, 40), Qt::transparent);
            }
        }
        caseLabel = new QLabel(&board);
        caseLabel->setPixmap(casePicture);
        caseLabel->setGeometry(0, 0, 240, 90);
        const char* names[] = {"Esc", "F1", "Tab", "Space"};
        const QRect places[] = {
            {12, 12, 27, 27}, {64, 12, 27, 27}, {12, 48, 40, 27}, {64, 48, 150, 27}};
        for (int i = 0; i < 4; ++i) {
            auto* key = new CDeviceKeyButtonUI(&board);
            key->setText(QString::fromLatin1(names[i]));
            key->setGeometry(places[i]);
            key->setFocusPolicy(Qt::NoFocus);
            keys.push_back(key);
        }
        board.show();
        Settle();
    }
    QImage Picture() {
        Settle();
        return board.grab().toImage();
    }

    QWidget board;
    QLabel* caseLabel = nullptr;
    std::vector<CDeviceKeyButtonUI*> keys;
};

// Lights, a pressed key and a marker: what the preview and the key page put on the keys.
void DressKeys(Board& b) {
    b.keys[0]->SetLightTint(0x0000FF, 255, true);         // red
    b.keys[1]->SetLightTint(0x00FF00 | 0x40, 180, true);  // green with a little red
    b.keys[3]->SetLightTint(0xFF0000, 90, true);          // blue, dim
    b.keys[2]->setDown(true);
    b.keys[1]->SetKeySetHidden(false);
}

TEST(KeySurface, DrawsTheKeysAsTheyDrawThemselves) {
    for (const int variant : {0, 1, 2}) {
        const bool opaqueCase = variant == 0;
        const bool boardFills = variant != 2;
        SCOPED_TRACE(variant == 0   ? "opaque case"
                     : variant == 1 ? "case with a hole to the board"
                                    : "case with a hole to the window");
        Board b(opaqueCase, boardFills);
        DressKeys(b);
        const QImage own = b.Picture();

        CKeySurfaceUI* surface = CKeySurfaceUI::Attach(b.keys);
        ASSERT_NE(surface, nullptr);
        EXPECT_EQ(surface->PartCount(), 4);
        const QImage drawn = b.Picture();
        // What the board paints is drawn beneath with the case; what the window paints is not.
        EXPECT_EQ(surface->Opaque(), boardFills);
        EXPECT_TRUE(surface->OverParts());
        EXPECT_LE(MostDifferent(own, drawn), 2);
        for (CDeviceKeyButtonUI* key : b.keys)
            EXPECT_TRUE(key->DrawnBy(surface));

        // Changes reach the surface: new lights, a light off, the press let go, the marker gone.
        b.keys[0]->SetLightTint(0xFF00FF, 255, true);
        b.keys[3]->SetLightTint(0xFF0000, 90, false);
        b.keys[2]->setDown(false);
        b.keys[1]->SetKeySetHidden(true);
        const QImage changed = b.Picture();
        delete surface;
        const QImage changedOwn = b.Picture();
        EXPECT_LE(MostDifferent(changed, changedOwn), 2);
        EXPECT_GT(MostDifferent(changed, drawn), 50);
    }
}

TEST(KeySurface, LeavesHiddenAndStrayKeysToThemselves) {
    Board b(true);
    DressKeys(b);
    b.keys[1]->hide();
    // A key of another parent is not the surface's.
    QWidget elsewhere;
    auto* stray = new CDeviceKeyButtonUI(&elsewhere);
    stray->setGeometry(0, 0, 27, 27);
    std::vector<CDeviceKeyButtonUI*> keys = b.keys;
    keys.push_back(stray);
    keys.push_back(nullptr);
    CKeySurfaceUI* surface = CKeySurfaceUI::Attach(keys);
    ASSERT_NE(surface, nullptr);
    EXPECT_EQ(surface->PartCount(), 3);
    EXPECT_FALSE(stray->DrawnBy(surface));
    EXPECT_FALSE(b.keys[1]->DrawnBy(surface));
    const QImage drawn = b.Picture();
    EXPECT_TRUE(surface->OverParts());
    // A key moved out of the surface's area draws itself again, and so does one shown that was
    // hidden when the surface was made: the surface goes under them and the picture stays right.
    b.keys[1]->show();
    b.keys[3]->move(64, 70);
    EXPECT_FALSE(b.keys[3]->DrawnBy(surface));
    const QImage moved = b.Picture();
    EXPECT_FALSE(surface->OverParts());
    // Back in place, with the other hidden again: all its own, it lies over them again.
    b.keys[1]->hide();
    b.keys[3]->move(64, 48);
    EXPECT_LE(MostDifferent(b.Picture(), drawn), 2);
    EXPECT_TRUE(surface->OverParts());
    b.keys[1]->show();
    b.keys[3]->move(64, 70);
    EXPECT_LE(MostDifferent(b.Picture(), moved), 2);
    delete surface;
    EXPECT_LE(MostDifferent(moved, b.Picture()), 2);
    EXPECT_GT(MostDifferent(moved, drawn), 50);
    // Nothing to draw: no surface.
    stray->hide();
    EXPECT_EQ(CKeySurfaceUI::Attach({stray, nullptr}), nullptr);
    EXPECT_EQ(CKeySurfaceUI::Attach({}), nullptr);
}

// A widget put between the keys after the surface was made (over some, under others) shows as
// it would without the surface; one put over all the keys leaves the surface over them.
TEST(KeySurface, AWidgetAmongItsKeysIsNeverHiddenByIt) {
    Board b(true);
    DressKeys(b);
    CKeySurfaceUI* surface = CKeySurfaceUI::Attach(b.keys);
    ASSERT_NE(surface, nullptr);
    auto* badge = new QLabel(QStringLiteral("!"), &b.board);
    badge->setAutoFillBackground(true);
    badge->setGeometry(70, 20, 60, 40);
    badge->show();
    EXPECT_TRUE(surface->OverParts());
    const QImage onTop = b.Picture();
    badge->stackUnder(b.keys[3]);
    const QImage among = b.Picture();
    EXPECT_FALSE(surface->OverParts());
    EXPECT_GT(MostDifferent(onTop, among), 50);
    delete surface;
    EXPECT_LE(MostDifferent(among, b.Picture()), 2);
}

TEST(KeySurface, ThePreviewsChangesOfOneTurnAreOnePaint) {
    Board b(true);
    CKeySurfaceUI* surface = CKeySurfaceUI::Attach(b.keys);
    ASSERT_NE(surface, nullptr);
    Settle();
    const int paints = surface->PaintCount();
    for (int frame = 0; frame < 3; ++frame) {
        for (size_t k = 0; k < b.keys.size(); ++k)
            b.keys[k]->SetLightTint(0x10u * static_cast<unsigned>(frame + k + 1), 255, true);
        Settle();
    }
    EXPECT_EQ(surface->PaintCount(), paints + 3);
    // A change that the eye cannot tell (the low bits) is not painted at all.
    b.keys[0]->SetLightTint(0x31, 255, true);
    Settle();
    EXPECT_EQ(surface->PaintCount(), paints + 3);
}

// A device picture with LEDs of each shape on it, as the mouse and mousepad pages build it.
struct LedBoard {
    explicit LedBoard(bool opaquePicture) {
        // Where the picture has a hole, only the window's system background shows.
        board.resize(200, 120);
        QPixmap device(200, 120);
        device.fill(QColor(50, 54, 64));
        if (!opaquePicture) {
            QPainter p(&device);
            p.setCompositionMode(QPainter::CompositionMode_Clear);
            p.fillRect(QRect(40, 10, 30, 30), Qt::transparent);
        }
        picture = new QLabel(&board);
        picture->setPixmap(device);
        picture->setGeometry(0, 0, 200, 120);
        const char* shapes[] = {"ellipse", "bar", "glow", "ellipse"};
        const QRect places[] = {
            {20, 20, 14, 14}, {50, 20, 9, 56}, {80, 40, 32, 32}, {130, 90, 14, 14}};
        for (int i = 0; i < 4; ++i) {
            auto* led = new CLedPreviewUI(&board);
            led->SetShape(QString::fromLatin1(shapes[i]));
            led->setGeometry(places[i]);
            led->SetIsChangerColor(true);
            leds.push_back(led);
        }
        board.show();
        Settle();
    }
    QImage Picture() {
        Settle();
        return board.grab().toImage();
    }
    void Light(int step) {
        for (size_t i = 0; i < leds.size(); ++i)
            leds[i]->SetLed(qRgb(40 * (step + static_cast<int>(i)) % 256, 200, 60 * step % 256),
                            255 - 50 * static_cast<int>(i));
    }

    QWidget board;
    QLabel* picture = nullptr;
    std::vector<CLedPreviewUI*> leds;
};

TEST(LedSurface, DrawsTheLedsAsTheyDrawThemselvesInOnePaintPerTurn) {
    for (const bool opaquePicture : {true, false}) {
        SCOPED_TRACE(opaquePicture ? "opaque picture" : "picture with a hole");
        LedBoard b(opaquePicture);
        b.Light(1);
        const QImage own = b.Picture();
        CLedSurfaceUI* surface = CLedSurfaceUI::Attach(b.leds);
        ASSERT_NE(surface, nullptr);
        EXPECT_EQ(surface->PartCount(), 4);
        const QImage drawn = b.Picture();
        EXPECT_EQ(surface->Opaque(), opaquePicture);
        EXPECT_LE(MostDifferent(own, drawn), 2);
        for (CLedPreviewUI* led : b.leds)
            EXPECT_TRUE(led->DrawnBy(surface));

        // New colours, one LED dark: still the LEDs' own picture, each turn one paint.
        const int paints = surface->PaintCount();
        b.Light(3);
        b.leds[2]->SetChangerAlpha(0);
        Settle();
        EXPECT_EQ(surface->PaintCount(), paints + 1);
        QImage changed = b.Picture();
        EXPECT_GT(MostDifferent(changed, drawn), 50);
        // The picture beneath changes (a skin's new look): the surface shows the new one.
        QPixmap repainted = b.picture->pixmap();
        repainted.fill(QColor(150, 40, 40));
        b.picture->setPixmap(repainted);
        const QImage newLook = b.Picture();
        EXPECT_GT(MostDifferent(newLook, changed), 50);
        changed = newLook;
        // A widget put among the LEDs shows: the surface steps aside while it is there.
        auto* badge = new QLabel(QStringLiteral("?"), &b.board);
        badge->setAutoFillBackground(true);
        badge->setGeometry(45, 30, 40, 20);
        badge->stackUnder(b.leds[2]);
        badge->show();
        const QImage among = b.Picture();
        EXPECT_FALSE(surface->OverParts());
        EXPECT_GT(MostDifferent(among, changed), 50);
        delete badge;
        EXPECT_LE(MostDifferent(b.Picture(), changed), 2);
        EXPECT_TRUE(surface->OverParts());
        delete surface;
        EXPECT_LE(MostDifferent(changed, b.Picture()), 2);
    }
}

// An LED's look is laid from its shapes' coverage, not drawn shape by shape each time: the
// picture is what the painter draws of the shapes, for every shape, colour, opacity and pixel
// ratio.
TEST(LedPreview, TheLookIsWhatThePainterDrawsOfTheShapes) {
    struct Case {
        QRgb rgb;
        int alpha;
    };
    for (const char* shape : {"ellipse", "bar", "glow"})
        for (const qreal ratio : {1.0, 2.0})
            for (const Case c : {Case{qRgb(255, 0, 0), 255}, Case{qRgb(20, 200, 90), 180},
                                 Case{qRgb(255, 255, 255), 60}, Case{qRgb(0, 0, 255), 0}}) {
                CLedPreviewUI led;
                led.SetShape(QString::fromLatin1(shape));
                led.resize(QLatin1String(shape) == QLatin1String("bar") ? QSize(34, 12)
                                                                        : QSize(21, 21));
                led.SetIsChangerColor(true);
                led.SetLed(c.rgb, c.alpha);
                led.show();
                Settle();
                QImage laid(led.size() * ratio, QImage::Format_ARGB32_Premultiplied);
                laid.setDevicePixelRatio(ratio);
                laid.fill(Qt::transparent);
                QImage painted = laid.copy();
                {
                    QPainter p(&laid);
                    led.DrawLook(p);
                }
                {
                    QPainter p(&painted);
                    led.PaintShapes(p);
                }
                SCOPED_TRACE(testing::Message()
                             << shape << " ratio " << ratio << " alpha " << c.alpha);
                EXPECT_LE(MostDifferent(laid, painted), 2);
                const QRgb middle =
                    laid.pixel(laid.width() / 2, laid.height() / 2);  // premultiplied
                if (c.alpha == 255) {
                    EXPECT_GT(qRed(middle), 200);
                }
                if (c.alpha == 0 && QLatin1String(shape) != QLatin1String("glow")) {
                    EXPECT_LT(qBlue(middle), 40);  // the unlit socket
                }
            }
}

TEST(KeyTints, SharedByKeysOfOneSizePictureAndColourStep) {
    KeyTints::Clear();
    const long long made = KeyTints::Made();
    const QSize size(27, 27);
    const QImage red = KeyTints::Get(size, 1.0, {}, {}, QColor(255, 0, 0, 255));
    // The same step: the same picture, not made again.
    const QImage nearlyRed = KeyTints::Get(size, 1.0, {}, {}, QColor(250, 3, 1, 255));
    EXPECT_EQ(KeyTints::Made(), made + 1);
    EXPECT_EQ(red.cacheKey(), nearlyRed.cacheKey());
    // Another step, another size, another opacity or a sheen: each its own.
    KeyTints::Get(size, 1.0, {}, {}, QColor(200, 0, 0, 255));
    KeyTints::Get(QSize(40, 27), 1.0, {}, {}, QColor(255, 0, 0, 255));
    KeyTints::Get(size, 1.0, {}, {}, QColor(255, 0, 0, 100));
    QPixmap sheen(27, 27);
    sheen.fill(QColor(255, 255, 255, 128));
    const QImage shiny =
        KeyTints::Get(size, 1.0, sheen, QStringLiteral("sheen"), QColor(255, 0, 0, 255));
    EXPECT_EQ(KeyTints::Made(), made + 5);

    // The middle of the face is the colour, the corners are clear, the sheen lightens it.
    EXPECT_EQ(red.pixel(13, 13), qRgba(0xFC, 0x04, 0x04, 0xFF));
    EXPECT_EQ(qAlpha(red.pixel(0, 0)), 0);
    const QRgb lit = shiny.pixel(13, 13);
    EXPECT_EQ(qAlpha(lit), 255);
    EXPECT_GT(qGreen(lit), 40);
    EXPECT_GT(qRed(lit), qGreen(lit));
    // A half-opaque tint is premultiplied: no component above its alpha.
    const QImage faint = KeyTints::Get(size, 1.0, {}, {}, QColor(255, 255, 255, 100));
    const QRgb f = reinterpret_cast<const QRgb*>(faint.constScanLine(13))[13];
    EXPECT_EQ(qAlpha(f), 0x64);
    EXPECT_LE(qRed(f), qAlpha(f));

    KeyTints::Clear();
    EXPECT_EQ(KeyTints::Held(), 0);
}

TEST(KeyTints, HoldWhatAnEffectKeepsShowingWithinTheirBudget) {
    KeyTints::Clear();
    const QSize big(256, 256);  // 256 KB a tint
    const int perGeneration = static_cast<int>(KeyTints::kMostBytes / 2 / (256 * 256 * 4));
    ASSERT_GE(perGeneration, 4);
    auto get = [&](int i) {
        KeyTints::Get(big, 1.0, {}, {}, QColor(8 * (i % 32), 8 * (i / 32), 0));
    };

    // A set shown in turn, again and again, is made once while it fits.
    long long made = KeyTints::Made();
    for (int round = 0; round < 3; ++round)
        for (int i = 0; i < perGeneration - 1; ++i)
            get(i);
    EXPECT_EQ(KeyTints::Made(), made + perGeneration - 1);

    // A tint asked for again after its generation aged is kept, not made again.
    KeyTints::Clear();
    made = KeyTints::Made();
    for (int i = 0; i < perGeneration; ++i)
        get(i);
    for (int i = 0; i < perGeneration / 2; ++i)
        get(200 + i);
    get(0);
    EXPECT_EQ(KeyTints::Made(), made + perGeneration + perGeneration / 2);

    // A stream of new tints stays within the budget, and what is no longer shown goes.
    for (int i = 0; i < 4 * perGeneration; ++i) {
        get(300 + i);
        ASSERT_LE(KeyTints::HeldBytes(), KeyTints::kMostBytes);
    }
    made = KeyTints::Made();
    get(1);
    EXPECT_EQ(KeyTints::Made(), made + 1);
    KeyTints::Clear();
    EXPECT_EQ(KeyTints::Held(), 0);
}

}  // namespace
}  // namespace vq::app
