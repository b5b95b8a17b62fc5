// The settings reader on arbitrary files: looking a key up must neither crash
// nor hand back what a value cannot be (longer than the longest value, a NUL
// byte, a value where the file holds no "=" at all), and reading the file
// from disk must give what looking up its bytes gives.
#include "settings/ProfileFile.h"
#include "settings/ProfileStore.h"
#include "settings/SettingsValues.h"

#include "FuzzScratch.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <optional>
#include <cstdlib>
#include <unistd.h>

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    // Two bytes choose the section and the key: a known pair (high bit set)
    // or that many bytes taken from the input (up to 15 each).
    const uint8_t a = data[0];
    const uint8_t b = data[1];
    data += 2;
    size -= 2;
    QByteArray section, key;
    if (a & 0x80) {
        // The program's own keys, so that the fuzzer reaches the lines that
        // match as often as the ones that do not.
        const SettingInfo &known = SettingTable[(a & 0x7F) % SettingTable.size()];
        section = known.section;
        key = known.key;
    } else {
        const size_t sectionLength = std::min<size_t>(a & 0x0F, size);
        section = QByteArray(reinterpret_cast<const char *>(data), qsizetype(sectionLength));
        data += sectionLength;
        size -= sectionLength;
        const size_t keyLength = std::min<size_t>(b & 0x0F, size);
        key = QByteArray(reinterpret_cast<const char *>(data), qsizetype(keyLength));
        data += keyLength;
        size -= keyLength;
    }
    const QByteArray contents(reinterpret_cast<const char *>(data), qsizetype(size));

    const std::optional<QByteArray> value = ProfileFile::lookUp(contents, section, key);
    if (value) {
        Check(value->size() <= ProfileFile::MaxValueBytes);
        Check(!value->contains('\0'));
        Check(contents.contains('='));
    }

    QFile file(ScratchPath("settings"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 0;
    file.write(contents);
    file.close();
    if (contents.size() > ProfileStore::MaxFileBytes)
        return 0;
    QByteArray loaded;
    Check(ProfileStore::LoadBytes(ScratchPath("settings"), &loaded) == ProfileStore::Load::Read);
    Check(ProfileFile::lookUp(loaded, section, key) == value);
    return 0;
}
