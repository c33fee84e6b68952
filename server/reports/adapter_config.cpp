// server/reports/adapter_config.cpp: the subscriber's adapters from the ipconfig /all lines of a report.
#include "server/reports/adapter_config.h"

#include "server/common/blanks.h"
#include "server/reports/kept_text.h"

#include <algorithm>
#include <string>

namespace lum::reports {
namespace {

enum class Field { None, Ipv4, Mac, Gateway, Dns };

// ipconfig writes "   Label . . . . . : value"; the dots fill the label out to the colon.
Field field_named(std::string_view label) {
    while (!label.empty() && (label.back() == ' ' || label.back() == '.'))
        label.remove_suffix(1);
    while (!label.empty() && label.front() == ' ')
        label.remove_prefix(1);
    if (label == "IPv4 Address" || label == "IP Address" || label == "Autoconfiguration IPv4 Address" ||
        label == "Autoconfiguration IP Address")
        return Field::Ipv4;
    if (label == "Physical Address") return Field::Mac;
    if (label == "Default Gateway") return Field::Gateway;
    if (label == "DNS Servers") return Field::Dns;
    return Field::None;
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
    if (field == Field::Mac) adapter.mac = kept_text(lumresults::trim_blanks(value), MAC_BYTES_KEPT);
    if (!is_ipv4(address)) return; // gateways and servers may be IPv6 too; only IPv4 is kept
    if (field == Field::Ipv4) keep_address(adapter.ipv4, address);
    if (field == Field::Gateway) keep_address(adapter.gateways, address);
    if (field == Field::Dns) keep_address(adapter.dns_servers, address);
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
        current_ = {kept_text(heading, ADAPTER_NAME_BYTES_KEPT), {}, {}, {}, {}};
    }
    std::vector<Adapter> finish() {
        close_current();
        if (cut_) found_.push_back({std::string(CUT_MARK), {}, {}, {}, {}});
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

} // namespace

std::vector<Adapter> read_adapters(ToolLines ipconfig) {
    FoundAdapters adapters;
    Field last = Field::None;
    for (const ReportLine& line : ipconfig) {
        const std::string_view text = line.text;
        if (text.empty()) continue;
        const std::size_t colon = text.find(" : ");
        if (text.front() != ' ' && text.back() == ':') { // an adapter's heading
            adapters.start(text.substr(0, text.size() - 1));
            last = Field::None;
        } else if (colon != std::string_view::npos) {
            last = field_named(text.substr(0, colon));
            keep(adapters.current(), last, text.substr(colon + 3));
        } else if (text.back() == ':') { // a label without a value
            last = Field::None;
        } else if (last == Field::Gateway || last == Field::Dns) { // a further value under the same label
            keep(adapters.current(), last, text);
        }
    }
    return adapters.finish();
}

} // namespace lum::reports
