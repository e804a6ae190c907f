#pragma once

#include <functional>
#include <set>
#include <string>

namespace pellavin::idle {

// The watcher's voice for what goes wrong again and again (a service that
// does not answer, asked once a minute all day): each line is said once.
class SayOnce {
public:
    using Say = std::function<void(const std::string& line)>;

    explicit SayOnce(Say say)
        : say_(std::move(say))
    {
    }

    void operator()(const std::string& line)
    {
        if (said_.insert(line).second && say_) say_(line);
    }

private:
    Say say_;
    std::set<std::string> said_;
};

}  // namespace pellavin::idle
