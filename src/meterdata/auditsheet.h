#pragma once
// The configuration audit sheet: a plain-text report of the configuration held in the cells (meter
// identity, the two current loops, both channels). Plain code without widgets: the configuration
// menu passes its label captions and writes the bytes returned here.

#include "meterdata/modData.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace auditsheet {

// The print file dialog.
inline constexpr char kFilter[] = "All Files (*.*)|*.*|Text Files(*.txt)|*.txt|Batch Files (*.bat)|*.bat";
inline constexpr int kFilterIndex = 2;
inline constexpr char kDefaultExt[] = "txt";

// The configuration menu's identity captions (lblModel, lblSoftVer, lblSN, lblChecksum). Only a
// model-1 meter has them; for other models the menu keeps the captions it had.
struct IdentityLabels {
    QString model, softVer, serial, checksum;
};
inline bool HasIdentityLabels(std::uint8_t model) { return model == 1; }
IdentityLabels MenuLabels(std::uint8_t model, std::uint8_t version, std::uint16_t serial, std::uint16_t checksum);
QString ChecksumLabel(std::uint16_t checksum);

// One report line as file bytes: the items joined by one TAB, ended by CR LF, in Latin-1. Control
// characters inside an item (C0, DEL, C1) and characters outside Latin-1 are written as "?", so no
// item can split a line or a field.
QByteArray ReportLine(const QStringList& items);

// How the sheet prints one cell on a line of its own: the caption, the value text (signed-number
// text keeps its leading space) and the unit written straight after it; a plain line is caption,
// value and unit run together, a labelled one has the caption in a field of its own. Cells the
// sheet shows only through a derived line (Tube OD, Max Flow) or not at all have none.
struct CellPrint {
    const char* caption;
    QString (*value)(const modData::ParameterCell& cell);
    const char* unit;
    bool plain;
};
const CellPrint* GlobalCellPrint(const modData::GlobalRecord& record, const modData::ParameterCell& cell);
const CellPrint* LoopCellPrint(const modData::LoopRecord& record, const modData::ParameterCell& cell);
const CellPrint* ChannelCellPrint(const modData::ChannelRecord& record, const modData::ParameterCell& cell);

// The whole report as file bytes, from the current cell values. model, softVer and serial are the
// captions of the menu's lblModel, lblSoftVer and lblSN.
QByteArray AuditSheet(const modData::MeterData& data, const QString& model, const QString& softVer,
                      const QString& serial);

} // namespace auditsheet
