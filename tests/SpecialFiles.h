// Special files for the tests of the readers: a named pipe that a test can never hang on (a
// watchdog opens it for writing after a while, so a reader blocked in open() gets an end of
// file and the test fails instead of waiting for ever), a folder and a device.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace velmora::testfiles {

class PipeWithWatchdog {
public:
    explicit PipeWithWatchdog(std::filesystem::path path, std::chrono::seconds patience = std::chrono::seconds(20))
        : path_(std::move(path)) {
        std::filesystem::remove(path_);
        made_ = ::mkfifo(path_.c_str(), 0600) == 0;
        watchdog_ = std::thread([this, patience] {
            std::unique_lock<std::mutex> lock(mutex_);
            if (done_.wait_for(lock, patience, [this] { return finished_; })) return;
            fired_ = true;
            // Release whoever is stuck: open the writing end until the reader has gone.
            while (!finished_) {
                const int fd = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK);
                if (fd >= 0) ::close(fd);
                done_.wait_for(lock, std::chrono::milliseconds(50));
            }
        });
    }
    ~PipeWithWatchdog() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            finished_ = true;
        }
        done_.notify_all();
        watchdog_.join();
        std::filesystem::remove(path_);
    }
    bool Made() const { return made_; }
    // True when a reader blocked on the pipe until the watchdog let it go.
    bool Hung() const { return fired_; }
    std::string Path() const { return path_.string(); }

private:
    std::filesystem::path path_;
    bool made_ = false;
    std::atomic<bool> fired_{false};
    std::mutex mutex_;
    std::condition_variable done_;
    bool finished_ = false;
    std::thread watchdog_;
};

}  // namespace velmora::testfiles
