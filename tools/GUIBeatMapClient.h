// What a beat map tells its owner: the wheel turned over the map.
#ifndef VELKARN_TOOLS_GUIBEATMAPCLIENT_H
#define VELKARN_TOOLS_GUIBEATMAPCLIENT_H

class GUIBeatMap;

class GUIBeatMapClient {
public:
    virtual ~GUIBeatMapClient() = default;
    // Signed number of notches, positive away from the user.
    virtual void beatMapWheel(GUIBeatMap* /*beatMap*/, int /*notches*/) {}
};

#endif
