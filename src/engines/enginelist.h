#pragma once

#include <QString>
#include <QStringList>
#include <array>

// Reading the two engine list files (the automatic list, one section per engine the
// program submits to, and the manual list, one section per engine visited by hand).
// Both are profile files; a missing or unreadable file reads as a file without sections.

// One section of the automatic list, as the runs read it.
struct EngineSection
{
    QStringList names;      // the section's key names in file order (HiddenNameMemo)
    QStringList valueLines; // "key=value" for every key with a non-empty value, in file order (HiddenValueMemo)
};

// The automatic list's keys by their position in EngineSection::valueLines.
namespace EngineField {
enum Position {
    Action = 0,
    Method = 1,
    PostData = 2,
    Encode = 3,
    Sleep = 4,
    SearchAction = 5,
    SearchPostData = 6,
    SearchNone = 7,
    MaxSubmit = 8,
    InternalIndex = 9,
    Count = 10
};
inline constexpr std::array<const char *, Count> Keys = {
    "QC_Action",        "QC_Method",          "QC_PostData",    "QC_Encode",    "QC_Sleep",
    "QC_Search_Action", "QC_Search_PostData", "QC_Search_None", "QC_MaxSubmit", "QC_InternalIndex",
};
} // namespace EngineField

inline constexpr int MaxEngineFieldLength = 1023; // characters of a text field scanned from a line
inline constexpr int MaxEngineColumns = 30;       // the URL table has the columns E1 ... E30

// Section names in file order, duplicates as they stand (at most 16384 bytes of names).
QStringList engineListSections(const QString &path);

// The named section of the automatic list; two empty lists when the file or the section
// is missing. Duplicate keys each get a line with the value of the first of them.
EngineSection readEngineSection(const QString &path, const QString &name);

// Scans one line by position: the line must begin with key + "=" exactly (letter case
// included). The value is the run of characters after it, up to the first blank, tab or
// line break (blanks right after the "=" are skipped), cut to MaxEngineFieldLength.
// A line that carries another key, or no value, gives "" and *matched = false.
QString scanField(const QString &line, const QString &key, bool *matched = nullptr);
// The same for a decimal integer: an optional sign and digits up to the first other
// character. No digits (or another key) gives 0 and *matched = false; a number out of
// the int range saturates.
int scanIntField(const QString &line, const QString &key, bool *matched = nullptr);

// Line `position` of the section scanned for that position's key; a missing line gives
// "" (or 0) and *matched = false.
QString engineField(const EngineSection &section, EngineField::Position position, bool *matched = nullptr);
int engineIntField(const EngineSection &section, EngineField::Position position, bool *matched = nullptr);

// True for exactly "E1" ... "E30": the only texts ever used as a URL-table column.
bool isEngineColumnName(const QString &name);
// The engine's URL-table column from line 9 ("QC_InternalIndex="), or "" when that line
// is missing, carries another key or names no column E1 ... E30, so that a hostile list
// can never put anything else into a statement.
QString engineColumn(const EngineSection &section);

// What is wrong with a section of the automatic list: "" when its first ten
// lines with values carry the ten keys in their order (letter case included),
// otherwise e.g. "the key QC_Method is missing or out of place".
QString engineSectionProblem(const EngineSection &section);

// True when the file is an automatic list with at least one sound section, or a
// manual list with at least one section holding a QC_ key: an error page
// served in its place is neither.
bool isAutomaticEngineList(const QString &path);
bool isManualEngineList(const QString &path);

// One section of the manual list; each field "" when its key is absent.
struct ManualEngine
{
    QString homeURL;         // QC_HomeURL
    QString addURL;          // QC_AddURL
    QString automaticSubmit; // QC_AutomaticSubmit
    QString responseTime;    // QC_ResponseTime
    QString likes;           // QC_Likes
    QString dislikes;        // QC_Dislikes
    QString comments;        // QC_Comments
};
ManualEngine readManualEngine(const QString &path, const QString &name);
