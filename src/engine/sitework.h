#pragma once
// Site files as the session stores and recalls them: the configuration menu and the command line
// both go through here, and only tell the user differently.

#include <QByteArray>
#include <QString>

class Session;

namespace sitework {

// Encodes the cells into the image and replaces the file with the site file; the image written is
// kept as the one the cells' edits count from. Returns an empty text, or why the file was not
// written (an earlier file of that name is then unchanged).
QString StoreSite(Session& session, const QString& path);

struct Recalled {
    enum class Outcome {
        Unreadable, // the file could not be read: nothing changed
        TooLong,    // more image bytes than the image holds: refused, nothing changed
        Taken,      // the file is in the image (cells not decoded yet)
    };
    Outcome outcome = Outcome::Unreadable;
    QString error;      // why the file could not be read
    bool valid = false; // whole, with a matching checksum: the image may be sent (ImageValid = 1)
};

// Reads the whole file before anything changes; then ImageValid = 0, the image bytes, model and
// version from the file, and ImageValid = 1 when the file is a whole, valid site file.
Recalled RecallSite(Session& session, const QString& path);
// The same with the file's bytes already read (at most sitefile::kRecallReadLimit of them tell
// everything a recall needs): never Unreadable.
Recalled RecallSiteBytes(Session& session, const QByteArray& file);

} // namespace sitework
