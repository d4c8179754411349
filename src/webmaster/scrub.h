#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace webmaster {

// What a kept text takes of one that a webmaster engine or the network chose.
inline constexpr qsizetype MaxServerText = 300;

// The one way a text that comes from a webmaster engine (an error message, a
// status line, a coverage state, a network error naming an address) is made
// fit to show, log or store: every spelling of each non-empty secret (as sent,
// percent-encoded, form-encoded; the encoded ones in either letter case) is
// replaced by "[hidden]", control and line-separator characters by blanks, and
// only then is the text cut to maxChars ("..." after a cut), so that a cut can
// never leave part of a secret behind. Callers scrub before they shorten,
// join or keep a text.
QString scrubbed(const QString &text, const QList<QByteArray> &secrets, qsizetype maxChars = MaxServerText);

} // namespace webmaster
