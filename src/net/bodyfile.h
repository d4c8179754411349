#pragma once

#include <QString>
#include <memory>

// The local file that a response body streams into, chunk by chunk. At most
// 64 KiB of body are held before they go to the file (small writes cost the
// file system far more than the copy); the body as a whole is never held in
// memory. The file is made at the first body byte, so a response without a
// body leaves an existing file of that name alone. It is taken exclusively:
// an exclusive lock is required before an existing file is emptied, so a file
// that another program holds locked is never destroyed (opening then fails and
// is reported like any other failure). A limit caps the file: body bytes past
// it are dropped, and cut() tells so.
class BodyFile
{
public:
    enum class Outcome {
        NoFile,      // no local file wanted
        Written,     // the chunk is taken (held or in the file)
        OpenFailed,  // the file could not be made; the next chunk tries again
        WriteFailed, // writing failed; the file is closed and stays as it is
        Skipped,     // an earlier write failed: the rest of this body is not written
        Cut,         // the file holds its limit: the rest of this body is not written
    };

    static constexpr int holdLimit = 64 * 1024;

    BodyFile() = default;
    ~BodyFile() { close(); }
    BodyFile(const BodyFile &) = delete;
    BodyFile &operator=(const BodyFile &) = delete;

    // Starts a new body for path ("" for none) of at most limit bytes (0 for no
    // limit); closes a file still open.
    void begin(const QString &path, qint64 limit = 0);
    Outcome append(const char *data, int len);
    // Writes what is held and closes the file. WriteFailed when that write
    // failed, otherwise NoFile (nothing was open) or Written.
    Outcome finish();
    // The same, for paths that have no one to tell about a failure.
    void close() { finish(); }
    bool isOpen() const { return m_fd >= 0; }
    // Body bytes were dropped for the limit since begin().
    bool cut() const { return m_cut; }

private:
    bool open();
    bool flush();
    bool writeOut(const char *data, int len);

    QString m_path;
    int m_fd = -1;
    bool m_writeFailed = false;
    qint64 m_limit = 0;
    qint64 m_taken = 0; // body bytes taken for the file since begin()
    bool m_cut = false;
    std::unique_ptr<char[]> m_held;
    int m_heldBytes = 0;
};
