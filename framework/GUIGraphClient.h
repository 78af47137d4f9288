// The listener of a GUIGraph: the mouse over the graph, with the column and
// row under the pointer (relative to the graph's top-left corner) and the
// two values last given for that column.
#ifndef VELKARN_FRAMEWORK_GUIGRAPHCLIENT_H
#define VELKARN_FRAMEWORK_GUIGRAPHCLIENT_H

class GUIGraph;

class GUIGraphClient {
public:
    virtual ~GUIGraphClient() = default;
    virtual void graphMouseDown(GUIGraph* /*graph*/, int /*column*/, int /*row*/, float /*valueA*/,
                                float /*valueB*/) {}
    virtual void graphMouseUp(GUIGraph* /*graph*/, int /*column*/, int /*row*/, float /*valueA*/, float /*valueB*/) {}
    virtual void graphMouseMove(GUIGraph* /*graph*/, int /*column*/, int /*row*/, float /*valueA*/,
                                float /*valueB*/) {}
    // Once, when the pointer leaves the graph.
    virtual void graphMouseLeave(GUIGraph* /*graph*/) {}
};

#endif
