#include "convert/ConversionFailure.h"

namespace {

// The whole message of each kind, in UTF-8: the kind's first line, CR LF,
// and the closing line.
const char *MessageOf(FailureKind kind)
{
    switch (kind) {
    case FailureKind::Overflow: return "エラー ： オーバーフロー\r\n処理を中断します。";
    case FailureKind::InvalidInput: return "エラー ： 不正な入力\r\n処理を中断します。";
    case FailureKind::Other: break;
    }
    return "エラー ： 原因不明\r\n処理を中断します。";
}

}  // namespace

const char *ConversionFailure::what() const noexcept
{
    return MessageOf(m_kind);
}

QString FailureMessage(FailureKind kind)
{
    return QString::fromUtf8(MessageOf(kind));
}
