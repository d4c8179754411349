#pragma once

#include <QString>
#include <memory>

class BaseLock;
class Platform;
class QWidget;

// The window's hold on the base directory. The directory belongs to one run or
// import at a time, of this program or another (a cron job beside an idle
// window), so the window takes it only while a run or an import works and
// leaves it free otherwise. Holds nest: the command line's steps hold it
// through all of them and each step's own hold counts up.
class DirectoryLock
{
public:
    // Boxes about a lock held elsewhere are shown over parent through platform;
    // both must outlive the lock.
    DirectoryLock(Platform &platform, QWidget *parent, const QString &baseDir);
    ~DirectoryLock();
    DirectoryLock(const DirectoryLock &) = delete;
    DirectoryLock &operator=(const DirectoryLock &) = delete;

    // Takes the directory, or counts one more hold when the window has it. False
    // when another program holds it or it cannot be locked, after a box that
    // says so (naming the holder's process when known).
    bool acquire();
    // Gives up one hold; the directory is free again with the last.
    void release();
    // A run or an import of the window works in the directory.
    bool isHeld() const { return m_depth > 0; }

    // A hold for a scope: held() tells whether it was granted.
    class Scope
    {
    public:
        explicit Scope(DirectoryLock &lock) : m_lock(lock), m_held(lock.acquire()) {}
        ~Scope()
        {
            if (m_held)
                m_lock.release();
        }
        Scope(const Scope &) = delete;
        Scope &operator=(const Scope &) = delete;
        bool held() const { return m_held; }

    private:
        DirectoryLock &m_lock;
        bool m_held;
    };

private:
    Platform &m_platform;
    QWidget *m_parent;
    QString m_baseDir;
    std::unique_ptr<BaseLock> m_lock;
    int m_depth = 0;
};
