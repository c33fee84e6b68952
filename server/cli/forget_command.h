// server/cli/forget_command.h: `lumresults forget`: erasing one subscriber's, computer's or address's data on request.
#pragma once

namespace lumresults {

// The words after "forget": STORE and one of --subscriber NAME, --computer MAC, or --address A --from DATE
// --to DATE (UTC; "to" includes its whole day). Deletes the data, writes an audit line naming who ran it
// and how many rows went (never whom), and prints the counts. 0; 1 when the store fails; 2 for bad words.
int forget_command(int argc, char** argv);

} // namespace lumresults
