-- tests/bench/server/wrk-report.lua: wrk's summary as "name value" lines that scripts/bench-server reads.
-- LUM_BENCH_METHOD: the method (GET by default); LUM_BENCH_BODY: a file whose bytes are POSTed as the
-- program's upload (multipart, boundary FILEUPLOAD).
local method = os.getenv("LUM_BENCH_METHOD")
if method then wrk.method = method end
local body_file = os.getenv("LUM_BENCH_BODY")
if body_file then
  local file = assert(io.open(body_file, "rb"))
  wrk.method = "POST"
  wrk.body = file:read("*a")
  file:close()
  wrk.headers["Content-Type"] = "multipart/form-Data; boundary=FILEUPLOAD"
end

done = function(summary, latency, requests)
  local errors = summary.errors
  io.write(string.format("requests %d\n", summary.requests))
  io.write(string.format("seconds %.3f\n", summary.duration / 1e6))
  io.write(string.format("p99_us %d\n", latency:percentile(99)))
  io.write(string.format("errors %d\n", errors.connect + errors.read + errors.write + errors.timeout))
  io.write(string.format("status_4xx_5xx %d\n", errors.status))
end
