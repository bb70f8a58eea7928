#include "platform/boxrows.h"

#include "platform/twips.h"

#include <QLabel>
#include <QLineEdit>

void BoxRows::add(QWidget* parent, int row, QLabel*& label, const char* labelName, const char* caption, QLineEdit*& box,
                  const char* boxName) const
{
    label = new QLabel(QString::fromLatin1(caption), parent);
    label->setObjectName(QLatin1String(labelName));
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    twips::place(label, labelLeft, top(row), labelWidth, height);
    box = new QLineEdit(parent);
    box->setObjectName(QLatin1String(boxName));
    twips::place(box, boxLeft, top(row), boxWidth, height);
}
