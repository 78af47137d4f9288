#include "app/skin/SkinChecks.h"

#include "framework/Image.h"

#include <map>
#include <set>

namespace {

std::string size(int width, int height) { return std::to_string(width) + " x " + std::to_string(height); }

std::string place(const SkinRect& r) {
    return "(" + std::to_string(r.x) + ", " + std::to_string(r.y) + ") " + size(r.width, r.height);
}

}  // namespace

std::vector<std::string> checkSkin(const SkinTable& table, const std::vector<SkinImage>& images) {
    std::vector<std::string> problems;
    std::map<std::string, std::vector<const SkinImage*>> byKey;
    for (const SkinImage& image : images) byKey[image.key].push_back(&image);

    std::set<std::string> keys;
    for (const SkinRow& row : table.rows) {
        if (!keys.insert(row.key).second) problems.push_back("The key " + row.key + " has two rows.");
        if (row.width <= 0 || row.height <= 0) {
            problems.push_back("The key " + row.key + " has no size.");
            continue;
        }

        // One size for every image of the key's suffix set, the row's.
        const auto found = byKey.find(row.key);
        if (found == byKey.end() || found->second.size() != skinSuffixes(row.kind).size()) {
            problems.push_back("The images of " + row.key + " were not all drawn.");
        } else {
            for (const SkinImage* image : found->second) {
                if (image->image->width() != row.width || image->image->height() != row.height) {
                    problems.push_back("The images of " + row.key + " differ in size: " + image->name + " is " +
                                       size(image->image->width(), image->image->height()) + ", not " +
                                       size(row.width, row.height) + ".");
                }
            }
        }

        // Inside what it lies on.
        if (!row.parent.empty()) {
            const SkinRow* parent = table.find(row.parent);
            if (!parent) {
                problems.push_back("The key " + row.key + " lies on " + row.parent + ", which has no row.");
            } else {
                const SkinRect area = parent->kind == SkinKind::Background
                                          ? SkinRect{0, 0, parent->width, parent->height}
                                          : parent->rect();
                if (!area.contains(row.rect())) {
                    problems.push_back("The key " + row.key + " at " + place(row.rect()) + " lies outside " +
                                       row.parent + " at " + place(area) + ".");
                }
            }
        }

        // Transparent where it must leave what lies below visible.
        if (found != byKey.end()) {
            for (const SkinRect& clear : row.clear) {
                for (const SkinImage* image : found->second) {
                    int painted = 0;
                    for (int y = clear.y; y < clear.bottom(); ++y) {
                        for (int x = clear.x; x < clear.right(); ++x) {
                            const int u = x - row.x;
                            const int v = y - row.y;
                            if (u < 0 || v < 0 || u >= image->image->width() || v >= image->image->height()) continue;
                            if (image->image->pixelAt(u, v)[3] != 0) ++painted;
                        }
                    }
                    if (painted > 0) {
                        problems.push_back(image->name + " paints " + std::to_string(painted) +
                                           " pixels over " + place(clear) + ", which must stay visible.");
                    }
                }
            }
        }

        if (row.kind == SkinKind::Panel && !table.findGroup(row.group)) {
            problems.push_back("The panel " + row.key + " names the group \"" + row.group + "\", which has no row.");
        }
    }

    // Panels of one group: one size.
    for (const SkinGroup& group : table.groups) {
        const std::vector<const SkinRow*> panels = table.panels(group.name);
        if (panels.empty()) {
            problems.push_back("The group \"" + group.name + "\" has no panels.");
            continue;
        }
        for (const SkinRow* panel : panels) {
            if (panel->width != panels[0]->width || panel->height != panels[0]->height) {
                problems.push_back("The panels of \"" + group.name + "\" differ in size: " + panel->key + " is " +
                                   size(panel->width, panel->height) + ", " + panels[0]->key + " " +
                                   size(panels[0]->width, panels[0]->height) + ".");
            }
        }
    }
    return problems;
}
