#pragma once
// Unit tables and item lists, filled once at start-up and read-only afterwards.
//
// Every value is held in its base unit (metres, seconds, kilograms, m^3/s, ...); a value shown in
// unit choice c of kind k is base / UnitFactor(k, c), and a typed value is stored as
// typed x UnitFactor(k, c).

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>

namespace modLabels {

inline constexpr int UnitKinds = 31;  // kinds 0..30 (18..30 have no choices)
inline constexpr int UnitChoices = 5; // choices 0..4
// Element (kind, choice) of a unit table sits at position kind + 31 choice.
constexpr int UnitIndex(int kind, int choice) { return kind + UnitKinds * choice; }

// Unit kinds named by the windows.
enum UnitKind : int {
    KindNone = 0,
    KindLength = 1,
    KindMass = 2,
    KindTime = 3,
    KindVelocity = 4,
    KindVolume = 6,
    KindVolumeFlow = 13,
    KindMassFlow = 14,
};

// Item list numbers.
enum PickList : int {
    ListPipeMaterial = 4,
    ListLiquid = 7,
    ListChannel = 11,
    ListTransducerType = 14,
};
inline constexpr int PickListCount = 15; // list numbers 0..14

struct UnitTables {
    std::array<QString, UnitKinds * UnitChoices> UnitNameTable;    // by UnitIndex
    std::array<float, UnitKinds * UnitChoices> UnitFactorTable{};  // by UnitIndex
    std::array<std::int16_t, UnitKinds> UnitCountTable{};          // by kind
    // Unit kind of each quantity a current loop carries: actual flow, standard flow, mass flow,
    // sound speed.
    std::array<std::int16_t, 4> OutputParamKind{};
    // Unit kind of each totalised data type of the logic outputs: actual volume, standard
    // volume, mass.
    std::array<std::int16_t, 3> TotalKind{};
    std::array<QStringList, PickListCount> PickItems;               // by list number

    // Text shown for choice `choice` of kind `kind`; empty outside the table.
    QString UnitName(int kind, int choice) const;
    // Base value = shown value x factor; 0 outside the table (windows test "factor above 0").
    float UnitFactor(int kind, int choice) const;
    // Number of choices of the kind (choices 0..count-1); 0 outside 0..30.
    int UnitCount(int kind) const;
    // Item `item` of list `list`; empty outside the list.
    QString PickItem(int list, int item) const;
    int PickItemCount(int list) const;
};

void FillItemLists(UnitTables& tables);
void FillUnitTables(UnitTables& tables);

// Unit change: a value shown as `shown` in the old choice (factor f0) is base = shown x f0, and is
// shown in the new choice (factor f1) as base / f1. Computed in double from the single factors.
// A factor f1 that is not above 0 leaves the value as it is.
double ConvertUnitValue(double shown, float f0, float f1);
// The same on text: Val(text) x f0 / f1, formatted with `picture` (vbtext::Format).
QString ConvertUnitText(const QString& text, float f0, float f1, const QString& picture);

} // namespace modLabels
