#include "app/dialogs/about_window.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QLabel>

#include "core/util/log.h"

namespace vq::app {

namespace {

Ccopyright::LinkOpener& Opener() {
    static Ccopyright::LinkOpener opener = [](const QUrl& url) {
        return QDesktopServices::openUrl(url);
    };
    return opener;
}

}  // namespace

const QUrl& Ccopyright::Homepage() {
    static const QUrl url(QStringLiteral("https://www.varnhold.example/quillet"));
    return url;
}

QPoint Ccopyright::PlaceFor(const QRect& mainWindowFrame) {
    const int bottom = mainWindowFrame.top() + mainWindowFrame.height();
    return {2 * mainWindowFrame.left(), bottom / 2 - 80};
}

void Ccopyright::SetLinkOpener(LinkOpener opener) {
    Opener() =
        opener ? std::move(opener) : [](const QUrl& url) { return QDesktopServices::openUrl(url); };
}

Ccopyright::Ccopyright(const QString& layoutFile, int flag, QWidget* parent)
    : SkinDialog(layoutFile, parent) {
    static_cast<void>(flag);
    setWindowTitle(QStringLiteral("关于"));
    setObjectName(QStringLiteral("UICOPYRIGHT"));
    setModal(false);
    setAttribute(Qt::WA_DeleteOnClose);
    if (auto* version = Control<QLabel>(QStringLiteral("about_version"))) {
        version->setText(QCoreApplication::applicationVersion().isEmpty()
                             ? version->text()
                             : QCoreApplication::applicationVersion());
    }
}

Ccopyright* Ccopyright::Open(QWidget* mainWindow) {
    auto* about = new Ccopyright(QStringLiteral("CopyRight.xml"), 0, mainWindow);
    if (mainWindow != nullptr) about->move(PlaceFor(mainWindow->frameGeometry()));
    about->show();
    return about;
}

void Ccopyright::OnClick(const QString& name, QAbstractButton* /*button*/) {
    if (name == QLatin1String("closebtn")) {
        CloseWith(2);
    } else if (name == QLatin1String("NetText")) {
        if (!Opener()(Homepage())) {
            Logf(LogLevel::Warning, "About: could not open %s", qPrintable(Homepage().toString()));
        }
    }
}

}  // namespace vq::app
