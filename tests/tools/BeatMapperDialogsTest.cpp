// The beat mapper's "Edit ID" and "Set Key" dialogs, opened through their
// buttons and answered by responders inside the dialogs.
#include "BeatMapperTestSupport.h"

#include "framework/GUIButton.h"
#include "framework/GUITextHorizontal.h"
#include "framework/Window.h"
#include "platform/Dialog.h"
#include "platform/UiScript.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using mapper_test::BeatMapperTest;
using mapper_test::MapperSong;

constexpr int editIdTemplate = 105;
constexpr int setKeyTemplate = 113;

class BeatMapperDialogs : public BeatMapperTest {
protected:
    void SetUp() override {
        BeatMapperTest::SetUp();
        MapperSong spec;
        spec.beats = {1000, 23050};
        spec.keyIndex = 2;
        spec.label = "Record Label";
        mapper_test::writeSong(files.file("song.wav"), spec);
        open(files.file("song.wav"));
    }
    void TearDown() override {
        platform::uiScript::setDialogResponder(editIdTemplate, {});
        platform::uiScript::setDialogResponder(setKeyTemplate, {});
        BeatMapperTest::TearDown();
    }
    // The six fields with the ids of their edits in "Edit ID".
    std::vector<std::pair<int, GUITextHorizontal*>> fields() const {
        return {{1005, mapper->trackText()}, {1007, mapper->artistText()}, {1006, mapper->albumText()},
                {1010, mapper->labelText()}, {1008, mapper->commentsText()}, {1009, mapper->yearText()}};
    }
    std::vector<std::string> texts() const {
        std::vector<std::string> all;
        for (const auto& [id, field] : fields()) all.push_back(field->text());
        return all;
    }
};

TEST_F(BeatMapperDialogs, EditIdShowsTheFieldsAndOkCopiesThemBack) {
    const std::string long600(600, 'x');
    struct Case {
        const char* name;
        int button;
        // Typed into edits by id; the rest stay as shown.
        std::vector<std::pair<int, std::string>> typed;
        bool changes;
    };
    const std::vector<Case> cases = {
        {"OK without a change", platform::okButton, {}, false},
        {"Cancel after typing", platform::cancelButton, {{1005, "Typed"}, {1009, "2024"}}, false},
        {"OK after typing", platform::okButton, {{1005, "New Track"}, {1010, "New Label"}, {1009, "2024"}}, true},
        {"OK with 600 characters", platform::okButton, {{1008, long600}}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        mapper->setEdited(false);
        const std::vector<std::string> before = texts();
        std::vector<std::string> shown;
        platform::uiScript::setDialogResponder(editIdTemplate, [&](platform::Dialog& dialog) {
            EXPECT_EQ(dialog.caption(), "Edit ID");
            for (const auto& [id, field] : fields()) shown.push_back(dialog.text(id, 1024));
            for (const auto& [id, text] : c.typed) dialog.setText(id, text);
            dialog.press(c.button);
        });
        click(mapper->editIdButton());
        EXPECT_EQ(shown, before) << "the edits start with the fields";
        std::vector<std::string> expected = before;
        if (c.button == platform::okButton) {
            const auto all = fields();
            for (const auto& [id, text] : c.typed) {
                for (std::size_t i = 0; i < all.size(); ++i) {
                    if (all[i].first == id) expected[i] = text.substr(0, BeatMapper::fieldLength);
                }
            }
        }
        EXPECT_EQ(texts(), expected);
        // A changed field is an unsaved change.
        EXPECT_EQ(mapper->isEdited(), c.changes);
        EXPECT_FALSE(mapper->editIdButton()->isDown());
    }
    EXPECT_EQ(mapper->commentsText()->text().size(), 511u);
}

TEST_F(BeatMapperDialogs, SetKeyButtonsNameTheTwentyFourKeysAndUndefinedEmptiesIt) {
    const char* tonics[] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
    ASSERT_EQ(mapper->keyText()->text(), "D Maj");
    for (int i = 0; i < 24; ++i) {
        SCOPED_TRACE(i);
        const std::string expected = std::string(tonics[i % 12]) + (i < 12 ? " Maj" : " Min");
        mapper->setEdited(false);
        const std::string before = mapper->keyText()->text();
        std::string shownAtStart;
        std::string shownAfter;
        platform::uiScript::setDialogResponder(setKeyTemplate, [&](platform::Dialog& dialog) {
            EXPECT_EQ(dialog.caption(), "Set Key");
            shownAtStart = dialog.text(1039, 64);
            dialog.press(1040 + i);
            shownAfter = dialog.text(1039, 64);
            dialog.press(platform::okButton);
        });
        click(mapper->setKeyButton());
        EXPECT_EQ(shownAtStart, before);
        EXPECT_EQ(shownAfter, expected);
        EXPECT_EQ(mapper->keyText()->text(), expected);
        EXPECT_EQ(mapper->isEdited(), expected != before);
        EXPECT_FALSE(mapper->setKeyButton()->isDown());
    }

    // Cancel keeps the key; "Undefined" then OK empties it.
    struct Case {
        const char* name;
        int button;
        std::string key;
    };
    for (const Case& c : std::vector<Case>{{"Cancel", platform::cancelButton, "B Min"},
                                           {"OK", platform::okButton, ""}}) {
        SCOPED_TRACE(c.name);
        mapper->setEdited(false);
        platform::uiScript::setDialogResponder(setKeyTemplate, [&](platform::Dialog& dialog) {
            dialog.press(1064);
            EXPECT_EQ(dialog.text(1039, 64), "");
            dialog.press(c.button);
        });
        click(mapper->setKeyButton());
        EXPECT_EQ(mapper->keyText()->text(), c.key);
        EXPECT_EQ(mapper->isEdited(), c.button == platform::okButton);
    }
}

}  // namespace
