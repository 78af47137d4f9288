// The modal progress dialog of a long job (building the track database,
// the beat mapper's analysis and batch walks): a bar and an "Abort" button
// (dialog template 106) while DialogProgressClient::run works on a thread
// of its own. The constructor returns when the job has returned.
//
// Threads: the constructor and the dialog run on the user-interface
// thread; run, setRange and setPosition on the job's thread. "Abort",
// Escape or closing the dialog only set the abort flag; the job decides
// when to stop, and once it has returned they change nothing.
#ifndef VELKARN_FRAMEWORK_DIALOGPROGRESS_H
#define VELKARN_FRAMEWORK_DIALOGPROGRESS_H

#include "platform/Dialog.h"
#include "platform/EventLoop.h"

#include <atomic>
#include <string>
#include <thread>

class DialogProgressClient;
class Window;

class DialogProgress : private platform::DialogHandler {
public:
    static constexpr int templateId = 106;
    static constexpr int progressBarId = 1011;

    // Clears *abortFlag, shows the dialog modal to the parent's window
    // (none: to the whole program) with the title as its caption, runs the
    // job and returns once it has returned. low and high are the values
    // that map to 0 % and 100 %. When the dialog cannot be shown the job
    // still runs (logged) and is waited for.
    DialogProgress(Window* parent, DialogProgressClient* client, const std::string& title, bool* abortFlag, int low,
                   int high);
    ~DialogProgress() override;

    DialogProgress(const DialogProgress&) = delete;
    DialogProgress& operator=(const DialogProgress&) = delete;

    // Job thread.
    void setRange(int low, int high);
    // Job thread: moves the bar when the percentage changed; 0 while low
    // equals high.
    void setPosition(int value);
    // Any thread: whether the user asked the job to stop.
    bool isAborted() const;

    // (value - low) x 100 / (high - low), truncated toward zero; 0 when
    // high equals low.
    static int percentage(int value, int low, int high);

private:
    // Takes the job thread's "job ended" on the user-interface thread.
    class JobEnded : public platform::MessageTarget {
    public:
        explicit JobEnded(DialogProgress& owner) : owner_(owner) {}
        void handleMessage(const platform::Message& message) override;

    private:
        DialogProgress& owner_;
    };

    // platform::DialogHandler
    void init(platform::Dialog& dialog) override;
    void command(platform::Dialog& dialog, int controlId) override;

    void startJob();
    void runJob();

    int low_;
    int high_;
    DialogProgressClient* client_;
    std::string title_;
    bool* abortFlag_;
    platform::Dialog* dialog_ = nullptr;
    platform::WindowHandle bar_ = platform::noWindow;
    int lastPercentage_ = 0;
    JobEnded jobEnded_;
    platform::WindowHandle jobEndedHandle_;
    std::atomic<bool> jobReturned_{false};
    std::thread job_;
};

#endif
