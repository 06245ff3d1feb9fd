#pragma once
// The mouse's recoil page: the four scripts (gun slots), the 30 bullets of the chosen script with
// the editor of one bullet (its delay and its horizontal and vertical correction, each change
// written to the script at once), the drawing of the script's path, reset, import, export and
// the send to the mouse. The scripts' files are the core's (core/macro/cursor_scripts.h); they
// are read and written on the mouse's controller's thread, like the send, and the page shows
// the chosen slot as the last answer had it.

#include <QPixmap>
#include <functional>
#include <memory>
#include <vector>

#include "app/pages/macro_page.h"
#include "app/pages/page_base.h"
#include "core/macro/cursor_scripts.h"

namespace vq::app {

class MouseCursorPage : public PageBase {
  public:
    using PageBase::PageBase;
    ~MouseCursorPage();
    void Register();
    void SetFileChooser(FileChooser chooser) { chooser_ = std::move(chooser); }

    const BulletCursor& Cursor() const { return cursor_; }

    // ---- the user's actions, as the handlers run them
    void SelectSlot(int slot);
    void SelectBullet(int bullet);
    // Writes the bullet from the editor's fields and check boxes.
    void SaveBullet();
    void Reset();
    void Import();
    void Export();
    void Send();

  private:
    // The chosen slot as the mouse's controller last read it: its bullets and its path.
    struct SlotView {
        int slot = -1;
        bool scripts = false;  // false: the mouse's folder cannot be used
        std::vector<Bullet> bullets;
        std::vector<ScriptPoint> path;
        ScriptOutcome outcome;  // of the operation that ran before the read
    };
    // What the answer of an operation does on the page.
    enum class Then { ShowAll, KeepFields, TellThenShowAll, TellThenFirstBullet, Tell };
    using ScriptOperation = std::function<ScriptOutcome(CursorScripts&)>;
    // Runs `operation` (none: a read) on the scripts on the mouse's controller's thread, reads
    // `slot` back there, and shows the answer when it arrives.
    void RunOnScripts(int slot, ScriptOperation operation, Then then);
    void OnAnswer(SlotView view, Then then);
    void OnPageBuilt();
    void ShowBullet();
    void ShowPath();
    void ShowDirections();
    void Tell(const ScriptOutcome& outcome);

    // The scripts' files, used on the mouse's controller's thread only.
    struct ScriptFiles;
    std::shared_ptr<ScriptFiles> files_;
    SlotView view_;
    BulletCursor cursor_;
    FileChooser chooser_;
    // The target picture the path is drawn on.
    QPixmap target_;
};

}  // namespace vq::app
