#pragma once
// The boxes refused in one attempt to store a window's boxes. Each refused box shows its old value
// again (the value its cell keeps), and the user is told of all of them in one message, one line
// per field, so that a bad number never stays on screen looking as if it were taken.

#include <QList>
#include <QString>

class DialogService;
class QLineEdit;

namespace cellinput {

class Refusals {
public:
    // Notes a refused box: the line naming its field and what was typed (RefusedLine's words, or
    // a window's own), and the text that shows the value the cell keeps. A box that goes back
    // with one named on another line has no line of its own.
    void add(QLineEdit* box, const QString& line, const QString& oldText);
    bool empty() const { return m_refused.isEmpty(); }

    // When boxes were refused: puts each one's old text back, then tells the user in one message
    // with the window's title, and leaves the focus on the first of them. Returns whether any box
    // was refused.
    bool tell(DialogService& dialogs, const QString& title);

private:
    struct Refused {
        QLineEdit* box;
        QString line;
        QString oldText;
    };
    QList<Refused> m_refused;
};

} // namespace cellinput
