// Draws every image of the skin table: the standard look of each kind
// (panels with their group's selector band, buttons, knobs, meters, lamps,
// digit cells), then each row's own decorator.
#ifndef VELKARN_APP_SKIN_SKINART_H
#define VELKARN_APP_SKIN_SKINART_H

#include "app/skin/SkinFont.h"
#include "app/skin/SkinTable.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

class Image;
class SkinPainter;

// One file of the skin: "<key><suffix>" and its picture.
struct SkinImage {
    std::string name;
    std::string key;
    std::string suffix;
    std::unique_ptr<Image> image;
};

class SkinArt {
public:
    // The faces DejaVuSans.ttf and DejaVuSansCondensed-Bold.ttf from the
    // directory; throws
    // std::runtime_error when one cannot be read.
    explicit SkinArt(const std::string& fontDirectory);
    ~SkinArt();

    // Every image of every row, rows in table order, suffixes in their
    // fixed order. What cannot be drawn as asked (a label wider than its
    // place) is added to problems().
    std::vector<SkinImage> paint(const SkinTable& table);
    const std::vector<std::string>& problems() const { return problems_; }
    // Each text once, however many images meet it.
    void problem(const std::string& text);

    // Button and horizontal tab labels (condensed bold, 12 px), small
    // labels and vertical tab labels (condensed bold, 11 px), plain text
    // (12 px).
    const SkinFont& labelFont() const { return *label_; }
    const SkinFont& smallFont() const { return *small_; }
    const SkinFont& plainFont() const { return *plain_; }

    // The lit cells of a meter of that height, bottom first, as (first
    // row, rows); the background's unlit cells use the same places.
    static std::vector<std::pair<int, int>> meterSegments(int height);

    // The table being painted (decorators look up other rows in it).
    const SkinTable& table() const { return *table_; }

private:
    void paintPanel(SkinPainter& painter, const SkinRow& row);
    void paintBand(SkinPainter& painter, const SkinRow& row, const SkinGroup& group);
    void paintButton(SkinPainter& painter, const SkinRow& row, bool down);
    void paintSymbol(SkinPainter& painter, const SkinRow& row, bool down);
    void paintKnob(SkinPainter& painter, const SkinRow& row);
    void paintMeter(SkinPainter& painter, const SkinRow& row);
    void paintIndicator(SkinPainter& painter, const SkinRow& row, const std::string& suffix);
    void paintDigit(SkinPainter& painter, const SkinRow& row, const std::string& suffix);
    // The widest part of the tab [start, end) along the band that no other
    // row's rectangle covers, as (start, end).
    std::pair<int, int> freeSpan(const SkinRow& panel, const SkinGroup& group, int start, int end) const;

    std::unique_ptr<SkinFont> label_;
    std::unique_ptr<SkinFont> small_;
    std::unique_ptr<SkinFont> plain_;
    const SkinTable* table_ = nullptr;
    std::vector<std::string> problems_;
};

#endif
