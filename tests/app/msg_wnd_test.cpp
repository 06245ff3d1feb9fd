// The message box: its answers, the self-closing variant, where it opens, and a skin without
// its layout.

#include <QDir>
#include <QFile>

#include "app/skin_ui.h"
#include "app_fixture.h"

namespace vq::test {
namespace {

using app::ShowMessage;
using app::ShowMessageTimed;

class MessageTest : public WindowTest {};

TEST_F(MessageTest, ConfirmAnswersOneCancelAndCloseAnswerZero) {
    app::CMainWnd& w = StartWindow();
    for (const auto& [button, expected] :
         {std::pair{"confirm_btn", 1}, std::pair{"cancel_btn", 0}, std::pair{"closebtn", 0}}) {
        auto answered = AnswerNextBox(button);
        EXPECT_EQ(ShowMessage(&w, {}, "message_text_12", true), expected) << button;
        EXPECT_TRUE(*answered);
    }
    EXPECT_EQ(app::OpenMessageBoxes(), 0);
}

TEST_F(MessageTest, TheTimedBoxClosesItselfAndThePlainOneWaitsForTheUser) {
    app::CMainWnd& w = StartWindow();
    // Nobody answers the timed box; should it stay open, the test answers it after a while and
    // says so.
    bool neededAnAnswer = false;
    QTimer rescue;
    rescue.setSingleShot(true);
    QObject::connect(&rescue, &QTimer::timeout, [&] {
        for (auto* box : OpenBoxes()) {
            neededAnAnswer = true;
            box->findChild<QAbstractButton*>("cancel_btn")->click();
        }
    });
    rescue.start(4000);
    ShowMessageTimed(true, &w, {}, "message_text_20", true);
    EXPECT_FALSE(neededAnAnswer);
    rescue.stop();

    // Without autoClose it is a plain box: still open well after half a second.
    bool stillOpen = false;
    QTimer::singleShot(900, [&] {
        stillOpen = !OpenBoxes().empty();
        for (auto* box : OpenBoxes())
            box->findChild<QAbstractButton*>("confirm_btn")->click();
    });
    ShowMessageTimed(false, &w, {}, "message_text_20", true);
    EXPECT_TRUE(stillOpen);
}

TEST_F(MessageTest, TheBoxIsCentredOnTheMainWindowEvenWhenItIsHidden) {
    app::CMainWnd& w = StartWindow(/*plugged=*/false);
    w.move(100, 50);
    ASSERT_FALSE(w.isVisible());
    QPoint boxCentre, windowCentre = w.geometry().center();
    QString text;
    auto* poll = new QTimer(&w);
    QObject::connect(poll, &QTimer::timeout, [&] {
        for (auto* box : OpenBoxes()) {
            boxCentre = box->geometry().center();
            text = box->findChild<QLabel*>("MessageText")->text();
            box->findChild<QAbstractButton*>("confirm_btn")->click();
        }
    });
    poll->start(5);
    // A text with a number place, filled by the caller's number.
    ShowMessage(&w, {}, "message_text_16", true, {"7"});
    EXPECT_LE((boxCentre - windowCentre).manhattanLength(), 2);
    EXPECT_TRUE(text.contains('7'));
    EXPECT_FALSE(text.contains("%d"));
    EXPECT_NE(text, "message_text_16");
}

TEST_F(MessageTest, PlainTextAndATitleAreShownAsGiven) {
    app::CMainWnd& w = StartWindow();
    QString title, text;
    auto* poll = new QTimer(&w);
    QObject::connect(poll, &QTimer::timeout, [&] {
        for (auto* box : OpenBoxes()) {
            title = box->findChild<QLabel*>("MessageTitle")->text();
            text = box->findChild<QLabel*>("MessageText")->text();
            box->findChild<QAbstractButton*>("cancel_btn")->click();
        }
    });
    poll->start(5);
    EXPECT_EQ(ShowMessage(&w, "Careful", "message_text_1", false), 0);
    EXPECT_EQ(title, "Careful");
    EXPECT_EQ(text, "message_text_1");
}

TEST(MessageWithoutLayout, ASkinWithoutTheMessageLayoutStillShowsTheMessage) {
    QTemporaryDir skinDir;
    for (const char* file : {"res.xml", "lan_en.xml"})
        QFile::copy(QDir(VQ_SKIN_DIR).filePath(file), QDir(skinDir.path()).filePath(file));
    app::SkinUi skin(skinDir.path());
    ASSERT_TRUE(skin.LoadResources());
    ASSERT_TRUE(skin.SetLanguage("en", "lan_en.xml"));
    QString text;
    auto answered = std::make_shared<bool>(false);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (auto* box : OpenBoxes()) {
            text = box->findChild<QLabel*>("MessageText")->text();
            *answered = true;
            box->findChild<QAbstractButton*>("confirm_btn")->click();
        }
    });
    poll.start(5);
    EXPECT_EQ(ShowMessage(nullptr, {}, "message_text_1", true), 1);
    EXPECT_TRUE(*answered);
    EXPECT_EQ(text, skin.TextOrId("message_text_1"));
    EXPECT_NE(text, "message_text_1");
}

}  // namespace
}  // namespace vq::test
