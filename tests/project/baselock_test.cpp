#include "project/session/baselock.h"
#include "support/tempdir.h"

#include <csignal>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// A child process that takes the lock of a directory and keeps it until it is
// killed or the test process ends (its pipe then closes). The destructor stops
// it, whatever the test did.
class LockHolder
{
public:
    explicit LockHolder(const QString &directory)
    {
        int ready[2], hold[2];
        if (::pipe(ready) != 0 || ::pipe(hold) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(ready[0]);
            ::close(hold[1]);
            BaseLock lock(directory);
            const char acquired = lock.tryAcquire() == BaseLock::Outcome::Acquired ? '1' : '0';
            char byte;
            if (::write(ready[1], &acquired, 1) == 1)
                while (::read(hold[0], &byte, 1) < 0 && errno == EINTR) {
                }
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(hold[0]);
        m_hold = hold[1];
        char byte = 0;
        m_acquired = m_pid > 0 && ::read(ready[0], &byte, 1) == 1 && byte == '1';
        ::close(ready[0]);
    }
    ~LockHolder() { kill(); }

    bool acquired() const { return m_acquired; }
    pid_t pid() const { return m_pid; }
    // Ends the child the hard way: nothing of it runs on the way out.
    void kill()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
            m_pid = -1;
        }
        if (m_hold >= 0)
            ::close(std::exchange(m_hold, -1));
    }

private:
    pid_t m_pid = -1;
    int m_hold = -1;
    bool m_acquired = false;
};

TEST(BaseLock, OneHolderAtATimeEvenWithinOneProcess)
{
    qctest::ScopedBaseDir dir;
    BaseLock first(dir.path());
    BaseLock second(dir.path());
    ASSERT_EQ(first.tryAcquire(), BaseLock::Outcome::Acquired);
    EXPECT_EQ(first.tryAcquire(), BaseLock::Outcome::Acquired);
    EXPECT_EQ(second.tryAcquire(), BaseLock::Outcome::Held);
    EXPECT_EQ(second.holderPid(), ::getpid());
    first.release();
    EXPECT_EQ(second.tryAcquire(), BaseLock::Outcome::Acquired);
}

TEST(BaseLock, ALiveProcessIsNamedAndItsLockIsTakenOverOnceItDied)
{
    qctest::ScopedBaseDir dir;
    LockHolder holder(dir.path());
    ASSERT_TRUE(holder.acquired());

    BaseLock lock(dir.path());
    EXPECT_EQ(lock.tryAcquire(), BaseLock::Outcome::Held);
    EXPECT_EQ(lock.holderPid(), holder.pid());

    holder.kill();
    EXPECT_EQ(lock.tryAcquire(), BaseLock::Outcome::Acquired);
    EXPECT_EQ(qctest::readFile(lock.filePath()), QByteArray::number(::getpid()) + "\n");
}

TEST(BaseLock, ADirectoryThatCannotHoldTheFileFails)
{
    qctest::ScopedBaseDir dir;
    BaseLock lock(dir.file(QStringLiteral("no/such/dir")));
    EXPECT_EQ(lock.tryAcquire(), BaseLock::Outcome::Failed);
    EXPECT_TRUE(lock.errorText().startsWith("Cannot lock \"" + lock.filePath() + "\": "))
        << lock.errorText().toStdString();
    EXPECT_FALSE(lock.isAcquired());
}

} // namespace
