#include "catalogue/check/RecordCheck.h"

#include "catalogue/check/CheckFinding.h"

#include <QCryptographicHash>
#include <cmath>

namespace {

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

}  // namespace

RecordCheck::RecordCheck(bool numberBase, FindingList &findings) : m_numberBase(numberBase), m_findings(findings) {}

void RecordCheck::readCount(const SeriesItemView &item)
{
    m_countLine = item.line;
    const SeriesCount count = ReadSeriesCount(item.value);
    m_declaredCount = count.declared;
    if (!count.read || count.declared < 0) {
        m_findings.add(FindingKind::CountUnreadable, item.line, -1,
                       QStringLiteral("先頭の単位数「%1」が 0 から 32767 までの整数として読めません。"
                                      "系列は空になります。")
                           .arg(ShortenedText(item.value.trimmed())));
    } else if (count.declared == 0) {
        m_findings.add(FindingKind::EmptySeries, item.line, -1,
                       QStringLiteral("単位数が 0 です。系列に単位がありません。"));
    } else {
        m_count = count.count;
    }
}

void RecordCheck::readItem(long long index, const SeriesItemView &item)
{
    const int r = int((index - 1) / 5);
    const int f = int((index - 1) % 5);
    if (f == 0) {
        finishRecord(item.line);
        startRecord(r);
    }
    readField(f, item);
    if (f == kFieldsPerRecord - 1)
        ++m_recordsPresent;
}

void RecordCheck::startRecord(int r)
{
    m_record = r;
    m_findings.setRecord(r);
    m_recordOpen = true;
    m_unit = UnitRecord();
    m_fields = {};
    m_nameShown.clear();
}

void RecordCheck::readField(int f, const SeriesItemView &item)
{
    Field &field = m_fields[size_t(f)];
    field.line = item.line;
    field.quoted = item.raw.startsWith(u'"');
    field.shown = ShortenedText(item.raw.trimmed());
    field.textAfterQuote = item.textAfterQuote;
    if (f == NameField) {
        // The name is kept shortened and as keys, and whole only for the
        // lines that may name the unit after the records.
        m_names.push_back(item.value.toString());
        m_nameShown = ShortenedText(item.value);
        m_findings.setRecordName(m_nameShown);
        m_nameKey = NameKey(item.value);
        readVisibleName(item.value);
    } else {
        field.failed = !ReadRecordField(m_unit, RecordField(f), item.value, &field.issue, &field.tooLarge);
        if (f == FactorField)
            m_factors.push_back(m_unit.Factor);
    }
}

// The name without the characters that show as nothing: its key, and
// which of those characters it holds.
void RecordCheck::readVisibleName(QStringView name)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    m_invisibleShown.clear();
    m_visibleEmpty = true;
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < name.size();) {
        int length = 1;
        const char32_t c = CodePointAt(name, i, &length);
        if (IsInvisibleCharacter(c)) {
            hash.addData(QByteArrayView(reinterpret_cast<const char *>(name.utf16() + runStart), (i - runStart) * 2));
            runStart = i + length;
            const QString shown = CodePointName(c);
            if (m_invisibleShown.size() < 3 && !m_invisibleShown.contains(shown))
                m_invisibleShown << shown;
        } else {
            m_visibleEmpty = false;
        }
        i += length;
    }
    hash.addData(QByteArrayView(reinterpret_cast<const char *>(name.utf16() + runStart), (name.size() - runStart) * 2));
    m_visibleKey = hash.result();
}

// Checks the record read last, once the line of the item after it is
// known (0 when there is none): an unquoted name with a comma shows in
// the items that follow.
void RecordCheck::finishRecord(int nextItemLine)
{
    if (!m_recordOpen)
        return;
    m_recordOpen = false;
    if (m_record < m_recordsPresent && m_shiftedAt < 0) {
        if (isShifted(nextItemLine)) {
            m_shiftedAt = m_record;
            m_findings.add(FindingKind::CommaInName, m_fields[0].line, m_record,
                           QStringLiteral("名前「%1,%2」のコンマで名前が切れ、以降の項目がすべて一つずつずれて"
                                          "読まれます。コンマを含む名前は \"\" で囲んでください。")
                               .arg(m_fields[0].shown, m_fields[1].shown));
        } else {
            checkRecord();
        }
    }
    m_findings.emitPending();
}

// The factor is the rest of the name, which does not read as a number,
// and the name's line holds more items than a record has.
bool RecordCheck::isShifted(int nextItemLine) const
{
    const Field &name = m_fields[0];
    const Field &next = m_fields[1];
    return !name.quoted && !next.quoted && next.line == name.line && nextItemLine == name.line && next.failed;
}

void RecordCheck::checkRecord()
{
    const int r = m_record;
    for (int f = 0; f < kFieldsPerRecord; ++f) {
        const Field &field = m_fields[size_t(f)];
        if (field.textAfterQuote) {
            m_findings.add(FindingKind::TextAfterQuote, field.line, r,
                           QStringLiteral("%1「%2」の閉じた引用符の後ろに文字があります。その文字は読まれません。")
                               .arg(FieldName(f), field.shown));
        }
        if (!field.failed)
            continue;
        if (field.issue == FieldIssue::NotANumber) {
            m_findings.add(
                FindingKind::NotANumber, field.line, r,
                QStringLiteral("%1「%2」が数として読めません。0 として読まれます。").arg(FieldName(f), field.shown));
        } else {
            m_findings.add(FindingKind::OutOfRange, field.line, r, outOfRangeMessage(f, field));
        }
    }
    checkName();
    if (!m_numberBase && m_unit.Factor == 0.0 && !m_fields[1].failed) {
        m_findings.add(FindingKind::ZeroFactor, m_fields[1].line, r,
                       QStringLiteral("係数が 0 です。この単位への変換はエラーになり、"
                                      "この単位からの変換は常に 0 になります。"));
    }
    checkFlag(3, m_unit.SeparatorOK);
    checkFlag(4, m_unit.ExponentOK);
    if (m_numberBase)
        checkRadix();
    else
        checkRange();
}

void RecordCheck::checkName()
{
    const int r = m_record;
    const int line = m_fields[0].line;
    if (m_nameShown.isEmpty()) {
        m_findings.add(FindingKind::EmptyName, line, r, QStringLiteral("名前が空です。"));
        return;
    }
    const auto same = m_firstWithName.constFind(m_nameKey);
    if (same != m_firstWithName.constEnd()) {
        m_findings.add(FindingKind::DuplicateName, line, r,
                       QStringLiteral("単位 %1 と同じ名前です。一覧で見分けられません。").arg(same.value() + 1));
        return;
    }
    m_firstWithName.insert(m_nameKey, r);
    const QString which = m_invisibleShown.join(QStringLiteral(", "));
    if (m_visibleEmpty) {
        m_findings.add(FindingKind::InvisibleCharacters, line, r,
                       QStringLiteral("名前が目に見えない文字 (%1) だけです。一覧では名前が空に見えます。").arg(which));
        return;
    }
    const auto alike = m_firstLookingAlike.constFind(m_visibleKey);
    if (alike != m_firstLookingAlike.constEnd()) {
        m_findings.add(
            FindingKind::InvisibleCharacters, line, r,
            which.isEmpty()
                ? QStringLiteral("単位 %1 とは目に見えない文字のほかは同じ名前です。一覧で見分けられません。")
                      .arg(alike.value() + 1)
                : QStringLiteral("単位 %1 とは目に見えない文字 (%2) のほかは同じ名前です。一覧で見分けられません。")
                      .arg(alike.value() + 1)
                      .arg(which));
        return;
    }
    m_firstLookingAlike.insert(m_visibleKey, r);
}

QString RecordCheck::outOfRangeMessage(int field, const Field &f)
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

void RecordCheck::checkFlag(int field, qint16 value)
{
    if (value == 0 || value == 1 || m_fields[size_t(field)].failed)
        return;
    m_findings.add(FindingKind::BadFlag, m_fields[size_t(field)].line, m_record,
                   QStringLiteral("%1が %2 です。1 だけが有効で、ほかの値はすべて無効として扱われます。"
                                  "0 か 1 にしてください。")
                       .arg(FieldName(field))
                       .arg(value));
}

// Conversions go through the base unit: base = (value - offset) * factor,
// result = base / factor + offset. A unit whose own base value of 1
// overflows fails from itself; the others are kept for checkRanges.
void RecordCheck::checkRange()
{
    if (m_fields[1].failed || m_fields[2].failed || m_unit.Factor == 0.0)
        return;
    const double base = (1.0 - m_unit.Offset) * m_unit.Factor;
    if (!std::isfinite(base)) {
        m_findings.add(FindingKind::ValueOverflow, m_fields[2].line, m_record,
                       QStringLiteral("オフセット %1 と係数 %2 の積が数の範囲 (約 1.8E+308) を超えます。"
                                      "この単位からの変換はエラーになります。")
                           .arg(NumberText(m_unit.Offset), NumberText(m_unit.Factor)));
        return;
    }
    m_linear.push_back({m_record, m_fields[1].line, m_unit.Factor, m_unit.Offset, m_nameShown});
    const size_t added = m_linear.size() - 1;
    if (!m_highest || base > BaseOfOne(m_linear[*m_highest]))
        m_highest = added;
    if (!m_lowest || base < BaseOfOne(m_linear[*m_lowest]))
        m_lowest = added;
}

// Converting 1 from any unit into any other: for a given target the
// result grows with the source's base value, so the sources with the
// highest and the lowest base value are the only ones to try. The first
// target that fails is named.
void RecordCheck::checkRanges()
{
    if (!m_highest)
        return;
    for (const Linear &target : m_linear) {
        for (const size_t s : {*m_highest, *m_lowest}) {
            const Linear &source = m_linear[s];
            if (std::isfinite(BaseOfOne(source) / target.factor + target.offset))
                continue;
            CheckFinding f = m_findings.finding(FindingKind::ValueOverflow, target.line, target.unit, QString());
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
            m_findings.add(std::move(f));
            return;
        }
    }
}

// Radices must be 2, 3, 4 ... in this order: the value box's filter finds
// a radix's digits by its position in the list.
void RecordCheck::checkRadix()
{
    if (m_fields[1].failed)
        return;
    const double f = m_unit.Factor;
    const int line = m_fields[1].line;
    if (!std::isfinite(f) || f != std::floor(f)) {
        m_findings.add(FindingKind::RadixNotWhole, line, m_record,
                       QStringLiteral("基数 %1 が整数ではありません。").arg(NumberText(f)));
    } else if (f < 2 || f > 36) {
        m_findings.add(FindingKind::RadixOutOfRange, line, m_record,
                       QStringLiteral("基数 %1 が 2 から 36 の範囲にありません。").arg(NumberText(f)));
    } else if (f != m_record + 2 && !m_radixOrderReported) {
        m_radixOrderReported = true;
        m_findings.add(FindingKind::RadixOrder, line, m_record,
                       QStringLiteral("基数 %1 の位置には基数 %2 が来るはずです。"
                                      "基数は 2 から順に欠けなく並べてください。")
                           .arg(NumberText(f))
                           .arg(m_record + 2));
    }
}

void RecordCheck::finish()
{
    if (m_recordsPresent < m_declaredCount) {
        m_findings.add(FindingKind::CountTooLarge, m_countLine, -1,
                       QStringLiteral("単位数は %1 ですが、単位は %2 個しかありません。"
                                      "足りない分は名前のない単位になります。")
                           .arg(m_declaredCount)
                           .arg(m_recordsPresent));
    }
    if (!m_numberBase)
        checkRanges();
}

// The record an item belongs to; -1 for the count and for items after
// the last counted record.
int RecordCheck::recordOfItem(long long index) const
{
    if (index < 1 || index > 5LL * m_count)
        return -1;
    return int((index - 1) / 5);
}
