// The program as a user starts it: demo mode, tracing, its data folder, bad arguments.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QUuid>

#include "app_fixture.h"

namespace vq::test {
namespace {

struct Outcome {
    int exitCode = -1;
    QString out, err;
};

// Runs quillet with a private instance name and home, on the offscreen platform.
Outcome Quillet(const QStringList& args, const QString& home, const QString& runtime = {}) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QUILLET_INSTANCE_NAME", QUuid::createUuid().toString(QUuid::WithoutBraces));
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("HOME", home);
    env.remove("QUILLET_DATA_DIR");
    env.remove("XDG_DOCUMENTS_DIR");
    env.remove("XDG_CONFIG_HOME");
    if (runtime.isEmpty())
        env.remove("XDG_RUNTIME_DIR");
    else
        env.insert("XDG_RUNTIME_DIR", runtime);
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(VQ_QUILLET, args);
    Outcome run;
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

TEST(Program, TheDemoRunsOnTheSimulatedMouseInItsOwnFolderAndTracesEveryReport) {
    QTemporaryDir home, runtime;
    const Outcome run = Quillet({"--simulate", "--exit-when-shown"}, home.path(), runtime.path());
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains("window shown after")) << run.out.toStdString();
    // Settings and profiles went to the demo folder, nothing to the home folder.
    const QDir demo(QDir(runtime.path()).filePath("varnhold-quillet-demo"));
    EXPECT_TRUE(demo.exists("ms/msProfile.ini"));
    EXPECT_TRUE(QDir(home.path()).isEmpty());
}

TEST(Program, TracingShowsTheReportsAndTheSystemsRequestToEndIsAnOrderlyExit) {
    QTemporaryDir home, data;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QUILLET_INSTANCE_NAME", QUuid::createUuid().toString(QUuid::WithoutBraces));
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("HOME", home.path());
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(VQ_QUILLET, {"--simulate", "--trace", "--data-dir", data.path()});
    ASSERT_TRUE(process.waitForStarted(kWaitMs));
    // The full read half a second after the mouse arrived: requests and their answers.
    QString err;
    const QRegularExpression request("^> cfg 04 ", QRegularExpression::MultilineOption);
    const QRegularExpression answer("^< cfg 04 ", QRegularExpression::MultilineOption);
    const bool traced = QTest::qWaitFor(
        [&] {
            process.waitForReadyRead(10);
            err += QString::fromUtf8(process.readAllStandardError());
            return err.contains(request) && err.contains(answer);
        },
        15000);
    process.terminate();  // SIGTERM
    ASSERT_TRUE(process.waitForFinished(kWaitMs));
    EXPECT_TRUE(traced) << err.left(2000).toStdString();
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);
}

TEST(Program, AnExplicitDataFolderIsUsedAndBadArgumentsAreRefused) {
    QTemporaryDir home, data;
    const Outcome run =
        Quillet({"--simulate", "--data-dir", data.path(), "--exit-when-shown"}, home.path());
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(QDir(data.path()).exists("ms/msProfile.ini"));
    EXPECT_TRUE(QDir(data.path()).exists("kb/kbProfile.ini"));
    EXPECT_TRUE(QDir(data.path()).exists("mp/mpProfile.ini"));
    EXPECT_TRUE(QDir(home.path()).isEmpty());

    const Outcome bad = Quillet({"--frobnicate"}, home.path());
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_TRUE(bad.err.contains("unknown argument --frobnicate"));
    EXPECT_TRUE(bad.err.contains("usage: quillet"));
    const Outcome missing = Quillet({"--data-dir"}, home.path());
    EXPECT_EQ(missing.exitCode, 2);
    const Outcome help = Quillet({"--help"}, home.path());
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains("--simulate"));
}

TEST(Program, AutostartOnWritesTheLoginEntryForThisProgramAndOffRemovesIt) {
    QTemporaryDir home;
    const QString entry = QDir(home.path()).filePath(".config/autostart/varnhold-quillet.desktop");
    const Outcome on = Quillet({"--autostart", "on"}, home.path());
    ASSERT_EQ(on.exitCode, 0) << on.err.toStdString();
    EXPECT_TRUE(on.out.contains(entry)) << on.out.toStdString();
    QFile file(entry);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    file.close();
    // The entry starts this very program, wherever it was started from.
    const QString program = QFileInfo(QStringLiteral(VQ_QUILLET)).canonicalFilePath();
    EXPECT_TRUE(text.contains("\nExec=\"" + program + "\"\n")) << text.toStdString();

    const Outcome off = Quillet({"--autostart", "off"}, home.path());
    ASSERT_EQ(off.exitCode, 0) << off.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(entry));
    const Outcome bad = Quillet({"--autostart", "sometimes"}, home.path());
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_TRUE(bad.err.contains("--autostart needs on or off"));
}

TEST(Program, ASkinThatCannotBeUsedIsReportedNotAnEmptyWindow) {
    QTemporaryDir home, skin;
    const Outcome run = Quillet({"--simulate", "--skin", skin.path(), "--exit-when-shown"},
                                home.path(), home.path());
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains("cannot be used")) << run.err.toStdString();
}

}  // namespace
}  // namespace vq::test
