#pragma once

#include <QByteArray>
#include <QString>

// The process's socket layer, shared by every component and counted. On Linux
// the kernel's sockets are always there, so "loading" cannot fail; the count
// keeps the documented switch: while no component holds the layer, every
// socket operation fails with Error::SocketLayerNotLoaded (and a request
// action with Error::AddressInvalid), and the
// host name cannot be had.
//
// SocketLayerPath is kept for the properties' sake only: no library is loaded
// at run time here. Its default is "libc.so.6"; an empty name falls back to it.
// SocketLayerMaxSockets is the process's open-file limit (at most 65535) and
// SocketLayerMaxDatagramSize the largest IPv4 UDP payload, 65507.
class SocketLayerUse
{
public:
    SocketLayerUse() = default;
    ~SocketLayerUse();
    SocketLayerUse(const SocketLayerUse &) = delete;
    SocketLayerUse &operator=(const SocketLayerUse &) = delete;

    bool loaded() const { return m_loaded; }
    // true counts this user in (once), false counts it out (once). Never throws.
    void setLoaded(bool loaded);

    QByteArray info() const { return m_info; }
    QByteArray status() const { return m_loaded ? m_status : QByteArray("Down"); }
    int maxSockets() const { return m_maxSockets; }
    int maxDatagramSize() const { return m_maxDatagramSize; }
    QByteArray path() const { return m_path; }
    void setPath(const QByteArray &path) { m_path = path.isEmpty() ? defaultPath() : path; }

    // True while any user in the process holds the layer.
    static bool running();
    static QByteArray defaultPath() { return QByteArrayLiteral("libc.so.6"); }

private:
    bool m_loaded = false;
    QByteArray m_info;
    QByteArray m_status;
    int m_maxSockets = 0;
    int m_maxDatagramSize = 0;
    QByteArray m_path = defaultPath();
};
