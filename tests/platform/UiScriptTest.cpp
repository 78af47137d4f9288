#include "platform/UiScript.h"

#include <gtest/gtest.h>

namespace {

using platform::ScriptedAnswer;

TEST(UiScript, AnswersTravelThroughTheEnvironmentFormat) {
    std::vector<ScriptedAnswer> answers = {{ScriptedAnswer::Kind::Yes, {}, {}},
                                           {ScriptedAnswer::Kind::Path, "/tmp/a b.wav", {}},
                                           {ScriptedAnswer::Kind::Cancel, {}, {}},
                                           {ScriptedAnswer::Kind::No, {}, {}},
                                           {ScriptedAnswer::Kind::Ok, {}, {}}};
    std::string text = platform::uiScript::encode(answers);
    EXPECT_EQ(text, "yes\npath /tmp/a b.wav\ncancel\nno\nok\n");
    std::vector<ScriptedAnswer> decoded;
    ASSERT_TRUE(platform::uiScript::decode(text, decoded));
    ASSERT_EQ(decoded.size(), answers.size());
    for (std::size_t i = 0; i < answers.size(); ++i) {
        EXPECT_EQ(decoded[i].kind, answers[i].kind);
        EXPECT_EQ(decoded[i].path, answers[i].path);
    }
    EXPECT_FALSE(platform::uiScript::decode("yes\nmaybe\n", decoded));
}

TEST(UiScript, RecordsKeepEveryFieldThroughTheRecordFile) {
    platform::UiRequest request;
    request.kind = platform::UiRequestKind::SaveChooser;
    request.caption = "Save As";
    request.text = "line one\nline\ttwo \\ end";
    request.filter = "Wave (*.wav)";
    request.extension = "wav";
    request.templateId = 0;
    request.onUiThread = true;
    request.unscripted = true;
    request.answer = "path /x.wav";
    platform::UiRequest back;
    ASSERT_TRUE(platform::uiScript::decodeRecord(platform::uiScript::encodeRecord(request), back));
    EXPECT_EQ(back.kind, request.kind);
    EXPECT_EQ(back.caption, request.caption);
    EXPECT_EQ(back.text, request.text);
    EXPECT_EQ(back.filter, request.filter);
    EXPECT_EQ(back.extension, request.extension);
    EXPECT_TRUE(back.onUiThread);
    EXPECT_TRUE(back.unscripted);
    EXPECT_EQ(back.answer, request.answer);
}

TEST(UiScript, AnswersAreTakenInOrderOnlyWhileScripting) {
    platform::uiScript::disable();
    platform::uiScript::pushNo();  // pushing switches scripting on
    platform::uiScript::pushPath("/a.wav");
    EXPECT_TRUE(platform::uiScript::enabled());
    EXPECT_EQ(platform::uiScript::take()->kind, ScriptedAnswer::Kind::No);
    EXPECT_EQ(platform::uiScript::take()->path, "/a.wav");
    EXPECT_FALSE(platform::uiScript::take().has_value());
    platform::uiScript::disable();
    EXPECT_FALSE(platform::uiScript::enabled());
}

}  // namespace
