// The receiver of a MIDI input's short messages (see MidiIn). Every
// notification runs on the user-interface thread; each defaults to doing
// nothing.
#ifndef VELKARN_APP_MIDIINLISTENER_H
#define VELKARN_APP_MIDIINLISTENER_H

class MidiInListener {
public:
    virtual ~MidiInListener() = default;
    // Note and velocity 0..127; velocity is never 0 (that is a noteOff).
    virtual void noteOn(int /*note*/, int /*velocity*/) {}
    virtual void noteOff() {}
    // Any system message (0xF0..0xFF), the timing clock and active sensing
    // among them.
    virtual void systemMessage() {}
    // Controller and value 0..127.
    virtual void controlChange(int /*controller*/, int /*value*/) {}
};

#endif
