#ifndef VELKARN_FRAMEWORK_DIALOGPROGRESSCLIENT_H
#define VELKARN_FRAMEWORK_DIALOGPROGRESSCLIENT_H

#include <string>

class DialogProgress;

class DialogProgressClient {
public:
    virtual ~DialogProgressClient() = default;
    // The job, on the progress dialog's own thread.
    virtual void run(DialogProgress* /*dialog*/, const std::string& /*title*/) {}
};

#endif
