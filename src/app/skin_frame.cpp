#include "app/skin_frame.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "app/app_settings.h"
#include "app/notify_router.h"
#include "app/skin_ui.h"
#include "core/util/log.h"

namespace vq::app {

namespace {
std::function<QString(QWidget*)> g_fileChooser;

QString ChooseFile(QWidget* parent) {
    if (g_fileChooser) return g_fileChooser(parent);
    return QFileDialog::getOpenFileName(parent, QString(), "*.png", "(*.png);;(*.*)", nullptr,
                                        QFileDialog::Options());
}

// A button's own colour: its "bkcolor" property ("#RRGGBB" or "#AARRGGBB").
QRgb ButtonColour(const QWidget* button) {
    const QColor colour(button->property("bkcolor").toString());
    return colour.isValid() ? colour.rgba() : 0xFF000000u;
}
}  // namespace

SkinObserver& SkinObserver::Instance() {
    static SkinObserver observer;
    return observer;
}

void SkinObserver::AddReceiver(SkinReceiver* receiver) {
    if (std::find(receivers_.begin(), receivers_.end(), receiver) == receivers_.end())
        receivers_.push_back(receiver);
}

void SkinObserver::RemoveReceiver(SkinReceiver* receiver) {
    receivers_.erase(std::remove(receivers_.begin(), receivers_.end(), receiver), receivers_.end());
}

void SkinObserver::Broadcast(const SkinChangedParam& param) {
    const std::vector<SkinReceiver*> receivers = receivers_;
    for (SkinReceiver* receiver : receivers)
        receiver->Receive(param);
}

void CSkinFrame::SetFileChooser(std::function<QString(QWidget*)> chooser) {
    g_fileChooser = std::move(chooser);
}

CSkinFrame::CSkinFrame(QWidget* anchor, AppSettings& settings)
    : QWidget(anchor ? anchor->window() : nullptr, Qt::Popup | Qt::FramelessWindowHint),
      settings_(settings) {
    setObjectName("UISkinFrame");
    setWindowTitle("skinframe");
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    QWidget* content = SkinUi::Current() ? SkinUi::Current()->Load("skin.xml", this) : nullptr;
    if (content) {
        layout->addWidget(content);
        resize(content->size());
    } else {
        Log(LogLevel::Warning, "skin: skin.xml could not be built; the skin window stays empty");
        resize(200, 80);
    }
    router_ = new NotifyRouter(this);
    router_->OnAny("click", [this](const Notification& n) {
        if (n.widget) OnClick(n.widget);
    });
    router_->Attach(this);
    PlaceBelow(anchor);
    show();
}

void CSkinFrame::PlaceBelow(QWidget* anchor) {
    if (!anchor) return;
    const QPoint bottomRight = anchor->mapToGlobal(QPoint(anchor->width(), anchor->height()));
    move(bottomRight.x() - width(), bottomRight.y());
}

void CSkinFrame::OnClick(QWidget* sender) {
    const QString name = sender->objectName().toLower();
    SkinChangedParam param;
    if (name == "skin_image_btn") {
        param.bgimage = sender->property("userdata").toString();
        SkinObserver::Instance().Broadcast(param);
        settings_.SetFlags(1);
        settings_.SetImage(param.bgimage.toStdString());
    } else if (name == "skin_color_btn") {
        param.bColor = true;
        param.bkcolor = ButtonColour(sender);
        SkinObserver::Instance().Broadcast(param);
    } else if (name == "skin_color" || name == "skin_image") {
        if (auto* tab = findChild<QStackedWidget*>("skin_tab"))
            tab->setCurrentIndex(name == "skin_color" ? 1 : 0);
    } else if (name == "skin_reset") {
        param.bgimage = kDefaultBackground;
        SkinObserver::Instance().Broadcast(param);
        settings_.SetFlags(0);
        settings_.SetImage(kDefaultBackground);
    } else if (name == "skin_custom") {
        // The file dialog takes the focus, which would close this popup under it.
        hide();
        const QString file = ChooseFile(parentWidget());
        if (!file.isEmpty()) {
            param.bgimage = file;
            SkinObserver::Instance().Broadcast(param);
        }
        close();
    }
}

}  // namespace vq::app
