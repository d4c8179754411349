#pragma once

#include <QHash>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>
#include <optional>
#include <stdexcept>

// A failure of the URL table: the database's own message, or the reason a
// statement was refused before it reached the database. A storage failure (a
// full disk, an I/O error) is told whole, with the file and the system's
// reason: "Unable to write to /base/urls2.db: No space left on device".
class UrlTableError : public std::runtime_error
{
public:
    enum class Kind { Statement, Storage };
    explicit UrlTableError(const QString &message, Kind kind = Kind::Statement)
        : std::runtime_error(message.toStdString()), m_kind(kind)
    {}
    QString message() const { return QString::fromStdString(what()); }
    // A storage failure's message names the file already.
    bool isStorage() const { return m_kind == Kind::Storage; }

private:
    Kind m_kind;
};

// The single statement object every statement on urls2 goes through. Statement
// texts are fixed by this class and the URL table; values are always bound to
// "?" placeholders, never written into the text, so a URL holding a quote,
// a backslash or SQL of its own is stored and matched like any other. Column
// names cannot be bound: only E1 ... E30 are accepted, and the text written is
// always the canonical "E<n>".
//
// Prepared statements are kept per text so that a long import or a run reuses
// them; clear() drops them and must be called before the connection closes.
class ProjectQuery
{
public:
    static constexpr int FlagColumnCount = 30;

    explicit ProjectQuery(const QString &connectionName);

    // Runs one statement that returns no rows with the values bound in order.
    // Returns the number of rows it changed, 0 being no failure. Throws
    // UrlTableError with the database's reason when the statement fails.
    int exec(const QString &statement, const QVariantList &values = {});
    // Runs one statement that returns rows and leaves the result positioned
    // before its first row. The reference stays valid until the next select()
    // of the same text or clear(). Throws UrlTableError on failure.
    QSqlQuery &select(const QString &statement, const QVariantList &values = {});

    // "delete from urls2 where Projectid = ?"
    int deleteProject(int projectId);
    // "update urls2 set E<column> = true where Projectid = ?"; throws
    // UrlTableError for a column number outside 1 ... 30.
    int enableColumn(int column, int projectId);
    // All thirty columns true for the project's rows, in one statement.
    int enableAllColumns(int projectId);
    // "update urls2 set <column> = false|true where Projectid = ? and url = ?";
    // the URL is cut to the stored length first so it matches what was stored.
    // Throws UrlTableError for a column name other than E1 ... E30.
    int setUrlFlag(const QString &column, int projectId, const QString &url, bool value);
    // "update urls2 set <column> = false|true where rowid = ?": a lookup by key,
    // where setUrlFlag() has to look at every row.
    int setRowFlag(const QString &column, qint64 rowId, bool value);

    // The number n of a column name "E<n>" (1 ... 30, letter case ignored as
    // the database does, no leading zero); nullopt for anything else.
    static std::optional<int> columnNumber(const QString &column);
    // "E<n>"; the caller passes 1 ... 30.
    static QString columnName(int column);
    // The canonical column name, or throws UrlTableError naming the refused text.
    static QString checkedColumn(const QString &column);

    // The text of the last statement run, placeholders unfilled (diagnostics).
    QString lastStatement() const { return m_lastStatement; }
    void clear();

private:
    QSqlQuery &prepared(const QString &statement, const QVariantList &values);
    // The error for a statement the database refused; systemError is the error
    // number the refusal left (0 for none).
    UrlTableError failure(const QSqlQuery &query, int systemError, const QString &fallback) const;

    QString m_connectionName;
    QHash<QString, QSqlQuery> m_statements;
    QString m_lastStatement;
};
