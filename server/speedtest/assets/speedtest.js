// server/speedtest/assets/speedtest.js: the speed-test page's script (a stand-in until the page itself lands).
'use strict';
