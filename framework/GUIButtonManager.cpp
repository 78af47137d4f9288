#include "framework/GUIButtonManager.h"

#include "framework/ButtonGroupClient.h"
#include "framework/GUIButton.h"
#include "framework/Log.h"

GUIButtonManager::GUIButtonManager(ButtonGroupClient* client) : client_(client) {}

GUIButtonManager::~GUIButtonManager() = default;

void GUIButtonManager::add(GUIButton* button) {
    if (count() >= maximumButtons) fatalError("Too many buttons to manage.", __FILE__, __LINE__);
    buttons_.push_back(button);
}

int GUIButtonManager::selectedIndex() const {
    for (int i = 0; i < count(); ++i) {
        if (buttons_[static_cast<std::size_t>(i)]->isDown()) return i;
    }
    return 0;
}

void GUIButtonManager::select(int index) {
    for (int i = 0; i < count(); ++i) {
        GUIButton* button = buttons_[static_cast<std::size_t>(i)];
        if (i == index) {
            button->setDown();
        } else {
            button->setUp();
        }
    }
}

void GUIButtonManager::buttonPressed(GUIButton* button) {
    int index = -1;
    for (int i = 0; i < count(); ++i) {
        GUIButton* other = buttons_[static_cast<std::size_t>(i)];
        if (other == button) {
            index = i;
        } else {
            other->setUp();
        }
    }
    if (client_ != nullptr) client_->groupButtonPressed(this, index);
}
