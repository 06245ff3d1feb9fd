#pragma once
// The background of the main window and the skin window through which the user picks it.
//
// A background change is broadcast through the process-wide skin observer to its receivers (the
// main window): a plain colour, or a picture (a path or a skin-relative name).
//
// CSkinFrame, built from "skin.xml", opens below the button that opened it with its right edge at
// the button's right edge and closes itself when it loses the focus. Its controls:
//   "skin_image_btn"  the picture in the button's "userdata"; saved: FLAGS 1 and IMAGE
//   "skin_color_btn"  the button's own colour ("bkcolor"); not saved
//   "skin_image" / "skin_color"  page 0 / 1 of "skin_tab"
//   "skin_reset"      the skin's own picture "common/background.png"; saved: FLAGS 0 and IMAGE
//   "skin_Custom"     a picture chosen in a file dialog; not saved

#include <QColor>
#include <QString>
#include <QWidget>
#include <functional>
#include <vector>

namespace vq::app {

class AppSettings;
class NotifyRouter;

struct SkinChangedParam {
    bool bColor = false;  // true: a plain colour
    QRgb bkcolor = 0;     // ARGB, used when bColor
    QString bgimage;      // used when not bColor
};

class SkinReceiver {
  public:
    virtual ~SkinReceiver() = default;
    virtual bool Receive(const SkinChangedParam& param) = 0;
};

class SkinObserver {
  public:
    static SkinObserver& Instance();
    void AddReceiver(SkinReceiver* receiver);
    void RemoveReceiver(SkinReceiver* receiver);
    void Broadcast(const SkinChangedParam& param);

  private:
    std::vector<SkinReceiver*> receivers_;
};

inline constexpr const char* kDefaultBackground = "common/background.png";

class CSkinFrame : public QWidget {
    Q_OBJECT
  public:
    // Opens the skin window below `anchor` (the "skinbtn" control). `settings` receives the
    // choices that are kept.
    CSkinFrame(QWidget* anchor, AppSettings& settings);

    // Test seam: picks the file for "skin_Custom" instead of the file dialog (empty: cancelled).
    static void SetFileChooser(std::function<QString(QWidget*)> chooser);

  private:
    void OnClick(QWidget* sender);
    void PlaceBelow(QWidget* anchor);

    AppSettings& settings_;
    NotifyRouter* router_ = nullptr;
};

}  // namespace vq::app
