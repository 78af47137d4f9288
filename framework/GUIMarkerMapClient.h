#ifndef VELKARN_FRAMEWORK_GUIMARKERMAPCLIENT_H
#define VELKARN_FRAMEWORK_GUIMARKERMAPCLIENT_H

class GUIMarkerMap;

class GUIMarkerMapClient {
public:
    virtual ~GUIMarkerMapClient() = default;
    // True: a click adds or removes a marker (markerEdited follows);
    // false: a click only reports the position (markerClicked).
    virtual bool isEditable(GUIMarkerMap* /*markerMap*/) { return false; }
    virtual void markerEdited(GUIMarkerMap* /*markerMap*/, int /*position*/) {}
    virtual void markerClicked(GUIMarkerMap* /*markerMap*/, int /*position*/) {}
};

#endif
