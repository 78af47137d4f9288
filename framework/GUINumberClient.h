// The listener of a number display: told of every value a drag sets.
#ifndef VELKARN_FRAMEWORK_GUINUMBERCLIENT_H
#define VELKARN_FRAMEWORK_GUINUMBERCLIENT_H

class GUINumber;

class GUINumberClient {
public:
    virtual ~GUINumberClient() = default;
    virtual void valueChanged(GUINumber* /*number*/, float /*value*/) {}
};

#endif
