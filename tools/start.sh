#!/usr/bin/env bash
# Starts the desktop program, or says plainly why it cannot start here.
program="$1"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "TevloraT is a desktop program and needs a display; none was found (DISPLAY is not set)."
  echo "Without a display, use the batch tool, for example:"
  echo "  build/tevlora-batch run Data/hupsel_h_jan2011_storms.inp"
  exit 1
fi
exec "$program"
