// The installer's dialog templates as they are stored in the program: the
// folder dialog (103) and the picker's template (FILEOPENORD2), each with
// its style, origin, size, caption and font, and every control's
// identifier, class, style and stored rectangle, read from the resource
// data itself (not from a created dialog, where Wine may size controls).
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "setup/resource.h"

namespace {

struct StoredControl {
    int id;
    std::string cls; // a predefined class stored by ordinal is given by its name
    DWORD style;
    short x, y, cx, cy;
    std::string text; // "#101" for a resource ordinal
};

// A template's own fields.
struct DialogHead {
    DWORD style = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    std::string caption;
    WORD fontSize = 0;
    std::string font;
};

struct StoredDialog : DialogHead {
    std::vector<StoredControl> controls;
};

// The fields of a template's head in one line, so that they compare as one
// and a difference shows beside the rest.
std::string Describe(const DialogHead& head) {
    char numbers[96];
    std::snprintf(numbers, sizeof numbers, "style 0x%08lX at %d,%d size %dx%d font %u ",
                  static_cast<unsigned long>(head.style), head.x, head.y, head.cx, head.cy,
                  static_cast<unsigned>(head.fontSize));
    return numbers + ("\"" + head.font + "\" caption \"" + head.caption + "\"");
}

// Reads a name-or-ordinal field of a template and moves past it.
std::string NameOrOrdinal(const WORD** at) {
    const WORD* p = *at;
    std::string text;
    if (*p == 0xFFFF) {
        text = "#" + std::to_string(p[1]);
        p += 2;
    } else {
        while (*p != 0)
            text += static_cast<char>(*p++);
        ++p;
    }
    *at = p;
    return text;
}

// A control's class in one form whether stored by ordinal or by name.
std::string ClassName(const std::string& cls) {
    static const char* const kPredefined[] = {"BUTTON",  "EDIT",      "STATIC",
                                              "LISTBOX", "SCROLLBAR", "COMBOBOX"};
    for (int i = 0; i < 6; ++i)
        if (cls == "#" + std::to_string(0x80 + i))
            return kPredefined[i];
    return cls;
}

// Parses a DIALOG (not DIALOGEX) template.
bool ReadDialog(const char* name, StoredDialog* dialog) {
    HRSRC found = FindResourceA(GetModuleHandleA(nullptr), name, MAKEINTRESOURCEA(5));
    if (!found)
        return false;
    const auto* base = static_cast<const std::uint8_t*>(
        LockResource(LoadResource(GetModuleHandleA(nullptr), found)));
    const auto* head = reinterpret_cast<const DLGTEMPLATE*>(base);
    dialog->style = head->style;
    dialog->x = head->x;
    dialog->y = head->y;
    dialog->cx = head->cx;
    dialog->cy = head->cy;
    const WORD* p = reinterpret_cast<const WORD*>(head + 1);
    NameOrOrdinal(&p); // menu
    NameOrOrdinal(&p); // class
    dialog->caption = NameOrOrdinal(&p);
    if (head->style & DS_SETFONT) {
        dialog->fontSize = *p++;
        dialog->font = NameOrOrdinal(&p);
    }
    for (WORD i = 0; i < head->cdit; ++i) {
        // Each item starts on a 4-byte boundary.
        const std::uintptr_t offset = reinterpret_cast<const std::uint8_t*>(p) - base;
        const auto* item = reinterpret_cast<const DLGITEMTEMPLATE*>(base + ((offset + 3) & ~3u));
        StoredControl control;
        control.id = static_cast<short>(item->id);
        control.style = item->style;
        control.x = item->x;
        control.y = item->y;
        control.cx = item->cx;
        control.cy = item->cy;
        p = reinterpret_cast<const WORD*>(item + 1);
        control.cls = ClassName(NameOrOrdinal(&p));
        control.text = NameOrOrdinal(&p);
        const WORD extra = *p++;
        p = reinterpret_cast<const WORD*>(reinterpret_cast<const std::uint8_t*>(p) + extra);
        dialog->controls.push_back(control);
    }
    return true;
}

// Reads the template `name` and expects its own fields and its controls, in
// order, as given.
void ExpectDialog(const char* name, const DialogHead& head,
                  const std::vector<StoredControl>& expected) {
    StoredDialog dialog;
    ASSERT_TRUE(ReadDialog(name, &dialog));
    EXPECT_EQ(Describe(head), Describe(dialog));
    ASSERT_EQ(dialog.controls.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const StoredControl& got = dialog.controls[i];
        const StoredControl& want = expected[i];
        SCOPED_TRACE("control " + std::to_string(i) + " (id " + std::to_string(want.id) + ")");
        EXPECT_EQ(got.id, want.id);
        EXPECT_EQ(got.cls, want.cls);
        EXPECT_EQ(got.style, want.style | WS_CHILD);
        EXPECT_EQ(got.x, want.x);
        EXPECT_EQ(got.y, want.y);
        EXPECT_EQ(got.cx, want.cx);
        EXPECT_EQ(got.cy, want.cy);
        EXPECT_EQ(got.text, want.text);
    }
}

const char kButton[] = "BUTTON", kEdit[] = "EDIT", kStatic[] = "STATIC", kListBox[] = "LISTBOX",
           kComboBox[] = "COMBOBOX";
const DWORD kVisible = WS_VISIBLE;

TEST(SetupResources, FolderDialogTemplateAsStored) {
    ExpectDialog(
        MAKEINTRESOURCEA(IDD_FOLDER),
        {0x80C800C0u, 0, 0, 376, 234, "Bramblequist Setup", 8, "MS Sans Serif"},
        {
            {-1, kStatic, kVisible | SS_ICON, 112, 19, 21, 20, "#101"},
            {-1, kStatic, kVisible | SS_CENTER | WS_GROUP, 143, 22, 110, 20,
             "Bramblequist Setup Utility\nPowered by Quintar"},
            // The resource compiler stores class names in upper case; Windows
            // matches them without regard to case.
            {IDC_PROGRESS, "MSCTLS_PROGRESS32", kVisible | WS_BORDER, 32, 144, 312, 14, ""},
            {IDC_STATUS, kStatic, kVisible | SS_CENTER | WS_GROUP, 32, 130, 312, 8, ""},
            {IDC_DETAIL, kStatic, kVisible | SS_CENTER | WS_GROUP, 32, 164, 312, 8, ""},
            {-1, kStatic, kVisible | WS_GROUP, 23, 61, 161, 19,
             "Please enter the name of the folder you wish to use for your Bramblequist files:"},
            {-1, kButton, kVisible | BS_GROUPBOX, 20, 119, 335, 61, "Installation Status"},
            {IDC_FOLDER, kEdit, kVisible | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 20, 82, 274, 14,
             ""},
            {IDC_BROWSE, kButton, kVisible | BS_PUSHBUTTON | WS_TABSTOP, 305, 82, 50, 14,
             "&Browse"},
            {IDC_NEXT, kButton, kVisible | BS_DEFPUSHBUTTON | WS_TABSTOP, 305, 199, 50, 14,
             "&Next"},
        });
}

TEST(SetupResources, PickerTemplateAsStored) {
    const DWORD list = LBS_NOTIFY | LBS_SORT | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS |
                       LBS_DISABLENOSCROLL | WS_VSCROLL | WS_BORDER;
    ExpectDialog(
        "FILEOPENORD2",
        {0x80C820C4u, 36, 24, 272, 215, "Installation Folder Selection", 8, "MS Shell Dlg"},
        {
            {1090, kStatic, kVisible, 21, 7, 157, 19,
             "Please enter the name of the folder you wish to use for your Bramblequist files."},
            {1152, kEdit, kVisible | WS_BORDER | WS_TABSTOP | ES_OEMCONVERT | ES_AUTOHSCROLL, 21,
             30, 159, 12, ""},
            {1120, kListBox, list, 2, 7, 8, 10, ""},
            {-1, kStatic, kVisible, 33, 60, 102, 9, "Current &Folders:"},
            {1088, kStatic, kVisible | SS_NOPREFIX, 93, 193, 175, 9, ""},
            {1121, kListBox, kVisible | list, 33, 73, 203, 68, ""},
            {1136, kComboBox, CBS_DROPDOWNLIST | CBS_AUTOHSCROLL, 0, 28, 16, 12, ""},
            {1091, kStatic, kVisible, 33, 150, 96, 9, "Dri&ves:"},
            {1137, kComboBox,
             kVisible | CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_AUTOHSCROLL | CBS_SORT |
                 CBS_HASSTRINGS | WS_VSCROLL,
             33, 162, 203, 68, ""},
            {IDOK, kButton, kVisible | BS_DEFPUSHBUTTON, 199, 8, 50, 14, "OK"},
            {IDCANCEL, kButton, kVisible | BS_PUSHBUTTON, 199, 28, 50, 14, "Cancel"},
            {-1, kStatic, kVisible, 22, 194, 68, 8, "Selected Install Path:"},
            {-1, kButton, kVisible | BS_GROUPBOX, 21, 49, 229, 137, ""},
        });
}

} // namespace
