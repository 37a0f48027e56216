#include "install/copyprogress.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <utility>

ProgressEstimate::ProgressEstimate(long long total)
    : total(total)
{
}

eString ProgressEstimate::update(long long nowWritten, double seconds)
{
    written = std::min(std::max(written, nowWritten), std::max(total, 0LL));
    int share = total > 0 ? static_cast<int>(written * 100 / total) : 100;
    eString text;
    if (written <= 0 || seconds < 1)
        return text.sprintf("%d %%", share);
    long long left = std::llround((total - written) * seconds / written);
    return text.sprintf("%d %% (%lld:%02lld left)", share, left / 60, left % 60);
}

std::function<void()> progressTick(std::function<long long()> total, std::function<long long()> written,
    const ProgressShown& shown)
{
    if (!shown)
        return [] {};
    struct State {
        std::unique_ptr<ProgressEstimate> estimate;
        eString last;
        std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    };
    auto state = std::make_shared<State>();
    return [state, total = std::move(total), written = std::move(written), shown] {
        if (!state->estimate)
            state->estimate = std::make_unique<ProgressEstimate>(total());
        std::chrono::duration<double> since = std::chrono::steady_clock::now() - state->start;
        eString text = state->estimate->update(written(), since.count());
        if (text != state->last)
            shown(state->last = text);
    };
}

std::function<void()> copyTick(const eString& scratch, const MountedTree& tree, const ProgressShown& shown)
{
    return progressTick([total = tree.needs.kilobytes] { return total; },
        [scratch, block = tree.block] { return treeNeeds(scratch, block).kilobytes; }, shown);
}
