#include "project/urltable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringDecoder>
#include <atomic>

namespace {

const QString ImportStatement = QStringLiteral("insert into urls2 (Projectid, Url) values (?, ?)");

QString enabledInsertStatement()
{
    QString columns, values;
    for (int column = 1; column <= UrlTable::FlagColumnCount; ++column) {
        columns += QStringLiteral(", ") + ProjectQuery::columnName(column);
        values += QStringLiteral(", true");
    }
    return QStringLiteral("insert into urls2 (Projectid, Url%1) values (?, ?%2)").arg(columns, values);
}

// How many bytes at the end of piece begin a UTF-8 character that the next
// piece completes; they move to the next piece so no character is split.
int incompleteUtf8Tail(const QByteArray &piece)
{
    for (int back = 1; back <= 3 && back <= piece.size(); ++back) {
        const auto byte = static_cast<unsigned char>(piece.at(piece.size() - back));
        if ((byte & 0xC0) == 0x80)
            continue; // a continuation byte: look further back for the lead
        const int needed = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
        return needed > back ? back : 0;
    }
    return 0;
}

QString decodePiece(const QByteArray &piece)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(piece);
    // Older URL lists are 8-bit text: keep their bytes rather than replacement marks.
    return utf8.hasError() ? QString::fromLatin1(piece) : text;
}

// Splits the file's lines into pieces of at most PieceLength bytes; a longer
// line yields several. CR LF counts as LF. A piece that had at most one byte
// (an empty line, a single character at the very end of the file) is skipped;
// otherwise its one trailing LF is removed and store() gets it. Memory stays
// bounded whatever the line length.
template <typename Store> void forEachPiece(QFile &file, Store &&store)
{
    QByteArray carry;
    QByteArray piece;
    for (;;) {
        piece = carry;
        carry.clear();
        const qsizetype kept = piece.size();
        piece.resize(UrlTable::PieceLength + 1);
        const qint64 read = file.readLine(piece.data() + kept, UrlTable::PieceLength - kept + 1);
        piece.resize(kept + std::max<qint64>(read, 0));
        if (piece.isEmpty())
            return;

        if (piece.endsWith("\r\n")) {
            piece.remove(piece.size() - 2, 1);
        } else if (piece.endsWith('\r') && file.peek(1) == "\n") {
            file.skip(1);
            piece.back() = '\n';
        } else if (!piece.endsWith('\n') && !file.atEnd()) {
            const int tail = incompleteUtf8Tail(piece);
            carry = piece.right(tail);
            piece.chop(tail);
        }
        if (piece.size() <= 1)
            continue;
        if (piece.endsWith('\n'))
            piece.chop(1);
        store(decodePiece(piece));
    }
}

std::atomic<int> connectionCounter{0};

} // namespace

UrlTable::UrlTable(const QString &directory, QObject *parent)
    : QObject(parent), m_filePath(QDir(directory).filePath(QStringLiteral("urls2.db"))),
      m_connectionName(QStringLiteral("quillcast-urls-%1").arg(++connectionCounter)),
      m_db(QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName)), m_query(m_connectionName)
{
    try {
        if (!m_db.isValid())
            throw UrlTableError(QStringLiteral("The SQLite database driver is not available"));
        m_db.setDatabaseName(m_filePath);
        open();
        createSchema();
    } catch (...) {
        close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_connectionName);
        throw;
    }
}

UrlTable::~UrlTable()
{
    close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_connectionName);
}

void UrlTable::open()
{
    if (!m_db.open())
        throw UrlTableError(QStringLiteral("Cannot open %1: %2").arg(m_filePath, m_db.lastError().text()));
    // A run changes one flag per request. With the default rollback journal each
    // change creates, syncs twice and deletes a journal file, which makes a run
    // disk-bound. A write-ahead log synced only at checkpoints keeps every change
    // safe against a crash of the program; a power failure can lose the last
    // changes (never the file's consistency), so a URL may be submitted again.
    // Where the log cannot be used (a file system without shared memory), the
    // file keeps its journal and only costs time.
    QSqlQuery pragma(m_db);
    pragma.exec(QStringLiteral("pragma journal_mode = wal"));
    pragma.exec(QStringLiteral("pragma synchronous = normal"));
}

void UrlTable::close()
{
    m_query.clear();
    if (m_db.isOpen())
        m_db.close();
}

void UrlTable::createSchema()
{
    QString flags;
    for (int column = 1; column <= FlagColumnCount; ++column)
        flags += QStringLiteral(", %1 BOOLEAN").arg(ProjectQuery::columnName(column));
    m_query.exec(QStringLiteral("create table if not exists urls2 (Projectid REAL, Url VARCHAR(255)%1)").arg(flags));
    // Serves the project filter and the per-URL flag updates of the runs.
    m_query.exec(QStringLiteral("create index if not exists urls2_project_url on urls2 (Projectid, Url)"));
    m_query.clear();
}

QString UrlTable::storedText(const QString &text)
{
    if (text.size() <= MaxUrlLength)
        return text;
    const bool splitsPair = text.at(MaxUrlLength - 1).isHighSurrogate();
    return text.left(splitsPair ? MaxUrlLength - 1 : MaxUrlLength);
}

void UrlTable::setFilter(int projectId)
{
    m_filterProject = projectId;
    emit viewChanged();
}

void UrlTable::clearFilter()
{
    m_filterProject.reset();
    emit viewChanged();
}

QString UrlTable::filter() const
{
    return m_filterProject ? QStringLiteral("Projectid = %1").arg(*m_filterProject) : QString();
}

QString UrlTable::viewWhere() const
{
    return m_filterProject ? QStringLiteral(" where Projectid = ?") : QString();
}

QVariantList UrlTable::viewValues() const
{
    return m_filterProject ? QVariantList{*m_filterProject} : QVariantList{};
}

void UrlTable::reopen()
{
    close();
    open();
    emit viewChanged();
}

int UrlTable::rowCount()
{
    QSqlQuery &query = m_query.select(QStringLiteral("select count(*) from urls2") + viewWhere(), viewValues());
    const int count = query.next() ? query.value(0).toInt() : 0;
    query.finish();
    return count;
}

QList<qint64> UrlTable::rowIds()
{
    QSqlQuery &query = m_query.select(
        QStringLiteral("select rowid from urls2") + viewWhere() + QStringLiteral(" order by rowid"), viewValues());
    QList<qint64> ids;
    while (query.next())
        ids.append(query.value(0).toLongLong());
    query.finish();
    return ids;
}

QString UrlTable::url(qint64 rowId)
{
    QSqlQuery &query = m_query.select(QStringLiteral("select Url from urls2 where rowid = ?"), {rowId});
    const QString text = query.next() ? query.value(0).toString() : QString();
    query.finish();
    return text;
}

std::optional<bool> UrlTable::flag(qint64 rowId, const QString &column)
{
    const std::optional<int> number = ProjectQuery::columnNumber(column);
    if (!number)
        return std::nullopt;
    QSqlQuery &query = m_query.select(
        QStringLiteral("select %1 from urls2 where rowid = ?").arg(ProjectQuery::columnName(*number)), {rowId});
    std::optional<bool> value;
    if (query.next())
        value = !query.value(0).isNull() && query.value(0).toInt() != 0;
    query.finish();
    return value;
}

UrlTable::UrlAndFlag UrlTable::urlAndFlag(qint64 rowId, const QString &column)
{
    const std::optional<int> number = ProjectQuery::columnNumber(column);
    if (!number)
        return {url(rowId), std::nullopt};
    // One statement text per column, so each stays prepared for the whole run.
    static const QStringList statements = [] {
        QStringList texts;
        for (int n = 1; n <= FlagColumnCount; ++n)
            texts << QStringLiteral("select Url, %1 from urls2 where rowid = ?").arg(ProjectQuery::columnName(n));
        return texts;
    }();
    QSqlQuery &query = m_query.select(statements.at(*number - 1), {rowId});
    UrlAndFlag row;
    if (query.next()) {
        row.url = query.value(0).toString();
        row.flag = !query.value(1).isNull() && query.value(1).toInt() != 0;
    }
    query.finish();
    return row;
}

QList<UrlTable::UrlRow> UrlTable::viewRows(const QString &column)
{
    const std::optional<int> number = ProjectQuery::columnNumber(column);
    const QString flag = number ? ProjectQuery::columnName(*number) : QStringLiteral("null");
    QSqlQuery &query = m_query.select(QStringLiteral("select rowid, Url, %1 from urls2").arg(flag) + viewWhere() +
                                          QStringLiteral(" order by rowid"),
                                      viewValues());
    QList<UrlRow> rows;
    while (query.next()) {
        UrlRow row{query.value(0).toLongLong(), query.value(1).toString(), std::nullopt};
        if (number)
            row.flag = !query.value(2).isNull() && query.value(2).toInt() != 0;
        rows.append(std::move(row));
    }
    query.finish();
    return rows;
}

void UrlTable::addUrl(int projectId, const QString &url)
{
    changing();
    close();
    open();
    m_query.exec(enabledInsertStatement(), {projectId, storedText(url)});
    emit viewChanged();
    emit afterPost();
}

int UrlTable::importFile(int projectId, const QString &path)
{
    return importPieces(projectId, path, false);
}

bool UrlTable::replaceFromFile(int projectId, const QString &path)
{
    changing();
    m_query.deleteProject(projectId);
    if (importPieces(projectId, path, true) < 0) {
        emit viewChanged();
        return false;
    }
    return true;
}

int UrlTable::importPieces(int projectId, const QString &path, bool enabled)
{
    changing();
    QFile file(path);
    if (QFileInfo(path).isDir() || !file.open(QIODevice::ReadOnly))
        return -1;
    close();
    open();
    const QString statement = enabled ? enabledInsertStatement() : ImportStatement;
    if (!m_db.transaction())
        throw UrlTableError(m_db.lastError().text());
    int added = 0;
    try {
        forEachPiece(file, [&](const QString &piece) {
            m_query.exec(statement, {projectId, storedText(piece)});
            ++added;
        });
        if (!m_db.commit())
            throw UrlTableError(m_db.lastError().text());
    } catch (...) {
        m_db.rollback();
        emit viewChanged();
        throw;
    }
    emit viewChanged();
    if (added > 0)
        emit afterPost();
    return added;
}

void UrlTable::enableAll(int projectId)
{
    changing();
    m_query.enableAllColumns(projectId);
    emit viewChanged();
}

void UrlTable::deleteProject(int projectId)
{
    changing();
    m_query.deleteProject(projectId);
    emit viewChanged();
}

void UrlTable::setFlag(const QString &column, int projectId, const QString &url, bool value)
{
    changing();
    m_query.setUrlFlag(column, projectId, url, value);
}

qint64 UrlTable::appendRow(const std::optional<QString> &url, const QString &flagColumn, std::optional<bool> flag)
{
    changing();
    QStringList columns;
    QVariantList values;
    if (url) {
        columns << QStringLiteral("Url");
        values << storedText(*url);
    }
    if (flag) {
        columns << ProjectQuery::checkedColumn(flagColumn);
        values << (*flag ? 1 : 0);
    }
    if (columns.isEmpty())
        m_query.exec(QStringLiteral("insert into urls2 default values"));
    else
        m_query.exec(QStringLiteral("insert into urls2 (%1) values (%2)")
                         .arg(columns.join(QStringLiteral(", ")),
                              QStringList(columns.size(), QStringLiteral("?")).join(QStringLiteral(", "))),
                     values);
    QSqlQuery &last = m_query.select(QStringLiteral("select last_insert_rowid()"));
    const qint64 rowId = last.next() ? last.value(0).toLongLong() : -1;
    last.finish();
    emit afterPost();
    return rowId;
}

void UrlTable::updateRow(qint64 rowId, const std::optional<QString> &url, const QString &flagColumn,
                         std::optional<bool> flag)
{
    QStringList assignments;
    QVariantList values;
    if (url) {
        assignments << QStringLiteral("Url = ?");
        values << storedText(*url);
    }
    if (flag) {
        assignments << ProjectQuery::checkedColumn(flagColumn) + QStringLiteral(" = ?");
        values << (*flag ? 1 : 0);
    }
    if (assignments.isEmpty())
        return;
    changing();
    values << rowId;
    m_query.exec(QStringLiteral("update urls2 set %1 where rowid = ?").arg(assignments.join(QStringLiteral(", "))),
                 values);
    emit afterPost();
}

void UrlTable::deleteRow(qint64 rowId)
{
    changing();
    m_query.exec(QStringLiteral("delete from urls2 where rowid = ?"), {rowId});
    emit afterDelete();
}
