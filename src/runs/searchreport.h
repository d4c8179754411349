#pragma once

#include "runs/report.h"

#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>

// The search report, SearchLog.htm beside StatusLog.htm: per engine the URLs it does not
// list, those that could not be asked (with the reason) and those it lists, each linking
// the saved answer; a summary table at the end. Written like the submission report: CR LF
// line ends, UTF-8, every outside value escaped, script links made "about:blank".
//
// An engine's rows are kept until its section ends (at the next engine(), engineNotAsked()
// of another engine, stopped(), finish() or destruction), then written in those three groups.
class SearchReport
{
public:
    SearchReport() = default;
    // Ends the document, without a summary, when finish() was not called.
    ~SearchReport();
    SearchReport(const SearchReport &) = delete;
    SearchReport &operator=(const SearchReport &) = delete;

    // Creates or empties the file at path and writes the header: "Search: " + the project file
    // as title and heading, the logo, date and time of context (its ResponseFileName is unused).
    // Returns false when the file cannot be opened (error() says why); every other call then
    // writes nothing.
    bool open(const QString &path, const ReportContext &context);
    bool isOpen() const { return m_file.isOpen(); }
    // "" while everything written reached the file; otherwise the first failure, naming the
    // file and the system's reason. Nothing more is written after it.
    QString error() const { return m_error; }

    // Starts the section of an engine.
    void engine(const QString &name);
    // The current engine lists url, or does not; answerFile is the saved answer's file name
    // ("SRCH_" + n + ".htm"), "" when none was saved; answerCut notes an answer cut short;
    // detail, when given, is what the engine says of the URL ("URL is unknown to Google").
    void listed(const QString &url, const QString &answerFile, bool answerCut = false, const QString &detail = {});
    void notListed(const QString &url, const QString &answerFile, bool answerCut = false, const QString &detail = {});
    // The current engine could not be asked about url, for reason ("timed out", a status line).
    void notAsked(const QString &url, const QString &reason, const QString &answerFile = QString(),
                  bool answerCut = false);
    // The engine named could not be asked at all; starts its section unless it is the current one.
    void engineNotAsked(const QString &name, const QString &reason);
    // A row saying that the user stopped the search, after the current section.
    void stopped();
    // Writes the summary of the engines of tally that the project chose (per engine the URLs
    // asked about, listed, not listed, failed, timed out and skipped; the engines that cannot
    // be searched, or whose engine list section is broken, said so), ends the document and
    // closes the file.
    void finish(const QList<EngineTally> &tally);

private:
    void endSection();
    void write(const QString &piece);

    QFile m_file;
    QString m_error;
    bool m_inSection = false;
    QString m_engine;        // the engine of the open section
    QStringList m_notListed; // the open section's rows, by group
    QStringList m_notAsked;
    QStringList m_listed;
};
