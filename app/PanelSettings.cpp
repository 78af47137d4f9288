#include "app/PanelSettings.h"

#include "app/ApplicationInterface.h"
#include "app/MidiDeviceList.h"
#include "app/MidiIn.h"
#include "app/MidiOut.h"
#include "app/MixerParameters.h"
#include "app/NumberButtonGroup.h"
#include "app/PMD1208LS.h"
#include "app/PMDSettingsDialog.h"
#include "app/SiLabs.h"
#include "app/SiLabsSettingsDialog.h"
#include "audio/AudioDeviceList.h"
#include "framework/Color.h"
#include "framework/Font.h"
#include "framework/GUIButton.h"
#include "framework/GUINumberSlider.h"
#include "framework/GUIPanelGroup.h"
#include "framework/GUIPanelGroupHorizontal.h"
#include "framework/GUITextHorizontal.h"
#include "framework/Log.h"
#include "framework/Reporters.h"
#include "framework/ResourceArchive.h"
#include "framework/Support.h"
#include "framework/Window.h"
#include "platform/Dialog.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

constexpr const char* subPanelKeys[PanelSettings::subPanelCount] = {
    "velkarn/panelGroup/settingsVarious", "velkarn/panelGroup/settingsSound", "velkarn/panelGroup/settingsBrowser",
    "velkarn/panelGroup/settingsMidi",    "velkarn/panelGroup/settingsAudio1", "velkarn/panelGroup/settingsAudio2"};
constexpr int subPanelX = 159;
constexpr int subPanelY = 490;
constexpr int subPanelBand = 25;

const Color textColour{226, 228, 232, 255};

const Font& narrowFont() {
    static const Font font(1);
    return font;
}

// A text into a record's zero-filled field, cut to leave its terminator.
template <std::size_t n>
void copyName(char (&field)[n], const std::string& text) {
    std::memset(field, 0, n);
    std::memcpy(field, text.data(), std::min(text.size(), n - 1));
}

// "WMA Support": the text and the download button follow the decoder's
// state; "Download Library" opens the page of the decoder's library.
class WmaSupportHandler : public platform::DialogHandler {
public:
    void init(platform::Dialog& dialog) override {
        const bool available = isWmaAvailable();
        const bool rebootNeeded = !available && isWmaRebootNeeded();
        dialog.setText(PanelSettings::wmaTextControl, available      ? PanelSettings::wmaSupported
                                                      : rebootNeeded ? PanelSettings::wmaRebootFirst
                                                                     : PanelSettings::wmaDownloadFirst);
        dialog.enableControl(PanelSettings::wmaDownloadButton, !available && !rebootNeeded);
    }
    void command(platform::Dialog& dialog, int controlId) override {
        if (controlId == PanelSettings::wmaDownloadButton) {
            openUrl(PanelSettings::wmaDownloadPage);
        } else if (controlId == platform::okButton || controlId == platform::cancelButton) {
            dialog.end(controlId);
        }
    }
};

// A map entry's edit as "%d" would read it: leading blanks, a sign and
// digits, anything after them ignored. False when no number leads the text
// or it lies outside 32 bits (where "%d" itself is undefined).
bool readControllerNumber(const std::string& text, std::int32_t& number) {
    const char* start = text.c_str();
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(start, &end, 10);
    if (end == start || errno == ERANGE || value < std::numeric_limits<std::int32_t>::min() ||
        value > std::numeric_limits<std::int32_t>::max()) {
        return false;
    }
    number = static_cast<std::int32_t>(value);
    return true;
}

constexpr std::size_t mapEditCharacters = 32;

}  // namespace

// "CC Map [Midi In]": each edit shows its entry; while it is open the panel
// learns into it. OK replaces the whole map with the edits, an edit without
// a leading number keeping its entry; Cancel keeps the map.
class PanelSettings::MapHandler : public platform::DialogHandler {
public:
    explicit MapHandler(PanelSettings& panel) : panel_(panel) {}
    void init(platform::Dialog& dialog) override {
        for (int entry = 0; entry < mapEntries; ++entry) {
            reportWindowsError(dialog.setText(mapEdits[index(entry)], std::to_string(panel_.controllerMap_[index(entry)])),
                               __FILE__, __LINE__);
        }
        panel_.mapDialog_ = &dialog;
    }
    void command(platform::Dialog& dialog, int controlId) override {
        if (controlId == platform::okButton) {
            ControllerMap map = panel_.controllerMap_;
            for (int entry = 0; entry < mapEntries; ++entry) {
                const int edit = mapEdits[index(entry)];
                if (!reportWindowsError(dialog.hasControl(edit), __FILE__, __LINE__)) continue;
                readControllerNumber(dialog.text(edit, mapEditCharacters), map[index(entry)]);
            }
            panel_.controllerMap_ = map;
        }
        if (controlId == platform::okButton || controlId == platform::cancelButton) {
            panel_.mapDialog_ = nullptr;
            dialog.end(controlId);
        }
    }

private:
    PanelSettings& panel_;
};

PanelSettings::PanelSettings(GUIPanelGroup* group, ApplicationInterface* application,
                             const VelkarnStartUpValues& startUp, const VelkarnStartUpValues2& startUp2,
                             const VelkarnStartUpValues3& startUp3, const VelkarnStartUpValues4& startUp4,
                             const VelkarnStartUpValues5& startUp5, const VelkarnStartUpValues6& startUp6,
                             AudioDeviceList* devices, MidiDeviceList* midiDevices)
    : GUIPanel(10, 445, "velkarn/panelGroup/settings", true),
      application_(application),
      devices_(devices),
      midiDevices_(midiDevices),
      knee_(startUp.crossfadeKnee * 0.01f),
      keptStartUp2_(startUp2),
      typeGroup_(this) {
    std::copy(std::begin(startUp4.controllerNumbers), std::end(startUp4.controllerNumbers), controllerMap_.begin());
    midiNames_ = {startUp4.midiInputDevice, startUp3.midiOutputDevice};
    midiIndices_ = {midiDevices_->inputIndex(startUp4.midiInputDevice),
                    midiDevices_->outputIndex(startUp3.midiOutputDevice)};
    build(startUp, startUp2, startUp3, startUp4, startUp5);
    group->add(this);
    // The controllers look for their units now (the PMD-1208LS is
    // configured at once); their readers wait for activate.
    pmdUnit_ = std::make_unique<PMD1208LS>(application_->mixerParameters());
    siLabsUnit_ = std::make_unique<SiLabs>(application_->mixerParameters());
    applyPmdRecord(startUp6, false);
}

PanelSettings::~PanelSettings() {
    closeMidiIn();
    closeMidiOut();
    // Each joins its reader before it closes its unit, so no reader moves
    // the mixer once its controller is gone.
    siLabsUnit_.reset();
    pmdUnit_.reset();
}

GUIButton* PanelSettings::addButton(GUIPanel* panel, int x, int y, const std::string& word, int mode, bool down) {
    auto* button = new GUIButton(x, y, "velkarn/button/settings/" + word, this, mode, down);
    panel->add(button);
    return button;
}

GUINumberSlider* PanelSettings::addNumberSlider(GUIPanel* panel, int x, int y, float value, float minimum,
                                                float maximum, bool linear) {
    auto* slider = new GUINumberSlider(x, y, 206, 55, 40, 25, "velkarn/slider/small", "scope/font/arial13grey/", 0,
                                       value, minimum, maximum, linear, this);
    panel->add(slider);
    return slider;
}

GUITextHorizontal* PanelSettings::addNameText(GUIPanel* panel, int x, int y, const std::string& text) {
    auto* shown = new GUITextHorizontal(x, y, 230, 25, &narrowFont(), textColour, 0, nullptr, text);
    panel->add(shown);
    return shown;
}

void PanelSettings::build(const VelkarnStartUpValues& startUp, const VelkarnStartUpValues2& startUp2,
                          const VelkarnStartUpValues3& startUp3, const VelkarnStartUpValues4& startUp4,
                          const VelkarnStartUpValues5& startUp5) {
    subPanels_ = new GUIPanelGroupHorizontal(subPanelCount, subPanelBand, nullptr);
    add(subPanels_);
    std::array<GUIPanel*, subPanelCount> panels{};
    for (int i = 0; i < subPanelCount; ++i) panels[index(i)] = new GUIPanel(subPanelX, subPanelY, subPanelKeys[i], true);

    // Various
    GUIPanel* p = panels[various];
    kneeSlider_ = addNumberSlider(p, 290, 552, startUp.crossfadeKnee, 0.0f, 100.0f, true);
    refreshSlider_ = addNumberSlider(p, 290, 590, startUp.refreshRate, 1.0f, 100.0f, false);
    overlay_ = addButton(p, 637, 549, "overlay", GUIButton::toggle, startUp5.overlaysShown);
    wma_ = addButton(p, 708, 549, "WMA", GUIButton::momentary, false);
    pmd_ = addButton(p, 637, 587, "PMD", GUIButton::momentary, false);
    siLabs_ = addButton(p, 708, 587, "SiLabs", GUIButton::momentary, false);

    // Sound
    p = panels[sound];
    overlapSlider_ = addNumberSlider(p, 290, 552, startUp.overlapMs, 0.0f, 200.0f, false);
    filter_ = std::make_unique<NumberButtonGroup>(*p, std::vector<float>{2, 4, 6, 8}, 288, 587, 42, 0,
                                                  (startUp.filterOrder - 2) / 2, this);

    // Browser
    exitOnLoad_ = addButton(panels[browser], 183, 547, "exitOnLoad", GUIButton::toggle, startUp2.exitOnLoad);

    // Midi
    p = panels[midi];
    midiOn_ = addButton(p, 234, 548, "on", GUIButton::toggle, startUp4.midiInOn);
    map_ = addButton(p, 293, 548, "map", GUIButton::momentary, false);
    generateClock_ = addButton(p, 234, 587, "generateClock", GUIButton::toggle, startUp3.midiClockOn);
    const int midiYs[2] = {548, 587};
    const char* midiNames[2] = {startUp4.midiInputDevice, startUp3.midiOutputDevice};
    for (std::size_t port = 0; port < 2; ++port) {
        midiPorts_[port].previous = addButton(p, 605, midiYs[port], "previous", GUIButton::momentary, false);
        midiPorts_[port].next = addButton(p, 690, midiYs[port], "next", GUIButton::momentary, false);
        midiPorts_[port].name = addNameText(p, 361, midiYs[port] + 4, midiNames[port]);
    }

    // Audio1 and Audio2
    p = panels[audio1];
    const char* typeWords[2] = {"multimedia", "DirectSound"};
    for (int t = 0; t < 2; ++t) {
        types_[index(t)] = new GUIButton(182 + 106 * t, 547, std::string("velkarn/button/settings/") + typeWords[t],
                                         &typeGroup_, GUIButton::latching, (startUp.outputType != 0) == (t == 1));
        p->add(types_[index(t)]);
        typeGroup_.add(types_[index(t)]);
    }
    active_ = addButton(panels[audio2], 182, 547, "active", GUIButton::toggle, startUp3.secondOutputOn);
    const char* names[2] = {startUp.outputDevice, startUp3.secondOutputDevice};
    const float latencies[2] = {startUp.latencyMs, startUp3.secondLatencyMs};
    for (int o = 0; o < 2; ++o) {
        Output& output = outputs_[index(o)];
        p = panels[index(audio1 + o)];
        output.latency = addNumberSlider(p, 185, 590, latencies[o], 1.0f, 200.0f, false);
        output.previous = addButton(p, 527, 586, "previous", GUIButton::momentary, false);
        output.next = addButton(p, 612, 586, "next", GUIButton::momentary, false);
        output.name = addNameText(p, 536, 552, names[o]);
        output.waveIndex = devices_->indexOfWaveOutDevice(names[o]);
        output.directSoundIndex = devices_->indexOfDirectSoundDevice(names[o]);
        output.openedLatency = latencies[o];
    }

    for (GUIPanel* panel : panels) subPanels_->add(panel);

    save_ = addButton(this, 35, 522, "save", GUIButton::momentary, false);
    factory_ = addButton(this, 35, 559, "factory", GUIButton::momentary, false);
}

// ---------------------------------------------------------------------------
// Values and records

void PanelSettings::setDeckGain(float knee) {
    kneeSlider_->setValue(knee * 100.0f);
    knee_.store(knee, std::memory_order_relaxed);
}

bool PanelSettings::isExitOnLoad() const { return exitOnLoad_->isDown(); }

int PanelSettings::outputType() const { return typeGroup_.selectedIndex(); }

std::string PanelSettings::deviceName(int output) const {
    const Output& o = outputs_[index(output)];
    return usesDirectSound(output) ? devices_->name(AudioDeviceList::Kind::DirectSound, o.directSoundIndex)
                                   : devices_->name(AudioDeviceList::Kind::WaveOut, o.waveIndex);
}

VelkarnStartUpValues PanelSettings::startUpRecord() const {
    VelkarnStartUpValues record;
    record.crossfadeKnee = kneeSlider_->value();
    record.filterOrder = 2 * filter_->selectedIndex() + 2;
    record.overlapMs = overlapSlider_->value();
    record.refreshRate = refreshSlider_->value();
    record.outputType = outputType();
    copyName(record.outputDevice, deviceName(0));
    record.latencyMs = outputs_[0].latency->value();
    return record;
}

VelkarnStartUpValues2 PanelSettings::startUp2Record() const {
    // The path is the track database's, which nothing here changes: it is
    // written back as loaded instead of being emptied.
    VelkarnStartUpValues2 record;
    std::memcpy(record.databasePath, keptStartUp2_.databasePath, sizeof record.databasePath);
    record.exitOnLoad = exitOnLoad_->isDown();
    return record;
}

VelkarnStartUpValues3 PanelSettings::startUp3Record() const {
    VelkarnStartUpValues3 record;
    record.secondOutputOn = active_->isDown();
    record.secondOutputType = 0;  // the second output uses the waveOut list only
    copyName(record.secondOutputDevice, deviceName(1));
    record.secondLatencyMs = outputs_[1].latency->value();
    record.midiClockOn = generateClock_->isDown();
    copyName(record.midiOutputDevice, midiNames_[1]);
    return record;
}

VelkarnStartUpValues4 PanelSettings::startUp4Record() const {
    VelkarnStartUpValues4 record;
    record.midiInOn = midiOn_->isDown();
    copyName(record.midiInputDevice, midiNames_[0]);
    std::copy(controllerMap_.begin(), controllerMap_.end(), std::begin(record.controllerNumbers));
    return record;
}

VelkarnStartUpValues5 PanelSettings::startUp5Record() const {
    VelkarnStartUpValues5 record;
    record.overlaysShown = overlay_->isDown();
    return record;
}

VelkarnStartUpValues6 PanelSettings::startUp6Record() const {
    VelkarnStartUpValues6 record;
    record.pmdInUse = pmdInUse_;
    record.slidersControlEffects = pmdUnit_->effects();
    const PMD1208LS::Readings minimum = pmdUnit_->minimum();
    const PMD1208LS::Readings maximum = pmdUnit_->maximum();
    std::copy(minimum.begin(), minimum.end(), std::begin(record.calibrationMinimum));
    std::copy(maximum.begin(), maximum.end(), std::begin(record.calibrationMaximum));
    return record;
}

void PanelSettings::save() {
    startUpRecord().save();
    startUp2Record().save();
    startUp3Record().save();
    startUp4Record().save();
    startUp5Record().save();
    startUp6Record().save();
}

void PanelSettings::factory() {
    const VelkarnStartUpValues startUp;
    const VelkarnStartUpValues2 startUp2;
    const VelkarnStartUpValues3 startUp3;
    const VelkarnStartUpValues5 startUp5;

    kneeSlider_->setValue(startUp.crossfadeKnee);
    knee_.store(startUp.crossfadeKnee * 0.01f, std::memory_order_relaxed);
    application_->setCrossfadeKnee(startUp.crossfadeKnee * 0.01f);
    refreshSlider_->setValue(startUp.refreshRate);
    application_->setRefreshInterval(1000.0f / startUp.refreshRate);
    overlapSlider_->setValue(startUp.overlapMs);
    application_->setOverlapMs(startUp.overlapMs);
    filter_->select((startUp.filterOrder - 2) / 2);
    application_->setFilterOrder(startUp.filterOrder);
    NumberButtonGroup::setButtonState(exitOnLoad_, startUp2.exitOnLoad);

    typeGroup_.select(startUp.outputType);
    const char* names[2] = {startUp.outputDevice, startUp3.secondOutputDevice};
    const float latencies[2] = {startUp.latencyMs, startUp3.secondLatencyMs};
    for (int o = 0; o < 2; ++o) {
        Output& output = outputs_[index(o)];
        output.waveIndex = devices_->indexOfWaveOutDevice(names[o]);
        output.directSoundIndex = devices_->indexOfDirectSoundDevice(names[o]);
        output.latency->setValue(latencies[o]);
        showDeviceName(o);
    }
    reopenOutput(0);
    NumberButtonGroup::setButtonState(active_, startUp3.secondOutputOn);
    if (startUp3.secondOutputOn) {
        reopenOutput(1);
    } else {
        closeSecondOutput();
    }

    NumberButtonGroup::setButtonState(overlay_, startUp5.overlaysShown);
    startUp5.overlaysShown ? application_->showOverlays() : application_->hideOverlays();

    factoryControllers();
}

void PanelSettings::activate() {
    startControllers();
    if (midiOn_->isDown()) openMidiIn();
    if (generateClock_->isDown()) generateClockChanged(true);
    ready_ = true;
}

void PanelSettings::refresh() {
    for (GUINumberSlider* slider : {kneeSlider_, refreshSlider_, overlapSlider_, outputs_[0].latency,
                                    outputs_[1].latency}) {
        slider->notifyListener();
    }
}

// ---------------------------------------------------------------------------
// Controls

void PanelSettings::buttonPressed(GUIButton* button) {
    if (!ready_) return;
    if (button == overlay_) {
        application_->showOverlays();
    } else if (button == wma_) {
        showWmaSupport();
        wma_->setUp();
    } else if (button == pmd_) {
        showPmdSettings();
        pmd_->setUp();
    } else if (button == siLabs_) {
        showSiLabsSettings();
        siLabs_->setUp();
    } else if (button == midiOn_) {
        midiOnChanged(true);
    } else if (button == map_) {
        mapPressed();
        map_->setUp();
    } else if (button == generateClock_) {
        generateClockChanged(true);
    } else if (button == active_) {
        activeChanged(true);
    } else if (button == save_) {
        save();
    } else if (button == factory_) {
        factory();
    } else {
        for (int i = 0; i < 2; ++i) {
            const MidiPort& port = midiPorts_[index(i)];
            if (button == port.previous) stepMidiPort(i, -1);
            if (button == port.next) stepMidiPort(i, 1);
            const Output& output = outputs_[index(i)];
            if (button == output.previous) stepDevice(i, -1);
            if (button == output.next) stepDevice(i, 1);
        }
    }
}

void PanelSettings::buttonReleased(GUIButton* button) {
    if (!ready_) return;
    if (button == overlay_) {
        application_->hideOverlays();
    } else if (button == midiOn_) {
        midiOnChanged(false);
    } else if (button == generateClock_) {
        generateClockChanged(false);
    } else if (button == active_) {
        activeChanged(false);
    }
}

void PanelSettings::groupButtonPressed(GUIButtonManager* group, int index) {
    if (!ready_) return;
    if (group == &typeGroup_) {
        typeChosen(index);
    } else if (group == filter_->manager()) {
        application_->setFilterOrder(2 * index + 2);
    }
}

void PanelSettings::sliderChanged(GUISlider* slider, float value) {
    if (slider == kneeSlider_) knee_.store(value * 0.01f, std::memory_order_relaxed);
    if (!ready_) return;
    if (slider == kneeSlider_) {
        application_->setCrossfadeKnee(value * 0.01f);
    } else if (slider == refreshSlider_) {
        application_->setRefreshInterval(1000.0f / value);
    } else if (slider == overlapSlider_) {
        application_->setOverlapMs(value);
    } else if (slider == outputs_[0].latency) {
        latencyChanged(0);
    } else if (slider == outputs_[1].latency) {
        latencyChanged(1);
    }
}

platform::WindowHandle PanelSettings::dialogOwner() const {
    Window* owner = application_->mainWindow();
    return owner != nullptr ? owner->handle() : platform::noWindow;
}

void PanelSettings::showWmaSupport() {
    WmaSupportHandler handler;
    runDialogTemplate(dialogOwner(), wmaDialog, handler);
}

// ---------------------------------------------------------------------------
// Outputs

int PanelSettings::deviceCount(int output) const {
    return devices_->count(usesDirectSound(output) ? AudioDeviceList::Kind::DirectSound
                                                   : AudioDeviceList::Kind::WaveOut);
}

int& PanelSettings::deviceIndex(int output) {
    Output& o = outputs_[index(output)];
    return usesDirectSound(output) ? o.directSoundIndex : o.waveIndex;
}

void PanelSettings::showDeviceName(int output) { outputs_[index(output)].name->setText(deviceName(output)); }

void PanelSettings::reopenOutput(int output) {
    Output& o = outputs_[index(output)];
    o.openedLatency = o.latency->value();
    application_->stopOutputDevice(output);
    application_->openOutputDevice(output, usesDirectSound(output), deviceName(output), o.openedLatency);
    application_->startOutputDevice(output);
    showDeviceName(output);
}

void PanelSettings::closeSecondOutput() {
    application_->stopOutputDevice(1);
    application_->closeOutputDevice(1);
}

void PanelSettings::stepDevice(int output, int step) {
    const int count = deviceCount(output);
    if (count == 0) return;
    int& selected = deviceIndex(output);
    selected = (selected + step + count) % count;
    showDeviceName(output);
    if (output == 0 || active_->isDown()) reopenOutput(output);
}

void PanelSettings::latencyChanged(int output) {
    // The second output is reopened only while it is on, as previous and
    // next do; a drag reopens only when the value really moved.
    const Output& o = outputs_[index(output)];
    if (output == 1 && !active_->isDown()) return;
    if (o.latency->value() == o.openedLatency) return;
    reopenOutput(output);
}

void PanelSettings::typeChosen(int /*type*/) { reopenOutput(0); }

void PanelSettings::activeChanged(bool on) {
    if (on) {
        reopenOutput(1);
    } else {
        closeSecondOutput();
    }
}

// ---------------------------------------------------------------------------
// MIDI

void PanelSettings::controlChange(int controller, int value) {
    if (mapDialog_ != nullptr) {
        for (int entry = 0; entry < mapEntries; ++entry) {
            if (!mapDialog_->checked(mapLearnRadios[index(entry)])) continue;
            reportWindowsError(mapDialog_->setText(mapEdits[index(entry)], std::to_string(controller)), __FILE__,
                               __LINE__);
            return;
        }
        return;  // no row is learning
    }
    const float position = static_cast<float>(value) * 0.007874016f;
    for (int entry = 0; entry < mapEntries; ++entry) {
        if (controllerMap_[index(entry)] != controller) continue;
        application_->mixerParameters()->setPosition(mapParameters[index(entry)], position);
        return;
    }
}

void PanelSettings::showControllerMap() {
    MapHandler handler(*this);
    runDialogTemplate(dialogOwner(), mapDialog, handler);
    mapDialog_ = nullptr;
}

void PanelSettings::openMidiIn() {
    if (midiIn_ != nullptr || midiDevices_->refreshInputs() == 0) return;
    Window* window = application_->mainWindow();
    if (window == nullptr) return;
    const std::string name = midiDevices_->inputName(midiIndices_[0]);
    midiIn_ = std::make_unique<MidiIn>(name.c_str(), this, window);
    midiIn_->start();
}

void PanelSettings::closeMidiIn() { midiIn_.reset(); }  // stops, then closes

void PanelSettings::openMidiOut() {
    if (midiOut_ != nullptr || midiDevices_->refreshOutputs() == 0) return;
    const std::string name = midiDevices_->outputName(midiIndices_[1]);
    midiOut_ = std::make_unique<MidiOut>(name.c_str(), application_);
    midiOut_->start();
}

void PanelSettings::closeMidiOut() {
    if (midiOut_ == nullptr) return;
    midiOut_->stop();
    midiOut_.reset();
}

void PanelSettings::midiOnChanged(bool on) {
    if (on) {
        openMidiIn();
    } else {
        closeMidiIn();
    }
}

void PanelSettings::mapPressed() {
    // Learning needs input, also while the on toggle is up.
    openMidiIn();
    showControllerMap();
    if (!midiOn_->isDown()) closeMidiIn();
}

void PanelSettings::showMidiName(int port) {
    midiNames_[index(port)] = port == 0 ? midiDevices_->inputName(midiIndices_[0])
                                        : midiDevices_->outputName(midiIndices_[1]);
    midiPorts_[index(port)].name->setText(midiNames_[index(port)]);
}

void PanelSettings::stepMidiPort(int port, int step) {
    const int count = port == 0 ? midiDevices_->refreshInputs() : midiDevices_->refreshOutputs();
    if (count == 0) {
        // Nothing to wrap over: the text says so and the device stays.
        showMidiName(port);
        return;
    }
    int& selected = midiIndices_[index(port)];
    selected = ((selected % count) + step + count) % count;
    showMidiName(port);
    if (port == 0 && midiIn_ != nullptr) {
        closeMidiIn();
        openMidiIn();
    } else if (port == 1 && midiOut_ != nullptr) {
        closeMidiOut();
        openMidiOut();
    }
}

void PanelSettings::generateClockChanged(bool on) {
    if (!on) {
        closeMidiOut();
    } else if (midiDevices_->refreshOutputs() == 0) {
        generateClock_->setUp();
    } else {
        openMidiOut();
    }
}

void PanelSettings::factoryMidi() {
    VelkarnStartUpValues3 startUp3;
    VelkarnStartUpValues4 startUp4;
    midiDevices_->validateName(false, startUp4.midiInputDevice);
    midiDevices_->validateName(true, startUp3.midiOutputDevice);
    midiIndices_ = {midiDevices_->inputIndex(startUp4.midiInputDevice),
                    midiDevices_->outputIndex(startUp3.midiOutputDevice)};
    showMidiName(0);
    showMidiName(1);
    std::copy(std::begin(startUp4.controllerNumbers), std::end(startUp4.controllerNumbers), controllerMap_.begin());
    NumberButtonGroup::setButtonState(midiOn_, startUp4.midiInOn);
    closeMidiIn();
    if (startUp4.midiInOn) openMidiIn();
    NumberButtonGroup::setButtonState(generateClock_, startUp3.midiClockOn);
    closeMidiOut();
    if (startUp3.midiClockOn) generateClockChanged(true);
}

// ---------------------------------------------------------------------------
// Controllers

void PanelSettings::applyPmdRecord(const VelkarnStartUpValues6& record, bool started) {
    pmdInUse_ = record.pmdInUse;
    pmdUnit_->setEffects(record.slidersControlEffects);
    PMD1208LS::Readings minimum;
    PMD1208LS::Readings maximum;
    std::copy(std::begin(record.calibrationMinimum), std::end(record.calibrationMinimum), minimum.begin());
    std::copy(std::begin(record.calibrationMaximum), std::end(record.calibrationMaximum), maximum.begin());
    pmdUnit_->setMinimum(minimum);
    pmdUnit_->setMaximum(maximum);
    if (!started) return;
    if (pmdInUse_) {
        pmdUnit_->startThread();
    } else {
        pmdUnit_->stopThread();
    }
}

void PanelSettings::startControllers() {
    if (pmdInUse_) pmdUnit_->startThread();
    siLabsUnit_->startThread();
}

void PanelSettings::showPmdSettings() {
    // The calibration readings are then the only transfers with the unit.
    pmdUnit_->stopThread();
    PMDSettingsDialog dialog(*pmdUnit_, pmdInUse_);
    dialog.run(dialogOwner());
    if (pmdInUse_) pmdUnit_->startThread();
}

void PanelSettings::showSiLabsSettings() {
    SiLabsSettingsDialog dialog;
    dialog.run(dialogOwner());
}

void PanelSettings::factoryControllers() {
    factoryMidi();
    applyPmdRecord(VelkarnStartUpValues6(), true);
}
