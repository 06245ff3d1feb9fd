#include "app/app_main.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>

#include "app/app_options.h"
#include "app/device_environment.h"
#include "app/dialogs/about_window.h"
#include "app/main_window.h"
#include "app/skin_check.h"
#include "core/device/hid_device.h"
#include "core/util/atomic_file.h"
#include "core/util/file_names.h"
#include "core/util/log.h"
#include "platform/autostart.h"
#include "platform/folders.h"
#include "platform/single_instance.h"
#include "platform/termination.h"

namespace vq::app {

namespace {

std::mutex g_stderrMutex;

void WriteError(const std::string& line) {
    std::lock_guard lock(g_stderrMutex);
    std::fprintf(stderr, "%s\n", line.c_str());
}

// The demo's own data folder: in the user's runtime folder, else a folder of the user's own in
// the temporary folder. Never the user's real data folder.
std::optional<std::filesystem::path> DemoDataFolder() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
        return PathFromUtf8(runtime.toStdString()) / "varnhold-quillet-demo";
    return platform::UserTemporaryFolder("varnhold-quillet-demo");
}

std::optional<std::filesystem::path> DataFolder(const AppOptions& options) {
    if (options.dataDir) return std::filesystem::path(*options.dataDir);
    const QString fromEnvironment = qEnvironmentVariable("QUILLET_DATA_DIR");
    if (!fromEnvironment.isEmpty()) return PathFromUtf8(fromEnvironment.toStdString());
    if (options.simulate) return DemoDataFolder();
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return PathFromUtf8(documents.toStdString()) / "Varnhold Quillet";
}

// The folder of the skin and the shipped defaults: beside the program, else the install's
// share folder.
std::filesystem::path ShippedFolder() {
    if (std::optional<std::filesystem::path> folder = platform::ShippedFilesFolder())
        return *folder;
    return PathFromUtf8(QCoreApplication::applicationDirPath().toStdString());
}

QString SkinFolder(const AppOptions& options) {
    if (options.skinDir) return QString::fromStdString(*options.skinDir);
    return QString::fromStdString(Utf8FromPath(ShippedFolder() / "skin"));
}

// --autostart on|off.
int SetAutostart(bool on) {
    std::string error;
    std::unique_ptr<platform::Autostart> autostart = platform::CreateUserAutostart(&error);
    const std::optional<std::filesystem::path> program = platform::ProgramFile();
    if (autostart && on && !program) error = "the program's own path is not known";
    const bool done = autostart && (on ? program && autostart->Enable(*program, &error)
                                       : autostart->Disable(&error));
    if (!done) {
        std::fprintf(stderr, "quillet: cannot change the start at login: %s\n", error.c_str());
        return 1;
    }
    if (on)
        std::printf("Varnhold Quillet now starts when you log in (%s)\n",
                    autostart->Where().c_str());
    else
        std::printf("Varnhold Quillet no longer starts when you log in\n");
    return 0;
}

// --list-controls and --check-skin: load the skin's layouts (without a display when there is
// none), print what was asked and end. The check's exit code is 1 when anything is missing.
int RunSkinTool(const AppOptions& options, int argc, char** argv) {
#ifndef _WIN32
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
    QApplication app(argc, argv);
    if (options.listControls) {
        const QString folder = SkinFolder(options);
        QStringList faults;
        const QStringList lines = ListControls(folder, &faults);
        for (const QString& line : lines)
            std::printf("%s\n", line.toUtf8().constData());
        for (const QString& fault : faults)
            std::fprintf(stderr, "quillet: skin fault: %s\n", fault.toUtf8().constData());
        if (lines.isEmpty()) {
            std::fprintf(stderr, "quillet: no layouts in %s\n", folder.toUtf8().constData());
            return 1;
        }
        if (!options.checkSkin) return 0;
    }
    const QString folder =
        options.checkSkinDir ? QString::fromStdString(*options.checkSkinDir) : SkinFolder(options);
    const SkinCheckReport report = CheckSkin(folder);
    for (const QString& line : report.Lines())
        std::printf("%s\n", line.toUtf8().constData());
    if (report.Ok()) {
        std::printf("the skin in %s has everything the program needs\n",
                    QDir(folder).absolutePath().toUtf8().constData());
        return 0;
    }
    std::fprintf(stderr, "quillet: the skin in %s lacks %lld item(s)\n",
                 QDir(folder).absolutePath().toUtf8().constData(),
                 static_cast<long long>(report.Lines().size()));
    return 1;
}

}  // namespace

int RunQuillet(int argc, char** argv) {
    const auto started = std::chrono::steady_clock::now();
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    const std::optional<AppOptions> parsed = ParseAppOptions(args, &error);
    if (!parsed) {
        std::fprintf(stderr, "quillet: %s\n%s", error.c_str(), kAppUsage);
        return 2;
    }
    const AppOptions& options = *parsed;
    if (options.help) {
        std::fputs(kAppUsage, stdout);
        return 0;
    }
    SetLogSink([verbose = options.verbose](LogLevel level, std::string_view line) {
        if (verbose || level >= LogLevel::Warning)
            WriteError(std::string("quillet: ") + LogLevelName(level) + ": " + std::string(line));
    });
    if (options.listControls || options.checkSkin) return RunSkinTool(options, argc, argv);
    if (options.autostart) return SetAutostart(*options.autostart);

    // One copy per user: a second start asks the first to show itself and ends here.
    const QString instanceName = qEnvironmentVariable("QUILLET_INSTANCE_NAME");
    std::unique_ptr<platform::SingleInstance> instance = platform::CreateSingleInstance(
        instanceName.isEmpty() ? platform::kInstanceName : instanceName.toStdString());
    if (instance->Claim() == platform::SingleInstance::Role::Second) return 0;
    Logf(LogLevel::Debug, "软件标示：%u", instance->ShowMessageId());

    auto since = [started] {
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started)
            .count();
    };
    QApplication app(argc, argv);
    Logf(LogLevel::Debug, "start-up: application ready after %.1f ms", since());
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setApplicationName("Varnhold Quillet");
    QApplication::setApplicationVersion(QStringLiteral(VQ_VERSION));

    std::unique_ptr<DeviceEnvironment> devices;
    if (options.simulate) {
        devices = DeviceEnvironment::Simulated({}, options.simulateAll);
    } else if (options.deviceSocket) {
        std::string why;
        devices = DeviceEnvironment::Socket(*options.deviceSocket, &why);
        if (!devices) {
            WriteError("quillet: " + why);
            return 3;
        }
    } else {
        std::string note;
        devices = DeviceEnvironment::System(&note);
        if (!note.empty()) Logf(LogLevel::Warning, "%s", note.c_str());
    }
    if (options.trace)
        SetHidTraceSink([](TraceDirection dir, uint16_t page, std::span<const uint8_t> report) {
            WriteError(FormatTraceLine(dir, page, report));
        });

    // Every file the program writes reaches the disk before it replaces the old one.
    InstallFileSync(platform::CreateSystemFileSync());

    CMainWnd::Options windowOptions;
    windowOptions.skinFolder = SkinFolder(options);
    const std::optional<std::filesystem::path> dataFolder = DataFolder(options);
    if (!dataFolder) {
        WriteError("quillet: no folder for the settings and profiles: give --data-dir DIR");
        return 1;
    }
    windowOptions.dataFolder = *dataFolder;
    windowOptions.programFolder = ShippedFolder();
    windowOptions.backend = devices->Backend();
    windowOptions.connectKeyboardAndMousepad = options.simulateAll;
    int exitCode = 0;
    {
        CMainWnd window(windowOptions);
        if (!window.Build()) {
            std::fprintf(stderr, "quillet: the skin in %s cannot be used (see the lines above)\n",
                         windowOptions.skinFolder.toUtf8().constData());
            SetHidTraceSink(nullptr);
            return 1;
        }
        Logf(LogLevel::Debug, "start-up: window built after %.1f ms", since());
        window.SetAboutOpener([](CMainWnd& main) { Ccopyright::Open(&main); });
        instance->SetShowHandler([&window](unsigned id) { window.PostShowRequest(id); });
        std::unique_ptr<QSocketNotifier> requests;
        if (instance->RequestDescriptor() >= 0) {
            requests = std::make_unique<QSocketNotifier>(instance->RequestDescriptor(),
                                                         QSocketNotifier::Read);
            QObject::connect(requests.get(), &QSocketNotifier::activated, &window,
                             [&instance] { instance->DispatchRequests(); });
        }
        QObject::connect(&window, &CMainWnd::QuitRequested, &app, &QCoreApplication::quit,
                         Qt::QueuedConnection);
        // The system ending the session (or Ctrl+C) ends the program as "exit" does.
        std::unique_ptr<QSocketNotifier> termination;
        if (const int fd = platform::TerminationRequestDescriptor(); fd >= 0) {
            termination = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
            QObject::connect(termination.get(), &QSocketNotifier::activated, &window, [&window] {
                platform::ClearTerminationRequests();
                Log(LogLevel::Info, "asked by the system to end");
                window.Exit();
            });
        }
        QObject::connect(&app, &QCoreApplication::aboutToQuit, &window,
                         [&window] { window.Shutdown(); });
        if (options.exitWhenShown)
            QObject::connect(&window, &CMainWnd::FirstShown, &window, [&window, started] {
                // The window has been painted: the start-up time ends here.
                const auto now = std::chrono::steady_clock::now();
                std::printf(
                    "window shown after %.1f ms (monotonic %lld ns)\n",
                    std::chrono::duration<double, std::milli>(now - started).count(),
                    static_cast<long long>(
                        std::chrono::duration_cast<std::chrono::nanoseconds>(now.time_since_epoch())
                            .count()));
                std::fflush(stdout);
                QTimer::singleShot(0, &window, [&window] { window.Exit(); });
            });
        if (options.hideWhenShown && !options.exitWhenShown)
            QObject::connect(&window, &CMainWnd::FirstShown, &window, [&window] {
                QTimer::singleShot(0, &window, [&window] { window.close(); });
            });
        window.WindowInit();
        Logf(LogLevel::Debug, "start-up: sequence done after %.1f ms", since());
        exitCode = QApplication::exec();
        if (window.Shutdown() == WorkerSet::StopOutcome::TimedOut) {
            // A thread still runs on objects the window owns: end the process without tearing
            // them down under it. Everything the user changed is already on disk and sent.
            std::fflush(nullptr);
            std::_Exit(0);
        }
    }
    SetHidTraceSink(nullptr);
    SetLogSink(nullptr);
    return exitCode;
}

}  // namespace vq::app
