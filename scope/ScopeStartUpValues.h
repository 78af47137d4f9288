// The scope's settings record "StartUp": eleven little-endian float32
// values (44 bytes) stored as one REG_BINARY value under the key path
// "Software", "Pelgrave Software", "Scope", "1". Flags are stored as 1.0 or
// 0.0 and read as true for anything but 0.0.
//
// Loading never stops the program: failures of the store are logged, and a
// stored value of another type or size is logged and ignored whole, so the
// defaults stay. Values that cannot be used (not finite, or outside their
// control's range) are mended after loading. One thread at a time.
#ifndef VELKARN_SCOPE_SCOPESTARTUPVALUES_H
#define VELKARN_SCOPE_SCOPESTARTUPVALUES_H

class ScopeStartUpValues {
public:
    // The defaults; the high frequency is the Nyquist frequency.
    explicit ScopeStartUpValues(float nyquist);

    // Opens or creates the key path. A newly created path gets the defaults
    // written; otherwise the stored value is read (see above). Then every
    // value that is not finite takes its default and every number is cut
    // into its control's range (frequencies to 0..nyquist).
    void load(float nyquist);
    // Writes the eleven values; a failure is only logged.
    void save() const;

    static bool isOn(float flag) { return flag != 0.0f; }

    float run = 1.0f;
    float trigger = 0.0f;
    float spectrumMode = 0.0f;
    float timeSpanMs = 40.0f;  // 1 .. 1000
    float gainPercent = 100.0f;  // 10 .. 500
    float triggerLevelPercent = 0.0f;  // 0 .. 100
    float refreshIntervalMs = 40.0f;  // 10 .. 1000
    float lowFrequency = 0.0f;  // Hz, 0 .. Nyquist
    float highFrequency;        // Hz, 0 .. Nyquist
    float logFrequencyScale = 1.0f;
    float labelMax = 0.0f;

private:
    void mend(float nyquist);
};

static_assert(sizeof(ScopeStartUpValues) == 44, "the record is stored byte for byte");

#endif
