// Dialog templates: the layout of a dialog as data. Templates are text files
// (resources/dialogs/<id>.dlg, packed as "dialogs/<id>.dlg"):
//
//   dialog 103
//   caption "Progress Dialog"
//   size 243 28                  width and height in dialog units
//   font "MS Shell Dlg" 8
//   style popup nosysmenu        or: style child
//   button 2 "Abort" 186 7 50 14 default
//
// Each control line is: kind id "text" x y width height [flags]. Kinds:
// static, edit, button, check, radio, group, progress. Flags: default,
// group (first of a radio group), disabled, border, checked, multiline,
// readonly, number. Blank lines and lines starting with # are ignored.
#ifndef VELKARN_PLATFORM_DIALOGTEMPLATE_H
#define VELKARN_PLATFORM_DIALOGTEMPLATE_H

#include <string>
#include <string_view>
#include <vector>

namespace platform {

enum class ControlKind { Static, Edit, Button, Check, Radio, Group, Progress };

namespace controlStyle {
constexpr unsigned defaultButton = 1u << 0;
constexpr unsigned groupStart = 1u << 1;
constexpr unsigned disabled = 1u << 2;
constexpr unsigned border = 1u << 3;
constexpr unsigned checked = 1u << 4;
constexpr unsigned multiline = 1u << 5;
constexpr unsigned readOnly = 1u << 6;
constexpr unsigned number = 1u << 7;
}  // namespace controlStyle

struct ControlTemplate {
    ControlKind kind = ControlKind::Static;
    int id = -1;
    std::string text;
    int x = 0;  // dialog units
    int y = 0;
    int width = 0;
    int height = 0;
    unsigned style = 0;
};

struct DialogTemplate {
    int id = 0;
    std::string caption;
    int width = 0;  // dialog units
    int height = 0;
    std::string fontName = "MS Shell Dlg";
    int fontPointSize = 8;
    bool child = false;       // embedded in another window (the open chooser's row)
    bool systemMenu = true;   // a close button in the caption
    std::vector<ControlTemplate> controls;

    const ControlTemplate* control(int controlId) const;
};

// False with a message naming the line when the text is not a template.
bool parseDialogTemplate(std::string_view text, DialogTemplate& dialog, std::string& error);

// Dialog units to pixels through the font's base units: x * average
// character width / 4 and y * character height / 8, rounded to nearest.
int dialogUnitsToPixelsX(int units, int averageCharWidth);
int dialogUnitsToPixelsY(int units, int charHeight);

}  // namespace platform

#endif
