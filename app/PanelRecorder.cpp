#include "app/PanelRecorder.h"

#include "app/ApplicationInterface.h"
#include "app/PlaylistWriter.h"
#include "app/Recorder.h"
#include "framework/Color.h"
#include "framework/FileDisk.h"
#include "framework/FileUtilities.h"
#include "framework/Font.h"
#include "framework/GUIButton.h"
#include "framework/GUINumberHorizontal.h"
#include "framework/GUIPanelGroup.h"
#include "framework/GUITextHorizontal.h"
#include "framework/Support.h"
#include "framework/Window.h"
#include "platform/Paths.h"

namespace {

const Color textColour{226, 228, 232, 255};
constexpr int timeXs[4] = {327, 357, 387, 417};

const Font& narrowFont() {
    static const Font font(1);
    return font;
}

}  // namespace

PanelRecorder::PanelRecorder(GUIPanelGroup* group, ApplicationInterface* application)
    : GUIPanel(10, 445, "velkarn/panelGroup/recorder", true),
      application_(application),
      record_(new GUIButton(34, 504, "velkarn/button/recorder/record", this, GUIButton::toggle, false)),
      reset_(new GUIButton(134, 504, "velkarn/button/recorder/reset", this, GUIButton::momentary, false)),
      setFile_(new GUIButton(34, 549, "velkarn/button/recorder/setFile", this, GUIButton::momentary, false)),
      recordingText_(new GUITextHorizontal(143, 558, 640, 20, &narrowFont(), textColour, 0, nullptr)),
      listText_(new GUITextHorizontal(143, 605, 640, 20, &narrowFont(), textColour, 0, nullptr)) {
    add(record_);
    add(reset_);
    add(setFile_);
    add(recordingText_);
    add(listText_);
    // Side by side, 30 pixels apart: three cells each.
    for (std::size_t i = 0; i < time_.size(); ++i) {
        time_[i] = new GUINumberHorizontal(timeXs[i], 507, 30, 26, "scope/font/arial13grey/", 0, nullptr);
        add(time_[i]);
    }
    group->add(this);
}

PanelRecorder::~PanelRecorder() = default;

void PanelRecorder::buttonPressed(GUIButton* button) {
    if (button == record_) {
        record();
    } else if (button == reset_) {
        resetRecording();
        reset_->setUp();
    } else if (button == setFile_) {
        chooseFile();
        setFile_->setUp();
    }
}

void PanelRecorder::buttonReleased(GUIButton* button) {
    if (button == record_) stopRecording();
}

void PanelRecorder::record() {
    if (!application_->recorder()->start()) {
        record_->setUp();
        return;
    }
    const std::int64_t now = application_->currentSampleTime();
    application_->playlistWriterText()->start(now);
    application_->playlistWriterCsv()->start(now);
}

void PanelRecorder::stopRecording() {
    if (!application_->recorder()->stop()) return;
    const std::int64_t now = application_->currentSampleTime();
    application_->playlistWriterText()->stop(now);
    application_->playlistWriterCsv()->stop(now);
}

void PanelRecorder::resetRecording() {
    Recorder* recorder = application_->recorder();
    if (recorder->framesWritten() == 0) return;
    if (!askYesNo("Reset Recorder", "Do you want to erase the recording?")) return;
    if (!recorder->reset()) return;
    application_->playlistWriterText()->reset();
    application_->playlistWriterCsv()->reset();
    setRecording(recorder->isRecording());
}

void PanelRecorder::chooseFile() {
    std::string path;
    std::string title;
    Window* owner = application_->mainWindow();
    if (!chooseFileToSave("WAV Files", "wav", owner != nullptr ? owner->handle() : platform::noWindow, path, title)) {
        return;
    }
    if (FileDisk::exists(path, true) &&
        !askYesNo("File Exists", "This file exists already. Do you want to overwrite it?")) {
        return;
    }
    Recorder* recorder = application_->recorder();
    if (!recorder->setFileName(path)) return;
    setRecordingText(path);
    const std::string base = listBaseName(path);
    application_->playlistWriterText()->setBaseName(base);
    application_->playlistWriterCsv()->setBaseName(base);
    setListText(base + ".txt (.csv)");
    setRecording(recorder->isRecording());
}

std::string PanelRecorder::listBaseName(const std::string& recordingName) {
    return recordingName.size() < 4 ? recordingName : recordingName.substr(0, recordingName.size() - 4);
}

void PanelRecorder::setTime(int hours, int minutes, int seconds, int centiseconds) {
    const int values[4] = {hours, minutes, seconds, centiseconds};
    for (std::size_t i = 0; i < time_.size(); ++i) {
        if (time_[i]->value() != static_cast<float>(values[i])) time_[i]->setValue(static_cast<float>(values[i]));
    }
}

void PanelRecorder::setRecording(bool recording) {
    if (recording == record_->isDown()) return;
    if (recording) {
        record_->setDown();
        return;
    }
    record_->setUp();
    // The recorder stopped without the toggle (its limit): so do the lists.
    const std::int64_t now = application_->currentSampleTime();
    application_->playlistWriterText()->stop(now);
    application_->playlistWriterCsv()->stop(now);
}

void PanelRecorder::setRecordingText(const std::string& name) { recordingText_->setText(platform::nativePath(name)); }

void PanelRecorder::setListText(const std::string& text) { listText_->setText(platform::nativePath(text)); }

std::string PanelRecorder::recordingText() const { return recordingText_->text(); }

std::string PanelRecorder::listText() const { return listText_->text(); }

float PanelRecorder::timeValue(int index) const { return time_[static_cast<std::size_t>(index)]->value(); }
