#include "convert/command/BatchConv.h"

#include "catalogue/UnitFile.h"
#include "catalogue/VisibleText.h"
#include "convert/ConversionFailure.h"
#include "catalogue/NameIndex.h"
#include "convert/NumberText.h"
#include "convert/WordsQuery.h"

#include <QFile>
#include <QStringList>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string_view>
#include <unistd.h>
#include <utility>

using namespace Qt::Literals::StringLiterals;

namespace {

// Output is written in pieces of about this size; input read in them.
constexpr std::size_t kChunk = 64 * 1024;

// Appends text as a terminal may show it: printable ASCII as it is, anything
// else through VisibleText (control characters escaped) as UTF-8.
void AppendShown(std::string *out, const QString &text)
{
    const auto *chars = reinterpret_cast<const char16_t *>(text.constData());
    const std::size_t size = std::size_t(text.size());
    if (std::all_of(chars, chars + size, [](char16_t c) { return c >= 0x20 && c < 0x7f; })) {
        const std::size_t at = out->size();
        out->resize(at + size);
        std::transform(chars, chars + size, out->begin() + std::ptrdiff_t(at), [](char16_t c) { return char(c); });
        return;
    }
    const QByteArray bytes = VisibleText(text).toUtf8();
    out->append(bytes.constData(), std::size_t(bytes.size()));
}

std::string ShownBytes(const QString &text)
{
    std::string bytes;
    AppendShown(&bytes, text);
    return bytes;
}

// The message of a failed conversion, as a single conversion words it.
QString ConversionMessage(FailureKind kind, const QString &from, const QString &to)
{
    return u"%1 (%2 から %3 へ)"_s.arg(FailureMessage(kind).section(u"\r\n"_s, 0, 0), VisibleText(from),
                                       VisibleText(to));
}

// A buffered output on a file descriptor. After a failed write it keeps the
// error and writes nothing more.
class Output {
public:
    explicit Output(int fd) : m_fd(fd) { m_buffer.reserve(kChunk + 4096); }

    std::string &buffer() { return m_buffer; }
    int error() const { return m_error; }

    bool flush()
    {
        std::size_t done = 0;
        while (m_error == 0 && done < m_buffer.size()) {
            const ssize_t written = ::write(m_fd, m_buffer.data() + done, m_buffer.size() - done);
            if (written >= 0)
                done += std::size_t(written);
            else if (errno != EINTR)
                m_error = errno;
        }
        m_buffer.clear();
        return m_error == 0;
    }

private:
    int m_fd;
    std::string m_buffer;
    int m_error = 0;
};

// Lines of a file descriptor, read in chunks. A line is valid until the next
// call; its memory is the longest line's, not the input's.
class LineReader {
public:
    explicit LineReader(int fd) : m_fd(fd), m_buffer(kChunk) {}

    int error() const { return m_error; }

    // The next line without its end, and its end ("\n", "\r\n", or "" for a
    // last line without one); false at the end of the input or on an error.
    // Before it would wait for input it calls beforeWaiting.
    template<class Wait>
    bool next(std::string_view *text, std::string_view *end, Wait &&beforeWaiting)
    {
        for (;;) {
            const char *base = m_buffer.data();
            if (const void *found = std::memchr(base + m_scanned, '\n', m_end - m_scanned)) {
                const std::size_t at = std::size_t(static_cast<const char *>(found) - base);
                std::size_t stop = at;
                *end = "\n";
                if (stop > m_begin && base[stop - 1] == '\r') {
                    --stop;
                    *end = "\r\n";
                }
                *text = std::string_view(base + m_begin, stop - m_begin);
                m_begin = m_scanned = at + 1;
                return true;
            }
            m_scanned = m_end;
            if (m_atEnd) {
                if (m_begin == m_end)
                    return false;
                std::size_t stop = m_end;
                *end = "";
                if (base[stop - 1] == '\r') {
                    --stop;
                    *end = "\r";
                }
                *text = std::string_view(base + m_begin, stop - m_begin);
                m_begin = m_scanned = m_end;
                return true;
            }
            fill(beforeWaiting);
        }
    }

private:
    template<class Wait>
    void fill(Wait &&beforeWaiting)
    {
        if (m_begin > 0) {
            std::memmove(m_buffer.data(), m_buffer.data() + m_begin, m_end - m_begin);
            m_end -= m_begin;
            m_scanned -= m_begin;
            m_begin = 0;
        }
        if (m_end == m_buffer.size())
            m_buffer.resize(m_buffer.size() * 2);
        pollfd ready{m_fd, POLLIN, 0};
        if (::poll(&ready, 1, 0) == 0)
            beforeWaiting();
        for (;;) {
            const ssize_t got = ::read(m_fd, m_buffer.data() + m_end, m_buffer.size() - m_end);
            if (got > 0) {
                m_end += std::size_t(got);
                return;
            }
            if (got == 0) {
                m_atEnd = true;
                return;
            }
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                pollfd wait{m_fd, POLLIN, 0};
                ::poll(&wait, 1, -1);
                continue;
            }
            m_error = errno;
            m_atEnd = true;
            return;
        }
    }

    int m_fd;
    std::vector<char> m_buffer;
    std::size_t m_begin = 0;    // where the next line starts
    std::size_t m_end = 0;      // the end of what was read
    std::size_t m_scanned = 0;  // searched for a line end up to here
    bool m_atEnd = false;
    int m_error = 0;
};

// The line without blanks around it: spaces, tabs, ideographic spaces.
std::string_view TrimmedBytes(std::string_view text)
{
    constexpr std::string_view ideographicSpace = "\xE3\x80\x80";
    for (;;) {
        if (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
            text.remove_prefix(1);
        else if (text.starts_with(ideographicSpace))
            text.remove_prefix(ideographicSpace.size());
        else
            break;
    }
    for (;;) {
        if (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
            text.remove_suffix(1);
        else if (text.ends_with(ideographicSpace))
            text.remove_suffix(ideographicSpace.size());
        else
            break;
    }
    return text;
}

// Decodes UTF-8 into text, reusing its memory for ASCII.
void DecodeInto(QString *text, std::string_view bytes)
{
    if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        text->resize(qsizetype(bytes.size()));
        std::copy(bytes.begin(), bytes.end(), reinterpret_cast<char16_t *>(text->data()));
    } else {
        *text = QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
    }
}

bool IsBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\u3000';
}

// The words of a query line, separated by blanks. A word that starts with a
// quote (' or ") runs to the same quote and may hold blanks ("imp gal");
// false for a quote left open.
bool SplitQuery(const QString &line, QStringList *words)
{
    qsizetype i = 0;
    const qsizetype size = line.size();
    while (i < size) {
        if (IsBlank(line[i])) {
            ++i;
            continue;
        }
        const QChar quote = line[i];
        if (quote == u'\'' || quote == u'"') {
            const qsizetype close = line.indexOf(quote, i + 1);
            if (close < 0)
                return false;
            *words << line.mid(i + 1, close - i - 1);
            i = close + 1;
            continue;
        }
        qsizetype stop = i;
        while (stop < size && !IsBlank(line[stop]))
            ++stop;
        *words << line.mid(i, stop - i);
        i = stop;
    }
    return true;
}

// Runs answer on every line that is not blank and writes the lines out; the
// exit status. answer appends its answer to the output and returns the
// message of a line that failed.
template<class Answer>
int RunLines(int inFd, const QString &inputName, const BatchStreams &streams, Answer &&answer)
{
    Output out(streams.out);
    Output err(streams.err);
    LineReader reader(inFd);
    const auto flush = [&] {
        err.flush();
        out.flush();
    };
    bool failed = false;
    long long number = 0;
    std::string_view text;
    std::string_view end;
    while (out.error() == 0 && reader.next(&text, &end, flush)) {
        ++number;
        text = TrimmedBytes(text);
        if (!text.empty()) {
            const QString message = answer(text, &out.buffer());
            if (!message.isEmpty()) {
                failed = true;
                const QByteArray line = u"tovelconv: %1 行目: %2\n"_s.arg(number).arg(message).toUtf8();
                err.buffer().append(line.constData(), std::size_t(line.size()));
            }
        }
        out.buffer().append(end);
        if (out.buffer().size() >= kChunk || err.buffer().size() >= kChunk)
            flush();
    }
    flush();
    const auto report = [&](const QString &message) {
        const QByteArray line = (u"tovelconv: "_s + message + u'\n').toUtf8();
        err.buffer().append(line.constData(), std::size_t(line.size()));
        err.flush();
    };
    // A reader that went away wants no more output and no complaint.
    if (out.error() == EPIPE)
        return 1;
    if (out.error() != 0) {
        report(u"標準出力に書き込めません: %1"_s.arg(QString::fromLocal8Bit(std::strerror(out.error()))));
        return 1;
    }
    if (reader.error() != 0) {
        report(u"%1を読み込めません: %2"_s.arg(inputName, QString::fromLocal8Bit(std::strerror(reader.error()))));
        return 1;
    }
    return failed ? 1 : 0;
}

}  // namespace

BatchConverter::BatchConverter(BatchSetup setup) : m_setup(std::move(setup)) {}

QString BatchConverter::checkPair(const QString &from, const QString &to)
{
    return pairFor(from, to).message;
}

const BatchConverter::Pair &BatchConverter::pairFor(const QString &from, const QString &to)
{
    if (m_last.units || !m_last.message.isEmpty()) {
        const auto same = [](const QString &a, const QString &b) { return a.constData() == b.constData() || a == b; };
        if (same(m_last.from, from) && same(m_last.to, to))
            return m_last;
    }
    m_last = Pair{};
    m_last.from = from;
    m_last.to = to;
    resolve(&m_last);
    return m_last;
}

const UnitArray &BatchConverter::loaded(const SeriesEntry &entry)
{
    auto it = m_loaded.find(entry.fileName);
    if (it == m_loaded.end()) {
        UnitArray units;
        LoadUnitFile(m_setup.unitsDirectory + entry.fileName, units);
        it = m_loaded.emplace(entry.fileName, std::move(units)).first;
    }
    return it->second;
}

const std::vector<std::string> &BatchConverter::shownNames(const UnitArray &units)
{
    std::vector<std::string> &names = m_shownNames[&units];
    if (names.empty())
        for (const UnitRecord &unit : units)
            names.push_back(ShownBytes(unit.UnitName));
    return names;
}

void BatchConverter::resolve(Pair *pair)
{
    pair->fromShown = ShownBytes(pair->from);
    pair->toShown = ShownBytes(pair->to);
    const NameIndex &index = *m_setup.index;
    const QString &from = pair->from;
    int chosen = -1;
    if (!m_setup.series.isEmpty()) {
        chosen = index.seriesCalled(m_setup.series);
        if (chosen < 0) {
            pair->message = u"単位系「%1」が見つかりません。"_s.arg(VisibleText(m_setup.series));
            return;
        }
    }
    std::vector<int> holding = index.lookUp(from, chosen);
    // A source found in several series is settled by the target, when only
    // one of them holds it.
    if (holding.size() > 1 && !pair->to.isEmpty()) {
        std::vector<int> settled;
        for (const int unit : holding)
            if (!index.lookUp(pair->to, index.unit(unit).series).empty())
                settled.push_back(unit);
        if (!settled.empty())
            holding = settled;
    }
    if (holding.size() > 1) {
        QStringList names;
        for (const int unit : holding)
            names << u"「%1」"_s.arg(VisibleText(index.series(index.unit(unit).series).name));
        pair->message = u"単位「%1」は複数の単位系 %2 にあります。--series で単位系を選んでください。"_s.arg(
            VisibleText(from), names.join(u"、"_s));
        return;
    }
    const SeriesEntry *series = nullptr;
    if (!holding.empty())
        series = &index.series(index.unit(holding.front()).series);
    else if (chosen >= 0)
        series = &index.series(chosen);
    const UnitArray *units = !holding.empty() ? &loaded(*series) : nullptr;
    const int source = units ? FindUnitByName(*units, from) : -1;
    if (source < 0) {
        pair->message = series && !m_setup.series.isEmpty()
            ? u"単位「%1」は単位系「%2」にありません。"_s.arg(VisibleText(from), VisibleText(series->name))
            : u"単位「%1」が見つかりません。"_s.arg(VisibleText(from));
        return;
    }
    int target = -1;
    if (!pair->to.isEmpty()) {
        const QString &to = pair->to;
        target = FindUnitByName(*units, to);
        if (target < 0) {
            pair->message = u"単位「%1」は単位系「%2」にありません。"_s.arg(VisibleText(to), VisibleText(series->name));
            return;
        }
        pair->toShown = ShownBytes((*units)[std::size_t(target)].UnitName);
    }
    pair->fromShown = ShownBytes((*units)[std::size_t(source)].UnitName);
    pair->units = units;
    pair->numberBase = series->numberBase;
    pair->source = source;
    pair->target = target;
}

void BatchConverter::appendAnswer(std::string *out, const QString &shownSource, const std::string &fromShown,
                                  std::string_view result, const std::string &toShown) const
{
    switch (m_setup.form) {
    case AnswerForm::Terse: *out += result; return;
    case AnswerForm::ResultLine:
        AppendShown(out, shownSource);
        *out += " (";
        *out += fromShown;
        *out += ") => ";
        *out += result;
        *out += " (";
        *out += toShown;
        *out += ')';
        return;
    case AnswerForm::Usual: break;
    }
    AppendShown(out, shownSource);
    *out += ' ';
    *out += fromShown;
    *out += " = ";
    *out += result;
    if (!toShown.empty()) {
        *out += ' ';
        *out += toShown;
    }
}

QString BatchConverter::convert(const QString &value, const QString &from, const QString &to, std::string *out)
{
    const Pair &pair = pairFor(from, to);
    if (!pair.message.isEmpty()) {
        appendAnswer(out, value, pair.fromShown, {}, pair.toShown);
        return pair.message;
    }
    return answer(*pair.units, pair.source, pair.target, pair.numberBase, value, pair.fromShown, pair.toShown, out);
}

QString BatchConverter::convertWords(const QStringList &words, std::string *out)
{
    if (!m_names)
        m_names.emplace(*m_setup.index);
    const auto unitsOf = [this](int series) -> const UnitArray & { return loaded(m_setup.index->series(series)); };
    WordsQuery query;
    try {
        query = ResolveWords(words, *m_names, m_setup.series, unitsOf);
    } catch (const ValueFailure &failure) {
        // Words of the usual shape are answered with an empty result.
        if (words.size() == 2 || words.size() == 3)
            appendAnswer(out, words[0], ShownBytes(words[1]), {},
                         words.size() == 3 ? ShownBytes(words[2]) : std::string());
        return VisibleText(failure.message());
    }
    const UnitArray &units = loaded(m_setup.index->series(query.series));
    const std::vector<std::string> &names = shownNames(units);
    const std::string &fromShown = names[std::size_t(query.source)];
    const std::string toShown = query.target >= 0 ? names[std::size_t(query.target)] : std::string();
    return answer(units, query.source, query.target, query.numberBase, query.value, fromShown, toShown, out,
                  query.value == query.shown ? nullptr : &query.shown);
}

QString BatchConverter::answer(const UnitArray &units, int source, int target, bool numberBase, const QString &value,
                               const std::string &fromShown, const std::string &toShown, std::string *out,
                               const QString *typed)
{
    ConversionRequest request{value, source, target, numberBase, m_setup.style, m_setup.placeNum, m_setup.sigDigits};
    // A value other than a plain number goes through the value parser; a
    // plain one converts as it always has, with no reading before it.
    QString read;
    const auto readValue = [&]() -> QString {
        try {
            read = ExactNumberText(ReadValue(value));
        } catch (const ValueFailure &failure) {
            appendAnswer(out, value, fromShown, {}, toShown);
            return VisibleText(failure.message());
        }
        request.typedText = read;
        typed = &value;
        return QString();
    };
    const QString &fromName = units[std::size_t(source)].UnitName;
    if (target >= 0) {
        m_result.clear();
        if (AppendLinearResultText(request, units, &m_result)) {
            appendAnswer(out, typed ? *typed : value, fromShown, m_result, toShown);
            return QString();
        }
        ConversionOutcome outcome = ConvertRequest(request, units);
        if (outcome.failed && outcome.failure == FailureKind::InvalidInput && !numberBase && !typed) {
            if (QString message = readValue(); !message.isEmpty())
                return message;
            outcome = ConvertRequest(request, units);
        }
        if (outcome.failed) {
            appendAnswer(out, typed ? *typed : value, fromShown, {}, toShown);
            return ConversionMessage(outcome.failure, fromName, units[std::size_t(target)].UnitName);
        }
        appendAnswer(out, typed ? *typed : outcome.shownSource, fromShown, ShownBytes(outcome.resultText), toShown);
        return QString();
    }
    if (!numberBase && !typed && !IsNumberText(value))
        if (QString message = readValue(); !message.isEmpty())
            return message;
    // Into every unit, the answers on one line; the first failure fails it.
    const std::vector<std::string> &names = shownNames(units);
    const std::size_t start = out->size();
    for (std::size_t i = 0; i < units.size(); ++i) {
        request.targetPos = int(i);
        if (i > 0)
            *out += '\t';
        m_result.clear();
        if (AppendLinearResultText(request, units, &m_result)) {
            appendAnswer(out, typed ? *typed : value, fromShown, m_result, names[i]);
            continue;
        }
        const ConversionOutcome outcome = ConvertRequest(request, units);
        if (outcome.failed) {
            out->resize(start);
            appendAnswer(out, typed ? *typed : value, fromShown, {}, std::string());
            return ConversionMessage(outcome.failure, fromName, units[i].UnitName);
        }
        appendAnswer(out, typed ? *typed : outcome.shownSource, fromShown, ShownBytes(outcome.resultText), names[i]);
    }
    return QString();
}

int RunValueBatch(BatchConverter &converter, const QString &from, const QString &to, const BatchStreams &streams)
{
    QString value;
    value.reserve(64);
    return RunLines(streams.in, u"標準入力"_s, streams, [&](std::string_view text, std::string *out) {
        DecodeInto(&value, text);
        return converter.convert(value, from, to, out);
    });
}

int RunQueryBatch(BatchConverter &converter, const QString &path, const BatchStreams &streams)
{
    int fd = streams.in;
    QString inputName = u"標準入力"_s;
    if (path != u"-"_s) {
        inputName = u"「%1」"_s.arg(VisibleText(path));
        fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            const QByteArray line = u"tovelconv: %1を開けません: %2\n"_s
                                        .arg(inputName, QString::fromLocal8Bit(std::strerror(errno)))
                                        .toUtf8();
            Output err(streams.err);
            err.buffer().append(line.constData(), std::size_t(line.size()));
            err.flush();
            return 1;
        }
    }
    const int status = RunLines(fd, inputName, streams, [&](std::string_view text, std::string *out) -> QString {
        QString line = QString::fromUtf8(text.data(), qsizetype(text.size()));
        // "--" before a negative value, as on the command line.
        if (line.startsWith(u"--"_s) && line.size() > 2 && IsBlank(line[2]))
            line.remove(0, 3);
        QStringList words;
        if (!SplitQuery(line, &words)) {
            // An open quote may be a foot or inch mark: 5'11" cm.
            std::string answer;
            const QString message = converter.convertWords({line}, &answer);
            if (!message.isEmpty())
                return u"引用符が閉じていません。"_s;
            *out += answer;
            return QString();
        }
        return converter.convertWords(words, out);
    });
    if (fd != streams.in)
        ::close(fd);
    return status;
}
