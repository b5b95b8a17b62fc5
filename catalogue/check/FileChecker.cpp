// What stays in memory while a file is checked is the record being read, a
// few numbers and a hash of the name for each record, and the first few
// hundred characters of whatever a finding shows; findings go out as they
// are found. A file of any size below the reader's limit is checked in
// memory of a small multiple of its largest record.
#include "catalogue/check/FileChecker.h"

#include "catalogue/SeriesCatalogue.h"
#include "catalogue/check/CheckFinding.h"

#include <QByteArray>
#include <algorithm>

namespace {

// The file is read in pieces of this size (more while an item is longer).
constexpr qsizetype kPieceBytes = 64 * 1024;

}  // namespace

FileChecker::FileChecker(const QString &path, const QString &seriesName, const FindingSink &sink)
    : m_path(path), m_numberBase(IsNumberBaseSeries(seriesName)), m_findings(path, sink),
      m_records(m_numberBase, m_findings), m_afterRecords(m_numberBase, m_findings)
{
}

void FileChecker::run()
{
    QFile file;
    SeriesEncodingChoice choice;
    qint64 size = 0;
    if (!OpenSeriesFile(m_path, file) || !weigh(file, choice, size) || !file.seek(0) || !read(file, choice, size)) {
        m_findings.add(FindingKind::FileUnreadable, 0, -1, QStringLiteral("ファイルを開けません。"));
    } else {
        finishFile(choice);
    }
    m_findings.emitPending();
}

// The first pass: the encoding, as the reader chooses it from all the
// bytes. size receives how many there are (never above the limit).
bool FileChecker::weigh(QFile &file, SeriesEncodingChoice &choice, qint64 &size)
{
    SeriesEncodingWeigher weigher;
    QByteArray piece(kPieceBytes, Qt::Uninitialized);
    for (;;) {
        const qint64 got = file.read(piece.data(), piece.size());
        if (got < 0)
            return false;
        if (got == 0)
            break;
        size += got;
        if (size > kMaxSeriesFileBytes)
            return false;
        weigher.add(QByteArrayView(piece.constData(), got));
    }
    choice = weigher.finish();
    return true;
}

// The second pass: the same bytes decoded and split into items.
bool FileChecker::read(QFile &file, const SeriesEncodingChoice &choice, qint64 size)
{
    SeriesTextDecoder decoder(choice);
    SeriesItemReader reader;
    QByteArray piece(kPieceBytes, Qt::Uninitialized);
    QString text;
    qint64 left = size;
    SeriesItemView item;
    for (;;) {
        const SeriesItemReader::Step step = reader.next(item);
        if (step == SeriesItemReader::End)
            break;
        if (step == SeriesItemReader::Item) {
            onItem(item);
            scanCharacters(reader.text(), reader.position(), &item);
            continue;
        }
        // More text: at least as much as is held, so that a long item is
        // gone through a bounded number of times.
        if (reader.position() > kPieceBytes) {
            scanCharacters(reader.text(), reader.position(), nullptr);
            reader.dropRead();
            m_scanFrom = 0;
        }
        const qint64 wanted = std::max<qint64>(kPieceBytes, reader.text().size());
        qint64 added = 0;
        while (added < wanted && left > 0) {
            const qint64 got = file.read(piece.data(), std::min<qint64>(left, piece.size()));
            if (got < 0)
                return false;
            if (got == 0)
                break;
            left -= got;
            added += got;
            text.clear();
            decoder.add(QByteArrayView(piece.constData(), got), text);
            reader.append(text);
        }
        if (added == 0) {
            text.clear();
            decoder.finish(text);
            reader.append(text);
            reader.finish();
        }
    }
    scanCharacters(reader.text(), reader.text().size(), nullptr);
    flushLine(m_lastItemUnit);
    return true;
}

void FileChecker::onItem(const SeriesItemView &item)
{
    const long long index = m_itemsRead++;
    m_lastItemUnit = m_records.recordOfItem(index);
    if (index == 0) {
        m_records.readCount(item);
    } else if (index <= 5LL * m_records.count()) {
        m_records.readItem(index, item);
        m_afterRecords.checkInRecords(item, m_lastItemUnit, m_previousEndedLine);
    } else if (m_records.count() > 0) {  // the program reads nothing after a count of 0
        const bool first = index == 5LL * m_records.count() + 1;
        if (first)
            m_records.finishRecord(item.line);
        m_afterRecords.readItem(item, first || m_previousEndedLine);
    }
    m_previousEndedLine = item.endsLine;
    if (item.unclosedQuote) {
        m_findings.add(
            FindingKind::UnclosedQuote, item.line, m_lastItemUnit,
            QStringLiteral("%1 行目で開いた引用符 \" が閉じていません。ファイルの終わりまでが一つの項目として"
                           "読まれます。")
                .arg(item.line));
    }
    if (!m_records.isRecordOpen())
        m_findings.emitPending();
}

// What is known only at the end of the file.
void FileChecker::finishFile(const SeriesEncodingChoice &choice)
{
    m_records.finishRecord(0);
    if (m_records.count() > 0) {
        m_records.finish();
        m_afterRecords.finish(m_records.count(), m_records.takeNames(), m_records.takeFactors(),
                              m_records.declaredCount(), m_records.isShifted());
    }
    // A UTF-8 file read as CP932: every byte is UTF-8, yet the weighing
    // chose CP932, which only half-width katakana can have won.
    if (!choice.byteOrderMark && choice.encoding == SeriesEncoding::Cp932 && choice.utf8Clean && m_katakanaLine > 0) {
        const QString utf8 = Utf8ReadingOf(m_katakanaText);
        m_findings.add(
            FindingKind::Utf8WithoutMark, m_katakanaLine, m_katakanaUnit,
            QStringLiteral("このファイルは UTF-8 で書かれていて、先頭のバイト順マーク (BOM) がないようです。"
                           "Tovel は CP932 として読むので、「%1」%2が半角カタカナになります。"
                           "BOM 付きの UTF-8 で保存してください。")
                .arg(m_katakanaText, utf8.isEmpty() ? QString() : QStringLiteral(" (UTF-8 なら「%1」)").arg(utf8)));
    }
}

// The text as UTF-8 would have read its bytes, when it is ASCII and
// half-width katakana only (one byte each in CP932); empty otherwise.
QString FileChecker::Utf8ReadingOf(const QString &text)
{
    QByteArray bytes;
    for (const QChar c : text) {
        if (c.unicode() < 0x80)
            bytes += char(c.unicode());
        else if (c.unicode() >= 0xFF61 && c.unicode() <= 0xFF9F)
            bytes += char(c.unicode() - 0xFF61 + 0xA1);
        else
            return QString();
    }
    const QString decoded = QString::fromUtf8(bytes);
    return decoded.contains(QChar(0xFFFD)) ? QString() : decoded;
}

// Looks at the text from m_scanFrom to end: lines holding NUL bytes,
// bytes that did not decode (U+FFFD) or other control characters. The
// program reads them without a word: a NUL or an escape sequence ends up
// in a unit name, a bad byte as U+FFFD. item is the item that the text
// belongs to, when there is one; a line's findings name the record of
// the last item that starts on or before it.
void FileChecker::scanCharacters(QStringView text, qsizetype end, const SeriesItemView *item)
{
    const char16_t *const chars = text.utf16();
    for (qsizetype i = m_scanFrom; i < end; ++i) {
        const char16_t c = chars[i];
        if (c >= 0x7F || c < 0x20) {
            if (c == u'\n' || c == u'\r') {
                flushLine(m_lastItemUnit);
                if (c == u'\r' && i + 1 < end && chars[i + 1] == u'\n')
                    ++i;
                ++m_line;
                continue;
            }
            scanCharacter(c, item);
        }
    }
    m_scanFrom = end;
}

void FileChecker::scanCharacter(char16_t c, const SeriesItemView *item)
{
    if (c == 0) {
        m_nul = true;
    } else if (c == 0xFFFD) {
        m_invalid = true;
    } else if (c != u'\t' && m_control.isNull() && IsEscapedCharacter(QChar(c))) {
        m_control = QChar(c);
    } else if (c >= 0xFF61 && c <= 0xFF9F && m_katakanaLine == 0) {
        m_katakanaLine = m_line;
        m_katakanaUnit = m_lastItemUnit;
        m_katakanaText = item ? ShortenedText(item->value.trimmed()) : QString(QChar(c));
    }
}

void FileChecker::flushLine(int unit)
{
    if (m_nul)
        m_findings.add(FindingKind::NulByte, m_line, unit,
                       QStringLiteral("NUL 文字 (バイト 0) があります。系列ファイルはテキストでなければなりません。"));
    if (m_invalid)
        m_findings.add(
            FindingKind::InvalidBytes, m_line, unit,
            QStringLiteral("ファイルの文字コードでは文字として読めないバイトがあります。"
                           "名前などに「\uFFFD」と表示されます。ファイル全体を CP932 か UTF-8 で保存してください。"));
    if (!m_control.isNull())
        m_findings.add(FindingKind::ControlCharacter, m_line, unit,
                       QStringLiteral("制御文字「%1」があります。一覧や端末の表示を乱します。").arg(m_control));
    m_nul = m_invalid = false;
    m_control = QChar();
}
