// server/http/served_daemon.cpp: a daemon's connections counted, and the daemon stopped with its owner.
#include "server/http/served_daemon.h"

#include <microhttpd.h>

namespace lumresults {

ServedDaemon::~ServedDaemon() {
    if (handle != nullptr) MHD_stop_daemon(handle);
}

bool ServedDaemon::try_hold(unsigned times) {
    holds_ += times;
    if (!closing_) return true;
    holds_ -= times;
    return false;
}

unsigned ServedDaemon::connections() const {
    const MHD_DaemonInfo* info = MHD_get_daemon_info(handle, MHD_DAEMON_INFO_CURRENT_CONNECTIONS);
    return info != nullptr ? info->num_connections : 0;
}

} // namespace lumresults
