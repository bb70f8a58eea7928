#include "meterdata/modLabels.h"

#include "platform/vbtext.h"

#include <initializer_list>

namespace modLabels {

namespace {

bool InUnitTable(int kind, int choice)
{
    return kind >= 0 && kind < UnitKinds && choice >= 0 && choice < UnitChoices;
}

struct UnitEntry {
    const char* name;
    double factor; // computed in double, stored as single
};

struct UnitRow {
    int kind;
    std::initializer_list<UnitEntry> choices;
};

const UnitRow kUnitRows[] = {
    {0, {{"  ", 1.0}}},
    {1, {{"mm", 0.001}, {"m", 1.0}, {"inch", 0.0254}, {"ft", 0.3048}}},
    {2, {{"kg", 1.0}, {"lbm", 1.0 / 2.2}}},
    {3, {{"micro_s", 1e-6}, {"nano_s", 1e-9}, {"s", 1.0}}},
    {4, {{"m/s", 1.0}, {"ft/s", 0.3048}}},
    {5, {{"K", 1.0}}},
    {6, {{"mL", 1e-6}, {"L", 0.001}, {"m^3", 1.0}, {"ft^3", 1.0 / 35.31467}}},
    {7, {{"MPa", 1.0}}},
    {8, {{"kg/m^3", 1.0}}},
    {9, {{"m/s^2", 1.0}}},
    {10, {{"m*s^2", 1.0}}},
    {11, {{"kHz", 1.0}}},
    {12, {{"degree", 1.0}}},
    // Volume flow uses 35.3146 ft^3 per m^3, volume (kind 6) 35.31467.
    {13, {{"lpm", 1.0 / 60000.0},
          {"cfm", 1.0 / 35.3146 / 60.0},
          {"m^3/s", 1.0},
          {"gpm", 1.0 / 60.0 / 264.172052},
          {"cc/m", 1.0 / 60000.0 / 1000.0}}},
    {14, {{"kg/s", 1.0}, {"kg/min", 1.0 / 60.0}, {"lbm/min", 1.0 / 132.0}, {"lbm/s", 1.0 / 2.2}}},
    {15, {{"%", 1.0}}},
    {16, {{"MHz", 1.0}}},
    {17, {{"mA", 1.0}}},
};

} // namespace

QString UnitTables::UnitName(int kind, int choice) const
{
    return InUnitTable(kind, choice) ? UnitNameTable[static_cast<std::size_t>(UnitIndex(kind, choice))] : QString();
}

float UnitTables::UnitFactor(int kind, int choice) const
{
    return InUnitTable(kind, choice) ? UnitFactorTable[static_cast<std::size_t>(UnitIndex(kind, choice))] : 0.0f;
}

int UnitTables::UnitCount(int kind) const
{
    return kind >= 0 && kind < UnitKinds ? UnitCountTable[static_cast<std::size_t>(kind)] : 0;
}

QString UnitTables::PickItem(int list, int item) const
{
    if (list < 0 || list >= PickListCount)
        return {};
    const QStringList& items = PickItems[static_cast<std::size_t>(list)];
    return item >= 0 && item < items.size() ? items[item] : QString();
}

int UnitTables::PickItemCount(int list) const
{
    return list >= 0 && list < PickListCount ? static_cast<int>(PickItems[static_cast<std::size_t>(list)].size()) : 0;
}

void FillItemLists(UnitTables& tables)
{
    for (QStringList& list : tables.PickItems)
        list.clear();
    tables.PickItems[ListPipeMaterial] = {"Other", "Stainless Steel", "Carbon Steel", "Copper", "Ductle Iron",
                                          "PVC/CPVC", "PTFE", "Polyethylene", "PFA"};
    tables.PickItems[ListLiquid] = {"Other", "Water", "Saline", "Conc. Acid", "Gasoline", "Diesel",
                                    "50/50 Antifreeze", "IPA"};
    tables.PickItems[ListChannel] = {"Chan A", "Chan B", "Chan C", "Chan D", "Chan E", "Chan F"};
    tables.PickItems[ListTransducerType] = {"Special", "KRB41", "KRB17", "KRB32", "KRB58",
                                            "KRB74", "LS86", "LS39", "NEV52"};
}

void FillUnitTables(UnitTables& tables)
{
    for (QString& name : tables.UnitNameTable)
        name.clear();
    tables.UnitFactorTable.fill(0.0f);
    tables.UnitCountTable.fill(0);
    for (const UnitRow& row : kUnitRows) {
        int choice = 0;
        for (const UnitEntry& e : row.choices) {
            const auto i = static_cast<std::size_t>(UnitIndex(row.kind, choice));
            tables.UnitNameTable[i] = QString::fromLatin1(e.name);
            tables.UnitFactorTable[i] = static_cast<float>(e.factor);
            ++choice;
        }
        tables.UnitCountTable[static_cast<std::size_t>(row.kind)] = static_cast<std::int16_t>(choice);
    }
    tables.OutputParamKind = {KindVolumeFlow, KindVolumeFlow, KindMassFlow, KindVelocity};
    tables.TotalKind = {KindVolume, KindVolume, KindMass};
}

double ConvertUnitValue(double shown, float f0, float f1)
{
    if (!(f1 > 0.0f))
        return shown;
    const double base = shown * static_cast<double>(f0);
    return base / static_cast<double>(f1);
}

QString ConvertUnitText(const QString& text, float f0, float f1, const QString& picture)
{
    if (!(f1 > 0.0f))
        return text;
    return vbtext::Format(ConvertUnitValue(vbtext::Val(text), f0, f1), picture);
}

} // namespace modLabels
