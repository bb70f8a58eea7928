#pragma once
// Unit and item combo boxes of the setup windows, filled from the unit tables and item lists.

#include "meterdata/modLabels.h"

class QComboBox;
class QLineEdit;

namespace modLabels {

// Clears the combo, adds UnitName(kind, i) for i = 0..UnitCount(kind)-1 and selects `choice`
// (no selection when the choice is not offered). Signals are not blocked: a window whose
// handlers must ignore its own filling guards them itself.
void FillUnitCombo(QComboBox& combo, const UnitTables& tables, int kind, int choice);

// Clears the combo and adds items 0..count-1 of item list `list` (fewer when the list is
// shorter), each with its index as item data.
void FillPickCombo(QComboBox& combo, const UnitTables& tables, int list, int count);

// Unit change of one text box: the text shown in the old unit (factor f0) is rewritten in the new
// unit (factor f1) with `picture`; unchanged when f1 is not above 0.
void ChangeUnitText(QLineEdit& box, float f0, float f1, const QString& picture);

} // namespace modLabels
