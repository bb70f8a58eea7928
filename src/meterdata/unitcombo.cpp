#include "meterdata/unitcombo.h"

#include <QComboBox>
#include <QLineEdit>

#include <algorithm>

namespace modLabels {

void FillUnitCombo(QComboBox& combo, const UnitTables& tables, int kind, int choice)
{
    combo.clear();
    const int count = tables.UnitCount(kind);
    for (int i = 0; i < count; ++i)
        combo.addItem(tables.UnitName(kind, i));
    combo.setCurrentIndex(choice >= 0 && choice < count ? choice : -1);
}

void FillPickCombo(QComboBox& combo, const UnitTables& tables, int list, int count)
{
    combo.clear();
    const int n = std::min(count, tables.PickItemCount(list));
    for (int i = 0; i < n; ++i)
        combo.addItem(tables.PickItem(list, i), i);
}

void ChangeUnitText(QLineEdit& box, float f0, float f1, const QString& picture)
{
    box.setText(ConvertUnitText(box.text(), f0, f1, picture));
}

} // namespace modLabels
