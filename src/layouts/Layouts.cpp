#include "layouts/LayoutRecords.h"

namespace layouts {

namespace {

using K = ControlKind;

constexpr ComboItem kBitRates[] = {
    {"CD品质(128Kbps)", 128}, {"次CD品质(112Kbps)", 112}, {"FM广播品质(96Kbps)", 96},
    {"磁带品质(64Kbps)", 64}, {"AM广播品质(32Kbps)", 32}, {"电话品质(16Kbps)", 16},
};

constexpr ComboItem kChannels[] = {{"立体声", 0}, {"单身道", 0}};

constexpr ColumnRecord kTrackColumns[] = {
    {"文件名", 150}, {"大小", 80}, {"压缩率", 80}, {"标题", 100}, {"专辑　", 100}, {"艺术家", 50},
};

constexpr ControlRecord kMainControls[] = {
    {"进度条1", K::ProgressBar, "", 48, 109, 459, 16, true, false, "", {}, {}, "转换进度"},
    {"超级按钮_取消", K::SuperButton, "", 381, 156, 56, 16, false, true, "取消"},
    {"标签1", K::Label, "", 3, 109, 39, 16, true, false, "", {}, {}, "完成百分比"},
    {"通用对话框1", K::FileDialog, "", 463, 73, 40, 32, false, false, "MP3文件|*.mp3"},
    {"分组框2", K::GroupBox, "", 316, 2, 193, 107, true, false, "输出参数"},
    {"按钮1", K::Button, "分组框2", 4, 70, 32, 32, true, true, "输出路径", {}, {}, "输出路径"},
    {"组合框2", K::ComboBox, "分组框2", 3, 44, 186, 20, true, true, "", kChannels, {}, "声道"},
    {"组合框1", K::ComboBox, "分组框2", 4, 15, 185, 20, true, true, "", kBitRates, {}, "比特率"},
    {"编辑框1", K::EditBox, "分组框2", 42, 69, 145, 30, true, false, "", {}, {}, "输出文件夹"},
    {"超级列表框1", K::ListView, "", 1, 1, 311, 106, true, true, "", {}, kTrackColumns, "文件列表"},
};

using C = Command;
constexpr MenuRecord kMainMenu[] = {
    {0, "文件(&F)", KeyNumber::None},
    {1, "添加项目(&N)", ctrl_key('N'), C::AddItem},
    {1, "批量添加(&M)", ctrl_key('M'), C::BatchAdd},
    {1, "删除项目(&D)", ctrl_key('D'), C::DeleteItem},
    {1, "全部清除(&C)", ctrl_key('C'), C::ClearAll},
    {1, "-", KeyNumber::None},
    {1, "退出(&Q)", KeyNumber::None, C::Quit},
    {0, "选项(&E)", KeyNumber::None},
    {1, "比特率(&W)", KeyNumber::None},
    {2, "CD品质(128Kbps)(&F1)", function_key(1), C::BitRate128},
    {2, "次CD品质(112Kbps)(&F2)", function_key(2), C::BitRate112},
    {2, "FM广播品质(96Kbps)(&F3)", function_key(3), C::BitRate96},
    {2, "磁带品质(64Kbps)(&F4)", function_key(4), C::BitRate64},
    {2, "AM广播品质(32Kbps)(&F5)", function_key(5), C::BitRate32},
    {2, "电话品质(16Kbps)(&F6)", function_key(6), C::BitRate16},
    {1, "声道(&R)", KeyNumber::None},
    {2, "立体声(&F7)", function_key(7), C::Stereo},
    {2, "单身道(&F8)", function_key(8), C::Mono},
    {1, "输出路径(&F10)", function_key(10), C::OutputFolder},
    {0, "转换(&V)", KeyNumber::None},
    {1, "开始转换(&F5)", function_key(5), C::StartConversion},
    {0, "帮助(&H)", KeyNumber::None},
    {1, "说明(&P)", KeyNumber::None, C::Help},
    {1, "关于(&A)", KeyNumber::None, C::About},
};

constexpr ControlRecord kAboutControls[] = {
    {"按钮1", K::Button, "", 316, 150, 73, 26, true, true, "确定"},
    {"图片框1", K::PictureBox, "", 0, 0, 576, 152, true, false, ""},
    // The layout gives this label no place; it sits on the picture's lower strip.
    {"标签1", K::Label, "", 12, 154, 290, 20, true, false, ""},
};

constexpr WindowRecord kMain{"Tunvask", "Tunvask", 515, 179, 509, 127, true, true, false, kMainControls, kMainMenu};
constexpr WindowRecord kAbout{"关于", "关于", 406, 214, 400, 186, false, false, true, kAboutControls};

} // namespace

const WindowRecord& main_layout() {
    return kMain;
}
const WindowRecord& about_layout() {
    return kAbout;
}

} // namespace layouts
