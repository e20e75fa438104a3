#pragma once

#include "platform/Application.h"
#include "platform/Mutex.h"

#include <memory>

// The application object: refuses to run beside a running copy and quits when its last window closes.
class App : public fw::Application {
    Q_OBJECT
public:
    static constexpr const char* mutexName = "VI_duzazezOvovav";

protected:
    void Open() override;
    void Close() override;

private:
    std::unique_ptr<fw::Mutex> mMutex;
};

// The application object registered at start-up.
App* theApp();
