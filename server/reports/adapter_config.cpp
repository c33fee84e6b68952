// server/reports/adapter_config.cpp: the subscriber's adapters from the ipconfig /all lines of a report.
#include "server/reports/adapter_config.h"

#include "server/common/blanks.h"
#include "server/reports/decoding/tool_phrases.h"
#include "server/reports/kept_text.h"

#include <algorithm>
#include <map>
#include <string>
#include <utility>

namespace lum::reports {
namespace {

enum class Field { None, Ipv4, Mac, Gateway, Dns, Mask, Dhcp, HostName };

std::string_view trimmed_label(std::string_view label) {
    while (!label.empty() && (label.back() == ' ' || label.back() == '.'))
        label.remove_suffix(1);
    while (!label.empty() && label.front() == ' ')
        label.remove_prefix(1);
    return label;
}

// Every language's labels (the phrase table's), and the English ones of older systems, by what they name.
struct Labels {
    std::map<std::string, Field, std::less<>> fields = {{"IP Address", Field::Ipv4},
                                                        {"Autoconfiguration IPv4 Address", Field::Ipv4},
                                                        {"Autoconfiguration IP Address", Field::Ipv4}};
    std::map<std::string, bool, std::less<>> answers;          // DHCP's "Yes", "Да", ...
    std::vector<std::pair<std::string, std::string>> headings; // what stands before and after {name}

    Labels() {
        const std::map<std::string_view, Field> roles = {
            {"ipconfig.ipv4_address", Field::Ipv4},       {"ipconfig.physical_address", Field::Mac},
            {"ipconfig.default_gateway", Field::Gateway}, {"ipconfig.dns_servers", Field::Dns},
            {"ipconfig.subnet_mask", Field::Mask},        {"ipconfig.dhcp_enabled", Field::Dhcp},
            {"ipconfig.host_name", Field::HostName}};
        for (const ToolPhrase& phrase : tool_phrases()) {
            if (const auto role = roles.find(phrase.role); role != roles.end())
                fields.emplace(std::string(trimmed_label(phrase.text)), role->second);
            if (phrase.role == "ipconfig.yes" || phrase.role == "ipconfig.no")
                answers.emplace(phrase.text, phrase.role == "ipconfig.yes");
            const std::size_t name = phrase.text.find("{name}");
            if (phrase.role.ends_with("_adapter") && name != std::string::npos)
                headings.emplace_back(phrase.text.substr(0, name), phrase.text.substr(name + 6));
        }
    }
};

const Labels& labels() {
    static const Labels known;
    return known;
}

Field field_named(std::string_view label) {
    const auto found = labels().fields.find(trimmed_label(label));
    return found == labels().fields.end() ? Field::None : found->second;
}

// "Ethernet adapter Ethernet:" names "Ethernet"; a heading of no known form is its own name.
std::string_view adapter_name(std::string_view heading) {
    for (const auto& [before, after] : labels().headings) {
        const std::string_view end = trimmed_label(after) == ":" ? std::string_view(":") : std::string_view(after);
        if (heading.size() > before.size() + end.size() && heading.starts_with(before) &&
            lumresults::trim_blanks(heading).ends_with(lumresults::trim_blanks(end)))
            return lumresults::trim_blanks(heading.substr(before.size(), heading.size() - before.size() - end.size()));
    }
    return heading.substr(0, heading.size() - 1);
}

// Where a setting's label ends: the colon after its dot leaders (" : ", or ".: " in some languages), or a
// colon at the line's end for a label without a value.
std::size_t label_end(std::string_view text) {
    for (std::size_t at = text.find(':'); at != std::string_view::npos; at = text.find(':', at + 1)) {
        const bool after_leader = at > 0 && (text[at - 1] == ' ' || text[at - 1] == '.');
        if (after_leader && (at + 1 == text.size() || text[at + 1] == ' ')) return at;
    }
    return std::string_view::npos;
}

// "192.168.1.34(Preferred)": the address without the state that follows it.
bool is_ipv4(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c == '.' || (c >= '0' && c <= '9'); }) &&
           std::count(text.begin(), text.end(), '.') == 3;
}

std::string_view address_part(std::string_view value) { return value.substr(0, value.find('(')); }

// A list's first ADDRESSES_KEPT addresses, and CUT_MARK after them when there are more.
void keep_address(std::vector<std::string>& list, std::string_view address) {
    if (list.size() < ADDRESSES_KEPT) {
        list.push_back(kept_text(address, ADDRESS_BYTES_KEPT));
    } else if (list.size() == ADDRESSES_KEPT) {
        list.emplace_back(CUT_MARK);
    }
}

void keep(Adapter& adapter, Field field, std::string_view value) {
    const std::string_view address = address_part(lumresults::trim_blanks(value));
    if (field == Field::Mac) adapter.mac = kept_utf8(lumresults::trim_blanks(value), MAC_BYTES_KEPT);
    if (field == Field::Dhcp)
        if (const auto answer = labels().answers.find(lumresults::trim_blanks(value)); answer != labels().answers.end())
            adapter.dhcp = answer->second;
    if (!is_ipv4(address)) return; // gateways and servers may be IPv6 too; only IPv4 is kept
    if (field == Field::Ipv4) keep_address(adapter.ipv4, address);
    if (field == Field::Gateway) keep_address(adapter.gateways, address);
    if (field == Field::Dns) keep_address(adapter.dns_servers, address);
    if (field == Field::Mask) keep_address(adapter.masks, address);
}

bool has_something(const Adapter& adapter) {
    return !adapter.ipv4.empty() || !adapter.mac.empty() || !adapter.gateways.empty() || !adapter.dns_servers.empty();
}

// The adapters with something found, in order, the first ADAPTERS_KEPT of them (and one named CUT_MARK
// after them when there are more); an adapter with nothing found makes way for the next one.
class FoundAdapters {
public:
    Adapter& current() { return current_; }
    void start(std::string_view heading) {
        close_current();
        current_ = Adapter{};
        current_.name = kept_utf8(adapter_name(heading), ADAPTER_NAME_BYTES_KEPT);
    }
    std::vector<Adapter> finish() {
        close_current();
        if (cut_) {
            found_.emplace_back();
            found_.back().name = CUT_MARK;
        }
        return std::move(found_);
    }

private:
    void close_current() {
        if (!has_something(current_)) return;
        if (found_.size() < ADAPTERS_KEPT)
            found_.push_back(std::move(current_));
        else
            cut_ = true;
    }

    std::vector<Adapter> found_;
    Adapter current_; // settings before the first adapter's heading go to an unnamed one
    bool cut_ = false;
};

bool is_heading(std::string_view text) { return !text.empty() && text.front() != ' ' && text.back() == ':'; }

} // namespace

std::string read_host_name(ToolLines ipconfig) {
    for (const ReportLine& line : ipconfig) {
        const std::string_view text = line.text;
        if (is_heading(text)) return {}; // the first adapter's: the computer's own settings are over
        const std::size_t end = label_end(text);
        if (end == std::string_view::npos) continue;
        // Windows prints the host name first; a label known as another setting means it is not there.
        const Field field = field_named(text.substr(0, end));
        if (field != Field::HostName && field != Field::None) return {};
        return kept_utf8(lumresults::trim_blanks(text.substr(end + 1)), HOST_NAME_BYTES_KEPT);
    }
    return {};
}

std::vector<Adapter> read_adapters(ToolLines ipconfig) {
    FoundAdapters adapters;
    Field last = Field::None;
    for (const ReportLine& line : ipconfig) {
        const std::string_view text = line.text;
        if (text.empty()) continue;
        const std::size_t end = label_end(text);
        if (is_heading(text)) {
            adapters.start(text);
            last = Field::None;
        } else if (end != std::string_view::npos && end + 1 < text.size()) {
            last = field_named(text.substr(0, end));
            keep(adapters.current(), last, text.substr(end + 1));
        } else if (end != std::string_view::npos) { // a label without a value
            last = Field::None;
        } else if (last == Field::Gateway || last == Field::Dns) { // a further value under the same label
            keep(adapters.current(), last, text);
        }
    }
    return adapters.finish();
}

} // namespace lum::reports
