#include "platform/OleAutomation.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

#include <unistd.h>

namespace {

// Fails a hang fast: no single test, nor the start or the end of the binary, may take longer than
// NAW_TEST_TIMEOUT seconds (60 unless set; 0 turns the guard off). The slowest test of any area takes
// a few seconds even in the sanitizer build, so the limit never cuts a healthy run short, while the
// whole area, however many tests it has, needs no limit of its own.
//
// The watch is never freed: its thread may still wait on it while the process ends.
class HangWatch {
public:
    explicit HangWatch(int seconds)
        : limit_(seconds)
    {
        arm("the start of the test binary");
        std::thread([this] { watch(); }).detach();
    }

    void arm(const std::string& what)
    {
        std::lock_guard lock(mutex_);
        what_ = what;
        deadline_ = std::chrono::steady_clock::now() + limit_;
        changed_.notify_all();
    }

private:
    void watch()
    {
        std::unique_lock lock(mutex_);
        for (;;) {
            const auto deadline = deadline_;
            if (changed_.wait_until(lock, deadline) == std::cv_status::timeout && deadline == deadline_) {
                const std::string message = "\n*** " + what_ + " did not end within " + std::to_string(limit_.count())
                                            + " s (NAW_TEST_TIMEOUT): the test binary is stopped as hung.\n";
                [[maybe_unused]] const ssize_t written = ::write(2, message.data(), message.size());
                std::_Exit(124);
            }
        }
    }

    const std::chrono::seconds limit_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::chrono::steady_clock::time_point deadline_;
    std::string what_;
};

class HangGuard : public ::testing::EmptyTestEventListener {
public:
    explicit HangGuard(HangWatch& watch)
        : watch_(watch)
    {
    }

    void OnTestStart(const ::testing::TestInfo& test) override
    {
        watch_.arm(std::string(test.test_suite_name()) + "." + test.name());
    }
    void OnTestEnd(const ::testing::TestInfo&) override { watch_.arm("the time between two tests"); }
    void OnTestProgramEnd(const ::testing::UnitTest&) override { watch_.arm("the end of the test binary"); }

private:
    HangWatch& watch_;
};

} // namespace

// Every test binary runs headless with one application object, as the program does.
int main(int argc, char** argv)
{
    const char* limit = std::getenv("NAW_TEST_TIMEOUT");
    const int seconds = limit && *limit ? std::atoi(limit) : 60;
    HangWatch* watch = seconds > 0 ? new HangWatch(seconds) : nullptr;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    // A start sweeps for documents that earlier runs left: only in the folders a test names, never in
    // this machine's own temporary and runtime folders.
    fw::WordApplication::setDocumentPlacesOverride(QStringList());
    fw::Mutex::setPlacesOverride(testsupport::lockPlaces());
    ::testing::InitGoogleTest(&argc, argv);
    if (watch)
        ::testing::UnitTest::GetInstance()->listeners().Append(new HangGuard(*watch)); // gtest owns it
    return RUN_ALL_TESTS();
}
