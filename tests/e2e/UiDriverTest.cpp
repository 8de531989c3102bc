// The driver's own eyes: message boxes shown by this test process are read
// back with their text, caption and icon, so a wrong icon in the program's
// boxes cannot pass unseen.
#include <gtest/gtest.h>
#include <windows.h>

#include <thread>

#include "Dialogs.h"

namespace {

struct IconCase {
    const char* name;
    UINT style;
    uidriver::IconKind icon;
};

const IconCase kIcons[] = {
    {"NoIcon", MB_OK, uidriver::IconKind::None},
    {"Stop", MB_OK | MB_ICONHAND, uidriver::IconKind::Stop},
    {"Information", MB_OK | MB_ICONINFORMATION, uidriver::IconKind::Information},
    {"Exclamation", MB_OK | MB_ICONEXCLAMATION, uidriver::IconKind::Exclamation},
    {"Question", MB_OK | MB_ICONQUESTION, uidriver::IconKind::Question},
};

void PrintTo(const IconCase& c, std::ostream* os) { *os << c.name; }

class UiDriver : public ::testing::TestWithParam<IconCase> {};

TEST_P(UiDriver, ReadsMessageBoxTextCaptionAndIcon) {
    const IconCase& c = GetParam();
    int answer = 0;
    std::thread shower([&] { answer = ::MessageBoxA(nullptr, "Some text.", c.name, c.style); });
    auto box = uidriver::WaitForMessageBox(::GetCurrentProcessId(), 10000);
    if (box) {
        EXPECT_EQ(box->text, "Some text.");
        EXPECT_EQ(box->caption, c.name);
        EXPECT_EQ(uidriver::IconName(box->icon), std::string(uidriver::IconName(c.icon)));
        EXPECT_TRUE(uidriver::AnswerAndWait(box->hwnd, IDOK, 10000));
    } else {
        ADD_FAILURE() << "no message box found";
        for (HWND hwnd : uidriver::MessageBoxes(::GetCurrentProcessId())) ::PostMessageA(hwnd, WM_COMMAND, IDOK, 0);
    }
    shower.join();
    EXPECT_EQ(answer, IDOK);
}

INSTANTIATE_TEST_SUITE_P(Icons, UiDriver, ::testing::ValuesIn(kIcons),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
