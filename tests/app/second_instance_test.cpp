// The real program started twice: the second start says so on one line, ends at once with
// exit code 0 and leaves the first running, while --help and --version still answer; the
// first one's lock goes with it even when it is killed.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "platform/single_instance.h"
#include "tests/common/wait.h"

namespace kelvora::test {
namespace {

// Whether `pid` holds a flock, as the kernel lists them; looking does not take the lock.
bool HoldsFlock(qint64 pid) {
    QFile locks(QStringLiteral("/proc/locks"));
    if (!locks.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray needle = " " + QByteArray::number(pid) + " ";
    for (const QByteArray& line : locks.readAll().split('\n')) {
        if (line.contains("FLOCK") && line.contains(needle)) {
            return true;
        }
    }
    return false;
}

TEST(SecondInstance, ExitsAtOnceWithZeroAndLeavesTheFirstRunning) {
    QTemporaryDir runtime;
    ASSERT_TRUE(runtime.isValid());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.remove(QStringLiteral("KELVORA_VKEY"));

    QProcess first;
    first.setProcessEnvironment(env);
    first.start(QStringLiteral(KELVORA_APP_BINARY),
                {QStringLiteral("--virtual"), QStringLiteral("3")});
    ASSERT_TRUE(first.waitForStarted());
    ASSERT_TRUE(KELVORA_WAIT_UNTIL(HoldsFlock(first.processId())));

    QProcess second;
    second.setProcessEnvironment(env);
    second.start(QStringLiteral(KELVORA_APP_BINARY), {QStringLiteral("-E")});
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(second.readAllStandardError().isEmpty());
    const QList<QByteArray> said = second.readAllStandardOutput().trimmed().split('\n');
    ASSERT_EQ(said.size(), 1);
    EXPECT_TRUE(said[0].contains("already running")) << said[0].toStdString();
    EXPECT_EQ(first.state(), QProcess::Running);

    // --help and --version answer even now, and without a display.
    QProcessEnvironment headless = env;
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        headless.remove(QString::fromLatin1(name));
    }
    const struct {
        QString option;
        QByteArray expected;
    } answers[] = {{QStringLiteral("--help"), "Usage: kelvora-fido2-manager "},
                   {QStringLiteral("--version"), "kelvora-fido2-manager " KELVORA_VERSION "\n"}};
    for (const auto& answer : answers) {
        QProcess info;
        info.setProcessEnvironment(headless);
        info.start(QStringLiteral(KELVORA_APP_BINARY), {answer.option});
        ASSERT_TRUE(info.waitForFinished(10000));
        EXPECT_EQ(info.exitCode(), 0) << answer.option.toStdString();
        EXPECT_TRUE(info.readAllStandardOutput().startsWith(answer.expected))
            << answer.option.toStdString();
    }
    EXPECT_EQ(first.state(), QProcess::Running);

    // Killed without a chance to clean up, the first copy leaves no lock behind.
    first.kill();
    ASSERT_TRUE(first.waitForFinished(10000));
    ASSERT_EQ(::setenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit().constData(), 1), 0);
    const SingleInstanceResult after = AcquireSingleInstance(kSingleInstanceName);
    EXPECT_EQ(after.check, InstanceCheck::kFirst);
}

}  // namespace
}  // namespace kelvora::test
