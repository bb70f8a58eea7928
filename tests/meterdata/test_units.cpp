// Unit tables, item lists, unit change, and the combo helpers.

#include "meterdata/modLabels.h"
#include "meterdata/unitcombo.h"

#include <QComboBox>
#include <QLineEdit>
#include <gtest/gtest.h>

#include <memory>

using namespace modLabels;

namespace {

std::unique_ptr<UnitTables> Filled()
{
    auto t = std::make_unique<UnitTables>();
    FillItemLists(*t);
    FillUnitTables(*t);
    return t;
}

} // namespace

TEST(UnitTables, NamesFactorsCounts)
{
    const auto t = Filled();
    // By kind: each choice's name and factor; kinds 18..30 have none.
    const std::vector<std::vector<std::pair<const char*, double>>> table = {
        {{"  ", 1.0}}, {{"mm", 0.001}, {"m", 1.0}, {"inch", 0.0254}, {"ft", 0.3048}}, {{"kg", 1.0}, {"lbm", 1 / 2.2}},
        {{"micro_s", 1e-6}, {"nano_s", 1e-9}, {"s", 1.0}}, {{"m/s", 1.0}, {"ft/s", 0.3048}}, {{"K", 1.0}},
        {{"mL", 1e-6}, {"L", 0.001}, {"m^3", 1.0}, {"ft^3", 1 / 35.31467}}, {{"MPa", 1.0}}, {{"kg/m^3", 1.0}},
        {{"m/s^2", 1.0}}, {{"m*s^2", 1.0}}, {{"kHz", 1.0}}, {{"degree", 1.0}},
        {{"lpm", 1 / 60000.0}, {"cfm", 1 / 35.3146 / 60}, {"m^3/s", 1.0}, {"gpm", 1 / 60.0 / 264.172052},
         {"cc/m", 1 / 60000.0 / 1000}},
        {{"kg/s", 1.0}, {"kg/min", 1 / 60.0}, {"lbm/min", 1 / 132.0}, {"lbm/s", 1 / 2.2}},
        {{"%", 1.0}}, {{"MHz", 1.0}}, {{"mA", 1.0}},
    };
    for (int k = 0; k < 31; ++k) {
        const auto choices = k < 18 ? table[static_cast<std::size_t>(k)] : decltype(table)::value_type{};
        EXPECT_EQ(t->UnitCount(k), static_cast<int>(choices.size())) << "kind " << k;
        for (std::size_t c = 0; c < 5; ++c) {
            SCOPED_TRACE(testing::Message() << "kind " << k << ", choice " << c);
            const bool listed = c < choices.size();
            EXPECT_EQ(t->UnitName(k, static_cast<int>(c)), listed ? QString::fromLatin1(choices[c].first) : QString());
            EXPECT_EQ(t->UnitFactor(k, static_cast<int>(c)), listed ? static_cast<float>(choices[c].second) : 0.0f);
        }
    }
    // Outside the table.
    EXPECT_EQ(t->UnitCount(-1) + t->UnitCount(31), 0);
    EXPECT_EQ(t->UnitFactor(0, 5), 0.0f);
    EXPECT_EQ(t->UnitFactor(-1, 0), 0.0f);
    EXPECT_TRUE(t->UnitName(1, -1).isEmpty());

    EXPECT_EQ(t->OutputParamKind, (std::array<std::int16_t, 4>{13, 13, 14, 4}));
    EXPECT_EQ(t->TotalKind, (std::array<std::int16_t, 3>{6, 6, 2}));
}

TEST(UnitTables, ItemLists)
{
    const auto t = Filled();
    EXPECT_EQ(t->PickItems[4], (QStringList{"Other", "Stainless Steel", "Carbon Steel", "Copper", "Ductle Iron",
                                            "PVC/CPVC", "PTFE", "Polyethylene", "PFA"}));
    EXPECT_EQ(t->PickItems[7], (QStringList{"Other", "Water", "Saline", "Conc. Acid", "Gasoline", "Diesel",
                                            "50/50 Antifreeze", "IPA"}));
    EXPECT_EQ(t->PickItems[11], (QStringList{"Chan A", "Chan B", "Chan C", "Chan D", "Chan E", "Chan F"}));
    EXPECT_EQ(t->PickItems[14],
              (QStringList{"Special", "KRB41", "KRB17", "KRB32", "KRB58", "KRB74", "LS86", "LS39", "NEV52"}));
    EXPECT_EQ(t->PickItem(14, 8), "NEV52");
    EXPECT_TRUE(t->PickItem(14, 9).isEmpty());
    EXPECT_TRUE(t->PickItem(15, 0).isEmpty());
    EXPECT_TRUE(t->PickItem(-1, 0).isEmpty());
    EXPECT_EQ(t->PickItemCount(0), 0);
    EXPECT_EQ(t->PickItemCount(11), 6);
}

TEST(UnitTables, UnitChangeAndCombos)
{
    const auto t = Filled();
    const float kgs = t->UnitFactor(14, 0), m3s = t->UnitFactor(13, 2);
    EXPECT_NEAR(ConvertUnitValue(1, kgs, t->UnitFactor(14, 2)), 132.0, 132e-6);
    EXPECT_NEAR(ConvertUnitValue(2.5, t->UnitFactor(1, 3), t->UnitFactor(1, 0)), 762.0, 762e-6); // ft -> mm

    // The text's leading number, converted, in the picture.
    EXPECT_EQ(ConvertUnitText("1 kg", kgs, t->UnitFactor(14, 3), "##0.00"), "2.20");
    EXPECT_EQ(ConvertUnitText("1", m3s, t->UnitFactor(13, 3), "#####.0"), "15850.3");
    EXPECT_EQ(ConvertUnitText("60000", t->UnitFactor(13, 0), m3s, "0.000"), "1.000");
    EXPECT_EQ(ConvertUnitText("abc", kgs, t->UnitFactor(14, 1), "##0.00"), "0.00");
    // No factor for the new choice: the text stays.
    EXPECT_EQ(ConvertUnitText("12.5", kgs, t->UnitFactor(18, 0), "##0.00"), "12.5");
    EXPECT_EQ(ConvertUnitValue(12.5, kgs, 0.0f), 12.5);
    QLineEdit box("1");
    ChangeUnitText(box, kgs, t->UnitFactor(14, 1), "##0.00");
    EXPECT_EQ(box.text(), "60.00");

    // The combos are refilled, not appended to.
    QComboBox combo;
    FillUnitCombo(combo, *t, 13, 3);
    ASSERT_EQ(combo.count(), 5);
    EXPECT_EQ(combo.itemText(4), "cc/m");
    EXPECT_EQ(combo.currentIndex(), 3);
    FillUnitCombo(combo, *t, 0, 0);
    EXPECT_EQ(combo.count(), 1);
    EXPECT_EQ(combo.currentIndex(), 0);
    FillUnitCombo(combo, *t, 1, 4);
    EXPECT_EQ(combo.count(), 4);
    EXPECT_EQ(combo.currentIndex(), -1) << "no such choice";
    FillUnitCombo(combo, *t, 18, 0);
    EXPECT_EQ(combo.count(), 0);

    FillPickCombo(combo, *t, 11, 2);
    ASSERT_EQ(combo.count(), 2);
    EXPECT_EQ(combo.itemText(1), "Chan B");
    EXPECT_EQ(combo.itemData(1).toInt(), 1);
    FillPickCombo(combo, *t, 14, 20);
    EXPECT_EQ(combo.count(), 9);
}
