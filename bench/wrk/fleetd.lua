-- wrk script for vesk-fleetd. With FLEET_KEY and DEVICE_SERIAL set it sends the agent's
-- authenticated command poll (POST, JSON body naming the serial); without them it sends
-- wrk's plain GET of the URL it was given. Either way it prints one machine-readable line:
--   RESULT requests seconds req_per_s p50_ms p99_ms non2xx socket_errors
local key = os.getenv("FLEET_KEY")
local serial = os.getenv("DEVICE_SERIAL")

if key and key ~= "" then
  wrk.method = "POST"
  wrk.body = '{"serial":"' .. serial .. '"}'
  wrk.headers["Content-Type"] = "application/json"
  wrk.headers["X-Fleet-Key"] = key
  wrk.headers["X-Device-Serial"] = serial
end

function done(summary, latency, requests)
  local e = summary.errors
  local seconds = summary.duration / 1e6
  io.write(string.format("RESULT %d %.2f %.0f %.3f %.3f %d %d\n",
    summary.requests, seconds, summary.requests / seconds,
    latency:percentile(50) / 1000, latency:percentile(99) / 1000,
    e.status, e.connect + e.read + e.write + e.timeout))
end
