// Pictures of the program's pages for reviewing a skin: the main window on the simulated mouse,
// keyboard and mousepad,
// every device tab and page, a profile panel, the About window and the colour palette dialog,
// in one language.
//
//   vq_skin_shots OUTPUT_DIR [en|cn|tw]
//
// Run it under a display (xvfb-run -a vq_skin_shots out) or with QT_QPA_PLATFORM=offscreen. The
// data folder is a temporary one; the user's settings are not touched.

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/device_environment.h"
#include "app/dialogs/about_window.h"
#include "app/dialogs/palette_dialog.h"
#include "app/main_window.h"

namespace {

void Wait(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
}

bool WaitFor(const std::function<bool()>& done, int ms) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > ms) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

bool Click(QWidget* root, const char* name) {
    auto* button = root->findChild<QAbstractButton*>(QString::fromLatin1(name));
    if (button == nullptr) {
        std::fprintf(stderr, "vq_skin_shots: no control %s\n", name);
        return false;
    }
    button->click();
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: vq_skin_shots OUTPUT_DIR [en|cn|tw]\n");
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setApplicationVersion(QStringLiteral(VQ_VERSION));
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QDir().mkpath(out.absolutePath());
    const QString language = argc > 2 ? QString::fromLatin1(argv[2]) : QStringLiteral("en");
    const int setting = language == QLatin1String("cn")   ? 1
                        : language == QLatin1String("tw") ? 2
                                                          : 0;
    QTemporaryDir data;
    auto devices = vq::app::DeviceEnvironment::Simulated({}, true);
    vq::app::CMainWnd::Options options;
    options.skinFolder =
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("skin"));
    options.dataFolder = data.path().toStdString();
    options.programFolder = QCoreApplication::applicationDirPath().toStdString();
    options.backend = devices->Backend();
    options.connectKeyboardAndMousepad = true;
    options.readLanguageHint = [] { return std::optional<std::string>(); };
    options.writeLanguageHint = [](const std::string&) { return true; };
    auto window = std::make_unique<vq::app::CMainWnd>(options);
    if (!window->Build()) {
        std::fprintf(stderr, "vq_skin_shots: the skin in %s cannot be used\n",
                     qPrintable(options.skinFolder));
        return 1;
    }
    window->WindowInit();
    if (!WaitFor([&] { return window->isVisible(); }, 10000)) {
        std::fprintf(stderr, "vq_skin_shots: the window was not shown\n");
        return 1;
    }
    window->SwitchLanguage(setting);
    WaitFor([&] { return window->Hub().Keyboard().Model().HasInfo(); }, 10000);
    Wait(1500);  // the connect reads and the light threads' first frames

    int failures = 0;
    const auto shot = [&](QWidget* widget, const QString& name) {
        Wait(250);
        const QString path = out.filePath(QStringLiteral("%1_%2.png").arg(name, language));
        if (!widget->grab().save(path)) {
            std::fprintf(stderr, "vq_skin_shots: cannot write %s\n", qPrintable(path));
            ++failures;
            return;
        }
        std::printf("%s\n", qPrintable(path));
    };
    QWidget* w = window.get();
    struct Page {
        const char* tab;
        const char* option;
        const char* name;
    };
    for (const Page& page : {Page{"ms_tab", "ms_deng_Op_tab", "mouse_light"},
                             Page{"ms_tab", "ms_key_Op_tab", "mouse_buttons"},
                             Page{"ms_tab", "ms_rich_Op_tab", "mouse_sensor"},
                             Page{"ms_tab", "ms_macro_Op_tab", "mouse_macros"},
                             Page{"ms_tab", "ms_cursor_Op_tab", "mouse_recoil"},
                             Page{"kb_tab", "kb_key_Op_tab", "keyboard_keys"},
                             Page{"kb_tab", "kb_deng_Op_tab", "keyboard_light"},
                             Page{"kb_tab", "kb_macro_Op_tab", "keyboard_macros"},
                             Page{"mp_tab", "mp_deng_Op_tab", "mousepad_light"}}) {
        if (!Click(w, page.tab) || !Click(w, page.option)) {
            ++failures;
            continue;
        }
        if (QByteArray(page.name) == "mouse_buttons") Click(w, "ms_key_2");
        if (QByteArray(page.name) == "keyboard_keys") Click(w, "kb_key_1");
        shot(w, QString::fromLatin1(page.name));
    }
    // The mouse's profile panel, open over its page.
    Click(w, "ms_tab");
    Click(w, "ms_deng_Op_tab");
    if (QWidget* panel = window->Control(QStringLiteral("ms_profile_fun_spead_tab"))) {
        panel->show();
        panel->raise();
        shot(w, QStringLiteral("mouse_profiles"));
        panel->hide();
    }
    vq::app::Ccopyright* about = vq::app::Ccopyright::Open(w);
    shot(about, QStringLiteral("about"));
    about->close();
    vq::app::CPalletDialog palette(QStringLiteral("GmPalletDialog.xml"), 0xFF0199CBu, w);
    palette.show();
    shot(&palette, QStringLiteral("palette"));
    palette.close();
    window->Exit();
    return failures == 0 ? 0 : 1;
}
