#include "app/main_window.h"

// The window's tray icon and its menu.

#include <QFile>
#include <QIcon>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QXmlStreamReader>

#include "app/msg_wnd.h"
#include "core/util/log.h"

namespace vq::app {

void CMainWnd::CreateTray() {
    const QIcon icon(ui_->ResolveImage("app_icon.svg"));
    setWindowIcon(icon);
    tray_ = new QSystemTrayIcon(icon, this);
    tray_->setToolTip("Varnhold Quillet");
    trayMenu_ = new QMenu();
    trayMenu_->setObjectName("tray_menu");
    connect(trayMenu_, &QMenu::aboutToShow, this, [this] { RebuildTrayMenu(); });
    tray_->setContextMenu(trayMenu_);
    connect(tray_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger) OnTrayLeftClick();
            });
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        Log(LogLevel::Info, "no system tray on this desktop; the tray icon is created anyway");
    tray_->show();
}

// ---- tray menu ----------------------------------------------------------------------------------

QMenu* CMainWnd::RebuildTrayMenu() {
    trayMenu_->clear();
    auto add = [this](const QString& name, const QString& text, const QString& shown) {
        QAction* action = trayMenu_->addAction(shown);
        action->setObjectName(name);
        action->setData(text);
        connect(action, &QAction::triggered, this,
                [this, name, text] { OnMenuCommand(name, text); });
    };
    const int language = settings_.Language();
    const QString exitText = language == 0   ? QStringLiteral("Close")
                             : language == 1 ? QStringLiteral("关闭")
                                             : QString();
    add("exit", exitText, exitText);
    QFile file(ui_->FilePath("menu1.xml"));
    if (!file.open(QIODevice::ReadOnly)) {
        Log(LogLevel::Warning, "skin: menu1.xml is missing; the tray menu has only its exit item");
        return trayMenu_;
    }
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) continue;
        if (xml.name() != QLatin1String("item")) continue;
        const QString name = xml.attributes().value("name").toString();
        const QString text = xml.attributes().value("text").toString();
        add(name, text, ui_->TextOrId(text));
    }
    if (xml.hasError())
        Log(LogLevel::Warning, "skin: menu1.xml: " + xml.errorString().toStdString());
    return trayMenu_;
}

void CMainWnd::OnMenuCommand(const QString& name, const QString& text) {
    const QString lower = name.toLower();
    if (lower == "lan_en") {
        SwitchLanguage(0);
    } else if (lower == "lan_cn") {
        SwitchLanguage(1);
    } else if (lower == "about_setting") {
        if (aboutOpener_)
            aboutOpener_(*this);
        else
            Log(LogLevel::Warning, "the About window is not part of this build");
    } else if (name == "exit") {
        Exit();
    } else if (name == "Menu_Import" || name == "Menu_Export") {
        // Handled by the profile pages.
    } else {
        ShowMessage(this, {}, text, true);
    }
}

}  // namespace vq::app
