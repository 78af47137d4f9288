// The transparent layer over a beat map: the song as rows of beats, its set
// beats drawn as clickable marker images and its generated beats as thin
// yellow lines, and a pointer image at the playing position. When the
// client allows editing, a click on a set beat removes it and a click on an
// empty place adds one; otherwise clicks only report the sample position.
// The layout can also be rendered, unscrolled, into an image for export.
// Markers added since the last layout are neither drawn nor hit.
#ifndef VELKARN_FRAMEWORK_GUIMARKERMAP_H
#define VELKARN_FRAMEWORK_GUIMARKERMAP_H

#include "framework/GUIComponent.h"

#include <memory>
#include <string>
#include <vector>

class GUIMarkerMapClient;
class Image;
class ImageHolder;

class GUIMarkerMap : public GUIComponent {
public:
    static constexpr int maximumMarkers = 10000;

    struct Marker {
        bool on;       // a set beat (image) or a generated one (line)
        int position;  // sample position in the song
        int x = 0;     // screen position from the last layout
        int y = 0;
        bool placed = false;  // laid out since it was added
    };

    // The marker image is the key itself, its hit mask key + "Mask" and the
    // pointer key + "Pointer", all of one size. Stops the program with
    // "Border too small." (a border below half the marker's width or
    // height) or when a mask or pointer differs in size.
    GUIMarkerMap(int x, int y, int width, int height, int border, int samplesPerColumn, const std::string& imageKey,
                 GUIMarkerMapClient* client);
    ~GUIMarkerMap() override;

    void clear() { markers_.clear(); }
    // With 10000 markers present, logs "Too many markers." and drops it.
    void addMarker(bool on, int position);
    // "Invalid marker index." for an index outside the markers.
    void removeMarker(int index);
    // Places the rows and every marker and redraws; nothing for an empty
    // song (or a tempo, row or beat count that gives no rows).
    void layout(int rowHeight, float scroll, float tempo, int beatsPerRow, int totalSamples, bool twoValuesPerColumn);
    // The markers of the whole song, unscrolled, into the image.
    void renderTo(Image& image);
    void showPointer();
    void hidePointer();
    void setPointerPosition(int samplePosition);

    void draw(const GUIRectangle& clip) override;
    void mouseDown(const GUIPoint& point, bool doubleClick) override;

    int count() const { return static_cast<int>(markers_.size()); }
    const Marker& marker(int index) const { return markers_[static_cast<std::size_t>(index)]; }
    bool isLaidOut() const { return laidOut_; }
    int samplesPerRow() const { return samplesPerRow_; }
    int scrollPixels() const { return scrollPixels_; }
    GUIPoint pointer() const { return pointer_; }
    bool isPointerVisible() const { return pointerVisible_; }

private:
    GUIRectangle innerArea() const { return GUIRectangle(x0 + border_, y0 + border_, x1 - border_, y1 - border_); }
    GUIRectangle imageRectangle(int x, int y) const;
    // The pointer image's rectangle within the map; false when outside it.
    bool pointerArea(GUIRectangle& area) const;
    void redrawPointer();

    int border_;
    int samplesPerColumn_;
    GUIMarkerMapClient* client_;
    std::unique_ptr<Image> markerImage_;
    std::unique_ptr<ImageHolder> mask_;
    std::unique_ptr<Image> pointerImage_;
    int halfWidth_ = 0;
    int halfHeight_ = 0;
    std::vector<Marker> markers_;
    bool laidOut_ = false;
    int rowHeight_ = 1;
    int scrollPixels_ = 0;
    int samplesPerRow_ = 0;
    bool pointerVisible_ = false;
    GUIPoint pointer_;
    bool twoValuesPerColumn_ = false;
};

#endif
