// The listener of a deck strip: a press and a release at a sample position
// of the mix's timeline.
#ifndef VELKARN_APP_GUISTRIPCLIENT_H
#define VELKARN_APP_GUISTRIPCLIENT_H

#include <cstdint>

class GUIStrip;

class GUIStripClient {
public:
    virtual ~GUIStripClient() = default;
    virtual void stripClicked(GUIStrip* /*strip*/, std::int64_t /*position*/) {}
    virtual void stripReleased(GUIStrip* /*strip*/, std::int64_t /*position*/) {}
};

#endif
