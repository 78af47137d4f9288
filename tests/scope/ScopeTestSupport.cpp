#include "ScopeTestSupport.h"

#include "framework/Log.h"
#include "framework/ResourceArchive.h"
#include "framework/Support.h"
#include "platform/Clock.h"
#include "platform/UiScript.h"
#include "scope/GUINote.h"
#include "scope/ScopeTap.h"

#include <cstdio>
#include <sstream>

namespace scope_test {

void ScopeTest::SetUp() {
    home.emplace();
    homeVariable.emplace("VELKARN_HOME", home->path());
    supportSettings().archiveMode = true;
    initializeFileSystem();
    setFatalErrorHook(throwFatalStop);
    testing_support::clearLog();
    platform::uiScript::enable();
    platform::VirtualClock::enable();
}

void ScopeTest::TearDown() {
    scope.reset();
    platform::VirtualClock::disable();
    platform::uiScript::disable();
    setFatalErrorHook(nullptr);
    cleanUpFileSystem();
    supportSettings().archiveMode = false;
    homeVariable.reset();
    home.reset();
}

Scope& ScopeTest::open() {
    scope = std::make_unique<Scope>(nullptr, 1, FormatAudio(2, sampleRate, 16), nullptr, nullptr);
    fed = 0;
    return *scope;
}

void ScopeTest::feed(int frames, int block, const std::function<float(long)>& left,
                     const std::function<float(long)>& right) {
    std::vector<float> l(static_cast<std::size_t>(block));
    std::vector<float> r(static_cast<std::size_t>(block));
    for (int done = 0; done < frames; done += block) {
        const int count = std::min(block, frames - done);
        for (int i = 0; i < count; ++i) {
            l[static_cast<std::size_t>(i)] = left(fed + i);
            r[static_cast<std::size_t>(i)] = right(fed + i);
        }
        const float* channels[2] = {l.data(), r.data()};
        scope->process(nullptr, channels, count);
        fed += count;
    }
}

ModelColumns ScopeTest::model(float samplesPerColumn, int kept, std::optional<float> triggerLevel) const {
    testing_support::TemporaryDirectory directory;
    const std::string ring = directory.file("ring.f32");
    const int size = scope->tap()->ringSize();
    testing_support::writeFile(ring, std::string(reinterpret_cast<const char*>(scope->signal()),
                                                 static_cast<std::size_t>(size) * sizeof(float)));
    char s[32];
    std::snprintf(s, sizeof s, "%.9g", static_cast<double>(samplesPerColumn));
    std::vector<std::string> arguments{"trace", ring, std::to_string(scope->tap()->readPosition()),
                                       std::to_string(scope->columns()), s, std::to_string(kept)};
    if (triggerLevel) {
        char level[32];
        std::snprintf(level, sizeof level, "%.9g", static_cast<double>(*triggerLevel));
        arguments.push_back(level);
    }
    std::istringstream lines(testing_support::runPython("scope/scope_model.py", arguments));
    ModelColumns columns;
    int found = 0;
    lines >> columns.start >> found;
    columns.found = found != 0;
    double minimum = 0.0;
    double maximum = 0.0;
    while (lines >> minimum >> maximum) {
        columns.minima.push_back(static_cast<float>(minimum));
        columns.maxima.push_back(static_cast<float>(maximum));
    }
    return columns;
}

std::string ScopeTest::noteText() const {
    static const char characters[GUINote::imageCount + 1] = "0123456789.+-e ?ABCDEFG#b";
    std::string text;
    for (int i = 0; i < GUINote::cellCount; ++i) text += characters[scope->noteReadOut()->cell(i)];
    return text;
}

}  // namespace scope_test
