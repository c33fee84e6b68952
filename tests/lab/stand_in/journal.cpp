// tests/lab/stand_in/journal.cpp: the journal of tool calls that scenario tests compare, and each call's number.
#include <cstdio>

#include "tests/lab/stand_in/platform.h"
#include "tests/lab/stand_in/stand_in.h"

namespace lum::lab {

std::string journal_line(const Call& call) {
    std::string line = call.tool + "\t" + call.folder + "\t";
    for (std::size_t at = 0; at < call.arguments.size(); ++at) {
        if (at > 0) line += ' ';
        line += "[" + call.arguments[at] + "]";
    }
    return line + "\n";
}

int count_calls(const std::string& journal, const std::string& tool) {
    const std::string start = tool + "\t";
    int count = 0;
    for (std::size_t begin = 0; begin < journal.size();) {
        std::size_t end = journal.find('\n', begin);
        if (end == std::string::npos) end = journal.size();
        if (journal.compare(begin, start.size(), start) == 0) ++count;
        begin = end + 1;
    }
    return count;
}

// Counting and appending happen under one lock: a test run starts the second receiver while the
// first may still be starting, and both must not take the same number.
int record_call(const std::string& journal_path, const Call& call) {
    if (journal_path.empty()) return 1;
    int earlier = 0;
    const bool recorded = append_under_lock(journal_path, [&](const std::string& journal) {
        earlier = count_calls(journal, call.tool);
        return journal_line(call);
    });
    if (!recorded)
        std::fprintf(stderr, "%s (stand-in): cannot write the journal %s\n", call.tool.c_str(), journal_path.c_str());
    return earlier + 1;
}

} // namespace lum::lab
