#include "tools/BeatMapper.h"

#include "audio/MusicalKey.h"
#include "framework/GUIButton.h"
#include "framework/GUITextHorizontal.h"
#include "framework/Log.h"
#include "framework/ResourceArchive.h"
#include "framework/Window.h"
#include "platform/Dialog.h"

#include <optional>
#include <utility>
#include <vector>

namespace {

constexpr int editIdTemplate = 105;
constexpr int setKeyTemplate = 113;
constexpr int firstKeyButton = 1040;
constexpr int keyButtons = 24;
constexpr int undefinedButton = 1064;
constexpr int keyEdit = 1039;
// A dialog's text buffer: fieldLength characters and the terminator.
constexpr std::size_t fieldBuffer = BeatMapper::fieldLength + 1;

// Shows the template modal over the owner; -1 (logged) when it cannot be.
int runTemplate(Window* owner, int id, platform::DialogHandler& handler) {
    const std::optional<platform::DialogTemplate> dialog = loadDialogTemplate(id);
    if (!dialog) return -1;
    const int result = platform::runDialog(owner != nullptr ? owner->handle() : platform::noWindow, *dialog, handler);
    if (result < 0) logMessage("Dialog " + std::to_string(id) + " could not be shown.", __FILE__, __LINE__);
    return result;
}

// Each edit starts with its field's text; OK copies them all back.
class EditIdHandler : public platform::DialogHandler {
public:
    explicit EditIdHandler(std::vector<std::pair<int, GUITextHorizontal*>> fields) : fields_(std::move(fields)) {}

    void init(platform::Dialog& dialog) override {
        for (const auto& [id, field] : fields_) dialog.setText(id, field->text());
    }

    void command(platform::Dialog& dialog, int controlId) override {
        if (controlId == platform::okButton) {
            for (const auto& [id, field] : fields_) {
                const std::string text = dialog.text(id, fieldBuffer);
                if (text != field->text()) {
                    field->setText(text);
                    changed_ = true;
                }
            }
            dialog.end(1);
        } else if (controlId == platform::cancelButton) {
            dialog.end(0);
        }
    }

    bool changed() const { return changed_; }

private:
    std::vector<std::pair<int, GUITextHorizontal*>> fields_;
    bool changed_ = false;
};

// The read-only edit shows the chosen key's name; OK takes it.
class SetKeyHandler : public platform::DialogHandler {
public:
    explicit SetKeyHandler(GUITextHorizontal* field) : field_(field) {}

    void init(platform::Dialog& dialog) override { dialog.setText(keyEdit, field_->text()); }

    void command(platform::Dialog& dialog, int controlId) override {
        if (controlId >= firstKeyButton && controlId < firstKeyButton + keyButtons) {
            dialog.setText(keyEdit, MusicalKey::fromIndex(controlId - firstKeyButton).name());
        } else if (controlId == undefinedButton) {
            dialog.setText(keyEdit, "");
        } else if (controlId == platform::okButton) {
            const std::string text = dialog.text(keyEdit, fieldBuffer);
            if (text != field_->text()) {
                field_->setText(text);
                changed_ = true;
            }
            dialog.end(1);
        } else if (controlId == platform::cancelButton) {
            dialog.end(0);
        }
    }

    bool changed() const { return changed_; }

private:
    GUITextHorizontal* field_;
    bool changed_ = false;
};

}  // namespace

void BeatMapper::editId() {
    EditIdHandler handler({{1005, track_}, {1007, artist_}, {1006, album_}, {1010, label_}, {1008, comments_},
                           {1009, year_}});
    runTemplate(window_.get(), editIdTemplate, handler);
    // An edit that changed a field is an unsaved change like any other.
    if (handler.changed()) window_->setModified(true);
    editId_->setUp();
}

void BeatMapper::setKey() {
    SetKeyHandler handler(keyText_);
    runTemplate(window_.get(), setKeyTemplate, handler);
    if (handler.changed()) window_->setModified(true);
    setKey_->setUp();
}
