#include "cli/outcomeprint.h"

#include <algorithm>
#include <iostream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/console.h"
#include "store/controls.h"

namespace {

// OUTCOME as one JSON object on stdout: what a script reads back.
void printJson(const Outcome& outcome, int status)
{
    nlohmann::json changed = nlohmann::json::array();
    std::istringstream lines(outcome.message);
    for (std::string line; outcome.kind == Outcome::Done && std::getline(lines, line);)
        changed.push_back(line);
    nlohmann::json result = {{"ok", status == 0}, {"status", status}, {"message", outcome.message},
        {"detail", outcome.detail}, {"changed", changed}};
    std::cout << result.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
}

} // namespace

int report(const Outcome& outcome, bool json)
{
    int status = outcome.kind == Outcome::Done ? 0 : outcome.kind == Outcome::Failed ? 1 : 2;
    if (json)
        printJson(outcome, status);

    std::string text = outcome.message;
    if (outcome.kind == Outcome::Done) {
        if (json)
            return 0;
        std::istringstream lines(text);  // each of what changed on a line of its own
        for (std::string line; std::getline(lines, line);)
            std::cout << printable(line) << "\n";
        return 0;
    }
    std::replace(text.begin(), text.end(), '\n', ' ');  // a box's second line, as in "no Space !!!"
    text.erase(text.find_last_not_of(' ') + 1);
    if (!outcome.detail.empty())
        text += ": " + outcome.detail;
    std::cerr << "nimbrel: " << printable(text) << "\n";
    return status;
}

int printed(const std::string& text)
{
    std::cout << text;
    return std::cout.flush() ? 0 : 1;
}

