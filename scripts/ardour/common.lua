-- Shared by the ardour7-lua scripts of the Ardour checks (session-check.lua, editor-session.lua),
-- which load it with dofile from their own folder:
--   local Q = dofile((debug.getinfo(1, "S").source:match("^@(.*/)") or "") .. "common.lua")
-- Output of the scripts: "INFO ..." lines and one "CHECK PASS|FAIL what" line per check, which the
-- shell scripts count.

io.stdout:setvbuf("line")

local Q = {}

-- A setting from the environment; without a default, a missing one is an error.
function Q.env(name, default)
  local v = os.getenv(name)
  if v == nil or v == "" then
    if default == nil then error("missing setting " .. name) end
    return default
  end
  return v
end

local failures = 0
function Q.check(ok, what)
  print(string.format("CHECK %s %s", ok and "PASS" or "FAIL", what))
  if not ok then failures = failures + 1 end
  return ok
end

function Q.failures() return failures end

function Q.info(...)
  local parts = {}
  for i = 1, select("#", ...) do parts[#parts + 1] = tostring(select(i, ...)) end
  print("INFO " .. table.concat(parts, " "))
end

-- The engine: the dummy backend needs no sound hardware; its device is a generator ("Sine Wave
-- 1K, 1/3 Oct", ...) that feeds the capture ports, or "Silence".
function Q.start_dummy_engine(device, rate)
  local backend = AudioEngine:set_backend("None (Dummy)", "", "")
  assert(backend ~= nil, "no \"None (Dummy)\" backend")
  backend:set_device_name(device)
  backend:set_sample_rate(rate)
  backend:set_buffer_size(1024)
  assert(AudioEngine:start(false) == 0, "the audio engine did not start")
end

-- The plug-in of a type and name in Ardour's scanned list, taken from the folder plugin_dir (a
-- prefix of its path; "" takes any). Checked; a run without it ends with an error that names
-- where to look.
function Q.scanned_plugin(plugin_type, type_name, name, plugin_dir, see)
  local found = nil
  for p in ARDOUR.LuaAPI.list_plugins():iter() do
    if p.type == plugin_type and p.name == name and p.path:sub(1, #plugin_dir) == plugin_dir then found = p end
  end
  if not Q.check(found ~= nil, string.format("scanned plug-in list has %s (%s) from %s", name, type_name, plugin_dir)) then
    error("the plug-in is not in Ardour's list; see " .. see)
  end
  return found
end

-- A new stereo audio track (the route list new_audio_track gives back).
function Q.new_stereo_track(session, name)
  return session:new_audio_track(2, 2, nil, 1, name, ARDOUR.PresentationInfo.max_order,
    ARDOUR.TrackMode.Normal, true)
end

-- Closes the session. The caller drops its own references to the session's objects first: a track
-- or plug-in collected after close_session() would be destroyed against a freed session.
function Q.close()
  collectgarbage("collect")
  collectgarbage("collect")
  close_session()
end

return Q
