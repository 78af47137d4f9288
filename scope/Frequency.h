// A frequency in Hz and its (fractional) MIDI note number, 69 being A at
// 440 Hz, with a seven-character text of note name, octave and hundredths
// of a semitone above the named note: "A  4. 0", "C  4.50". Each of note
// and text is computed only when the Hz value changed since it was last
// computed. One thread at a time.
#ifndef VELKARN_SCOPE_FREQUENCY_H
#define VELKARN_SCOPE_FREQUENCY_H

class Frequency {
public:
    static constexpr int textLength = 7;

    Frequency();
    virtual ~Frequency();

    // Stores max(hz, 1e-6).
    void setHz(float hz);
    float hz() const { return hz_; }
    // Stores the note exactly and the Hz value it stands for.
    void setNote(float note);
    float note();
    // Seven blanks for a note below C 0 (note 12), for an octave that needs
    // more than two digits and for a value that is not finite.
    const char* text();
    // How many times the text was built: it is built again only for a new
    // Hz value.
    int textsBuilt() const { return textsBuilt_; }

private:
    void format();

    float hz_ = 1e-6f;
    float note_ = 0.0f;
    char text_[textLength + 1];
    float hzOfNote_ = 0.0f;  // what note_ was computed for
    float hzOfText_ = 0.0f;  // what text_ was built for
    int textsBuilt_ = 0;
};

#endif
