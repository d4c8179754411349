#include "app/directorylock.h"

#include "platform/platform.h"
#include "project/session/baselock.h"

DirectoryLock::DirectoryLock(Platform &platform, QWidget *parent, const QString &baseDir)
    : m_platform(platform), m_parent(parent), m_baseDir(baseDir), m_lock(std::make_unique<BaseLock>(baseDir))
{}

DirectoryLock::~DirectoryLock() = default;

bool DirectoryLock::acquire()
{
    if (m_depth > 0) {
        ++m_depth;
        return true;
    }
    const BaseLock::Outcome outcome = m_lock->tryAcquire();
    if (outcome == BaseLock::Outcome::Acquired) {
        m_depth = 1;
        return true;
    }
    const qint64 holder = m_lock->holderPid();
    const QString text =
        outcome == BaseLock::Outcome::Held
            ? QStringLiteral("The directory %1 is in use by another Quillcast%2.")
                  .arg(m_baseDir, holder > 0 ? QStringLiteral(" (process %1)").arg(holder) : QString())
            : QStringLiteral("The directory %1 cannot be locked for Quillcast: %2").arg(m_baseDir, m_lock->errorText());
    m_platform.messageBox(m_parent, text, QStringLiteral("Quillcast"), Platform::Ok, Platform::Icon::Stop);
    return false;
}

void DirectoryLock::release()
{
    if (m_depth > 0 && --m_depth == 0)
        m_lock->release();
}
