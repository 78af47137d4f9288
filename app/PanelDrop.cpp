#include "app/PanelDrop.h"

#include "app/ApplicationInterface.h"
#include "app/NumberButtonGroup.h"
#include "audio/Interpolator.h"
#include "audio/Song.h"
#include "audio/TimeScalerPV.h"
#include "framework/FileUtilities.h"
#include "framework/Font.h"
#include "framework/GUIButton.h"
#include "framework/GUINumberHorizontal.h"
#include "framework/GUIPanelGroup.h"
#include "framework/GUITextVertical.h"
#include "framework/StringException.h"
#include "framework/Support.h"
#include "framework/Window.h"

#include <algorithm>

namespace {

constexpr const char* loadCaption = "Could not load song.";

const Font& wideFont() {
    static const Font font(0);
    return font;
}

}  // namespace

PanelDrop::PanelDrop(GUIPanelGroup* group, ApplicationInterface* application)
    : GUIPanel(830, 10, "velkarn/panelGroup/drop", true),
      application_(application),
      load_(new GUIButton(912, 25, "velkarn/button/drop/load", this, GUIButton::momentary, false)),
      name_(new GUITextVertical(932, 77, 30, 215, &wideFont(), Color{226, 228, 232, 255})),
      double_(new GUIButton(912, 301, "velkarn/button/drop/doubleTempo", this, GUIButton::toggle, false)),
      half_(new GUIButton(943, 301, "velkarn/button/drop/halfTempo", this, GUIButton::toggle, false)),
      force_(new GUIButton(912, 337, "velkarn/button/drop/forceTempo", nullptr, GUIButton::toggle, false)),
      tempo_(new GUINumberHorizontal(919, 380, 40, 26, "scope/font/arial13grey/", 0, this)) {
    add(load_);
    add(name_);
    add(double_);
    add(half_);
    add(force_);
    add(tempo_);
    group->add(this);
}

int PanelDrop::loadSong(const std::string& path) {
    try {
        // A trial song: the file must read and carry beat meta-data.
        Interpolator interpolator(2);
        TimeScalerPV timeScaler(1024, 4);
        Song trial(path, 0, interpolator, timeScaler, application_->minimumTempo(), false, 0);
    } catch (const NoMetadataAvailable&) {
        if (askYesNo(loadCaption, "This song is not yet analyzed. Do you want to analyze it in the BeatMapper? "
                                  "[This will interrupt playback.]")) {
            application_->openBeatMapper(path);
        }
        return 0;
    } catch (const StringException& error) {
        showMessage(loadCaption, error.what());
        return 0;
    }
    songPath_ = path;
    name_->setText(baseFileName(path));
    return 1;
}

bool PanelDrop::isDoubleTempo() const { return double_->isDown(); }
bool PanelDrop::isHalfTempo() const { return half_->isDown(); }
bool PanelDrop::isForceTempo() const { return force_->isDown(); }
float PanelDrop::forcedTempo() const { return tempo_->value(); }

void PanelDrop::showStandardTempo() { tempo_->setValue(application_->standardTempo()); }

void PanelDrop::releaseTempoButtons() {
    double_->setUp();
    half_->setUp();
}

void PanelDrop::setTempoButtons(bool doubleTempo, bool halfTempo, bool forceTempo) {
    NumberButtonGroup::setButtonState(double_, doubleTempo);
    NumberButtonGroup::setButtonState(half_, halfTempo);
    NumberButtonGroup::setButtonState(force_, forceTempo);
}

void PanelDrop::buttonPressed(GUIButton* button) {
    if (button == load_) {
        chooseSong();
        load_->setUp();
    } else if (button == double_) {
        half_->setUp();
    } else if (button == half_) {
        double_->setUp();
    }
}

void PanelDrop::valueChanged(GUINumber* /*number*/, float value) {
    const float minimum = application_->minimumTempo();
    const float maximum = application_->maximumTempo();
    const float kept = std::clamp(value, minimum, maximum);
    if (kept != value) tempo_->setValue(kept);
}

void PanelDrop::chooseSong() {
    std::string path;
    std::string title;
    Window* window = application_->mainWindow();
    if (chooseFileToOpen("Audio Files", "wav", "mp3", isWmaAvailable() ? "wma" : nullptr,
                         window != nullptr ? window->handle() : platform::noWindow, path, title, true)) {
        loadSong(path);
    }
}
