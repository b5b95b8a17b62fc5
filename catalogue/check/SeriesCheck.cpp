// The series-file checker. It reads a file as the program does (the same
// choice of encoding, the same items, the same numbers) but as a stream: the
// bytes are weighed for their encoding in one pass, then decoded and split
// into items in a second, and each record is checked as soon as it is read.
// What stays in memory is the record being read, a few numbers and a hash of
// the name for each record, and the first few hundred characters of whatever
// a finding shows; findings go out as they are found. A file of any size
// below the reader's limit is checked in memory of a small multiple of its
// largest record.
#include "catalogue/check/SeriesCheck.h"

#include "catalogue/SeriesCatalogue.h"
#include "catalogue/UnitFile.h"
#include "catalogue/check/ExtensionCheck.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <dirent.h>
#include <functional>
#include <optional>
#include <sys/stat.h>

namespace {

using FindingSink = std::function<void(CheckFinding &&)>;

// The file is read in pieces of this size (more while an item is longer).
constexpr qsizetype kPieceBytes = 64 * 1024;

QString FieldName(int field)
{
    switch (field) {
    case 1: return QStringLiteral("係数");
    case 2: return QStringLiteral("オフセット");
    case 3: return QStringLiteral("桁区切りフラグ");
    case 4: return QStringLiteral("指数表示フラグ");
    default: return QStringLiteral("項目");
    }
}

QString NumberText(double v)
{
    return QString::number(v, 'g', 17);
}

// Code point at i of text (a lone surrogate as itself), and its length.
char32_t CodePointAt(QStringView text, qsizetype i, int *length)
{
    const QChar c = text.at(i);
    if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
        *length = 2;
        return QChar::surrogateToUcs4(c, text.at(i + 1));
    }
    *length = 1;
    return c.unicode();
}

QString CodePointName(char32_t c)
{
    return QStringLiteral("U+") + QString::number(c, 16).toUpper().rightJustified(4, u'0');
}

// The unit name as a key for finding names that are the same: a hash of
// the whole name, so that no name is kept whole however long it is.
QByteArray NameKey(QStringView name)
{
    return QCryptographicHash::hash(QByteArrayView(reinterpret_cast<const char *>(name.utf16()), name.size() * 2),
                                    QCryptographicHash::Sha256);
}

class FileChecker {
public:
    FileChecker(const QString &path, const QString &seriesName, const FindingSink &sink)
        : path_(path), numberBase_(IsNumberBaseSeries(seriesName)), sink_(sink)
    {
    }

    void run()
    {
        QFile file;
        SeriesEncodingChoice choice;
        qint64 size = 0;
        if (!OpenSeriesFile(path_, file) || !weigh(file, choice, size) || !file.seek(0) || !read(file, choice, size)) {
            add(FindingKind::FileUnreadable, 0, -1, QStringLiteral("ファイルを開けません。"));
        } else {
            finishFile(choice);
        }
        emitPending();
    }

private:
    // One field of the record being read: what its findings show.
    struct Field {
        int line = 0;
        bool quoted = false;
        QString shown;        // the item as written, shortened
        bool failed = false;  // a number that did not read (it became 0)
        FieldIssue::Kind issue = FieldIssue::NotANumber;
        bool tooLarge = false;
        bool textAfterQuote = false;
    };

    // A unit that takes part in conversions, for the check of their range.
    struct Linear {
        int unit;
        int line;  // of its factor
        double factor;
        double offset;
        QString name;  // shortened
    };

    // ----------------------------------------------------------------------
    // Reading

    // The first pass: the encoding, as the reader chooses it from all the
    // bytes. size receives how many there are (never above the limit).
    bool weigh(QFile &file, SeriesEncodingChoice &choice, qint64 &size)
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
    bool read(QFile &file, const SeriesEncodingChoice &choice, qint64 size)
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
                scanFrom_ = 0;
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
        flushLine(lastItemUnit_);
        return true;
    }

    // ----------------------------------------------------------------------
    // Items and records

    void onItem(const SeriesItemView &item)
    {
        const long long index = itemsRead_++;
        lastItemUnit_ = recordOfItem(index);
        if (index == 0) {
            countLine_ = item.line;
            readCount(item);
        } else if (index <= 5LL * count_) {
            const int r = int((index - 1) / 5);
            const int f = int((index - 1) % 5);
            if (f == 0) {
                finishRecord(item.line);
                startRecord(r);
            }
            readField(f, item);
            if (f == kFieldsPerRecord - 1)
                ++recordsPresent_;
            checkExtensionInRecords(item, index);
        } else {
            readExtraItem(item, index - 5LL * count_ - 1);
        }
        previousEndedLine_ = item.endsLine;
        if (item.unclosedQuote) {
            add(FindingKind::UnclosedQuote, item.line, lastItemUnit_,
                QStringLiteral("%1 行目で開いた引用符 \" が閉じていません。ファイルの終わりまでが一つの項目として"
                               "読まれます。")
                    .arg(item.line));
        }
        if (!recordOpen_)
            emitPending();
    }

    // An item after the counted records (or after the count, when there is
    // no record to read); extra is 0 for the first of them. The lines there
    // are read as the program reads them: lines of the extension, whose
    // first item is a quoted keyword starting with "#", are kept for
    // CheckExtensionLines; other lines with an item are extra items.
    void readExtraItem(const SeriesItemView &item, long long extra)
    {
        if (count_ == 0)
            return;  // the program reads nothing after a count of 0
        if (extra == 0)
            finishRecord(item.line);
        if (extra == 0 || previousEndedLine_) {
            extension_ = item.raw.startsWith(u'"') && item.value.startsWith(u'#');
            lineFirst_ = item.line;
            lineHasContent_ = !item.raw.isEmpty();
            lineItems_ = 0;
            if (extension_) {
                ExtensionLine line;
                line.line = item.line;
                line.keyword = item.value.toString();
                extensionLines_.push_back(std::move(line));
            }
        } else {
            lineHasContent_ = true;  // a second item on the line
            // Only the first four items of an extension line are read by
            // their place; after them empty items mean nothing.
            if (extension_ && (lineItems_ < 4 || !item.value.isEmpty()))
                extensionLines_.back().items.push_back({item.value.toString(), item.raw.startsWith(u'"'), item.line});
            ++lineItems_;
        }
        lineOpen_ = !item.endsLine;
        if (item.endsLine)
            endExtraLine();
    }

    // The end of a line after the records (or of the file, within one).
    void endExtraLine()
    {
        if (!extension_ && lineHasContent_ && extraLine_ == 0)
            extraLine_ = lineFirst_;
    }

    // A line of the extension among the records: a count larger than the
    // records, or a record short of an item, made it part of the records.
    void checkExtensionInRecords(const SeriesItemView &item, long long index)
    {
        if (extensionInRecordsFound_ || !previousEndedLine_ || !item.raw.startsWith(u'"')
            || !item.value.startsWith(u'#'))
            return;
        extensionInRecordsFound_ = true;
        add(FindingKind::ExtensionInRecords, item.line, recordOfItem(index),
            QStringLiteral("「%1」の行が単位の記録の中にあって、記録として読まれます。"
                           "単位数か、その前の記録の項目の数を確かめてください。")
                .arg(ShortenedText(item.value)));
    }

    void readCount(const SeriesItemView &item)
    {
        const SeriesCount count = ReadSeriesCount(item.value);
        declaredCount_ = count.declared;
        if (!count.read || count.declared < 0) {
            add(FindingKind::CountUnreadable, item.line, -1,
                QStringLiteral("先頭の単位数「%1」が 0 から 32767 までの整数として読めません。"
                               "系列は空になります。")
                    .arg(ShortenedText(item.value.trimmed())));
        } else if (count.declared == 0) {
            add(FindingKind::EmptySeries, item.line, -1, QStringLiteral("単位数が 0 です。系列に単位がありません。"));
        } else {
            count_ = count.count;
        }
    }

    void startRecord(int r)
    {
        record_ = r;
        recordOpen_ = true;
        unit_ = UnitRecord();
        fields_ = {};
        nameShown_.clear();
    }

    void readField(int f, const SeriesItemView &item)
    {
        Field &field = fields_[size_t(f)];
        field.line = item.line;
        field.quoted = item.raw.startsWith(u'"');
        field.shown = ShortenedText(item.raw.trimmed());
        field.textAfterQuote = item.textAfterQuote;
        if (f == NameField) {
            // The name is kept shortened and as keys, and whole only for the
            // lines that may name the unit after the records.
            names_.push_back(item.value.toString());
            nameShown_ = ShortenedText(item.value);
            nameKey_ = NameKey(item.value);
            readVisibleName(item.value);
        } else {
            field.failed = !ReadRecordField(unit_, RecordField(f), item.value, &field.issue, &field.tooLarge);
        }
    }

    // The name without the characters that show as nothing: its key, and
    // which of those characters it holds.
    void readVisibleName(QStringView name)
    {
        QCryptographicHash hash(QCryptographicHash::Sha256);
        invisibleShown_.clear();
        visibleEmpty_ = true;
        qsizetype runStart = 0;
        for (qsizetype i = 0; i < name.size();) {
            int length = 1;
            const char32_t c = CodePointAt(name, i, &length);
            if (IsInvisibleCharacter(c)) {
                hash.addData(
                    QByteArrayView(reinterpret_cast<const char *>(name.utf16() + runStart), (i - runStart) * 2));
                runStart = i + length;
                const QString shown = CodePointName(c);
                if (invisibleShown_.size() < 3 && !invisibleShown_.contains(shown))
                    invisibleShown_ << shown;
            } else {
                visibleEmpty_ = false;
            }
            i += length;
        }
        hash.addData(
            QByteArrayView(reinterpret_cast<const char *>(name.utf16() + runStart), (name.size() - runStart) * 2));
        visibleKey_ = hash.result();
    }

    // Checks the record read last, once the line of the item after it is
    // known (0 when there is none): an unquoted name with a comma shows in
    // the items that follow.
    void finishRecord(int nextItemLine)
    {
        if (!recordOpen_)
            return;
        recordOpen_ = false;
        if (record_ < recordsPresent_ && shiftedAt_ < 0) {
            if (isShifted(nextItemLine)) {
                shiftedAt_ = record_;
                add(FindingKind::CommaInName, fields_[0].line, record_,
                    QStringLiteral("名前「%1,%2」のコンマで名前が切れ、以降の項目がすべて一つずつずれて"
                                   "読まれます。コンマを含む名前は \"\" で囲んでください。")
                        .arg(fields_[0].shown, fields_[1].shown));
            } else {
                checkRecord();
            }
        }
        emitPending();
    }

    // The factor is the rest of the name, which does not read as a number,
    // and the name's line holds more items than a record has.
    bool isShifted(int nextItemLine) const
    {
        const Field &name = fields_[0];
        const Field &next = fields_[1];
        return !name.quoted && !next.quoted && next.line == name.line && nextItemLine == name.line && next.failed;
    }

    void checkRecord()
    {
        const int r = record_;
        for (int f = 0; f < kFieldsPerRecord; ++f) {
            const Field &field = fields_[size_t(f)];
            if (field.textAfterQuote) {
                add(FindingKind::TextAfterQuote, field.line, r,
                    QStringLiteral("%1「%2」の閉じた引用符の後ろに文字があります。その文字は読まれません。")
                        .arg(FieldName(f), field.shown));
            }
            if (!field.failed)
                continue;
            if (field.issue == FieldIssue::NotANumber) {
                add(FindingKind::NotANumber, field.line, r,
                    QStringLiteral("%1「%2」が数として読めません。0 として読まれます。")
                        .arg(FieldName(f), field.shown));
            } else {
                add(FindingKind::OutOfRange, field.line, r, outOfRangeMessage(f, field));
            }
        }
        checkName();
        if (!numberBase_ && unit_.Factor == 0.0 && !fields_[1].failed) {
            add(FindingKind::ZeroFactor, fields_[1].line, r,
                QStringLiteral("係数が 0 です。この単位への変換はエラーになり、"
                               "この単位からの変換は常に 0 になります。"));
        }
        checkFlag(3, unit_.SeparatorOK);
        checkFlag(4, unit_.ExponentOK);
        if (numberBase_)
            checkRadix();
        else
            checkRange();
    }

    void checkName()
    {
        const int r = record_;
        const int line = fields_[0].line;
        if (nameShown_.isEmpty()) {
            add(FindingKind::EmptyName, line, r, QStringLiteral("名前が空です。"));
            return;
        }
        const auto same = firstWithName_.constFind(nameKey_);
        if (same != firstWithName_.constEnd()) {
            add(FindingKind::DuplicateName, line, r,
                QStringLiteral("単位 %1 と同じ名前です。一覧で見分けられません。").arg(same.value() + 1));
            return;
        }
        firstWithName_.insert(nameKey_, r);
        const QString which = invisibleShown_.join(QStringLiteral(", "));
        if (visibleEmpty_) {
            add(FindingKind::InvisibleCharacters, line, r,
                QStringLiteral("名前が目に見えない文字 (%1) だけです。一覧では名前が空に見えます。").arg(which));
            return;
        }
        const auto alike = firstLookingAlike_.constFind(visibleKey_);
        if (alike != firstLookingAlike_.constEnd()) {
            add(FindingKind::InvisibleCharacters, line, r,
                which.isEmpty()
                    ? QStringLiteral("単位 %1 とは目に見えない文字のほかは同じ名前です。一覧で見分けられません。")
                          .arg(alike.value() + 1)
                    : QStringLiteral("単位 %1 とは目に見えない文字 (%2) のほかは同じ名前です。一覧で見分けられません。")
                          .arg(alike.value() + 1)
                          .arg(which));
            return;
        }
        firstLookingAlike_.insert(visibleKey_, r);
    }

    static QString outOfRangeMessage(int field, const Field &f)
    {
        if (field == 3 || field == 4) {
            return QStringLiteral("%1「%2」が -32768 から 32767 の範囲を超えています。0 として読まれます。")
                .arg(FieldName(field), f.shown);
        }
        if (f.tooLarge) {
            return QStringLiteral("%1「%2」が大きすぎて数として扱えません (最大は約 1.8E+308)。"
                                  "0 として読まれます。")
                .arg(FieldName(field), f.shown);
        }
        return QStringLiteral("%1「%2」は 0 に近すぎて数として扱えません (最小は約 4.9E-324)。"
                              "0 として読まれます。")
            .arg(FieldName(field), f.shown);
    }

    void checkFlag(int field, qint16 value)
    {
        if (value == 0 || value == 1 || fields_[size_t(field)].failed)
            return;
        add(FindingKind::BadFlag, fields_[size_t(field)].line, record_,
            QStringLiteral("%1が %2 です。1 だけが有効で、ほかの値はすべて無効として扱われます。"
                           "0 か 1 にしてください。")
                .arg(FieldName(field))
                .arg(value));
    }

    // Conversions go through the base unit: base = (value - offset) * factor,
    // result = base / factor + offset. A unit whose own base value of 1
    // overflows fails from itself; the others are kept for checkRanges.
    void checkRange()
    {
        if (fields_[1].failed || fields_[2].failed || unit_.Factor == 0.0)
            return;
        const double base = (1.0 - unit_.Offset) * unit_.Factor;
        if (!std::isfinite(base)) {
            add(FindingKind::ValueOverflow, fields_[2].line, record_,
                QStringLiteral("オフセット %1 と係数 %2 の積が数の範囲 (約 1.8E+308) を超えます。"
                               "この単位からの変換はエラーになります。")
                    .arg(NumberText(unit_.Offset), NumberText(unit_.Factor)));
            return;
        }
        linear_.push_back({record_, fields_[1].line, unit_.Factor, unit_.Offset, nameShown_});
        const size_t added = linear_.size() - 1;
        if (!highest_ || base > BaseOfOne(linear_[*highest_]))
            highest_ = added;
        if (!lowest_ || base < BaseOfOne(linear_[*lowest_]))
            lowest_ = added;
    }

    static double BaseOfOne(const Linear &u) { return (1.0 - u.offset) * u.factor; }

    // Converting 1 from any unit into any other: for a given target the
    // result grows with the source's base value, so the sources with the
    // highest and the lowest base value are the only ones to try. The first
    // target that fails is named.
    void checkRanges()
    {
        if (!highest_)
            return;
        for (const Linear &target : linear_) {
            for (const size_t s : {*highest_, *lowest_}) {
                const Linear &source = linear_[s];
                if (std::isfinite(BaseOfOne(source) / target.factor + target.offset))
                    continue;
                CheckFinding f = finding(FindingKind::ValueOverflow, target.line, target.unit, QString());
                f.unitName = target.name;
                if (source.offset == 0.0 && target.offset == 0.0) {
                    f.message = QStringLiteral("係数 %1 と単位 %2「%3」の係数 %4 の比が数の範囲 (約 1.8E+308) を"
                                               "超えます。単位 %2 からこの単位への変換は 1 でもエラーになります。")
                                    .arg(NumberText(target.factor))
                                    .arg(source.unit + 1)
                                    .arg(source.name, NumberText(source.factor));
                } else {
                    f.message = QStringLiteral("単位 %1「%2」(係数 %3、オフセット %4) からこの単位 (係数 %5、"
                                               "オフセット %6) への変換は、1 でも結果が数の範囲 (約 1.8E+308) を"
                                               "超えてエラーになります。")
                                    .arg(source.unit + 1)
                                    .arg(source.name, NumberText(source.factor), NumberText(source.offset),
                                         NumberText(target.factor), NumberText(target.offset));
                }
                pending_.push_back(std::move(f));
                return;
            }
        }
    }

    // Radices must be 2, 3, 4 ... in this order: the value box's filter finds
    // a radix's digits by its position in the list.
    void checkRadix()
    {
        if (fields_[1].failed)
            return;
        const double f = unit_.Factor;
        const int line = fields_[1].line;
        if (!std::isfinite(f) || f != std::floor(f)) {
            add(FindingKind::RadixNotWhole, line, record_,
                QStringLiteral("基数 %1 が整数ではありません。").arg(NumberText(f)));
        } else if (f < 2 || f > 36) {
            add(FindingKind::RadixOutOfRange, line, record_,
                QStringLiteral("基数 %1 が 2 から 36 の範囲にありません。").arg(NumberText(f)));
        } else if (f != record_ + 2 && !radixOrderReported_) {
            radixOrderReported_ = true;
            add(FindingKind::RadixOrder, line, record_,
                QStringLiteral("基数 %1 の位置には基数 %2 が来るはずです。"
                               "基数は 2 から順に欠けなく並べてください。")
                    .arg(NumberText(f))
                    .arg(record_ + 2));
        }
    }

    // What is known only at the end of the file.
    void finishFile(const SeriesEncodingChoice &choice)
    {
        finishRecord(0);
        if (count_ > 0) {
            if (recordsPresent_ < declaredCount_) {
                add(FindingKind::CountTooLarge, countLine_, -1,
                    QStringLiteral("単位数は %1 ですが、単位は %2 個しかありません。"
                                   "足りない分は名前のない単位になります。")
                        .arg(declaredCount_)
                        .arg(recordsPresent_));
            }
            if (!numberBase_)
                checkRanges();
            if (lineOpen_)
                endExtraLine();
            checkExtensionLines();
            if (extraLine_ > 0 && shiftedAt_ < 0) {
                add(FindingKind::ExtraItems, extraLine_, -1,
                    QStringLiteral("単位数 %1 より後ろにも項目があります。読まれません。").arg(declaredCount_));
            }
        }
        // A UTF-8 file read as CP932: every byte is UTF-8, yet the weighing
        // chose CP932, which only half-width katakana can have won.
        if (!choice.byteOrderMark && choice.encoding == SeriesEncoding::Cp932 && choice.utf8Clean
            && katakanaLine_ > 0) {
            const QString utf8 = Utf8ReadingOf(katakanaText_);
            add(FindingKind::Utf8WithoutMark, katakanaLine_, katakanaUnit_,
                QStringLiteral("このファイルは UTF-8 で書かれていて、先頭のバイト順マーク (BOM) がないようです。"
                               "Tovel は CP932 として読むので、「%1」%2が半角カタカナになります。"
                               "BOM 付きの UTF-8 で保存してください。")
                    .arg(katakanaText_, utf8.isEmpty() ? QString() : QStringLiteral(" (UTF-8 なら「%1」)").arg(utf8)));
        }
    }

    // The lines after the records, read into the series as the program
    // reads them, and checked.
    void checkExtensionLines()
    {
        if (extensionLines_.empty())
            return;
        UnitFileContents contents;
        contents.units.resize(size_t(count_));
        for (size_t i = 0; i < names_.size() && i < contents.units.size(); ++i)
            contents.units[i].UnitName = std::move(names_[i]);
        names_.clear();
        contents.extensionLines = std::move(extensionLines_);
        if (!numberBase_)
            ApplySeriesExtension(contents);
        CheckExtensionLines(
            contents, numberBase_,
            [this](FindingKind kind, int line, int unit, const QString &message) { add(kind, line, unit, message); });
    }

    // The text as UTF-8 would have read its bytes, when it is ASCII and
    // half-width katakana only (one byte each in CP932); empty otherwise.
    static QString Utf8ReadingOf(const QString &text)
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

    // ----------------------------------------------------------------------
    // Characters

    // Looks at the text from scanFrom_ to end: lines holding NUL bytes,
    // bytes that did not decode (U+FFFD) or other control characters. The
    // program reads them without a word: a NUL or an escape sequence ends up
    // in a unit name, a bad byte as U+FFFD. item is the item that the text
    // belongs to, when there is one; a line's findings name the record of
    // the last item that starts on or before it.
    void scanCharacters(QStringView text, qsizetype end, const SeriesItemView *item)
    {
        const char16_t *const chars = text.utf16();
        for (qsizetype i = scanFrom_; i < end; ++i) {
            const char16_t c = chars[i];
            if (c >= 0x7F || c < 0x20) {
                if (c == u'\n' || c == u'\r') {
                    flushLine(lastItemUnit_);
                    if (c == u'\r' && i + 1 < end && chars[i + 1] == u'\n')
                        ++i;
                    ++line_;
                    continue;
                }
                scanCharacter(c, item);
            }
        }
        scanFrom_ = end;
    }

    void scanCharacter(char16_t c, const SeriesItemView *item)
    {
        if (c == 0) {
            nul_ = true;
        } else if (c == 0xFFFD) {
            invalid_ = true;
        } else if (c != u'\t' && control_.isNull() && IsEscapedCharacter(QChar(c))) {
            control_ = QChar(c);
        } else if (c >= 0xFF61 && c <= 0xFF9F && katakanaLine_ == 0) {
            katakanaLine_ = line_;
            katakanaUnit_ = lastItemUnit_;
            katakanaText_ = item ? ShortenedText(item->value.trimmed()) : QString(QChar(c));
        }
    }

    void flushLine(int unit)
    {
        if (nul_)
            add(FindingKind::NulByte, line_, unit,
                QStringLiteral("NUL 文字 (バイト 0) があります。系列ファイルはテキストでなければなりません。"));
        if (invalid_)
            add(FindingKind::InvalidBytes, line_, unit,
                QStringLiteral(
                    "ファイルの文字コードでは文字として読めないバイトがあります。"
                    "名前などに「\uFFFD」と表示されます。ファイル全体を CP932 か UTF-8 で保存してください。"));
        if (!control_.isNull())
            add(FindingKind::ControlCharacter, line_, unit,
                QStringLiteral("制御文字「%1」があります。一覧や端末の表示を乱します。").arg(control_));
        nul_ = invalid_ = false;
        control_ = QChar();
    }

    // ----------------------------------------------------------------------
    // Findings

    // The record an item belongs to; -1 for the count and for items after
    // the last counted record.
    int recordOfItem(long long index) const
    {
        if (index < 1 || index > 5LL * count_)
            return -1;
        return int((index - 1) / 5);
    }

    CheckFinding finding(FindingKind kind, int line, int unit, const QString &message) const
    {
        CheckFinding f;
        f.kind = kind;
        f.file = path_;
        f.line = line;
        f.unit = unit;
        f.message = message;
        return f;
    }

    // A finding about the record being read (or none).
    void add(FindingKind kind, int line, int unit, const QString &message)
    {
        CheckFinding f = finding(kind, line, unit, message);
        if (unit >= 0 && unit == record_)
            f.unitName = nameShown_;
        pending_.push_back(std::move(f));
    }

    // Findings go out in the order of their lines, as far as the record
    // being read allows: those known only at the end come last.
    void emitPending()
    {
        if (pending_.empty())
            return;
        std::stable_sort(pending_.begin(), pending_.end(),
                         [](const CheckFinding &a, const CheckFinding &b) { return a.line < b.line; });
        for (CheckFinding &f : pending_)
            sink_(std::move(f));
        pending_.clear();
    }

    QString path_;
    bool numberBase_;
    const FindingSink &sink_;
    std::vector<CheckFinding> pending_;

    long long itemsRead_ = 0;
    int lastItemUnit_ = -1;  // record of the last item read
    int countLine_ = 0;
    long long declaredCount_ = 0;
    int count_ = 0;  // records the program reads
    int recordsPresent_ = 0;
    bool previousEndedLine_ = true;  // the item before ended its line
    bool extensionInRecordsFound_ = false;

    // The lines after the records.
    bool extension_ = false;  // the current line is one of the extension
    int lineFirst_ = 0;       // where the current line starts
    bool lineHasContent_ = false;
    bool lineOpen_ = false;  // a comma ended the last item read there
    int lineItems_ = 0;      // items after the first of the current line
    int extraLine_ = 0;      // the first line of extra items; 0 when there is none
    std::vector<ExtensionLine> extensionLines_;
    std::vector<QString> names_;  // of the counted records, for the extension lines
    int shiftedAt_ = -1;

    // The record being read.
    int record_ = -1;
    bool recordOpen_ = false;
    UnitRecord unit_;
    std::array<Field, kFieldsPerRecord> fields_;
    QString nameShown_;
    QByteArray nameKey_, visibleKey_;
    QStringList invisibleShown_;
    bool visibleEmpty_ = false;

    // Over all records.
    QHash<QByteArray, int> firstWithName_;
    QHash<QByteArray, int> firstLookingAlike_;
    std::vector<Linear> linear_;
    std::optional<size_t> highest_, lowest_;
    bool radixOrderReported_ = false;

    // Characters.
    qsizetype scanFrom_ = 0;
    int line_ = 1;
    bool nul_ = false, invalid_ = false;
    QChar control_;
    int katakanaLine_ = 0;
    int katakanaUnit_ = -1;
    QString katakanaText_;
};

CheckFinding WholeFileFinding(FindingKind kind, const QString &file, const QString &message)
{
    CheckFinding f;
    f.kind = kind;
    f.file = file;
    f.message = message;
    return f;
}

// What stands at the path when it is not an ordinary file (or a link to
// one), in words; empty for an ordinary file and for nothing at all.
QString NotAFile(const QByteArray &path)
{
    struct stat st;
    if (::stat(path.constData(), &st) == 0) {
        if (S_ISREG(st.st_mode))
            return QString();
        if (S_ISDIR(st.st_mode))
            return QStringLiteral("フォルダー");
        if (S_ISFIFO(st.st_mode))
            return QStringLiteral("名前付きパイプ");
        if (S_ISSOCK(st.st_mode))
            return QStringLiteral("ソケット");
        if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))
            return QStringLiteral("デバイス");
        return QStringLiteral("通常のファイルではないもの");
    }
    const int error = errno;
    if (error == ELOOP)
        return QStringLiteral("循環しているリンク");
    struct stat link;
    if (::lstat(path.constData(), &link) == 0 && S_ISLNK(link.st_mode))
        return QStringLiteral("リンク先のないリンク");
    return QString();
}

// What the program does with it: the series list takes what Qt lists as a
// file (a link to a device, say), which then reads as a series without units.
QString NotAFileMessage(const QString &what, bool listed)
{
    if (listed) {
        return QStringLiteral("%1です。Tovel はこれを系列の一覧に出しますが、系列ファイルとして読めないので、"
                              "単位のない空の系列になります。")
            .arg(what);
    }
    return QStringLiteral("%1です。系列ファイルではないので、Tovel はこれを飛ばします。").arg(what);
}

bool ListedAsSeries(const QString &folder, const QString &fileName)
{
    const std::vector<SeriesEntry> series = BuildSeriesList(folder);
    return std::any_of(series.begin(), series.end(),
                       [&](const SeriesEntry &entry) { return entry.fileName == fileName; });
}

// A file name as text, each byte that is not part of a UTF-8 character
// written as \xHH.
QString NameWithBadBytes(const QByteArray &name)
{
    QString out;
    for (qsizetype i = 0; i < name.size();) {
        const auto b = static_cast<unsigned char>(name[i]);
        const qsizetype length = b < 0x80 ? 1 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC2 ? 2 : 0;
        if (length > 0 && i + length <= name.size()) {
            const QByteArray piece = name.mid(i, length);
            const QString decoded = QString::fromUtf8(piece);
            if (!decoded.contains(QChar(0xFFFD)) && decoded.toUtf8() == piece) {
                out += decoded;
                i += length;
                continue;
            }
        }
        out += QStringLiteral("\\x") + QString::number(b, 16).toUpper().rightJustified(2, u'0');
        ++i;
    }
    return out;
}

// Every "*.dat" of the folder that the series list leaves out or cannot
// load: folders, pipes, devices and broken links under such a name (the
// listing takes ordinary files only), and files whose names are not text
// (the name the program gets does not lead back to the file); and names
// with control characters, which the series list would show. The names of
// the first kinds go into unloadable, so that they are not checked as series
// as well.
void CheckFolderEntries(const QString &folder, const std::vector<SeriesEntry> &series, QSet<QString> &unloadable,
                        const FindingSink &sink)
{
    const QByteArray folderBytes = QFile::encodeName(folder);
    DIR *dir = ::opendir(folderBytes.constData());
    if (!dir)
        return;
    std::vector<QByteArray> names;
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        // The listing's pattern "*.dat", letter case ignored; hidden files
        // are never listed.
        if (name.startsWith('.') || name.size() < 4 || name.right(4).toLower() != ".dat")
            continue;
        names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    QSet<QString> listed;
    for (const SeriesEntry &entry : series)
        listed << entry.fileName;

    for (const QByteArray &name : names) {
        const QString decoded = QFile::decodeName(name);
        if (QFile::encodeName(decoded) != name) {
            unloadable << decoded;
            sink(
                WholeFileFinding(FindingKind::FileNameNotText, QDir(folder).filePath(NameWithBadBytes(name)),
                                 QStringLiteral("ファイル名に文字として読めないバイトがあります。Tovel はこのファイルを"
                                                "開けず、系列は空になります。名前を付け直してください。")));
            continue;
        }
        if (std::any_of(decoded.begin(), decoded.end(), IsEscapedCharacter)) {
            sink(WholeFileFinding(
                FindingKind::ControlCharacter, QDir(folder).filePath(decoded),
                QStringLiteral("ファイル名に制御文字があります。系列の一覧に系列名がそのまま表示されます。"
                               "名前を付け直してください。")));
        }
        const QString what = NotAFile(folderBytes + '/' + name);
        if (!what.isEmpty()) {
            unloadable << decoded;
            sink(WholeFileFinding(FindingKind::NotASeriesFile, QDir(folder).filePath(decoded),
                                  NotAFileMessage(what, listed.contains(decoded))));
        }
    }
}

void CheckFile(const QString &path, const QString &seriesName, const FindingSink &sink)
{
    FileChecker(path, seriesName, sink).run();
}

void CheckFolder(const QString &folder, int &filesChecked, const FindingSink &sink)
{
    QSet<QString> unloadable;
    const std::vector<SeriesEntry> series = BuildSeriesList(folder);
    CheckFolderEntries(folder, series, unloadable, sink);
    if (series.empty()) {
        sink(WholeFileFinding(FindingKind::NoSeriesFiles, folder,
                              QFileInfo(folder).isDir() ? QStringLiteral("系列ファイル (*.dat) がありません。")
                                                        : QStringLiteral("フォルダーがありません。")));
        return;
    }
    for (const SeriesEntry &entry : series) {
        if (unloadable.contains(entry.fileName))
            continue;
        ++filesChecked;
        CheckFile(QDir(folder).filePath(entry.fileName), entry.name, sink);
    }
}

void CheckAll(const QStringList &paths, int &filesChecked, const FindingSink &sink)
{
    for (const QString &path : paths) {
        const QFileInfo info(path);
        const QString what = NotAFile(QFile::encodeName(path));
        if (info.isDir()) {
            CheckFolder(path, filesChecked, sink);
        } else if (!what.isEmpty()) {
            sink(WholeFileFinding(FindingKind::NotASeriesFile, path,
                                  NotAFileMessage(what, ListedAsSeries(info.absolutePath(), info.fileName()))));
        } else if (!info.exists()) {
            sink(WholeFileFinding(FindingKind::FileUnreadable, path,
                                  QStringLiteral("ファイルもフォルダーもありません。")));
        } else {
            ++filesChecked;
            CheckFile(path, SeriesNameOfFile(info.fileName()), sink);
        }
    }
}

FindingSink Collect(std::vector<CheckFinding> &into)
{
    return [&into](CheckFinding &&f) { into.push_back(std::move(f)); };
}

// Exit status when what was found could not be written out.
constexpr int kOutputFailed = 2;

// Whether everything given to out was written; says so on err if not.
bool OutputWritten(QTextStream &out, QTextStream &err)
{
    if (out.status() == QTextStream::Ok)
        return true;
    err << QStringLiteral("tovelcheck: 結果を書き出せませんでした。\n");
    err.flush();
    return false;
}

QString Usage()
{
    return QStringLiteral("使い方: tovelcheck [フォルダーまたはファイル ...]\n"
                          "\n"
                          "Tovel の単位系列ファイル (*.dat) を Tovel と同じ読み方で読み、利用者が驚くような点を\n"
                          "ファイル名、行、単位の番号とともに報告します。フォルダーを指定すると、その中の\n"
                          "*.dat をすべて検査します。何も指定しないと、tovelcheck と同じフォルダーにある\n"
                          "units フォルダーを検査します。\n"
                          "\n"
                          "報告するもの:\n"
                          "  先頭の単位数と実際にある単位の数の食い違い\n"
                          "  文字として読めないバイト、NUL 文字、制御文字\n"
                          "  閉じていない引用符、閉じた引用符の後ろの文字\n"
                          "  大きすぎる数、変換で数の範囲を超える係数とオフセット (オフセットどうしの差も)\n"
                          "  *.dat という名前のフォルダー、パイプ、デバイス、壊れたリンク、文字として読めない名前\n"
                          "  BOM のない UTF-8 で、CP932 の半角カタカナとして読まれてしまうファイル\n"
                          "  数として読めない数値の項目 (0 として読まれます)\n"
                          "  係数 0\n"
                          "  0 と 1 以外のフラグ (1 だけが有効です)\n"
                          "  空の名前、同じ名前の単位\n"
                          "  目に見えない文字 (ゼロ幅スペースなど) だけが違う名前\n"
                          "  \"\" で囲まれていないコンマを含む名前 (以降の項目がずれます)\n"
                          "  進数の系列で、基数が 2, 3, 4 ... の順に並んでいないもの、\n"
                          "  2 から 36 の整数でないもの\n"
                          "  単位の記録の後ろの「#逆数」「#別名」の行: 記録の中に入り込んだもの、\n"
                          "  知られていないキーワード、ない単位の名前、0 以下か数でない逆数の定数、\n"
                          "  二つの単位に付いた別名、進数の系列にあるもの\n"
                          "\n"
                          "ファイルから来た制御文字 (名前、項目、パス) は \\x1B のような形で表示します。\n"
                          "\n"
                          "オプション:\n"
                          "  -h, --help  この説明を表示して終了します\n"
                          "\n"
                          "名前や項目は長くても先頭の %1 文字までを表示し、後ろを「…」で示します。\n"
                          "\n"
                          "終了コード: 何も見つからなければ 0、見つかれば 1、結果を書き出せなければ 2。\n")
        .arg(kShownCharacters);
}

}  // namespace

std::vector<CheckFinding> CheckSeriesFile(const QString &path, const QString &seriesName)
{
    std::vector<CheckFinding> findings;
    CheckFile(path, seriesName, Collect(findings));
    return findings;
}

std::vector<CheckFinding> CheckUnitsFolder(const QString &folder)
{
    std::vector<CheckFinding> findings;
    int files = 0;
    CheckFolder(folder, files, Collect(findings));
    return findings;
}

std::vector<CheckFinding> CheckPaths(const QStringList &paths)
{
    std::vector<CheckFinding> findings;
    int files = 0;
    CheckAll(paths, files, Collect(findings));
    return findings;
}

int RunTovelCheck(const QStringList &arguments, const QString &defaultFolder, QTextStream &out, QTextStream &err)
{
    QStringList paths;
    bool optionsEnded = false;
    for (const QString &arg : arguments) {
        if (!optionsEnded && (arg == QLatin1String("-h") || arg == QLatin1String("--help"))) {
            out << Usage();
            out.flush();
            return OutputWritten(out, err) ? 0 : kOutputFailed;
        }
        if (!optionsEnded && arg == QLatin1String("--")) {
            optionsEnded = true;
        } else if (!optionsEnded && arg.startsWith(QLatin1Char('-')) && arg.size() > 1) {
            err << QStringLiteral("tovelcheck: 不明なオプション %1 (--help で使い方を表示します)\n")
                       .arg(VisibleText(arg));
            err.flush();
            return 1;
        } else {
            paths << arg;
        }
    }
    if (paths.isEmpty())
        paths << defaultFolder;

    // Each finding is printed as soon as it is found.
    int files = 0;
    qint64 found = 0;
    CheckAll(paths, files, [&](CheckFinding &&f) {
        ++found;
        out << f.text() << '\n';
    });
    if (found == 0)
        out << QStringLiteral("問題は見つかりませんでした (%1 ファイル)。\n").arg(files);
    else
        out << QStringLiteral("%1 件の問題が見つかりました (%2 ファイル)。\n").arg(found).arg(files);
    out.flush();
    if (!OutputWritten(out, err))
        return kOutputFailed;
    return found == 0 ? 0 : 1;
}
