#include "checks/pagefingerprint.h"

#include <openssl/evp.h>

namespace checks {

namespace {

constexpr qsizetype heldLimit = 16 * 1024;

bool isWhitespace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

bool isMark(char c)
{
    return c == '<' || c == '@' || c == '=' || c == '"' || c == '\\';
}

bool namesToken(QByteArrayView name)
{
    for (const char *word : {"csrf", "token", "nonce"})
        if (name.contains(QByteArrayView(word)))
            return true;
    return false;
}

} // namespace

PageFingerprint::PageFingerprint() : m_hash(EVP_MD_CTX_new())
{
    if (m_hash != nullptr && EVP_DigestInit_ex(m_hash, EVP_sha256(), nullptr) != 1) {
        EVP_MD_CTX_free(m_hash);
        m_hash = nullptr;
    }
    m_held.reserve(heldLimit + 1024);
}

PageFingerprint::~PageFingerprint()
{
    EVP_MD_CTX_free(m_hash);
}

bool PageFingerprint::attributeMatters(QByteArrayView element, QByteArrayView attribute, QByteArrayView metaName,
                                       QByteArrayView inputType)
{
    if (attribute == "href" || attribute == "src" || attribute == "alt" || attribute == "title")
        return true;
    if (attribute == "content")
        return element == "meta" && !namesToken(metaName);
    if (attribute == "value")
        return element != "input" || inputType != "hidden";
    return false;
}

bool PageFingerprint::skipsInside(QByteArrayView element)
{
    return element == "script" || element == "style";
}

void PageFingerprint::put(char mark, QByteArrayView bytes)
{
    // A mark and a length before each field: "<a" + "b" and "<ab" must not hash alike.
    m_held += mark;
    m_held += QByteArray::number(bytes.size());
    m_held += ':';
    m_held += bytes;
    if (m_held.size() >= heldLimit)
        flush();
}

void PageFingerprint::flush()
{
    if (m_hash != nullptr && !m_held.isEmpty())
        EVP_DigestUpdate(m_hash, m_held.constData(), size_t(m_held.size()));
    m_held.clear();
}

void PageFingerprint::startElement(QByteArrayView name)
{
    m_textOpen = false;
    m_blankPending = false;
    put('<', name);
}

void PageFingerprint::attribute(QByteArrayView name, QByteArrayView value)
{
    put('@', name);
    put('=', value.trimmed());
}

void PageFingerprint::text(QByteArrayView piece)
{
    // Text goes in without length marks, so the way the parser slices it does not count.
    const char *at = piece.data();
    const char *const end = at + piece.size();
    while (at < end) {
        if (isWhitespace(*at)) {
            m_blankPending = m_textOpen;
            ++at;
            continue;
        }
        if (!m_textOpen) {
            m_held += '"';
            m_textOpen = true;
        } else if (m_blankPending) {
            m_held += ' ';
        }
        m_blankPending = false;
        const char *run = at;
        while (run < end && !isWhitespace(*run) && !isMark(*run))
            ++run;
        if (run > at) {
            m_held.append(at, run - at);
            at = run;
        } else {
            // Text could otherwise spell a mark: it is escaped.
            m_held += '\\';
            m_held += *at++;
        }
    }
    if (m_held.size() >= heldLimit)
        flush();
}

void PageFingerprint::addBytes(QByteArrayView bytes)
{
    flush();
    if (m_hash != nullptr && !bytes.isEmpty())
        EVP_DigestUpdate(m_hash, bytes.data(), size_t(bytes.size()));
}

QByteArray PageFingerprint::result()
{
    if (!m_result.isEmpty() || m_hash == nullptr)
        return m_result; // "" when OpenSSL could not set up a digest: the page counts as changed
    flush();
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(m_hash, digest, &length) == 1)
        m_result = QByteArray(reinterpret_cast<const char *>(digest), int(length)).toHex();
    return m_result;
}

} // namespace checks
