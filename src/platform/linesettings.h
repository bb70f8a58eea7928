#pragma once
// Line settings text of the serial port: "9600,n,8,1", "19200,e,7,1.5".

#include <QString>

struct LineSettings {
    int baud = 9600;
    char parity = 'n';  // n, e, o, m, s
    int dataBits = 8;   // 4..8
    QString stopBits = QStringLiteral("1"); // "1", "1.5", "2"

    // Parses the text (parity letter in either case). False when it is not a valid settings text.
    static bool parse(const QString& text, LineSettings* out);
    // The text with the parity letter in lower case.
    QString text() const;
};
