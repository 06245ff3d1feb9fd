// The macro pages on the real skin with the simulated mouse: the library list and its questions,
// the step list and its editor, recording through the input capture with chosen times, the
// refusals of bad input, and the key page's save with its progress and what reaches the mouse.

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QProgressBar>
#include <QStackedWidget>
#include <QTest>
#include <QTreeWidget>
#include <fstream>

#include "app/device_hub.h"
#include "app/pages/device_pages.h"
#include "app_fixture.h"
#include "core/macro/macro_image.h"
#include "core/macro/macro_library_ops.h"
#include "sim/sim_peripheral.h"
#include "support/fake_input_capture.h"

namespace vq::test {
namespace {

namespace fs = std::filesystem;
using app::CMainWnd;

void WriteText(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// A kind's library as the test looks at it on the disk beside the window (the window's count of
// file calls leaves these out).
class DiskLibrary {
  public:
    DiskLibrary(DeviceKind kind, fs::path folder) : library_(kind, std::move(folder)) {}
    fs::path IndexPath() const {
        const FileAccessAllowed test;
        return library_.IndexPath();
    }
    std::vector<std::string> ReadNames() const {
        const FileAccessAllowed test;
        return library_.ReadNames();
    }
    std::vector<MacroAction> ReadMacro(std::string_view name) const {
        const FileAccessAllowed test;
        return library_.ReadMacro(name);
    }
    MacroResult WriteNames(std::span<const std::string> names) {
        const FileAccessAllowed test;
        return library_.WriteNames(names);
    }
    MacroResult WriteMacro(std::string_view name, std::span<const MacroAction> actions) {
        const FileAccessAllowed test;
        return library_.WriteMacro(name, actions);
    }

  private:
    MacroLibrary library_;
};

MacroAction Step(uint16_t delay, uint8_t type, uint8_t code, const char* label) {
    MacroAction a;
    a.SetDelayMs(delay);
    a.type = type;
    a.code = code;
    a.down = (type & 0x80) ? 1 : 0;
    a.label = label;
    return a;
}

// Answers every message box that opens with `button` and keeps the text ids it showed (with
// the text the user read).
class BoxAnswerer {
  public:
    explicit BoxAnswerer(QString button = "confirm_btn") : button_(std::move(button)) {
        QObject::connect(&poll_, &QTimer::timeout, [this] {
            const auto boxes = OpenBoxes();
            if (boxes.empty()) return;
            auto* text = boxes.front()->findChild<QLabel*>("MessageText");
            ids.push_back(text ? text->property("textId").toString() : QString());
            texts.push_back(text ? text->text() : QString());
            QString answer = button_;
            if (!answers.empty()) {
                answer = answers.front();
                answers.erase(answers.begin());
            }
            if (auto* b = boxes.front()->findChild<QAbstractButton*>(answer)) b->click();
        });
        poll_.start(5);
    }
    std::vector<QString> ids, texts;
    // The buttons for the next boxes, in order (then `button`).
    std::vector<QString> answers;

  private:
    QString button_;
    QTimer poll_;
};

class MacroPages : public WindowTest {
  protected:
    // The window (whose pages hold the capture) goes before the capture.
    ~MacroPages() override { CloseWindow(); }
    CMainWnd& Ready() {
        CMainWnd& w = StartWithMouseRead();
        Page().SetInputCapture(&capture);
        Page().SetFileChooser([this](app::FileDialog dialog) -> std::optional<fs::path> {
            dialogs.push_back(dialog);
            return chosen;
        });
        Click("ms_macro_Op_tab");
        bus.ClearTranscript();
        return w;
    }
    // The mouse's library before the window starts: `names` in their order and the files of
    // the macros given steps.
    DiskLibrary WriteLibrary(
        const std::vector<std::string>& names,
        const std::vector<std::pair<std::string, std::vector<MacroAction>>>& macros = {}) {
        fs::create_directories(Folder());
        DiskLibrary library = Library();
        EXPECT_EQ(library.WriteNames(names), MacroResult::Ok);
        for (const auto& [name, steps] : macros)
            EXPECT_EQ(library.WriteMacro(name, steps), MacroResult::Ok) << name;
        return library;
    }
    app::MacroPage& Page() { return window->Pages()->mouseMacros; }
    MacroEditor& Editor() { return Page().Editor(); }
    fs::path Folder() const { return Data() / "ms"; }
    DiskLibrary Library() const { return DiskLibrary(DeviceKind::Mouse, Folder()); }

    QAbstractButton* Button(const QString& name) {
        auto* b = window->Control<QAbstractButton>(name);
        EXPECT_NE(b, nullptr) << name.toStdString();
        return b;
    }
    void Check(const QString& name, bool on) {
        QAbstractButton* b = Button(name);
        if (b && b->isChecked() != on) b->click();
    }
    void ChooseName(int row) {
        auto* list = window->Control<QListWidget>("ms_MacroName_list");
        ASSERT_NE(list, nullptr);
        window->Router().Fire("itemselect", list, row);
        Settle(*window);
    }
    void ChooseRow(int row) {
        auto* tree = window->Control<QTreeWidget>("ms_Macro_list");
        ASSERT_NE(tree, nullptr);
        window->Router().Fire("itemclick", tree, row);
    }
    QStringList Names() {
        QStringList names;
        auto* list = window->Control<QListWidget>("ms_MacroName_list");
        for (int i = 0; list && i < list->count(); ++i)
            names << list->item(i)->text();
        return names;
    }
    QStringList RowCells(int row) {
        QStringList cells;
        auto* tree = window->Control<QTreeWidget>("ms_Macro_list");
        if (QTreeWidgetItem* item = tree ? tree->topLevelItem(row) : nullptr)
            for (int c = 0; c < 3; ++c)
                cells << item->text(c);
        return cells;
    }
    bool BarShown() {
        QWidget* bar = window->Control("ms_macro_tab_saveorcancel");
        return bar && !bar->isHidden();
    }
    // The commands sent to the mouse's configuration collection since the last clear, runs of
    // one command as "15*3".
    std::vector<std::string> CommandRuns() const {
        const std::vector<uint8_t> codes = ConfigCommands();
        std::vector<std::string> runs;
        for (size_t i = 0; i < codes.size();) {
            size_t j = i;
            while (j < codes.size() && codes[j] == codes[i])
                ++j;
            char hex[8];
            std::snprintf(hex, sizeof hex, "%02x", codes[i]);
            runs.push_back(j - i > 1 ? std::string(hex) + "*" + std::to_string(j - i) : hex);
            i = j;
        }
        return runs;
    }

    FakeInputCapture capture;
    std::optional<fs::path> chosen;
    std::vector<app::FileDialog> dialogs;
};

// ---- recording ------------------------------------------------------------------------------

TEST_F(MacroPages, ARecordingThroughTheCaptureGivesExactlyTheExpectedStepsAndFile) {
    Ready();
    Click("ms_macro_btn_name_add");
    ASSERT_EQ(Names(), QStringList{"name_1"});
    Check("ms_macro_keyboard_event", true);
    Check("ms_macro_mouse_click", true);
    Check("ms_macro_check_time", false);

    capture.now = 1000;
    Click("ms_macro_btn_redio");
    ASSERT_EQ(capture.starts.size(), 1u);
    EXPECT_EQ(capture.starts[0].mode, platform::CaptureMode::Recording);
    EXPECT_TRUE(capture.starts[0].keyboard);
    EXPECT_TRUE(capture.starts[0].mouse);
    EXPECT_TRUE(BarShown());
    EXPECT_FALSE(window->Control("ms_MacroName_list")->isEnabled());
    EXPECT_EQ(Button("ms_macro_btn_redio")->property("textId").toString(),
              "macro_btn_stop_redio_text");

    // A held key repeats its press; the pause before the first event is no delay.
    capture.Key(InputEventKind::KeyDown, 'A', 5000);
    capture.Key(InputEventKind::KeyDown, 'A', 5030);
    capture.Key(InputEventKind::KeyDown, 'A', 5060);
    capture.Key(InputEventKind::KeyUp, 'A', 5200);
    // The keypad's Enter is its own key.
    capture.Key(InputEventKind::KeyDown, 13, 5300, true);
    capture.Key(InputEventKind::KeyUp, 13, 5350, true);
    // Seventy seconds later: the longest delay a step holds.
    capture.Button(InputEventKind::ButtonDown, PointerButton::Left, 75350);
    capture.Button(InputEventKind::ButtonUp, PointerButton::Left, 75400);
    // The wheel is not recorded.
    InputEvent wheel;
    wheel.kind = InputEventKind::Wheel;
    wheel.timeMs = 75500;
    capture.Deliver(wheel);
    EXPECT_EQ(RowCells(5).value(2), "0");

    Click("ms_macro_btn_redio");
    EXPECT_FALSE(capture.Active());
    EXPECT_TRUE(BarShown());  // the steps wait for the save
    EXPECT_TRUE(Library().ReadMacro("name_1").empty());
    Click("ms_macro_btn_save");
    EXPECT_FALSE(BarShown());

    const std::vector<MacroAction> expected = {
        Step(200, 0x8A, 4, "keyboard_key_A"),
        Step(100, 0x0A, 4, "keyboard_key_A"),
        Step(50, 0x8A, 0x58, "keyboard_key_Num Enter"),
        Step(65535, 0x0A, 0x58, "keyboard_key_Num Enter"),
        Step(50, 0x81, 1, "mouse_key_left"),
        Step(0, 0x01, 1, "mouse_key_left"),
    };
    EXPECT_EQ(Library().ReadMacro("name_1"), expected);
    EXPECT_EQ(ReadFileText(Folder() / "name_1.mac"),
              "[MACROACTIONCOUNT]\r\ncount=6\r\n"
              "[MACROSELECTNAME]\r\nname=name_1\r\n"
              "[MACROACTION]\r\n"
              "0=200,0,138,4,1,keyboard_key_A\r\n"
              "1=100,0,10,4,0,keyboard_key_A\r\n"
              "2=50,0,138,88,1,keyboard_key_Num Enter\r\n"
              "3=255,255,10,88,0,keyboard_key_Num Enter\r\n"
              "4=50,0,129,1,1,mouse_key_left\r\n"
              "5=0,0,1,1,0,mouse_key_left\r\n");
    // The list shows the steps: the event, pressed or released, the delay.
    const QStringList first = RowCells(0);
    ASSERT_EQ(first.size(), 3);
    EXPECT_EQ(first[0], window->Ui().TextOrId("keyboard_key_A"));
    EXPECT_EQ(first[1], window->Ui().TextOrId("ui_macro_pressed"));
    EXPECT_EQ(first[2], "200");
    EXPECT_EQ(RowCells(3).value(2), "65535");
}

TEST_F(MacroPages, TheFixedDelayOptionRecordsFiftyAndTheClicksOptionLeavesButtonsOut) {
    Ready();
    Click("ms_macro_btn_name_add");
    Check("ms_macro_keyboard_event", true);
    Check("ms_macro_mouse_click", false);
    Check("ms_macro_mouse_roller", false);
    Check("ms_macro_mouse_move", false);
    Check("ms_macro_check_time", true);
    Click("ms_macro_btn_redio");
    ASSERT_EQ(capture.starts.size(), 1u);
    EXPECT_FALSE(capture.starts[0].mouse);  // nothing of the mouse is wanted
    capture.Key(InputEventKind::KeyDown, 'B', 100);
    capture.Key(InputEventKind::KeyUp, 'B', 9000);
    capture.Button(InputEventKind::ButtonDown, PointerButton::Left, 9100);
    capture.Key(InputEventKind::KeyDown, 'C', 30000);
    Click("ms_macro_btn_redio");
    const std::vector<MacroAction>& steps = Editor().Actions();
    ASSERT_EQ(steps.size(), 3u);
    EXPECT_EQ(steps[0].DelayMs(), 50);
    EXPECT_EQ(steps[1].DelayMs(), 50);
    EXPECT_EQ(steps[2].DelayMs(), 0);
    EXPECT_EQ(steps[2].code, 6);  // C
}

TEST_F(MacroPages, LeavingThePageOrTheWindowEndsARecordingAndKeepsItsSteps) {
    CMainWnd& w = Ready();
    Click("ms_macro_btn_name_add");
    Check("ms_macro_keyboard_event", true);
    Click("ms_macro_btn_redio");
    capture.Key(InputEventKind::KeyDown, 'A', 10);
    capture.Key(InputEventKind::KeyUp, 'A', 20);
    Click("ms_key_Op_tab");
    EXPECT_FALSE(capture.Active());
    EXPECT_FALSE(Editor().Recording());
    EXPECT_EQ(Editor().Actions().size(), 2u);
    EXPECT_TRUE(Editor().EditOpen());  // kept, not saved and not lost
    Click("ms_macro_Op_tab");
    EXPECT_EQ(Button("ms_macro_btn_redio")->property("textId").toString(),
              "macro_btn_star_redio_text");

    // Recording again appends; the window's deactivation ends it.
    Click("ms_macro_btn_redio");
    EXPECT_TRUE(capture.Active());
    capture.Key(InputEventKind::KeyDown, 'B', 500);
    w.Pages()->mouseMacros.EndRecording();
    EXPECT_FALSE(capture.Active());
    EXPECT_EQ(Editor().Actions().size(), 3u);
    // A capture the system refuses leaves the recording on; the button ends it.
    capture.refuse = true;
    Click("ms_macro_btn_redio");
    EXPECT_TRUE(Editor().Recording());
    Click("ms_macro_btn_redio");
    EXPECT_FALSE(Editor().Recording());
    EXPECT_EQ(Editor().Actions().size(), 3u);
}

// ---- the library ----------------------------------------------------------------------------

TEST_F(MacroPages, AddingSkipsTakenNamesAndStopsAtFifty) {
    // The library "name_1", "name_3" (as quilletctl or an older program left it).
    DiskLibrary library = WriteLibrary({"name_1", "name_3"});
    Ready();
    EXPECT_EQ(Names(), (QStringList{"name_1", "name_3"}));
    Click("ms_macro_btn_name_add");
    EXPECT_EQ(Names(), (QStringList{"name_1", "name_3", "name_4"}));
    EXPECT_EQ(window->Control<QListWidget>("ms_MacroName_list")->currentRow(), 2);
    EXPECT_EQ(window->Control<QLineEdit>("ms_macro_edit_macroname")->text(), "name_4");
    EXPECT_EQ(library.ReadNames(), (std::vector<std::string>{"name_1", "name_3", "name_4"}));
    EXPECT_FALSE(fs::exists(Folder() / "name_4.mac"));  // the file comes with the first save

    // The key page's macro choice follows the library, once the names are read again.
    Settle(*window);
    auto* choice = window->Control<QComboBox>("ms_key_fct_combo_23");
    ASSERT_NE(choice, nullptr);
    EXPECT_EQ(choice->count(), 3);

    std::vector<std::string> many;
    for (int i = 0; i < kMaxMacros; ++i)
        many.push_back("m" + std::to_string(i));
    ASSERT_EQ(library.WriteNames(many), MacroResult::Ok);
    Editor().Load();
    Settle(*window);
    ASSERT_EQ(Names().size(), kMaxMacros);
    BoxAnswerer boxes;
    Click("ms_macro_btn_name_add");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !boxes.ids.empty(); }, kWaitMs));
    EXPECT_EQ(boxes.ids[0], "message_text_17");
    EXPECT_TRUE(boxes.texts[0].contains("50")) << boxes.texts[0].toStdString();
    EXPECT_EQ(library.ReadNames().size(), 50u);
}

TEST_F(MacroPages, DeletingMacroTwoOfFourRepairsTheButtonsOnlyWhenBothQuestionsAreConfirmed) {
    DiskLibrary library = WriteLibrary({"a", "b", "c", "d"});
    CMainWnd& w = Ready();
    MouseController& controller = w.Hub().Mouse();
    const int layer = controller.Model().ActiveLayer();
    const KeyAssignment factory1 = controller.Model().FactoryAssignment(1);
    controller.AssignButton(1, {0x70, 1, 0});  // plays "b", macro 2
    controller.AssignButton(2, {0x71, 2, 3});  // plays "c", macro 3
    Settle(w);

    // Declining the second question leaves the library and the buttons as they were.
    ChooseName(1);
    {
        BoxAnswerer boxes;
        boxes.answers = {"confirm_btn", "cancel_btn"};
        Click("ms_macro_btn_name_sub");
        EXPECT_EQ(boxes.ids, (std::vector<QString>{"message_text_2", "message_text_4"}));
    }
    Settle(w);
    EXPECT_EQ(library.ReadNames().size(), 4u);
    EXPECT_EQ(controller.Model().ButtonAssignment(layer, 1), (KeyAssignment{0x70, 1, 0}));
    EXPECT_EQ(controller.Model().ButtonAssignment(layer, 2), (KeyAssignment{0x71, 2, 3}));

    {
        BoxAnswerer boxes;
        Click("ms_macro_btn_name_sub");
        EXPECT_EQ(boxes.ids, (std::vector<QString>{"message_text_2", "message_text_4"}));
    }
    Settle(w);
    EXPECT_EQ(library.ReadNames(), (std::vector<std::string>{"a", "c", "d"}));
    EXPECT_EQ(Names(), (QStringList{"a", "c", "d"}));
    EXPECT_EQ(controller.Model().ButtonAssignment(layer, 1), factory1);
    EXPECT_EQ(controller.Model().ButtonAssignment(layer, 2), (KeyAssignment{0x71, 1, 3}));
    // The button's label names the macro it still plays.
    EXPECT_EQ(w.Control<QAbstractButton>("ms_key_2")->text(), "c");
}

TEST_F(MacroPages, BadNamesAndFilesAreRefusedWithAMessageAndWriteNothing) {
    DiskLibrary library = WriteLibrary({"keep", "other"});
    Ready();
    ChooseName(0);
    const std::string index = ReadFileText(library.IndexPath());
    for (const QString& bad :
         {QString("a/b"), QString(".."), QString("x\\y"), QString(300, 'n'), QString("OTHER")}) {
        BoxAnswerer boxes;
        auto* field = window->Control<QLineEdit>("ms_macro_edit_macroname");
        field->setMaxLength(1000);
        field->setText(bad);
        Click("ms_macro_btn_savemacroname");
        ASSERT_TRUE(QTest::qWaitFor([&] { return !boxes.texts.empty(); }, kWaitMs))
            << bad.toStdString();
        if (bad == "OTHER") {
            EXPECT_EQ(boxes.ids[0], "message_text_5");
        }
        EXPECT_FALSE(boxes.texts[0].isEmpty());
        EXPECT_EQ(field->text(), "keep");
        EXPECT_EQ(ReadFileText(library.IndexPath()), index);
    }
    // A change of case only is a rename.
    window->Control<QLineEdit>("ms_macro_edit_macroname")->setText("KEEP");
    Click("ms_macro_btn_savemacroname");
    EXPECT_EQ(library.ReadNames(), (std::vector<std::string>{"KEEP", "other"}));

    // A file that is not a macro file is not taken in.
    WriteText(Data() / "notes.mac", "just some text\n");
    chosen = Data() / "notes.mac";
    {
        BoxAnswerer boxes;
        Click("ms_macro_btn_import");
        ASSERT_TRUE(QTest::qWaitFor([&] { return !boxes.texts.empty(); }, kWaitMs));
    }
    EXPECT_EQ(library.ReadNames().size(), 2u);
    EXPECT_FALSE(fs::exists(Folder() / "name_3.mac"));
    // A good one is, byte for byte, under a new name.
    const std::string good =
        "[MACROACTIONCOUNT]\r\ncount=1\r\n[MACROACTION]\r\n0=5,0,138,4,1,keyboard_key_A\r\n";
    WriteText(Data() / "good.mac", good);
    chosen = Data() / "good.mac";
    Click("ms_macro_btn_import");
    EXPECT_EQ(library.ReadNames(), (std::vector<std::string>{"KEEP", "other", "name_3"}));
    EXPECT_EQ(ReadFileText(Folder() / "name_3.mac"), good);
    EXPECT_EQ(Editor().SelectedName(), "name_3");
    EXPECT_EQ(Editor().Actions().size(), 1u);
    // Export copies the file out; an export target that the dialog agreed to replace is replaced.
    chosen = Data() / "out.mac";
    Click("ms_macro_btn_export");
    EXPECT_EQ(ReadFileText(Data() / "out.mac"), good);
}

TEST_F(MacroPages, AMacroChosenBeforeTheStepsOfAnotherArriveIsTheOneShown) {
    DiskLibrary library = WriteLibrary(
        {"a", "b", "c"},
        {{"a", {Step(5, 0x8A, 4, "keyboard_key_A")}},
         {"b", {Step(6, 0x81, 1, "mouse_key_left"), Step(0, 0x01, 1, "mouse_key_left")}}});
    CMainWnd& w = Ready();
    ASSERT_EQ(Editor().SelectedName(), "c");
    auto* list = w.Control<QListWidget>("ms_MacroName_list");
    auto* tree = w.Control<QTreeWidget>("ms_Macro_list");
    ASSERT_TRUE(list && tree);
    // Every step the list shows from here on.
    QStringList shown;
    QObject::connect(tree->model(), &QAbstractItemModel::dataChanged, tree,
                     [&](const QModelIndex& from, const QModelIndex& to) {
                         if (from.column() != 0) return;
                         for (int r = from.row(); r <= to.row(); ++r)
                             shown << tree->model()->index(r, 0).data().toString();
                     });
    {
        HeldController slowDisk(w.Hub().Mouse());
        w.Router().Fire("itemselect", list, 0);
        // The user goes on to "b" before the steps of "a" arrived.
        w.Router().Fire("itemselect", list, 1);
        QCoreApplication::processEvents();
        EXPECT_EQ(list->currentRow(), 1);
        EXPECT_EQ(w.Control<QLineEdit>("ms_macro_edit_macroname")->text(), "b");
        EXPECT_EQ(tree->topLevelItemCount(), 0);
        // Nothing is edited on steps that are not there yet.
        EXPECT_FALSE(tree->isEnabled());
        EXPECT_FALSE(Button("ms_macro_btn_redio")->isEnabled());
        Page().InsertMouseEvent(0);
        EXPECT_FALSE(Editor().EditOpen());
        EXPECT_FALSE(BarShown());
    }
    Settle(w);
    EXPECT_EQ(Editor().SelectedName(), "b");
    EXPECT_EQ(list->currentRow(), 1);
    ASSERT_EQ(tree->topLevelItemCount(), 2);
    EXPECT_TRUE(tree->isEnabled());
    EXPECT_TRUE(shown.contains(w.Ui().TextOrId("mouse_key_left")));
    EXPECT_FALSE(shown.contains(w.Ui().TextOrId("keyboard_key_A")))
        << "the steps of a macro the user had left were shown";
}

TEST_F(MacroPages, ASaveThenARenameMadeWhileTheDiskIsSlowReachItInThatOrder) {
    DiskLibrary library = WriteLibrary({"m"}, {{"m", {Step(10, 0x8A, 4, "keyboard_key_A")}}});
    CMainWnd& w = Ready();
    Click("ms_macro_inset_leftkey_btn");
    Click("ms_macro_inset_leftkeydown_btn");
    const std::vector<MacroAction> steps = Editor().Actions();
    ASSERT_EQ(steps.size(), 2u);
    ASSERT_TRUE(BarShown());
    {
        HeldController slowDisk(w.Hub().Mouse());
        Button("ms_macro_btn_save")->click();
        w.Control<QLineEdit>("ms_macro_edit_macroname")->setText("later");
        Button("ms_macro_btn_savemacroname")->click();
        QCoreApplication::processEvents();
        // Nothing is on the disk yet; the edit is open until the save's answer.
        EXPECT_TRUE(BarShown());
        EXPECT_EQ(library.ReadNames(), std::vector<std::string>{"m"});
        EXPECT_EQ(library.ReadMacro("m").size(), 1u);
    }
    Settle(w);
    EXPECT_FALSE(BarShown());
    EXPECT_EQ(library.ReadNames(), std::vector<std::string>{"later"});
    EXPECT_EQ(library.ReadMacro("later"), steps);
    EXPECT_FALSE(fs::exists(Folder() / "m.mac"));
    EXPECT_EQ(Names(), QStringList{"later"});
}

TEST_F(MacroPages, ASaveAndARenameClickedJustBeforeTheWindowClosesReachTheDisk) {
    DiskLibrary library = WriteLibrary({"m"});
    Ready();
    Click("ms_macro_inset_leftkey_btn");
    Click("ms_macro_inset_leftkeydown_btn");
    const std::vector<MacroAction> steps = Editor().Actions();
    ASSERT_EQ(steps.size(), 1u);
    // Neither answer is waited for: the window goes at once.
    Button("ms_macro_btn_save")->click();
    window->Control<QLineEdit>("ms_macro_edit_macroname")->setText("kept");
    Button("ms_macro_btn_savemacroname")->click();
    CloseWindow();
    EXPECT_EQ(library.ReadNames(), std::vector<std::string>{"kept"});
    EXPECT_EQ(library.ReadMacro("kept"), steps);
}

// With the simulated keyboard, which the program looks for once at start.
class KeyboardMacroPage : public MacroPages {
  protected:
    KeyboardMacroPage() {
        adjustOptions = [](CMainWnd::Options& o) { o.connectKeyboardAndMousepad = true; };
        peripherals = std::make_unique<sim::SimKeyboardAndMousepad>(bus);
    }
    // The window goes before the devices it uses.
    ~KeyboardMacroPage() override { CloseWindow(); }
    std::unique_ptr<sim::SimKeyboardAndMousepad> peripherals;
};

TEST_F(KeyboardMacroPage, KeepsItsOwnLibraryAndRepairsTheKeyboardsKeys) {
    CMainWnd& w = Ready();
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.Hub().Keyboard().Model().HasInfo(); }, kWaitMs));
    Settle(w);
    app::MacroPage& keyboard = w.Pages()->keyboardMacros;
    keyboard.SetInputCapture(&capture);
    Click("kb_macro_btn_name_add");
    Click("kb_macro_btn_name_add");
    const DiskLibrary kb(DeviceKind::Keyboard, Data() / "kb");
    EXPECT_EQ(kb.ReadNames(), (std::vector<std::string>{"name_1", "name_2"}));
    EXPECT_TRUE(Library().ReadNames().empty());  // the mouse's library is another one
    EXPECT_EQ(keyboard.Editor().SelectedName(), "name_2");

    // A recording on the keyboard's page, saved into its folder (without the mouse's
    // MACROSELECTNAME).
    Check("kb_macro_keyboard_event", true);
    Click("kb_macro_btn_redio");
    capture.Key(InputEventKind::KeyDown, 'Q', 10);
    capture.Key(InputEventKind::KeyUp, 'Q', 40);
    Click("kb_macro_btn_redio");
    Click("kb_macro_btn_save");
    EXPECT_EQ(kb.ReadMacro("name_2"),
              (std::vector<MacroAction>{Step(30, 0x8A, 0x14, "keyboard_key_Q"),
                                        Step(0, 0x0A, 0x14, "keyboard_key_Q")}));
    EXPECT_EQ(ReadFileText(Data() / "kb" / "name_2.mac").find("MACROSELECTNAME"),
              std::string::npos);

    // A key that plays the first macro loses it with the macro; one that plays the second
    // follows it to its new place.
    KeyboardController& keys = w.Hub().Keyboard();
    keys.AssignKey(10, {0x70, 0, 0});
    keys.AssignKey(11, {0x70, 1, 0});
    Settle(w);
    const int layer = keys.Model().ActiveLayer();
    window->Router().Fire("itemselect", w.Control<QListWidget>("kb_MacroName_list"), 0);
    Settle(w);
    {
        BoxAnswerer boxes;
        Click("kb_macro_btn_name_sub");
        EXPECT_EQ(boxes.ids, (std::vector<QString>{"message_text_2", "message_text_4"}));
    }
    Settle(w);
    EXPECT_EQ(kb.ReadNames(), (std::vector<std::string>{"name_2"}));
    EXPECT_NE(keys.Model().KeyAt(layer, 10).type, 0x70);
    EXPECT_EQ(keys.Model().KeyAt(layer, 11), (KeyAssignment{0x70, 0, 0}));
    // The keyboard's index has no cursor scripts.
    EXPECT_EQ(ReadFileText(kb.IndexPath()).find("CURSOR"), std::string::npos);
}

// ---- the step editor ------------------------------------------------------------------------

TEST_F(MacroPages, AnInsertIntoAnEmptyListOpensAnEditThatBlocksOtherMacrosUntilSavedOrCancelled) {
    DiskLibrary library =
        WriteLibrary({"one", "two"}, {{"two", {Step(7, 0x8A, 5, "keyboard_key_B")}}});
    Ready();
    ChooseName(0);
    EXPECT_FALSE(BarShown());
    Click("ms_macro_inset_leftkey_btn");
    EXPECT_FALSE(window->Control("ms_macro_inset_leftkey_tab")->isHidden());
    Click("ms_macro_inset_leftkeydown_btn");
    ASSERT_EQ(Editor().Actions().size(), 1u);
    EXPECT_EQ(Editor().Actions()[0], Step(50, 0x81, 1, "mouse_key_left"));
    EXPECT_EQ(Editor().SelectedRow(), 0);
    EXPECT_TRUE(BarShown());

    // Another macro, a new one or a deletion must wait for the edit.
    {
        BoxAnswerer boxes;
        ChooseName(1);
        Click("ms_macro_btn_name_add");
        EXPECT_EQ(boxes.ids, (std::vector<QString>{"message_text_3", "message_text_3"}));
    }
    EXPECT_EQ(Editor().SelectedName(), "one");
    EXPECT_EQ(window->Control<QListWidget>("ms_MacroName_list")->currentRow(), 0);
    EXPECT_EQ(library.ReadNames().size(), 2u);

    // A move with its distance, limited to 255.
    Type("ms_mouse_y_up_edit", "300");
    EXPECT_EQ(window->Control<QLineEdit>("ms_mouse_y_up_edit")->text(), "255");
    Click("ms_macro_inset_moveupkey_btn");
    ASSERT_EQ(Editor().Actions().size(), 2u);
    EXPECT_EQ(Editor().Actions()[1], Step(50, 0x85, 255, "mouse_move_to_up_text"));
    EXPECT_EQ(RowCells(1).value(1), "255");

    // Cancel drops the steps: the file never had them.
    Click("ms_macro_btn_cancel");
    EXPECT_FALSE(BarShown());
    EXPECT_TRUE(Editor().Actions().empty());
    EXPECT_FALSE(fs::exists(Folder() / "one.mac"));
    ChooseName(1);
    EXPECT_EQ(Editor().SelectedName(), "two");
    EXPECT_EQ(Editor().Actions().size(), 1u);
}

TEST_F(MacroPages, TheStepEditorLimitsDelaysAndKeepsTheRecordConsistent) {
    DiskLibrary library = WriteLibrary(
        {"m"},
        {{"m",
          {Step(10, 0x8A, 4, "keyboard_key_A"), Step(0, 0x84, 20, "mouse_move_to_left_text")}}});
    Ready();
    ChooseRow(0);
    auto* pages = window->Control<QStackedWidget>("ms_tab_macro_edit");
    ASSERT_NE(pages, nullptr);
    EXPECT_EQ(pages->currentIndex(), 1);  // a key step
    EXPECT_EQ(window->Control<QComboBox>("ms_macro_combo_upordown")->currentIndex(), 1);
    EXPECT_FALSE(BarShown());  // looking at a step changes nothing

    QLineEdit* delay = Type("ms__macro_edit_ActionDelay", "70000");
    EXPECT_EQ(delay->text(), "65535");
    EXPECT_EQ(Editor().Actions()[0].DelayMs(), 65535);
    EXPECT_EQ(RowCells(0).value(2), "65535");
    EXPECT_TRUE(BarShown());

    // Released: the state cell and the type byte agree.
    auto* state = window->Control<QComboBox>("ms_macro_combo_upordown");
    state->setCurrentIndex(0);
    window->Router().Fire("itemselect", state, 0);
    EXPECT_EQ(Editor().Actions()[0].type, 0x0A);
    EXPECT_EQ(Editor().Actions()[0].down, 0);
    EXPECT_EQ(RowCells(0).value(1), window->Ui().TextOrId("ui_macro_released"));

    // The move: its own page, its distance limited to 255.
    ChooseRow(1);
    EXPECT_EQ(pages->currentIndex(), 2);
    EXPECT_EQ(window->Control<QComboBox>("ms_macro_combo_mouselect")->currentIndex(), 10);
    EXPECT_EQ(window->Control<QLineEdit>("ms_macro_edit_mou_pointer_skewing")->text(), "20");
    Type("ms_macro_edit_mou_pointer_skewing", "999");
    EXPECT_EQ(Editor().Actions()[1].code, 255);

    // Row moves, then the save writes the rows in their order.
    Click("ms_macro_btn_uptop");
    EXPECT_EQ(Editor().SelectedRow(), 0);
    Click("ms_macro_btn_save");
    const std::vector<MacroAction> saved = library.ReadMacro("m");
    ASSERT_EQ(saved.size(), 2u);
    EXPECT_EQ(saved[0], Step(0, 0x84, 255, "mouse_move_to_left_text"));
    EXPECT_EQ(saved[1], Step(65535, 0x0A, 4, "keyboard_key_A"));
}

// ---- the key page's save --------------------------------------------------------------------

class KeyPageSaveTest : public MacroPages {
  protected:
    void Collect() {
        QObject::connect(&window->Hub(), &app::DeviceHub::Event, window.get(),
                         [this](const ControllerEvent& e) {
                             if (e.type == ControllerEventType::Progress)
                                 progress.push_back(e.value);
                             auto* bar = window->BuiltControl<QProgressBar>("setting_progress");
                             if (bar && e.type == ControllerEventType::Progress && e.value >= 0)
                                 barValues.push_back(bar->value());
                         });
    }
    void SaveAndWait() {
        progress.clear();
        Click("ms_key_Op_tab");
        Click("ms_key_butt_prosave");
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return !progress.empty() && progress.back() == -1; }, kWaitMs));
        Settle(*window);
    }
    std::vector<int> progress;
    std::vector<int> barValues;
};

TEST_F(KeyPageSaveTest, ScriptsMacrosThenTheKeyLayerWithTheBarMovingPerReport) {
    DiskLibrary library = WriteLibrary({"x", "y", "z"});
    std::vector<std::vector<MacroAction>> macros;
    for (int m = 0; m < 3; ++m) {
        std::vector<MacroAction> steps;
        for (int i = 0; i < 5 + 10 * m; ++i)
            steps.push_back(Step(static_cast<uint16_t>(i + 1), 0x8A, static_cast<uint8_t>(4 + m),
                                 "keyboard_key_A"));
        ASSERT_EQ(library.WriteMacro(std::string(1, static_cast<char>('x' + m)), steps),
                  MacroResult::Ok);
        macros.push_back(steps);
    }
    CMainWnd& w = Ready();
    Collect();
    SaveAndWait();

    // 2920 bytes of scripts in 53 reports, 16 + 18 + 4 * 45 = 214 bytes of macros in 4, and the
    // key layer.
    EXPECT_EQ(CommandRuns(), (std::vector<std::string>{"01", "17*53", "02", "01", "15*4", "02",
                                                       "01", "09*10", "02"}));
    const std::vector<uint8_t> memory = mouse->MacroMemory();
    const std::vector<uint8_t> image = *BuildMacroImage(macros);
    ASSERT_EQ(image.size(), 214u);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), memory.begin()));
    const std::vector<uint8_t> scripts = mouse->ScriptMemory();
    ASSERT_GE(scripts.size(), 2920u);
    EXPECT_EQ(scripts[2] | (scripts[3] << 8), 2920);
    // The bar moved with the reports and ended.
    ASSERT_GT(progress.size(), 50u);
    EXPECT_EQ(progress.front(), 0);
    EXPECT_EQ(progress[progress.size() - 2], 100);
    for (size_t i = 1; i + 1 < progress.size(); ++i)
        EXPECT_GT(progress[i], progress[i - 1]);
    EXPECT_FALSE(barValues.empty());
    EXPECT_TRUE(w.Control("setting_progress")->isVisible());
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return !w.Control("setting_progress")->isVisible(); }, kWaitMs));
}

TEST_F(KeyPageSaveTest, AnEmptyLibrarySendsTheKeyLayerOnly) {
    Ready();
    // Without scripts in the index (a user's folder without them), the key layer alone.
    DiskLibrary library(DeviceKind::Mouse, Folder());
    ASSERT_TRUE(library.ReadNames().empty());
    Collect();
    SaveAndWait();
    const std::vector<std::string> runs = CommandRuns();
    ASSERT_GE(runs.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(runs.end() - 3, runs.end()),
              (std::vector<std::string>{"01", "09*10", "02"}));
    for (const std::string& run : runs)
        EXPECT_NE(run.substr(0, 2), "15");
}

TEST_F(KeyPageSaveTest, ALibraryLargerThanTheMouseShowsHowManyStepsToRemoveAndSendsNothing) {
    // The mouse holds 128 bytes; the library takes 16 + 6 + 4 * 28 = 134: remove 2 steps.
    mouse.reset();
    mouse = std::make_unique<sim::SimMouse>(bus, sim::SimMouseConfig{.macroCapacityUnits = 1});
    DiskLibrary library = WriteLibrary(
        {"big"}, {{"big", std::vector<MacroAction>(28, Step(1, 0x8A, 4, "keyboard_key_A"))}});
    Ready();
    Collect();
    BoxAnswerer boxes;
    SaveAndWait();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !boxes.ids.empty(); }, kWaitMs));
    EXPECT_EQ(boxes.ids[0], "message_text_16");
    EXPECT_TRUE(boxes.texts[0].contains("2")) << boxes.texts[0].toStdString();
    for (const std::string& run : CommandRuns()) {
        EXPECT_NE(run.substr(0, 2), "15");
        EXPECT_NE(run.substr(0, 2), "09");
    }
}

TEST_F(KeyPageSaveTest, AMacroChunkTheMouseRefusesStopsTheSaveBeforeTheKeyLayer) {
    DiskLibrary library = WriteLibrary(
        {"m"}, {{"m", std::vector<MacroAction>(40, Step(1, 0x8A, 4, "keyboard_key_A"))}});
    Ready();
    int macroChunks = 0;
    mouse->SetRequestFaults([&](std::span<const uint8_t> request) {
        sim::RequestFault fault;
        if (request[3] == 0x15 && ++macroChunks == 2) fault.status = 0xFE;
        return fault;
    });
    Collect();
    BoxAnswerer boxes;
    SaveAndWait();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !boxes.ids.empty(); }, kWaitMs));
    EXPECT_EQ(boxes.ids[0], "message_text_10");
    for (const std::string& run : CommandRuns())
        EXPECT_NE(run.substr(0, 2), "09");
}

// ---- the command line and the window on one folder ------------------------------------------

#ifdef VQ_QUILLETCTL
TEST_F(MacroPages, MacrosMadeWithQuilletctlAreListedByTheWindow) {
    const QString dir = QString::fromStdString(Data().string());
    auto run = [&](const QStringList& args) {
        QProcess p;
        p.start(VQ_QUILLETCTL, QStringList{"--data-dir", dir} + args);
        EXPECT_TRUE(p.waitForFinished(kWaitMs));
        return p.exitCode();
    };
    EXPECT_EQ(run({"macro", "add", "fire"}), 0);
    EXPECT_EQ(run({"macro", "add", "reload"}), 0);
    EXPECT_EQ(run({"macro", "add", "spare"}), 0);
    EXPECT_EQ(run({"macro", "rename", "reload", "Reload2"}), 0);
    EXPECT_EQ(run({"macro", "export", "fire", dir + "/fire-out.mac"}), 0);
    EXPECT_EQ(run({"macro", "delete", "spare"}), 0);
    EXPECT_NE(run({"macro", "add", "../up"}), 0);
    Ready();
    EXPECT_EQ(Names(), (QStringList{"fire", "Reload2"}));
    EXPECT_TRUE(fs::exists(Data() / "fire-out.mac"));
}
#endif

}  // namespace
}  // namespace vq::test
