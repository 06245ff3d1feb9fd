// One copy per user: the instance name, the show request of a second copy, and a first copy that
// crashed. Each test uses its own instance name, so that no running program is disturbed.

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>

#include <QDir>
#include <QProcess>
#include <QSocketNotifier>
#include <QUuid>

#include "app_fixture.h"
#include "platform/single_instance.h"

namespace vq::test {
namespace {

using platform::CreateSingleInstance;
using platform::SingleInstance;

std::string UniqueName() {
    return "vq-test-" + QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString();
}

// Dispatches pending requests until `count` show requests were handled (or the wait gives up).
int DispatchUntil(SingleInstance& first, int count) {
    int handled = 0;
    static_cast<void>(QTest::qWaitFor(
        [&] {
            handled += first.DispatchRequests();
            return handled >= count;
        },
        kWaitMs));
    return handled;
}

QProcessEnvironment ProgramEnvironment(const std::string& name, const QString& dataDir) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QUILLET_INSTANCE_NAME", QString::fromStdString(name));
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("QUILLET_DATA_DIR", dataDir);
    return env;
}

TEST(SingleInstance, ASecondClaimAsksTheFirstToShowItself) {
    const std::string name = UniqueName();
    auto first = CreateSingleInstance(name);
    std::vector<unsigned> shown;
    first->SetShowHandler([&](unsigned id) { shown.push_back(id); });
    ASSERT_EQ(first->Claim(), SingleInstance::Role::First);
    ASSERT_GE(first->RequestDescriptor(), 0);
    EXPECT_EQ(first->DispatchRequests(), 0);

    auto second = CreateSingleInstance(name);
    EXPECT_EQ(second->Claim(), SingleInstance::Role::Second);
    auto third = CreateSingleInstance(name);
    EXPECT_EQ(third->Claim(), SingleInstance::Role::Second);
    EXPECT_EQ(DispatchUntil(*first, 2), 2);
    EXPECT_EQ(shown, (std::vector<unsigned>{first->ShowMessageId(), first->ShowMessageId()}));

    // Another name is another program.
    auto other = CreateSingleInstance(UniqueName());
    EXPECT_EQ(other->Claim(), SingleInstance::Role::First);
}

TEST(SingleInstance, TheNameIsFreeOnceTheFirstCopyIsGone) {
    const std::string name = UniqueName();
    {
        auto first = CreateSingleInstance(name);
        ASSERT_EQ(first->Claim(), SingleInstance::Role::First);
    }
    auto next = CreateSingleInstance(name);
    EXPECT_EQ(next->Claim(), SingleInstance::Role::First);
}

TEST(SingleInstance, AConnectionThatIsNotTheShowMessageShowsNothing) {
    const std::string name = UniqueName();
    auto first = CreateSingleInstance(name);
    int shown = 0;
    first->SetShowHandler([&](unsigned) { ++shown; });
    ASSERT_EQ(first->Claim(), SingleInstance::Role::First);
    // A stranger on the socket: the wrong words, then one that says nothing at all.
    auto connectAndSend = [&](const std::string& text) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::string abstract = name + "." + std::to_string(::getuid());
        std::memcpy(address.sun_path + 1, abstract.data(), abstract.size());
        const auto length =
            static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + abstract.size());
        EXPECT_EQ(::connect(fd, reinterpret_cast<const sockaddr*>(&address), length), 0);
        if (!text.empty()) {
            EXPECT_GT(::send(fd, text.data(), text.size(), 0), 0);
        }
        ::close(fd);
    };
    connectAndSend("OPEN_SESAME\n");
    connectAndSend("");
    QTest::qWait(20);
    EXPECT_EQ(first->DispatchRequests(), 0);
    EXPECT_EQ(shown, 0);
    // The real request still works after them.
    auto second = CreateSingleInstance(name);
    EXPECT_EQ(second->Claim(), SingleInstance::Role::Second);
    EXPECT_EQ(DispatchUntil(*first, 1), 1);
    EXPECT_EQ(shown, 1);
}

class SingleInstanceWindow : public WindowTest {};

TEST_F(SingleInstanceWindow, TheProgramStartedAgainEndsWithZeroAndTheFirstComesToTheFront) {
    const std::string name = UniqueName();
    QTemporaryDir data;
    // The first copy: this test's window with the mouse connected, hidden in the tray.
    app::CMainWnd& w = StartWindow();
    w.OnTrayLeftClick();
    ASSERT_FALSE(w.isVisible());
    auto first = CreateSingleInstance(name);
    ASSERT_EQ(first->Claim(), SingleInstance::Role::First);
    first->SetShowHandler([&](unsigned id) { w.PostShowRequest(id); });
    QSocketNotifier requests(first->RequestDescriptor(), QSocketNotifier::Read);
    QObject::connect(&requests, &QSocketNotifier::activated, [&] { first->DispatchRequests(); });

    QProcess second;
    second.setProcessEnvironment(ProgramEnvironment(name, data.path()));
    second.start(VQ_QUILLET, {"--simulate"});
    ASSERT_TRUE(second.waitForFinished(kWaitMs));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.isVisible(); }, kWaitMs));
    // The second copy made no window and no files.
    EXPECT_TRUE(QDir(data.path()).isEmpty());
}

TEST(SingleInstance, ACopyThatWasKilledLeavesTheNameFree) {
    const std::string name = UniqueName();
    QTemporaryDir data;
    QProcess first;
    first.setProcessEnvironment(ProgramEnvironment(name, data.path()));
    first.setProcessChannelMode(QProcess::SeparateChannels);
    first.start(VQ_QUILLET, {"--simulate", "--verbose"});
    ASSERT_TRUE(first.waitForStarted(kWaitMs));
    // The debug line after a successful claim says it holds the name.
    QByteArray said;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            said += first.readAllStandardError();
            return said.contains("软件标示：");
        },
        kWaitMs));
    first.kill();  // SIGKILL: nothing is cleaned up
    ASSERT_TRUE(first.waitForFinished(kWaitMs));
    auto next = CreateSingleInstance(name);
    EXPECT_EQ(next->Claim(), SingleInstance::Role::First);
}

}  // namespace
}  // namespace vq::test
