#pragma once
// The mouse's recoil page: the four scripts (gun slots), the 30 bullets of the chosen script with
// the editor of one bullet (its delay and its horizontal and vertical correction, each change
// written to the script at once), the drawing of the script's path, reset, import, export and
// the send to the mouse. The scripts' files are the core's (core/macro/cursor_scripts.h); the
// send runs on the mouse's controller.

#include <QPixmap>
#include <memory>

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

    // The scripts, made when the page is first built or used; null without the mouse's folder.
    CursorScripts* Scripts();
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
    void OnPageBuilt();
    void ShowBullet();
    void ShowPath();
    void ShowDirections();
    void Tell(const ScriptOutcome& outcome);

    std::unique_ptr<CursorScripts> scripts_;
    bool scriptsTried_ = false;
    BulletCursor cursor_;
    FileChooser chooser_;
    // The target picture the path is drawn on.
    QPixmap target_;
};

}  // namespace vq::app
