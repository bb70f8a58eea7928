#include "monitor/datalogfile.h"

#include <QFile>

namespace {
const QByteArray kLineEnd("\r\n");
}

DialogService::FileRequest DataLogFile::TextFileRequest()
{
    DialogService::FileRequest request;
    request.filter = QStringLiteral("All Files (*.*)|*.*|Text Files(*.txt)|*.txt|Batch Files (*.bat)|*.bat");
    request.filterIndex = 2;
    request.defaultExt = QStringLiteral("txt");
    return request;
}

bool DataLogFile::AppendBlock(const QString& fileName, const QByteArray& bytes, QString* error)
{
    QFile file(fileName);
    // Unbuffered: the block goes to the file in this call or not at all, and nothing is left in a
    // buffer for the close to write after the file has been cut back.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    const qint64 before = file.size();
    const bool ok = file.write(bytes) == bytes.size();
    if (!ok) {
        if (error)
            *error = file.error() != QFileDevice::NoError ? file.errorString() : QStringLiteral("only part of the block could be written");
        // Take back whatever part of the block reached the file.
        file.resize(before);
    }
    file.close();
    return ok;
}

bool DataLogFile::writePending(Outcome& outcome)
{
    while (!m_pending.isEmpty()) {
        const Block& b = m_pending.front();
        QString error;
        if (!AppendBlock(b.fileName, b.bytes, &error)) {
            outcome.failed = true;
            outcome.fileName = b.fileName;
            outcome.error = error;
            return false;
        }
        if (b.fileName == m_fileName)
            m_rowsWritten += b.rows;
        m_pending.removeFirst();
    }
    return true;
}

bool DataLogFile::WriteLogHeader(const QString& headerLine, QString* error)
{
    Outcome earlier;
    writePending(earlier);
    const QByteArray line = headerLine.toLatin1() + kLineEnd;
    // Blocks still waiting for this file must come before the new header.
    for (const Block& b : m_pending) {
        if (b.fileName == m_fileName) {
            if (error)
                *error = earlier.error;
            return false;
        }
    }
    return AppendBlock(m_fileName, line, error);
}

void DataLogFile::AddRow(const QString& line)
{
    m_rows.append(line.toLatin1() + kLineEnd);
}

DataLogFile::Outcome DataLogFile::FlushLog(bool write)
{
    if (write && !m_rows.isEmpty()) {
        QByteArray bytes;
        for (const QByteArray& row : m_rows)
            bytes += row;
        const int rows = static_cast<int>(m_rows.size());
        if (!m_pending.isEmpty() && m_pending.back().fileName == m_fileName) {
            m_pending.back().bytes += bytes;
            m_pending.back().rows += rows;
        } else {
            m_pending.append(Block{m_fileName, bytes, rows});
        }
    }
    m_rows.clear();
    Outcome outcome;
    writePending(outcome);
    return outcome;
}

int DataLogFile::UnwrittenRows() const
{
    int n = 0;
    for (const Block& b : m_pending)
        n += b.rows;
    return n;
}
