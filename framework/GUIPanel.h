// The container component: a background image from the archive and up to
// 1000 children that it owns, drawn in the order added (later ones over
// earlier ones). An opaque panel copies its background, which marks the
// area for the next present; a non-opaque one blends it over what lies
// below. Every mouse call goes to every child.
#ifndef VELKARN_FRAMEWORK_GUIPANEL_H
#define VELKARN_FRAMEWORK_GUIPANEL_H

#include "framework/GUIComponent.h"

#include <memory>
#include <string>
#include <vector>

class Image;

class GUIPanel : public GUIComponent {
public:
    static constexpr int maximumChildren = 1000;

    // The rectangle is (x, y) and the size of the background image
    // Image(backgroundKey, false), whose texts are thrown on.
    GUIPanel(int x, int y, const std::string& backgroundKey, bool opaque);
    // Deletes the children in the order added, then the background.
    ~GUIPanel() override;

    // Takes the child and attaches it to this panel's window (possibly still
    // none: attaching the panel attaches its children). The 1001st stops the
    // program with "Maximum number of GUI components reached.".
    void add(GUIComponent* child);

    void attach(Window* window) override;
    void draw(const GUIRectangle& clip) override;
    void mouseDown(const GUIPoint& point, bool doubleClick) override;
    void mouseUp(const GUIPoint& point) override;
    void mouseMove(const GUIPoint& point) override;
    void mouseWheel(const GUIPoint& point, int notches) override;
    void mouseLeave() override;

    int count() const { return static_cast<int>(children_.size()); }
    GUIComponent* child(int index) const { return children_[static_cast<std::size_t>(index)]; }
    Image* background() const { return background_.get(); }
    bool isOpaque() const { return opaque_; }

private:
    std::unique_ptr<Image> background_;
    bool opaque_;
    std::vector<GUIComponent*> children_;
};

#endif
