#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <memory>

typedef struct evp_md_ctx_st EVP_MD_CTX;

namespace checks {

// The content hash of a page: SHA-256 (as 64 hex digits) over what a reader
// of the page sees, not over its bytes, so that what changes on every request
// without being content leaves it alone. The HTML reader feeds it:
//  - each element's name, and of its attributes only href, src, srcset, alt,
//    title, content (a <meta>'s) and value (a form control's): the ones that
//    change what the page shows or links to;
//  - the address of an asset (a stylesheet, preload, icon or manifest link's
//    href, a script's src, an image's or <source>'s src and srcset) as
//    assetAddress() reduces it, so that a theme or plugin update that renames
//    its files (style.css?ver=6.4, app.3f9a1c2b.css) leaves pages alone; links
//    between pages (<a href>, a canonical) count in full;
//  - text, with every run of whitespace as one blank and none at the edges.
// Never hashed: comments (build stamps), the doctype, the insides of <script>
// and <style> (nonces, inline state), the value of a hidden input (CSRF
// tokens), the content of a <meta> whose name or property names a token
// (csrf-token, csrf-param, or any name with "csrf", "token" or "nonce"), and
// attributes not listed (nonce, integrity, data-*, ids). A page that is no
// HTML is hashed as its bytes (addBytes).
// Pieces may be fed in slices of any size; the result does not depend on the
// slicing.
// Which part of a page its fingerprint takes ([Checks] Content): the whole
// page, or its main content only (the <main> elements, else the <article>s,
// else the elements with role="main", else the body), so that navigation,
// sidebars and footers do not count.
enum class ContentScope { Page, Main };

// The rule a fingerprint is made by, stored in front of its hash
// ("v2:<hex>"): fingerprints made by different rules say nothing about each
// other. A stored fingerprint without a rule was made by the first one, "v1".
QByteArray fingerprintRule(ContentScope scope);
QByteArray ruleOf(QByteArrayView stored);

class PageFingerprint
{
public:
    PageFingerprint();
    ~PageFingerprint();
    PageFingerprint(const PageFingerprint &) = delete;
    PageFingerprint &operator=(const PageFingerprint &) = delete;

    void startElement(QByteArrayView name);
    // One attribute of the element just started, already judged to matter.
    void attribute(QByteArrayView name, QByteArrayView value);
    void text(QByteArrayView piece);
    void addBytes(QByteArrayView bytes);

    // The hash of everything fed; the fingerprint takes nothing more after it.
    QByteArray result();
    // Forgets everything fed, as a new fingerprint would.
    void reset();

    // How an attribute of element goes into the hash (the rules above; names
    // in lower case). metaName is the element's name or property attribute
    // when element is "meta", type its type attribute when "input", rel its
    // rel attribute when "link".
    enum class Use { Skipped, Whole, Asset, AssetList };
    static Use attributeUse(QByteArrayView element, QByteArrayView attribute, QByteArrayView metaName,
                            QByteArrayView inputType, QByteArrayView rel = {});
    // An attribute hashed as its use says.
    void attribute(Use use, QByteArrayView name, QByteArrayView value);

    // An asset's address as the hash takes it: without its query and fragment,
    // and with every content-hash piece of its path left out together with
    // the dot or dash before it (app.3f9a1c2b.css and main-4f2a.js become
    // app.css and main.js). A content hash is a piece between dots, dashes and
    // slashes of 4 or more hex digits that holds both a digit and a letter, or
    // of 8 or more hex letters; words (face, cafe, added), numbers and dates
    // (2024, 20240115) stay.
    static QByteArray assetAddress(QByteArrayView url);
    // A srcset's candidates, each address reduced as above, with their descriptors.
    static QByteArray assetList(QByteArrayView srcset);
    // The elements whose insides are never hashed.
    static bool skipsInside(QByteArrayView element);

private:
    void put(char mark, QByteArrayView bytes);
    void hold(char c)
    {
        if (m_heldSize == sizeof m_held)
            flush();
        m_held[m_heldSize++] = c;
    }
    void hold(const char *bytes, qsizetype size);
    void flush();

    // OpenSSL's SHA-256: several times the speed of Qt's own on a check of thousands of pages.
    EVP_MD_CTX *m_hash = nullptr;
    QByteArray m_result;
    // Hashed in batches: one digest update per byte run costs more than the copy,
    // and a plain array more than a QByteArray's checks on every append.
    char m_held[16 * 1024];
    qsizetype m_heldSize = 0;
    bool m_blankPending = false; // whitespace seen after text, written when more text follows
    bool m_textOpen = false;     // the last thing fed was text
};

} // namespace checks
