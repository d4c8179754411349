#pragma once

// Helpers shared by the network wire tests: an event log attached to the
// component, a bounded watchdog, and running an action to a one-line outcome.
#include <QCoreApplication>
#include <QList>
#include <QTimer>

#include "net/httpclient.h"

namespace nettest {

// Every event of the component, in order, as one short line each.
struct EventLog
{
    QList<QByteArray> lines;
    QByteArray body;
    qint32 lastCount = 0;

    explicit EventLog(THTTPClient &client)
    {
        client.OnConnected = [this](QObject *, int code, const QString &text) {
            lines << "connected " + QByteArray::number(code) + " " + text.toLatin1();
        };
        client.OnHeader = [this](QObject *, const QByteArray &field, const QByteArray &value) {
            lines << "header " + field + "|" + value;
        };
        client.OnStartTransfer = [this](QObject *) { lines << "start"; };
        client.OnTransfer = [this](QObject *, qint32 count, const char *text, quint16 len) {
            EXPECT_EQ(text[len], '\0');
            body.append(text, len);
            lastCount = count;
            if (lines.isEmpty() || lines.last() != "transfer")
                lines << "transfer";
        };
        client.OnEndTransfer = [this](QObject *) { lines << "end"; };
        client.OnDisconnected = [this](QObject *, int code, const QString &text) {
            lines << "disconnected " + QByteArray::number(code) + " " + text.toLatin1();
        };
        client.OnError = [this](QObject *, int code, const QString &text) {
            lines << "error " + QByteArray::number(code) + " " + text.toLatin1();
        };
    }
};

// Ends a hung exchange after a generous bound so a broken build fails the
// test instead of hanging it; a test that needed it has failed.
class Watchdog
{
public:
    explicit Watchdog(THTTPClient &client, int ms = 15000)
    {
        m_timer.setSingleShot(true);
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this, &client] {
            m_fired = true;
            client.setAction(httpIdle);
        });
        m_timer.start(ms);
    }
    ~Watchdog() { EXPECT_FALSE(m_fired) << "the exchange hung and was ended by the watchdog"; }

private:
    QTimer m_timer;
    bool m_fired = false;
};

// "" on success, otherwise the exception's text.
inline QByteArray perform(THTTPClient &client, THTTPActions action)
{
    Watchdog watchdog(client);
    try {
        client.setAction(action);
    } catch (const ENetCore &failure) {
        return failure.what();
    }
    return {};
}

} // namespace nettest
