#include "app/skin/SkinArt.h"

#include "app/skin/SkinPainter.h"
#include "app/skin/SkinPalette.h"
#include "framework/Image.h"

#include <algorithm>
#include <cmath>

namespace palette = skin_palette;

namespace {

float buttonRadius(const SkinRow& row) {
    return std::min(7.0f, static_cast<float>(std::min(row.width, row.height)) / 4.0f);
}

// The character a digit image shows.
std::string digitText(const std::string& suffix) {
    if (suffix == "Point") return ".";
    if (suffix == "Plus") return "+";
    if (suffix == "Minus") return "-";
    if (suffix == "Exp") return "e";
    if (suffix == "Space") return "";
    if (suffix == "Default") return "#";
    return suffix;
}

}  // namespace

SkinArt::SkinArt(const std::string& fontDirectory)
    : label_(std::make_unique<SkinFont>(fontDirectory + "/DejaVuSansCondensed-Bold.ttf", 12)),
      small_(std::make_unique<SkinFont>(fontDirectory + "/DejaVuSansCondensed-Bold.ttf", 11)),
      plain_(std::make_unique<SkinFont>(fontDirectory + "/DejaVuSans.ttf", 12)) {}

SkinArt::~SkinArt() = default;

void SkinArt::problem(const std::string& text) {
    if (std::find(problems_.begin(), problems_.end(), text) == problems_.end()) problems_.push_back(text);
}

std::vector<SkinImage> SkinArt::paint(const SkinTable& table) {
    table_ = &table;
    std::vector<SkinImage> images;
    for (const SkinRow& row : table.rows) {
        for (const std::string& suffix : skinSuffixes(row.kind)) {
            auto image = std::make_unique<Image>(row.width, row.height, 0, 0, 0, 0);
            SkinPainter painter(*image);
            bool decorate = true;
            switch (row.kind) {
            case SkinKind::Background:
                painter.fillRect(0, 0, static_cast<float>(row.width), static_cast<float>(row.height),
                                 Gradient{palette::chromeTop, palette::chromeBottom, 0,
                                          static_cast<float>(row.height)});
                break;
            case SkinKind::Panel:
                paintPanel(painter, row);
                break;
            case SkinKind::Image:
                break;
            case SkinKind::Button:
                if (suffix == "Mask") {
                    painter.maskRoundRect(0, 0, static_cast<float>(row.width), static_cast<float>(row.height),
                                          buttonRadius(row));
                    decorate = false;
                } else {
                    paintButton(painter, row, suffix == "Down");
                }
                break;
            case SkinKind::Slider:
                if (suffix == "Mask") {
                    painter.maskRoundRect(0, 0, static_cast<float>(row.width), static_cast<float>(row.height), 3);
                    decorate = false;
                } else {
                    paintKnob(painter, row);
                }
                break;
            case SkinKind::Meter:
                paintMeter(painter, row);
                break;
            case SkinKind::Indicator:
                paintIndicator(painter, row, suffix);
                break;
            case SkinKind::DigitSet:
                paintDigit(painter, row, suffix);
                break;
            }
            if (decorate && row.decorate) row.decorate(*this, painter, row, suffix);
            images.push_back({row.key + suffix, row.key, suffix, std::move(image)});
        }
    }
    table_ = nullptr;
    return images;
}

std::vector<std::pair<int, int>> SkinArt::meterSegments(int height) {
    // Cells of 4 rows with 2-row gaps, counted from the bottom edge.
    std::vector<std::pair<int, int>> segments;
    for (int bottom = height - 1; bottom - 4 >= 0; bottom -= 6) segments.emplace_back(bottom - 3, 4);
    return segments;
}

void SkinArt::paintPanel(SkinPainter& painter, const SkinRow& row) {
    const float width = static_cast<float>(row.width);
    const float height = static_cast<float>(row.height);
    painter.fillRect(0, 0, width, height, Gradient{palette::panelTop, palette::panelBottom, 0, height});
    painter.strokeRoundRect(0, 0, width, height, 0, 1, palette::panelEdge);
    if (const SkinGroup* group = table_->findGroup(row.group)) paintBand(painter, row, *group);
}

// The background a row lies on, through its parents; null for rows that
// have no one place (digit sets, character images).
static const SkinRow* windowOf(const SkinTable& table, const SkinRow& row) {
    const SkinRow* at = &row;
    for (int depth = 0; at != nullptr && depth < 16; ++depth) {
        if (at->kind == SkinKind::Background) return at;
        if (at->parent.empty()) return nullptr;
        at = table.find(at->parent);
    }
    return nullptr;
}

std::pair<int, int> SkinArt::freeSpan(const SkinRow& panel, const SkinGroup& group, int start, int end) const {
    const SkinRect band = group.vertical ? SkinRect{panel.x, panel.y, group.band, panel.height}
                                         : SkinRect{panel.x, panel.y, panel.width, group.band};
    std::vector<std::pair<int, int>> taken;
    for (const SkinRow& other : table_->rows) {
        if (&other == &panel || other.kind == SkinKind::Background || other.kind == SkinKind::DigitSet) continue;
        if (other.kind == SkinKind::Panel && other.group == panel.group) continue;
        // Rows of other windows cover nothing here.
        if (windowOf(*table_, other) != windowOf(*table_, panel)) continue;
        if (other.key == panel.parent || !other.rect().meets(band)) continue;
        // Only what lies beside the panel or on it can cover its tabs.
        if (other.parent != panel.parent && other.parent != panel.key) continue;
        // Panels that merely contain the band are its surroundings.
        if (other.rect().contains(band)) continue;
        if (group.vertical) {
            taken.emplace_back(other.y - panel.y - 3, other.rect().bottom() - panel.y + 3);
        } else {
            taken.emplace_back(other.x - panel.x - 3, other.rect().right() - panel.x + 3);
        }
    }
    std::sort(taken.begin(), taken.end());
    std::pair<int, int> best{start, start};
    int from = start;
    for (const auto& [a, b] : taken) {
        if (b <= from) continue;
        if (a >= end) break;
        if (a - from > best.second - best.first) best = {from, a};
        from = std::max(from, b);
    }
    if (end - from > best.second - best.first) best = {from, end};
    return best;
}

void SkinArt::paintBand(SkinPainter& painter, const SkinRow& row, const SkinGroup& group) {
    const std::vector<const SkinRow*> panels = table_->panels(group.name);
    const int count = static_cast<int>(panels.size());
    const int length = group.vertical ? row.height : row.width;
    const float band = static_cast<float>(group.band);
    if (group.vertical) {
        painter.fillRect(0, 0, band, static_cast<float>(row.height), palette::band);
    } else {
        painter.fillRect(0, 0, static_cast<float>(row.width), band, palette::band);
    }
    for (int i = 0; i < count; ++i) {
        const SkinRow& tab = *panels[static_cast<std::size_t>(i)];
        const bool lit = &tab == &row || tab.key == row.key;
        const int start = skinTabStart(i, count, length);
        const int end = skinTabStart(i + 1, count, length);
        const float a = static_cast<float>(start) + 2;
        const float size = static_cast<float>(end - start) - 4;
        const Color face = lit ? palette::panelTop : palette::tab;
        // A lit tab runs into the body (no edge between them).
        if (group.vertical) {
            const float reach = lit ? band + 2 : band - 3;
            painter.fillRoundRect(3, a, reach - 3, size, 5, lit ? palette::panelEdge : palette::tabEdge);
            painter.fillRoundRect(4, a + 1, reach - 4 + (lit ? 1.0f : -1.0f), size - 2, 4, face);
            if (lit) painter.fillRoundRect(5, a + 4, 3, size - 8, 1.5f, palette::accent);
        } else {
            const float reach = lit ? band + 2 : band - 3;
            painter.fillRoundRect(a, 3, size, reach - 3, 5, lit ? palette::panelEdge : palette::tabEdge);
            painter.fillRoundRect(a + 1, 4, size - 2, reach - 4 + (lit ? 1.0f : -1.0f), 4, face);
            if (lit) painter.fillRoundRect(a + 6, 5, size - 12, 3, 1.5f, palette::accent);
        }
        if (tab.label.empty()) continue;
        const Color ink = lit ? palette::label : palette::labelDim;
        const SkinFont& font = group.vertical ? smallFont() : labelFont();
        const SkinFont::Extent extent = font.measure(tab.label);
        const int textWidth = extent.right - extent.left;
        if (group.vertical) {
            if (textWidth + 8 > group.band) {
                problem("The tab label \"" + tab.label + "\" of " + tab.key + " is wider than its band.");
            }
            font.drawCentred(painter, tab.label, (band + 5) / 2, (static_cast<float>(start + end)) / 2, ink);
        } else {
            const auto [from, to] = freeSpan(row, group, start + 2, end - 2);
            if (textWidth + 8 > to - from) {
                problem("The tab label \"" + tab.label + "\" of " + tab.key + " does not fit beside what covers its tab.");
            }
            font.drawCentred(painter, tab.label, static_cast<float>(from + to) / 2, (band + 5) / 2, ink);
        }
    }
}

void SkinArt::paintButton(SkinPainter& painter, const SkinRow& row, bool down) {
    const float width = static_cast<float>(row.width);
    const float height = static_cast<float>(row.height);
    const float radius = buttonRadius(row);
    painter.fillRoundRect(0, 0, width, height, radius, palette::raisedEdge);
    if (down) {
        painter.fillRoundRect(1, 1, width - 2, height - 2, radius - 1,
                              Gradient{palette::accentDark, Color{18, 78, 108, 255}, 1, height - 1});
        painter.fillRect(radius, 1, width - 2 * radius, 1, Color{0, 0, 0, 90});
        painter.strokeRoundRect(1, 1, width - 2, height - 2, radius - 1, 1, Color{56, 182, 236, 160});
    } else {
        painter.fillRoundRect(1, 1, width - 2, height - 2, radius - 1,
                              Gradient{palette::raisedTop, palette::raisedBottom, 1, height - 1});
        painter.fillRect(radius, 1, width - 2 * radius, 1, palette::highlight);
    }
    if (row.symbol != SkinSymbol::None) {
        paintSymbol(painter, row, down);
    } else if (!row.label.empty()) {
        const SkinFont::Extent extent = labelFont().measure(row.label);
        if (extent.right - extent.left + 8 > row.width) {
            problem("The label \"" + row.label + "\" is wider than " + row.key + ".");
        }
        labelFont().drawCentred(painter, row.label, width / 2, height / 2 + (down ? 1.0f : 0.0f), palette::label);
    }
}

void SkinArt::paintSymbol(SkinPainter& painter, const SkinRow& row, bool down) {
    const float width = static_cast<float>(row.width);
    const float height = static_cast<float>(row.height);
    const float shift = down ? 1.0f : 0.0f;
    const Color ink = palette::label;
    switch (row.symbol) {
    case SkinSymbol::ZoomIn:
    case SkinSymbol::ZoomOut: {
        const float cx = width * 0.43f;
        const float cy = height * 0.43f + shift;
        const float r = std::min(width, height) * 0.25f;
        painter.strokeCircle(cx, cy, r, 2, ink);
        const float d = r * 0.7071f;
        painter.line(cx + d + 0.5f, cy + d + 0.5f, width * 0.80f, height * 0.80f + shift, 3, ink);
        const float arm = r * 0.5f;
        painter.line(cx - arm, cy, cx + arm, cy, 1.8f, ink);
        if (row.symbol == SkinSymbol::ZoomIn) painter.line(cx, cy - arm, cx, cy + arm, 1.8f, ink);
        break;
    }
    case SkinSymbol::Play: {
        const float size = height * 0.36f;
        const float left = 12;
        const float cy = height / 2 + shift;
        painter.fillTriangle(left, cy - size / 2, left, cy + size / 2, left + size * 0.9f, cy,
                             down ? palette::accent : palette::labelDim);
        const float textLeft = left + size + 4;
        labelFont().drawCentred(painter, row.label, (textLeft + width - 6) / 2, cy, ink);
        break;
    }
    case SkinSymbol::None:
        break;
    }
}

void SkinArt::paintKnob(SkinPainter& painter, const SkinRow& row) {
    const float width = static_cast<float>(row.width);
    const float height = static_cast<float>(row.height);
    painter.fillRoundRect(0, 0, width, height, 3, palette::raisedEdge);
    painter.fillRoundRect(1, 1, width - 2, height - 2, 2,
                          Gradient{Color{214, 217, 222, 255}, Color{136, 140, 148, 255}, 1, height - 1});
    painter.fillRect(4, height / 2 - 1, width - 8, 2, palette::accent);
}

void SkinArt::paintMeter(SkinPainter& painter, const SkinRow& row) {
    const auto segments = meterSegments(row.height);
    const float count = static_cast<float>(segments.size());
    for (std::size_t k = 0; k < segments.size(); ++k) {
        const float f = (static_cast<float>(k) + 0.5f) / count;
        const Color colour = f < 0.65f ? Gradient{palette::meterLow, palette::meterMid, 0, 0.65f}.at(0, f)
                                       : Gradient{palette::meterMid, palette::meterHigh, 0.65f, 1}.at(0, f);
        painter.fillRoundRect(3, static_cast<float>(segments[k].first), static_cast<float>(row.width - 6),
                              static_cast<float>(segments[k].second), 1, colour);
    }
}

void SkinArt::paintIndicator(SkinPainter& painter, const SkinRow& row, const std::string& suffix) {
    const float width = static_cast<float>(row.width);
    const float height = static_cast<float>(row.height);
    Color edge = palette::panelEdge;
    Color face{30, 32, 36, 255};
    Color ink = palette::labelDim;
    if (suffix == "On") {
        edge = Color{150, 222, 250, 255};
        face = palette::accent;
        ink = palette::accentText;
    } else if (suffix == "Disabled") {
        edge = Color{40, 42, 47, 255};
        face = Color{24, 25, 29, 255};
        ink = palette::labelOff;
    }
    painter.fillRoundRect(0, 0, width, height, 4, edge);
    painter.fillRoundRect(1, 1, width - 2, height - 2, 3, face);
    const SkinFont::Extent extent = smallFont().measure(row.label);
    if (extent.right - extent.left + 6 > row.width) {
        problem("The label \"" + row.label + "\" is wider than " + row.key + ".");
    }
    smallFont().drawCentred(painter, row.label, width / 2, height / 2, ink);
}

void SkinArt::paintDigit(SkinPainter& painter, const SkinRow& row, const std::string& suffix) {
    const std::string text = digitText(suffix);
    if (!text.empty()) {
        plainFont().drawCentred(painter, text, static_cast<float>(row.width) / 2,
                                static_cast<float>(row.height) / 2, palette::label);
    }
}
