#pragma once

#include <QString>

typedef struct ssl_ctx_st SSL_CTX;

namespace net {

// The process's one client TLS context: TLS 1.2 or later, the server's
// certificate chain always verified against the system trust store, which
// OpenSSL takes from SSL_CERT_FILE and SSL_CERT_DIR when they are set. Made at
// the first https request and made anew when one of those variables changed
// since, so the trust store is always the one the environment names now.
// Streams hold their own reference: a context replaced meanwhile lives on
// until their end.
//
// A new reference (release it with SSL_CTX_free), or nullptr with *failure
// saying why. Never throws.
SSL_CTX *acquireClientContext(QString *failure);

// OpenSSL's reason for the oldest error on the thread's queue, "" when there
// is none. The queue is emptied.
QString takeOpenSslReason();

} // namespace net
