#include "checks/pagefingerprint.h"

#include <array>
#include <charconv>
#include <cstring>
#include <openssl/evp.h>

namespace checks {

namespace {

// What a text byte is to the hash, looked up rather than tested: text is most of a page.
enum ByteClass : unsigned char { Plain, Blank, Mark };

constexpr std::array<ByteClass, 256> byteClasses = [] {
    std::array<ByteClass, 256> classes{};
    for (const unsigned char c : {' ', '\t', '\n', '\r', '\f', '\v'})
        classes[c] = Blank;
    // Text could otherwise spell a field's mark: these are escaped.
    for (const unsigned char c : {'<', '@', '=', '"', '\\'})
        classes[c] = Mark;
    return classes;
}();

ByteClass classOf(char c)
{
    return byteClasses[static_cast<unsigned char>(c)];
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
    reset();
}

PageFingerprint::~PageFingerprint()
{
    EVP_MD_CTX_free(m_hash);
}

void PageFingerprint::reset()
{
    m_result.clear();
    m_heldSize = 0;
    m_blankPending = false;
    m_textOpen = false;
    if (m_hash != nullptr && EVP_DigestInit_ex(m_hash, EVP_sha256(), nullptr) != 1) {
        EVP_MD_CTX_free(m_hash);
        m_hash = nullptr;
    }
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
    char length[24];
    const auto written = std::to_chars(length, length + sizeof length, bytes.size());
    hold(mark);
    hold(length, written.ptr - length);
    hold(':');
    hold(bytes.data(), bytes.size());
}

void PageFingerprint::hold(const char *bytes, qsizetype size)
{
    if (size <= 0)
        return;
    if (m_heldSize + size > qsizetype(sizeof m_held)) {
        flush();
        if (size > qsizetype(sizeof m_held)) {
            if (m_hash != nullptr)
                EVP_DigestUpdate(m_hash, bytes, size_t(size));
            return;
        }
    }
    std::memcpy(m_held + m_heldSize, bytes, size_t(size));
    m_heldSize += size;
}

void PageFingerprint::flush()
{
    if (m_hash != nullptr && m_heldSize > 0)
        EVP_DigestUpdate(m_hash, m_held, size_t(m_heldSize));
    m_heldSize = 0;
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
        const ByteClass byteClass = classOf(*at);
        if (byteClass == Blank) {
            m_blankPending = m_textOpen;
            ++at;
            continue;
        }
        if (!m_textOpen) {
            hold('"');
            m_textOpen = true;
        } else if (m_blankPending) {
            hold(' ');
        }
        m_blankPending = false;
        if (byteClass == Mark) {
            hold('\\');
            hold(*at++);
            continue;
        }
        // The longest span the hash takes as it stands: plain bytes and single
        // blanks between them. Prose is mostly that, and one copy per span costs
        // far less than one per word.
        const char *run = at + 1;
        for (;;) {
            while (run < end && classOf(*run) == Plain)
                ++run;
            if (end - run < 2 || *run != ' ' || classOf(run[1]) != Plain)
                break;
            run += 2;
        }
        hold(at, run - at);
        at = run;
    }
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
