#include "channel/refusals.h"

#include "channel/cellinput.h"
#include "platform/dialogservice.h"

#include <QLineEdit>
#include <QStringList>

namespace cellinput {

void Refusals::add(QLineEdit* box, const QString& line, const QString& oldText)
{
    m_refused.append({box, line, oldText});
}

bool Refusals::tell(DialogService& dialogs, const QString& title)
{
    if (m_refused.isEmpty())
        return false;
    QStringList lines;
    for (const Refused& r : m_refused) {
        if (!r.line.isEmpty())
            lines << r.line;
        if (r.box)
            r.box->setText(r.oldText);
    }
    lines << KeptText(static_cast<int>(lines.size()));
    dialogs.inform(lines.join(QLatin1Char('\n')), title);
    if (QLineEdit* first = m_refused.constFirst().box) {
        first->setFocus();
        first->selectAll();
    }
    return true;
}

} // namespace cellinput
