// Run-time errors and checked 16-bit arithmetic.
#include "RuntimeError.h"

#include <limits>

namespace quorvane::platform {

QString errorDescription(int number) {
    switch (number) {
    case kErrInvalidProcedureCall:
        return QStringLiteral("プロシージャの呼び出し、または引数が不正です。");
    case kErrOverflow:
        return QStringLiteral("オーバーフローしました。");
    case kErrOutOfMemory:
        return QStringLiteral("メモリが不足しています。");
    case kErrInternal:
        return QStringLiteral("内部エラーです。");
    case kErrFileNotFound:
        return QStringLiteral("ファイルが見つかりません。");
    case kErrPathNotFound:
        return QStringLiteral("パスが見つかりません。");
    case kErrCancel:
        return QStringLiteral("キャンセルが選択されました。");
    default:
        return QStringLiteral("アプリケーション定義またはオブジェクト定義のエラーです。");
    }
}

RuntimeError::RuntimeError(int number) : RuntimeError(number, errorDescription(number)) {}

RuntimeError::RuntimeError(int number, QString description)
    : Number(number), Description(std::move(description)),
      m_what(std::to_string(number) + ": " + Description.toStdString()) {}

std::int16_t CInt(std::int64_t value) {
    if (value < std::numeric_limits<std::int16_t>::min() ||
        value > std::numeric_limits<std::int16_t>::max())
        throw RuntimeError(kErrOverflow);
    return static_cast<std::int16_t>(value);
}

} // namespace quorvane::platform
