#pragma once

#include <QString>

// One run or import at a time per base directory, whichever program starts it
// (a window, a cron job): whoever holds the lock of the file quillcast.lock in
// the directory works in it, and has written its process id there for the
// others' messages. An idle program holds nothing.
//
// The lock is the operating system's (flock), held through an open descriptor:
// it ends with the holder's process however that ends, so a crash never leaves
// the directory locked, and of two programs racing for it exactly one wins. A
// lock file left behind by a dead holder is simply taken over. Two BaseLock
// objects exclude each other even within one process. The file itself stays in
// the directory; only its lock matters.
class BaseLock
{
public:
    static constexpr const char *FileName = "quillcast.lock";

    enum class Outcome {
        Acquired, // this object holds the lock now
        Held,     // a live process holds it: see holderPid()
        Failed,   // the lock file could not be opened or locked: see errorText()
    };

    explicit BaseLock(const QString &directory);
    // Releases the lock when held.
    ~BaseLock();
    BaseLock(const BaseLock &) = delete;
    BaseLock &operator=(const BaseLock &) = delete;

    QString filePath() const { return m_filePath; }

    // Never waits. Creates the lock file when missing. Acquired again while
    // this object holds the lock.
    Outcome tryAcquire();
    bool isAcquired() const { return m_fd >= 0; }
    // After Held: the process id the holder wrote into the file; 0 when it
    // has not written one yet.
    qint64 holderPid() const { return m_holderPid; }
    // After Failed: e.g. Cannot lock "/base/quillcast.lock": Permission denied
    QString errorText() const { return m_error; }
    // Gives the lock up; nothing when it is not held.
    void release();

private:
    QString m_filePath;
    int m_fd = -1;
    qint64 m_holderPid = 0;
    QString m_error;
};
