#pragma once
// A log file, the data log's and the diagnostics log's alike: the header line written at Start,
// the rows buffered in memory and appended in blocks. Lines are Latin-1 text ended by CR LF. The file is opened for appending only while a
// header or a block is written; an existing file is never truncated.
//
// A block that cannot be written (disk full, folder gone, no permission) is kept, in order, and
// tried again before anything else at every later flush, so no row is lost and none is written
// twice. Each block goes to the file in one write; when the write fails the file is cut back to
// its previous length, so a failed flush leaves no partial row behind.

#include "platform/dialogservice.h"

#include <QByteArray>
#include <QList>
#include <QString>

class DataLogFile {
public:
    // Rows of a data-log block; a diagnostics block holds one more.
    static constexpr int kBlockRows = 200;
    static constexpr int kDiagBlockRows = 201;
    // The save dialog of the diagnostics log and the signal table: text files.
    static DialogService::FileRequest TextFileRequest();

    struct Outcome {
        bool failed = false;   // a block could not be written; it is kept
        QString fileName;      // the file of the first block that failed
        QString error;         // why
    };

    // The file chosen at Start; rows of later flushes go to it.
    void SetFileName(const QString& fileName)
    {
        m_fileName = fileName;
        m_rowsWritten = 0;
    }
    QString FileName() const { return m_fileName; }
    // Rows now in the chosen file since it was chosen.
    int RowsWritten() const { return m_rowsWritten; }

    // Appends the header line to the chosen file. Blocks kept from earlier failed flushes are tried
    // first. False when the header could not be written.
    bool WriteLogHeader(const QString& headerLine, QString* error = nullptr);

    // Adds a row to the buffer (the rows since the last flush).
    void AddRow(const QString& line);
    int RowCount() const { return static_cast<int>(m_rows.size()); }
    const QList<QByteArray>& Rows() const { return m_rows; }

    // Ends the block of rows collected since the last flush: when write is true they are appended to
    // the chosen file, otherwise they are dropped. The buffer is empty afterwards. Blocks kept from
    // earlier failed flushes are written first, oldest first.
    Outcome FlushLog(bool write);

    // Rows kept from failed flushes, not yet in their file.
    int UnwrittenRows() const;

    // Appends bytes to a file in one write; on failure the file keeps its previous length.
    static bool AppendBlock(const QString& fileName, const QByteArray& bytes, QString* error);

private:
    struct Block {
        QString fileName;
        QByteArray bytes;
        int rows = 0;
    };
    bool writePending(Outcome& outcome);

    QString m_fileName;
    QList<QByteArray> m_rows;  // each a whole line with its CR LF
    QList<Block> m_pending;    // blocks waiting for their file
    int m_rowsWritten = 0;
};
