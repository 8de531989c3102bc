// Reads a DIALOGEX template out of this program's resources, so tests can
// compare every item with what the dialog is meant to hold.
#pragma once

#include <string>
#include <vector>

#include <windows.h>

namespace testing_win {

struct TemplateItem {
    DWORD style = 0, exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    int id = 0;
    std::string cls;   // "Button", "Edit", "Static", "ComboBox" or the class name
    std::string text;  // text, or "#N" for a resource ordinal
};

struct DialogTemplate {
    bool ok = false;
    DWORD style = 0, exStyle = 0;
    short cx = 0, cy = 0;
    std::string caption, fontFace;
    WORD pointSize = 0;
    std::vector<TemplateItem> items;
};

DialogTemplate LoadDialogTemplate(int id);

}  // namespace testing_win
