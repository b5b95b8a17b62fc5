#include "settings/modFileFuncs.h"

#include "settings/ProfileFile.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <optional>

namespace {

// The settings file is in code page 932, like its Windows sibling's.
constexpr const char kCodePage[] = "CP932";

std::optional<QByteArray> toCodePage(const QString &text)
{
    QStringEncoder encoder(kCodePage);
    QByteArray bytes = encoder.encode(text);
    if (encoder.hasError())
        return std::nullopt;
    return bytes;
}

QString fromCodePage(const QByteArray &bytes)
{
    QStringDecoder decoder(kCodePage);
    return decoder.decode(bytes);
}

} // namespace

QString ReadValue(const QString &path, const QString &section, const QString &key,
                  const QString &defaultValue)
{
    const auto sectionBytes = toCodePage(section);
    const auto keyBytes = toCodePage(key);
    if (!sectionBytes || !keyBytes)
        return defaultValue;
    const auto value = ProfileFile::read(path, *sectionBytes, *keyBytes);
    if (!value)
        return defaultValue;
    return fromCodePage(*value);
}

int WriteValue(const QString &path, const QString &section, const QString &key, const QString &value)
{
    // A text that code page 932 cannot hold is not written rather than
    // written with question marks in its place.
    const auto sectionBytes = toCodePage(section);
    const auto keyBytes = toCodePage(key);
    const auto valueBytes = toCodePage(value);
    if (!sectionBytes || !keyBytes || !valueBytes)
        return 0;
    return ProfileFile::write(path, *sectionBytes, *keyBytes, *valueBytes) ? 1 : 0;
}

QString JoinPath(QString &directory, const QString &name)
{
    if (!directory.endsWith(QLatin1Char('/')))
        directory += QLatin1Char('/');
    return directory + name;
}
