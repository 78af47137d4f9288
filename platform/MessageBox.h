// Task-modal message boxes, callable from any thread.
//
// On the user-interface thread the box runs a nested loop. On any other
// thread the companion program beside the executable shows it and the
// caller waits for its answer, so a user-interface thread that waits for
// that worker cannot deadlock. Without a companion or a display, or
// unscripted on a headless screen, the box is written to the log and
// stderr and takes its default answer (OK, or No).
#ifndef VELKARN_PLATFORM_MESSAGEBOX_H
#define VELKARN_PLATFORM_MESSAGEBOX_H

#include <string>

namespace platform {

enum class BoxButtons { Ok, YesNo };
enum class BoxIcon { None, Exclamation, Error };
enum class BoxAnswer { Ok = 1, Yes = 6, No = 7 };

struct BoxRequest {
    std::string caption;
    std::string text;
    BoxButtons buttons = BoxButtons::Ok;
    BoxIcon icon = BoxIcon::None;
};

BoxAnswer showMessageBox(const BoxRequest& request);

BoxAnswer defaultAnswer(BoxButtons buttons);

}  // namespace platform

#endif
