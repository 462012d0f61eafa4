-- Loaded into mpv by wallpaper-engine-cost.sh: ends mpv after the seconds given, then writes the
-- frames it played across the loops of a looping file and those it dropped (at the output and in
-- the decoder), so that its CPU can be set against the frames it actually showed. mpv has no
-- counter of frames across loops, so the frame number is sampled and a step back counts as one
-- more loop. It ends mpv itself because a script does not always get to run once mpv is told to
-- quit by a signal.
local loops, frame, per_loop, vo_dropped, decoder_dropped = 0, 0, 0, 0, 0
local function sample()
  local now = mp.get_property_number("estimated-frame-number")
  if not now then return end
  if now < frame then loops = loops + 1 end
  frame = now
  per_loop = mp.get_property_number("estimated-frame-count", per_loop)
  vo_dropped = mp.get_property_number("frame-drop-count", vo_dropped)
  decoder_dropped = mp.get_property_number("decoder-frame-drop-count", decoder_dropped)
end
mp.add_periodic_timer(0.05, sample)
mp.add_timeout(tonumber(mp.get_opt("frames-seconds")), function()
  sample()
  local file = io.open(mp.get_opt("frames-out"), "w")
  local dropped = vo_dropped + decoder_dropped
  file:write(string.format("shown %d\ndropped %d\n", loops * per_loop + frame - dropped, dropped))
  file:close()
  mp.command("quit")
end)
