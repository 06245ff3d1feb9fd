#pragma once
// A macro page: the mouse's ("ms_") or the keyboard's ("kb_"), the same page over each kind's
// library. The library list with add, delete, rename, import and export; the selected macro's
// steps with the row operations, the insert panel for mouse events and the editor of one step;
// recording through the input capture; save and cancel of the working copy.
//
// Every decision is the editor's (core/macro/macro_editor.h): this class reads the widgets into
// its calls and shows its state. The library's files are read and written on the device's
// controller's thread, in the order the user asked (the window never waits for them); the page
// shows each answer when it arrives. The key assignments that play macros by index are repaired
// by the device's controller.

#include <QString>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

#include "app/pages/page_base.h"
#include "core/device/device_kind.h"
#include "core/macro/macro_editor.h"

class QTreeWidget;

namespace vq::platform {
class InputCapture;
}

namespace vq::app {

enum class FileDialog { OpenMacro, SaveMacro, OpenScript, SaveScript };
// Asks the user for a file: nothing when the dialog was cancelled. A save dialog has asked
// before naming a file that exists.
using FileChooser = std::function<std::optional<std::filesystem::path>(FileDialog dialog)>;
// The platform's file dialogs, on `parent`.
FileChooser SystemFileChooser(QWidget* parent);

class MacroPage : public PageBase {
  public:
    MacroPage(CMainWnd& window, DeviceHub& hub, DeviceKind kind);
    ~MacroPage();
    void Register();

    // The capture the recorder uses (null: none). Not owned.
    void SetInputCapture(platform::InputCapture* capture) { capture_ = capture; }
    void SetFileChooser(FileChooser chooser) { chooser_ = std::move(chooser); }
    // Runs before the recorder takes the capture (another page's capture ends) and after the
    // library's names changed (the key page's macro choices follow).
    void OnCaptureWanted(std::function<void()> handler) { captureWanted_ = std::move(handler); }
    void OnLibraryChanged(std::function<void()> handler) { libraryChanged_ = std::move(handler); }

    DeviceKind Kind() const { return kind_; }
    // The editor; it reads the library when the page is first built.
    MacroEditor& Editor() { return *editor_; }

    // ---- the user's actions, as the handlers run them
    void AddMacro();
    void DeleteMacro();
    void RenameMacro();
    void SelectMacro(int index);
    void ImportMacro();
    void ExportMacro();
    void SelectRow(int row);
    void InsertMouseEvent(int choice, const QString& distanceField = {});
    void ToggleRecording();
    // Ends a recording that runs (the window was deactivated, another page was chosen); the
    // steps recorded so far stay in the open edit.
    void EndRecording();
    void Save();
    void Cancel();

  private:
    QString Name(const char* suffix) const;
    template <typename T = QWidget>
    T* Built(const char* suffix) const;
    void OnPageBuilt(QWidget* page);
    void ShowAll();
    void ShowNames();
    void ShowRows();
    void ShowStepEditor();
    void ShowState();
    void FillChoiceLists();
    void Tell(const MacroOutcome& outcome);
    void Changed(bool changed);
    void EditDelay(const char* field);
    void EditDistance();
    void LimitInsertDistance(const char* field);
    void ToggleInsertPanel(int header);
    void StepRecorded();
    RecordingOptions ReadRecordingOptions() const;
    MacroKeyLayers KeyLayers();
    // Hands the editor's file work to the controller's thread.
    void RunOnLibrary(uint64_t ticket, MacroEditor::Work work);
    void OnAnswer(uint64_t ticket, MacroAnswer answer);
    void TellDeletion(const MacroOutcome& outcome);

    // The library's session, made on the controller's thread and used only there.
    struct LibraryFiles;

    DeviceKind kind_;
    QString prefix_;
    std::shared_ptr<LibraryFiles> files_;
    std::unique_ptr<MacroEditor> editor_;
    bool loadAsked_ = false;
    platform::InputCapture* capture_ = nullptr;
    bool capturing_ = false;
    FileChooser chooser_;
    std::function<void()> captureWanted_;
    std::function<void()> libraryChanged_;
    // The name of the rename on its way (the field's focus leaving and the button both ask).
    std::optional<QString> renaming_;
};

}  // namespace vq::app
