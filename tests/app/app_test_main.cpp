// The GUI tests run in one QApplication on the offscreen platform.

#include <gtest/gtest.h>

#include <QApplication>
#include <cstdio>

namespace {

QtMessageHandler g_previous = nullptr;

// The offscreen platform says for each popup, raise and tray icon that it cannot do them.
void QuietMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.startsWith("This plugin does not support") ||
        message.contains("systemTrayWindowChanged"))
        return;
    if (g_previous) {
        g_previous(type, context, message);
        return;
    }
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    g_previous = qInstallMessageHandler(QuietMessages);
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
