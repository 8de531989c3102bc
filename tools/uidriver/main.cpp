// uidriver.exe: a few commands that drive a running MARROWFIN.exe from a
// shell script (run it with wine). Each command finds the program's main
// dialog by its caption (and, for the dialogs it opens, theirs too), does one
// thing and exits: 0 done, 1 failed or timed out, 2 bad usage. Times are in
// milliseconds.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "Controls.h"
#include "Dialogs.h"
#include "Poll.h"
#include "Process.h"
#include "Screen.h"
#include "WineSettings.h"

namespace {

using namespace uidriver;

const char kUsage[] =
    "usage: uidriver COMMAND [ARGS]\n"
    "  wait-window MS             wait for the \"MARROWFIN\" dialog\n"
    "  text ID | lines ID         print a control's text (lines: one per line)\n"
    "  items ID                   print a combo box's items\n"
    "  enabled ID                 print 1 or 0\n"
    "  progress ID                print a progress bar's position\n"
    "  click ID                   press a button (fails if disabled)\n"
    "  choose ID INDEX            choose a drop-down item (CBN_SELENDOK)\n"
    "  dropdown ID 1|0            open or close a drop-down list\n"
    "  wait-log ID TEXT MS        wait for a line equal to TEXT in an edit control\n"
    "  wait-progress ID MIN MAX MS  wait for a position in [MIN, MAX]\n"
    "  wait-enabled ID MS         wait for a control to become enabled\n"
    "  msgbox MS                  print caption, text and icon of a message box\n"
    "  answer ID MS               press a button of the message box and wait\n"
    "  wait-dialog CAPTION MS     wait for another dialog of the program\n"
    "  click-in CAPTION ID        press a button of that dialog\n"
    "  close MS                   press Close and wait for the program to end\n"
    "  screenshot FILE.bmp        save the whole screen\n"
    "  set-version EXE VERSION    Wine's Windows version for EXE (e.g. win98)\n";

HWND MainWindow() { return FindDialogByCaption(kMainCaption); }

DWORD Ms(const char* text) { return static_cast<DWORD>(std::strtoul(text, nullptr, 10)); }
int Id(const char* text) { return static_cast<int>(std::strtol(text, nullptr, 0)); }

DWORD ProcessOf(HWND hwnd) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    return pid;
}

int Fail(const char* what) {
    std::fprintf(stderr, "uidriver: %s\n", what);
    return 1;
}

int Run(int argc, char** argv) {
    if (argc < 2) return 2;
    const std::string cmd = argv[1];
    auto need = [&](int n) { return argc >= n + 2; };

    if (cmd == "set-version" && need(2))
        return SetAppWindowsVersion(argv[2], argv[3]) ? 0 : Fail("cannot write the registry");
    if (cmd == "screenshot" && need(1)) return SaveScreenshot(argv[2]) ? 0 : Fail("cannot save the screenshot");
    if (cmd == "wait-window" && need(1))
        return WaitUntil([] { return MainWindow() != nullptr; }, Ms(argv[2])) ? 0 : Fail("no MARROWFIN window");

    HWND main = MainWindow();
    if (main == nullptr) return Fail("no MARROWFIN window");

    if (cmd == "text" && need(1)) {
        std::printf("%s\n", ControlText(main, Id(argv[2])).c_str());
        return 0;
    }
    if (cmd == "lines" && need(1)) {
        for (const auto& line : ControlLines(main, Id(argv[2]))) std::printf("%s\n", line.c_str());
        return 0;
    }
    if (cmd == "items" && need(1)) {
        for (const auto& item : ComboItems(main, Id(argv[2]))) std::printf("%s\n", item.c_str());
        return 0;
    }
    if (cmd == "enabled" && need(1)) {
        std::printf("%d\n", IsControlEnabled(main, Id(argv[2])) ? 1 : 0);
        return 0;
    }
    if (cmd == "progress" && need(1)) {
        std::printf("%d\n", ProgressPosition(main, Id(argv[2])));
        return 0;
    }
    if (cmd == "click" && need(1)) return Click(main, Id(argv[2])) ? 0 : Fail("the button cannot be pressed");
    if (cmd == "choose" && need(2))
        return ChooseComboItem(main, Id(argv[2]), Id(argv[3])) ? 0 : Fail("no such item");
    if (cmd == "dropdown" && need(2))
        return ShowDropDown(main, Id(argv[2]), Id(argv[3]) != 0) ? 0 : Fail("no drop-down list");
    if (cmd == "wait-log" && need(3)) {
        const int id = Id(argv[2]);
        const std::string text = argv[3];
        return WaitUntil([&] {
                   for (const auto& line : ControlLines(main, id))
                       if (line == text) return true;
                   return false;
               }, Ms(argv[4]), 200)
                   ? 0
                   : Fail("the line did not appear");
    }
    if (cmd == "wait-progress" && need(4)) {
        const int id = Id(argv[2]), low = Id(argv[3]), high = Id(argv[4]);
        return WaitUntil([&] {
                   const int pos = ProgressPosition(main, id);
                   return pos >= low && pos <= high;
               }, Ms(argv[5]), 100)
                   ? 0
                   : Fail("the progress bar did not get there");
    }
    if (cmd == "wait-enabled" && need(2)) {
        const int id = Id(argv[2]);
        return WaitUntil([&] { return IsControlEnabled(main, id); }, Ms(argv[3]), 100) ? 0 : Fail("still disabled");
    }
    if (cmd == "msgbox" && need(1)) {
        auto box = WaitForMessageBox(ProcessOf(main), Ms(argv[2]));
        if (!box) return Fail("no message box");
        std::printf("caption: %s\ntext: %s\nicon: %s\n", box->caption.c_str(), box->text.c_str(),
                    IconName(box->icon));
        return 0;
    }
    if (cmd == "answer" && need(2)) {
        auto boxes = MessageBoxes(ProcessOf(main));
        if (boxes.empty()) return Fail("no message box");
        return AnswerAndWait(boxes.front(), Id(argv[2]), Ms(argv[3])) ? 0 : Fail("the message box stayed");
    }
    if (cmd == "wait-dialog" && need(2))
        return WaitForDialog(ProcessOf(main), argv[2], Ms(argv[3])) ? 0 : Fail("no such dialog");
    if (cmd == "click-in" && need(2)) {
        HWND dialog = WaitForDialog(ProcessOf(main), argv[2], 0);
        if (dialog == nullptr) return Fail("no such dialog");
        return Click(dialog, Id(argv[3])) ? 0 : Fail("the button cannot be pressed");
    }
    if (cmd == "close" && need(1)) {
        if (!Click(main, IDCANCEL)) return Fail("Close cannot be pressed");
        return WaitUntil([&] { return !::IsWindow(main); }, Ms(argv[2])) ? 0 : Fail("the program did not end");
    }
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    const int status = Run(argc, argv);
    if (status == 2) std::fputs(kUsage, stderr);
    return status;
}
