-- Makes the session that scripts/ardour-editor-check.sh opens in Ardour's GUI: run through
-- ardour7-lua (Ardour's headless Lua session tool) with the "None (Dummy)" backend, it finds the
-- module in the scanned plug-in list, creates a session with one stereo track, puts the plug-in on
-- it and saves the session. Nothing is recorded: the editor is all that is looked at.
--
-- Settings come from the environment: QC_TYPE (LXVST or VST3), QC_NAME, QC_PLUGIN_DIR (take the
-- plug-in scanned from this folder), QC_SESSION_DIR, QC_SESSION_NAME, QC_TRACK, QC_RATE.
-- Output: "INFO ..." lines and one "CHECK PASS|FAIL what" line per check.

local Q = dofile((debug.getinfo(1, "S").source:match("^@(.*/)") or "") .. "common.lua")
local env, check = Q.env, Q.check

local TYPE = env("QC_TYPE", "LXVST")
local NAME = env("QC_NAME", "Quarvelline")
local PLUGIN_DIR = env("QC_PLUGIN_DIR", "")
local SESSION_DIR = env("QC_SESSION_DIR")
local SESSION_NAME = env("QC_SESSION_NAME", "quarvelline-editor")
local TRACK = env("QC_TRACK", "Limited")
local RATE = tonumber(env("QC_RATE", "48000"))

local plugin_type = ARDOUR.PluginType[TYPE]
assert(plugin_type ~= nil, "unknown plug-in type " .. TYPE)

Q.start_dummy_engine("Silence", RATE)

local found = Q.scanned_plugin(plugin_type, TYPE, NAME, PLUGIN_DIR, "the scanner's output")
print("INFO scanned: " .. found.name .. " path " .. found.path)

local session = create_session(SESSION_DIR, SESSION_NAME, RATE)
assert(session ~= nil, "create_session failed")
local tracks = Q.new_stereo_track(session, TRACK)
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
Q.close()
