// server/web/access_audit.cpp: audit lines for reports opened and for searches, with their principal and caller.
#include "server/web/access_audit.h"

#include <string>

namespace lumresults {
namespace {

void audit_access(StaffStore& store, const Request& request, std::string_view action, std::string detail) {
    store.append_audit({Clock::now(), request.principal ? request.principal->name : std::string(),
                        format_address(request.caller), std::string(action), std::move(detail)});
}

} // namespace

void audit_report(StaffStore& store, const Request& request, std::string_view action, std::int64_t id) {
    audit_access(store, request, action, std::to_string(id));
}

void audit_search(StaffStore& store, const Request& request, std::string_view action, const SearchForm& form) {
    if (request.method == "HEAD") return;
    std::string filters = search_query_string(form, form.after);
    if (filters.size() > MOST_SEARCH_DETAIL_BYTES)
        filters = filters.substr(0, MOST_SEARCH_DETAIL_BYTES) + "\xE2\x80\xA6";
    audit_access(store, request, action, std::move(filters));
}

} // namespace lumresults
