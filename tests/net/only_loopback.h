// tests/net/only_loopback.h: whether the echoes leave from a network that has loopback alone.
#pragma once

namespace lum::testing_support {

// True when every interface that is up in the network the echoes are sent from is a loopback one, so
// that an echo to an address outside loopback reaches nothing. Under Wine that network is the one
// Wine's own service processes were started in, which need not be the test's.
bool echoes_stay_on_loopback();

} // namespace lum::testing_support
