// server/cli/sessions_command.h: `lumresults sessions import`: sessions from FreeRADIUS's radacct history.
#pragma once

namespace lumresults {

// The words after "sessions": import STORE --from URL (the FreeRADIUS database, libpq's URL). Prints what
// it read; 0, 1 when a database fails, 2 for bad words.
int sessions_command(int argc, char** argv);

} // namespace lumresults
