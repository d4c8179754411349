#include "net/socketlayer.h"

#include <algorithm>
#include <atomic>
#include <sys/resource.h>

namespace {
std::atomic<int> useCount{0};
}

SocketLayerUse::~SocketLayerUse()
{
    setLoaded(false);
}

void SocketLayerUse::setLoaded(bool loaded)
{
    if (loaded == m_loaded)
        return;
    m_loaded = loaded;
    if (loaded) {
        ++useCount;
        m_info = QByteArrayLiteral("Linux kernel sockets (BSD socket interface)");
        m_status = QByteArrayLiteral("Running");
        rlimit limit{};
        rlim_t files = getrlimit(RLIMIT_NOFILE, &limit) == 0 ? limit.rlim_cur : 1024;
        m_maxSockets = static_cast<int>(std::min<rlim_t>(files, 65535));
        m_maxDatagramSize = 65507;
    } else {
        --useCount;
        m_info.clear();
        m_status = QByteArrayLiteral("Down");
        m_maxSockets = 0;
        m_maxDatagramSize = 0;
    }
}

bool SocketLayerUse::running()
{
    return useCount.load() > 0;
}
