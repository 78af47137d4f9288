#include "platform/UiScript.h"

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <map>
#include <mutex>
#include <sstream>

namespace platform::uiScript {
namespace {

struct State {
    std::mutex mutex;
    bool loaded = false;
    bool enabled = false;
    std::deque<ScriptedAnswer> answers;
    std::vector<UiRequest> requests;
    std::map<int, DialogResponder> responders;
};

State& state() {
    static State* s = new State;  // used from worker threads until the process ends
    return *s;
}

// The environment's script is read once, on first use.
void loadLocked(State& s) {
    if (s.loaded) return;
    s.loaded = true;
    const char* script = std::getenv("VELKARN_UI_SCRIPT");
    if (script == nullptr) return;
    s.enabled = true;
    std::vector<ScriptedAnswer> answers;
    if (decode(script, answers)) {
        for (auto& answer : answers) s.answers.push_back(std::move(answer));
    } else {
        std::fprintf(stderr, "VELKARN_UI_SCRIPT holds an unknown answer; it is ignored.\n");
    }
}

const char* kindName(UiRequestKind kind) {
    switch (kind) {
    case UiRequestKind::MessageBox: return "box";
    case UiRequestKind::OpenChooser: return "open";
    case UiRequestKind::SaveChooser: return "save";
    case UiRequestKind::FolderChooser: return "folder";
    case UiRequestKind::Dialog: return "dialog";
    }
    return "box";
}

std::string escapeField(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default: out += c;
        }
    }
    return out;
}

std::string unescapeField(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        char c = text[++i];
        out += c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c;
    }
    return out;
}

}  // namespace

void enable() {
    State& s = state();
    std::lock_guard lock(s.mutex);
    loadLocked(s);
    s.enabled = true;
}

void disable() {
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.loaded = true;
    s.enabled = false;
    s.answers.clear();
    s.requests.clear();
    s.responders.clear();
}

bool enabled() {
    State& s = state();
    std::lock_guard lock(s.mutex);
    loadLocked(s);
    return s.enabled;
}

void push(ScriptedAnswer answer) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    loadLocked(s);
    s.enabled = true;
    s.answers.push_back(std::move(answer));
}

void pushOk() { push({ScriptedAnswer::Kind::Ok, {}, {}}); }
void pushYes() { push({ScriptedAnswer::Kind::Yes, {}, {}}); }
void pushNo() { push({ScriptedAnswer::Kind::No, {}, {}}); }
void pushCancel() { push({ScriptedAnswer::Kind::Cancel, {}, {}}); }
void pushPath(const std::string& path) { push({ScriptedAnswer::Kind::Path, path, {}}); }

std::optional<ScriptedAnswer> take() {
    State& s = state();
    std::lock_guard lock(s.mutex);
    loadLocked(s);
    if (!s.enabled || s.answers.empty()) return std::nullopt;
    ScriptedAnswer answer = std::move(s.answers.front());
    s.answers.pop_front();
    return answer;
}

void record(UiRequest request) {
    State& s = state();
    {
        std::lock_guard lock(s.mutex);
        loadLocked(s);
        if (s.enabled) s.requests.push_back(request);
    }
    if (const char* file = std::getenv("VELKARN_UI_RECORD"); file != nullptr && *file != '\0') {
        if (std::FILE* out = std::fopen(file, "a")) {
            std::string line = encodeRecord(request) + "\n";
            std::fwrite(line.data(), 1, line.size(), out);
            std::fclose(out);
        }
    }
}

std::vector<UiRequest> requests() {
    State& s = state();
    std::lock_guard lock(s.mutex);
    return s.requests;
}

void clearRequests() {
    State& s = state();
    std::lock_guard lock(s.mutex);
    s.requests.clear();
}

void setDialogResponder(int templateId, DialogResponder responder) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    if (responder) {
        s.responders[templateId] = std::move(responder);
    } else {
        s.responders.erase(templateId);
    }
}

DialogResponder dialogResponder(int templateId) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    auto found = s.responders.find(templateId);
    return found == s.responders.end() ? DialogResponder() : found->second;
}

std::string answerText(const ScriptedAnswer& answer) {
    switch (answer.kind) {
    case ScriptedAnswer::Kind::Ok: return "ok";
    case ScriptedAnswer::Kind::Yes: return "yes";
    case ScriptedAnswer::Kind::No: return "no";
    case ScriptedAnswer::Kind::Cancel: return "cancel";
    case ScriptedAnswer::Kind::Path: return "path " + answer.path;
    }
    return "ok";
}

std::string encode(const std::vector<ScriptedAnswer>& answers) {
    std::string text;
    for (const auto& answer : answers) text += answerText(answer) + "\n";
    return text;
}

bool decode(const std::string& text, std::vector<ScriptedAnswer>& answers) {
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.empty()) continue;
        if (line == "ok") {
            answers.push_back({ScriptedAnswer::Kind::Ok, {}, {}});
        } else if (line == "yes") {
            answers.push_back({ScriptedAnswer::Kind::Yes, {}, {}});
        } else if (line == "no") {
            answers.push_back({ScriptedAnswer::Kind::No, {}, {}});
        } else if (line == "cancel") {
            answers.push_back({ScriptedAnswer::Kind::Cancel, {}, {}});
        } else if (line.rfind("path ", 0) == 0) {
            answers.push_back({ScriptedAnswer::Kind::Path, line.substr(5), {}});
        } else {
            return false;
        }
    }
    return true;
}

std::string encodeRecord(const UiRequest& request) {
    std::ostringstream line;
    line << kindName(request.kind) << '\t' << escapeField(request.caption) << '\t' << escapeField(request.text) << '\t'
         << escapeField(request.filter) << '\t' << escapeField(request.extension) << '\t' << request.templateId << '\t'
         << (request.onUiThread ? 1 : 0) << '\t' << (request.unscripted ? 1 : 0) << '\t'
         << escapeField(request.answer);
    return line.str();
}

bool decodeRecord(const std::string& line, UiRequest& request) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    while (true) {
        std::size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos) break;
        start = tab + 1;
    }
    if (fields.size() != 9) return false;
    static const std::map<std::string, UiRequestKind> kinds = {
        {"box", UiRequestKind::MessageBox},       {"open", UiRequestKind::OpenChooser},
        {"save", UiRequestKind::SaveChooser},     {"folder", UiRequestKind::FolderChooser},
        {"dialog", UiRequestKind::Dialog}};
    auto kind = kinds.find(fields[0]);
    if (kind == kinds.end()) return false;
    request.kind = kind->second;
    request.caption = unescapeField(fields[1]);
    request.text = unescapeField(fields[2]);
    request.filter = unescapeField(fields[3]);
    request.extension = unescapeField(fields[4]);
    request.templateId = std::atoi(fields[5].c_str());
    request.onUiThread = fields[6] == "1";
    request.unscripted = fields[7] == "1";
    request.answer = unescapeField(fields[8]);
    return true;
}

}  // namespace platform::uiScript
