// A configuration kept as text, read back the way zav-cli import reads it. The first byte chooses:
// odd, the rest is a text; even, the rest is a site file's bytes (padded or cut to 1455).
// A text that is taken rebuilds a configuration whose own text is taken again and gives the same
// bytes; a text that is refused says why. Every site file written out as text reads back to itself.

#include "configtext/configtext.h"
#include "fuzzsupport.h"

#include <QByteArray>
#include <QStringList>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray rest(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
    configtext::Config config;
    if (data[0] & 1) {
        QStringList errors;
        const bool taken = configtext::ImportText(rest, config, errors);
        require(taken == errors.isEmpty());
        if (!taken)
            return 0;
    } else {
        QByteArray site = rest.left(configtext::kSiteFileBytes);
        site.append(configtext::kSiteFileBytes - site.size(), '\0');
        QString error;
        require(configtext::ParseSiteConfig(site, QStringLiteral("fuzz.bin"), config, error));
        require(config.siteFileBytes() == site);
    }
    const QByteArray text = configtext::ExportText(config);
    configtext::Config again;
    QStringList errors;
    require(configtext::ImportText(text, again, errors) && errors.isEmpty());
    require(again.siteFileBytes() == config.siteFileBytes());
    require(configtext::ExportText(again) == text);
    return 0;
}
