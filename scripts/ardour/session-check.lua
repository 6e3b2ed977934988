-- Ardour 7 session check of a Quarvelline module, run by scripts/ardour-check.sh through
-- ardour7-lua (Ardour's headless Lua session tool), never by the tests.
--
-- Two modes, chosen by QC_MODE:
--   create  starts the "None (Dummy)" audio backend, finds the module in the scanned plug-in list,
--           creates a session with a stereo track, records a take from the backend's generator into
--           it, inserts the plug-in, prints its name, maker, parameters, programs and I/O, sets the
--           parameters of QC_SET, renders the track through it (a bounce) and saves the session
--   reopen  loads the saved session, checks that every parameter came back as saved and renders again
--
-- Settings come from the environment (see scripts/ardour-check.sh): QC_MODE, QC_TYPE (LXVST or VST3),
-- QC_NAME, QC_MAKER, QC_PARAMS, QC_PARAM_NAMES, QC_MIN_PRESETS, QC_PROGRAM, QC_PLUGIN_DIR, QC_INPUTS, QC_OUTPUTS, QC_SESSION_DIR, QC_SESSION_NAME, QC_TRACK,
-- QC_SECONDS, QC_DEVICE, QC_RATE, QC_SET ("Name=plain:min:max;..."), QC_RENDER (name of the
-- bounce), QC_RENDER_LIST (file that receives the bounce's paths), QC_INPUT_LIST (file that
-- receives the recorded take's paths), QC_STATE (file that carries the
-- parameter values from create to reopen).
--
-- Output: "INFO ..." lines, and one "CHECK PASS|FAIL what" line per check; the shell script counts
-- them. A Lua error ends the run with a message and no CHECK line for what was not reached.

local Q = dofile((debug.getinfo(1, "S").source:match("^@(.*/)") or "") .. "common.lua")
local env, check, info = Q.env, Q.check, Q.info

local MODE = env("QC_MODE")
local TYPE = env("QC_TYPE", "LXVST")
local NAME = env("QC_NAME", "Quarvelline")
local MAKER = env("QC_MAKER", "Daskery")
local NPARAMS = tonumber(env("QC_PARAMS", "-1"))  -- -1: do not check the count
local PARAM_NAMES = env("QC_PARAM_NAMES", "")     -- comma-separated names that must all be there
local MIN_PRESETS = tonumber(env("QC_MIN_PRESETS", "0"))
local PROGRAM = env("QC_PROGRAM", "")             -- "label part=Name=plain:min:max": load, then check
local PLUGIN_DIR = env("QC_PLUGIN_DIR", "")       -- take the plug-in scanned from this folder
local NIN = tonumber(env("QC_INPUTS", "2"))
local NOUT = tonumber(env("QC_OUTPUTS", "2"))
local SESSION_DIR = env("QC_SESSION_DIR")
local SESSION_NAME = env("QC_SESSION_NAME", "quarvelline-check")
local TRACK = env("QC_TRACK", "Limited")
local SECONDS = tonumber(env("QC_SECONDS", "6"))
local DEVICE = env("QC_DEVICE", "Sine Wave 1K, 1/3 Oct")
local RATE = tonumber(env("QC_RATE", "48000"))
local SET = env("QC_SET", "")
local RENDER = env("QC_RENDER")
local RENDER_LIST = env("QC_RENDER_LIST")
local INPUT_LIST = env("QC_INPUT_LIST", "/dev/null")
local STATE = env("QC_STATE")

local plugin_type = ARDOUR.PluginType[TYPE]
assert(plugin_type ~= nil, "unknown plug-in type " .. TYPE)

local function start_engine()
  Q.start_dummy_engine(DEVICE, RATE)
  info("engine:", AudioEngine:current_backend_name(), "device:", DEVICE)
end

-- Wait (in real time) until the engine has run the transport to a state.
local function wait_for(what, pred, seconds)
  local waited = 0
  while not pred() do
    ARDOUR.LuaAPI.usleep(20000)
    waited = waited + 0.02
    if waited > seconds then error("timed out waiting for " .. what) end
  end
end

-- Plain value <-> the value Ardour's control takes: VST 2.4 parameters are exposed normalised.
local function to_control(desc, plain, min, max)
  if math.abs(desc.lower) < 1e-9 and math.abs(desc.upper - 1.0) < 1e-9 and not (min == 0 and max == 1) then
    return (plain - min) / (max - min)
  end
  return plain
end

local function find_insert(route)
  local i = 0
  while true do
    local proc = route:nth_plugin(i)
    if proc:isnil() then return nil end
    local pi = proc:to_insert()
    if pi:type() == plugin_type and pi:plugin(0):name() == NAME then return proc end
    i = i + 1
  end
end

-- Parameter list of an insert: { {index=, label=, desc=} ... } for its input controls.
local function parameters(proc)
  local plugin = proc:to_insert():plugin(0)
  local list = {}
  for i = 0, plugin:parameter_count() - 1 do
    if plugin:parameter_is_input(i) and plugin:parameter_is_control(i) then
      local _, d = plugin:get_parameter_descriptor(i, ARDOUR.ParameterDescriptor())
      list[#list + 1] = { index = i, label = plugin:parameter_label(i), desc = d[2], n = #list }
    end
  end
  return list
end

local function value_of(proc, n)
  local v = ARDOUR.LuaAPI.get_processor_param(proc, n, true)
  return v
end

-- The in-session render: Ardour bounces the track's region through its processors up to and
-- including the plug-in, offline, into new session sources (one mono 32-bit float WAV a channel).
-- (The Lua exporter, Session:simple_export(), is not used: in Ardour 7.3's headless Lua tool it
-- races with the process thread and corrupts the heap, with or without this plug-in; the shell
-- script renders the saved session with Ardour's export tool instead.)
-- Writes the bounced files' paths, one a line, to QC_RENDER_LIST.
local function render(track, proc, first, last, name)
  local itt = ARDOUR.InterThreadInfo()
  local region = track:bounce_range(first, last, itt, proc, true, name)
  if not check(region ~= nil and not region:isnil(), "the track bounces through the plug-in (" .. name .. ")") then
    return
  end
  local f = assert(io.open(RENDER_LIST, "w"))
  local n = region:to_audioregion():n_channels()
  for c = 0, n - 1 do
    local path = region:source(c):to_filesource():path()
    info("bounced channel", c, "to", path)
    f:write(path, "\n")
  end
  f:close()
  check(n == 2, string.format("the bounce has 2 channels (got %d)", n))
end

local function region_range(track)
  local regions = track:playlist():region_list()
  assert(regions:size() > 0, "the track has no region")
  local r = nil
  for each in regions:iter() do r = each; break end
  return r:position():samples(), r:position():samples() + r:length():samples(), r
end

local function dump_parameters(proc, params, heading)
  info(heading)
  for _, p in ipairs(params) do
    info(string.format("  %2d %-20s = %.6f  (range %.4g..%.4g)", p.index, p.label, value_of(proc, p.n),
      p.desc.lower, p.desc.upper))
  end
end

-- "Name=plain:min:max": the parameter, its plain value and its plain range.
local function parse_entry(params, entry)
  local label, plain, min, max = entry:match("^(.-)=([^:]+):([^:]+):([^:]+)$")
  assert(label, "bad parameter entry " .. entry)
  local target = nil
  for _, p in ipairs(params) do if p.label == label then target = p end end
  return target, label, tonumber(plain), tonumber(min), tonumber(max)
end

local function set_param(proc, params, entry)
  local target, label, plain, min, max = parse_entry(params, entry)
  if not check(target ~= nil, "parameter \"" .. label .. "\" exists") then return end
  local v = to_control(target.desc, plain, min, max)
  ARDOUR.LuaAPI.set_processor_param(proc, target.n, v)
  local back = value_of(proc, target.n)
  info(string.format("set %s = %g (control value %.6f); the plug-in reports %.6f", label, plain, v, back))
  check(math.abs(back - v) < 1e-4, string.format("the plug-in took %s = %g", label, plain))
end

local function expect(proc, params, entry, when)
  local target, label, plain, min, max = parse_entry(params, entry)
  if not check(target ~= nil, "parameter \"" .. label .. "\" exists") then return end
  local v = to_control(target.desc, plain, min, max)
  local now = value_of(proc, target.n)
  check(math.abs(now - v) < 1e-4, string.format("Ardour shows %s = %g %s (control value %.6f, want %.6f)", label,
    plain, when, now, v))
end

-- The instance's factory presets, which Ardour makes from the plug-in's programs, found by the
-- URIs Ardour gives them ("VST:<id>:<n>" for VST 2.4, "VST3-P:<class id>:<n>" for VST3).
local function instance_programs(plugin)
  local prefix = (TYPE == "VST3") and "VST3-P:" or "VST:"
  local list = {}
  for i = 0, 9999 do
    local pr = plugin:preset_by_uri(string.format("%s%s:%04d", prefix, plugin:unique_id(), i))
    if pr == nil or not pr.valid then break end
    list[#list + 1] = pr
  end
  return list
end

local function create_mode()
  start_engine()

  -- 1. The scan: the plug-in is in Ardour's list with its name, maker and I/O.
  local found = Q.scanned_plugin(plugin_type, TYPE, NAME, PLUGIN_DIR, "the scanner's output above")
  info("scanned:", found.name, "by", found.creator, "id", found.unique_id, "category", found.category,
    "path", found.path)
  check(found.creator == MAKER, "scanned maker is " .. MAKER .. " (got " .. tostring(found.creator) .. ")")
  check(found.n_inputs:n_audio() == NIN and found.n_outputs:n_audio() == NOUT,
    string.format("scanned I/O is %d in, %d out (got %d, %d)", NIN, NOUT, found.n_inputs:n_audio(),
      found.n_outputs:n_audio()))
  -- (Ardour lists a VST 2.4 module's programs here from the scan; for VST3 it lists only user
  -- presets here and reads the programs from the instance, checked below.)
  info("presets in Ardour's plug-in list:", found:get_presets():size())

  -- 2. A session with a stereo track and a take recorded from the dummy backend's generator.
  local session = create_session(SESSION_DIR, SESSION_NAME, RATE)
  assert(session ~= nil, "create_session failed")
  local tracks = Q.new_stereo_track(session, TRACK)
  local track = tracks:front()
  check(track ~= nil and track:n_inputs():n_audio() == 2, "stereo track created")
  track:rec_enable_control():set_value(1, PBD.GroupControlDisposition.NoGroup)
  session:maybe_enable_record(false)
  session:request_roll(ARDOUR.TransportRequestSource.TRS_UI)
  wait_for("recording to start", function() return session:actively_recording() end, 10)
  ARDOUR.LuaAPI.usleep(math.floor(SECONDS * 1000000))
  session:request_stop(false, false, ARDOUR.TransportRequestSource.TRS_UI)
  wait_for("the transport to stop", function() return session:transport_stopped() end, 10)
  session:disable_record(false, false)
  track:rec_enable_control():set_value(0, PBD.GroupControlDisposition.NoGroup)
  ARDOUR.LuaAPI.usleep(200000)
  local first, last, region = region_range(track)
  info(string.format("region %s: %d..%d samples, %d channels", region:name(), first, last,
    region:to_audioregion():n_channels()))
  local inputs = assert(io.open(INPUT_LIST, "w"))
  for c = 0, region:to_audioregion():n_channels() - 1 do
    local path = region:source(c):to_filesource():path()
    info("  recorded channel", c, "in", path)
    inputs:write(path, "\n")
  end
  inputs:close()
  check(last - first > RATE, "the track has an audio region longer than a second")

  -- 3. The plug-in on the track.
  local proc = ARDOUR.LuaAPI.new_plugin(session, NAME, plugin_type, "")
  if not check(not proc:isnil(), "Ardour instantiates " .. NAME) then error("no instance") end
  assert(track:add_processor_by_index(proc, 0, nil, true) == 0, "add_processor_by_index failed")
  local pi = proc:to_insert()
  local plugin = pi:plugin(0)
  info("instance:", "name", plugin:name(), "maker", plugin:maker(), "label", plugin:label(), "unique id",
    plugin:unique_id())
  check(plugin:name() == NAME, "instance name is " .. NAME)
  check(plugin:maker() == MAKER, "instance maker is " .. MAKER .. " (got " .. plugin:maker() .. ")")
  local params = parameters(proc)
  local labels = {}
  for _, p in ipairs(params) do labels[#labels + 1] = p.label end
  info("parameters (" .. #params .. "):", table.concat(labels, ", "))
  if NPARAMS >= 0 then check(#params == NPARAMS, string.format("%d parameters (got %d)", NPARAMS, #params)) end
  for want in PARAM_NAMES:gmatch("[^,]+") do
    local there = false
    for _, l in ipairs(labels) do if l == want then there = true end end
    check(there, "parameter \"" .. want .. "\" is listed")
  end
  local nin, nout = pi:natural_input_streams():n_audio(), pi:natural_output_streams():n_audio()
  info("I/O: natural", nin, "in", nout, "out; configured", pi:input_streams():n_audio(), "in",
    pi:output_streams():n_audio(), "out")
  check(nin == NIN and nout == NOUT, string.format("plug-in I/O is %d in, %d out", NIN, NOUT))
  check(pi:input_streams():n_audio() == 2 and pi:output_streams():n_audio() == 2,
    "configured on the stereo track as 2 in, 2 out")
  dump_parameters(proc, params, "parameters at instantiation:")

  -- 4. The programs, as Ardour's preset menu of the instance shows them; one loaded through it;
  --    then the parameters of QC_SET.
  local programs = instance_programs(plugin)
  info("programs of the instance (Ardour's factory presets):", #programs)
  for _, pr in ipairs(programs) do info(string.format("  program %-45s %s", pr.label, pr.uri)) end
  check(#programs >= MIN_PRESETS, string.format("Ardour shows the plug-in's programs as presets (%d, want >= %d)",
    #programs, MIN_PRESETS))
  if PROGRAM ~= "" then
    local part, wanted = PROGRAM:match("^(.-)=(.*)$")
    local preset = nil
    for _, pr in ipairs(programs) do
      if preset == nil and pr.label:find(part, 1, true) then preset = pr end
    end
    if check(preset ~= nil, "a program whose name has \"" .. part .. "\" is listed") then
      local loaded = plugin:load_preset(preset)
      info("loaded program", preset.label, "->", loaded, "; Ardour's last preset:", plugin:last_preset().label)
      check(loaded, "Ardour loads the program \"" .. preset.label .. "\"")
      ARDOUR.LuaAPI.usleep(200000)
      expect(proc, params, wanted, "after loading the program")
    end
  end
  for entry in SET:gmatch("[^;]+") do set_param(proc, params, entry) end
  ARDOUR.LuaAPI.usleep(200000)
  dump_parameters(proc, params, "parameters after setting:")

  -- Carry the values to the reopen run.
  local f = assert(io.open(STATE, "w"))
  for _, p in ipairs(params) do f:write(string.format("%d\t%.9f\t%s\n", p.n, value_of(proc, p.n), p.label)) end
  f:close()

  render(track, proc, first, last, RENDER)
  assert(session:save_state("", false, false, false, false, false), "save_state failed")
  check(true, "session saved")
end

local function reopen_mode()
  start_engine()
  local session = load_session(SESSION_DIR, SESSION_NAME)
  if not check(session ~= nil, "saved session reopens") then error("load_session failed") end
  local route = session:route_by_name(TRACK)
  assert(not route:isnil(), "no track " .. TRACK)
  local track = route:to_track()
  local proc = find_insert(route)
  if not check(proc ~= nil, "the track still has " .. NAME .. " after reopening") then error("no insert") end
  local params = parameters(proc)
  dump_parameters(proc, params, "parameters after reopening:")
  if NPARAMS >= 0 then check(#params == NPARAMS, string.format("%d parameters after reopening", NPARAMS)) end
  local f = assert(io.open(STATE, "r"))
  for line in f:lines() do
    local n, v, label = line:match("^(%d+)\t([^\t]+)\t(.*)$")
    n, v = tonumber(n), tonumber(v)
    local now = value_of(proc, n)
    check(math.abs(now - v) < 1e-4, string.format("recalled %s = %.6f (saved %.6f)", label, now, v))
  end
  f:close()
  local first, last = region_range(track)
  render(track, proc, first, last, RENDER)
end

if MODE == "create" then
  create_mode()
elseif MODE == "reopen" then
  reopen_mode()
else
  error("QC_MODE must be create or reopen")
end
-- The session's objects were locals of the mode's function, so nothing holds them any more.
Q.close()
check(true, "session closed")

info(string.format("%s: %d failed check(s)", MODE, Q.failures()))
