// A read-out of seven character cells showing a frequency's text (see
// Frequency): in note mode only the nearest note's name and octave, in the
// last four cells, the first three keeping what they show; otherwise the
// whole text. The 25 character images are key prefix + "0" .. "9", "Point",
// "Plus", "Minus", "Exp", "Space", "Default", "A" .. "G", "Sharp" and
// "Bemol", all of the "Point" image's size. User-interface thread only.
#ifndef VELKARN_SCOPE_GUINOTE_H
#define VELKARN_SCOPE_GUINOTE_H

#include "framework/GUIComponent.h"

#include <array>
#include <memory>
#include <string>

class Image;

class GUINote : public GUIComponent {
public:
    static constexpr int cellCount = 7;
    // Image indices of the characters that are not digits or letters.
    enum : int {
        point = 10,
        plus = 11,
        minus = 12,
        exponent = 13,
        space = 14,
        fallback = 15,
        letterA = 16,  // "A" .. "G" are 16 .. 22
        sharp = 23,
        bemol = 24,
        imageCount = 25,
    };

    // Loads the images; stops the program with "Not all character images
    // have the same dimensions." when one differs from "Point". The cells
    // show blanks.
    GUINote(int x, int y, const std::string& keyPrefix, bool noteMode);
    ~GUINote() override;

    void draw(const GUIRectangle& clip) override;

    // Shows the frequency and redraws the read-out.
    void setFrequency(float hz);

    // The image index a character is shown with.
    static int imageIndex(char character);
    int cell(int index) const { return cells_[static_cast<std::size_t>(index)]; }
    int characterWidth() const { return characterWidth_; }
    int characterHeight() const { return characterHeight_; }

private:
    bool noteMode_;
    std::array<std::unique_ptr<Image>, imageCount> images_;
    int characterWidth_ = 0;
    int characterHeight_ = 0;
    std::array<int, cellCount> cells_;
};

#endif
