// server/speedtest/assets/worker.js: the download streams' worker (a stand-in until the page itself lands).
'use strict';
