-- Makes the session that scripts/ardour-editor-check.sh opens in Ardour's GUI: run through
-- ardour7-lua (Ardour's headless Lua session tool) with the "None (Dummy)" backend, it finds the
-- module in the scanned plug-in list, creates a session with one stereo track, puts the plug-in on
-- it and saves the session. Nothing is recorded: the editor is all that is looked at.
--
-- Settings come from the environment: QC_TYPE (LXVST or VST3), QC_NAME, QC_PLUGIN_DIR (take the
-- plug-in scanned from this folder), QC_SESSION_DIR, QC_SESSION_NAME, QC_TRACK, QC_RATE.
-- Output: "INFO ..." lines and one "CHECK PASS|FAIL what" line per check.

io.stdout:setvbuf("line")

local function env(name, default)
  local v = os.getenv(name)
  if v == nil or v == "" then
    if default == nil then error("missing setting " .. name) end
    return default
  end
  return v
end

local TYPE = env("QC_TYPE", "LXVST")
local NAME = env("QC_NAME", "Quarvelline")
local PLUGIN_DIR = env("QC_PLUGIN_DIR", "")
local SESSION_DIR = env("QC_SESSION_DIR")
local SESSION_NAME = env("QC_SESSION_NAME", "quarvelline-editor")
local TRACK = env("QC_TRACK", "Limited")
local RATE = tonumber(env("QC_RATE", "48000"))

local function check(ok, what)
  print(string.format("CHECK %s %s", ok and "PASS" or "FAIL", what))
  return ok
end

local plugin_type = ARDOUR.PluginType[TYPE]
assert(plugin_type ~= nil, "unknown plug-in type " .. TYPE)

local backend = AudioEngine:set_backend("None (Dummy)", "", "")
assert(backend ~= nil, "no \"None (Dummy)\" backend")
backend:set_device_name("Silence")
backend:set_sample_rate(RATE)
backend:set_buffer_size(1024)
assert(AudioEngine:start(false) == 0, "the audio engine did not start")

local found = nil
for p in ARDOUR.LuaAPI.list_plugins():iter() do
  if p.type == plugin_type and p.name == NAME and p.path:sub(1, #PLUGIN_DIR) == PLUGIN_DIR then found = p end
end
if not check(found ~= nil, string.format("scanned plug-in list has %s (%s) from %s", NAME, TYPE, PLUGIN_DIR)) then
  error("the plug-in is not in Ardour's list; see the scanner's output")
end
print("INFO scanned: " .. found.name .. " path " .. found.path)

local session = create_session(SESSION_DIR, SESSION_NAME, RATE)
assert(session ~= nil, "create_session failed")
local tracks = session:new_audio_track(2, 2, nil, 1, TRACK, ARDOUR.PresentationInfo.max_order,
  ARDOUR.TrackMode.Normal, true)
check(tracks:size() == 1, "stereo track created")
local track = tracks:front()

local proc = ARDOUR.LuaAPI.new_plugin(session, NAME, plugin_type, "")
if not check(not proc:isnil(), "Ardour instantiates " .. NAME) then error("no instance") end
check(track:add_processor_by_index(proc, 0, nil, true) == 0, "the plug-in is on the track")
assert(session:save_state("", false, false, false, false, false), "save_state failed")
check(true, "session saved")

-- Drop every Lua reference to the session's objects before the session goes.
proc = nil
track = nil
tracks = nil
collectgarbage("collect")
collectgarbage("collect")
close_session()
