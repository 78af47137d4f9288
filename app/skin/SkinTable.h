// The skin's table: one row per image key of the program, with what the
// generator draws for it and where the program places it. Rows are data;
// the look of each kind is SkinArt's, and a row may add its own drawing
// (a decorator) over that look: a panel's owner paints its controls'
// tracks and labels that way.
#ifndef VELKARN_APP_SKIN_SKINTABLE_H
#define VELKARN_APP_SKIN_SKINTABLE_H

#include <string>
#include <vector>

class SkinArt;
class SkinPainter;
struct SkinRow;

// What a key is and so which images it has (the suffixes the framework's
// loaders add to the key):
//   Background, Panel, Image, Meter: the key alone;
//   Button: Up, Down, Mask;  Slider: Slider, Mask;
//   Indicator: On, Off, Disabled;
//   DigitSet: 0 .. 9, Point, Plus, Minus, Exp, Space, Default, one cell size.
enum class SkinKind { Background, Panel, Image, Button, Slider, Meter, Indicator, DigitSet };

// A drawn symbol in place of (or beside) a button's label.
enum class SkinSymbol { None, ZoomIn, ZoomOut, Play };

// A rectangle in window coordinates.
struct SkinRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    int right() const { return x + width; }
    int bottom() const { return y + height; }
    bool contains(const SkinRect& other) const {
        return other.x >= x && other.y >= y && other.right() <= right() && other.bottom() <= bottom();
    }
    bool meets(const SkinRect& other) const {
        return other.x < right() && x < other.right() && other.y < bottom() && y < other.bottom();
    }
};

// Extra drawing over a row's standard look. `image` is the row's image of
// the given suffix ("" for single images); (0, 0) is the row's top-left.
using SkinDecorator = void (*)(SkinArt& art, SkinPainter& painter, const SkinRow& row, const std::string& suffix);

struct SkinRow {
    SkinKind kind = SkinKind::Image;
    std::string key;
    // The image size (for a digit set, one cell).
    int width = 0;
    int height = 0;
    // Where the program puts it, in window coordinates.
    int x = 0;
    int y = 0;
    // The key of the background or panel it lies on; empty for a window's
    // background. A digit set's parent is empty too (it has no one place).
    std::string parent;
    // A button's or indicator's label; a panel's tab label.
    std::string label;
    SkinSymbol symbol = SkinSymbol::None;
    // Panels: the name of their group.
    std::string group;
    // Areas (window coordinates) where every pixel must stay transparent,
    // e.g. what an image laid over other components must leave visible.
    std::vector<SkinRect> clear;
    SkinDecorator decorate = nullptr;

    // Sliders: the track the knob travels along (the component's size);
    // the knob image is width x height.
    int trackWidth = 0;
    int trackHeight = 0;

    // Where it lies in its window: the image's rectangle, a slider's track.
    SkinRect rect() const {
        return kind == SkinKind::Slider ? SkinRect{x, y, trackWidth, trackHeight} : SkinRect{x, y, width, height};
    }
};

// A row of the given kind, size and place on its parent image.
SkinRow skinRow(SkinKind kind, const std::string& key, int width, int height, int x, int y,
                const std::string& parent, const std::string& label = {});

// A panel group: its panels are the Panel rows naming it, as tabs in table
// order; the band (part of every panel's image) is `band` pixels along the
// top (horizontal) or left edge (vertical), divided as the group divides
// clicks: tab i starts at the first pixel p with p * count / length == i.
struct SkinGroup {
    std::string name;
    bool vertical = false;
    int band = 0;
};

struct SkinTable {
    std::vector<SkinGroup> groups;
    std::vector<SkinRow> rows;

    const SkinRow* find(const std::string& key) const;
    const SkinGroup* findGroup(const std::string& name) const;
    // The panel rows of the group, in tab order.
    std::vector<const SkinRow*> panels(const std::string& group) const;
};

// The suffixes a kind writes, in a fixed order ("" for the key alone).
const std::vector<std::string>& skinSuffixes(SkinKind kind);

// Tab i of `count` over `length` pixels: its first pixel and its size.
int skinTabStart(int index, int count, int length);

// The program's skin.
const SkinTable& skinTable();

#endif
