// Notifications: the user's actions on named widgets reach the handlers by event and name; what
// program code sets does not.

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include "app/notify_router.h"
#include "app_fixture.h"

namespace vq::test {
namespace {

using app::Notification;
using app::NotifyRouter;

class RouterTest : public ::testing::Test {
  protected:
    RouterTest() {
        auto* layout = new QVBoxLayout(&root);
        for (const char* name : {"opt_a", "opt_b", "opt_c"}) {
            auto* option = new QPushButton(name, &root);
            option->setObjectName(name);
            option->setFocusPolicy(Qt::NoFocus);
            option->setCheckable(true);
            option->setAutoExclusive(true);
            layout->addWidget(option);
        }
        plain = new QPushButton("Save", &root);
        plain->setObjectName("Save_Btn");
        plain->setFocusPolicy(Qt::NoFocus);
        slider = new QSlider(Qt::Horizontal, &root);
        slider->setObjectName("ms_DPI1_slider");
        slider->setRange(0, 100);
        combo = new QComboBox(&root);
        combo->setObjectName("rate_combo");
        combo->addItems({"125", "250", "500", "1000"});
        list = new QListWidget(&root);
        list->setObjectName("macro_list");
        list->addItems({"m1", "m2", "m3"});
        edit = new QLineEdit(&root);
        edit->setObjectName("name_edit");
        other = new QLineEdit(&root);
        other->setObjectName("other_edit");
        for (QWidget* w : std::initializer_list<QWidget*>{plain, slider, combo, list, edit, other})
            layout->addWidget(w);
        router.SetRecording(true);
        router.Attach(&root);
        root.show();
        root.activateWindow();
    }

    // What was delivered since the last call. Focus changes come and go with the window's
    // activation; only the tests about them look at them.
    std::vector<std::string> Seen(bool withFocus = false) {
        std::vector<std::string> out;
        for (const Notification& n : router.Recorded())
            if (withFocus || !n.type.endsWith("focus"))
                out.push_back(n.type.toStdString() + " " + n.sender.toStdString() +
                              (n.index >= 0 ? " " + std::to_string(n.index) : ""));
        router.ClearRecorded();
        return out;
    }
    QPushButton* Option(const char* name) { return root.findChild<QPushButton*>(name); }

    QWidget root;
    NotifyRouter router;
    QPushButton* plain;
    QSlider* slider;
    QComboBox* combo;
    QListWidget* list;
    QLineEdit* edit;
    QLineEdit* other;
};

TEST_F(RouterTest, AnOptionClickReportsTheClickThenTheUnselectedAndTheSelectedOption) {
    Option("opt_a")->click();
    EXPECT_EQ(Seen(), (std::vector<std::string>{"click opt_a", "selectchanged opt_a 1"}));
    QTest::mouseClick(Option("opt_b"), Qt::LeftButton);
    EXPECT_EQ(Seen(), (std::vector<std::string>{"click opt_b", "selectchanged opt_a 0",
                                                "selectchanged opt_b 1"}));
    // Clicking the selected option of a group changes nothing: a click only.
    QTest::mouseClick(Option("opt_b"), Qt::LeftButton);
    EXPECT_EQ(Seen(), (std::vector<std::string>{"click opt_b"}));
    // Program code selecting an option tells nobody, and a later click is not confused by it.
    Option("opt_c")->setChecked(true);
    EXPECT_TRUE(Seen().empty());
    QTest::mouseClick(Option("opt_c"), Qt::LeftButton);
    EXPECT_EQ(Seen(), (std::vector<std::string>{"click opt_c"}));
    // A press that is dragged off the button is no click.
    QTest::mousePress(Option("opt_a"), Qt::LeftButton);
    QTest::mouseRelease(plain, Qt::LeftButton);
    QTest::qWait(1);
    plain->click();
    EXPECT_EQ(Seen(), (std::vector<std::string>{"click Save_Btn"}));
}

TEST_F(RouterTest, HandlersMatchNamesWithoutCaseAndNamedOnesRunFirst) {
    std::vector<std::string> order;
    router.On("click", "save_btn",
              [&](const Notification& n) { order.push_back("named " + n.sender.toStdString()); });
    router.OnAny("click",
                 [&](const Notification& n) { order.push_back("any " + n.sender.toStdString()); });
    router.On("click", "SAVE_BTN", [&](const Notification&) { order.push_back("named 2"); });
    plain->click();
    EXPECT_EQ(order, (std::vector<std::string>{"named Save_Btn", "named 2", "any Save_Btn"}));
    EXPECT_EQ(router.Fire("click", nullptr), 1);  // only the any-handler: no name
}

TEST_F(RouterTest, SlidersReportTheUsersKeysDragsAndReleasesButNotTheProgramsValues) {
    slider->setValue(40);
    EXPECT_TRUE(Seen().empty());
    slider->setFocus();
    QTest::keyClick(slider, Qt::Key_Right);
    EXPECT_EQ(Seen(), (std::vector<std::string>{"valuechanged ms_DPI1_slider 41"}));
    // A drag: moves while down, one value at the release.
    slider->setSliderDown(true);
    slider->triggerAction(QAbstractSlider::SliderMove);
    slider->setSliderPosition(60);
    slider->setSliderPosition(70);
    slider->setSliderDown(false);
    const auto seen = Seen();
    ASSERT_GE(seen.size(), 3u);
    EXPECT_EQ(seen[seen.size() - 3], "movevaluechanged ms_DPI1_slider 60");
    EXPECT_EQ(seen[seen.size() - 2], "movevaluechanged ms_DPI1_slider 70");
    EXPECT_EQ(seen.back(), "valuechanged ms_DPI1_slider 70");
    QTest::qWait(1);  // the key's latch is gone
    slider->setValue(10);
    EXPECT_EQ(Seen(), std::vector<std::string>{});
}

TEST_F(RouterTest, CombosAndListsReportTheUsersChoiceOnly) {
    combo->setCurrentIndex(2);
    list->setCurrentRow(1);
    EXPECT_TRUE(Seen().empty());
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Down);
    EXPECT_EQ(Seen(), (std::vector<std::string>{"itemselect rate_combo 3"}));
    const QRect row = list->visualItemRect(list->item(2));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row.center());
    const auto seen = Seen();
    const auto select = std::find(seen.begin(), seen.end(), "itemselect macro_list 2");
    const auto click = std::find(seen.begin(), seen.end(), "itemclick macro_list 2");
    EXPECT_NE(select, seen.end());
    EXPECT_NE(click, seen.end());
    EXPECT_LT(select, click);
    QTest::qWait(1);
    list->setCurrentRow(0);
    for (const std::string& line : Seen())
        EXPECT_EQ(line.find("itemselect"), std::string::npos);
}

TEST_F(RouterTest, EditsReportTypingAndFocusButNotTextSetByProgram) {
    edit->setText("from the model");
    EXPECT_TRUE(Seen().empty());
    router.ClearRecorded();
    edit->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return edit->hasFocus(); }, kWaitMs));
    QTest::keyClicks(edit, "ab");
    other->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return other->hasFocus(); }, kWaitMs));
    const auto seen = Seen(/*withFocus=*/true);
    const std::vector<std::string> want = {"textchanged name_edit", "textchanged name_edit",
                                           "killfocus name_edit", "setfocus other_edit"};
    // The first focus event may belong to another widget that had the focus before.
    ASSERT_GE(seen.size(), want.size());
    EXPECT_EQ(std::vector<std::string>(seen.end() - static_cast<long>(want.size()), seen.end()),
              want);
}

}  // namespace
}  // namespace vq::test
