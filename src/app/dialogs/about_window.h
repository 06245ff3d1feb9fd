#pragma once
// The About window: product name, version and a link to the homepage, built from the skin's
// "CopyRight.xml". It is not modal; a new window is made for every request and deletes itself
// when closed.

#include <QPoint>
#include <QRect>
#include <QString>
#include <QUrl>

#include <functional>

#include "app/dialogs/skin_dialog.h"

namespace vq::app {

class Ccopyright : public SkinDialog {
    Q_OBJECT

  public:
    // The homepage the link opens.
    static const QUrl& Homepage();
    // Where the window goes for a main window with this outer rectangle: left at twice the main
    // window's left edge, top at its bottom edge (top + height) halved, less 80.
    static QPoint PlaceFor(const QRect& mainWindowFrame);

    // How a link is opened; the desktop's browser unless a test replaces it. Returns whether the
    // link could be handed on.
    using LinkOpener = std::function<bool(const QUrl&)>;
    static void SetLinkOpener(LinkOpener opener);

    Ccopyright(const QString& layoutFile, int flag, QWidget* parent = nullptr);

    // Makes the window for a main window, places it and shows it (not modal). The window deletes
    // itself when it is closed.
    static Ccopyright* Open(QWidget* mainWindow);

  protected:
    void OnClick(const QString& name, QAbstractButton* button) override;
};

}  // namespace vq::app
