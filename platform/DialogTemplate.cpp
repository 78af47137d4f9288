#include "platform/DialogTemplate.h"

#include <cmath>
#include <map>
#include <sstream>

namespace platform {
namespace {

// Splits a line into words; "quoted text" is one word, with \" and \\ inside.
bool splitWords(std::string_view line, std::vector<std::string>& words) {
    words.clear();
    std::size_t i = 0;
    while (i < line.size()) {
        if (line[i] == ' ' || line[i] == '\t' || line[i] == '\r') {
            ++i;
            continue;
        }
        std::string word;
        if (line[i] == '"') {
            ++i;
            bool closed = false;
            while (i < line.size()) {
                char c = line[i++];
                if (c == '"') {
                    closed = true;
                    break;
                }
                if (c == '\\' && i < line.size()) c = line[i++];
                word += c;
            }
            if (!closed) return false;
        } else {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') word += line[i++];
        }
        words.push_back(std::move(word));
    }
    return true;
}

bool toInt(const std::string& word, int& value) {
    if (word.empty()) return false;
    std::size_t used = 0;
    try {
        value = std::stoi(word, &used);
    } catch (...) {
        return false;
    }
    return used == word.size();
}

const std::map<std::string, ControlKind>& controlKinds() {
    static const std::map<std::string, ControlKind> kinds = {
        {"static", ControlKind::Static}, {"edit", ControlKind::Edit},   {"button", ControlKind::Button},
        {"check", ControlKind::Check},   {"radio", ControlKind::Radio}, {"group", ControlKind::Group},
        {"progress", ControlKind::Progress}};
    return kinds;
}

const std::map<std::string, unsigned>& controlFlags() {
    static const std::map<std::string, unsigned> flags = {
        {"default", controlStyle::defaultButton}, {"group", controlStyle::groupStart},
        {"disabled", controlStyle::disabled},     {"border", controlStyle::border},
        {"checked", controlStyle::checked},       {"multiline", controlStyle::multiline},
        {"readonly", controlStyle::readOnly},     {"number", controlStyle::number}};
    return flags;
}

}  // namespace

const ControlTemplate* DialogTemplate::control(int controlId) const {
    for (const auto& entry : controls) {
        if (entry.id == controlId) return &entry;
    }
    return nullptr;
}

bool parseDialogTemplate(std::string_view text, DialogTemplate& dialog, std::string& error) {
    dialog = DialogTemplate();
    std::vector<std::string> words;
    int lineNumber = 0;
    bool sized = false;
    auto fail = [&](const std::string& why) {
        error = "Dialog template line " + std::to_string(lineNumber) + ": " + why;
        return false;
    };
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        ++lineNumber;
        if (!splitWords(line, words)) return fail("unclosed quote");
        if (words.empty() || words[0][0] == '#') continue;
        const std::string& keyword = words[0];
        if (keyword == "dialog") {
            if (words.size() != 2 || !toInt(words[1], dialog.id)) return fail("expected: dialog <id>");
        } else if (keyword == "caption") {
            if (words.size() != 2) return fail("expected: caption \"text\"");
            dialog.caption = words[1];
        } else if (keyword == "size") {
            if (words.size() != 3 || !toInt(words[1], dialog.width) || !toInt(words[2], dialog.height) ||
                dialog.width <= 0 || dialog.height <= 0) {
                return fail("expected: size <width> <height>");
            }
            sized = true;
        } else if (keyword == "font") {
            if (words.size() != 3 || !toInt(words[2], dialog.fontPointSize) || dialog.fontPointSize <= 0) {
                return fail("expected: font \"name\" <points>");
            }
            dialog.fontName = words[1];
        } else if (keyword == "style") {
            for (std::size_t i = 1; i < words.size(); ++i) {
                if (words[i] == "child") {
                    dialog.child = true;
                } else if (words[i] == "popup") {
                    dialog.child = false;
                } else if (words[i] == "nosysmenu") {
                    dialog.systemMenu = false;
                } else {
                    return fail("unknown style " + words[i]);
                }
            }
        } else if (auto kind = controlKinds().find(keyword); kind != controlKinds().end()) {
            ControlTemplate control;
            control.kind = kind->second;
            if (words.size() < 7 || !toInt(words[1], control.id) || !toInt(words[3], control.x) ||
                !toInt(words[4], control.y) || !toInt(words[5], control.width) || !toInt(words[6], control.height)) {
                return fail("expected: " + keyword + " <id> \"text\" <x> <y> <width> <height> [flags]");
            }
            control.text = words[2];
            for (std::size_t i = 7; i < words.size(); ++i) {
                auto flag = controlFlags().find(words[i]);
                if (flag == controlFlags().end()) return fail("unknown flag " + words[i]);
                control.style |= flag->second;
            }
            dialog.controls.push_back(std::move(control));
        } else {
            return fail("unknown keyword " + keyword);
        }
    }
    if (!sized) {
        error = "Dialog template without a size";
        return false;
    }
    return true;
}

int dialogUnitsToPixelsX(int units, int averageCharWidth) {
    return static_cast<int>(std::lround(units * averageCharWidth / 4.0));
}

int dialogUnitsToPixelsY(int units, int charHeight) {
    return static_cast<int>(std::lround(units * charHeight / 8.0));
}

}  // namespace platform
