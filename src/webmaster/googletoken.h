#pragma once

#include <QByteArray>
#include <QList>
#include <functional>

#include "webmaster/googleoutcome.h"
#include "webmaster/serviceaccount.h"

class THTTPClient;

namespace webmaster {

// The access token of one service account, fetched by exchanging a signed
// assertion at the account's token_uri and held in memory until shortly
// before it expires. The token exchange's answer is never written to a file
// or a log; the token lives only in this object.
class GoogleToken
{
public:
    // Seconds since the epoch; tests set their own.
    using Clock = std::function<qint64()>;
    // A token is renewed when it has less than this left, so that it does not
    // expire between being handed out and reaching Google.
    static constexpr qint64 RenewBeforeSeconds = 60;

    struct Bearer
    {
        QByteArray token;   // "" when none could be had
        bool fresh = false; // fetched by this call, not held from an earlier one
        GoogleCall call;    // Ok with a token; otherwise why there is none
    };

    explicit GoogleToken(ServiceAccount account, Clock clock = {});

    const ServiceAccount &account() const { return m_account; }
    qint64 now() const { return m_clock(); }

    // The token for an "Authorization: Bearer" header: the one held while it
    // is good for RenewBeforeSeconds more, otherwise a new one from the
    // token_uri (with the options' timeout and stop check). A refused
    // exchange is KeyRejected, "the token exchange was refused: <Google's
    // description>"; the message never holds the assertion.
    Bearer bearer(THTTPClient &http, const GoogleCallOptions &options);
    // Drops the held token (after Google answered 401 to it).
    void forget();
    // Token exchanges made so far.
    int exchanges() const { return m_exchanges; }
    // The token held, for cutting out of texts an answer echoes; empty when none.
    QList<QByteArray> secrets() const;

private:
    Bearer exchange(THTTPClient &http, const GoogleCallOptions &options);

    ServiceAccount m_account;
    Clock m_clock;
    QByteArray m_token;
    qint64 m_expiresAt = 0;
    int m_exchanges = 0;
};

} // namespace webmaster
