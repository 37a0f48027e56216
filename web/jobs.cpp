#include "web/jobs.h"

#include "store/lock.h"

namespace {

const char* kindName(Outcome::Kind kind)
{
    return kind == Outcome::Done ? "done" : kind == Outcome::Failed ? "failed" : "refused";
}

} // namespace

nlohmann::json outcomeJson(const Outcome& outcome)
{
    return {{"ok", outcome.kind == Outcome::Done}, {"kind", kindName(outcome.kind)},
        {"message", outcome.message}, {"detail", outcome.detail}};
}

Jobs::~Jobs()
{
    if (worker.joinable())
        worker.join();
}

std::optional<Outcome> Jobs::start(const std::string& name, Work work)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (running)
        return storeBusy();
    if (worker.joinable())
        worker.join();  // ended: running is false
    running = true;
    what = name;
    text.clear();
    last.reset();
    started = std::chrono::steady_clock::now();
    worker = std::thread(&Jobs::run, this, std::move(work));
    return std::nullopt;
}

void Jobs::run(Work work)
{
    ProgressShown shown = [this](const eString& done) {
        std::lock_guard<std::mutex> lock(mutex);
        text = done;
    };
    Outcome outcome = Outcome::failed("");
    try {
        outcome = work(shown);
    } catch (const std::exception& error) {
        outcome = Outcome::failed(error.what());
    }
    std::lock_guard<std::mutex> lock(mutex);
    last = outcome;
    running = false;
}

nlohmann::json Jobs::state() const
{
    std::lock_guard<std::mutex> lock(mutex);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    nlohmann::json state = {{"running", running}, {"what", what},
        {"text", running ? "please wait !!!" + (text.empty() ? "" : " " + text) : ""},
        {"seconds", what.empty() ? 0.0 : seconds}, {"outcome", nullptr}};
    if (last)
        state["outcome"] = outcomeJson(*last);
    return state;
}
