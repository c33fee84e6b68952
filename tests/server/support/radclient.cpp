// tests/server/support/radclient.cpp: radclient run to its end on a packet file, and its summary read back.
#include "radclient.h"

#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <stdexcept>

namespace lum::server_testing {
namespace {

int summary_count(const std::string& output, const std::string& name) {
    std::smatch match;
    if (!std::regex_search(output, match, std::regex(name + R"(\s*:\s*(\d+))")))
        throw std::runtime_error("radclient said nothing of " + name + ":\n" + output);
    return std::stoi(match[1]);
}

} // namespace

RadclientSummary send_accounting(const std::filesystem::path& work, const std::string& packets,
                                 const std::string& server, const std::string& secret, int tries) {
    // radclient wants a configuration folder with a dictionary; the installed one is named by -D.
    const std::filesystem::path folder = work / "radclient";
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "dictionary").flush();
    std::ofstream(folder / "packets") << packets;
    const std::filesystem::path output = folder / "output";
    const std::string command = "radclient -d " + folder.string() + " -D /usr/share/freeradius -f " +
                                (folder / "packets").string() + " -r " + std::to_string(tries) + " -t 1 -p 1 -s " +
                                server + " acct '" + secret + "' >" + output.string() + " 2>&1";
    const int status = std::system(command.c_str());
    std::ostringstream text;
    text << std::ifstream(output).rdbuf();
    if (status == -1) throw std::runtime_error("cannot run radclient");
    return {summary_count(text.str(), "Accepted"), summary_count(text.str(), "Lost")};
}

} // namespace lum::server_testing
