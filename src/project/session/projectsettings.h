#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

// The settings of one project as its file keeps them: the sender, where the
// engine lists come from, the run options, the Excite values and the chosen
// engines. The window's pages fill it and show it; a run reads only it.
struct ProjectSettings
{
    // Where the engine lists come from: the publisher's addresses, or the two
    // addresses the user typed. NoSource is a file that names neither; the typed
    // addresses are used then, as with TypedSource.
    enum ListSource { NoSource = -1, DefaultSource = 0, TypedSource = 1 };

    // The range of the timeout box; a file's value outside it is taken as the nearest bound.
    static constexpr int MinTimeoutSeconds = 5;
    static constexpr int MaxTimeoutSeconds = 120;

    int projectId = 0;     // below 1: no valid project
    QString projectIdText; // the ID as the file gives it ("" when it gives none)
    ListSource listSource = NoSource;
    QString autoListAddress;
    QString manualListAddress;
    bool downloadEngines = true;
    QString timeoutText = QStringLiteral("15"); // as typed; see timeoutSeconds()
    bool statusLog = true;
    QString firstName;
    QString middleInitial;
    QString lastName;
    QStringList emails; // the e-mail box's lines, empty ones included
    QString exciteLanguage;
    QString exciteLocation;
    QString exciteCategory;
    QSet<QString> chosenEngines; // engine names, matched exactly
    QString indexNowKey;         // the site's IndexNow key; "" when it has none
    // Written into the file by hand and never by save(), which leaves them as they are.
    QString googleKeyFile;  // the service-account key file ("" : GOOGLE_APPLICATION_CREDENTIALS)
    QString googleProperty; // the Search Console property: "https://host/" or "sc-domain:host"
    QString bingKeyFile;    // the file holding the Bing webmaster API key
    QString bingSite;       // the site as Bing knows it; "" : each URL's "scheme://host/"
    bool checkPages = false; // fetch every page before a submission run
    int checkPerHost = 4;    // page checks at once per host, 1 to 16
    // Content=main: a page's fingerprint takes its main content only.
    bool checkMainContent = false;

    // Reads path; a missing file or key gives the default. The project ID must
    // be a whole number from 1 to 2147483647 written in decimal digits alone, so
    // that the URL table stores it exactly; anything else gives 0 (see
    // projectIdProblem()). A timeout outside MinTimeoutSeconds to
    // MaxTimeoutSeconds becomes the nearer bound; one without digits, or 0,
    // becomes the default a run waits (15). The e-mail lines are read in the
    // order of their numbers, gaps passed over; empty lines are not kept.
    // Never throws.
    static ProjectSettings load(const QString &path);
    // Writes every key to path. listedEngines are the engines of the engine
    // list: each one is written when chosen and removed when not; keys of
    // engines the list no longer names stay as they are. Throws
    // ProfileWriteError when the file cannot be written.
    void save(const QString &path, const QStringList &listedEngines) const;

    // The leading integer of timeoutText (blanks skipped, optional sign, digits
    // up to the first other character; 0 without digits). load() and the
    // window's box keep it within MinTimeoutSeconds to MaxTimeoutSeconds.
    int timeoutSeconds() const;
    // Why projectIdText gives no valid project, e.g.
    //   the Project ID "99999999999" is not a whole number from 1 to 2147483647
    // "" when the ID is valid or the file gives none.
    QString projectIdProblem() const;
    // The addresses a download takes: the typed ones unless the publisher's are chosen.
    QString autoListUrl(const QString &defaultUrl) const;
    QString manualListUrl(const QString &defaultUrl) const;
    // First name, last name and the first e-mail line are all given.
    bool senderComplete() const;
    // Excite takes part only with all three advanced settings given.
    bool exciteComplete() const;
    // 8 to 128 characters of a-z, A-Z, 0-9 and "-".
    static bool isValidIndexNowKey(const QString &key);
    // What a key must be, for the boxes and messages that refuse one.
    static QString indexNowKeyRule();
    // 32 random lowercase hex digits from the system's secure random source.
    static QString generateIndexNowKey();
    // Writes key into the project file at path and leaves every other line as
    // it is. Throws ProfileWriteError when the file cannot be written.
    static void saveIndexNowKey(const QString &path, const QString &key);
    // Writes the key file at path, holding the key alone (no line break: the
    // engines take the file's whole content as the key), replacing the file
    // in one step. "" when written, otherwise e.g.
    //   Cannot write /site/abc.txt: No such file or directory
    static QString writeIndexNowKeyFile(const QString &path, const QString &key);
    // One of the non-empty e-mail lines, chosen with the standard generator
    // (never seeded, so each start yields the same sequence); "" when none.
    QString pickSenderEmail() const;
};

// Reads an integer the way the timeout box is read: leading blanks skipped, an
// optional sign, then decimal digits up to the first other character; no digits
// gives 0; out-of-range values saturate.
int leadingInteger(const QString &text);
