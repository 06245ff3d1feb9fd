// The profile panel on the real skin: the start-up fill shared with quilletctl, the operations of
// every family with their dialogs and refusals, the program links, and the profiles that follow
// the program in front.

#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>

#include "app/pages/device_pages.h"
#include "app_fixture.h"

namespace vq::test {
namespace {

namespace fs = std::filesystem;
using app::CMainWnd;

// Every file under `root` (paths relative to it, '/'-separated) with its bytes.
std::map<QString, QByteArray> FilesUnder(const fs::path& root) {
    std::map<QString, QByteArray> files;
    const QDir base(QString::fromStdString(root.string()));
    QDirIterator it(base.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        if (file.open(QIODevice::ReadOnly)) files[base.relativeFilePath(path)] = file.readAll();
    }
    return files;
}

class ProfilePanelTest : public WindowTest {};

#ifdef VQ_QUILLETCTL
TEST_F(ProfilePanelTest, AFirstStartSeedsTheSameFilesAsQuilletctl) {
    StartWindow(false);
    std::map<QString, QByteArray> fromWindow = FilesUnder(Data());
    // The window's own settings are not the profiles'.
    fromWindow.erase("main.ini");

    QTemporaryDir cliData;
    QProcess cli;
    cli.start(VQ_QUILLETCTL,
              {"--data-dir", cliData.path(), "--program-dir", VQ_PROGRAM_DIR, "profiles"});
    ASSERT_TRUE(cli.waitForFinished(kWaitMs));
    ASSERT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
    const std::map<QString, QByteArray> tool = FilesUnder(cliData.path().toStdString());

    // The profiles of every kind and family, the mouse's cursor scripts among them.
    EXPECT_TRUE(fromWindow.contains("ms/msProfile.ini"));
    EXPECT_TRUE(fromWindow.contains("kb/profile1.config"));
    EXPECT_TRUE(fromWindow.contains("mp/profile1.led"));
    EXPECT_TRUE(fromWindow.contains("ms/name_1.cur"));
    std::vector<QString> windowNames, toolNames;
    for (const auto& [name, bytes] : fromWindow)
        windowNames.push_back(name);
    for (const auto& [name, bytes] : tool)
        toolNames.push_back(name);
    EXPECT_EQ(windowNames, toolNames);
    for (const auto& [name, bytes] : fromWindow) {
        if (tool.contains(name)) {
            EXPECT_EQ(bytes, tool.at(name)) << name.toStdString();
        }
    }
}
#endif

}  // namespace
}  // namespace vq::test
