// The macro image and the key page's save on the simulated mouse: image bytes, chunking, the
// capacity check, device refusals, and the order on the wire.

#include <gtest/gtest.h>

#include "core/macro/key_page_save.h"
#include "core/mouse/mouse_device.h"
#include "support/sim_fixture.h"
#include "support/temp_dir.h"

namespace vq::test {
namespace {

MacroAction Act(uint16_t delay, uint8_t type, uint8_t code) {
    MacroAction a;
    a.SetDelayMs(delay);
    a.type = type;
    a.code = code;
    a.down = (type & 0x80) ? 1 : 0;
    a.label = "x";
    return a;
}

// A macro of n actions whose bytes tell the actions apart.
std::vector<MacroAction> Macro(int n, uint8_t tag) {
    std::vector<MacroAction> m;
    for (int i = 0; i < n; ++i)
        m.push_back(Act(static_cast<uint16_t>(300 + i), 0x8A, static_cast<uint8_t>(tag + i)));
    return m;
}

uint16_t U16(std::span<const uint8_t> bytes, size_t at) {
    return static_cast<uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

TEST(MacroImage, OneMacroOfThreeActionsIsThirtyFourBytes) {
    const std::vector<std::vector<MacroAction>> library = {
        {Act(10, 0x8A, 4), Act(500, 0x0A, 4), Act(0, 0x84, 20)}};
    const std::vector<uint8_t> image = *BuildMacroImage(library);
    EXPECT_EQ(image, (std::vector<uint8_t>{0xAA, 0x55, 34,   0, 1,    0, 0, 0, 0,    0, 0,  0,
                                           0,    0,    0,    0, 18,   0, 3, 0, 0,    0, 10, 0,
                                           0x8A, 4,    0xF4, 1, 0x0A, 4, 0, 0, 0x84, 20}));
    // A macro without actions is its count and two reserved bytes.
    const std::vector<std::vector<MacroAction>> empties = {{}, {Act(1, 0x81, 1)}};
    const std::vector<uint8_t> two = *BuildMacroImage(empties);
    EXPECT_EQ(two.size(), 16u + 4 + 4 + 8);
    EXPECT_EQ(U16(two, 16), 20);
    EXPECT_EQ(U16(two, 18), 24);
    EXPECT_EQ(U16(two, 20), 0);
    EXPECT_EQ(U16(two, 24), 1);
    // Lengths past 16 bits cannot be described.
    const std::vector<std::vector<MacroAction>> huge = {Macro(16380, 0)};
    EXPECT_FALSE(BuildMacroImage(huge));
}

TEST(MacroImage, ActionsToRemoveFollowsTheMessagesRule) {
    EXPECT_EQ(ActionsToRemove(4096, 4096), 0);
    EXPECT_EQ(ActionsToRemove(4100, 4096), 2);
    EXPECT_EQ(ActionsToRemove(4098, 4096), 1);
    EXPECT_EQ(ActionsToRemove(40, 0), 11);
}

// The command codes of the requests on the wire, with a run of equal codes written once with
// its count ("15x3").
std::vector<std::string> Commands(const std::vector<std::vector<uint8_t>>& requests) {
    std::vector<std::string> out;
    int run = 0;
    for (size_t i = 0; i < requests.size(); ++i) {
        ++run;
        if (i + 1 < requests.size() && requests[i + 1][3] == requests[i][3]) continue;
        char text[16];
        std::snprintf(text, sizeof text, run > 1 ? "%02x*%d" : "%02x", requests[i][3], run);
        out.emplace_back(text);
        run = 0;
    }
    return out;
}

class KeyPageSaveOnTheWire : public SimMouseTest {
  protected:
    void UseCapacityUnits(uint8_t units) {
        mouse.reset();
        sim::SimMouseConfig config;
        config.macroCapacityUnits = units;
        mouse = std::make_unique<sim::SimMouse>(bus, config);
        mouse->Plug();
    }
    // Connects and reads the mouse as the program does at its arrival (the capacity with it).
    void Arrive() {
        Connect();
        ASSERT_EQ(ReadMouse(*session, model), kResultSuccess);
        bus.ClearTranscript();
    }
    KeyPageSave Save(std::vector<std::vector<MacroAction>> macros) {
        KeyPageSave save = MouseKeyPageSave(model, library, nullptr);
        save.macros = std::move(macros);
        return save;
    }

    TempDir dir;
    MacroLibrary library{DeviceKind::Mouse, dir.path()};
    MouseModel model;
};

TEST_F(KeyPageSaveOnTheWire, ThreeMacrosLandInMacroMemoryAndTheKeyLayerFollows) {
    Arrive();
    model.SetButtonAssignment(0, 3, {0x70, 2, 0});
    const std::vector<std::vector<MacroAction>> macros = {Macro(2, 0x10), Macro(0, 0),
                                                          Macro(30, 0x40)};
    std::vector<std::pair<int, int>> steps;
    const KeyPageSaveResult r = SaveKeyPage(*session, Save(macros), [&](int done, int total) {
        steps.push_back({done, total});
    });
    ASSERT_TRUE(r.Ok()) << r.detail;
    EXPECT_TRUE(r.keyLayerSent);

    // 16 + 6 + 8, 6, 6 + 120: 162 bytes in 56, 56, 50.
    const std::vector<uint8_t> memory = mouse->MacroMemory();
    const std::vector<uint8_t> expected = *BuildMacroImage(macros);
    ASSERT_EQ(expected.size(), 162u);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), memory.begin()));
    EXPECT_EQ(U16(memory, 2), 162);
    EXPECT_EQ(U16(memory, 4), 3);
    EXPECT_EQ(U16(memory, 16), 22);  // offsets
    EXPECT_EQ(U16(memory, 18), 34);
    EXPECT_EQ(U16(memory, 20), 38);
    EXPECT_EQ(U16(memory, 22), 2);  // counts
    EXPECT_EQ(U16(memory, 34), 0);
    EXPECT_EQ(U16(memory, 38), 30);
    EXPECT_EQ(memory[42 + 4 * 29 + 3], 0x40 + 29);  // the last action's code
    EXPECT_EQ(memory[162], 0);                      // nothing past the image

    const auto requests = Requests();
    EXPECT_EQ(Commands(requests),
              (std::vector<std::string>{"01", "15*3", "02", "01", "09*10", "02"}));
    EXPECT_EQ(requests[1][4], 56);
    EXPECT_EQ(requests[3][4], 50);
    EXPECT_EQ(U16(requests[3], 5), 112);
    const auto keys = mouse->KeyMemory();
    EXPECT_EQ(keys[9], 0x70);
    EXPECT_EQ(keys[10], 2);

    // One step for every report exchanged, chunks included, after the first at 0.
    ASSERT_EQ(steps.size(), requests.size() + 1);
    EXPECT_EQ(steps.front().first, 0);
    EXPECT_EQ(steps.back().first, steps.back().second);
    EXPECT_EQ(steps.back().second, static_cast<int>(requests.size()));
    for (size_t i = 1; i < steps.size(); ++i)
        EXPECT_GT(steps[i].first, steps[i - 1].first);
}

TEST_F(KeyPageSaveOnTheWire, ALibraryAtTheCapacityIsSentAndOneActionMoreSendsNothing) {
    UseCapacityUnits(1);  // 128 bytes
    Arrive();
    // 16 + 2 × 6 + 4 × 25 = 128.
    KeyPageSaveResult r = SaveKeyPage(*session, Save({Macro(20, 0), Macro(5, 0x80)}));
    ASSERT_TRUE(r.Ok()) << r.detail;
    EXPECT_EQ(Commands(Requests()),
              (std::vector<std::string>{"01", "15*3", "02", "01", "09*10", "02"}));

    bus.ClearTranscript();
    const auto keysBefore = mouse->KeyMemory();
    r = SaveKeyPage(*session, Save({Macro(21, 0), Macro(5, 0x80)}));  // 4 bytes over
    EXPECT_EQ(r.macros.status, TransferStatus::TooLarge);
    EXPECT_EQ(r.textId, "message_text_16");
    EXPECT_EQ(r.textArg, 2);
    EXPECT_FALSE(r.saveProfiles);
    EXPECT_FALSE(r.keyLayerSent);
    EXPECT_TRUE(Requests().empty());
    EXPECT_EQ(mouse->KeyMemory(), keysBefore);

    r = SaveKeyPage(*session, Save({Macro(20, 0), Macro(2, 0), Macro(2, 0)}));  // 2 bytes over
    EXPECT_EQ(r.textArg, 1);
    r = SaveKeyPage(*session, Save({Macro(200, 0)}));
    EXPECT_EQ(r.textArg, (16 + 6 + 800 - 128) / 4 + 1);
    EXPECT_TRUE(Requests().empty());
}

TEST_F(KeyPageSaveOnTheWire, NoInformationReadMeansNoRoomForMacros) {
    Connect();  // connected, but the information record was never read
    const KeyPageSaveResult r = SaveKeyPage(*session, Save({Macro(1, 0)}));
    EXPECT_EQ(r.textId, "message_text_16");
    EXPECT_EQ(r.textArg, (16 + 6 + 4) / 4 + 1);
    EXPECT_TRUE(Requests().empty());
}

TEST_F(KeyPageSaveOnTheWire, ARefusedMiddleChunkStopsTheSaveBeforeTheKeyLayer) {
    Arrive();
    const auto keysBefore = mouse->KeyMemory();
    model.SetButtonAssignment(0, 1, {0x70, 0, 0});
    mouse->FailRequest(3, 0xFE);  // Begin, chunk 1, chunk 2
    const KeyPageSaveResult r = SaveKeyPage(*session, Save({Macro(30, 0)}));
    EXPECT_EQ(r.macros.status, TransferStatus::Failed);
    EXPECT_EQ(r.macros.command, kResultRefusedFE);
    EXPECT_EQ(r.textId, "message_text_10");
    EXPECT_NE(r.detail.find("0xFE"), std::string::npos);
    EXPECT_FALSE(r.keyLayerSent);
    EXPECT_TRUE(r.saveProfiles);
    // Two chunks went, the exchange was closed, no key layer followed.
    EXPECT_EQ(Commands(Requests()), (std::vector<std::string>{"01", "15*2", "02"}));
    EXPECT_EQ(mouse->KeyMemory(), keysBefore);
}

TEST_F(KeyPageSaveOnTheWire, AMacroWriteWithoutAnswerStopsTooAndSaysSo) {
    Arrive();
    mouse->DropNextRequests(8);  // every attempt at Begin, then at the first chunk
    const KeyPageSaveResult r = SaveKeyPage(*session, Save({Macro(3, 0)}));
    EXPECT_EQ(r.macros.command, kResultNoAnswer);
    EXPECT_EQ(r.textId, "message_text_19");
    EXPECT_FALSE(r.keyLayerSent);
    for (const auto& request : Requests())
        EXPECT_NE(request[3], 0x09);
}

TEST_F(KeyPageSaveOnTheWire, AnEmptyLibrarySendsTheKeyLayerOnly) {
    Arrive();
    const std::vector<uint8_t> macrosBefore = mouse->MacroMemory();
    model.EditRecord([](MouseRecord& r) { r.SetSlot(2); });
    model.SetButtonAssignment(2, 0, {0x20, 0, 4});
    const KeyPageSaveResult r = SaveKeyPage(*session, Save({}));
    ASSERT_TRUE(r.Ok()) << r.detail;
    EXPECT_EQ(r.macros.status, TransferStatus::NothingToSend);
    const auto requests = Requests();
    EXPECT_EQ(Commands(requests), (std::vector<std::string>{"01", "09*10", "02"}));
    EXPECT_EQ(U16(requests[1], 5), 2 * 126);  // layer 2 at its address
    EXPECT_EQ(mouse->MacroMemory(), macrosBefore);
    EXPECT_EQ(mouse->KeyMemory()[2 * 126], 0x20);
}

TEST_F(KeyPageSaveOnTheWire, ADisconnectedMouseGetsNothing) {
    // Never connected: nothing on the wire, nothing to tell, the profiles are saved.
    model.SetInfo(MouseInfo{});
    const KeyPageSaveResult r = SaveKeyPage(*session, Save({}));
    EXPECT_TRUE(r.Ok());
    EXPECT_TRUE(r.saveProfiles);
    EXPECT_FALSE(r.keyLayerSent);
    EXPECT_TRUE(bus.Transcript().empty());
}

TEST_F(KeyPageSaveOnTheWire, TheShippedScriptsGoFirstAsATwoThousandNineHundredTwentyByteImage) {
    Arrive();
    ASSERT_TRUE(library.SeedCursorScripts(VQ_PROGRAM_DIR));
    CursorScripts scripts(dir.path(), VQ_PROGRAM_DIR);
    KeyPageSave save = MouseKeyPageSave(model, library, &scripts);
    ASSERT_EQ(save.scripts.size(), 4u);
    save.macros = {Macro(3, 0)};
    const KeyPageSaveResult r = SaveKeyPage(*session, save);
    ASSERT_TRUE(r.Ok()) << r.detail;
    EXPECT_EQ(r.scripts.bytes, 2920u);
    const std::vector<uint8_t> image = *BuildScriptImage(save.scripts);
    ASSERT_EQ(image.size(), 2920u);
    const std::vector<uint8_t> memory = mouse->ScriptMemory();
    EXPECT_TRUE(std::equal(image.begin(), image.end(), memory.begin()));
    // 2920 bytes: 52 full chunks and one of 8.
    const auto requests = Requests();
    EXPECT_EQ(Commands(requests), (std::vector<std::string>{"01", "17*53", "02", "01", "15", "02",
                                                            "01", "09*10", "02"}));
    EXPECT_EQ(requests[53][4], 8);
    EXPECT_EQ(U16(requests[53], 5), 52 * 56);
}

TEST_F(KeyPageSaveOnTheWire, ARefusedScriptWriteStopsBeforeTheMacros) {
    Arrive();
    ASSERT_TRUE(library.SeedCursorScripts(VQ_PROGRAM_DIR));
    CursorScripts scripts(dir.path(), VQ_PROGRAM_DIR);
    KeyPageSave save = MouseKeyPageSave(model, library, &scripts);
    save.macros = {Macro(3, 0)};
    mouse->FailRequest(2, 0xFF);
    const KeyPageSaveResult r = SaveKeyPage(*session, save);
    EXPECT_EQ(r.scripts.command, kResultRefusedFF);
    EXPECT_EQ(r.textId, "message_text_10");
    EXPECT_EQ(Commands(Requests()), (std::vector<std::string>{"01", "17", "02"}));
}

}  // namespace
}  // namespace vq::test
