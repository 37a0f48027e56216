#pragma once
#include <chrono>
#include <functional>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <thread>

#include "install/copyprogress.h"
#include "store/outcome.h"

// The long action the page started (an installation, a check, a backup),
// run in a thread of its own so the server keeps answering; its progress
// and outcome stay here for whichever page asks, also after a reload.
class Jobs {
public:
    using Work = std::function<Outcome(const ProgressShown&)>;

    Jobs() = default;
    Jobs(const Jobs&) = delete;
    Jobs& operator=(const Jobs&) = delete;
    ~Jobs();

    // Starts WORK, named WHAT for the page, unless another runs: then the
    // store's busy refusal, as the procedures give it.
    std::optional<Outcome> start(const std::string& what, Work work);

    // {running, what, text, seconds, outcome}: text as the status line
    // shows it, outcome that of the last action once it ended.
    nlohmann::json state() const;

private:
    void run(Work work);

    mutable std::mutex mutex;
    std::thread worker;
    bool running = false;
    std::string what, text;
    std::chrono::steady_clock::time_point started;
    std::optional<Outcome> last;
};

// OUTCOME as the page reads it: {ok, kind, message, detail}.
nlohmann::json outcomeJson(const Outcome& outcome);
