#ifndef VELKARN_FRAMEWORK_GUIBEATMAPCLIENT_H
#define VELKARN_FRAMEWORK_GUIBEATMAPCLIENT_H

class GUIBeatMap;

class GUIBeatMapClient {
public:
    virtual ~GUIBeatMapClient() = default;
    virtual void beatMapWheel(GUIBeatMap* /*beatMap*/, int /*notches*/) {}
};

#endif
