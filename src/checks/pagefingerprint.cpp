#include "checks/pagefingerprint.h"

#include <algorithm>
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

bool isBlank(char c)
{
    return classOf(c) == Blank;
}

bool isContentHash(QByteArrayView piece)
{
    if (piece.size() < 4)
        return false;
    bool digit = false, letter = false;
    for (const char c : piece) {
        if (c >= '0' && c <= '9')
            digit = true;
        else if ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))
            letter = true;
        else
            return false;
    }
    // All digits are numbers and dates, never taken for a hash; letters alone
    // spell words (face, added, decade) up to 7 long.
    return letter && (digit || piece.size() >= 8);
}

// Whether a link's rel names a file the page loads rather than another page:
// a stylesheet, a preload or prefetch, an icon of any kind, a manifest.
bool relNamesAsset(QByteArrayView rel)
{
    qsizetype at = 0;
    while (at < rel.size()) {
        while (at < rel.size() && isBlank(rel[at]))
            ++at;
        qsizetype end = at;
        while (end < rel.size() && !isBlank(rel[end]))
            ++end;
        const QByteArray word = rel.sliced(at, end - at).toByteArray().toLower();
        at = end;
        if (word == "stylesheet" || word == "preload" || word == "modulepreload" || word == "prefetch" ||
            word == "manifest" || word.endsWith("icon"))
            return true;
    }
    return false;
}

} // namespace

QByteArray fingerprintRule(ContentScope scope)
{
    return scope == ContentScope::Main ? QByteArrayLiteral("v2-main") : QByteArrayLiteral("v2");
}

QByteArray ruleOf(QByteArrayView stored)
{
    const qsizetype colon = stored.indexOf(':');
    return colon < 0 ? QByteArrayLiteral("v1") : stored.first(colon).toByteArray();
}

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

PageFingerprint::Use PageFingerprint::attributeUse(QByteArrayView element, QByteArrayView attribute,
                                                   QByteArrayView metaName, QByteArrayView inputType,
                                                   QByteArrayView rel)
{
    if (attribute == "href")
        return element == "link" && relNamesAsset(rel) ? Use::Asset : Use::Whole;
    if (attribute == "src")
        return element == "script" || element == "img" || element == "source" ? Use::Asset : Use::Whole;
    if (attribute == "srcset")
        return element == "img" || element == "source" ? Use::AssetList : Use::Skipped;
    if (attribute == "alt" || attribute == "title")
        return Use::Whole;
    if (attribute == "content")
        return element == "meta" && !namesToken(metaName) ? Use::Whole : Use::Skipped;
    if (attribute == "value")
        return element != "input" || inputType != "hidden" ? Use::Whole : Use::Skipped;
    return Use::Skipped;
}

void PageFingerprint::attribute(Use use, QByteArrayView name, QByteArrayView value)
{
    switch (use) {
    case Use::Skipped:
        return;
    case Use::Whole:
        return attribute(name, value);
    case Use::Asset:
        return attribute(name, assetAddress(value.trimmed()));
    case Use::AssetList:
        return attribute(name, assetList(value));
    }
}

QByteArray PageFingerprint::assetAddress(QByteArrayView url)
{
    url = url.first(std::min(url.indexOf('?') < 0 ? url.size() : url.indexOf('?'),
                             url.indexOf('#') < 0 ? url.size() : url.indexOf('#')));
    // The host is no file name: only the path is reduced.
    qsizetype pathStart = 0;
    const qsizetype scheme = url.indexOf("://");
    if (scheme >= 0 || url.startsWith("//")) {
        const qsizetype slash = url.indexOf('/', scheme >= 0 ? scheme + 3 : 2);
        pathStart = slash < 0 ? url.size() : slash;
    }
    QByteArray reduced = url.first(pathStart).toByteArray();
    reduced.reserve(url.size());
    const auto separates = [](char c) { return c == '.' || c == '-'; };
    qsizetype at = pathStart;
    while (at < url.size()) {
        if (url[at] == '/') {
            reduced += '/';
            ++at;
            continue;
        }
        qsizetype end = at;
        while (end < url.size() && url[end] != '/' && !separates(url[end]))
            ++end;
        const QByteArrayView piece = url.sliced(at, end - at);
        if (isContentHash(piece)) {
            // Its separator goes with it: the one before, or after when it opens
            // the segment; a segment that is a hash alone goes with its slash.
            if (!reduced.isEmpty() && separates(reduced.back()))
                reduced.chop(1);
            else if (end < url.size() && (separates(url[end]) || url[end] == '/'))
                ++end;
            at = end;
            continue;
        }
        reduced += piece;
        at = end;
        if (at < url.size() && separates(url[at]))
            reduced += url[at++];
    }
    return reduced;
}

QByteArray PageFingerprint::assetList(QByteArrayView srcset)
{
    // Candidates are "address [descriptor]" between commas; an address may hold commas of its own.
    QByteArray list;
    qsizetype at = 0;
    while (at < srcset.size()) {
        while (at < srcset.size() && (isBlank(srcset[at]) || srcset[at] == ','))
            ++at;
        qsizetype end = at;
        while (end < srcset.size() && !isBlank(srcset[end]))
            ++end;
        QByteArrayView address = srcset.sliced(at, end - at);
        QByteArrayView descriptor;
        if (address.endsWith(',')) {
            while (address.endsWith(','))
                address.chop(1);
        } else {
            qsizetype comma = srcset.indexOf(',', end);
            if (comma < 0)
                comma = srcset.size();
            descriptor = srcset.sliced(end, comma - end).trimmed();
            end = comma;
        }
        at = end;
        if (address.isEmpty())
            continue;
        list += assetAddress(address);
        list += ' ';
        list += descriptor;
        list += ',';
    }
    return list;
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
