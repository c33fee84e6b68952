// server/dashboard/audit_page.cpp: /support/audit, the audit log's newest lines for the operator's admins.
#include "server/dashboard/handlers.h"
#include "server/dashboard/page_response.h"
#include "server/web/local_time.h"

namespace lumresults::dashboard {
namespace {

// A page, not an archive: `lumresults audit` prints as many lines as asked.
constexpr std::size_t AUDIT_LINES = 200;

// A line that stands for repeats says how many and until when, as the audit command does.
PageData audit_line(const AuditEntry& entry) {
    PageData line;
    line.set("time", local_time_text(entry.time));
    line.set("user", entry.user + (entry.other_users ? " and other names" : ""));
    line.set("address", entry.address);
    std::string action = entry.action;
    if (entry.repeats > 1)
        action += " \xC3\x97" + std::to_string(entry.repeats) + " until " + local_time_text(entry.last);
    line.set("action", action);
    line.set("detail", entry.detail);
    return line;
}

} // namespace

Response audit_page(DashboardSite& site, const Request& request) {
    PageList lines;
    for (const AuditEntry& entry : site.store.list_audit(AUDIT_LINES))
        lines.push_back(audit_line(entry));
    PageData data;
    data.set("title", "Audit log");
    data.set("count", std::to_string(lines.size()));
    data.set("lines", std::move(lines));
    return page(200, "audit", std::move(data), request);
}

} // namespace lumresults::dashboard
