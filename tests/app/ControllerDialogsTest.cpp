// The controllers' dialogs from the built-in archive, driven through dialog
// responders on the offscreen toolkit: "PMD Settings" shows the current
// state and applies the check boxes and the recorded calibration only on
// OK (a rejected reading or a missing unit records nothing); "SiLabs
// Settings" closes on OK and on Escape.
#include "app/MixerParameters.h"
#include "app/PMD1208LS.h"
#include "app/PMDSettingsDialog.h"
#include "app/SiLabsSettingsDialog.h"
#include "framework/ResourceArchive.h"
#include "framework/Support.h"
#include "platform/Dialog.h"
#include "platform/UiScript.h"
#include "platform/hid/FakeHid.h"

#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <optional>

using namespace platform::hid;

namespace {

using Readings = PMD1208LS::Readings;

HidReport block(std::uint16_t first, bool overRange = false) {
    std::array<std::uint16_t, 64> samples;
    samples.fill(0xFFF);
    for (int c = 0; c < 8; ++c) samples[56 + c] = static_cast<std::uint16_t>(first + c);
    return pmdFeatureReport(samples, overRange, 1);
}

Readings readingsFrom(float first) {
    Readings readings;
    for (int c = 0; c < 8; ++c) readings[c] = first + static_cast<float>(c);
    return readings;
}

Readings filled(float value) {
    Readings readings;
    readings.fill(value);
    return readings;
}

class ControllerDialogs : public ::testing::Test {
protected:
    void SetUp() override {
        platform::uiScript::disable();
        supportSettings().archiveMode = true;
        initializeFileSystem();
    }
    void TearDown() override {
        platform::uiScript::disable();
        cleanUpFileSystem();
    }
};

// The labels and ids the dialogs are known by.
TEST_F(ControllerDialogs, TheTemplatesCarryTheirLabels) {
    struct Label {
        int dialog;
        int control;
        platform::ControlKind kind;
        const char* text;
    };
    const Label labels[] = {
        {110, 1033, platform::ControlKind::Check, "Use the PMD"},
        {110, 1034, platform::ControlKind::Check, "Vertical sliders control effects"},
        {110, 1035, platform::ControlKind::Button, "1. Set all sliders at their MINIMUM position and press this button"},
        {110, 1036, platform::ControlKind::Button, "2. Set all sliders at their MAXIMUM position and press this button"},
        {110, 1, platform::ControlKind::Button, "OK"},
        {110, 2, platform::ControlKind::Button, "Cancel"},
        {111, 1, platform::ControlKind::Button, "OK"},
    };
    const auto pmd = loadDialogTemplate(PMDSettingsDialog::templateId);
    const auto siLabs = loadDialogTemplate(SiLabsSettingsDialog::templateId);
    ASSERT_TRUE(pmd && siLabs);
    EXPECT_EQ(pmd->caption, "PMD Settings");
    EXPECT_EQ(siLabs->caption, "SiLabs Settings");
    for (const Label& label : labels) {
        const platform::ControlTemplate* control = (label.dialog == 110 ? *pmd : *siLabs).control(label.control);
        ASSERT_NE(control, nullptr) << label.dialog << "/" << label.control;
        EXPECT_EQ(control->kind, label.kind) << label.text;
        EXPECT_EQ(control->text, label.text);
    }
    // The frame and the sentence have no id.
    bool frame = false;
    for (const auto& control : pmd->controls) frame |= control.kind == platform::ControlKind::Group && control.text == "Calibration";
    EXPECT_TRUE(frame);
    bool sentence = false;
    for (const auto& control : siLabs->controls) {
        sentence |= control.text == "Upon detection, the SiLabs controller is activated by default.";
    }
    EXPECT_TRUE(sentence);
}

struct PmdCase {
    const char* name;
    bool unit;                      // a PMD unit is present
    bool use;                       // the state when the dialog opens
    bool effects;
    std::vector<HidReport> answers; // the unit's blocks, one per calibration press
    std::vector<int> presses;       // in order; the last one closes (or Escape when 0)
    bool useAfter;
    bool effectsAfter;
    Readings minimumAfter;
    Readings maximumAfter;
};

class PmdDialog : public ControllerDialogs, public ::testing::WithParamInterface<PmdCase> {};

TEST_P(PmdDialog, AppliesOnlyWhatOkTakes) {
    const PmdCase& c = GetParam();
    FakeHid fake;
    if (c.unit) {
        FakeHidUnit unit = fakePmdUnit();
        const std::vector<HidReport> answers = c.answers;
        unit.feature = [answers](int n) { return answers.at(static_cast<std::size_t>(n)); };
        fake.units = {unit};
    }
    MixerParameters mixer;
    PMD1208LS pmd(&mixer);
    pmd.setEffects(c.effects);
    bool use = c.use;
    std::optional<bool> shownUse;
    std::optional<bool> shownEffects;
    platform::uiScript::setDialogResponder(PMDSettingsDialog::templateId, [&](platform::Dialog& dialog) {
        shownUse = dialog.checked(PMDSettingsDialog::useCheck);
        shownEffects = dialog.checked(PMDSettingsDialog::effectsCheck);
        for (int control : c.presses) {
            if (control == 0) dialog.pressKey(platform::DialogKey::Escape);
            else dialog.press(control);
        }
    });
    PMDSettingsDialog dialog(pmd, use);
    const int result = dialog.run(platform::noWindow);

    const int closing = c.presses.back();
    EXPECT_EQ(result, closing == 0 ? platform::cancelButton : closing);
    EXPECT_EQ(shownUse, c.use);
    EXPECT_EQ(shownEffects, c.effects);
    EXPECT_EQ(use, c.useAfter);
    EXPECT_EQ(pmd.effects(), c.effectsAfter);
    EXPECT_EQ(pmd.minimum(), c.minimumAfter);
    EXPECT_EQ(pmd.maximum(), c.maximumAfter);
    // Each press asked the unit once.
    const auto calls = fake.calls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "feature /dev/fake-hid/pmd"),
              std::count_if(c.presses.begin(), c.presses.end(), [&](int p) {
                  return c.unit && (p == PMDSettingsDialog::minimumButton || p == PMDSettingsDialog::maximumButton);
              }));
}

const Readings defaultMinimum = filled(PMD1208LS::defaultMinimum);
const Readings defaultMaximum = filled(PMD1208LS::defaultMaximum);
constexpr int minimumPress = PMDSettingsDialog::minimumButton;
constexpr int maximumPress = PMDSettingsDialog::maximumButton;
constexpr int useToggle = PMDSettingsDialog::useCheck;
constexpr int effectsToggle = PMDSettingsDialog::effectsCheck;
constexpr int ok = platform::okButton;
constexpr int cancel = platform::cancelButton;

INSTANTIATE_TEST_SUITE_P(
    Cases, PmdDialog,
    ::testing::Values(
        PmdCase{"CalibratedThenOk", true, false, false, {block(1000), block(2000)},
                {minimumPress, maximumPress, useToggle, effectsToggle, ok}, true, true, readingsFrom(1000),
                readingsFrom(2000)},
        PmdCase{"CalibratedThenCancel", true, true, false, {block(1000), block(2000)},
                {minimumPress, maximumPress, useToggle, effectsToggle, cancel}, true, false, defaultMinimum,
                defaultMaximum},
        PmdCase{"CalibratedThenEscape", true, false, true, {block(1000), block(2000)},
                {minimumPress, maximumPress, useToggle, 0}, false, true, defaultMinimum, defaultMaximum},
        PmdCase{"OkAloneKeepsTheCalibration", true, true, true, {}, {ok}, true, true, defaultMinimum, defaultMaximum},
        PmdCase{"OnlyTheMaximum", true, false, false, {block(2000)}, {maximumPress, ok}, false, false,
                defaultMinimum, readingsFrom(2000)},
        PmdCase{"ARejectedMinimumIsNotRecorded", true, false, false, {block(1000, true), block(2000)},
                {minimumPress, maximumPress, ok}, false, false, defaultMinimum, readingsFrom(2000)},
        PmdCase{"ARejectedSecondPressKeepsTheFirst", true, false, false, {block(1000), block(1200, true)},
                {minimumPress, minimumPress, ok}, false, false, readingsFrom(1000), defaultMaximum},
        PmdCase{"TheLastPressCounts", true, false, false, {block(1000), block(1100)},
                {minimumPress, minimumPress, ok}, false, false, readingsFrom(1100), defaultMaximum},
        PmdCase{"WithoutAUnitNothingIsRecorded", false, false, false, {}, {minimumPress, maximumPress, useToggle, ok},
                true, false, defaultMinimum, defaultMaximum}),
    [](const ::testing::TestParamInfo<PmdCase>& info) { return std::string(info.param.name); });

// The calibration presses of a dialog that was cancelled are not carried
// into the next one.
TEST_F(ControllerDialogs, ACancelledCalibrationIsNotCarriedOver) {
    FakeHid fake;
    FakeHidUnit unit = fakePmdUnit();
    unit.feature = [](int n) { return block(n == 0 ? 1000 : 3000); };
    fake.units = {unit};
    MixerParameters mixer;
    PMD1208LS pmd(&mixer);
    bool use = true;
    PMDSettingsDialog dialog(pmd, use);
    platform::uiScript::setDialogResponder(PMDSettingsDialog::templateId, [](platform::Dialog& shown) {
        shown.press(PMDSettingsDialog::minimumButton);
        shown.press(platform::cancelButton);
    });
    EXPECT_EQ(dialog.run(platform::noWindow), platform::cancelButton);
    platform::uiScript::setDialogResponder(PMDSettingsDialog::templateId, [](platform::Dialog& shown) {
        shown.press(PMDSettingsDialog::maximumButton);
        shown.press(platform::okButton);
    });
    EXPECT_EQ(dialog.run(platform::noWindow), platform::okButton);
    EXPECT_EQ(pmd.minimum(), defaultMinimum);
    EXPECT_EQ(pmd.maximum(), readingsFrom(3000));
}

TEST_F(ControllerDialogs, TheSiLabsDialogClosesOnOkAndEscape) {
    struct Closing {
        const char* name;
        bool escape;
        int result;
    };
    for (const Closing& closing : {Closing{"OK", false, platform::okButton}, Closing{"Escape", true, platform::cancelButton}}) {
        SCOPED_TRACE(closing.name);
        platform::uiScript::enable();
        platform::uiScript::clearRequests();
        bool shown = false;
        platform::uiScript::setDialogResponder(SiLabsSettingsDialog::templateId, [&](platform::Dialog& dialog) {
            shown = dialog.hasControl(platform::okButton);
            if (closing.escape) dialog.pressKey(platform::DialogKey::Escape);
            else dialog.press(platform::okButton);
        });
        SiLabsSettingsDialog dialog;
        EXPECT_EQ(dialog.run(platform::noWindow), closing.result);
        EXPECT_TRUE(shown);
        const auto requests = platform::uiScript::requests();
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0].caption, "SiLabs Settings");
        EXPECT_EQ(requests[0].templateId, 111);
    }
}

}  // namespace
