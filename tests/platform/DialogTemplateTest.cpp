#include "platform/DialogTemplate.h"

#include "TestEnvironment.h"

#include <gtest/gtest.h>

namespace {

using platform::ControlKind;
using platform::DialogTemplate;

TEST(DialogTemplate, ReadsTheBpmRowOfTheOpenChooser) {
    std::string text = testing_support::readFile(testing_support::sourceDirectory() + "/resources/dialogs/103.dlg");
    DialogTemplate row;
    std::string error;
    ASSERT_TRUE(platform::parseDialogTemplate(text, row, error)) << error;
    EXPECT_EQ(row.id, 103);
    EXPECT_TRUE(row.child);
    EXPECT_EQ(row.width, 53);
    EXPECT_EQ(row.height, 22);
    EXPECT_EQ(row.fontName, "MS Shell Dlg");
    EXPECT_EQ(row.fontPointSize, 8);
    ASSERT_EQ(row.controls.size(), 2u);
    EXPECT_EQ(row.controls[0].text, "BPM:");
    EXPECT_EQ(row.controls[0].x, 7);
    EXPECT_EQ(row.controls[0].y, 7);
    const platform::ControlTemplate* tempo = row.control(1001);
    ASSERT_NE(tempo, nullptr);
    EXPECT_EQ(tempo->kind, ControlKind::Static);
    EXPECT_EQ(tempo->text, " ---");
    EXPECT_EQ(tempo->x, 35);
    EXPECT_EQ(tempo->y, 7);
}

TEST(DialogTemplate, ReadsEveryControlKindWithFlagsAndQuotedText) {
    const char* text =
        "dialog 7\n"
        "caption \"Say \\\"hi\\\"\"\n"
        "size 100 50\n"
        "style popup nosysmenu\n"
        "# a comment\n"
        "\n"
        "static -1 \"Name:\" 1 2 3 4\n"
        "edit 10 \"\" 5 6 7 8 number border\n"
        "button 1 \"OK\" 9 10 11 12 default\n"
        "check 11 \"On\" 1 1 1 1 checked disabled\n"
        "radio 12 \"A\" 1 1 1 1 group\n"
        "group 13 \"Frame\" 1 1 1 1\n"
        "progress 14 \"\" 1 1 1 1\n";
    DialogTemplate dialog;
    std::string error;
    ASSERT_TRUE(platform::parseDialogTemplate(text, dialog, error)) << error;
    EXPECT_EQ(dialog.caption, "Say \"hi\"");
    EXPECT_FALSE(dialog.systemMenu);
    EXPECT_FALSE(dialog.child);
    ASSERT_EQ(dialog.controls.size(), 7u);
    const ControlKind kinds[] = {ControlKind::Static, ControlKind::Edit,  ControlKind::Button,  ControlKind::Check,
                                 ControlKind::Radio,  ControlKind::Group, ControlKind::Progress};
    for (std::size_t i = 0; i < 7; ++i) EXPECT_EQ(dialog.controls[i].kind, kinds[i]) << i;
    EXPECT_EQ(dialog.controls[1].style, platform::controlStyle::number | platform::controlStyle::border);
    EXPECT_EQ(dialog.controls[2].style, platform::controlStyle::defaultButton);
    EXPECT_EQ(dialog.controls[3].style, platform::controlStyle::checked | platform::controlStyle::disabled);
    EXPECT_EQ(dialog.controls[4].style, platform::controlStyle::groupStart);
}

TEST(DialogTemplate, RefusesBrokenTemplatesNamingTheLine) {
    const struct {
        const char* text;
        const char* message;
    } cases[] = {
        {"size 10 10\nwidget 1 \"x\" 1 1 1 1\n", "line 2: unknown keyword widget"},
        {"size 10 10\nbutton 1 \"x\" 1 1 1 1 shiny\n", "line 2: unknown flag shiny"},
        {"size 10 10\nbutton 1 \"x 1 1 1 1\n", "line 2: unclosed quote"},
        {"size 10 10\nbutton one \"x\" 1 1 1 1\n", "line 2: expected"},
        {"size 10\n", "line 1: expected: size"},
        {"dialog 3\n", "without a size"},
        {"size 10 10\nstyle sideways\n", "line 2: unknown style"},
    };
    for (const auto& c : cases) {
        DialogTemplate dialog;
        std::string error;
        EXPECT_FALSE(platform::parseDialogTemplate(c.text, dialog, error)) << c.text;
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
    }
}

TEST(DialogTemplate, DialogUnitsScaleByTheFontsBaseUnits) {
    // Horizontal units are quarters of the average width, vertical ones
    // eighths of the height, rounded to nearest.
    EXPECT_EQ(platform::dialogUnitsToPixelsX(53, 6), 80);  // 79.5
    EXPECT_EQ(platform::dialogUnitsToPixelsX(4, 7), 7);
    EXPECT_EQ(platform::dialogUnitsToPixelsY(22, 13), 36);  // 35.75
    EXPECT_EQ(platform::dialogUnitsToPixelsY(8, 13), 13);
    EXPECT_EQ(platform::dialogUnitsToPixelsX(0, 6), 0);
}

}  // namespace
