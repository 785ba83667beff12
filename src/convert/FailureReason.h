#pragma once

#include "primitives/Text.h"
#include "shared/FailureContract.h"

#include <string_view>

namespace convert {

// What a failed row tells the user first, in one Chinese sentence (UTF-8): what went
// wrong and what to do. From the word in brackets that ends the encoder's failure line
// (its exit status alone says only whether the source or the output was at fault).
std::string_view failure_reason(const primitives::Text& encoder_line, int exit_code);
// The same sentence for a failure the run finds itself, by its cause.
std::string_view failure_reason(failure_contract::Cause cause);

// Failures the run meets without a line from the encoder.
inline constexpr std::string_view kReasonStopped = "编码器被系统中止（可能是内存不足），请关闭其他程序后重试。";
inline constexpr std::string_view kReasonNotStarted =
    "无法写入或启动编码器，请检查临时文件夹（如 /tmp）的空间和权限后重试。";
inline constexpr std::string_view kReasonNoOutput = "编码器没有生成输出文件，请检查输出文件夹后重试。";

} // namespace convert
