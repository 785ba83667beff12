#include "convert/FailureReason.h"

#include "shared/FailureContract.h"

#include <algorithm>
#include <array>
#include <utility>

namespace convert {

using failure_contract::Cause;

namespace {

constexpr std::array<std::pair<Cause, std::string_view>, 15> kReasons{{
    {Cause::NotAudio, "这不是可以识别的音频文件，请确认它是完好的 MP3 或 WAV 文件。"},
    {Cause::Empty, "源文件是空的（0 字节），请重新获取这个文件。"},
    {Cause::Damaged, "源文件已损坏，无法解码，请重新下载或换用其他副本。"},
    {Cause::Unsupported, "不支持这个文件的采样率或声道数，请先把它转成常见格式。"},
    {Cause::NoSource, "找不到源文件，它可能已被移动或删除，请重新添加。"},
    {Cause::Unreadable, "无法读取源文件，请检查文件的权限。"},
    {Cause::NotAFile, "源文件或输出位置不是普通文件（文件夹或特殊文件），请换一个文件或输出路径。"},
    {Cause::NoFolder, "输出文件夹不存在，请重新选择输出路径。"},
    {Cause::ReadOnly, "无法写入输出文件夹（只读或没有权限），请选择其他输出路径。"},
    {Cause::DiskFull, "磁盘空间已满，请腾出空间或选择其他输出路径。"},
    {Cause::NoMemory, "内存不足，请关闭其他程序后重试。"},
    {Cause::SameFile, "输出文件就是源文件本身，请选择其他输出路径。"},
    {Cause::Format, "这个比特率无法用于此文件，请选择其他比特率。"},
    {Cause::Internal, "编码器内部出错，请重试。"},
    {Cause::Changed, "转换时源文件被改动了，请再转换一次。"},
}};
static_assert(kReasons.size() == failure_contract::kCauseWords.size(), "a sentence for every cause word");

// The word in brackets at the end of the line, if any.
std::string_view cause_of(std::string_view line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' '))
        line.remove_suffix(1);
    if (line.empty() || line.back() != ']') return {};
    const auto open = line.rfind('[');
    return open == std::string_view::npos ? std::string_view{} : line.substr(open + 1, line.size() - open - 2);
}

std::string_view reason_of(Cause cause) {
    for (const auto& [known, reason] : kReasons) {
        if (known == cause) return reason;
    }
    return {};
}

// The sentence for the word of a cause, nothing for another word.
std::string_view reason_of(std::string_view word) {
    const auto* found = std::find(failure_contract::kCauseWords.begin(), failure_contract::kCauseWords.end(), word);
    if (found == failure_contract::kCauseWords.end()) return {};
    return reason_of(static_cast<Cause>(found - failure_contract::kCauseWords.begin()));
}

} // namespace

std::string_view failure_reason(const primitives::Text& encoder_line, int exit_code) {
    if (const std::string_view reason = reason_of(cause_of(encoder_line)); !reason.empty()) return reason;
    // An encoder that names no cause: its exit status says which side failed.
    if (exit_code == failure_contract::kInput) return "无法转换这个源文件，请确认它是完好的音频文件。";
    if (exit_code == failure_contract::kOutput) return "无法写入输出文件，请检查输出文件夹的空间和权限。";
    return reason_of(Cause::Internal);
}

std::string_view failure_reason(Cause cause) {
    return reason_of(cause);
}

} // namespace convert
