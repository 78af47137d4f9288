// The listener of a GUITextHorizontal: told of presses on the text.
#ifndef VELKARN_FRAMEWORK_GUITEXTCLIENT_H
#define VELKARN_FRAMEWORK_GUITEXTCLIENT_H

class GUITextHorizontal;

class GUITextClient {
public:
    virtual ~GUITextClient() = default;
    virtual void clicked(GUITextHorizontal* /*text*/, bool /*doubleClick*/) {}
};

#endif
