// The settings panel: six sub-panels (various, sound, browser, MIDI, main
// output, second output) in a group of their own, showing the settings
// records StartUp to StartUp6 as controls. A change is applied at once
// through the application interface, but only once activate has run (the
// application calls it when everything is built): before that the
// controls keep their state and nobody is told. save writes the records,
// factory applies the defaults without writing them.
//
// The panel owns the MIDI input and the MIDI clock output and is the
// input's listener: control changes move the mixer through the controller
// map, which the dialog "CC Map [Midi In]" edits and learns. It also owns
// the two USB controllers, created with the panel (the PMD-1208LS with the
// calibration and effects flag of StartUp6) and started by activate: the
// SiLabs unit always, the PMD-1208LS while "Use the PMD" is set.
#ifndef VELKARN_APP_PANELSETTINGS_H
#define VELKARN_APP_PANELSETTINGS_H

#include "app/MidiInListener.h"
#include "app/VelkarnStartUpValues.h"
#include "app/VelkarnStartUpValues2.h"
#include "app/VelkarnStartUpValues3.h"
#include "app/VelkarnStartUpValues4.h"
#include "app/VelkarnStartUpValues5.h"
#include "app/VelkarnStartUpValues6.h"
#include "framework/ButtonClient.h"
#include "framework/ButtonGroupClient.h"
#include "framework/GUIButtonManager.h"
#include "framework/GUIPanel.h"
#include "framework/SliderClient.h"
#include "platform/Messages.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

class ApplicationInterface;
class AudioDeviceList;
class GUIButton;
class GUINumberSlider;
class GUIPanelGroup;
class GUIPanelGroupHorizontal;
class GUITextHorizontal;
class MidiDeviceList;
class MidiIn;
class MidiOut;
class NumberButtonGroup;
class PMD1208LS;
class SiLabs;
namespace platform {
class Dialog;
}

class PanelSettings : public GUIPanel,
                      public ButtonClient,
                      public ButtonGroupClient,
                      public SliderClient,
                      public MidiInListener {
public:
    enum SubPanel : int { various, sound, browser, midi, audio1, audio2, subPanelCount };

    // Dialog "WMA Support": its template, its text and its download button.
    static constexpr int wmaDialog = 112;
    static constexpr int wmaTextControl = 1038;
    static constexpr int wmaDownloadButton = 1037;
    static constexpr const char* wmaDownloadPage = "https://ffmpeg.org/download.html";
    static constexpr const char* wmaSupported = "WMA is supported.";
    static constexpr const char* wmaRebootFirst = "WMA is not yet supported. You have to reboot first.";
    static constexpr const char* wmaDownloadFirst =
        "WMA is not yet supported. You have to download and install the Microsoft library. Be sure to quit all "
        "applications before executing the installer.";

    // Dialog "CC Map [Midi In]": per map entry its edit, its Learn radio and
    // the mixer parameter it moves.
    static constexpr int mapDialog = 109;
    static constexpr int mapEntries = 10;
    static constexpr std::array<int, mapEntries> mapEdits = {1013, 1014, 1015, 1017, 1019,
                                                             1021, 1016, 1018, 1020, 1022};
    static constexpr std::array<int, mapEntries> mapLearnRadios = {1023, 1024, 1025, 1027, 1029,
                                                                   1031, 1026, 1028, 1030, 1032};
    static constexpr std::array<int, mapEntries> mapParameters = {0, 1, 2, 3, 4, 6, 7, 8, 9, 11};
    using ControllerMap = std::array<std::int32_t, mapEntries>;

    // The records are copied; the device lists are not owned.
    PanelSettings(GUIPanelGroup* group, ApplicationInterface* application, const VelkarnStartUpValues& startUp,
                  const VelkarnStartUpValues2& startUp2, const VelkarnStartUpValues3& startUp3,
                  const VelkarnStartUpValues4& startUp4, const VelkarnStartUpValues5& startUp5,
                  const VelkarnStartUpValues6& startUp6, AudioDeviceList* devices, MidiDeviceList* midiDevices);
    ~PanelSettings() override;

    // The crossfade knee: the knee slider's value x 0.01. Any thread (the
    // output thread reads it for every block).
    float deckGain() const { return knee_.load(std::memory_order_relaxed); }
    // The knee slider moved there (knee x 100), without telling anyone.
    void setDeckGain(float knee);
    bool isExitOnLoad() const;

    // The late set-up once the application is complete: the controllers'
    // reader threads and the MIDI devices the records ask for, then the
    // panel takes changes.
    void activate();
    bool isReady() const { return ready_; }
    // Every slider tells its value (ignored before activate).
    void refresh();

    // Writes StartUp .. StartUp6 from the controls and the live devices.
    void save();
    // Applies the default records without writing them.
    void factory();
    // Runs the dialog "WMA Support" over the main window.
    void showWmaSupport();
    // Stops the PMD-1208LS reader, runs "PMD Settings" over the main window,
    // then starts the reader again when "Use the PMD" is set.
    void showPmdSettings();
    // Runs "SiLabs Settings" over the main window.
    void showSiLabsSettings();
    // Runs the dialog "CC Map [Midi In]" over the main window.
    void showControllerMap();

    // MidiInListener, on the user-interface thread. While the map dialog is
    // open nothing moves: the number goes into the row whose Learn radio is
    // chosen, or nowhere. Otherwise the first map entry equal to the
    // controller sets its parameter's position to value / 127.
    void controlChange(int controller, int value) override;
    const ControllerMap& controllerMap() const { return controllerMap_; }
    // The open input and clock output (null when off).
    MidiIn* midiIn() const { return midiIn_.get(); }
    MidiOut* midiOut() const { return midiOut_.get(); }
    // The USB controllers (never null) and the use-the-PMD setting.
    PMD1208LS* pmd() const { return pmdUnit_.get(); }
    SiLabs* siLabs() const { return siLabsUnit_.get(); }
    bool isPmdInUse() const { return pmdInUse_; }
    // MIDI input (0) or output (1): the selected device's index and name.
    int midiIndex(int port) const { return midiIndices_[index(port)]; }
    const std::string& midiName(int port) const { return midiNames_[index(port)]; }

    // The record texts the controls stand for (save builds them so).
    VelkarnStartUpValues startUpRecord() const;
    VelkarnStartUpValues2 startUp2Record() const;
    VelkarnStartUpValues3 startUp3Record() const;
    VelkarnStartUpValues4 startUp4Record() const;
    VelkarnStartUpValues5 startUp5Record() const;
    VelkarnStartUpValues6 startUp6Record() const;

    void buttonPressed(GUIButton* button) override;
    void buttonReleased(GUIButton* button) override;
    void groupButtonPressed(GUIButtonManager* group, int index) override;
    void sliderChanged(GUISlider* slider, float value) override;

    // Components, for tests and screens.
    GUIPanelGroupHorizontal* subPanels() const { return subPanels_; }
    GUINumberSlider* kneeSlider() const { return kneeSlider_; }
    GUINumberSlider* refreshSlider() const { return refreshSlider_; }
    GUINumberSlider* overlapSlider() const { return overlapSlider_; }
    GUINumberSlider* latencySlider(int output) const { return outputs_[index(output)].latency; }
    const NumberButtonGroup& filterButtons() const { return *filter_; }
    GUIButton* overlayButton() const { return overlay_; }
    GUIButton* wmaButton() const { return wma_; }
    GUIButton* pmdButton() const { return pmd_; }
    GUIButton* siLabsButton() const { return siLabs_; }
    GUIButton* exitOnLoadButton() const { return exitOnLoad_; }
    GUIButton* midiOnButton() const { return midiOn_; }
    GUIButton* mapButton() const { return map_; }
    GUIButton* generateClockButton() const { return generateClock_; }
    // MIDI input (0) or output (1): previous and next.
    GUIButton* midiPreviousButton(int port) const { return midiPorts_[index(port)].previous; }
    GUIButton* midiNextButton(int port) const { return midiPorts_[index(port)].next; }
    GUITextHorizontal* midiNameText(int port) const { return midiPorts_[index(port)].name; }
    GUIButton* typeButton(int type) const { return types_[index(type)]; }
    GUIButton* activeButton() const { return active_; }
    GUIButton* previousButton(int output) const { return outputs_[index(output)].previous; }
    GUIButton* nextButton(int output) const { return outputs_[index(output)].next; }
    GUITextHorizontal* deviceText(int output) const { return outputs_[index(output)].name; }
    GUIButton* saveButton() const { return save_; }
    GUIButton* factoryButton() const { return factory_; }

    // The main output's type (0 waveOut, 1 DirectSound) and an output's
    // selected device name.
    int outputType() const;
    std::string deviceName(int output) const;
    // The entries of the list an output chooses from.
    int deviceCount(int output) const;

private:
    struct Output {
        GUINumberSlider* latency = nullptr;
        GUIButton* previous = nullptr;
        GUIButton* next = nullptr;
        GUITextHorizontal* name = nullptr;
        int waveIndex = 0;
        int directSoundIndex = 0;
        float openedLatency = 0.0f;  // the latency the output was last opened with
    };
    struct MidiPort {
        GUIButton* previous = nullptr;
        GUIButton* next = nullptr;
        GUITextHorizontal* name = nullptr;
    };

    static std::size_t index(int i) { return static_cast<std::size_t>(i); }

    void build(const VelkarnStartUpValues& startUp, const VelkarnStartUpValues2& startUp2,
               const VelkarnStartUpValues3& startUp3, const VelkarnStartUpValues4& startUp4,
               const VelkarnStartUpValues5& startUp5);
    GUIButton* addButton(GUIPanel* panel, int x, int y, const std::string& word, int mode, bool down);
    GUINumberSlider* addNumberSlider(GUIPanel* panel, int x, int y, float value, float minimum, float maximum,
                                     bool linear);
    GUITextHorizontal* addNameText(GUIPanel* panel, int x, int y, const std::string& text);
    // The main window's handle for the modal dialogs (none without it).
    platform::WindowHandle dialogOwner() const;

    // ---- Outputs -------------------------------------------------------------
    // Output 1 always uses the waveOut list.
    bool usesDirectSound(int output) const { return output == 0 && outputType() == 1; }
    int& deviceIndex(int output);
    void reopenOutput(int output);
    void closeSecondOutput();
    void stepDevice(int output, int step);
    void latencyChanged(int output);
    void typeChosen(int type);
    void activeChanged(bool on);
    void showDeviceName(int output);

    // ---- MIDI ----------------------------------------------------------------
    class MapHandler;
    void midiOnChanged(bool on);
    void mapPressed();
    void stepMidiPort(int port, int step);
    void generateClockChanged(bool on);
    // The input opens only when inputs exist and the application has a
    // window; the clock output only when outputs exist.
    void openMidiIn();
    void closeMidiIn();
    void openMidiOut();
    void closeMidiOut();
    void showMidiName(int port);
    void factoryMidi();

    // ---- Controllers -----------------------------------------------------------
    // StartUp6's use, effects flag and calibration onto the PMD-1208LS, its
    // reader started or stopped to match when started is set.
    void applyPmdRecord(const VelkarnStartUpValues6& record, bool started);
    void startControllers();
    // The MIDI devices, the map and the controllers back to their defaults.
    void factoryControllers();

    ApplicationInterface* application_;
    AudioDeviceList* devices_;
    MidiDeviceList* midiDevices_;
    bool ready_ = false;
    std::atomic<float> knee_;

    // What save writes as loaded: StartUp2's path.
    VelkarnStartUpValues2 keptStartUp2_;

    ControllerMap controllerMap_{};
    std::array<int, 2> midiIndices_{};
    std::array<std::string, 2> midiNames_;
    std::unique_ptr<MidiIn> midiIn_;
    std::unique_ptr<MidiOut> midiOut_;
    platform::Dialog* mapDialog_ = nullptr;  // while "CC Map [Midi In]" is open
    std::unique_ptr<PMD1208LS> pmdUnit_;
    std::unique_ptr<SiLabs> siLabsUnit_;
    bool pmdInUse_ = false;  // "Use the PMD"

    GUIPanelGroupHorizontal* subPanels_ = nullptr;
    GUINumberSlider* kneeSlider_ = nullptr;
    GUINumberSlider* refreshSlider_ = nullptr;
    GUINumberSlider* overlapSlider_ = nullptr;
    std::unique_ptr<NumberButtonGroup> filter_;
    GUIButton* overlay_ = nullptr;
    GUIButton* wma_ = nullptr;
    GUIButton* pmd_ = nullptr;
    GUIButton* siLabs_ = nullptr;
    GUIButton* exitOnLoad_ = nullptr;
    GUIButton* midiOn_ = nullptr;
    GUIButton* map_ = nullptr;
    GUIButton* generateClock_ = nullptr;
    std::array<MidiPort, 2> midiPorts_{};
    std::array<GUIButton*, 2> types_{};
    GUIButtonManager typeGroup_;
    GUIButton* active_ = nullptr;
    std::array<Output, 2> outputs_{};
    GUIButton* save_ = nullptr;
    GUIButton* factory_ = nullptr;
};

#endif
