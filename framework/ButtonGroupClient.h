#ifndef VELKARN_FRAMEWORK_BUTTONGROUPCLIENT_H
#define VELKARN_FRAMEWORK_BUTTONGROUPCLIENT_H

class GUIButtonManager;

class ButtonGroupClient {
public:
    virtual ~ButtonGroupClient() = default;
    // Which button of a radio group was chosen.
    virtual void groupButtonPressed(GUIButtonManager* /*group*/, int /*index*/) {}
};

#endif
