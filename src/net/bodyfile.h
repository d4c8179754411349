#pragma once

#include <QString>

// The local file that a response body streams into, chunk by chunk; the body
// is never held in memory. The file is made at the first body byte, so a
// response without a body leaves an existing file of that name alone. It is
// taken exclusively: an exclusive lock is required before an existing file is
// emptied, so a file that another program holds locked is never destroyed
// (opening then fails and is reported like any other failure).
class BodyFile
{
public:
    enum class Outcome {
        NoFile,      // no local file wanted
        Written,     // the chunk is in the file
        OpenFailed,  // the file could not be made; the next chunk tries again
        WriteFailed, // writing failed; the file is closed and stays as it is
        Skipped,     // an earlier write failed: the rest of this body is not written
    };

    BodyFile() = default;
    ~BodyFile() { close(); }
    BodyFile(const BodyFile &) = delete;
    BodyFile &operator=(const BodyFile &) = delete;

    // Starts a new body for path ("" for none); closes a file still open.
    void begin(const QString &path);
    Outcome append(const char *data, int len);
    void close();
    bool isOpen() const { return m_fd >= 0; }

private:
    QString m_path;
    int m_fd = -1;
    bool m_writeFailed = false;
};
