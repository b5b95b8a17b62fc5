#include "convert/QueryResolve.h"

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace {

bool LooksLikeValue(const QString &arg)
{
    return arg.size() > 1 && arg.startsWith(u'-') && (arg.at(1).isDigit() || arg.at(1) == u'.');
}

StartRequest Refused(const QString &message)
{
    StartRequest request;
    request.error = message;
    return request;
}

}  // namespace

StartRequest ParseStartArguments(const QStringList &arguments)
{
    StartRequest request;
    bool optionsEnded = false;
    std::optional<QString> find;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString arg = arguments[i];
        if (optionsEnded || !arg.startsWith(u'-') || LooksLikeValue(arg)) {
            request.words << arg;
            continue;
        }
        if (arg == u"--"_s) {
            optionsEnded = true;
            continue;
        }
        // "--name=value" and "--name value" alike.
        std::optional<QString> value;
        if (arg.startsWith(u"--"_s) && arg.contains(u'=')) {
            value = arg.mid(arg.indexOf(u'=') + 1);
            arg.truncate(arg.indexOf(u'='));
        }
        if (arg != u"--series"_s && arg != u"--find"_s)
            return Refused(u"不明なオプション %1"_s.arg(arg));
        if (!value) {
            if (i + 1 >= arguments.size())
                return Refused(u"オプション %1 に値がありません。"_s.arg(arg));
            value = arguments[++i];
        }
        if (arg == u"--series"_s)
            request.series = *value;
        else
            find = *value;
    }
    if (find) {
        if (!request.words.isEmpty() || !request.series.isEmpty())
            return Refused(u"--find は値や単位と一緒には使えません。"_s);
        request.kind = StartRequest::Kind::Find;
        request.find = *find;
        return request;
    }
    if (request.words.isEmpty()) {
        if (!request.series.isEmpty())
            return Refused(u"値と変換元の単位を指定してください。"_s);
        return request;
    }
    request.kind = StartRequest::Kind::Convert;
    return request;
}
