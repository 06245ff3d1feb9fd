// The profile panel on the real skin: the start-up fill shared with quilletctl, the operations of
// every family with their dialogs and refusals, the program links, and the profiles that follow
// the program in front.

#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>

#include "app/pages/device_pages.h"
#include "app_fixture.h"
#include "core/profile/profile_file.h"
#include "core/profile/profile_store.h"

namespace vq::test {
namespace {

namespace fs = std::filesystem;
using app::CMainWnd;

// Every file under `root` (paths relative to it, '/'-separated) with its bytes.
std::map<QString, QByteArray> FilesUnder(const fs::path& root) {
    std::map<QString, QByteArray> files;
    const QDir base(QString::fromStdString(root.string()));
    QDirIterator it(base.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        if (file.open(QIODevice::ReadOnly)) files[base.relativeFilePath(path)] = file.readAll();
    }
    return files;
}

// Answers the next message box with `button` and keeps the text it showed.
std::shared_ptr<QString> AnswerNextBoxKeepingText(const QString& button) {
    auto text = std::make_shared<QString>();
    auto* poll = new QTimer;
    auto tries = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, [poll, button, tries, text] {
        const auto boxes = OpenBoxes();
        if (!boxes.empty()) {
            if (auto* label = boxes.front()->findChild<QLabel*>("MessageText"))
                *text = label->text();
            if (auto* b = boxes.front()->findChild<QAbstractButton*>(button)) b->click();
            poll->deleteLater();
        } else if (++*tries > kWaitMs / 5) {
            poll->deleteLater();
        }
    });
    poll->start(5);
    return text;
}

constexpr DeviceKind kKinds[] = {DeviceKind::Keyboard, DeviceKind::Mouse, DeviceKind::Mousepad};

class ProfilePanelTest : public WindowTest {
  protected:
    app::ProfilePanel& Panel() { return window->Pages()->profiles; }
    // Waits until the controllers answered every operation the panel sent.
    void Answered() {
        EXPECT_TRUE(QTest::qWaitFor([&] { return Panel().Pending() == 0; }, kWaitMs));
        Settle(*window);
    }
    QComboBox* List(DeviceKind kind, ProfileFamily family) {
        return window->Control<QComboBox>(app::ProfilePanel::ListName(kind, family));
    }
    QStringList Items(DeviceKind kind, ProfileFamily family) {
        QStringList items;
        if (QComboBox* list = List(kind, family))
            for (int i = 0; i < list->count(); ++i)
                items << list->itemText(i);
        return items;
    }
    QStringList Stored(DeviceKind kind, ProfileFamily family) {
        QStringList names;
        for (const std::string& name :
             OnDisk([&] { return window->Hub().Store().ReadIndex(kind, family); }).names)
            names << QString::fromStdString(name);
        return names;
    }
    bool Linked(DeviceKind kind, ProfileFamily family, int index) {
        return OnDisk([&] { return window->Hub().Store().Link(kind, family, index); }).linked;
    }
    void Click(const QString& name) {
        auto* button = window->Control<QAbstractButton>(name);
        ASSERT_NE(button, nullptr) << name.toStdString();
        window->Router().Fire("click", button);
    }
    void Choose(DeviceKind kind, ProfileFamily family, int index) {
        QComboBox* list = List(kind, family);
        ASSERT_NE(list, nullptr);
        list->setCurrentIndex(index);
        window->Router().Fire("itemselect", list, index);
        Settle(*window);
    }
    void Op(DeviceKind kind, ProfileFamily family, const char* suffix) {
        Click(app::ProfilePanel::ButtonName(kind, family, suffix));
        Answered();
    }
    // The file the next dialog "chooses" (empty: the dialog is cancelled), and what it was
    // asked for.
    void ChooseFiles() {
        Panel().SetFileChooser([this](const app::ProfilePanel::FileRequest& request) {
            requests.push_back(request);
            return nextFile;
        });
    }
    // The message a refused operation shows, in the current language.
    QString Text(const char* id) { return window->Ui().TextOrId(id); }

    QString nextFile;
    std::vector<app::ProfilePanel::FileRequest> requests;
};

TEST_F(ProfilePanelTest, EveryOperationOfEveryFamilyReachesTheFilesAndTheList) {
    StartWindow(false);
    ChooseFiles();
    QTemporaryDir exports;
    for (DeviceKind kind : kKinds) {
        for (ProfileFamily family : FamiliesOf(kind)) {
            const std::string what = std::string(DeviceKindPrefix(kind)) + " " + FamilyName(family);
            SCOPED_TRACE(what);
            // The panel opens and closes with its button.
            QWidget* panel = window->Control(
                QStringLiteral("%1_profile_fun_spead_tab").arg(DeviceKindPrefix(kind)));
            ASSERT_NE(panel, nullptr);
            const bool wasHidden = panel->isHidden();
            Click(QStringLiteral("%1_profile_fun_spread_btn").arg(DeviceKindPrefix(kind)));
            EXPECT_NE(panel->isHidden(), wasHidden);

            ASSERT_EQ(Items(kind, family), QStringList{"profile1"});
            Op(kind, family, "_add_btn");
            EXPECT_EQ(Items(kind, family), (QStringList{"profile1", "profile2"}));
            EXPECT_EQ(List(kind, family)->currentText(), "profile2");
            Op(kind, family, "_copy_btn");
            EXPECT_EQ(List(kind, family)->currentText(), "profile2 copy");

            auto* name = window->Control<QLineEdit>(
                app::ProfilePanel::ControlName(kind, family, "_name_edit"));
            ASSERT_NE(name, nullptr);
            EXPECT_EQ(name->text(), "profile2 copy");
            name->setText("Tuned");
            Click(app::ProfilePanel::ControlName(kind, family, "_edit_save_btn"));
            Answered();
            EXPECT_EQ(Items(kind, family), (QStringList{"profile1", "profile2", "Tuned"}));

            const QString file = exports.filePath(QString::fromStdString(what) + ".out");
            nextFile = file;
            Op(kind, family, "_export_btn");
            ASSERT_FALSE(requests.empty());
            EXPECT_EQ(requests.back().mode, app::ProfilePanel::FileRequest::Export);
            EXPECT_TRUE(requests.back().suggested.startsWith("Tuned."));
            std::vector<uint8_t> payload(PayloadSize(kind, family), 0);
            uint16_t code = 0;
            EXPECT_EQ(OnDisk([&] { return ReadProfileFile(file.toStdString(), payload, &code); }),
                      ProfileReadResult::Ok);
            EXPECT_EQ(code, KindCode(kind));

            Op(kind, family, "_import_btn");
            EXPECT_EQ(requests.back().mode, app::ProfilePanel::FileRequest::Import);
            EXPECT_EQ(Items(kind, family).size(), 4);
            EXPECT_EQ(List(kind, family)->currentText(), "profile3");

            Op(kind, family, "_reset_btn");

            // The deletion asks first; the last profile is selected afterwards.
            auto shown = AnswerNextBoxKeepingText("confirm_btn");
            Op(kind, family, "_sub_btn");
            EXPECT_EQ(*shown, Text("message_text_12"));
            EXPECT_EQ(Items(kind, family), (QStringList{"profile1", "profile2", "Tuned"}));
            EXPECT_EQ(List(kind, family)->currentText(), "Tuned");
            // Cancelled, nothing goes.
            shown = AnswerNextBoxKeepingText("cancel_btn");
            Op(kind, family, "_sub_btn");
            EXPECT_EQ(Items(kind, family).size(), 3);

            // The index says what the list shows.
            EXPECT_EQ(Stored(kind, family), Items(kind, family));
            EXPECT_EQ(
                OnDisk([&] { return window->Hub().Store().ReadIndex(kind, family); }).selected, 2);
            nextFile.clear();
        }
    }
}

TEST_F(ProfilePanelTest, RefusalsShowTheirMessageAndChangeNothing) {
    StartWindow(false);
    ChooseFiles();
    const DeviceKind ms = DeviceKind::Mouse;
    const ProfileFamily light = ProfileFamily::Light;

    // The only profile.
    auto shown = AnswerNextBoxKeepingText("confirm_btn");
    Op(ms, light, "_sub_btn");
    EXPECT_EQ(*shown, Text("message_text_11"));

    Op(ms, light, "_add_btn");
    auto* name =
        window->Control<QLineEdit>(app::ProfilePanel::ControlName(ms, light, "_name_edit"));
    const auto rename = [&](const QString& to) {
        auto text = AnswerNextBoxKeepingText("confirm_btn");
        name->setText(to);
        Click(app::ProfilePanel::ControlName(ms, light, "_edit_save_btn"));
        Answered();
        return *text;
    };
    EXPECT_EQ(rename(""), Text("message_text_14"));
    EXPECT_EQ(rename("PROFILE1"), Text("message_text_15"));
    EXPECT_EQ(rename("profile2"), Text("message_text_15"));  // its own name
    EXPECT_EQ(name->text(), "profile2");                     // what the user typed stays
    EXPECT_EQ(rename("a/b"), Text("message_profile_bad_name"));

    // A keyboard's profile is not imported into the mouse.
    QTemporaryDir files;
    const QString keyboardFile = files.filePath("keyboard.led");
    ASSERT_TRUE(OnDisk([&] {
        return WriteProfileFile(keyboardFile.toStdString(), std::vector<uint8_t>(1958, 1),
                                KindCode(DeviceKind::Keyboard));
    }));
    nextFile = keyboardFile;
    shown = AnswerNextBoxKeepingText("confirm_btn");
    Op(ms, light, "_import_btn");
    EXPECT_EQ(*shown, Text("message_profile_wrong_kind"));
    // A cancelled dialog imports nothing and asks nothing.
    nextFile.clear();
    Op(ms, light, "_import_btn");
    EXPECT_EQ(Items(ms, light), (QStringList{"profile1", "profile2"}));
    EXPECT_EQ(Stored(ms, light), Items(ms, light));
}

TEST_F(ProfilePanelTest, LinksAreShownAndASecondLinkToOneProgramIsRefused) {
    StartWindow(false);
    ChooseFiles();
    const DeviceKind ms = DeviceKind::Mouse;
    const ProfileFamily device = ProfileFamily::Device;
    auto* check =
        window->Control<QAbstractButton>(app::ProfilePanel::ControlName(ms, device, "_link_check"));
    auto* edit =
        window->Control<QLineEdit>(app::ProfilePanel::ControlName(ms, device, "_link_edit"));
    QWidget* row = window->Control(app::ProfilePanel::ControlName(ms, device, "_link_name_hor"));
    ASSERT_TRUE(check && edit && row);
    EXPECT_TRUE(check->isEnabled());  // the window's program in front is the test's

    const auto tick = [&](bool on) {
        check->setChecked(on);
        window->Router().Fire("selectchanged", check, on ? 1 : 0);
        Answered();
    };
    nextFile = "C:\\Games\\Raid\\Raid.exe";
    tick(true);
    EXPECT_TRUE(check->isChecked());
    EXPECT_EQ(edit->text(), "Raid.exe");
    EXPECT_FALSE(row->isHidden());
    EXPECT_TRUE(Linked(ms, device, 0));

    // A second profile linked to the same program, spelled in another case, is refused.
    Op(ms, device, "_add_btn");
    EXPECT_FALSE(check->isChecked());
    EXPECT_TRUE(row->isHidden());
    nextFile = "c:\\games\\raid\\RAID.EXE";
    auto shown = AnswerNextBoxKeepingText("confirm_btn");
    tick(true);
    EXPECT_EQ(*shown, Text("message_text_13"));
    EXPECT_FALSE(check->isChecked());
    EXPECT_FALSE(Linked(ms, device, 1));

    // Back on the first, its link shows; the unlink button clears it.
    Choose(ms, device, 0);
    EXPECT_TRUE(check->isChecked());
    EXPECT_EQ(edit->text(), "Raid.exe");
    Click("ms_device_cancle_link_btn");
    Answered();
    EXPECT_FALSE(check->isChecked());
    EXPECT_FALSE(Linked(ms, device, 0));
    // A cancelled chooser leaves it unlinked.
    nextFile.clear();
    tick(true);
    EXPECT_FALSE(check->isChecked());
    EXPECT_FALSE(Linked(ms, device, 0));

    // The keyboard's device and key profiles at one index share one program path: the later
    // link shows in both.
    const DeviceKind kb = DeviceKind::Keyboard;
    nextFile = "C:\\Games\\First.exe";
    Click(app::ProfilePanel::ControlName(kb, device, "_link_btn"));
    Answered();
    nextFile = "C:\\Games\\Second.exe";
    Click(app::ProfilePanel::ControlName(kb, ProfileFamily::Key, "_link_btn"));
    Answered();
    for (ProfileFamily family : {device, ProfileFamily::Key}) {
        auto* program =
            window->Control<QLineEdit>(app::ProfilePanel::ControlName(kb, family, "_link_edit"));
        ASSERT_NE(program, nullptr);
        EXPECT_EQ(program->text(), "Second.exe") << FamilyName(family);
    }
}

#ifdef VQ_QUILLETCTL
TEST_F(ProfilePanelTest, WhatQuilletctlChangesMeanwhileIsShown) {
    StartWindow(false);
    const auto ctl = [&](const QStringList& args) {
        QProcess cli;
        cli.start(
            VQ_QUILLETCTL,
            QStringList{"--data-dir", dataDir.path(), "--program-dir", VQ_PROGRAM_DIR} + args);
        EXPECT_TRUE(cli.waitForFinished(kWaitMs));
        EXPECT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
    };
    const DeviceKind ms = DeviceKind::Mouse;
    ctl({"profile", "add", "ms", "light", "FromTool"});
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return Items(ms, ProfileFamily::Light).contains("FromTool"); }, kWaitMs));
    ctl({"profile", "link", "ms", "light", "profile1", "C:\\Games\\Tool.exe"});
    ctl({"profile", "rename", "ms", "light", "profile1", "Renamed"});
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return Items(ms, ProfileFamily::Light) == QStringList{"Renamed", "FromTool"};
        },
        kWaitMs));
    // The window's own edit goes on from what the tool left.
    Op(ms, ProfileFamily::Light, "_add_btn");
    EXPECT_EQ(Stored(ms, ProfileFamily::Light), (QStringList{"Renamed", "FromTool", "profile1"}));
    EXPECT_EQ(Items(ms, ProfileFamily::Light), Stored(ms, ProfileFamily::Light));
    Choose(ms, ProfileFamily::Light, 0);
    auto* edit = window->Control<QLineEdit>(
        app::ProfilePanel::ControlName(ms, ProfileFamily::Light, "_link_edit"));
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->text(), "Tool.exe");
}
#endif

// A desktop that does not tell which program is in front.
class NoForeground : public platform::ForegroundProgram {
  public:
    bool Start(Changed, std::string* whyNot) override {
        if (whyNot) *whyNot = "no way to know the program in front";
        return false;
    }
    void Stop() override {}
};

TEST_F(ProfilePanelTest, WithoutAWayToKnowTheProgramInFrontTheLinkControlsSayWhy) {
    static NoForeground none;  // outlives the window, which the fixture ends
    adjustOptions = [&](app::CMainWnd::Options& options) { options.foreground = &none; };
    StartWindow(false);
    EXPECT_FALSE(window->Hub().FollowWhyNot().empty());
    for (DeviceKind kind : kKinds)
        for (ProfileFamily family : FamiliesOf(kind))
            for (const char* suffix : {"_link_check", "_link_btn"}) {
                QWidget* control =
                    window->Control(app::ProfilePanel::ControlName(kind, family, suffix));
                ASSERT_NE(control, nullptr);
                // Built later than the start: its page shows the state when it is built.
                EXPECT_FALSE(control->isEnabled()) << control->objectName().toStdString();
                EXPECT_EQ(control->toolTip(), Text("ui_profile_link_unavailable"));
            }
}

TEST_F(ProfilePanelTest, TheProgramInFrontPutsItsLinkedProfileOnTheMouse) {
    StartWindow();
    ChooseFiles();
    const DeviceKind ms = DeviceKind::Mouse;
    const ProfileFamily device = ProfileFamily::Device;
    const auto stage1 = [&] { return MouseRecord::FromBytes(mouse->CurrentRecord()).StageDpi(0); };
    // A second device profile with its own first stage, linked to a game.
    Op(ms, device, "_add_btn");
    window->Hub().Mouse().SetStageDpi(1, 3200);
    window->Hub().Mouse().Flush();
    Settle(*window);
    ASSERT_EQ(stage1(), 3200);
    nextFile = "C:\\Games\\Raid.exe";
    Click(app::ProfilePanel::ControlName(ms, device, "_link_btn"));
    Answered();
    ASSERT_TRUE(Linked(ms, device, 1));
    Choose(ms, device, 0);
    const int own = stage1();
    ASSERT_NE(own, 3200);

    foreground.Bring("C:\\Games\\Raid.exe");
    EXPECT_TRUE(QTest::qWaitFor([&] { return stage1() == 3200; }, kWaitMs));
    Settle(*window);
    EXPECT_EQ(List(ms, device)->currentText(), "profile2");
    EXPECT_EQ(OnDisk([&] { return window->Hub().Store().StoredSelection(ms, device); }), 0);

    foreground.Bring("C:\\Windows\\explorer.exe");
    EXPECT_TRUE(QTest::qWaitFor([&] { return stage1() == own; }, kWaitMs));
    Settle(*window);
    EXPECT_EQ(List(ms, device)->currentText(), "profile1");
    EXPECT_EQ(OnDisk([&] { return window->Hub().Store().StoredSelection(ms, device); }), 0);
}

// The start-up fill runs on the controllers' threads: the window's thread reads and writes no
// profile file, on the first start (which seeds the files) or on a later one (which reads them),
// and the lists fill when the answers arrive.
TEST_F(ProfilePanelTest, TheFillTouchesNoFileOnTheWindowsThreadAtAFirstOrALaterStart) {
    StartWindow(false);
    EXPECT_TRUE(Panel().Filled());
    EXPECT_EQ(ForbiddenFileAccesses() - fileCallsBefore, 0u);
    for (DeviceKind kind : kKinds)
        for (ProfileFamily family : FamiliesOf(kind))
            EXPECT_EQ(Items(kind, family), QStringList{"profile1"});
    Op(DeviceKind::Mouse, ProfileFamily::Light, "_add_btn");
    ASSERT_EQ(Stored(DeviceKind::Mouse, ProfileFamily::Light),
              (QStringList{"profile1", "profile2"}));

    // Started again on the same folder: the files are read, not seeded, and the list shows the
    // stored selection.
    window.reset();
    StartWindow(false);
    EXPECT_TRUE(Panel().Filled());
    EXPECT_EQ(ForbiddenFileAccesses() - fileCallsBefore, 0u);
    EXPECT_EQ(Items(DeviceKind::Mouse, ProfileFamily::Light),
              (QStringList{"profile1", "profile2"}));
    EXPECT_EQ(List(DeviceKind::Mouse, ProfileFamily::Light)->currentText(), "profile2");
    EXPECT_EQ(Items(DeviceKind::Keyboard, ProfileFamily::Key), QStringList{"profile1"});
}

// Without the shipped defaults nothing can be seeded: each kind's answer tells the user so, with
// the message the start has always shown.
TEST_F(ProfilePanelTest, AMissingShippedDefaultIsToldForEachKindWhenItsFillArrives) {
    QTemporaryDir emptyProgram;
    adjustOptions = [&](CMainWnd::Options& options) {
        options.programFolder = emptyProgram.path().toStdString();
    };
    QStringList shown;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        for (app::CMsgWnd* box : OpenBoxes()) {
            if (auto* label = box->findChild<QLabel*>("MessageText")) shown << label->text();
            if (auto* b = box->findChild<QAbstractButton*>("confirm_btn")) b->click();
        }
    });
    answer.start(5);
    StartWindow(false);
    EXPECT_TRUE(QTest::qWaitFor([&] { return shown.size() >= 3 && OpenBoxes().empty(); }, kWaitMs));
    answer.stop();
    EXPECT_EQ(shown, QStringList(3, Text("message_text_8")));
    EXPECT_TRUE(Panel().Filled());
}

#ifdef VQ_QUILLETCTL
TEST_F(ProfilePanelTest, AFirstStartSeedsTheSameFilesAsQuilletctl) {
    StartWindow(false);
    std::map<QString, QByteArray> fromWindow = FilesUnder(Data());
    // The window's own settings are not the profiles'.
    fromWindow.erase("main.ini");

    QTemporaryDir cliData;
    QProcess cli;
    cli.start(VQ_QUILLETCTL,
              {"--data-dir", cliData.path(), "--program-dir", VQ_PROGRAM_DIR, "profiles"});
    ASSERT_TRUE(cli.waitForFinished(kWaitMs));
    ASSERT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
    const std::map<QString, QByteArray> tool = FilesUnder(cliData.path().toStdString());

    // The profiles of every kind and family, the mouse's cursor scripts among them.
    EXPECT_TRUE(fromWindow.contains("ms/msProfile.ini"));
    EXPECT_TRUE(fromWindow.contains("kb/profile1.config"));
    EXPECT_TRUE(fromWindow.contains("mp/profile1.led"));
    EXPECT_TRUE(fromWindow.contains("ms/name_1.cur"));
    std::vector<QString> windowNames, toolNames;
    for (const auto& [name, bytes] : fromWindow)
        windowNames.push_back(name);
    for (const auto& [name, bytes] : tool)
        toolNames.push_back(name);
    EXPECT_EQ(windowNames, toolNames);
    for (const auto& [name, bytes] : fromWindow) {
        if (tool.contains(name)) {
            EXPECT_EQ(bytes, tool.at(name)) << name.toStdString();
        }
    }
}
#endif

}  // namespace
}  // namespace vq::test
